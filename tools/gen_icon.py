#!/usr/bin/env python3
"""Draw the program's icon, app/res/rozoru.ico: a globe with a "W" like the
one in the logo, at 32 x 32 and 16 x 16 pixels, 32-bit colour with alpha plus
the 1-bit mask that older systems use.

Standard library only. Usage: gen_icon.py [OUT] [--png PREFIX]
OUT defaults to app/res/rozoru.ico relative to the repository's root;
--png also writes PREFIX-32.png and PREFIX-16.png for viewing.
"""

import math
import os
import struct
import sys

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from gen_logo import DEEP_BLUE, globe_sample, parse_args, png_bytes  # noqa: E402

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_OUT = os.path.join(REPO, "app", "res", "rozoru.ico")

WHITE = (255, 255, 255)


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = max(0.0, min(1.0, t))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def render(size, grid_step, line_px, w_points, w_half, outline_half, ss=6):
    """Return rows of (r, g, b, a) for one icon image."""
    cx = cy = size / 2.0
    radius = size / 2.0 - 0.5
    rim = max(0.9, size / 28.0)
    image = []
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0.0, 0.0, 0.0]
            covered = 0
            for sy in range(ss):
                for sx in range(ss):
                    px = x + (sx + 0.5) / ss
                    py = y + (sy + 0.5) / ss
                    dx, dy = (px - cx) / radius, (py - cy) / radius
                    if math.hypot(dx, dy) > 1.0:
                        continue
                    covered += 1
                    if math.hypot(dx, dy) > 1.0 - rim / radius:
                        c = DEEP_BLUE
                    else:
                        c = globe_sample(dx, dy, grid_step, line_px, radius)
                    d = min(segment_distance(px, py, *w_points[i], *w_points[i + 1])
                            for i in range(len(w_points) - 1))
                    if d <= w_half:
                        c = WHITE
                    elif d <= w_half + outline_half:
                        c = DEEP_BLUE
                    for i in range(3):
                        acc[i] += c[i]
            if covered:
                row.append(tuple(int(round(a / covered)) for a in acc)
                           + (int(round(255 * covered / (ss * ss))),))
            else:
                row.append((0, 0, 0, 0))
        image.append(row)
    return image


def images():
    big = render(32, 30.0, 0.8,
                 [(7.0, 10.0), (11.2, 22.5), (16.0, 13.5), (20.8, 22.5), (25.0, 10.0)],
                 1.35, 1.0)
    small = render(16, 45.0, 0.7,
                   [(3.2, 4.8), (5.6, 11.4), (8.0, 6.8), (10.4, 11.4), (12.8, 4.8)],
                   0.85, 0.55)
    return [big, small]


def dib(image):
    """BITMAPINFOHEADER, bottom-up BGRA colour and the 1-bit AND mask."""
    size = len(image)
    mask_row = ((size + 31) // 32) * 4
    colour = bytearray()
    mask = bytearray()
    for row in reversed(image):
        for r, g, b, a in row:
            colour += bytes((b, g, r, a))
        bits = bytearray(mask_row)
        for x, p in enumerate(row):
            if p[3] < 128:                 # transparent where mostly uncovered
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    return header + bytes(colour) + bytes(mask)


def ico_bytes(imgs):
    blobs = [dib(img) for img in imgs]
    out = struct.pack("<HHH", 0, 1, len(imgs))
    offset = 6 + 16 * len(imgs)
    for img, blob in zip(imgs, blobs):
        size = len(img)
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32,
                           len(blob), offset)
        offset += len(blob)
    return out + b"".join(blobs)


def main(argv):
    parsed = parse_args(argv, DEFAULT_OUT, __doc__)
    if parsed is None:
        return 0
    out, png = parsed
    imgs = images()
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    with open(out, "wb") as f:
        f.write(ico_bytes(imgs))
    if png:
        for img in imgs:
            with open("%s-%d.png" % (png, len(img)), "wb") as f:
                f.write(png_bytes(img))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
