#!/usr/bin/env python3
"""Writes the large product that the fault scenarios of the end-to-end suite install.

    make_large_product.py OUT_DIR

A product of about 40 MB: its first entry in archive order (LIBRARY.BIN, 32 MB) is large
enough that an installation under Wine spends seconds on it, so that a scenario can end the
setup while the status line shows that name; two entry names of 50 characters or more leave
a folder room for the installer's own names (at most 11 characters) but not for them.

The contents are text of pseudo-random words with a skewed word frequency: it packs to
roughly a third, so the decoder does real work, but it is not a run of repeats the
compressor would turn into nothing. Everything is deterministic, file times included, so
two runs write the same bytes.
"""
import os
import random
import shutil
import sys
import time
from pathlib import Path

MB = 1024 * 1024

# Files in archive order (by extension, then name): the large one first. Times are even
# seconds, as the archive stores them.
FILES = [
    ("LIBRARY.BIN", 32 * MB, 1),
    ("INDEX.DAT", 3 * MB, 2),
    ("README.TXT", 2000, 3),
    ("Zentrivo_Reference_Manual_Part_One_Getting_Started.txt", 2 * MB, 4),
    ("Zentrivo_Reference_Manual_Part_Two_Advanced_Topics.txt", 2 * MB, 5),
]

RELEASE = (2026, 3, 14, 9, 30, 0)

SYLLABLES = ("ka ri to ne mu sa lo pe qua zen tri vo ob re lux na di fa gu hel "
             "mar kon ste vi ra la be co du").split()


def vocabulary(rng, count):
    words = set()
    while len(words) < count:
        words.add("".join(rng.choice(SYLLABLES) for _ in range(rng.randint(1, 4))))
    ordered = sorted(words)
    rng.shuffle(ordered)  # which words are common is left to chance, not to the alphabet
    return ordered


def text_of(size, seed):
    """`size` bytes of lines of words, CR LF line ends."""
    rng = random.Random(seed)
    words = vocabulary(rng, 6000)
    # Zipf-like weights: a few words are common, most are rare.
    cumulative = []
    total = 0.0
    for rank in range(len(words)):
        total += 1.0 / (rank + 1)
        cumulative.append(total)
    pieces = []
    produced = 0
    while produced < size:
        chosen = rng.choices(words, cum_weights=cumulative, k=4096)
        lines = []
        at = 0
        while at < len(chosen):
            length = rng.randint(6, 16)
            line = " ".join(chosen[at:at + length])
            lines.append(f"{rng.randint(0, 99999):05d} {line}.\r\n")
            at += length
        block = "".join(lines).encode("ascii")
        pieces.append(block)
        produced += len(block)
    return b"".join(pieces)[:size]


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_large_product.py OUT_DIR")
    out = Path(sys.argv[1])
    if out.exists():
        shutil.rmtree(out)
    out.mkdir(parents=True)
    release = time.mktime(RELEASE + (0, 0, -1))
    for name, size, seed in FILES:
        path = out / name
        path.write_bytes(text_of(size, seed))
        stamp = release + 120 * seed
        os.utime(path, (stamp, stamp))


if __name__ == "__main__":
    main()
