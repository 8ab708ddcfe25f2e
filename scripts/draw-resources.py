#!/usr/bin/env python3
"""Draws the program's hand pointer (HAND-M.CUR) and icon (lexigrove.png).

Both are our own pixel drawings; the files are committed, and this script
says how they were made. Run it from the repository root to redraw them.
"""
import struct
import zlib

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


def png(width, height, rgba_rows):
    raw = b"".join(b"\x00" + bytes(r) for r in rgba_rows)

    def chunk(kind, data):
        c = struct.pack(">I", len(data)) + kind + data
        return c + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def icon():
    size = 64
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            # A green rounded tile with three white lines: a list turning into words.
            dx = max(0, abs(x - 31.5) - 22)
            dy = max(0, abs(y - 31.5) - 22)
            inside = dx * dx + dy * dy <= 100
            line = any(abs(y - ly) <= 2 and 16 <= x <= 48 - (i * 8) for i, ly in enumerate((20, 32, 44)))
            if not inside:
                row += [0, 0, 0, 0]
            elif line:
                row += [255, 255, 255, 255]
            else:
                row += [46, 125, 50, 255]
        rows.append(row)
    return png(size, size, rows)


if __name__ == "__main__":
    with open("resources/HAND-M.CUR", "wb") as f:
        f.write(hand_cursor())
    with open("resources/lexigrove.png", "wb") as f:
        f.write(icon())
