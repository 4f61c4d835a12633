#!/usr/bin/env python3
# tools/assetgen/scene_preview.py: a CPU mock-up of one intro frame built from the committed
# assets, to judge how they look together before the engine exists.
#
#   python3 tools/assetgen/scene_preview.py [time seconds] [frame number] [output png]
#
# Draws the logo (623 x 120) on black at (88, 100), runs the "crystals" effect over the whole
# 800 x 600 picture with wrap addressing and bilinear sampling, then draws the scroller as a
# sine wave, the information panel, the widened edge shade, the caption with its animation
# frame and the two red bars, in the intro's stacking order. Output: out/scene_preview.png.
import math
import os
import sys

import preview
import scrolltext

W, H = 800, 600


def crystals(picture, time):
    """The effect's pixel stage over 'picture' (rows of (r, g, b) floats 0..1)."""
    res_x, res_y = 933.0, 511.0
    turn = 2 * math.pi / 8

    def col(qx, qy):
        s = 0.0
        for i in range(3):
            th = turn * i
            ax = qx + math.cos(th) * time * 0.1 + time * 0.2
            ay = qy - (math.sin(th) * time * 0.1 - time * 0.4)
            s += math.cos((ax * math.cos(th) - ay * math.sin(th)) * 6.0) * 3
        return math.cos(s)

    def sample(u, v):
        x = (u - math.floor(u)) * W - 0.5
        y = (v - math.floor(v)) * H - 0.5
        x0, y0 = math.floor(x), math.floor(y)
        fx, fy = x - x0, y - y0
        out = [0.0, 0.0, 0.0]
        for yy, wy in ((y0, 1 - fy), (y0 + 1, fy)):
            for xx, wx in ((x0, 1 - fx), (x0 + 1, fx)):
                p = picture[yy % H][xx % W]
                for c in range(3):
                    out[c] += p[c] * wx * wy
        return out

    result = []
    for py in range(H):
        row = []
        v = (py + 0.5) / H
        for px in range(W):
            u = (px + 0.5) / W
            qx, qy = u, 1 - v
            k = col(qx, qy)
            dx = 0.4 * (k - col(qx + res_x / 30, qy)) / 30
            dy = 0.4 * (k - col(qx, qy + res_y / 30)) / 30
            b = 1 + dx * dy * 300
            r, g, bl = sample(qx + dx, -(qy + dy))
            row.append((min(1.0, r * b), min(1.0, g * b), min(1.0, bl * b)))
        result.append(row)
    return result


def blend(frame, img, x0, y0, scale_x=1.0, scale_y=1.0, src=None):
    w, h, rows = img
    sx0, sy0, sw, sh = src if src else (0, 0, w, h)
    for y in range(int(sh * scale_y)):
        Y = y0 + y
        if not 0 <= Y < H:
            continue
        srow = rows[sy0 + int(y / scale_y)]
        for x in range(int(sw * scale_x)):
            X = x0 + x
            if not 0 <= X < W:
                continue
            r, g, b, a = srow[sx0 + int(x / scale_x)]
            if a:
                p = frame[Y][X]
                t = a / 255
                frame[Y][X] = (p[0] * (1 - t) + r / 255 * t, p[1] * (1 - t) + g / 255 * t,
                               p[2] * (1 - t) + b / 255 * t)


def main():
    time = float(sys.argv[1]) if len(sys.argv) > 1 else 1234.5
    n = int(sys.argv[2]) if len(sys.argv) > 2 else 300
    out = sys.argv[3] if len(sys.argv) > 3 else os.path.join(preview.ROOT, "out", "scene_preview.png")
    assets = os.path.join(preview.ROOT, "assets", "images")
    img = {k: preview.rgba(os.path.join(assets, k + ".png")) for k in (
        "logo", "info_panel", "edge_shade", "font", "caption", "caption_anim")}
    frame = [[(0.0, 0.0, 0.0)] * W for _ in range(H)]
    blend(frame, img["logo"], 88, 100, 1.0, 1.2)
    frame = crystals(frame, time)
    # Scroller after n updates from set-up: offset starts at 860 and falls one pixel a frame.
    text = scrolltext.text().upper() + " "
    offset = 860 - n
    index = 0
    while offset < -16:
        offset += 16
        index += 1
    phase = -7.0 * n
    x0 = -10 + offset
    for k, ch in enumerate(text[index:index + 54]):
        g = ord(ch) - 32
        r = g * 16 // 320
        sx, sy = g * 16 - r * 320, r * 16
        for c in range(16):
            dx = x0 + k * 16 + c
            w = math.sin((dx + phase) * math.pi / 360) * 82
            blend(frame, img["font"], dx, round(450 + w), src=(sx + c, sy, 1, 16))
    blend(frame, img["info_panel"], 239, 260)
    blend(frame, img["edge_shade"], -32, 287, 1.09, 1.0)
    blend(frame, img["caption"], 600, 65)
    anim_frame = 30
    blend(frame, img["caption_anim"], 600, 65, src=(0, anim_frame * 14, 159, 14))
    for y in (50, 51, 550, 551):
        frame[y] = [(153 / 255, 51 / 255, 51 / 255)] * W
    pixels = [[tuple(round(c * 255) for c in p) for p in row] for row in frame]
    os.makedirs(os.path.dirname(out), exist_ok=True)
    preview.write_rgb(out, W, H, pixels)
    print(out)


if __name__ == "__main__":
    main()
