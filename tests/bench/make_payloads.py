#!/usr/bin/env python3
"""Deterministic benchmark payloads.

  make_payloads.py OUTDIR [NAME,...]

OUTDIR/mixed     ~190 MB in 240 files: a third text, a third random bytes, a third records
OUTDIR/small1k   1,000 small text files in 5 folders
OUTDIR/small50k  50,000 small text files in 250 folders
OUTDIR/big4x72   four files of 72,000,000 bytes, half text and half random bytes (made only when named)
OUTDIR/big400    one file of 400,000,000 bytes, the same mixture (made only when named)

Without names: the first three.

The same bytes on every machine (a seeded generator); a payload already made is kept
(OUTDIR/<name>.made names the generator's version).
"""
import os
import random
import shutil
import struct
import sys

VERSION = "1"
WORDS = ("the of and to in is that for it as with was on be by at this from or have an are not "
         "install package archive folder version update player level world texture sound music "
         "record value table index chapter section window button progress setup system user file "
         "data error message option default language string number count size offset block entry").split()


def text_bytes(rng, size):
    out = []
    total = 0
    while total < size:
        line = " ".join(rng.choice(WORDS) for _ in range(rng.randint(4, 14))).capitalize() + ".\r\n"
        out.append(line)
        total += len(line)
    return "".join(out).encode()[:size]


def record_bytes(rng, size):
    # Fixed-size records of a game's table: rising ids, a few small fields, a padded name.
    names = [rng.choice(WORDS).encode().ljust(16, b"\0") for _ in range(64)]
    pack = struct.Struct("<IIhhf16s").pack
    count = size // 32 + 1
    base = rng.randint(0, 1 << 20)
    rows = [pack(base + i, rng.randint(0, 255), rng.randint(-100, 100), i % 7,
                 float(rng.randint(0, 1000)) / 8.0, names[i % 64]) for i in range(count)]
    return b"".join(rows)[:size]


def mixed(root):
    rng = random.Random(1906)
    # Sizes spread from 16 KB to 6 MB, scaled so the whole is about 190 MB.
    sizes = [int(16384 * (1.03 ** rng.randint(0, 200))) for _ in range(240)]
    scale = 190_000_000 / sum(sizes)
    for i, raw in enumerate(sizes):
        size = max(4096, int(raw * scale))
        kind = i % 3
        folder = os.path.join(root, ("docs", "media", "tables")[kind], "part%d" % (i // 30))
        os.makedirs(folder, exist_ok=True)
        if kind == 0:
            data, ext = text_bytes(rng, size), ".txt"
        elif kind == 1:
            data, ext = rng.randbytes(size), ".bin"
        else:
            data, ext = record_bytes(rng, size), ".dat"
        with open(os.path.join(folder, "file%03d%s" % (i, ext)), "wb") as f:
            f.write(data)


def small(root, files, folders):
    rng = random.Random(files)
    per = files // folders
    for d in range(folders):
        folder = os.path.join(root, "dir%03d" % d)
        os.makedirs(folder, exist_ok=True)
        for i in range(per):
            with open(os.path.join(folder, "file%05d.txt" % i), "wb") as f:
                f.write(text_bytes(rng, rng.randint(100, 2000)))


def half_compressible(path, size, seed):
    # Alternating 1 MiB runs of text and random bytes: the text inflates fast, the random
    # runs are stored in the deflate stream, so the entry is about half its size packed.
    rng = random.Random(seed)
    text = text_bytes(rng, 1 << 20)
    with open(path, "wb") as f:
        done = 0
        while done < size:
            n = min(1 << 20, size - done)
            f.write(text[:n] if (done >> 20) % 2 == 0 else rng.randbytes(n))
            done += n


def big(root, count, size):
    for i in range(count):
        half_compressible(os.path.join(root, "big%d.bin" % i), size, 72 + i)


PAYLOADS = {
    "mixed": mixed,
    "small1k": lambda r: small(r, 1000, 5),
    "small50k": lambda r: small(r, 50000, 250),
    "big4x72": lambda r: big(r, 4, 72_000_000),
    "big400": lambda r: big(r, 1, 400_000_000),
}
DEFAULT = ("mixed", "small1k", "small50k")


def make(out, name, build):
    root = os.path.join(out, name)
    stamp = root + ".made"
    if os.path.isfile(stamp) and open(stamp).read() == VERSION:
        return
    if os.path.lexists(root):
        if os.path.islink(root):
            sys.exit("%s is a link; refusing to touch it" % root)
        shutil.rmtree(root)  # never follows links inside
    os.makedirs(root)
    print("making the %s payload in %s" % (name, root), flush=True)
    build(root)
    with open(stamp, "w") as f:
        f.write(VERSION)


def main():
    if len(sys.argv) not in (2, 3) or sys.argv[1] in ("-h", "--help"):
        print(__doc__.strip())
        return 0 if len(sys.argv) == 2 else 2
    out = sys.argv[1]
    names = sys.argv[2].split(",") if len(sys.argv) == 3 else DEFAULT
    for name in names:
        if name not in PAYLOADS:
            sys.exit("no payload named %s (%s)" % (name, ", ".join(PAYLOADS)))
        make(out, name, PAYLOADS[name])
    return 0


if __name__ == "__main__":
    sys.exit(main())
