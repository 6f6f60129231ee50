#!/usr/bin/env python3
"""Draws the programs' icon (an imaging plate with a check mark) and writes it as a
Windows .ico with 16, 32 and 48 pixel images (32-bit BGRA with an AND mask).

    make_icon.py OUTPUT.ico
"""
import struct
import sys


def inside_rounded(x, y, x0, y0, x1, y1, r):
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def dist_to_segment(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / float(dx * dx + dy * dy)))
    qx, qy = ax + t * dx, ay + t * dy
    return ((px - qx) ** 2 + (py - qy) ** 2) ** 0.5


def pixel(u, v):
    """Colour (r, g, b, a) at normalised coordinates u, v in [0, 1), top-left origin."""
    # Check mark, drawn over everything.
    w = 0.075
    if (dist_to_segment(u, v, 0.42, 0.62, 0.55, 0.80) < w or
            dist_to_segment(u, v, 0.55, 0.80, 0.90, 0.30) < w):
        return (40, 170, 70, 255)
    # Plate: rounded rectangle, dark blue rim, phosphor-blue face with a lighter sheen.
    if inside_rounded(u, v, 0.10, 0.04, 0.78, 0.96, 0.12):
        if not inside_rounded(u, v, 0.15, 0.09, 0.73, 0.91, 0.08):
            return (20, 50, 110, 255)
        shade = int(60 * (1 - v))
        return (70 + shade, 120 + shade, 200 + shade // 2, 255)
    return (0, 0, 0, 0)


def image(size):
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up
        row = b""
        for x in range(size):
            # 4x supersampling for smooth edges
            acc = [0, 0, 0, 0]
            for sy in range(2):
                for sx in range(2):
                    c = pixel((x + (sx + 0.5) / 2) / size, (y + (sy + 0.5) / 2) / size)
                    for i in range(4):
                        acc[i] += c[i]
            r, g, b, a = (v // 4 for v in acc)
            row += bytes((b, g, r, a))
        rows.append(row)
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    and_mask = b"\0" * (mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return header + xor + and_mask


def main():
    sizes = (16, 32, 48)
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
