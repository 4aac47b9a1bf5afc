#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets, fuzz/corpus/<target>/, from hand-made data.

    fuzz/make_seeds.py                 rewrite both corpora (deterministic: same bytes each run)
    fuzz/make_seeds.py --check DIR     also write each decode seed as a two-entry solid archive
                                       to DIR, so that `mksetup test` can confirm that the
                                       packed data decodes to the data it was made from

Every seed is small and made here; none is a copy of an outside archive.
"""

import argparse
import os
import random
import struct
import sys

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import rar20_seed_writer as rar  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
WORDS = ("setup install folder language archive window table entry solid header Zentrivo "
         "QARN Obrelux decode match distance literal the of and to a in is that for").split()


def text(n, seed):
    rng = random.Random(seed)
    out = []
    size = 0
    while size < n:
        w = rng.choice(WORDS)
        sep = rng.choice([" ", " ", " ", ", ", ".\r\n"])
        out.append(w + sep)
        size += len(w) + len(sep)
    return "".join(out).encode()[:n]


def noise(n, seed):
    rng = random.Random(seed)
    return bytes(rng.randrange(256) for _ in range(n))


def structured(n, seed):
    """Records with small counters and repeated fields: short and recent-distance matches."""
    rng = random.Random(seed)
    out = bytearray()
    i = 0
    while len(out) < n:
        out += struct.pack("<HHI", i & 0xFFFF, rng.randrange(4), 0x11223344 + (i % 7))
        out += b"\x00" * rng.randrange(0, 5) + bytes([i & 0xFF, 0x20])
        i += 1
    return bytes(out[:n])


def far(seed):
    """Bytes that repeat across 0x2000 and 0x40000: matches with the decoder's additions."""
    head = noise(300, seed)
    mid = noise(200, seed + 1)
    return head + b"\0" * 0x2100 + mid + head[:120] + b"\0" * 0x40000 + head + mid


# --- fuzz_decode: [size1:3][size2:3][packed1 length:2] packed1 packed2 -------------------------

def decode_seed(data1, data2, first=None, second=None):
    """A non-solid entry then a solid one; `first`/`second`: encoder options of each."""
    enc = rar.Rar20Encoder()
    p1 = enc.encode(data1, **(first or {}))
    p2 = enc.encode(data2, solid=True, **(second or {}))
    assert len(p1) < 0x10000 and len(data1) <= rar.WINDOW_SIZE and len(data2) <= rar.WINDOW_SIZE
    head = (struct.pack("<I", len(data1))[:3] + struct.pack("<I", len(data2))[:3]
            + struct.pack("<H", len(p1)))
    return head + p1 + p2, (data1, p1), (data2, p2)


def decode_seeds():
    seeds = {}
    seeds["text_pair"] = decode_seed(text(3000, 1), text(1500, 1)[200:] + text(400, 2))
    seeds["blocks_keep"] = decode_seed(
        text(2500, 3) + structured(1500, 4) + noise(300, 5), structured(800, 6),
        first={"block_tokens": 150, "keep": True})
    seeds["final_tables"] = decode_seed(text(1200, 7), text(900, 8),
                                        first={"final_tables": True})
    seeds["audio_switch"] = decode_seed(structured(1500, 9), text(500, 10),
                                        first={"audio_after": 40})
    seeds["far_matches"] = decode_seed(far(11), noise(50, 11)[:40] + b"\0" * 100)
    seeds["literals"] = decode_seed(noise(1500, 12), noise(700, 13),
                                    first={"use_short": False, "use_recent": False})
    seeds["empty_entries"] = decode_seed(b"", b"")
    seeds["repeats"] = decode_seed(b"abcabcabcX" * 60 + b"\0" * 2000, b"abcX" * 50 + b"\0" * 600)
    return seeds


# --- fuzz_archive_walk: [mode byte: bit 0 = test] then the file --------------------------------

def archive(entries, flags=0, prefix=b"", suffix=b""):
    return prefix + rar.main_header(flags) + b"".join(entries) + suffix


def compressed_entries(datas, names, solid, **first_options):
    enc = rar.Rar20Encoder()
    blocks = []
    for i, (data, name) in enumerate(zip(datas, names)):
        is_solid = solid and i > 0
        packed = enc.encode(data, solid=is_solid, **(first_options if i == 0 else {}))
        blocks.append(rar.file_block(name, data, packed, method=ord("3"),
                                     flags=0x8000 | (0x10 if is_solid else 0)))
    return blocks


def fake_image(n):
    """An executable-looking prefix: the archive behind it is found by the scan."""
    image = bytearray(b"MZ" + b"\x90" * 58 + struct.pack("<I", 0x80) + b"\0" * (n - 64))
    image[0x80:0x84] = b"PE\0\0"
    if n >= 0x300:
        # A marker-like run that must not be taken for the archive (wrong main header type).
        image[0x200:0x20A] = rar.MARKER + b"\0\0\x72"
    return bytes(image)


