#!/usr/bin/env python3
"""Checks one acquisition's files, independently of the program that wrote them.

  check_outputs.py NFO RAW_SENT [empty | REFERENCE WIDTH HEIGHT]

The information file: UTF-16LE with its byte-order mark, five sections, complete. The BMP
it names: an 8-bit grey bitmap (header, grey palette, sizes) whose width, height and
pixels per metre agree with the information file. The RAW it names: the bytes the
scanner sent. With a reference (the library's 8-bit rows, top row first, from
reference_image), the bitmap holds exactly those pixels (the library's first row at the
bottom, sizes 2 and 3 turned clockwise), outside the marker's corner. Prints one line per
failure; exit status 1 when any.
"""
import struct
import sys


def main():
    nfo_path, sent_path = sys.argv[1], sys.argv[2]
    empty = len(sys.argv) > 3 and sys.argv[3] == "empty"
    reference = sys.argv[3:6] if len(sys.argv) > 5 else None
    bad = []
    data = open(nfo_path, "rb").read()
    if data[:2] != b"\xff\xfe":
        print("no UTF-16LE byte-order mark")
        return 1
    text = data[2:].decode("utf-16-le")
    sections = [l for l in text.split("\r\n") if l.startswith("[")]
    if sections != ["[PATIENT]", "[DOCTOR]", "[SENSOR]", "[FILTER]", "[ACQUISITION]"]:
        bad.append("sections %r" % sections)
    if not text.endswith("\r\n") or "\r\nMire=" not in text:
        bad.append("incomplete information file")
    keys = {}
    section = ""
    for line in text.split("\r\n"):
        if line.startswith("["):
            section = line
        elif "=" in line:
            k, v = line.split("=", 1)
            keys[section + k] = v
    w, h = int(keys["[ACQUISITION]Width"]), int(keys["[ACQUISITION]Height"])
    pitch = float(keys["[ACQUISITION]PixelWidth"])

    def local(p):  # Z:\x\y -> /x/y
        return p[2:].replace("\\", "/") if p[:2].upper() == "Z:" else p

    bmp = open(local(keys["[ACQUISITION]File8"]), "rb").read()
    sig, size, _, offset, hsize, bw, bh, planes, bpp, comp, _, xppm, yppm, used, important = \
        struct.unpack_from("<2sIIIIiiHHIIiiII", bmp, 0)
    row = (bw + 3) & ~3
    checks = [
        (sig == b"BM", "signature"), (offset == 1078, "pixel offset %d" % offset), (hsize == 40, "header size"),
        (planes == 1 and bpp == 8 and comp == 0, "not 8-bit uncompressed"),
        (size == 1078 + row * bh == len(bmp), "file size %d" % size),
        (used == 256 and important == 256, "colour counts"),
        (all(bmp[54 + 4 * i:58 + 4 * i] == bytes((i, i, i, 0)) for i in range(256)), "grey palette"),
        ((bw, bh) == (w, h), "size %dx%d, information file %dx%d" % (bw, bh, w, h)),
        (xppm == yppm and abs(xppm - 1e6 / pitch) <= 0.01 * xppm, "pixels per metre %d for %.2f um" % (xppm, pitch)),
    ]
    bad += [what for ok, what in checks if not ok]
    if empty and keys["[SENSOR]Size"] != "":
        bad.append("empty plate with a size")
    if reference and not bad:
        ref = open(reference[0], "rb").read()
        rw, rh = int(reference[1]), int(reference[2])
        turned = keys["[SENSOR]Size"] in ("2", "3")
        if (bw, bh) != ((rh, rw) if turned else (rw, rh)):
            bad.append("size %dx%d, library %dx%d" % (bw, bh, rw, rh))
        else:
            wrong = 0
            for k in range(bh):
                got = bmp[1078 + k * row:1078 + k * row + bw]
                want = ref[rw - 1 - k::rw] if turned else ref[k * rw:(k + 1) * rw]
                if k < 60:  # the marker sits in the bottom right corner
                    got, want = got[:bw - 110], want[:bw - 110]
                if got != want:
                    wrong += sum(1 for a, b in zip(got, want) if a != b)
            if wrong:
                bad.append("%d pixels differ from the library's image" % wrong)
    raw = open(local(keys["[ACQUISITION]File16"]), "rb").read()
    if raw != open(sent_path, "rb").read():
        bad.append("RAW is not the data sent")
    for b in bad:
        print(b)
    print("%dx%d %d ppm %s" % (bw, bh, xppm, keys["[ACQUISITION]Resolution"]))
    return 1 if bad else 0


sys.exit(main())
