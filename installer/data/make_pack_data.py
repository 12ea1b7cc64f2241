#!/usr/bin/env python3
"""Generates the pack's data files into one output folder.

Writes the 21 replacement textures (PATCH1.pac .. PATCH21.pac), the readme
text, the 353 x 129 preview picture, the program icon and the link cursor.
Everything is computed from fixed seeds, so every run gives the same bytes.
Standard library only.

Usage: make_pack_data.py OUTPUT_FOLDER
"""
import math
import os
import struct
import sys

# (resource name, file name inside the archive, size in bytes), in the order
# the installer writes them.
TEXTURES = [
    ("PATCH1", "Skal\\kamen02.pac", 174918),
    ("PATCH2", "Skal\\kamen04.pac", 174918),
    ("PATCH3", "Skal\\kamen05.pac", 174918),
    ("PATCH4", "Tree\\akat01_krd2.pac", 174918),
    ("PATCH5", "Tree\\akat01_kvety.pac", 2796388),
    ("PATCH6", "Tree\\akat01_lsd2.pac", 2796388),
    ("PATCH7", "Tree\\akat01_lss3.pac", 2796388),
    ("PATCH8", "Tree\\borovice02c.pac", 349678),
    ("PATCH9", "Tree\\dd_lesd02.pac", 699229),
    ("PATCH10", "Tree\\dd_lesd03.pac", 699229),
    ("PATCH11", "Tree\\dd_lest01.pac", 699229),
    ("PATCH12", "Tree\\dd_les_kura03.pac", 349678),
    ("PATCH13", "Tree\\dd_les_vetve04.pac", 699229),
    ("PATCH14", "Tree\\dub_kura_fx.pac", 699213),
    ("PATCH15", "Tree\\dub_listy_fx.pac", 2796388),
    ("PATCH16", "Tree\\javor01_kr3.pac", 699213),
    ("PATCH17", "Tree\\javor01_lsd2.pac", 2796388),
    ("PATCH18", "Tree\\kmenletokruh.pac", 174934),
    ("PATCH19", "Tree\\smrkur.pac", 349678),
    ("PATCH20", "Tree\\smrkvtvmal.pac", 2796388),
    ("PATCH21", "Tree\\smrkvtvvel.pac", 699229),
]

README_LINES = [
    "*** READ THIS BEFORE YOU INSTALL ***",
    "Back up your archive \"O.pbo\" before you apply this pack: "
    "a second run replaces the installer's \"O.pbo.bak\" "
    "copy.",
    "This pack changes textures only: no models, no islands, no scripts.",
    "Installation:",
    "1. Create a separate mod folder with an \"addons\" subfolder and copy "
    "\"O.pbo\" from the game into it.",
    "2. Run this installer and apply the pack to that copy, not to the "
    "game's own archive.",
    "3. Start the game with the mod folder loaded.",
    "The textures were painted from photographs of Central European forests "
    "and rocks.",
    "Textures: the Nature Pack team.",
    "Contact: naturepack@example.org",
]


