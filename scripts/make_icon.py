#!/usr/bin/env python3
"""Draws the program icon and writes it as a Windows .ico file.

The image is a rounded blue tile with a white check mark, drawn at 16, 32
and 48 pixels with 4x4 supersampling, stored as 32-bit BGRA bitmaps.

    python3 scripts/make_icon.py app/resources/talvor.ico
"""
import math
import struct
import sys

SIZES = (16, 32, 48)
SAMPLES = 4
TILE_TOP = (0x3A, 0x8D, 0xDE)     # RGB at the top edge of the tile
TILE_BOTTOM = (0x12, 0x4A, 0x9A)  # RGB at the bottom edge
CHECK = (0xFF, 0xFF, 0xFF)
# Check mark in unit coordinates (0..1, y downwards) and its stroke width.
CHECK_POINTS = ((0.25, 0.53), (0.43, 0.71), (0.76, 0.32))
CHECK_WIDTH = 0.13


def inside_rounded_square(x, y, margin=0.04, radius=0.2):
    lo, hi = margin, 1.0 - margin
    if not (lo <= x <= hi and lo <= y <= hi):
        return False
    cx = min(max(x, lo + radius), hi - radius)
    cy = min(max(y, lo + radius), hi - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def distance_to_segment(px, py, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = min(max(t, 0.0), 1.0)
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def on_check_mark(x, y):
    half = CHECK_WIDTH / 2
    return any(distance_to_segment(x, y, CHECK_POINTS[i], CHECK_POINTS[i + 1]) <= half
               for i in range(len(CHECK_POINTS) - 1))


def pixel(size, col, row):
    """Premultiplication-free RGBA of one pixel, averaged over its samples."""
    tile = mark = 0
    r_sum = g_sum = b_sum = 0.0
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            x = (col + (sx + 0.5) / SAMPLES) / size
            y = (row + (sy + 0.5) / SAMPLES) / size
            if not inside_rounded_square(x, y):
                continue
            tile += 1
            if on_check_mark(x, y):
                mark += 1
                colour = CHECK
            else:
                colour = tuple(int(t + (b - t) * y) for t, b in zip(TILE_TOP, TILE_BOTTOM))
            r_sum += colour[0]
            g_sum += colour[1]
            b_sum += colour[2]
    if tile == 0:
        return 0, 0, 0, 0
    alpha = round(255 * tile / (SAMPLES * SAMPLES))
    return round(r_sum / tile), round(g_sum / tile), round(b_sum / tile), alpha


def icon_image(size):
    """One ICO image: BITMAPINFOHEADER, bottom-up BGRA rows, AND mask."""
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = []
    for row in reversed(range(size)):
        line = bytearray()
        for col in range(size):
            r, g, b, a = pixel(size, col, row)
            line += bytes((b, g, r, a))
        rows.append(bytes(line))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytes(mask_stride * size)  # transparency comes from the alpha channel
    return header + b''.join(rows) + mask


def ico_bytes(sizes):
    images = [icon_image(s) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b''.join(images)


def main():
    if len(sys.argv) != 2:
        sys.stderr.write('usage: make_icon.py OUTPUT.ico\n')
        return 2
    with open(sys.argv[1], 'wb') as f:
        f.write(ico_bytes(SIZES))
    return 0


if __name__ == '__main__':
    sys.exit(main())
