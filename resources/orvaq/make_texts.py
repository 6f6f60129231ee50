#!/usr/bin/env python3
"""Writes the shipped text-resource file: the UTF-8 source becomes UTF-16LE with a
byte-order mark and CR LF line ends, the form the Unicode profile functions read on
every Windows version."""
import sys

source, target = sys.argv[1], sys.argv[2]
with open(source, encoding="utf-8") as f:
    text = f.read()
lines = text.replace("\r\n", "\n").split("\n")
with open(target, "wb") as f:
    f.write(b"\xff\xfe")
    f.write("\r\n".join(lines).encode("utf-16-le"))
