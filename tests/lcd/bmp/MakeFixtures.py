#!/usr/bin/env python3
"""Writes the background decoder's test pictures and their references.

Each form of bitmap file the decoder reads holds the same kind of small
picture (13 x 6, so rows need padding), written byte by byte here; the
reference of each is ImageMagick's conversion of that file to a plain 24-bit
bitmap ("convert FILE -alpha off -type TrueColor BMP3:FILE.ref.bmp"). The
files are committed; run this script in its folder to make them again.
"""
import struct
import subprocess
import sys

W, H = 13, 6
PALETTE = [  # blue, green, red
    (0, 0, 0), (255, 255, 255), (0, 0, 255), (0, 255, 0), (255, 0, 0), (0, 255, 255), (255, 0, 255),
    (255, 255, 0), (128, 128, 128), (64, 32, 16), (16, 200, 90), (200, 16, 90), (90, 16, 200),
    (33, 66, 99), (222, 111, 55), (7, 180, 250)]


def index(x, y, colours):
    return ((x // 3) * 5 + y * 3 + (x * y) % 2) % colours


def colour(x, y):
    return (x * 19 + y * 7) % 256, (x * 5 + y * 41) % 256, (255 - x * 17 - y * 11) % 256


def file_header(info, palette, pixels):
    offset = 14 + len(info) + len(palette)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset)


def info40(width, height, bpp, compression=0, colours=0, size=0):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bpp, compression, size, 2835, 2835, colours, 0)


def palette_bytes(n, entry=4):
    out = b""
    for b, g, r in PALETTE[:n] if n <= 16 else [PALETTE[i % 16] for i in range(n)]:
        out += bytes([b, g, r] + ([0] if entry == 4 else []))
    return out


def packed_rows(bpp, value, top_down=False):
    rows = []
    for y in range(H):
        bits = ""
        data = b""
        for x in range(W):
            if bpp < 8:
                bits += format(value(x, y), "0%db" % bpp)
            else:
                data += value(x, y)
        if bpp < 8:
            bits += "0" * (-len(bits) % 8)
            data = bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))
        data += b"\0" * (-len(data) % 4)
        rows.append(data)
    # rows are given top first; bottom-up files store the bottom row first
    return b"".join(rows if top_down else reversed(rows))


def mask_value(masks, bytes_per_pixel):
    def value(x, y):
        b, g, r = colour(x, y)
        pixel = 0
        for mask, c in zip(masks, (r, g, b)):
            shift = (mask & -mask).bit_length() - 1
            bits = bin(mask).count("1")
            pixel |= ((c >> max(0, 8 - bits)) << shift) & mask
        return pixel.to_bytes(bytes_per_pixel, "little")
    return value


def rle_rows(rle4, with_delta):
    """Bottom row first: runs, absolute groups, ends of rows, a delta."""
    out = b""
    for fy in range(H):
        y = H - 1 - fy
        if with_delta and fy == 2:
            out += bytes([0, 2, 4, 1])  # right 4, up 1: row 2 is skipped, row 3 starts at 4
            start = 4
            continue
        start = 4 if with_delta and fy == 3 else 0
        idx = [index(x, y, 16) for x in range(W)]
        x = start
        while x < W:
            run = 1
            while x + run < W and idx[x + run] == idx[x] and run < 255:
                run += 1
            if run >= 2 or W - x < 3:
                if rle4:
                    out += bytes([run, idx[x] << 4 | idx[x]])
                else:
                    out += bytes([run, idx[x]])
                x += run
            else:
                n = 3
                group = idx[x:x + n]
                if rle4:
                    data = bytes((group[i] << 4) | (group[i + 1] if i + 1 < n else 0) for i in range(0, n, 2))
                else:
                    data = bytes(group)
                data += b"\0" * (len(data) & 1)
                out += bytes([0, n]) + data
                x += n
        out += bytes([0, 0])
    return out + bytes([0, 1])


def write(name, info, palette, pixels):
    with open(name + ".bmp", "wb") as f:
        f.write(file_header(info, palette, pixels) + info + palette + pixels)
    subprocess.run(["convert", name + ".bmp", "-alpha", "off", "-type", "TrueColor",
                    "BMP3:" + name + ".ref.bmp"], check=True)


def main():
    for bpp, colours in ((1, 2), (4, 16), (8, 16)):
        pal = palette_bytes(colours)
        value = (lambda x, y, c=colours: index(x, y, c)) if bpp < 8 else (lambda x, y: bytes([index(x, y, 16)]))
        write("rgb%d" % bpp, info40(W, H, bpp, colours=colours), pal, packed_rows(bpp, value))
    pal = palette_bytes(16)
    write("rgb8-topdown", info40(W, -H, 8, colours=16), pal,
          packed_rows(8, lambda x, y: bytes([index(x, y, 16)]), top_down=True))
    write("rgb16-555", info40(W, H, 16), b"", packed_rows(16, mask_value((0x7C00, 0x03E0, 0x001F), 2)))
    for name, masks, top in (("fields16-565", (0xF800, 0x07E0, 0x001F), False),
                             ("fields16-555-topdown", (0x7C00, 0x03E0, 0x001F), True),
                             ("fields32-101010", (0x3FF00000, 0x000FFC00, 0x000003FF), False),
                             ("fields32-bgr", (0x000000FF, 0x0000FF00, 0x00FF0000), True)):
        bpp = 16 if name.startswith("fields16") else 32
        write(name, info40(W, -H if top else H, bpp, compression=3), struct.pack("<III", *masks),
              packed_rows(bpp, mask_value(masks, bpp // 8), top_down=top))
    # The masks inside a 108-byte (V4) header.
    masks = (0xFF000000, 0x00FF0000, 0x0000FF00)
    v4 = bytearray(info40(W, H, 32, compression=3) + b"\0" * 68)
    struct.pack_into("<I", v4, 0, 108)
    struct.pack_into("<IIII", v4, 40, *masks, 0)
    write("fields32-v4", bytes(v4), b"", packed_rows(32, mask_value(masks, 4)))
    write("rgb24", info40(W, H, 24), b"", packed_rows(24, lambda x, y: bytes(colour(x, y))))
    write("rgb32", info40(W, -H, 32), b"", packed_rows(32, lambda x, y: bytes(colour(x, y)) + b"\x7f", True))
    write("rle8", info40(W, H, 8, compression=1, colours=16), pal, rle_rows(False, False))
    write("rle8-delta", info40(W, H, 8, compression=1, colours=16), pal, rle_rows(False, True))
    write("rle4", info40(W, H, 4, compression=2, colours=16), pal, rle_rows(True, False))
    write("rle4-delta", info40(W, H, 4, compression=2, colours=16), pal, rle_rows(True, True))
    core = lambda bpp: struct.pack("<IHHHH", 12, W, H, 1, bpp)
    write("core24", core(24), b"", packed_rows(24, lambda x, y: bytes(colour(x, y))))
    write("core8", core(8), palette_bytes(256, 3), packed_rows(8, lambda x, y: bytes([index(x, y, 16)])))


if __name__ == "__main__":
    sys.exit(main())
