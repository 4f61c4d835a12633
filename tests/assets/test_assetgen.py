# tests/assets/test_assetgen.py: the generator's building blocks where a fault would not show
# in the committed files: the data area builder's refusals and the PNG packer's odd widths.
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "tools", "assetgen"))

import data_area  # noqa: E402
import pngio      # noqa: E402


class EffectLines(unittest.TestCase):
    def test_stores_each_line_zero_terminated_then_end(self):
        stored, count = data_area.effect_lines(b"a;\n\nb;\n")
        self.assertEqual(stored, b"a;\0\0b;\0End\0")
        self.assertEqual(count, 3)

    def test_refuses_sources_the_intro_would_misread(self):
        rows = [
            (b"float x;", "no final line feed: the last line would be lost"),
            (b"float x;\nEnd\nfloat y;\n", "a line reading End ends the source early"),
            (b"float\0x;\n", "a zero byte splits a line in two"),
        ]
        for source, why in rows:
            with self.subTest(why=why):
                with self.assertRaises(ValueError):
                    data_area.effect_lines(source)

    def test_a_line_merely_containing_end_is_kept(self):
        stored, count = data_area.effect_lines(b"// End of story\nEnding;\n")
        self.assertEqual(count, 2)
        self.assertTrue(stored.endswith(b"Ending;\0End\0"))


class DataAreaFiles(unittest.TestCase):
    def test_offsets_follow_the_files_back_to_back(self):
        with tempfile.TemporaryDirectory() as tmp:
            assets = os.path.join(tmp, "assets")
            sizes = {}
            for i, (_, rel) in enumerate(data_area.ITEMS):
                path = os.path.join(assets, rel)
                os.makedirs(os.path.dirname(path), exist_ok=True)
                data = b"x;\n" * (i + 1) if rel.endswith(".fx") else bytes([i]) * (10 + i)
                with open(path, "wb") as f:
                    f.write(data)
                sizes[rel] = len(data)
            with open(os.path.join(assets, data_area.SCROLL_TEXT), "wb") as f:
                f.write(b"hello, world.")
            out = os.path.join(tmp, "out")
            self.assertEqual(data_area.main(["data_area.py", assets, out]), 0)
            with open(os.path.join(out, "include", "assets", "data_area.h")) as f:
                header = f.read()
            offset = 0
            for name, rel in data_area.ITEMS:
                size = sizes[rel]
                if rel.endswith(".fx"):
                    size = size + 4           # terminators replace line feeds, plus "End\0"
                self.assertIn("DataItem %s{%d, %d};" % (name, offset, size), header)
                offset += size
            self.assertIn("kDataAreaBytes = %d;" % offset, header)
            self.assertIn("kScrollTextChars = 13;", header)

    def test_refuses_a_scroll_text_that_would_break_the_string(self):
        for text in ('say "hi"', "back\\slash", "tab\there"):
            with self.subTest(text=text):
                with self.assertRaises(ValueError):
                    data_area.c_string(text)


class PngRoundTrip(unittest.TestCase):
    def test_every_depth_and_ragged_widths_survive(self):
        for depth in (1, 2, 4, 8):
            for width in (1, 3, 7, 9, 17):
                with self.subTest(depth=depth, width=width):
                    colours = 1 << depth
                    rows = [[(x * 7 + y * 3) % colours for x in range(width)] for y in range(5)]
                    palette = [(i, 255 - i, i // 2) for i in range(colours)]
                    data = pngio.encode(width, 5, depth, palette, [0], rows)
                    w, h, pal, alphas, back = pngio.decode(data)
                    self.assertEqual((w, h, pal, alphas, back), (width, 5, palette, [0], rows))
                    kinds = [k for k, _ in pngio.chunks(data)]
                    self.assertEqual(kinds, [b"IHDR", b"PLTE", b"tRNS", b"IDAT", b"IEND"])


if __name__ == "__main__":
    unittest.main()
