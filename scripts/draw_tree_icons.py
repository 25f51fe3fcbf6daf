#!/usr/bin/env python3
"""Draws the four 16 x 16 icons of the server tree into data/icons/ (PNG, RGBA): DOMAIN (a globe),
SERVER (a tower), PRINTER (a receipt printer with its paper) and NETPRINTER (the printer with a network
plug). Plain Python, no imaging library: the pixels are set by hand and written with zlib."""
import os
import struct
import sys
import zlib

N = 16
CLEAR = (0, 0, 0, 0)


def canvas():
    return [[CLEAR] * N for _ in range(N)]


def rect(img, x0, y0, x1, y1, colour):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            img[y][x] = colour


def frame(img, x0, y0, x1, y1, colour):
    for x in range(x0, x1 + 1):
        img[y0][x] = img[y1][x] = colour
    for y in range(y0, y1 + 1):
        img[y][x0] = img[y][x1] = colour


def disc(img, cx, cy, r, colour, ring=None):
    for y in range(N):
        for x in range(N):
            d = ((x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2) ** 0.5
            if d <= r:
                img[y][x] = ring if ring and d > r - 1 else colour


def domain():
    img = canvas()
    blue, light, dark = (40, 110, 200, 255), (120, 180, 240, 255), (20, 60, 130, 255)
    disc(img, 8, 8, 7.5, light, dark)
    for y in range(2, 14):  # meridian and the equator
        img[y][7] = img[y][8] = blue
    for x in range(2, 14):
        img[7][x] = blue
    for x in range(3, 13):
        img[4][x] = img[11][x] = blue if img[4][x] != CLEAR else CLEAR
    return img


def server():
    img = canvas()
    body, edge, slot, led = (190, 195, 205, 255), (70, 75, 90, 255), (110, 115, 130, 255), (40, 200, 60, 255)
    rect(img, 4, 1, 11, 14, body)
    frame(img, 4, 1, 11, 14, edge)
    for y in (4, 7, 10):
        rect(img, 6, y, 9, y, slot)
    img[12][9] = led
    rect(img, 3, 15, 12, 15, edge)
    return img


def printer(img=None):
    img = img or canvas()
    paper, body, edge, out = (255, 255, 255, 255), (90, 95, 110, 255), (30, 30, 40, 255), (200, 40, 40, 255)
    rect(img, 4, 0, 11, 5, paper)  # the receipt coming out
    frame(img, 4, 0, 11, 5, (150, 150, 150, 255))
    for y in (2, 4):
        rect(img, 6, y, 9, y, (120, 120, 120, 255))
    rect(img, 1, 6, 14, 12, body)
    frame(img, 1, 6, 14, 12, edge)
    rect(img, 3, 8, 12, 8, edge)  # paper slot
    img[10][12] = out  # power light
    return img


def netprinter():
    img = printer()
    wire, plug = (20, 140, 60, 255), (10, 90, 30, 255)
    rect(img, 7, 13, 8, 14, wire)
    rect(img, 2, 15, 13, 15, wire)
    rect(img, 1, 14, 2, 15, plug)
    rect(img, 13, 14, 14, 15, plug)
    return img


def write_png(path, img):
    raw = b"".join(b"\0" + b"".join(struct.pack("4B", *p) for p in row) for row in img)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", N, N, 8, 6, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "data", "icons")
    os.makedirs(out, exist_ok=True)
    for name, draw in (("DOMAIN", domain), ("SERVER", server), ("PRINTER", printer), ("NETPRINTER", netprinter)):
        write_png(os.path.join(out, name + ".png"), draw())


if __name__ == "__main__":
    main()
