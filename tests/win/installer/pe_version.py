#!/usr/bin/env python3
"""Reads a PE file's version resource: prints the fixed file version, then
CompanyName, ProductName and FileVersion of its first string table, one per line.
Exits 1 when the file has no version resource.

    pe_version.py FILE
"""
import struct
import sys


def resource_data(pe, rva_to_offset, res_offset, res_rva, type_id):
    """The bytes of the first resource of type `type_id` (any name, any language)."""
    def entries(offset):
        named, ids = struct.unpack_from("<HH", pe, offset + 12)
        for i in range(named + ids):
            ident, target = struct.unpack_from("<II", pe, offset + 16 + 8 * i)
            yield ident, target

    def first_leaf(target):
        while target & 0x80000000:
            target = next(entries(res_offset + (target & 0x7FFFFFFF)))[1]
        rva, size = struct.unpack_from("<II", pe, res_offset + target)
        start = rva_to_offset(rva)
        return pe[start:start + size]

    for ident, target in entries(res_offset):
        if ident == type_id:
            return first_leaf(target)
    return None


def parse(pe):
    pe_off = struct.unpack_from("<I", pe, 0x3C)[0]
    if pe[pe_off:pe_off + 4] != b"PE\0\0":
        return None
    sections, opt_size = struct.unpack_from("<H12xH", pe, pe_off + 6)
    opt = pe_off + 24
    magic = struct.unpack_from("<H", pe, opt)[0]
    dirs = opt + (96 if magic == 0x10B else 112)
    res_rva = struct.unpack_from("<I", pe, dirs + 8 * 2)[0]
    table = opt + opt_size
    spans = []
    for i in range(sections):
        vsize, va, rawsize, raw = struct.unpack_from("<IIII", pe, table + 40 * i + 8)
        spans.append((va, max(vsize, rawsize), raw))

    def rva_to_offset(rva):
        for va, size, raw in spans:
            if va <= rva < va + size:
                return rva - va + raw
        raise ValueError("rva outside the sections")

    if not res_rva:
        return None
    data = resource_data(pe, rva_to_offset, rva_to_offset(res_rva), res_rva, 16)
    if data is None:
        return None
    # VS_VERSIONINFO: header, key, VS_FIXEDFILEINFO, then StringFileInfo children.
    fixed = data.find(struct.pack("<I", 0xFEEF04BD))
    ms, ls = struct.unpack_from("<II", data, fixed + 8)
    version = "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    strings = {}
    text = data.decode("utf-16-le", "replace")
    for key in ("CompanyName", "ProductName", "FileVersion"):
        at = text.find(key + "\0")
        if at >= 0:
            value = text[at + len(key) + 1:].lstrip("\0")
            strings[key] = value.split("\0", 1)[0]
    return version, strings


def main():
    with open(sys.argv[1], "rb") as f:
        pe = f.read()
    info = parse(pe)
    if info is None:
        sys.exit(1)
    version, strings = info
    print(version)
    for key in ("CompanyName", "ProductName", "FileVersion"):
        print(strings.get(key, ""))


if __name__ == "__main__":
    main()
