# tests/scene_facts.py: what a picture of the running scene shows (the two red bars, the
# information panel, the caption, the logo, the scroller, black elsewhere), for the tests that
# look at one: the live window and a captured frame. `pic` has w, h, at(x, y) and
# count(x0, y0, x1, y1, pred) over RGB tuples.
RED = (153, 51, 51)


def nonblack(p):
    return p != (0, 0, 0)


def assert_scene(test, pic, scroller=True):
    """Fails `test` where `pic` misses one of the scene's facts; `scroller` also asks for the
    scroll text, which enters some seconds after the start."""
    test.assertEqual((pic.w, pic.h), (800, 600))
    for row in (50, 51, 550, 551):
        bad = [x for x in range(800) if pic.at(x, row) != RED]
        test.assertEqual(bad[:5], [], f"bar row {row} not red 153/51/51 everywhere")
    for row in (49, 52, 549, 552):
        test.assertNotEqual(pic.at(400, row), RED, f"row {row} is part of a bar")
    test.assertGreater(pic.count(239, 260, 561, 356, lambda p: p[0] > 200), 200,
                       "no information panel")
    test.assertGreater(pic.count(600, 65, 759, 79, nonblack), 50, "no caption")
    if scroller:
        test.assertGreater(pic.count(0, 368, 800, 548, nonblack), 500, "no scroller")
    test.assertGreater(pic.count(88, 100, 711, 220, nonblack), 2000, "no logo")
    test.assertEqual(pic.count(0, 0, 590, 50, nonblack), 0, "top left not black")
    test.assertEqual(pic.count(0, 240, 230, 258, nonblack), 0, "gap left of the panel not black")
    test.assertEqual(pic.count(0, 560, 800, 600, nonblack), 0, "bottom not black")
