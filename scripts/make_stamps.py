#!/usr/bin/env python3
"""Draws the three default stamp pictures shipped beside the programs.

QzArrowLT.cur and QzArrowRT.cur are arrows pointing to the top-left and top-right (hot spot at the
tip); Forbidden.ico is a red no-entry sign. Run from the repository root: python3 scripts/make_stamps.py
"""
import math
import struct


def arrow(mirror):
    """32x32 BGRA pixels of a filled arrow with a dark outline, tip at the top-left (or top-right)."""
    size = 32
    px = [[(0, 0, 0, 0)] * size for _ in range(size)]
    # Classic pointer outline: a triangle head and a shaft down to the right.
    poly = [(1, 1), (1, 24), (7, 18), (12, 29), (16, 27), (11, 17), (19, 17)]

    def inside(x, y):
        c = False
        j = len(poly) - 1
        for i in range(len(poly)):
            xi, yi = poly[i]
            xj, yj = poly[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                c = not c
            j = i
        return c

    for y in range(size):
        for x in range(size):
            cx, cy = x + 0.5, y + 0.5
            if inside(cx, cy):
                edge = any(not inside(cx + dx, cy + dy) for dx, dy in ((-1, 0), (1, 0), (0, -1), (0, 1)))
                px[y][x] = (20, 20, 20, 255) if edge else (40, 40, 220, 255)  # red-orange fill, BGRA
    if mirror:
        px = [list(reversed(row)) for row in px]
    return px


def forbidden():
    size = 32
    px = [[(0, 0, 0, 0)] * size for _ in range(size)]
    c = 15.5
    for y in range(size):
        for x in range(size):
            d = math.hypot(x + 0.5 - 16, y + 0.5 - 16)
            if d <= c:
                on_ring = d >= c - 4
                # The bar runs from top-left to bottom-right.
                on_bar = abs((x + 0.5 - 16) - (y + 0.5 - 16)) / math.sqrt(2) <= 2.5
                px[y][x] = (0, 0, 210, 255) if (on_ring or on_bar) else (255, 255, 255, 255)
    return px


def icon_file(pixels, kind, hotspot):
    """An ICO (kind 1) or CUR (kind 2) file with one 32-bit entry and its AND mask."""
    size = len(pixels)
    xor = b"".join(bytes(p) for row in reversed(pixels) for p in row)
    mask_row = (size + 31) // 32 * 4
    and_mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_row)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        and_mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    data = header + xor + bytes(and_mask)
    planes_or_hx, bits_or_hy = (1, 32) if kind == 1 else hotspot
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, planes_or_hx, bits_or_hy, len(data), 6 + 16)
    return struct.pack("<HHH", 0, kind, 1) + entry + data


with open("data/QzArrowLT.cur", "wb") as f:
    f.write(icon_file(arrow(False), 2, (1, 1)))
with open("data/QzArrowRT.cur", "wb") as f:
    f.write(icon_file(arrow(True), 2, (30, 1)))
with open("data/Forbidden.ico", "wb") as f:
    f.write(icon_file(forbidden(), 1, None))