def walk_seeds():
    seeds = {}
    t1, t2 = text(1800, 21), text(1800, 21)[300:] + text(300, 22)
    seeds["stored"] = (1, archive([rar.file_block("readme.txt", text(700, 20))]))
    seeds["compressed"] = (1, archive(compressed_entries([t1], ["QARN\\QARN.exe"], False)))
    seeds["solid"] = (1, archive(compressed_entries([t1, t2, b""], ["a.txt", "b.txt", "empty"],
                                                    True), flags=0x0008))
    seeds["solid_final_tables"] = (1, archive(compressed_entries(
        [text(900, 23), text(700, 24)], ["one", "two"], True, final_tables=True), flags=0x0008))
    seeds["mixed_blocks"] = (1, archive([
        rar.file_block("docs", b"", flags=0x80E0, attr=0x10),
        rar.file_block("docs/guide_US.txt", text(400, 25)),
        rar.sub_block(b"comment payload"),
        rar.file_block("lang/QARN_DE.HLP", structured(500, 26), host_os=3, attr=0x81A4),
        rar.other_block(0x7A, b"\0" * 12),
    ] + compressed_entries([structured(900, 27)], ["data\\table.bin"], False),
        suffix=rar.other_block(0x79, b"\0" * 20)))
    seeds["behind_stub"] = (1, archive(compressed_entries([text(600, 28)], ["setup.ini"], False),
                                       prefix=fake_image(1536)))
    old_prefix = bytearray(fake_image(256))
    old_prefix[28:32] = b"RSFX"
    # The 13 bytes at "RE~^" are read with the main-header layout: head_size is bytes 5-6.
    old_head = b"RE~^" + bytes([0, 13, 0, 0, 0, 0, 0, 0, 0])
    old_data = text(300, 29)
    seeds["old_kind"] = (1, bytes(old_prefix) + old_head + rar.file_block(
        "old.txt", old_data, file_crc=rar.old_checksum(old_data)))
    seeds["volume"] = (0, archive([rar.file_block("part.bin", noise(200, 30), flags=0x8002)],
                                  flags=0x0001))
    damaged = bytearray(compressed_entries([text(800, 31)], ["damaged.txt"], False)[0])
    damaged[-40] ^= 0x10
    seeds["damaged"] = (1, archive([
        bytes(damaged),
        rar.file_block("bad_header.txt", text(100, 32), bad_head_crc=True),
        rar.file_block("short.txt", text(100, 33), unp_size=150),
    ]))
    seeds["refused"] = (1, archive([
        rar.file_block("secret.bin", noise(64, 34), flags=0x8004),
        rar.file_block("new_method.bin", noise(64, 35), method=ord("5"), unp_ver=29),
        rar.file_block("old_method.bin", noise(64, 36), method=ord("3"), unp_ver=15),
    ]))
    seeds["long_name"] = (1, archive([rar.file_block("d/" * 140 + "x.txt", text(50, 37))]))
    seeds["far_matches"] = (1, archive(compressed_entries([far(38)], ["far.bin"], False)))
    seeds["list_only"] = (0, archive(compressed_entries([t1, t2], ["a", "b"], True),
                                     flags=0x0008))
    seeds["no_entries"] = (1, archive([], suffix=rar.other_block(0x7B, b"")))
    return seeds


def uninstall_list_seeds():
    """Uninstall lists: as mksetup writes them, and damaged or hostile ones."""
    tag = b"QARN uninstall list 1\r\n"
    def lines(*names, end=b"\r\n"):
        return b"".join(n + end for n in names)
    product = [b"QARN.exe", b"UnInst.exe", b"QARN.INI", b"HELP\\QARN_DE.CHM",
               b"LANG\\QARN_FR.LNG", b"BESTELL.HTM", b"UNINST.LST"]
    return {
        "as_written": tag + lines(*product),
        "lf_only": tag.replace(b"\r", b"") + lines(*product, end=b"\n"),
        "hostile": tag + lines(b"..\\outside.txt", b"C:\\Windows\\win.ini", b"\\root.txt",
                               b"NUL", b"a\\..\\..\\b", b"con.txt", b"x" * 300,
                               b"bad\xff.txt", b"ok.txt", b"OK.TXT"),
        "no_tag": lines(*product),
        "empty_lines": tag + b"\r\n\r\n" + lines(b"a\\b\\c\\d.txt") + b"\r\n",
    }


def write_corpus(target, seeds):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    for old in os.listdir(folder):
        if old.endswith(".bin"):
            os.remove(os.path.join(folder, old))
    total = 0
    for name, data in sorted(seeds.items()):
        with open(os.path.join(folder, name + ".bin"), "wb") as f:
            f.write(data)
        total += len(data)
    print(f"{target}: {len(seeds)} seeds, {total} bytes")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", metavar="DIR",
                        help="also write archives of the decode seeds for `mksetup test`")
    args = parser.parse_args()

    decode = decode_seeds()
    write_corpus("fuzz_decode", {name: seed for name, (seed, _, _) in decode.items()})
    walk = walk_seeds()
    write_corpus("fuzz_archive_walk", {name: bytes([mode]) + data
                                       for name, (mode, data) in walk.items()})

    write_corpus("fuzz_uninstall_list", uninstall_list_seeds())

    if args.check:
        os.makedirs(args.check, exist_ok=True)
        for name, (_, (d1, p1), (d2, p2)) in decode.items():
            blocks = [rar.file_block("first", d1, p1, method=ord("3")),
                      rar.file_block("second", d2, p2, method=ord("3"), flags=0x8010)]
            with open(os.path.join(args.check, f"decode_{name}.rar"), "wb") as f:
                f.write(archive(blocks, flags=0x0008))
        for name, (_, data) in walk.items():
            with open(os.path.join(args.check, f"walk_{name}.rar"), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
