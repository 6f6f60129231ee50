#!/usr/bin/env python3
"""Reads back what an acquisition left, independently of the programs that wrote it.

  rebuild_outputs.py check NFO
      The rebuild program's record: a complete UTF-16LE information file whose BMP is an
      8-bit grey bitmap of Width x Height, whose ".raw" holds RAWWidth x RAWHeight 16-bit
      samples lying as the picture does, and whose FileBIN is the renamed raw file.
  rebuild_outputs.py compare BMP_A BMP_B
      Two pictures of the same plate: same size; prints how far their pixels lie apart
      outside the corner where each path puts its mark.
Prints one line per failure; exit status 1 when any.
"""
import os
import struct
import sys


def info_keys(path):
    data = open(path, "rb").read()
    if data[:2] != b"\xff\xfe":
        return None
    keys, section = {}, ""
    for line in data[2:].decode("utf-16-le").split("\r\n"):
        if line.startswith("["):
            section = line.strip("[]")
        elif "=" in line:
            k, v = line.split("=", 1)
            keys[section + "/" + k] = v
    return keys


def read_bmp(path):
    """(width, height, ppm, rows top first) of an 8-bit grey BMP, or None."""
    d = open(path, "rb").read()
    if len(d) < 1078 or d[:2] != b"BM":
        return None
    size, offset, header = struct.unpack_from("<I4xII", d, 2)
    w, h, planes, bits = struct.unpack_from("<iiHH", d, 18)
    ppm = struct.unpack_from("<i", d, 38)[0]
    row = (w + 3) & ~3
    if offset != 1078 or header != 40 or bits != 8 or size != len(d) or len(d) != 1078 + row * h:
        return None
    rows = [d[1078 + row * (h - 1 - y):1078 + row * (h - 1 - y) + w] for y in range(h)]
    return w, h, ppm, rows


def local(path):
    return path[2:].replace("\\", "/") if path[:2].upper() == "Z:" else path


def check(nfo):
    bad = []
    k = info_keys(nfo)
    if k is None:
        return ["no UTF-16LE information file"]
    for key in ("ACQUISITION/FileBIN", "ACQUISITION/RAWWidth", "ACQUISITION/RAWHeight", "ACQUISITION/Mire"):
        if key not in k:
            bad.append("no %s" % key)
    if bad:
        return bad
    bmp = read_bmp(local(k["ACQUISITION/File8"]))
    if bmp is None:
        return ["File8 is not an 8-bit grey BMP: %s" % k["ACQUISITION/File8"]]
    w, h, ppm, rows = bmp
    if (w, h) != (int(k["ACQUISITION/Width"]), int(k["ACQUISITION/Height"])):
        bad.append("BMP %dx%d, record %sx%s" % (w, h, k["ACQUISITION/Width"], k["ACQUISITION/Height"]))
    if not os.path.exists(local(k["ACQUISITION/FileBIN"])):
        bad.append("no renamed raw file %s" % k["ACQUISITION/FileBIN"])
    rw, rh = int(k["ACQUISITION/RAWWidth"]), int(k["ACQUISITION/RAWHeight"])
    if k["ACQUISITION/File16"]:
        raw = open(local(k["ACQUISITION/File16"]), "rb").read()
        if len(raw) != rw * rh * 2 or (rw, rh) != (w, h):
            bad.append(".raw of %d bytes for %dx%d, picture %dx%d" % (len(raw), rw, rh, w, h))
        else:
            # Where no adjustment changed it, the picture is the high byte of the .raw.
            # Here only the filter and the mark touch it: most pixels stay within a few levels.
            close = total = 0
            for y in range(0, h, 7):
                for x in range(0, w - 150, 7):
                    total += 1
                    close += abs(rows[y][x] - raw[2 * (y * w + x) + 1]) <= 24
            if close < 0.95 * total:
                bad.append("the picture does not lie as the .raw does (%d of %d close)" % (close, total))
    print("rebuild outputs: %dx%d, %d pixels per metre, .raw %dx%d, Resolution %s, PixelWidth %s"
          % (w, h, ppm, rw, rh, k.get("ACQUISITION/Resolution"), k.get("ACQUISITION/PixelWidth")))
    return bad


def compare(a_path, b_path):
    a, b = read_bmp(a_path), read_bmp(b_path)
    if a is None or b is None:
        return ["not both 8-bit grey BMPs"]
    if a[:2] != b[:2]:
        return ["sizes differ: %dx%d and %dx%d" % (a[0], a[1], b[0], b[1])]
    w, h = a[0], a[1]
    diffs, rows_differing = [], 0
    for y in range(h - 80):
        ra, rb = a[3][y], b[3][y]
        row = [abs(ra[x] - rb[x]) for x in range(w)]
        diffs.extend(row)
        rows_differing += any(v > 2 for v in row)
    corner = [abs(a[3][y][x] - b[3][y][x]) for y in range(h - 80, h) for x in range(w - 160, w)]
    print("in the marks' corner (160 x 80, bottom right): mean |difference| %.2f levels, max %d"
          % (sum(corner) / len(corner), max(corner)))
    mean = sum(diffs) / len(diffs)
    over2 = sum(1 for v in diffs if v > 2) / len(diffs)
    print("classic vs rebuild: %dx%d, mean |difference| %.2f levels, max %d, %.2f%% of pixels differ by more "
          "than 2, %d of %d rows hold such pixels" % (w, h, mean, max(diffs), 100 * over2, rows_differing, h - 80))
    return [] if mean < 8 else ["the two pictures are not of the same plate (mean difference %.2f)" % mean]


def main():
    bad = check(sys.argv[2]) if sys.argv[1] == "check" else compare(sys.argv[2], sys.argv[3])
    for line in bad:
        print(line)
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