class Lcg:
    """A small linear congruential generator: fixed, portable sequence."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF

    def next(self):
        self.state = (self.state * 1103515245 + 12345) & 0xFFFFFFFF
        return (self.state >> 16) & 0x7FFF


def texture_bytes(index, size):
    """A texture-like file: 01 FF, a small header, then smooth noisy tiles.

    A 256 x 256 tile of smoothed value noise in the colours of bark, leaves
    or stone is built once and laid out row after row with a shift per pass,
    so the content has the local structure of a picture.
    """
    rng = Lcg(0x5EED0000 + index * 7919)
    width = 256
    grid = 16
    cells = [[rng.next() & 0xFF for _ in range(grid + 1)] for _ in range(grid + 1)]
    step = width // grid
    tile = bytearray(width * width)
    for y in range(width):
        gy, fy = divmod(y, step)
        row0, row1 = cells[gy], cells[gy + 1]
        wy = fy / step
        for x in range(width):
            gx, fx = divmod(x, step)
            wx = fx / step
            top = row0[gx] + (row0[gx + 1] - row0[gx]) * wx
            bottom = row1[gx] + (row1[gx + 1] - row1[gx]) * wx
            value = top + (bottom - top) * wy
            grain = (rng.next() & 0x1F) - 16
            tile[y * width + x] = max(0, min(255, int(value * 0.6) + 40 + grain))
    header = bytearray(b"\x01\xff")
    header += struct.pack("<HHHH", 0x8000 >> (index % 3), 256, 256, index)
    header += bytes((index * 37 + k * 11) & 0xFF for k in range(22))
    out = bytearray(header)
    shift = 0
    while len(out) < size:
        out += tile[shift:] + tile[:shift]
        shift = (shift + 4099) % len(tile)
    return bytes(out[:size])


FONT_5X7 = {
    # Each glyph is 7 rows of 5 bits, most significant bit on the left.
    "A": [14, 17, 17, 31, 17, 17, 17], "B": [30, 17, 17, 30, 17, 17, 30],
    "C": [14, 17, 16, 16, 16, 17, 14], "D": [30, 17, 17, 17, 17, 17, 30],
    "E": [31, 16, 16, 30, 16, 16, 31], "F": [31, 16, 16, 30, 16, 16, 16],
    "G": [14, 17, 16, 23, 17, 17, 15], "H": [17, 17, 17, 31, 17, 17, 17],
    "I": [14, 4, 4, 4, 4, 4, 14], "K": [17, 18, 20, 24, 20, 18, 17],
    "L": [16, 16, 16, 16, 16, 16, 31], "M": [17, 27, 21, 21, 17, 17, 17],
    "N": [17, 25, 21, 19, 17, 17, 17], "O": [14, 17, 17, 17, 17, 17, 14],
    "P": [30, 17, 17, 30, 16, 16, 16], "R": [30, 17, 17, 30, 20, 18, 17],
    "S": [15, 16, 16, 14, 1, 1, 30], "T": [31, 4, 4, 4, 4, 4, 4],
    "U": [17, 17, 17, 17, 17, 17, 14], "V": [17, 17, 17, 17, 17, 10, 4],
    "W": [17, 17, 17, 21, 21, 21, 10], "X": [17, 17, 10, 4, 10, 17, 17],
    "Y": [17, 17, 10, 4, 4, 4, 4], " ": [0, 0, 0, 0, 0, 0, 0],
}


def preview_picture():
    """353 x 129 landscape: sky, sun, hills, a lake, firs and the title."""
    w, h = 353, 129
    px = [[(0, 0, 0)] * w for _ in range(h)]  # (r, g, b), row 0 at the top

    def ridge(x, base, amp, f1, f2):
        return base + amp * math.sin(x * f1) + amp * 0.5 * math.sin(x * f2 + 1.3)

    for y in range(h):
        for x in range(w):
            t = y / h
            r, g, b = int(90 + 110 * t), int(150 + 70 * t), int(230 - 20 * t)
            dx, dy = x - 280, y - 30
            d = math.hypot(dx, dy)
            if d < 14:
                r, g, b = 255, 236, 150
            elif d < 30:
                k = (30 - d) / 16 * 0.5
                r, g, b = int(r + (255 - r) * k), int(g + (240 - g) * k), int(b + (170 - b) * k)
            if y > ridge(x, 62, 9, 0.021, 0.053):
                r, g, b = 96, 122, 150  # far mountains
                if y < ridge(x, 62, 9, 0.021, 0.053) + 4:
                    r, g, b = 230, 236, 240  # snow on the crest
            if y > ridge(x, 80, 6, 0.033, 0.011):
                r, g, b = 62, 112, 58  # hills
            if y > 96:
                shade = (x * 3 + y * 5) % 11
                r, g, b = 52 + shade, 120 + shade * 2, 44  # meadow
            if 98 < y < 112 and 40 < x < 190 and y > 98 + abs(x - 115) * 0.12:
                r, g, b = 70, 120 + (x + y) % 9, 190  # lake
            px[y][x] = (r, g, b)

    rng = Lcg(2003)
    for _ in range(34):
        cx = rng.next() % w
        base = 92 + rng.next() % 30
        height = 26 + rng.next() % 22
        for y in range(max(0, base - height), min(h, base + 4)):
            for x in range(max(0, cx - 14), min(w, cx + 15)):
                if y >= base:
                    if abs(x - cx) <= 1:
                        px[y][x] = (84, 56, 34)  # trunk
                    continue
                half = (y - (base - height)) * 0.32 * (1 + 0.25 * ((base - y) % 6 < 3))
                if abs(x - cx) <= half:
                    dark = 18 if x < cx else 0
                    px[y][x] = (20, 78 - dark + (y % 4) * 4, 34 - dark // 2)

    def text(s, x0, y0, scale, colour):
        for i, ch in enumerate(s):
            rows = FONT_5X7[ch]
            for ry, bits in enumerate(rows):
                for rx in range(5):
                    if bits & (16 >> rx):
                        for sy in range(scale):
                            for sx in range(scale):
                                x = x0 + (i * 6 + rx) * scale + sx
                                y = y0 + ry * scale + sy
                                if 0 <= x < w and 0 <= y < h:
                                    px[y][x] = colour

    for line, y0 in (("VOSTREL NATURE", 8), ("REPLACEMENT PACK", 27)):
        width = len(line) * 6 * 2
        x0 = 14
        text(line, x0 + 1, y0 + 1, 2, (20, 40, 30))
        text(line, x0, y0, 2, (255, 255, 255))
        del width

    stride = (w * 3 + 3) & ~3
    data = bytearray()
    for y in range(h - 1, -1, -1):  # bottom-up rows, BGR
        row = bytearray()
        for r, g, b in px[y]:
            row += bytes((b, g, r))
        row += b"\0" * (stride - w * 3)
        data += row
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    return head + info + bytes(data)


# The 16-colour palette of the icons (standard VGA order), as (r, g, b).
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
       (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def icon_image(n):
    """A fir tree on a green disc with a brown trunk, n x n, 4 bits per pixel."""
    pix = [[None] * n for _ in range(n)]  # None = transparent
    c = (n - 1) / 2
    for y in range(n):
        for x in range(n):
            if math.hypot(x - c, y - c) <= n / 2 - 0.5:
                pix[y][x] = 15 if math.hypot(x - c, y - c) > n / 2 - 1.6 else 14
    for y in range(n):
        for x in range(n):
            top, bottom = n * 0.12, n * 0.72
            if top <= y <= bottom:
                half = (y - top) / (bottom - top) * n * 0.32
                if abs(x - c) <= half:
                    pix[y][x] = 2 if x < c else 10
            if bottom < y <= n * 0.86 and abs(x - c) <= max(1, n // 16):
                pix[y][x] = 3
    stride_xor = ((n * 4 + 31) // 32) * 4
    stride_and = ((n + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for y in range(n - 1, -1, -1):
        row = bytearray(stride_xor)
        mrow = bytearray(stride_and)
        for x in range(n):
            v = pix[y][x]
            if v is None:
                mrow[x // 8] |= 0x80 >> (x % 8)
                v = 0
            row[x // 2] |= v << (4 if x % 2 == 0 else 0)
        xor += row
        mask += mrow
    info = struct.pack("<IiiHHIIiiII", 40, n, n * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    pal = b"".join(bytes((b, g, r, 0)) for r, g, b in VGA)
    return info + pal + bytes(xor) + bytes(mask)


def icon_file():
    images = [icon_image(32), icon_image(16)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, img in zip((32, 16), images):
        out += struct.pack("<BBBBHHII", n, n, 16, 0, 1, 4, len(img), offset)
        offset += len(img)
    return out + b"".join(images)


# Pointing hand, 32 x 32: '#' black outline, '.' white fill, ' ' transparent.
HAND = [
    "      ##",
    "     #..#",
    "     #..#",
    "     #..#",
    "     #..#",
    "     #..###",
    "     #..#..###",
    "     #..#..#..##",
    "     #..#..#..#.#",
    " ### #..#..#..#..#",
    " #..##........#..#",
    " #...#...........#",
    "  #..#...........#",
    "  #..............#",
    "   #.............#",
    "   #............#",
    "    #...........#",
    "    #..........#",
    "     #.........#",
    "     #........#",
    "      #.......#",
    "      #########",
]


def cursor_file():
    """32 x 32 monochrome cursor; the hot spot (6, 0) is the fingertip."""
    n = 32
    xor = bytearray()
    mask = bytearray()
    for y in range(n - 1, -1, -1):
        line = HAND[y] if y < len(HAND) else ""
        row = bytearray(4)
        mrow = bytearray(b"\xff" * 4)
        for x in range(n):
            ch = line[x] if x < len(line) else " "
            if ch in "#.":
                mrow[x // 8] &= ~(0x80 >> (x % 8)) & 0xFF
                if ch == ".":
                    row[x // 8] |= 0x80 >> (x % 8)
        xor += row
        mask += mrow
    info = struct.pack("<IiiHHIIiiII", 40, n, n * 2, 1, 1, 0, len(xor) + len(mask), 0, 0, 2, 0)
    pal = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    img = info + pal + bytes(xor) + bytes(mask)
    head = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", n, n, 2, 0, 6, 0, len(img), 6 + 16)
    return head + entry + img


def write_if_changed(path, data):
    try:
        with open(path, "rb") as f:
            if f.read() == data:
                return
    except OSError:
        pass
    with open(path, "wb") as f:
        f.write(data)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for i, (name, _, size) in enumerate(TEXTURES, start=1):
        write_if_changed(os.path.join(out, name + ".pac"), texture_bytes(i, size))
    readme = "\r\n\r\n".join(README_LINES).encode("ascii")
    write_if_changed(os.path.join(out, "readme.txt"), readme)
    write_if_changed(os.path.join(out, "preview.bmp"), preview_picture())
    write_if_changed(os.path.join(out, "mainicon.ico"), icon_file())
    write_if_changed(os.path.join(out, "link.cur"), cursor_file())
    # The table the tests read: resource name, size, entry name.
    table = "".join("%s %d %s\n" % (n, s, e) for n, e, s in TEXTURES)
    write_if_changed(os.path.join(out, "payload.txt"), table.encode("ascii"))


if __name__ == "__main__":
    main()
