#!/usr/bin/env python3
"""Draws the launcher's icon (a white T on a coffee-brown disc) as tarvik.ico."""
import struct

def image(size):
    rows = []
    c = (size - 1) / 2.0
    for y in range(size):
        row = b""
        for x in range(size):
            inside = (x - c) ** 2 + (y - c) ** 2 <= (size / 2.0 - 0.5) ** 2
            bar = size * 0.22 <= y <= size * 0.36 and size * 0.2 <= x <= size * 0.8
            stem = size * 0.22 <= y <= size * 0.8 and size * 0.42 <= x <= size * 0.58
            if not inside:
                row += bytes((0, 0, 0, 0))
            elif bar or stem:
                row += bytes((255, 255, 255, 255))
            else:
                row += bytes((40, 80, 140, 255))  # BGRA
        rows.append(row)
    pixels = b"".join(reversed(rows))  # bottom-up
    mask = b"\0" * (((size + 31) // 32) * 4 * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(pixels) + len(mask), 0, 0, 0, 0)
    return header + pixels + mask

sizes = [16, 32, 48]
images = [image(s) for s in sizes]
out = struct.pack("<HHH", 0, 1, len(sizes))
offset = 6 + 16 * len(sizes)
for s, data in zip(sizes, images):
    out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
    offset += len(data)
out += b"".join(images)
open("tarvik.ico", "wb").write(out)
