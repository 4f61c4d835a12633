# tools/assetgen/images.py: draws the intro's seven palette images and encodes them as PNG.
#
# Each function returns the PNG bytes of one image; IMAGES lists them with their file names.
# Sizes, bit depths and palettes are fixed by how the intro places and tints them: the logo
# and its dots variant (623 x 100), the information panel (322 x 96), the edge shade
# (800 x 265), the scroller font (320 x 48), the caption (159 x 14) and the caption animation
# strip (159 x 5880, 420 frames of 159 x 14).
import math

import glyphs
import names
import pngio
from prng import Prng

BLACK = (0, 0, 0)
LOGO_RED = (153, 51, 51)
WHITE = (255, 255, 255)
PAPER = (252, 254, 252)
CAPTION_BLUE = (20, 20, 32)


def blank(width, height):
    return [[0] * width for _ in range(height)]


# ---------------------------------------------------------------------------------------------
# Logo: stroke lettering sampled on a dot grid
# ---------------------------------------------------------------------------------------------

def _arc(cx, cy, rx, ry, a0, a1, n=16):
    return [(cx + rx * math.cos(math.radians(a0 + (a1 - a0) * i / n)),
             cy + ry * math.sin(math.radians(a0 + (a1 - a0) * i / n))) for i in range(n + 1)]


def _rounded_box(x0, y0, x1, y1, r):
    pts = []
    pts += _arc(x1 - r, y0 + r, r, r, -90, 0)
    pts += _arc(x1 - r, y1 - r, r, r, 0, 90)
    pts += _arc(x0 + r, y1 - r, r, r, 90, 180)
    pts += _arc(x0 + r, y0 + r, r, r, 180, 270)
    return pts + [pts[0]]


# Letters as polylines in a box 6 units high (y down); each entry is (advance width, strokes).
_STROKES = {
    "M": (5.0, [[(0, 6), (0, 0), (2.5, 3.6), (5, 0), (5, 6)]]),
    "O": (4.4, [_rounded_box(0, 0, 4.4, 6, 1.7)]),
    "R": (4.2, [[(0, 6), (0, 0), (2.5, 0)] + _arc(2.5, 1.55, 1.55, 1.55, -90, 90) + [(0, 3.1)],
                [(2.0, 3.1), (4.2, 6)]]),
    "V": (4.6, [[(0, 0), (2.3, 6), (4.6, 0)]]),
    "E": (3.8, [[(3.8, 0), (0, 0), (0, 6), (3.8, 6)], [(0, 3), (3.0, 3)]]),
    "L": (3.6, [[(0, 0), (0, 6), (3.6, 6)]]),
    "T": (4.4, [[(0, 0), (4.4, 0)], [(2.2, 0), (2.2, 6)]]),
}
_SLANT = 0.2          # units of x per unit of height: the lettering leans right
_STROKE_RADIUS = 0.62
_LETTER_GAP = 1.7
_KERNING = {"LT": -1.5}   # the T's bar reaches over the L's open top


def _segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
    ex, ey = ax + t * dx - px, ay + t * dy - py
    return math.sqrt(ex * ex + ey * ey)


def _logo_mask():
    """Returns the set of dot-grid cells (gx, gy) lit by the logo word; the grid is 312 x 50
    dots, dot (gx, gy) sitting on pixel (2 gx, 2 gy)."""
    grid_w, grid_h = 312, 50
    scale = 6.1                                   # dots per letter unit
    word = names.GROUP
    kern = [_KERNING.get(word[i:i + 2], 0.0) for i in range(len(word) - 1)] + [0.0]
    total = sum(_STROKES[c][0] for c in word) + _LETTER_GAP * (len(word) - 1) + sum(kern)
    total += 2 * _STROKE_RADIUS + 6 * _SLANT
    left = (grid_w - total * scale) / 2 + _STROKE_RADIUS * scale
    top = (grid_h - 6 * scale) / 2
    segments = []
    x = 0.0
    for c, k in zip(word, kern):
        width, strokes = _STROKES[c]
        for line in strokes:
            for (ax, ay), (bx, by) in zip(line, line[1:]):
                segments.append((ax + x, ay, bx + x, by))
        x += width + _LETTER_GAP + k
    lit = set()
    for gy in range(grid_h):
        v = (gy - top) / scale
        for gx in range(grid_w):
            u = (gx - left) / scale - (6 - v) * _SLANT
            for seg in segments:
                if _segment_distance(u, v, *seg) < _STROKE_RADIUS:
                    lit.add((gx, gy))
                    break
    return lit


