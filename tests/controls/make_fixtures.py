#!/usr/bin/env python3
"""Writes the test program's resource files into one output folder.

readme.txt  a small readme text: CR LF line breaks, no terminating zero, one
            line long enough to wrap, an ampersand
link.cur    32 x 32 monochrome hand cursor, hot spot (6, 0)
main.ico    32 x 32, 16 colours

These are the tests' own small text and pictures, not the pack's: the readme
is short, with a line that wraps and an ampersand.

Usage: make_fixtures.py OUTPUT_FOLDER
"""
import os
import struct
import sys

# The file writer is the pack generator's: a file whose bytes did not change
# is left alone, so the resources built from it are not rebuilt. No bytecode
# is written next to the generator in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "installer", "data"))
from make_pack_data import write_if_changed  # noqa: E402

README_LINES = [
    "*** READ THIS FIRST ***",
    "Back up your O.pbo before you apply this pack.",
    "This pack changes textures only & nothing else.",
    "Installation: copy O.pbo into the addons folder of a separate mod folder, "
    "apply the pack to that copy and start the game with the mod folder loaded.",
    "Textures by the pack's authors.",
    "Questions: see the project's web page.",
]

HAND = [
    "      ##                        ",
    "     #..#                       ",
    "     #..#                       ",
    "     #..#                       ",
    "     #..#                       ",
    "     #..###                     ",
    "     #..#..###                  ",
    "     #..#..#..##                ",
    "     #..#..#..#.#               ",
    "  ## #..#..#..#..#              ",
    " #..##........#..#              ",
    " #...#...........#              ",
    "  #..............#              ",
    "   #.............#              ",
    "   #............#               ",
    "    #...........#               ",
    "    #..........#                ",
    "     #.........#                ",
    "     #.........#                ",
    "     ###########                ",
]


def bitmap_header(width, height, bits, colours):
    return struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, bits, 0, 0, 0, 0, colours, 0)


def rows_bottom_up(rows):
    return list(reversed(rows))


def cursor_file():
    rows = HAND + [" " * 32] * (32 - len(HAND))
    xor = b""
    mask = b""
    for row in rows_bottom_up(rows):
        x_bits = 0
        m_bits = 0
        for i, c in enumerate(row):
            bit = 1 << (31 - i)
            if c == " ":
                m_bits |= bit          # transparent
            elif c == ".":
                x_bits |= bit          # white
        xor += struct.pack(">I", x_bits)
        mask += struct.pack(">I", m_bits)
    image = bitmap_header(32, 32, 1, 2) + struct.pack("<II", 0x000000, 0xFFFFFF) + xor + mask
    head = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", 32, 32, 2, 0, 6, 0, len(image), 6 + 16)
    return head + entry + image


def icon_file():
    palette = [(0, 0, 0), (0, 128, 0), (0, 255, 0), (255, 255, 255)] + [(0, 0, 0)] * 12
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    pixels = b""
    for y in range(32):
        row = []
        for x in range(32):
            border = x in (0, 31) or y in (0, 31)
            stripe = (x + y) // 4 % 2
            row.append(3 if border else (2 if stripe else 1))
        pixels += bytes((row[i] << 4) | row[i + 1] for i in range(0, 32, 2))
    mask = b"\0" * (4 * 32)
    image = bitmap_header(32, 32, 4, 16) + pal + pixels + mask
    head = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", 32, 32, 16, 0, 1, 4, len(image), 6 + 16)
    return head + entry + image


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write_if_changed(os.path.join(out, "readme.txt"), "\r\n\r\n".join(README_LINES).encode("ascii"))
    write_if_changed(os.path.join(out, "link.cur"), cursor_file())
    write_if_changed(os.path.join(out, "main.ico"), icon_file())


if __name__ == "__main__":
    main()
