#!/usr/bin/env python3
"""Draws the setup's two icons and writes them as .ico files.

The pictures have a handful of colours and no partial transparency, so they are written as
16-colour images with a transparency mask: the same pixels in a fifth of the bytes of 32-bit ones.

setup.ico  (resource 128): two overlapping pages with a magnifier, the window icon.
browse.ico (resource 177): a folder, the image of the browse button.

Usage: make_icons.py OUTPUT_DIR
"""
import math
import struct
import sys


def blank(n):
    return [[(0, 0, 0, 0)] * n for _ in range(n)]


def rect(img, x0, y0, x1, y1, color):
    n = len(img)
    for y in range(max(0, y0), min(n, y1)):
        for x in range(max(0, x0), min(n, x1)):
            img[y][x] = color


def frame(img, x0, y0, x1, y1, color):
    rect(img, x0, y0, x1, y0 + 1, color)
    rect(img, x0, y1 - 1, x1, y1, color)
    rect(img, x0, y0, x0 + 1, y1, color)
    rect(img, x1 - 1, y0, x1, y1, color)


def disc(img, cx, cy, r, color, ring=None):
    n = len(img)
    for y in range(n):
        for x in range(n):
            d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
            if d <= r:
                img[y][x] = color
            if ring and r - ring[0] <= d <= r:
                img[y][x] = ring[1]


def line(img, x0, y0, x1, y1, width, color):
    steps = int(max(abs(x1 - x0), abs(y1 - y0)) * 4) + 1
    for i in range(steps + 1):
        t = i / steps
        x, y = x0 + (x1 - x0) * t, y0 + (y1 - y0) * t
        rect(img, int(x - width / 2), int(y - width / 2), int(x + width / 2 + 0.5),
             int(y + width / 2 + 0.5), color)


DARK = (40, 40, 60, 255)
PAGE = (255, 255, 255, 255)
BLUE = (40, 110, 200, 255)
ORANGE = (230, 140, 30, 255)
GLASS = (200, 230, 255, 255)
YELLOW = (245, 200, 70, 255)
YELLOW_DARK = (190, 140, 30, 255)


def setup_icon(n):
    s = n / 32
    img = blank(n)
    for (x, y, c) in ((3, 2, BLUE), (11, 7, ORANGE)):
        x0, y0, x1, y1 = int(x * s), int(y * s), int((x + 15) * s), int((y + 20) * s)
        rect(img, x0, y0, x1, y1, PAGE)
        frame(img, x0, y0, x1, y1, DARK)
        for k in range(3):
            ly = y0 + int((5 + 4 * k) * s)
            rect(img, x0 + int(3 * s), ly, x1 - int(3 * s), ly + max(1, int(2 * s)), c)
    line(img, 22 * s, 22 * s, 29 * s, 29 * s, max(2, 3 * s), DARK)
    disc(img, 19 * s, 19 * s, 6 * s, GLASS, (max(1.2, 1.6 * s), DARK))
    return img


def browse_icon(n):
    s = n / 16
    img = blank(n)
    rect(img, int(1 * s), int(3 * s), int(7 * s), int(5 * s), YELLOW_DARK)
    rect(img, int(1 * s), int(4 * s), int(15 * s), int(13 * s), YELLOW)
    frame(img, int(1 * s), int(4 * s), int(15 * s), int(13 * s), YELLOW_DARK)
    rect(img, int(2 * s), int(6 * s), int(14 * s), int(6 * s) + 1, (255, 235, 150, 255))
    return img


def dib(img):
    n = len(img)
    colors = sorted({(r, g, b) for row in img for (r, g, b, a) in row if a})
    assert len(colors) <= 16, 'more colours than a 16-colour icon holds'
    assert all(a in (0, 255) for row in img for (_, _, _, a) in row), 'partial transparency'
    index = {c: i for i, c in enumerate(colors)}
    header = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(bytes((b, g, r, 0)) for (r, g, b) in colors + [(0, 0, 0)] * (16 - len(colors)))
    row_bytes = ((n * 4 + 31) // 32) * 4
    mask_row = ((n + 31) // 32) * 4
    pixels, mask = bytearray(), bytearray()
    for row in reversed(img):
        nibbles, bits = bytearray(row_bytes), bytearray(mask_row)
        for x, (r, g, b, a) in enumerate(row):
            if a:
                nibbles[x // 2] |= index[(r, g, b)] << (0 if x % 2 else 4)
            else:
                bits[x // 8] |= 0x80 >> (x % 8)
        pixels += nibbles
        mask += bits
    return header + palette + bytes(pixels) + bytes(mask)


def write_ico(path, images):
    blobs = [dib(img) for img in images]
    out = struct.pack('<HHH', 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    for img, blob in zip(images, blobs):
        n = len(img)
        out += struct.pack('<BBBBHHII', n % 256, n % 256, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    with open(path, 'wb') as f:
        f.write(out + b''.join(blobs))


if __name__ == '__main__':
    out = sys.argv[1] if len(sys.argv) > 1 else '.'
    write_ico(f'{out}/setup.ico', [setup_icon(32), setup_icon(16)])
    write_ico(f'{out}/browse.ico', [browse_icon(16), browse_icon(32)])
