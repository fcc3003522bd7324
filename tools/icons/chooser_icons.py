#!/usr/bin/env python3
"""Draws the folder chooser's five tree icons (16 x 16, 16 colours, with masks).

Usage: chooser_icons.py OUTPUT_DIR
Writes NAME.ico and NAME.bin for each icon: the .ico to look at, the .bin (the icon image
alone, as an RT_ICON resource holds it) for folder_chooser.rc. The resource script names the
RT_ICON entries itself because every resource script compiled on its own numbers its icon
images from 1, and two scripts linked into one program would then clash.
The pictures are drawn here in code so that they can be changed and rebuilt; the outputs are
committed next to the resource script.
"""
import struct
import sys
from pathlib import Path

# The standard 16-colour palette, in index order.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, OLIVE, TEAL, SILVER, GRAY, LIME, YELLOW, AQUA, WHITE = 0, 3, 6, 7, 8, 10, 11, 14, 15
CLEAR = None
SIZE = 16


class Canvas:
    def __init__(self):
        self.px = [[CLEAR] * SIZE for _ in range(SIZE)]

    def put(self, x, y, c):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            self.px[y][x] = c

    def fill(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.put(x, y0, c)
            self.put(x, y1, c)
        for y in range(y0, y1 + 1):
            self.put(x0, y, c)
            self.put(x1, y, c)

    def disc(self, cx, cy, r, c):
        for y in range(SIZE):
            for x in range(SIZE):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    self.put(x, y, c)


def drive_box(cv, top, bottom):
    """A drive seen from the front: light top edge, grey face, dark outline."""
    cv.fill(0, top, 15, bottom, SILVER)
    cv.frame(0, top, 15, bottom, BLACK)
    cv.fill(1, top + 1, 14, top + 1, WHITE)
    cv.fill(1, top + 1, 1, bottom - 1, WHITE)
    cv.fill(1, bottom - 1, 14, bottom - 1, GRAY)
    cv.fill(14, top + 1, 14, bottom - 1, GRAY)


def folder():
    cv = Canvas()
    cv.fill(1, 3, 6, 4, YELLOW)       # tab
    cv.frame(1, 2, 6, 4, OLIVE)
    cv.fill(0, 4, 14, 13, YELLOW)     # body
    cv.frame(0, 4, 14, 13, OLIVE)
    cv.fill(1, 5, 13, 5, WHITE)       # light edge
    cv.fill(1, 5, 1, 12, WHITE)
    cv.fill(1, 14, 15, 14, BLACK)     # shadow
    cv.fill(15, 5, 15, 14, BLACK)
    return cv


def hard_disk():
    cv = Canvas()
    drive_box(cv, 5, 12)
    cv.fill(3, 8, 9, 8, GRAY)         # groove across the face
    cv.fill(3, 9, 9, 9, WHITE)
    cv.fill(11, 9, 12, 9, LIME)       # activity light
    return cv


def floppy_drive():
    cv = Canvas()
    drive_box(cv, 4, 12)
    cv.fill(3, 7, 12, 7, BLACK)       # disk slot
    cv.fill(3, 8, 12, 8, WHITE)
    cv.fill(10, 10, 12, 10, GRAY)     # eject button
    cv.put(3, 10, LIME)
    return cv


def cdrom_drive():
    cv = Canvas()
    cv.disc(8, 5, 5, BLACK)           # disc above the drive
    cv.disc(8, 5, 4, SILVER)
    cv.disc(7, 4, 2, AQUA)
    cv.disc(8, 5, 1, WHITE)
    cv.put(8, 5, BLACK)
    drive_box(cv, 9, 15)
    cv.fill(3, 12, 12, 12, BLACK)     # tray
    cv.put(13, 13, LIME)
    return cv


def monitor(cv, x, y):
    cv.fill(x, y, x + 7, y + 5, SILVER)
    cv.frame(x, y, x + 7, y + 5, BLACK)
    cv.fill(x + 1, y + 1, x + 6, y + 4, TEAL)
    cv.fill(x + 2, y + 2, x + 3, y + 2, AQUA)
    cv.fill(x + 2, y + 6, x + 5, y + 6, BLACK)   # stand


def network():
    cv = Canvas()
    cv.fill(3, 7, 3, 12, BLACK)       # cable between the two computers
    cv.fill(3, 12, 8, 12, BLACK)
    monitor(cv, 0, 0)
    monitor(cv, 8, 8)
    cv.fill(10, 15, 13, 15, BLACK)
    return cv


def ico_bytes(cv):
    rows = cv.px
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(SIZE)):   # bottom-up
        row = rows[y]
        for x in range(0, SIZE, 2):
            hi = row[x] if row[x] is not None else 0
            lo = row[x + 1] if row[x + 1] is not None else 0
            xor.append(hi << 4 | lo)
        bits = 0
        for x in range(SIZE):
            if row[x] is None:
                bits |= 1 << (15 - x)
        mask += struct.pack(">H", bits) + b"\0\0"    # rows padded to 32 bits
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, len(xor) + len(mask),
                         0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    image = header + palette + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack(
        "<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + image


ICONS = {
    "folder.ico": folder,
    "drive_fixed.ico": hard_disk,
    "drive_removable.ico": floppy_drive,
    "drive_cdrom.ico": cdrom_drive,
    "drive_remote.ico": network,
}


def main():
    out = Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    out.mkdir(parents=True, exist_ok=True)
    for name, draw in ICONS.items():
        data = ico_bytes(draw())
        (out / name).write_bytes(data)
        (out / name.replace(".ico", ".bin")).write_bytes(data[6 + 16:])


if __name__ == "__main__":
    main()
