#!/usr/bin/env python3
"""Checks a composed (T4) acquisition against the reference composition of its parts.

  check_composition.py NFO REFERENCE WIDTH HEIGHT

The information file says a composed image (Type LUMEQ2, Size 4, Mire 0, no 16-bit file);
the BMP it names is an 8-bit grey bitmap of WIDTH x HEIGHT holding the reference rows
(first row on top as shown) outside the marker's corner. Prints one line per failure;
exit status 1 when any.
"""
import struct
import sys


def main():
    nfo, ref_path, width, height = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
    bad = []
    text = open(nfo, "rb").read()[2:].decode("utf-16-le")
    keys, section = {}, ""
    for line in text.split("\r\n"):
        if line.startswith("["):
            section = line
        elif "=" in line:
            k, v = line.split("=", 1)
            keys[section + k] = v
    for key, want in (("[SENSOR]Type", "LUMEQ2"), ("[SENSOR]Size", "4"), ("[ACQUISITION]Mire", "0"),
                      ("[ACQUISITION]File16", "")):
        if keys.get(key) != want:
            bad.append("%s is %r, not %r" % (key, keys.get(key), want))
    bmp_path = keys.get("[ACQUISITION]File8", "")
    local = bmp_path[2:].replace("\\", "/") if bmp_path[:2].upper() == "Z:" else bmp_path
    data = open(local, "rb").read()
    offset, = struct.unpack_from("<I", data, 10)
    w, h, planes, bits = struct.unpack_from("<iiHH", data, 18)
    if bits != 8 or (w, abs(h)) != (width, height):
        bad.append("bitmap %dx%d %d bits, not %dx%d 8 bits" % (w, abs(h), bits, width, height))
        print("\n".join(bad))
        return 1
    stride = (w + 3) & ~3
    ref = open(ref_path, "rb").read()
    differ = 0
    for y in range(height):
        row = y if h < 0 else height - 1 - y  # the file row holding shown row y
        shown = data[offset + row * stride: offset + row * stride + w]
        want = ref[y * width:(y + 1) * width]
        for x in range(width):
            if x >= width - 100 and y >= height - 40:
                continue  # the marker's corner
            if shown[x] != want[x]:
                differ += 1
    if differ:
        bad.append("%d pixels differ from the reference composition" % differ)
    for b in bad:
        print(b)
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
