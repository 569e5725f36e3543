#!/usr/bin/env python3
"""Pixel checks of the LCD frames that the LCD stand-in recorded.

A picture is a binary PGM (as the stand-in writes it), a PPM, or an
uncompressed 24-bit BMP (as kestrani-render and the applet's captures write
them); colour pictures become the LCD's black and white by the LCD's own luma
threshold. Rectangles are x0 y0 x1 y1, the ends exclusive.

  region A B x0 y0 x1 y1       exit 0 when the rectangle is equal in A and B
  find A x0 y0 x1 y1 B...      prints the indices (from 0) of the Bs equal to A there
  match A NAME=x0,y0,x1,y1... -- B...
                               prints "NAME=i,j" per rectangle: the indices of the
                               Bs equal to A there ("NAME=" when none)
  diff A B [x0 y0 x1 y1]...    prints the number of differing pixels outside the rectangles
  ink A x0 y0 x1 y1            prints the number of black pixels in the rectangle
  preview SHOT A               prints the number of pixels of the screenshot SHOT (the
                               window's client area) that differ from A stretched to
                               its size, both as black and white
  checked MENU N               prints the positions (from 0) of the checked items of a
                               screenshot MENU of a popup menu of N items (a dark check
                               mark in the left margin)
  bmpinfo FILE                 width height bits compression data-size file-size
  same FILE A                  exit 0 when the colour BMP FILE holds exactly the picture A
"""
import struct
import sys


def read_bmp(data):
    if data[:2] != b"BM":
        raise ValueError("not a BMP")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits, compression = struct.unpack_from("<HI", data, 28)
    if bits != 24 or compression != 0:
        raise ValueError("not an uncompressed 24-bit BMP")
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        src = y if height < 0 else abs(height) - 1 - y
        start = offset + src * stride
        rows.append([tuple(data[start + 3 * x + 2 - c] for c in range(3)) for x in range(width)])
    return rows


def read_pnm(data):
    fields, pos = [], 2
    magic = data[:2]
    while len(fields) < 3:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            while data[pos:pos + 1] not in (b"\n", b""):
                pos += 1
            continue
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(int(data[start:pos]))
    width, height, _ = fields
    pos += 1
    if magic == b"P5":
        return [[(v, v, v) for v in data[pos + y * width:pos + (y + 1) * width]] for y in range(height)]
    if magic == b"P6":
        return [[tuple(data[pos + 3 * (y * width + x):pos + 3 * (y * width + x) + 3]) for x in range(width)]
                for y in range(height)]
    raise ValueError("not a binary PGM or PPM")


def read_rgb(path):
    with open(path, "rb") as f:
        data = f.read()
    return read_bmp(data) if data[:2] == b"BM" else read_pnm(data)


def lcd(rgb):
    """Black (0) and white (255) by the LCD conversion's luma threshold."""
    return [[255 if 299 * r + 587 * g + 114 * b >= 128000 else 0 for (r, g, b) in row] for row in rgb]


def read(path):
    return lcd(read_rgb(path))


def rect(args):
    x0, y0, x1, y1 = (int(v) for v in args)
    return x0, y0, x1, y1


def differing(a, b, box):
    x0, y0, x1, y1 = box
    return sum(1 for y in range(y0, y1) for x in range(x0, x1) if a[y][x] != b[y][x])


def muldiv(a, b, c):
    return (a * b + c // 2) // c


def stretch(src, dw, dh):
    """The preview's bilinear enlargement in 16.16 fixed point."""
    sh, sw = len(src), len(src[0])
    xs, ys = muldiv(sw - 1, 65536, dw - 1), muldiv(sh - 1, 65536, dh - 1)
    out, fy = [], 0
    for _ in range(dh):
        sy = fy >> 16
        ra, rb = src[sy], src[min(sy + 1, sh - 1)]
        wb, wa = (fy & 65535) + 1, ((~fy) & 65535) + 1
        row, fx = [], 0
        for _ in range(dw):
            sx, t = fx >> 16, fx & 65535
            sx1 = min(sx + 1, sw - 1)
            a2 = muldiv(t, wa, 65536)
            b2 = muldiv(t, wb, 65536)
            row.append((ra[sx] * (wa - a2) + ra[sx1] * a2 + rb[sx] * (wb - b2) + rb[sx1] * b2) >> 16)
            fx += xs
        out.append(row)
        fy += ys
    return out


def main(argv):
    cmd, args = argv[1], argv[2:]
    if cmd == "region":
        n = differing(read(args[0]), read(args[1]), rect(args[2:6]))
        if n:
            print(f"{n} pixels differ")
        return 1 if n else 0
    if cmd == "find":
        a, box = read(args[0]), rect(args[1:5])
        print(" ".join(str(i) for i, path in enumerate(args[5:]) if differing(a, read(path), box) == 0))
        return 0
    if cmd == "match":
        a = read(args[0])
        split = args.index("--")
        boxes = [(spec.split("=")[0], rect(spec.split("=")[1].split(","))) for spec in args[1:split]]
        hits = {name: [] for name, _ in boxes}
        for i, path in enumerate(args[split + 1:]):
            b = read(path)
            for name, box in boxes:
                if differing(a, b, box) == 0:
                    hits[name].append(str(i))
        for name, _ in boxes:
            print(f"{name}={','.join(hits[name])}")
        return 0
    if cmd == "diff":
        a, b = read(args[0]), read(args[1])
        masks = [rect(args[i:i + 4]) for i in range(2, len(args), 4)]
        n = sum(1 for y in range(len(a)) for x in range(len(a[0]))
                if a[y][x] != b[y][x] and not any(m[0] <= x < m[2] and m[1] <= y < m[3] for m in masks))
        print(n)
        return 0
    if cmd == "ink":
        a, (x0, y0, x1, y1) = read(args[0]), rect(args[1:5])
        print(sum(1 for y in range(y0, y1) for x in range(x0, x1) if a[y][x] == 0))
        return 0
    if cmd == "preview":
        shot = read(args[0])
        expected = stretch(read(args[1]), len(shot[0]), len(shot))
        print(sum(1 for y, row in enumerate(shot) for x, v in enumerate(row)
                  if v != (255 if expected[y][x] >= 128 else 0)))
        return 0
    if cmd == "checked":
        menu, items = read_rgb(args[0]), int(args[1])
        border, height = 3, len(read_rgb(args[0]))
        step = (height - 2 * border) / items
        marks = set()
        for y, row in enumerate(menu):
            if any(299 * r + 587 * g + 114 * b < 60000 for (r, g, b) in row[border:border + 12]):
                item = int((y - border) // step)
                if 0 <= item < items:
                    marks.add(item)
        print(" ".join(str(i) for i in sorted(marks)))
        return 0
    if cmd == "bmpinfo":
        with open(args[0], "rb") as f:
            data = f.read()
        width, height = struct.unpack_from("<ii", data, 18)
        bits, compression, size = struct.unpack_from("<HII", data, 28)
        print(width, height, bits, compression, size, len(data))
        return 0
    if cmd == "same":
        colour, frame = read_rgb(args[0]), read(args[1])
        # The file is the 24-bit frame before the LCD conversion: every pixel
        # must convert to the frame's pixel.
        return 0 if lcd(colour) == frame else 1
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
