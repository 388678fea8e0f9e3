#!/usr/bin/env python3
"""Draws the program's icon: a 32x32, 16-colour printer with a sheet and a
send arrow, written as resources/setup.ico. Run again after changing it."""
import struct
import sys

# The standard 16-colour palette, as (blue, green, red, 0) quads.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]  # given as (red, green, blue)
BLACK, DARK_GREY, LIGHT_GREY, WHITE, BLUE, GREEN = 0, 8, 7, 15, 12, 10
CLEAR = None


def draw():
    pixels = [[CLEAR] * 32 for _ in range(32)]

    def box(x0, y0, x1, y1, colour):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                pixels[y][x] = colour

    box(9, 2, 22, 13, BLACK)        # the sheet, outlined
    box(10, 3, 21, 13, WHITE)
    for y in (5, 7, 9, 11):         # lines of text on it
        box(12, y, 19, y, DARK_GREY)
    box(3, 12, 28, 25, BLACK)       # the printer body, outlined
    box(4, 13, 27, 24, LIGHT_GREY)
    box(4, 13, 27, 14, WHITE)       # lit top edge
    box(8, 19, 23, 21, BLACK)       # paper slot
    box(24, 16, 25, 17, GREEN)      # ready lamp
    box(5, 26, 26, 27, DARK_GREY)   # feet shadow
    box(1, 5, 5, 6, BLUE)           # send arrow, top left: shaft
    for i in range(3):              # and head
        box(5 + i, 3 + i, 5 + i, 8 - i, BLUE)
    return pixels


def icon_bytes(pixels):
    rows_xor = []
    rows_and = []
    for row in reversed(pixels):    # bitmaps are stored bottom-up
        nibbles = [0 if p is CLEAR else p for p in row]
        rows_xor.append(bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, 32, 2)))
        bits = 0
        for p in row:
            bits = (bits << 1) | (1 if p is CLEAR else 0)
        rows_and.append(struct.pack(">I", bits))
    header = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    image = header + palette + b"".join(rows_xor) + b"".join(rows_and)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", 32, 32, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "resources/setup.ico"
    with open(out, "wb") as f:
        f.write(icon_bytes(draw()))
