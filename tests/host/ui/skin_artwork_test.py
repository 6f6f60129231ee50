#!/usr/bin/env python3
"""Checks the generated skin pictures against the resource table: every picture exists
with its size and pixel format, every overlay's pixels with alpha >= 128 have exactly the
bounding box that places its control, the orientation arrows are fully transparent, and
skin.rc embeds each picture once.

    skin_artwork_test.py SKINDIR
"""
import os
import struct
import sys
import zlib

# name, width, height, colour type (2 RGB, 6 RGBA), opaque area (x, y, w, h); None: no
# opaque pixel at all; "-": a background, not an overlay.
P, T, M = (320, 120), (320, 240), (320, 40)
TABLE = [
    ("LUMEQ_CONTROL", *P, 2, "-"), ("LUMEQ_CONTROL_VET", *P, 2, "-"),
    ("LUMEQ_T4_CONTROL", *T, 2, "-"), ("LUMEQ_T4_CONTROL_VET", *T, 2, "-"),
    ("LUMEQ_T4_MODE_CONTROL", *M, 2, "-"), ("LUMEQ_T4_MODE_CONTROL_VET", *M, 2, "-"),
    ("LUMEQ_LED_BLUE", *P, 6, (23, 7, 185, 108)),
    ("LUMEQ_LED_ORANGE", *P, 6, (153, 15, 55, 91)),
    ("LUMEQ_LED_PURPLE", *P, 6, (153, 15, 55, 94)),
    ("LUMEQ_LED_YELLOW", *P, 6, (153, 15, 55, 75)),
    ("LUMEQ_BTN_CLOSE", *P, 6, (304, 4, 12, 12)),
    ("LUMEQ_BTN_PARAM", *P, 6, (3, 3, 15, 15)),
    ("LUMEQ_BTN_RESIZE", *P, 6, (306, 106, 13, 13)),
    ("LUMEQ_BTN_RESERV", *P, 6, (247, 40, 39, 38)),
    ("LUMEQ_BTN_RESERV_ON", *P, 6, (256, 44, 30, 34)),
    ("LUMEQ_BTN_RESERV_NO", *P, 6, (256, 44, 30, 34)),
    ("LUMEQ_SENSOR_UP", *P, 6, None), ("LUMEQ_SENSOR_LEFT", *P, 6, None),
    ("LUMEQ_SENSOR_DOWN", *P, 6, None), ("LUMEQ_SENSOR_RIGHT", *P, 6, None),
    ("LUMEQ_T4_BOX_1", *T, 6, (3, 5, 93, 206)),
    ("LUMEQ_T4_BOX_2", *T, 6, (100, 5, 93, 206)),
    ("LUMEQ_T4_BOX_3", *T, 6, (197, 5, 93, 206)),
    ("LUMEQ_T4_BOX_1_ROTATE", *T, 6, (41, 216, 22, 20)),
    ("LUMEQ_T4_BOX_2_ROTATE", *T, 6, (138, 216, 22, 20)),
    ("LUMEQ_T4_BOX_3_ROTATE", *T, 6, (235, 216, 22, 20)),
    ("LUMEQ_T4_BOX_1_2_EXCG", *T, 6, (85, 214, 24, 23)),
    ("LUMEQ_T4_BOX_2_3_EXCG", *T, 6, (183, 214, 24, 23)),
    ("LUMEQ_T4_CUT", *T, 6, (293, 34, 24, 16)),
    ("LUMEQ_T4_VALID", *T, 6, (294, 159, 23, 23)),
    ("LUMEQ_T4_MODE_4", *M, 6, (50, 2, 53, 35)),
    ("LUMEQ_T4_MODE_4C", *M, 6, (50, 2, 53, 35)),
    ("LUMEQ_T4_MODE_OFF", *M, 6, (50, 2, 53, 35)),
    ("MARK_SENSOR_20", 32, 12, 6, (0, 1, 31, 10)),
    ("MARK_SENSOR_40", 64, 24, 6, (0, 2, 63, 20)),
    ("MARK_SENSOR_80", 88, 33, 6, (0, 3, 86, 27)),
    ("EMPY_PLATE_FAST", 500, 500, 2, "-"),
    ("EMPY_PLATE_SD", 1000, 1000, 2, "-"),
    ("EMPY_PLATE_HD", 2000, 2000, 2, "-"),
]


def decode(data):
    """(width, height, colour type, scanlines without filter bytes) of an 8-bit PNG."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    pos, idat, hdr = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if zlib.crc32(kind + body) != struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])[0]:
            raise ValueError("bad CRC in " + kind.decode())
        if kind == b"IHDR":
            hdr = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    w, h, depth, ctype, _, _, interlace = hdr
    if depth != 8 or interlace:
        return w, h, (depth, ctype, interlace), []
    bpp = {2: 3, 6: 4}.get(ctype, 1)
    raw, stride, rows, prev = zlib.decompress(idat), w * bpp, [], bytearray(w * bpp)
    for y in range(h):
        f, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride if f else 0):
            a = line[i - bpp] if i >= bpp else 0
            b, c = prev[i], prev[i - bpp] if i >= bpp else 0
            if f == 1:
                line[i] = (line[i] + a) & 255
            elif f == 2:
                line[i] = (line[i] + b) & 255
            elif f == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line)
        prev = line
    return w, h, ctype, rows


def opaque_box(w, rows):
    """Bounding box (x, y, w, h) of the pixels whose alpha is 128 or more, None when none."""
    xs, ys = [], []
    for y, line in enumerate(rows):
        hit = [x for x in range(w) if line[4 * x + 3] >= 128]
        if hit:
            xs += (hit[0], hit[-1])
            ys.append(y)
    if not ys:
        return None
    return (min(xs), ys[0], max(xs) - min(xs) + 1, ys[-1] - ys[0] + 1)


def main(folder):
    failures = []
    for row, (name, w, h, ctype, area) in enumerate(TABLE):
        path = os.path.join(folder, name + ".png")
        if not os.path.exists(path):
            failures.append("row %02d %s: missing" % (row, name))
            continue
        with open(path, "rb") as f:
            gw, gh, gtype, rows = decode(f.read())
        if (gw, gh, gtype) != (w, h, ctype):
            failures.append("row %02d %s: expected %dx%d type %d, got %dx%d type %r" % (row, name, w, h, ctype, gw, gh, gtype))
            continue
        if area == "-":
            continue
        got = opaque_box(w, rows)
        if got != area:
            failures.append("row %02d %s: opaque area expected %r, got %r" % (row, name, area, got))
        if area is None and any(line[3::4].count(0) != w for line in rows):
            failures.append("row %02d %s: not fully transparent" % (row, name))
    with open(os.path.join(folder, "skin.rc")) as f:
        lines = [line.split() for line in f if line.strip() and not line.startswith("//")]
    got = sorted(" ".join(line) for line in lines)
    expected = sorted('%s RXSK "%s.png"' % (name, name) for name, *_ in TABLE)
    if got != expected:
        failures.append("skin.rc: missing %r, unexpected %r" % (sorted(set(expected) - set(got)), sorted(set(got) - set(expected))))
    for f in failures:
        print(f)
    print("%d pictures checked, %d failures" % (len(TABLE), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