def logo_images():
    """The logo (white dots over a red dot grid) and its white-dots-only variant."""
    width, height = 623, 100
    lit = _logo_mask()
    logo = blank(width, height)
    dots = blank(width, height)
    for y in range(0, height, 2):
        for x in range(0, width, 2):
            if (x // 2, y // 2) in lit:
                logo[y][x] = 2
                dots[y][x] = 1
            else:
                logo[y][x] = 1
    logo_png = pngio.encode(width, height, 2, [BLACK, LOGO_RED, WHITE], [0], logo)
    dots_png = pngio.encode(width, height, 1, [BLACK, WHITE], [0], dots)
    return logo_png, dots_png


# ---------------------------------------------------------------------------------------------
# Information panel
# ---------------------------------------------------------------------------------------------

def info_panel():
    width, height = 322, 96
    canvas = blank(width, height)
    for i, line in enumerate(names.PANEL_LINES):
        gap = 3 if i == 0 else 1                  # the release name is letter-spaced
        w = glyphs.text_width(line, 1, gap)
        glyphs.draw_text(canvas, line, (width - w) // 2, 16 * i + 4, 1, 1, 1, gap)
    return pngio.encode(width, height, 1, [BLACK, PAPER], [0], canvas)


# ---------------------------------------------------------------------------------------------
# Edge shade
# ---------------------------------------------------------------------------------------------

EDGE_LEVELS = 57                                  # index 0 transparent ... index 56 opaque


def edge_alpha(x):
    """The shade's alpha at column 'x' before dithering: 255 at 0 down to 0 at 200, 0 up to
    599, up again to 255 at 799."""
    if x <= 200:
        return 255.0 * (200 - x) / 200
    if x >= 599:
        return 255.0 * (x - 599) / 200
    return 0.0


_BAYER4 = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]


def edge_shade():
    width, height = 800, 265
    alphas = [round(i * 255 / (EDGE_LEVELS - 1)) for i in range(EDGE_LEVELS - 1)]
    canvas = blank(width, height)
    for y in range(height):
        for x in range(width):
            level = edge_alpha(x) * (EDGE_LEVELS - 1) / 255
            threshold = (_BAYER4[y % 4][x % 4] + 0.5) / 16
            canvas[y][x] = min(EDGE_LEVELS - 1, int(level + threshold) if level > 0 else 0)
    return pngio.encode(width, height, 8, [BLACK] * EDGE_LEVELS, alphas, canvas)


# ---------------------------------------------------------------------------------------------
# Scroller font
# ---------------------------------------------------------------------------------------------

def _scale2x(bits):
    """Doubles a boolean bitmap, rounding diagonal steps instead of leaving square blocks."""
    h, w = len(bits), len(bits[0])

    def at(x, y):
        return bits[y][x] if 0 <= x < w and 0 <= y < h else False

    out = [[False] * (2 * w) for _ in range(2 * h)]
    for y in range(h):
        for x in range(w):
            p = at(x, y)
            a, b, c, d = at(x, y - 1), at(x + 1, y), at(x - 1, y), at(x, y + 1)
            e0 = e1 = e2 = e3 = p
            if c == a and c != d and a != b:
                e0 = a
            if a == b and a != c and b != d:
                e1 = b
            if d == c and d != b and c != a:
                e2 = c
            if b == d and b != a and d != c:
                e3 = d
            out[2 * y][2 * x], out[2 * y][2 * x + 1] = e0, e1
            out[2 * y + 1][2 * x], out[2 * y + 1][2 * x + 1] = e2, e3
    return out


def _bold(bits):
    """Widens every stroke by one pixel to the right."""
    w = len(bits[0])
    return [[(x < w and row[x]) or (x >= 1 and row[x - 1]) for x in range(w + 1)]
            for row in bits]


def big_glyph(char):
    """'char' doubled to 10 x 14 with rounded diagonals, then widened to 11 x 14, so vertical
    strokes are three pixels wide and horizontal ones two high."""
    return _bold(_scale2x(glyphs.glyph(char)))


def scroller_glyph(char):
    """The 16 x 16 cell of 'char': its big glyph one pixel from the top, two from the left;
    white where a stroke is lit from above, paper elsewhere."""
    big = big_glyph(char)
    cell = [[0] * 16 for _ in range(16)]
    for y in range(len(big)):
        for x in range(len(big[0])):
            if big[y][x]:
                lit = y == 0 or not big[y - 1][x] or (y >= 2 and not big[y - 2][x])
                cell[y + 1][x + 2] = 2 if lit else 1
    return cell


def font():
    width, height = 320, 48
    canvas = blank(width, height)
    for code in range(glyphs.FIRST_CODE, glyphs.LAST_CODE + 1):
        g = code - 32
        r = g * 16 // 320
        sx, sy = g * 16 - r * 320, r * 16
        cell = scroller_glyph(chr(code))
        for y in range(16):
            canvas[sy + y][sx:sx + 16] = cell[y]
    return pngio.encode(width, height, 2, [BLACK, PAPER, WHITE], [0], canvas)


# ---------------------------------------------------------------------------------------------
# Caption and its animation strip
# ---------------------------------------------------------------------------------------------

CAPTION_W, CAPTION_H = 159, 14
ANIM_FRAMES = 420
ANIM_LIVE_FRAMES = 102                            # frames 0..101 hold the pattern
ANIM_TONES = 81                                   # indices 1..81 grow from dark to light


def caption_bits():
    """The caption word in the big glyphs, two pixels apart, centred in 159 x 14."""
    word = names.RELEASE
    canvas = blank(CAPTION_W, CAPTION_H)
    w = len(word) * 13 - 2
    x = (CAPTION_W - w) // 2
    for c in word:
        g = big_glyph(c)
        for gy in range(14):
            for gx in range(11):
                if g[gy][gx]:
                    canvas[gy][x + gx] = 1
        x += 13
    return canvas


def caption():
    return pngio.encode(CAPTION_W, CAPTION_H, 1, [BLACK, CAPTION_BLUE], [0], caption_bits())


def anim_palette():
    """Index 0 black (transparent); 1..81 grey-blue tones from just above the caption's colour
    to a cold, still dark blue-grey."""
    pal = [BLACK]
    for i in range(ANIM_TONES):
        t = i / (ANIM_TONES - 1)
        pal.append((round(24 + 104 * t), round(26 + 110 * t), round(40 + 132 * t)))
    return pal


def anim_frames():
    """Returns the 420 frames as intensity maps (floats 0..1, 0 = transparent).

    Frames 0-45: a dashed scan line sweeps the word from left to right; the letters light up
    behind it in vertical dashes and a shower of short dashes trails it. Frames 40-101: small
    crosses sparkle one after another on the letters while the word breathes out. Later
    frames are empty."""
    word = caption_bits()
    rng = Prng(9)
    letter_pixels = [(x, y) for y in range(CAPTION_H) for x in range(CAPTION_W) if word[y][x]]
    crosses = []
    for k in range(31):
        x, y = letter_pixels[rng.below(len(letter_pixels))]
        crosses.append((x, y, 40 + 2 * k))
    drops = [(rng.below(CAPTION_W), rng.below(CAPTION_H + 8) - 8, 2 + rng.below(3))
             for _ in range(90)]
    frames = []
    for f in range(ANIM_FRAMES):
        img = [[0.0] * CAPTION_W for _ in range(CAPTION_H)]
        if f < ANIM_LIVE_FRAMES:
            head = round(f * 3.5)                  # the scan line's column
            if head < CAPTION_W:
                for y in range(CAPTION_H):
                    if y % 3 != 2:
                        img[y][head] = 1.0
            for x in range(CAPTION_W):
                d = head - x
                if 0 < d < 48:
                    glow = 1.0 - d / 48
                    for y in range(CAPTION_H):
                        if word[y][x] and (y // 2 + x) % 2 == 0:
                            img[y][x] = max(img[y][x], 0.35 + 0.65 * glow)
            for x0, y0, length in drops:
                d = head - x0
                if 0 < d < 36:
                    y = y0 + d // 3
                    for k in range(length):
                        if 0 <= y + k < CAPTION_H:
                            img[y + k][x0] = max(img[y + k][x0], 0.6 * (1 - d / 36))
            for x0, y0, start in crosses:
                age = f - start
                if 0 <= age < 8:
                    arm = 1 if age < 2 or age >= 6 else 2
                    level = 1.0 - age / 10
                    for k in range(-arm, arm + 1):
                        for px, py in ((x0 + k, y0), (x0, y0 + k)):
                            if 0 <= px < CAPTION_W and 0 <= py < CAPTION_H:
                                img[py][px] = max(img[py][px], level)
            if f >= 56:                            # the whole word breathes in and out
                fade = 0.45 * math.sin(math.pi * (f - 56) / (ANIM_LIVE_FRAMES - 56))
                for x, y in letter_pixels:
                    if x % 2 == 0:
                        img[y][x] = max(img[y][x], fade)
        frames.append(img)
    return frames


def caption_anim():
    frames = anim_frames()
    canvas = []
    for img in frames:
        for row in img:
            canvas.append([0 if v <= 0.02 else 1 + min(ANIM_TONES - 1, round(v * (ANIM_TONES - 1)))
                           for v in row])
    return pngio.encode(CAPTION_W, CAPTION_H * ANIM_FRAMES, 8, anim_palette(), [0], canvas)


def build_all():
    """Returns {file name: bytes} for the seven images."""
    logo_png, dots_png = logo_images()
    return {
        "images/logo.png": logo_png,
        "images/logo_dots.png": dots_png,
        "images/info_panel.png": info_panel(),
        "images/edge_shade.png": edge_shade(),
        "images/font.png": font(),
        "images/caption.png": caption(),
        "images/caption_anim.png": caption_anim(),
    }
