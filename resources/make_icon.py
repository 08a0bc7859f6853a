#!/usr/bin/env python3
"""Draws the installer's icon and writes it as lumetra.ico: one 32 x 32 image
with 16 colours (4 bits per pixel, the standard 16-colour palette) and a
transparency mask. The picture: a navy disc with a blue rim, rays of yellow
light from its upper right, and a white letter L.

The .ico is committed; run this only to change the picture:
    python3 resources/make_icon.py resources/lumetra.ico
"""
import math
import struct
import sys

SIZE = 32
# The standard 16-colour palette, in palette order (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
NAVY, GRAY, YELLOW, BLUE, WHITE = 4, 8, 11, 12, 15
TRANSPARENT = None


def pixel(x, y):
    """Colour index of pixel (x, y), y counted from the top, or TRANSPARENT."""
    cx = cy = 15.5
    r = math.hypot(x - cx, y - cy)
    if r > 15.6:
        return TRANSPARENT
    if r > 14.2:
        return BLUE
    # The letter L: a stem and a foot, with a grey shadow to the lower right.
    def in_l(px, py):
        return (9 <= px <= 13 and 7 <= py <= 24) or (9 <= px <= 22 and 20 <= py <= 24)
    if in_l(x, y):
        return WHITE
    if in_l(x - 1, y - 1):
        return GRAY
    # Light: a small sun at the upper right with rays toward the rim.
    sx, sy = 21.5, 10.0
    d = math.hypot(x - sx, y - sy)
    if d <= 2.6:
        return YELLOW
    angle = math.degrees(math.atan2(y - sy, x - sx)) % 45.0
    if 3.5 < d < 9.5 and (angle < 6.0 or angle > 39.0):
        return YELLOW
    return NAVY


def icon_bytes():
    rows = [[pixel(x, y) for x in range(SIZE)] for y in range(SIZE)]
    colour = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bitmaps are stored bottom-up
        for x in range(0, SIZE, 2):
            hi = row[x] or 0
            lo = row[x + 1] or 0
            colour.append((hi << 4) | lo)
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (1 if row[x] is TRANSPARENT else 0)
        mask += struct.pack(">I", bits)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    image = header + palette + bytes(colour) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "lumetra.ico"
    with open(out, "wb") as f:
        f.write(icon_bytes())
