#!/usr/bin/env python3
"""Draws the default layout's background picture (res/Kestrani.bmp): labels,
frames and bar boxes of the 160 x 43 LCD, as a 24-bit bitmap file. The live
values come from res/Kestrani.ini; run kestrani-render to see both together.

usage: MakeBackground.py OUT.bmp
"""
import struct
import sys

W, H = 160, 43
BLACK, WHITE = 0, 1

# A 3 x 5 label font, distinct from the LCD's value fonts: rows top first.
FONT = {
    'A': ["010", "101", "111", "101", "101"],
    'C': ["011", "100", "100", "100", "011"],
    'D': ["110", "101", "101", "101", "110"],
    'E': ["111", "100", "110", "100", "111"],
    'F': ["111", "100", "110", "100", "100"],
    'G': ["011", "100", "101", "101", "011"],
    'H': ["101", "101", "111", "101", "101"],
    'K': ["101", "101", "110", "101", "101"],
    'L': ["100", "100", "100", "100", "111"],
    'M': ["101", "111", "111", "101", "101"],
    'N': ["110", "101", "101", "101", "101"],
    'P': ["110", "101", "110", "100", "100"],
    'R': ["110", "101", "110", "101", "101"],
    'U': ["101", "101", "101", "101", "111"],
    'V': ["101", "101", "101", "101", "010"],
    'W': ["101", "101", "111", "111", "101"],
    'Z': ["111", "001", "010", "100", "111"],
    '0': ["010", "101", "101", "101", "010"],
    '1': ["010", "110", "010", "010", "111"],
    '2': ["110", "001", "010", "100", "111"],
    '3': ["110", "001", "010", "001", "110"],
    '%': ["101", "001", "010", "100", "101"],
    '/': ["001", "001", "010", "100", "100"],
    'o': ["111", "101", "111", "000", "000"],  # degree sign
    '^': ["010", "111", "010", "010", "010"],  # up arrow
    'v': ["010", "010", "010", "111", "010"],  # down arrow
}

px = [[WHITE] * W for _ in range(H)]


def put(x, y, c):
    if 0 <= x < W and 0 <= y < H:
        px[y][x] = c


def fill(l, t, r, b, c):  # inclusive corners
    for y in range(t, b + 1):
        for x in range(l, r + 1):
            put(x, y, c)


def box(l, t, r, b, c=BLACK):
    for x in range(l, r + 1):
        put(x, t, c)
        put(x, b, c)
    for y in range(t, b + 1):
        put(l, y, c)
        put(r, y, c)


def label(x, y, text, c=BLACK):
    for ch in text:
        if ch != ' ':
            for row, bits in enumerate(FONT[ch]):
                for col, bit in enumerate(bits):
                    if bit == '1':
                        put(x + col, y + row, c)
        x += 4


# Header: black strip with date, week, memory load and clock drawn over it
# (the values invert, so they show white).
fill(0, 0, W - 1, 8, BLACK)
label(47, 2, "W", WHITE)
label(67, 2, "MEM", WHITE)
label(97, 2, "%", WHITE)

# Panels: processor on the left, graphics card on the right.
fill(77, 9, 77, H - 1, BLACK)

# Processor: clock and mean temperature, then one row per core with its load
# bar, load and temperature; two vertical bars for the total load (C) and the
# memory load (M), headed by reversed letters.
label(1, 11, "CPU")
label(35, 11, "MHZ")
label(60, 11, "o")
for i, y0 in enumerate((18, 24, 30, 36)):
    label(1, y0, str(i))
    box(5, y0 - 1, 26, y0 + 5)
    label(42, y0, "%")
    label(60, y0, "o")
for left, letter in ((64, "C"), (70, "M")):
    fill(left, 10, left + 5, 16, BLACK)
    label(left + 2, 11, letter, WHITE)
    box(left, 17, left + 5, 42)

# Graphics card: temperature, load and its bar; clocks; video memory and fan
# bars with their percentages; network rates at the bottom.
label(80, 11, "GPU")
label(108, 11, "o")
label(112, 11, "C")
label(132, 11, "%")
box(136, 10, 159, 16)
label(80, 18, "CLK")
label(118, 18, "/")
label(142, 18, "MHZ")
label(80, 24, "VRAM")
box(97, 23, 130, 29)
label(148, 24, "%")
label(80, 30, "FAN")
box(97, 29, 130, 35)
label(148, 30, "%")
label(80, 36, "^")
label(120, 36, "v")


def write(path):
    stride = W * 3
    data = bytearray()
    for y in range(H - 1, -1, -1):
        for x in range(W):
            v = 255 if px[y][x] == WHITE else 0
            data += bytes((v, v, v))
        data += b"\0" * ((4 - stride % 4) % 4)
    header = b"BM" + struct.pack("<IHHI", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


write(sys.argv[1] if len(sys.argv) > 1 else "Kestrani.bmp")
