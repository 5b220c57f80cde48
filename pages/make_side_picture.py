#!/usr/bin/env python3
"""Draws the stock side picture of the welcome and finish pages: side.bmp, 164 x 375, 24-bit.

A deep blue to teal gradient with soft light rings rising from the lower left. Run from any
folder; writes pages/install/side.bmp and pages/uninstall/side.bmp beside this script.
"""
import math
import os
import struct

W, H = 164, 375
TOP = (18, 42, 92)       # r, g, b
BOTTOM = (22, 122, 150)
RING = (235, 245, 255)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def pixel(x, y):
    colour = mix(TOP, BOTTOM, y / (H - 1))
    # Rings centred below the lower left corner, fading towards the top.
    d = math.hypot(x + 40, y - (H + 60))
    for radius, width, strength in ((150, 26, 0.10), (215, 14, 0.08), (270, 7, 0.07), (330, 3, 0.06)):
        edge = abs(d - radius)
        if edge < width:
            glow = (1 - edge / width) ** 2 * strength * (0.35 + 0.65 * y / H)
            colour = mix(colour, RING, glow)
    # A faint light from the top right.
    light = max(0.0, 1 - math.hypot(W - x, y) / 190) * 0.10
    colour = mix(colour, RING, light)
    return tuple(max(0, min(255, int(round(c)))) for c in colour)


def bmp():
    row_size = (W * 3 + 3) & ~3
    rows = []
    for y in range(H - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(W):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += b"\0" * (row_size - len(row))
        rows.append(bytes(row))
    data = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + data


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    picture = bmp()
    for folder in ("install", "uninstall"):
        with open(os.path.join(here, folder, "side.bmp"), "wb") as f:
            f.write(picture)
