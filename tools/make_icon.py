#!/usr/bin/python3
"""Draws the launcher's icon, a game cartridge, and writes it as
res/quorvalis.ico (one 32x32 image, 16 colours, BMP in ICO with AND mask),
res/quorvalis.png (the same picture, RGBA, for the native build's window) and
res/icons/quorvalis-N.png, the menu icons of the Linux package at the other sizes
of the icon theme: the 32x32 picture scaled up with nearest-neighbour sampling
(48, 64, 128 and 256), and at 16x16 the same design drawn again, since halving
the picture would drop every other line of it.

Usage: tools/make_icon.py [output-directory]   (default: res/ beside this script)
Only the standard library is used; the output is the same on every run.
"""
import os
import struct
import sys
import zlib

SIZE = 32
CLEAR = -1  # transparent pixel

# The 16-colour palette of the Windows 95 generation, as (r, g, b).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, DKRED, DKGREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GREY, RED, GREEN, YELLOW, BLUE, MAGENTA, CYAN, WHITE = range(8, 16)


def fill(img, x0, y0, x1, y1, colour):
    """Fills the rectangle from (x0, y0) to (x1, y1), both corners included."""
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            img[y][x] = colour


def frame(img, x0, y0, x1, y1, colour):
    """Draws the outline of the rectangle, corners included."""
    for x in range(x0, x1 + 1):
        img[y0][x] = colour
        img[y1][x] = colour
    for y in range(y0, y1 + 1):
        img[y][x0] = colour
        img[y][x1] = colour


def draw():
    """The picture as rows of palette indexes, top row first."""
    img = [[CLEAR] * SIZE for _ in range(SIZE)]
    # Shell: grey with a black outline, lit from the top left, the corners cut off.
    fill(img, 4, 1, 27, 26, GREY)
    frame(img, 4, 1, 27, 26, BLACK)
    for x, y in ((4, 1), (27, 1)):
        img[y][x] = CLEAR
    img[2][5] = BLACK
    img[2][26] = BLACK
    for x in range(6, 26):
        img[2][x] = SILVER
    for y in range(3, 26):
        img[y][5] = SILVER
    # Grip ridges across the top.
    for y in (3, 5):
        for x in range(8, 24):
            img[y][x] = BLACK
        for x in range(8, 24):
            img[y + 1][x] = SILVER
    # Label: a night sky over green hills, a yellow moon and a red title stripe.
    fill(img, 7, 8, 24, 22, BLUE)
    frame(img, 7, 8, 24, 22, BLACK)
    fill(img, 8, 9, 23, 10, WHITE)
    for x in range(9, 23, 3):
        img[9][x] = RED
        img[9][x + 1] = RED
    for dy in range(-2, 3):
        for dx in range(-2, 3):
            if dx * dx + dy * dy <= 5:
                img[14 + dy][19 + dx] = YELLOW
    img[13][11] = WHITE
    img[16][14] = WHITE
    img[12][15] = WHITE
    hills = [19, 18, 17, 17, 17, 18, 19, 19, 18, 17, 16, 16, 17, 18, 19, 20]
    for i, top in enumerate(hills):
        for y in range(top, 22):
            img[y][8 + i] = GREEN if y == top else DKGREEN
    # Lower shell narrows towards the connector.
    fill(img, 6, 27, 25, 27, GREY)
    img[27][5] = BLACK
    img[27][26] = BLACK
    fill(img, 6, 26, 25, 26, GREY)
    for x in range(6, 26):
        img[28][x] = BLACK
    img[26][5] = SILVER
    # Edge connector: gold contacts on a green board.
    fill(img, 7, 29, 24, 30, DKGREEN)
    for x in range(8, 24, 2):
        img[29][x] = YELLOW
        img[30][x] = OLIVE
    for x in range(7, 25):
        img[31][x] = BLACK
    img[29][6] = BLACK
    img[30][6] = BLACK
    img[29][25] = BLACK
    img[30][25] = BLACK
    return img


# The 16x16 rendition, one character a pixel: # black, s silver, g grey, d dark green,
# R red, G green, Y yellow, B blue, W white, . transparent.
SMALL = [
    "...##########...",
    "..#ssssssssss#..",
    "..#s########g#..",
    "..#sggggggggg#..",
    "..#s########g#..",
    "..#s#RWRWRW#g#..",
    "..#s#BWBYYB#g#..",
    "..#s#BBBYYB#g#..",
    "..#s#BGBGGB#g#..",
    "..#s#GdGddG#g#..",
    "..#s#dddddd#g#..",
    "..#s########g#..",
    "..#sggggggggg#..",
    "...#gggggggg#...",
    "...#YdYdYdYd#...",
    "....########....",
]
SMALL_COLOURS = {".": CLEAR, "#": BLACK, "d": DKGREEN, "s": SILVER, "g": GREY, "R": RED,
                 "G": GREEN, "Y": YELLOW, "B": BLUE, "W": WHITE}
MENU_SIZES = (16, 48, 64, 128, 256)


def draw_small():
    return [[SMALL_COLOURS[c] for c in row] for row in SMALL]


def scaled(img, size):
    """The picture at size x size, each pixel taken from the nearest one of the original."""
    n = len(img)
    return [[img[y * n // size][x * n // size] for x in range(size)] for y in range(size)]


def ico_bytes(img):
    """ICONDIR, one ICONDIRENTRY and the 4-bpp DIB with its AND mask."""
    xor_rows = []
    and_rows = []
    for row in reversed(img):  # DIB rows run bottom-up
        nibbles = [0 if p == CLEAR else p for p in row]
        xor_rows.append(bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, SIZE, 2)))
        bits = 0
        for p in row:
            bits = (bits << 1) | (1 if p == CLEAR else 0)
        and_rows.append(struct.pack(">I", bits))  # 32 pixels: one DWORD, already aligned
    xor = b"".join(xor_rows)
    mask = b"".join(and_rows)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, len(xor) + len(mask),
                         0, 0, 16, 0)
    dib = header + palette + xor + mask
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(dib), 6 + 16)
    return icondir + entry + dib


def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png_bytes(img):
    size = len(img)
    raw = bytearray()
    for row in img:
        raw.append(0)  # filter type None
        for p in row:
            if p == CLEAR:
                raw += b"\0\0\0\0"
            else:
                raw += bytes(PALETTE[p]) + b"\xff"
    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", ihdr) +
            png_chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + png_chunk(b"IEND", b""))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "res")
    img = draw()
    with open(os.path.join(out, "quorvalis.ico"), "wb") as f:
        f.write(ico_bytes(img))
    with open(os.path.join(out, "quorvalis.png"), "wb") as f:
        f.write(png_bytes(img))
    os.makedirs(os.path.join(out, "icons"), exist_ok=True)
    for size in MENU_SIZES:
        picture = draw_small() if size == 16 else scaled(img, size)
        with open(os.path.join(out, "icons", "quorvalis-%d.png" % size), "wb") as f:
            f.write(png_bytes(picture))


if __name__ == "__main__":
    main()
