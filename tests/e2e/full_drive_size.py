#!/usr/bin/env python3
"""Sizes the small disk of the full-drive scenario.

    full_drive_size.py SETUP PRODUCT_DIR

Prints "KB NAME": a tmpfs of KB kilobytes is filled exactly by the product's files that
come before NAME in the archive of SETUP (each file takes whole 4 KB pages), so an
installation of every file fails at NAME. NAME is the first of the small files (under a
page, a few hundred bytes) that end the archive: a write that small sits in a runtime's
buffer until the file is closed, which is where a disk-full error is easiest to lose.
"""
import os
import struct
import sys

PAGE = 4096
MARKER = b"Rar!\x1a\x07\x00"


def entry_names(setup):
    """The archive's file entry names in order (folders left out)."""
    data = open(setup, "rb").read()
    at = data.find(MARKER)
    while at >= 0 and data[at + 9:at + 10] != b"\x73":
        at = data.find(MARKER, at + 1)
    if at < 0:
        sys.exit(f"{setup}: no archive")
    at += len(MARKER) + struct.unpack_from("<H", data, at + 7 + 5)[0]
    names = []
    while at + 7 <= len(data):
        kind, flags, size = struct.unpack_from("<BHH", data, at + 2)
        if kind == 0x7B or size < 7:
            break
        add = struct.unpack_from("<I", data, at + 7)[0] if flags & 0x8000 else 0
        if kind == 0x74:
            name_size, attr = struct.unpack_from("<HI", data, at + 26)
            if not attr & 0x18 and (flags & 0xE0) != 0xE0:
                names.append(data[at + 32:at + 32 + name_size].decode("ascii"))
        at += size + add
    return names


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: full_drive_size.py SETUP PRODUCT_DIR")
    setup, product = sys.argv[1:]
    names = entry_names(setup)
    sizes = [os.path.getsize(os.path.join(product, n.replace("\\", os.sep))) for n in names]
    first_small = len(names)
    while first_small > 0 and 0 < sizes[first_small - 1] < PAGE:
        first_small -= 1
    if first_small == 0 or first_small == len(names):
        sys.exit(f"{setup}: no run of small files after larger ones ends the archive")
    pages = sum((s + PAGE - 1) // PAGE for s in sizes[:first_small])
    print(pages * PAGE // 1024, names[first_small])


if __name__ == "__main__":
    main()
