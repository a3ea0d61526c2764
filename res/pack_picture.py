#!/usr/bin/env python3
"""Packs a picture for the programs to carry: the file's length (4 bytes, little-endian), then
the file compressed as a zlib stream at level 9. Setup unpacks it with its own decoder, which is
told the exact length to expect and checks the stream's Adler-32; a given zlib writes the same
bytes on every run, so the Windows programs stay reproducible.

    pack_picture.py INPUT OUTPUT
"""
import os
import struct
import sys
import zlib

LEVEL = 9  # the smallest output; the picture is packed once per build


def main(argv):
    source, target = argv
    with open(source, "rb") as f:
        data = f.read()
    packed = struct.pack("<I", len(data)) + zlib.compress(data, LEVEL)
    # Written beside the target and renamed, so an interrupted build never leaves half a file.
    with open(target + ".tmp", "wb") as f:
        f.write(packed)
    os.replace(target + ".tmp", target)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
