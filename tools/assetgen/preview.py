#!/usr/bin/env python3
# tools/assetgen/preview.py: renders the committed images into one picture to look at.
#
#   python3 tools/assetgen/preview.py [assets dir] [output png]
#
# Every image is decoded from its PNG file, composited over a dark checker (so transparency
# shows) and scaled up; the caption strip shows its first live frames side by side. Output:
# out/assets_preview.png by default.
import os
import struct
import sys
import zlib

import pngio

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))


def rgba(path):
    with open(path, "rb") as f:
        w, h, pal, alphas, rows = pngio.decode(f.read())
    full = alphas + [255] * (len(pal) - len(alphas))
    return w, h, [[pal[i] + (full[i],) for i in row] for row in rows]


def write_rgb(path, w, h, pixels):
    raw = b"".join(b"\x00" + bytes(c for p in row for c in p) for row in pixels)

    def chunk(kind, payload):
        return struct.pack(">I", len(payload)) + kind + payload + struct.pack(
            ">I", zlib.crc32(kind + payload))
    data = (pngio.SIGNATURE + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(data)


class Sheet:
    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = [[((28, 28, 34) if ((x // 8 + y // 8) % 2) else (40, 40, 48)) for x in range(w)]
                   for y in range(h)]

    def paste(self, img, x0, y0, scale, src_rows=None):
        w, h, rows = img
        rows = rows if src_rows is None else rows[src_rows[0]:src_rows[1]]
        for y, row in enumerate(rows):
            for x, (r, g, b, a) in enumerate(row):
                if a == 0:
                    continue
                for sy in range(scale):
                    for sx in range(scale):
                        X, Y = x0 + x * scale + sx, y0 + y * scale + sy
                        if 0 <= X < self.w and 0 <= Y < self.h:
                            br, bg, bb = self.px[Y][X]
                            self.px[Y][X] = (
                                (r * a + br * (255 - a)) // 255, (g * a + bg * (255 - a)) // 255,
                                (b * a + bb * (255 - a)) // 255)


def main():
    assets = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "assets")
    out = sys.argv[2] if len(sys.argv) > 2 else os.path.join(ROOT, "out", "assets_preview.png")
    os.makedirs(os.path.dirname(out), exist_ok=True)
    img = {n: rgba(os.path.join(assets, "images", n + ".png")) for n in (
        "logo", "logo_dots", "info_panel", "edge_shade", "font", "caption", "caption_anim")}
    sheet = Sheet(1300, 1420)
    sheet.paste(img["logo"], 20, 20, 2)
    sheet.paste(img["logo_dots"], 20, 230, 1)
    sheet.paste(img["info_panel"], 680, 230, 2)
    sheet.paste(img["font"], 20, 440, 3)
    sheet.paste(img["edge_shade"], 20, 600, 1)
    sheet.paste(img["caption"], 860, 600, 2)
    # caption with animation frames over it (every 6th live frame)
    for i, f in enumerate(range(0, 102, 6)):
        x, y = 20 + (i % 3) * 420, 890 + (i // 3) * 64
        sheet.paste(img["caption"], x, y, 2)
        sheet.paste(img["caption_anim"], x, y, 2, (f * 14, f * 14 + 14))
    write_rgb(out, sheet.w, sheet.h, sheet.px)
    print(out)


if __name__ == "__main__":
    main()
