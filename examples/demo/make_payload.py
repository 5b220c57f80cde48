#!/usr/bin/env python3
"""Writes the demo's payload: a few hundred files, tens of MB, text and binary, in subfolders.

Deterministic, so every run builds the same setup: make_payload.py OUT_DIR
"""
import os
import random
import sys


def main() -> int:
    if len(sys.argv) != 2 or sys.argv[1] in ("-h", "--help"):
        print(__doc__.strip())
        return 0 if len(sys.argv) == 2 else 2
    out = sys.argv[1]
    rng = random.Random(2026)
    words = ("level castle dragon sword shield potion quest village forest river mountain "
             "knight wizard treasure map journey battle spell armour bridge tower").split()
    total = 0
    # Game data: binary archives that do not compress much.
    for i in range(24):
        path = os.path.join(out, "data", "maps", f"map{i:02d}.bin")
        total += write(path, rng.randbytes(400_000 + rng.randrange(400_000)))
    for i in range(60):
        path = os.path.join(out, "data", "textures", f"set{i // 20}", f"tex{i:03d}.dds")
        header = b"DDS " + rng.randbytes(124)
        body = bytes((x * 7 + i) % 251 for x in range(50_000)) + rng.randbytes(20_000)
        total += write(path, header + body)
    # Sounds: partly compressible.
    for i in range(40):
        path = os.path.join(out, "sound", f"effect{i:02d}.wav")
        total += write(path, b"RIFF" + bytes(rng.randrange(256) // 4 for _ in range(60_000)))
    # Text: documents, scripts and configuration that compress well.
    for i in range(150):
        lines = [" ".join(rng.choice(words) for _ in range(12)) for _ in range(80 + rng.randrange(200))]
        path = os.path.join(out, "docs" if i < 50 else "scripts", f"part{i // 25}", f"file{i:03d}.txt")
        total += write(path, ("\r\n".join(lines) + "\r\n").encode("ascii"))
    total += write(os.path.join(out, "readme.txt"), b"Demo Product 2.1\r\nThanks for installing.\r\n")
    total += write(os.path.join(out, "demo.cfg"), b"[video]\r\nwidth=1024\r\nheight=768\r\n")
    count = sum(len(files) for _, _, files in os.walk(out))
    print(f"payload: {count} files, {total / 1048576:.1f} MiB in {out}")
    return 0


def write(path: str, data: bytes) -> int:
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    return len(data)


if __name__ == "__main__":
    sys.exit(main())
