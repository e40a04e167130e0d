#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Draws the dialogs' 80 x 42 logo: a card with its chip, and three radio waves.

Writes logo.png (the Qt dialogs) and logo.bmp (the Win32 dialogs' resource: 32 bits a pixel,
bottom row first, colours premultiplied by their alpha as AlphaBlend takes them). Run again after
changing the drawing; both are committed so that the build needs no Python.
"""
import math
import struct
import sys
import zlib

WIDTH, HEIGHT, SAMPLES = 80, 42, 4

CARD = (31, 78, 121)
CHIP = (226, 180, 60)
WAVE = (232, 112, 34)


def inside_rounded(x, y, left, top, right, bottom, radius):
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def colour_at(x, y):
    """The colour of one point of the picture, or None where it is transparent."""
    if inside_rounded(x, y, 9, 13, 23, 24, 2):
        return CHIP
    if inside_rounded(x, y, 2, 5, 48, 37, 5):
        return CARD
    # Waves: rings around a centre left of the card's right edge, opening to the right.
    cx, cy = 46.0, 21.0
    distance = math.hypot(x - cx, y - cy)
    angle = math.degrees(math.atan2(y - cy, x - cx))
    if x > 50 and abs(angle) <= 50:
        for radius in (10.0, 16.0, 22.0):
            if abs(distance - radius) <= 1.6:
                return WAVE
    return None


def pixel(px, py):
    totals = [0, 0, 0, 0]
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            colour = colour_at(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES)
            if colour:
                for i in range(3):
                    totals[i] += colour[i]
                totals[3] += 1
    covered = totals[3]
    if covered == 0:
        return (0, 0, 0, 0)
    return tuple(t // covered for t in totals[:3]) + (255 * covered // SAMPLES ** 2,)


def png(rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\0" + bytes(v for p in row for v in p) for row in rows)
    header = struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def bmp(rows):
    pixels = b"".join(bytes((b * a // 255, g * a // 255, r * a // 255, a))
                      for row in reversed(rows) for (r, g, b, a) in row)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 32, 0, len(pixels), 3780, 3780, 0, 0)
    offset = 14 + len(info)
    return struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset) + info + pixels


if __name__ == "__main__":
    png_target = sys.argv[1] if len(sys.argv) > 1 else "logo.png"
    bmp_target = sys.argv[2] if len(sys.argv) > 2 else "logo.bmp"
    picture = [[pixel(x, y) for x in range(WIDTH)] for y in range(HEIGHT)]
    with open(png_target, "wb") as out:
        out.write(png(picture))
    with open(bmp_target, "wb") as out:
        out.write(bmp(picture))
