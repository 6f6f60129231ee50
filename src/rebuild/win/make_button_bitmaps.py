#!/usr/bin/env python3
"""Draws the four 48 x 48 button pictures of OrvaqRbld2's preview window as 24-bit BMP
files: rotate counter-clockwise (132), rotate clockwise (129), mirror left to right (130)
and mirror top to bottom (131). A dark glyph on the button face colour, anti-aliased by
4 x 4 supersampling; standard library only, same bytes on every run.

    make_button_bitmaps.py OUTDIR
"""
import math
import os
import struct
import sys

SIZE = 48
SUB = 4
FACE = (240, 240, 240)      # button face
INK = (38, 56, 84)          # graphite blue glyph
ACCENT = (32, 128, 200)     # the side that moves


def ring_arc(x, y, cx, cy, r, half_width, start_deg, end_deg):
    """True inside a ring segment drawn from start to end, angles clockwise from the top."""
    d = math.hypot(x - cx, y - cy)
    if abs(d - r) > half_width:
        return False
    a = math.degrees(math.atan2(x - cx, cy - y)) % 360.0
    return start_deg <= a <= end_deg if start_deg <= end_deg else (a >= start_deg or a <= end_deg)


def in_triangle(x, y, a, b, c):
    def side(p, q, r):
        return (p[0] - r[0]) * (q[1] - r[1]) - (q[0] - r[0]) * (p[1] - r[1])
    d1, d2, d3 = side((x, y), a, b), side((x, y), b, c), side((x, y), c, a)
    neg = d1 < 0 or d2 < 0 or d3 < 0
    pos = d1 > 0 or d2 > 0 or d3 > 0
    return not (neg and pos)


def near_segment(x, y, a, b, half_width):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy)) <= half_width


def rotate_clockwise(x, y):
    # A ring open on the lower right, swept clockwise up the left side and over the top;
    # its head at the end of the sweep points on round.
    cx, cy, r, end = 24.0, 26.0, 13.0, 45.0
    if ring_arc(x, y, cx, cy, r, 2.6, 180.0, end):
        return INK
    t = math.radians(end)
    px, py = cx + r * math.sin(t), cy - r * math.cos(t)
    tangent = (math.cos(t), math.sin(t))
    normal = (math.sin(t), -math.cos(t))
    head = ((px + 6.0 * normal[0], py + 6.0 * normal[1]), (px - 6.0 * normal[0], py - 6.0 * normal[1]),
            (px + 10.0 * tangent[0], py + 10.0 * tangent[1]))
    if in_triangle(x, y, *head):
        return ACCENT
    return None


def rotate_counter_clockwise(x, y):
    return rotate_clockwise(SIZE - x, y)


def mirror_left_right(x, y):
    # The axis, a filled shape on the left and its outlined reflection on the right.
    if 23.0 <= x <= 25.0 and int(y) % 6 < 4 and 5 <= y <= 43:
        return INK
    left = ((20.0, 10.0), (20.0, 38.0), (5.0, 38.0))
    right = ((28.0, 10.0), (28.0, 38.0), (43.0, 38.0))
    if in_triangle(x, y, *left):
        return INK
    edges = ((right[0], right[1]), (right[1], right[2]), (right[2], right[0]))
    if any(near_segment(x, y, a, b, 1.3) for a, b in edges):
        return ACCENT
    return None


def mirror_top_bottom(x, y):
    return mirror_left_right(y, x)


def render(glyph):
    rows = []
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            acc = [0, 0, 0]
            for sy in range(SUB):
                for sx in range(SUB):
                    c = glyph(px + (sx + 0.5) / SUB, py + (sy + 0.5) / SUB) or FACE
                    acc[0] += c[0]
                    acc[1] += c[1]
                    acc[2] += c[2]
            n = SUB * SUB
            row.append(tuple((v + n // 2) // n for v in acc))
        rows.append(row)
    return rows


def write_bmp(path, rows):
    stride = (SIZE * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):  # bottom row first
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b"\0" * (stride - len(line))
        pixels += line
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    data = header + info + bytes(pixels)
    try:
        with open(path, "rb") as f:
            if f.read() == data:
                return  # unchanged: keep its time so nothing rebuilds
    except OSError:
        pass
    with open(path, "wb") as f:
        f.write(data)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_button_bitmaps.py OUTDIR")
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, glyph in (("rotate_ccw.bmp", rotate_counter_clockwise), ("rotate_cw.bmp", rotate_clockwise),
                        ("mirror_lr.bmp", mirror_left_right), ("mirror_tb.bmp", mirror_top_bottom)):
        write_bmp(os.path.join(out, name), render(glyph))


if __name__ == "__main__":
    main()
