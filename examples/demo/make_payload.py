#!/usr/bin/env python3
"""Writes the demo's payload: a few hundred files, tens of MB, text and binary, in subfolders,
and the product's own archives that the setup's archive lines then update in place.

Deterministic, so every run builds the same setup: make_payload.py OUT_DIR
"""
import hashlib
import os
import random
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
# 2024-01-15 as a DOS date in the high word, time 0: fixed so that the payload never changes.
DOS_DATE = ((2024 - 1980) << 9 | 1 << 5 | 15) << 16


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
    total += write_archives(out, rng)
    count = sum(len(files) for _, _, files in os.walk(out))
    print(f"payload: {count} files, {total / 1048576:.1f} MiB in {out}")
    return 0


def write_archives(out: str, rng: random.Random) -> int:
    """data/game.zqp, and data/world.vfs and data/music.vfs with their .ht hash files."""
    def text(lines: int, width: int, alphabet: str) -> bytes:
        return "".join(f"row{r:02d} " + "".join(rng.choice(alphabet) for _ in range(width)) + "\r\n"
                       for r in range(lines)).encode("ascii")
    with open(os.path.join(HERE, "patch_pak", "config.ini"), "rb") as f:
        config = f.read()  # the same bytes as the update's: that member is to be left alone
    package = pak_archive([
        ("config.ini", config),
        ("maps\\level1.map", text(30, 60, ".#~")),
        ("maps\\Level2.map", text(20, 60, ".#")),
        ("scripts\\intro.txt", b"The story begins.\r\n" * 40),
    ])
    world = VfsArchive(block_size=1024, block_count=128, root_count=16)
    world.add("levels", [("start.lvl", b"start level, first edition\r\n" * 100)])
    world.add("readme.txt", b"World data.\r\n")
    music = VfsArchive(block_size=1024, block_count=64, root_count=8)
    music.add("music", [("intro.mid", rng.randbytes(1500))])
    total = write(os.path.join(out, "data", "game.zqp"), package)
    for name, vfs in (("world", world), ("music", music)):
        total += write(os.path.join(out, "data", name + ".vfs"), vfs.archive())
        total += write(os.path.join(out, "data", name + ".ht"), vfs.hash_file())
    return total


def pak_archive(members) -> bytes:
    """A package: masked zlib members, the compressed directory, its trailer and a version 2
    password trailer without a password (an update writes version 3)."""
    data, records = b"", b""
    for name, content in members:
        stream = bytearray(zlib.compress(content, 9))
        # The first word is masked with the CRC-32 of the bytes after it.
        word = struct.unpack_from("<I", stream)[0] ^ zlib.crc32(bytes(stream[4:]))
        struct.pack_into("<I", stream, 0, word)
        raw = name.encode("ascii")
        records += struct.pack("<HBBIIIII", 0x0A0D, 2, 0, DOS_DATE, len(stream), len(content), len(data), 0)
        records += bytes([len(raw)]) + raw.ljust(127, b"\0")
        data += bytes(stream)
    directory = zlib.compress(records, 9)
    trailer = struct.pack("<IIIII", len(directory), len(records), 5, len(members), 0)
    return data + directory + trailer + b"ZQP2" + bytes(9)


class VfsArchive:
    """A virtual file system archive built in one go: blocks handed out in order, so every
    chain is contiguous; directories are written after their files."""
    ENTRY = struct.Struct("<68sIIIII")

    def __init__(self, block_size: int, block_count: int, root_count: int):
        self.block_size, self.block_count, self.root_count = block_size, block_count, root_count
        self.table = [(0, 0)] * block_count
        self.blocks = bytearray(block_size * block_count)
        self.used = 0
        self.roots = []    # entries of the root table, in slot order
        self.files = []    # (path, name, flags, stored, unpacked, first block) for the hash file

    def store(self, data: bytes) -> int:
        count = max(1, -(-len(data) // self.block_size))
        first = self.used + 1
        for i in range(count):
            block = first + i
            self.table[block - 1] = (1, block + 1 if i + 1 < count else 0xFFFFFFFF)
        start = (first - 1) * self.block_size
        self.blocks[start:start + len(data)] = data
        self.used += count
        return first

    def file_entry(self, path: str, name: str, content: bytes) -> bytes:
        packed, at = b"", 0
        while at < len(content):  # 50000-byte chunks, each its own zlib stream behind its length
            chunk = zlib.compress(content[at:at + 50000], 9)
            if len(packed) + 4 + len(chunk) > len(content):
                packed = None
                break
            packed += struct.pack("<I", len(chunk)) + chunk
            at += 50000
        if packed:
            flags, stored, unpacked = 1 | 8, packed, len(content)
        else:
            flags, stored, unpacked = 1, content, 0
        first = self.store(stored)
        self.files.append((path, name, flags, len(stored), unpacked, first))
        return self.ENTRY.pack(name.encode("ascii"), flags, DOS_DATE, first, len(stored), unpacked)

    def add(self, name: str, content) -> None:
        """A root file (bytes) or a root directory of files ([(name, bytes)])."""
        if isinstance(content, bytes):
            self.roots.append(self.file_entry(name, name, content))
            return
        listing = b"".join(self.file_entry(name + "\\" + child, child, data) for child, data in content)
        first = self.store(listing)
        self.roots.append(self.ENTRY.pack(name.encode("ascii"), 2, DOS_DATE, first, len(listing), 0))

    def archive(self) -> bytes:
        body = struct.pack("<I", 256) + bytes(256) + struct.pack("<I", self.used)
        body += b"".join(struct.pack("<II", *entry) for entry in self.table)
        body += b"".join(self.roots).ljust(88 * self.root_count, b"\0") + bytes(self.blocks)
        head = b"ZQVF" + struct.pack("<III", self.block_size, self.block_count, self.root_count) + bytes(12)
        return head + hashlib.md5(body).digest() + body

    def hash_file(self) -> bytes:
        records = {}
        for path, name, flags, stored, unpacked, first in self.files:
            folder = path[:len(path) - len(name)]
            key = folder[:-1] + "/" + name if len(folder) >= 2 and folder.endswith("\\") else name
            h = 0
            for c in key.encode("ascii"):
                h = (h * 65599 + c) & 0xFFFFFFFF
            assert h not in records, "a hash collision would need the unique flag cleared"
            records[h] = struct.pack("<IIIIIB", h, flags, stored, unpacked, first, 1)
        return struct.pack("<I", len(records)) + b"".join(records[h] for h in sorted(records))


def write(path: str, data: bytes) -> int:
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    return len(data)


if __name__ == "__main__":
    sys.exit(main())
