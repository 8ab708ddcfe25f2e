#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws the program's hand pointer (HAND-M.CUR) and renders the window's icon
(lexigrove.png) from the one drawing of the icon,
resources/icons/org.lexigrove.Lexigrove.svg, as the package's icons are.

The pointer is our own pixel drawing; the files are committed, and this
script says how they were made. Run it from the repository root to redraw them.
"""
import struct
import subprocess

HAND = """
.....XX.........................
....X..X........................
....X..X........................
....X..X........................
....X..X........................
....X..XXX......................
....X..X..XXX...................
....X..X..X..XX.................
.XX.X..X..X..X.X................
X..XX..X..X..X..X...............
X...X.........X.X...............
.X..............X...............
..X.............X...............
..X.............X...............
...X...........X................
...X...........X................
....X.........X.................
....X.........X.................
.....XXXXXXXXX..................
"""


def hand_cursor():
    rows = [r for r in HAND.strip("\n").split("\n")]
    size = 32
    grid = [["."] * size for _ in range(size)]
    for y, row in enumerate(rows):
        for x, c in enumerate(row):
            grid[y][x] = c
    # Fill the inside of the outline white, scanning from the outline inwards.
    inside = [[False] * size for _ in range(size)]
    for y in range(size):
        xs = [x for x in range(size) if grid[y][x] == "X"]
        if len(xs) >= 2:
            for x in range(xs[0] + 1, xs[-1]):
                if grid[y][x] == ".":
                    inside[y][x] = True
    # The finger tops are open above the outline's first rows; keep them white too.
    pixels = []  # bottom-up BGRA
    mask_rows = []
    for y in reversed(range(size)):
        row = b""
        mask_bits = 0
        for x in range(size):
            if grid[y][x] == "X":
                row += bytes((0, 0, 0, 255))
            elif inside[y][x]:
                row += bytes((255, 255, 255, 255))
            else:
                row += bytes((0, 0, 0, 0))
                mask_bits |= 1 << (31 - x)
        pixels.append(row)
        mask_rows.append(struct.pack(">I", mask_bits))
    xor = b"".join(pixels)
    andmask = b"".join(mask_rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(xor) + len(andmask), 0, 0, 0, 0)
    image = header + xor + andmask
    hot_x, hot_y = 6, 0  # the tip of the index finger
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, hot_x, hot_y, len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    with open("resources/HAND-M.CUR", "wb") as f:
        f.write(hand_cursor())
    subprocess.run(["rsvg-convert", "--width", "64", "--height", "64", "--output",
                    "resources/lexigrove.png", "resources/icons/org.lexigrove.Lexigrove.svg"],
                   check=True)
