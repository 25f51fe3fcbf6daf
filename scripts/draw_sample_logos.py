#!/usr/bin/env python3
"""Draws the sample logos of data/samples/ (24-bit BMP files), with no module beyond the standard library.

  shop_name.bmp     a shop name in letters of a built-in 5 x 7 font, black with a red rule under it
  line_drawing.bmp  a coffee cup with steam, outlined in lines of even width
  gradient.bmp      a shaded sphere on a graded background: a photo-like picture of smooth tones

The output is the same on every run (no randomness, no time stamps).
Usage: scripts/draw_sample_logos.py [OUTPUT_FOLDER]   (default: data/samples beside this script)
"""
import math
import os
import struct
import sys

# 5 x 7 capitals, digits and a few signs: one string of 7 rows per glyph, '#' for ink.
FONT = {
    'A': ".###.#...##...#######...##...##...#", 'B': "####.#...##...#####.#...##...#####.",
    'C': ".###.#...##....#....#....#...#.###.", 'D': "###..#..#.#...##...##...##..#.###..",
    'E': "######....#....####.#....#....#####", 'F': "######....#....####.#....#....#....",
    'G': ".###.#...##....#.####...##...#.####", 'H': "#...##...##...#######...##...##...#",
    'I': ".###...#....#....#....#....#...###.", 'J': "..###...#....#....#....##..#..##...",
    'K': "#...##..#.#.#..##...#.#..#..#.#...#", 'L': "#....#....#....#....#....#....#####",
    'M': "#...###.###.#.##...##...##...##...#", 'N': "#...###..##.#.##..###...##...##...#",
    'O': ".###.#...##...##...##...##...#.###.", 'P': "####.#...##...#####.#....#....#....",
    'Q': ".###.#...##...##...##.#.##..#..##.#", 'R': "####.#...##...#####.#.#..#..#.#...#",
    'S': ".#####....#.....###.....#....#####.", 'T': "#####..#....#....#....#....#....#..",
    'U': "#...##...##...##...##...##...#.###.", 'V': "#...##...##...##...##...#.#.#...#..",
    'W': "#...##...##...##.#.##.#.##.#..#.#..", 'X': "#...##...#.#.#...#...#.#.#...##...#",
    'Y': "#...##...#.#.#...#....#....#....#..", 'Z': "#####....#...#...#...#...#....#####",
    '0': ".###.#...##..###.#.###..##...#.###.", '1': "..#...##....#....#....#....#...###.",
    '2': ".###.#...#....#...#...#...#...#####", '3': "#####...#...#.....#.....##...#.###.",
    '4': "...#...##..#.#.#..#.#####...#....#.", '5': "######....####.....#....##...#.###.",
    '6': "..##..#...#....####.#...##...#.###.", '7': "#####....#...#...#...#....#....#...",
    '8': ".###.#...##...#.###.#...##...#.###.", '9': ".###.#...##...#.####....#...#..##..",
    ' ': "." * 35, '.': "." * 25 + "..#....#..", '-': "." * 15 + "#####" + "." * 15,
    '&': ".##..#..#.#.#...#...#.#.##..#..##.#",
}

WHITE, BLACK, RED = (255, 255, 255), (0, 0, 0), (200, 16, 24)


