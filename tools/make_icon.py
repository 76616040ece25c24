#!/usr/bin/env python3
"""Draws the application icon (resources/vexaro.ico): two phone screens side by side, a dark
one on the left and an orange one on the right, with an arrow between them. 16x16 and 32x32
images, 32 bits per pixel with alpha; and the same picture at 64x64 as a PNG file for the Linux
desktop entry. Run: python3 tools/make_icon.py resources/vexaro.ico resources/vexaro.png"""
import struct
import sys
import zlib

DARK = (46, 46, 46, 255)
ORANGE = (255, 134, 46, 255)
FRAME = (30, 30, 60, 255)
ARROW = (20, 110, 200, 255)
CLEAR = (0, 0, 0, 0)


def picture(size):
    s = size / 32.0
    px = [[CLEAR] * size for _ in range(size)]

    def box(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                px[y][x] = colour

    box(1, 4, 13, 28, FRAME)     # left phone
    box(3, 7, 11, 21, DARK)
    box(19, 4, 31, 28, FRAME)    # right phone
    box(21, 7, 29, 21, ORANGE)
    box(13, 15, 17, 17, ARROW)   # arrow shaft
    for i in range(4):           # arrow head
        box(17 + i // 2, 12 + i, 18 + i // 2, 20 - i, ARROW)
    return px


def dib(px):
    size = len(px)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colours = bytearray()
    for row in reversed(px):  # bottom-up rows, BGRA
        for r, g, b, a in row:
            colours += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(px):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(colours) + bytes(mask)


def png(px):
    size = len(px)
    raw = b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in px)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main(path, png_path=None):
    images = [dib(picture(n)) for n in (16, 32)]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for n, data in zip((16, 32), images):
        out += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)
    if png_path:
        with open(png_path, "wb") as f:
            f.write(png(picture(64)))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "resources/vexaro.ico",
         sys.argv[2] if len(sys.argv) > 2 else "resources/vexaro.png")
