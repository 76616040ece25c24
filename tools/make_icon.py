#!/usr/bin/env python3
"""Draws the application icon: two phone screens side by side, a dark one on the left and an
orange one on the right, with an arrow between them, all on a grid of 32 by 32. Writes
resources/vexaro.ico (16x16 and 32x32 images, 32 bits per pixel with alpha) for Windows, and for
the Linux icon theme the same picture as PNG files at each size it uses,
resources/icons/vexaro-<size>.png, and as resources/icons/vexaro.svg.
Run: python3 tools/make_icon.py [resources folder]"""
import os
import struct
import sys
import zlib

DARK = (46, 46, 46, 255)
ORANGE = (255, 134, 46, 255)
FRAME = (30, 30, 60, 255)
ARROW = (20, 110, 200, 255)
CLEAR = (0, 0, 0, 0)


PNG_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


def boxes():
    """The picture as boxes (x0, y0, x1, y1, colour) on the 32 by 32 grid, drawn in order."""
    drawn = [
        (1, 4, 13, 28, FRAME),     # left phone
        (3, 7, 11, 21, DARK),
        (19, 4, 31, 28, FRAME),    # right phone
        (21, 7, 29, 21, ORANGE),
        (13, 15, 17, 17, ARROW),   # arrow shaft
    ]
    for i in range(4):             # arrow head
        drawn.append((17 + i // 2, 12 + i, 18 + i // 2, 20 - i, ARROW))
    return drawn


def picture(size):
    s = size / 32.0
    px = [[CLEAR] * size for _ in range(size)]
    for x0, y0, x1, y1, colour in boxes():
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                px[y][x] = colour
    return px


def svg():
    rects = "".join('  <rect x="%d" y="%d" width="%d" height="%d" fill="#%02x%02x%02x"/>\n'
                    % (x0, y0, x1 - x0, y1 - y0, *colour[:3]) for x0, y0, x1, y1, colour in boxes())
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32"'
            ' shape-rendering="crispEdges">\n' + rects + "</svg>\n")


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


def main(folder):
    images = [dib(picture(n)) for n in (16, 32)]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for n, data in zip((16, 32), images):
        out += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(os.path.join(folder, "vexaro.ico"), "wb") as f:
        f.write(out)
    icons = os.path.join(folder, "icons")
    os.makedirs(icons, exist_ok=True)
    for n in PNG_SIZES:
        with open(os.path.join(icons, "vexaro-%d.png" % n), "wb") as f:
            f.write(png(picture(n)))
    with open(os.path.join(icons, "vexaro.svg"), "w") as f:
        f.write(svg())


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "resources")