class Canvas:
    def __init__(self, width, height, background=WHITE):
        self.width, self.height = width, height
        self.rows = [[background] * width for _ in range(height)]

    def set(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.rows[y][x] = colour

    def fill_rect(self, x0, y0, x1, y1, colour):
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                self.rows[y][x] = colour

    def dot(self, cx, cy, radius, colour):
        r = int(math.ceil(radius))
        for y in range(int(cy) - r, int(cy) + r + 1):
            for x in range(int(cx) - r, int(cx) + r + 1):
                if (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius:
                    self.set(x, y, colour)

    def line(self, x0, y0, x1, y1, width, colour):
        steps = max(1, int(math.hypot(x1 - x0, y1 - y0)))
        for i in range(steps + 1):
            t = i / steps
            self.dot(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, width / 2, colour)

    def arc(self, cx, cy, rx, ry, start_deg, end_deg, width, colour):
        steps = max(8, int(abs(end_deg - start_deg) * max(rx, ry) / 30))
        points = [(cx + rx * math.cos(math.radians(start_deg + (end_deg - start_deg) * i / steps)),
                   cy + ry * math.sin(math.radians(start_deg + (end_deg - start_deg) * i / steps)))
                  for i in range(steps + 1)]
        for (ax, ay), (bx, by) in zip(points, points[1:]):
            self.line(ax, ay, bx, by, width, colour)

    def text(self, x, y, string, scale, colour):
        for ch in string:
            glyph = FONT[ch]
            assert len(glyph) == 35, ch
            for row in range(7):
                for col in range(5):
                    if glyph[row * 5 + col] == '#':
                        self.fill_rect(x + col * scale, y + row * scale, x + (col + 1) * scale,
                                       y + (row + 1) * scale, colour)
            x += 6 * scale

    def bmp(self):
        """A 24-bit BMP: bottom-up rows of blue, green, red bytes, each padded to 4 bytes."""
        stride = (self.width * 3 + 3) & ~3
        pixels = bytearray()
        for row in reversed(self.rows):
            for r, g, b in row:
                pixels += bytes((b, g, r))
            pixels += b'\0' * (stride - self.width * 3)
        header = struct.pack('<2sIHHI', b'BM', 54 + len(pixels), 0, 0, 54)
        info = struct.pack('<IiiHHIIiiII', 40, self.width, self.height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
        return header + info + bytes(pixels)


def shop_name():
    c = Canvas(496, 120)
    c.text(17, 14, "CORNER BAKERY", 6, BLACK)
    c.fill_rect(17, 70, 496 - 17, 76, RED)
    c.text(168, 88, "EST. 1987", 3, BLACK)
    return c


def line_drawing():
    c = Canvas(320, 240)
    w = 5
    c.arc(140, 200, 70, 10, 0, 360, w, BLACK)               # saucer
    c.line(95, 90, 105, 180, w, BLACK)                     # cup sides
    c.line(185, 90, 175, 180, w, BLACK)
    c.arc(140, 90, 45, 10, 0, 360, w, BLACK)               # rim
    c.arc(140, 180, 35, 8, 0, 180, w, BLACK)               # base
    c.arc(192, 130, 22, 26, -80, 80, w, BLACK)             # handle
    for x in (120, 140, 160):                              # steam
        c.arc(x, 50, 8, 14, 90, 270, 3, RED)
        c.arc(x, 22, 8, 14, -90, 90, 3, RED)
    return c


def gradient():
    c = Canvas(320, 240)
    lx, ly, lz = -0.5, -0.6, 0.63                           # light from the upper left
    for y in range(c.height):
        for x in range(c.width):
            # Background: warm at the top to cool at the bottom.
            t = y / (c.height - 1)
            colour = (int(250 - 90 * t), int(220 - 60 * t), int(170 + 50 * t))
            dx, dy = (x - 160) / 90, (y - 115) / 90
            d2 = dx * dx + dy * dy
            if d2 <= 1:
                nz = math.sqrt(1 - d2)
                lambert = max(0.0, dx * lx + dy * ly + nz * lz)
                shine = max(0.0, lambert) ** 24
                shade = 0.15 + 0.85 * lambert
                colour = tuple(min(255, int(base * shade + 255 * shine))
                               for base in (210, 60, 40))
            elif y > 190:                                  # the sphere's shadow on the floor
                sx, sy = (x - 175) / 100, (y - 212) / 14
                if sx * sx + sy * sy < 1:
                    k = 0.55 + 0.45 * (sx * sx + sy * sy)
                    colour = tuple(int(v * k) for v in colour)
            c.set(x, y, colour)
    return c


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, '..', 'data', 'samples')
    os.makedirs(out, exist_ok=True)
    for name, draw in (('shop_name.bmp', shop_name), ('line_drawing.bmp', line_drawing),
                       ('gradient.bmp', gradient)):
        with open(os.path.join(out, name), 'wb') as f:
            f.write(draw().bmp())


if __name__ == '__main__':
    main()
