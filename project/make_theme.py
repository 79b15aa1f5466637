#!/usr/bin/env python3
"""Draws the picture shown beside the wizard pages: 117 by 290 pixels, 32 bits
per pixel, a night-blue to teal gradient crossed by soft light bands.

Writes the .bmp file (for the INSTALLTHEME1 resource) and the same bytes in
hexadecimal lines (for the install project's text).
Usage: make_theme.py OUT.bmp OUT.hex
"""
import math
import struct
import sys

W, H = 117, 290


def pixel(x, y):
    t = y / (H - 1)
    top, bottom = (18, 32, 74), (22, 128, 136)
    r, g, b = (a + (c - a) * t for a, c in zip(top, bottom))
    band = 0.5 + 0.5 * math.sin((x + y * 0.6) / 9.0)
    glow = 18 * band * (1 - t) + 10 * math.exp(-((y - 60) / 40.0) ** 2)
    return tuple(min(255, int(v + glow)) for v in (r, g, b))


def bitmap():
    rows = []
    for y in range(H - 1, -1, -1):  # a .bmp stores the bottom row first
        rows.append(b"".join(struct.pack("<BBBB", b, g, r, 255) for r, g, b in (pixel(x, y) for x in range(W))))
    bits = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 32, 0, len(bits), 3780, 3780, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(bits), 0, 0, 14 + len(info))
    return head + info + bits


def main():
    data = bitmap()
    with open(sys.argv[1], "wb") as f:
        f.write(data)
    hexed = data.hex().upper()
    with open(sys.argv[2], "w") as f:
        f.write("\n".join("      " + hexed[i:i + 64] for i in range(0, len(hexed), 64)))


if __name__ == "__main__":
    main()
