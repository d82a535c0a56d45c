#!/usr/bin/env python3
"""Draw the program's logo, app/res/logo.bmp (324 x 74 pixels, 24-bit).

Standard library only. The window draws the logo transparent, taking the
colour of the bottom-left pixel as the transparent one, so the background is
pure magenta and no other pixel may carry that colour. Edges are smoothed
towards a light grey, the colour of the window behind the logo.

Usage: gen_logo.py [OUT] [--png PNG]
OUT defaults to app/res/logo.bmp relative to the repository's root; --png
also writes a PNG copy for viewing.
"""

import math
import os
import struct
import sys
import zlib

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_OUT = os.path.join(REPO, "app", "res", "logo.bmp")

WIDTH, HEIGHT = 324, 74
KEY = (255, 0, 255)           # transparent colour
BEHIND = (200, 200, 200)      # what partly covered edge pixels blend with

DEEP_BLUE = (12, 40, 112)
TEAL = (0, 118, 128)
SHADOW = (150, 170, 182)

# A small bitmap font: 5 columns, 9 rows (rows 0-6 cap height, 7-8 descenders).
# Glyphs are trimmed to their inked columns and set proportionally.
FONT = {
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "B": ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    "C": [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
    "D": ["###..", "#..#.", "#...#", "#...#", "#...#", "#..#.", "###.."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "F": ["#####", "#....", "#....", "####.", "#....", "#....", "#...."],
    "G": [".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"],
    "H": ["#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "I": ["###", ".#.", ".#.", ".#.", ".#.", ".#.", "###"],
    "J": ["..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."],
    "K": ["#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "M": ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    "N": ["#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "P": ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    "Q": [".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "S": [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "U": ["#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "V": ["#...#", "#...#", "#...#", ".#.#.", ".#.#.", ".#.#.", "..#.."],
    "W": ["#...#", "#...#", "#...#", "#.#.#", "#.#.#", "##.##", "#...#"],
    "X": ["#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"],
    "Y": ["#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."],
    "Z": ["#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"],
    "a": [".....", ".....", ".###.", "....#", ".####", "#...#", ".####"],
    "b": ["#....", "#....", "####.", "#...#", "#...#", "#...#", "####."],
    "c": [".....", ".....", ".###.", "#....", "#....", "#....", ".###."],
    "d": ["....#", "....#", ".####", "#...#", "#...#", "#...#", ".####"],
    "e": [".....", ".....", ".###.", "#...#", "#####", "#....", ".###."],
    "f": ["..##", ".#..", "####", ".#..", ".#..", ".#..", ".#.."],
    "g": [".....", ".....", ".####", "#...#", "#...#", "#...#", ".####", "....#", ".###."],
    "h": ["#....", "#....", "####.", "#...#", "#...#", "#...#", "#...#"],
    "i": ["#", ".", "#", "#", "#", "#", "#"],
    "j": ["..#", "...", "..#", "..#", "..#", "..#", "..#", "#.#", ".#."],
    "k": ["#...", "#...", "#..#", "#.#.", "##..", "#.#.", "#..#"],
    "l": ["##", ".#", ".#", ".#", ".#", ".#", ".#"],
    "m": [".....", ".....", "##.#.", "#.#.#", "#.#.#", "#.#.#", "#.#.#"],
    "n": [".....", ".....", "####.", "#...#", "#...#", "#...#", "#...#"],
    "o": [".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###."],
    "p": [".....", ".....", "####.", "#...#", "#...#", "#...#", "####.", "#....", "#...."],
    "q": [".....", ".....", ".####", "#...#", "#...#", "#...#", ".####", "....#", "....#"],
    "r": ["....", "....", "#.##", "##..", "#...", "#...", "#..."],
    "s": [".....", ".....", ".####", "#....", ".###.", "....#", "####."],
    "t": [".#..", ".#..", "####", ".#..", ".#..", ".#..", "..##"],
    "u": [".....", ".....", "#...#", "#...#", "#...#", "#...#", ".####"],
    "v": [".....", ".....", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    "w": [".....", ".....", "#...#", "#...#", "#.#.#", "#.#.#", ".#.#."],
    "x": [".....", ".....", "#...#", ".#.#.", "..#..", ".#.#.", "#...#"],
    "y": [".....", ".....", "#...#", "#...#", "#...#", "#...#", ".####", "....#", ".###."],
    "z": [".....", ".....", "#####", "...#.", "..#..", ".#...", "#####"],
    "-": ["....", "....", "....", "####", "....", "....", "...."],
    ".": ["", "", "", "", "", "", "#"],
    ",": [".", ".", ".", ".", ".", ".", "#", "#"],
    "'": ["#", "#", ".", ".", ".", ".", "."],
}
SPACE_COLUMNS = 3


def glyph(ch):
    rows = FONT[ch]
    width = max(len(r) for r in rows)
    return [r.ljust(width, ".") for r in rows] + ["." * width] * (9 - len(rows))


def text_width(text, scale, gap=1):
    width = 0
    for i, ch in enumerate(text):
        width += (SPACE_COLUMNS if ch == " " else len(glyph(ch)[0])) * scale
        if i + 1 < len(text):
            width += gap * scale
    return width


class Canvas:
    def __init__(self, width, height, background):
        self.width, self.height = width, height
        self.px = [[background] * width for _ in range(height)]

    def set(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.px[y][x] = colour

    def blend(self, x, y, colour, alpha):
        """Cover pixel (x, y) by `alpha` of `colour`. Partial cover over the
        key colour mixes with the grey behind the logo, never with magenta."""
        if not (0 <= x < self.width and 0 <= y < self.height) or alpha <= 0:
            return
        under = self.px[y][x]
        if under == KEY:
            if alpha < 0.08:
                return
            under = BEHIND
        a = min(alpha, 1.0)
        self.px[y][x] = tuple(int(round(c * a + u * (1 - a))) for c, u in zip(colour, under))

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.set(x, y, colour)

    def text(self, x, y, text, scale, colour, gap=1, shadow=None):
        """Block letters: every font pixel becomes a scale x scale square."""
        if shadow is not None:
            self.text(x + 1, y + 1, text, scale, shadow, gap)
        for ch in text:
            if ch == " ":
                x += (SPACE_COLUMNS + gap) * scale
                continue
            rows = glyph(ch)
            for gy, row in enumerate(rows):
                for gx, bit in enumerate(row):
                    if bit == "#":
                        self.rect(x + gx * scale, y + gy * scale,
                                  x + (gx + 1) * scale, y + (gy + 1) * scale, colour)
            x += (len(rows[0]) + gap) * scale
        return x


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def globe_sample(nx, ny, grid_step, line_px, radius):
    """Colour of the globe at view point (nx, ny) inside the unit disc."""
    nz = math.sqrt(max(0.0, 1.0 - nx * nx - ny * ny))
    # Light from the upper left, in front.
    lx, ly, lz = -0.5, -0.6, 0.62
    norm = math.sqrt(lx * lx + ly * ly + lz * lz)
    light = max(0.0, (nx * lx + ny * ly + nz * lz) / norm)
    sea_dark, sea_light = (8, 44, 120), (70, 170, 205)
    colour = mix(sea_dark, sea_light, light ** 1.3)

    def grid_distance(px, py):
        pz = math.sqrt(max(0.0, 1.0 - px * px - py * py))
        tilt = math.radians(22)
        gy = py * math.cos(tilt) - pz * math.sin(tilt)
        gz = py * math.sin(tilt) + pz * math.cos(tilt)
        lat = math.degrees(math.asin(max(-1.0, min(1.0, -gy))))
        lon = math.degrees(math.atan2(px, gz)) + 10.0
        dlat = abs((lat + grid_step / 2) % grid_step - grid_step / 2)
        dlon = abs((lon + grid_step / 2) % grid_step - grid_step / 2)
        return lat, lon, dlat, dlon

    lat, lon, dlat, dlon = grid_distance(nx, ny)
    # Convert the angular distances to pixels with a numerical gradient.
    h = 0.5 / radius
    lat2, lon2, _, _ = grid_distance(min(nx + h, 0.999), ny)
    lat3, lon3, _, _ = grid_distance(nx, min(ny + h, 0.999))
    glat = math.hypot(lat2 - lat, lat3 - lat) / 0.5 + 1e-9
    dl = (lon2 - lon + 180) % 360 - 180
    dl3 = (lon3 - lon + 180) % 360 - 180
    glon = math.hypot(dl, dl3) / 0.5 + 1e-9
    on_line = max(0.0, 1.0 - (dlat / glat) / line_px, 1.0 - (dlon / glon) / line_px)
    if abs(lat) > 80:          # no meridian knot at the pole
        on_line = max(0.0, 1.0 - (dlat / glat) / line_px)
    grid = mix(colour, (215, 240, 250), 0.75)
    colour = mix(colour, grid, on_line)
    # A soft highlight.
    shine = max(0.0, 1.0 - math.hypot(nx + 0.38, ny + 0.42) / 0.35)
    return mix(colour, (235, 248, 255), 0.55 * shine * shine)


def draw_globe(canvas, cx, cy, radius, grid_step=30.0, line_px=0.9, outline=DEEP_BLUE, ss=4):
    """A shaded globe with latitude and longitude lines and a dark rim."""
    x0, x1 = int(cx - radius) - 2, int(cx + radius) + 3
    y0, y1 = int(cy - radius) - 2, int(cy + radius) + 3
    for y in range(y0, y1):
        for x in range(x0, x1):
            acc = [0.0, 0.0, 0.0]
            covered = 0
            for sy in range(ss):
                for sx in range(ss):
                    px = x + (sx + 0.5) / ss
                    py = y + (sy + 0.5) / ss
                    dx, dy = (px - cx) / radius, (py - cy) / radius
                    d = math.hypot(dx, dy)
                    if d > 1.0:
                        continue
                    covered += 1
                    if d > 1.0 - 1.4 / radius:
                        c = outline
                    else:
                        c = globe_sample(dx, dy, grid_step, line_px, radius)
                    for i in range(3):
                        acc[i] += c[i]
            if covered:
                colour = tuple(a / covered for a in acc)
                canvas.blend(x, y, colour, covered / (ss * ss))


def draw(canvas):
    draw_globe(canvas, 37.0, 37.0, 33.0)

    # Centre the lettering in the space right of the globe.
    left = 76 + (WIDTH - 76 - text_width("Tessaly Whois", 3)) // 2
    # Maker's name, small capitals in teal.
    canvas.text(left + 1, 5, "VANTREL", 2, TEAL, gap=2)
    # Product name, large, deep blue with a light shadow.
    end = canvas.text(left, 24, "Tessaly Whois", 3, DEEP_BLUE, shadow=SHADOW)
    # A teal rule under the name and a tag line.
    canvas.rect(left, 56, end - 3, 58, TEAL)
    tag = "Domain whois lookup"
    canvas.text(end - 3 - text_width(tag, 1), 62, tag, 1, DEEP_BLUE)


def bmp_bytes(canvas):
    row_size = (canvas.width * 3 + 3) & ~3
    image_size = row_size * canvas.height
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + image_size, 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 24, 0,
                       image_size, 3780, 3780, 0, 0)
    rows = []
    for y in range(canvas.height - 1, -1, -1):       # bottom-up
        row = bytearray()
        for r, g, b in canvas.px[y]:
            row += bytes((b, g, r))
        row += b"\0" * (row_size - len(row))
        rows.append(bytes(row))
    return header + info + b"".join(rows)


def png_bytes(rows):
    """A PNG of rows of RGB or RGBA tuples, for looking at what a tool drew."""
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    raw = b"".join(b"\0" + bytes(v for p in row for v in p) for row in rows)
    colour_type = 6 if len(rows[0][0]) == 4 else 2
    ihdr = struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, colour_type, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def parse_args(argv, default_out, doc):
    """[OUT] [--png PATH]: (out, png), or None after printing the help."""
    out, png = default_out, None
    args = list(argv)
    while args:
        a = args.pop(0)
        if a == "--png" and args:
            png = args.pop(0)
        elif a in ("-h", "--help"):
            print(doc)
            return None
        else:
            out = a
    return out, png


def main(argv):
    parsed = parse_args(argv, DEFAULT_OUT, __doc__)
    if parsed is None:
        return 0
    out, png = parsed
    canvas = Canvas(WIDTH, HEIGHT, KEY)
    draw(canvas)
    canvas.px = [[tuple(int(round(c)) for c in p) for p in row] for row in canvas.px]
    # Only the background may be the transparent colour.
    for y, row in enumerate(canvas.px):
        for x, p in enumerate(row):
            if p == KEY:
                continue
            if abs(p[0] - 255) + p[1] + abs(p[2] - 255) < 24:
                raise SystemExit("pixel %d,%d too close to the key colour" % (x, y))
    assert canvas.px[HEIGHT - 1][0] == KEY
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    with open(out, "wb") as f:
        f.write(bmp_bytes(canvas))
    if png:
        with open(png, "wb") as f:
            f.write(png_bytes(canvas.px))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
