# tools/assetgen/scrolltext.py: the scroller's message.
#
# An announcement of the release, then greetings. Sentences end in runs of full stops and are
# separated by eight blanks; the last run of full stops pads the text to its fixed length.
import names

LENGTH = 466
REPERTOIRE = set(" ,.:01247S" + "abcdefghijklmnopqrstuvwxyz")
GAP = " " * 8

SENTENCES = [
    names.GROUP.lower() + " proudly presents " + names.RELEASE.lower()
    + ", a tiny intro released on " + names.RELEASE_DATE + "........",
    "every pixel, every note and every line of it was made by hand, in plain text, "
    "on long winter nights........",
    "Say hello at the next meeting, we bring the coffee........",
    "greetings go out to: plumtrellis, owlgrain, sodacrane, mirefinch, tinlark, gravelmoth "
    "and all who are still coding at four in the morning........",
    "see you next time",
]


def text():
    body = GAP.join(SENTENCES)
    assert len(body) < LENGTH, len(body)
    return body + "." * (LENGTH - len(body))
