#!/usr/bin/env python3
"""Draws the program's icon (resource 101) and background picture (resource 102).

Uses only the standard library so the committed files can be regenerated and
compared anywhere: make_app_art.py [OUTPUT_FOLDER] (default src/app/res).
"""
import os
import struct
import sys

PANEL_W, PANEL_H = 280, 410
ICON_SIZE = 45
PALE = (252, 252, 252)  # the panel's bands take their colour from pixel (0, 0)

# 5x7 capitals, one string per row, '#' set.
GLYPHS = {
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "U": ["#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "N": ["#...#", "##..#", "#.#.#", "#.#.#", "#..##", "#...#", "#...#"],
    "W": ["#...#", "#...#", "#...#", "#.#.#", "#.#.#", "##.##", "#...#"],
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "D": ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
}


def blank(w, h, colour):
    return [[colour] * w for _ in range(h)]


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def draw_text(img, text, left, top, scale, colour):
    x = left
    for ch in text:
        for gy, row in enumerate(GLYPHS[ch]):
            for gx, cell in enumerate(row):
                if cell != "#":
                    continue
                for dy in range(scale):
                    for dx in range(scale):
                        img[top + gy * scale + dy][x + gx * scale + dx] = colour
        x += 6 * scale


def text_width(text, scale):
    return len(text) * 6 * scale - scale


def rounded_box(img, x0, y0, x1, y1, radius, top_colour, bottom_colour, edge):
    """Fills x0..x1, y0..y1 (inclusive) with a vertical gradient and a 1-pixel edge."""
    def inside(x, y, shrink):
        r = radius - shrink
        cx = min(max(x, x0 + radius), x1 - radius)
        cy = min(max(y, y0 + radius), y1 - radius)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r and x0 + shrink <= x <= x1 - shrink and y0 + shrink <= y <= y1 - shrink

    for y in range(y0, y1 + 1):
        fill = mix(top_colour, bottom_colour, (y - y0) / max(1, y1 - y0))
        for x in range(x0, x1 + 1):
            if inside(x, y, 1):
                img[y][x] = fill
            elif inside(x, y, 0):
                img[y][x] = edge


def background():
    img = blank(PANEL_W, PANEL_H, PALE)
    # Below the banner the picture pales from white towards a cool grey, so
    # the bands that lighten groups of rows stand out a little.
    for y in range(40, PANEL_H):
        shade = 252 - (y - 40) * 10 // (PANEL_H - 40)
        for x in range(PANEL_W):
            img[y][x] = (shade - 1, shade, min(252, shade + 2))
    # Below the banner: a faint mountain ridge near the bottom, pale enough
    # that every row of text stays readable on it.
    peaks = [(0, 334), (38, 306), (66, 320), (118, 284), (158, 312), (204, 290), (242, 318), (279, 302)]
    for x in range(PANEL_W):
        for (xa, ya), (xb, yb) in zip(peaks, peaks[1:]):
            if xa <= x <= xb:
                ridge = ya + (yb - ya) * (x - xa) // (xb - xa)
                break
        for y in range(ridge, PANEL_H):
            shade = img[y][x][1] - 5 - min(8, (y - ridge) // 10)
            img[y][x] = (shade, shade + 1, shade + 4)
    # The title banner in the top 40 rows; pixel (0, 0) stays PALE.
    rounded_box(img, 6, 4, PANEL_W - 7, 35, 6, (88, 118, 168), (44, 66, 112), (34, 50, 86))
    title = "RUNWARDEN"
    scale = 3
    left = (PANEL_W - text_width(title, scale)) // 2
    draw_text(img, title, left + 1, 10 + 1, scale, (30, 42, 70))  # shadow
    draw_text(img, title, left, 10, scale, (246, 248, 252))
    return img


def icon():
    img = blank(ICON_SIZE, ICON_SIZE, (0, 0, 0))
    rounded_box(img, 0, 0, ICON_SIZE - 1, ICON_SIZE - 1, 8, (88, 118, 168), (44, 66, 112), (34, 50, 86))
    scale = 5
    draw_text(img, "R", (ICON_SIZE - text_width("R", scale)) // 2, (ICON_SIZE - 7 * scale) // 2, scale,
              (246, 248, 252))
    return img


def bmp_bytes(img):
    h, w = len(img), len(img[0])
    stride = (w * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(img):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        pixels += line + bytes(stride - len(line))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + pixels


def ico_bytes(img):
    h, w = len(img), len(img[0])
    stride = (w * 3 + 3) & ~3
    mask_stride = ((w + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(img):
        line = bytearray()
        bits = bytearray(mask_stride)
        for x, (r, g, b) in enumerate(row):
            line += bytes((b, g, r))
            if (r, g, b) == (0, 0, 0):  # the rounded corners are see-through
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += line + bytes(stride - len(line))
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 24, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = info + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", w, h, 0, 0, 1, 24, len(image), 6 + 16)
    return directory + entry + image


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "src", "app", "res")
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, "background.bmp"), "wb") as f:
        f.write(bmp_bytes(background()))
    with open(os.path.join(out, "runwarden.ico"), "wb") as f:
        f.write(ico_bytes(icon()))


if __name__ == "__main__":
    main()
