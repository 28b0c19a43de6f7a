#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws every picture of Vorandi and writes it in the exact file format the window loads.

    python3 tools/genpics.py                  # rewrites the committed files in place
    python3 tools/genpics.py --out DIR        # writes the same tree under DIR instead
    python3 tools/genpics.py --sheet FILE.png # also writes an enlarged sheet of icons and cursor

Written under the output root:
    assets/pics/{window,smile,neutral,laugh,noentry,stopwatch}.ico   1078 bytes each:
        a 32x32 and a 16x16 image, 16 colours (4 bits per pixel) with an AND mask
    assets/pics/hand.cur          326 bytes: 32x32, 1 bit per pixel with mask, hotspot 5,0
    assets/pics/background.bmp    921,656 bytes: 640x480, 24 bits per pixel, bottom-up
    data/icons/hicolor/NxN/apps/vorandi.png   the window icon for the desktop (16 to 128)
                                              and the page (192, 512)
    data/windows/vorandi.ico      the program file's icon for Windows' shell (Start menu,
        "App installate"): 16, 24, 32, 48 and 256 pixels, 32 bits with alpha, the largest PNG

Icons and the cursor are pixel art drawn below, one character per pixel; the background is a
small vector scene rendered with anti-aliasing. Only the standard library is used, and the
output is the same byte for byte at every run (the scene's random stars and waves use fixed
seeds), so the committed files can be checked against this source.
"""

import argparse
import math
import os
import random
import struct
import sys
import zlib
from array import array

# --------------------------------------------------------------------------------------------
# File formats

def dib_rows(w, h, bpp, px):
    """Pixel rows bottom-up, each padded to 4 bytes; px(x, y) gives the value of one pixel."""
    stride, out = (w * bpp + 31) // 32 * 4, bytearray()
    for y in reversed(range(h)):
        bits = ''.join(format(px(x, y), f'0{bpp}b') for x in range(w))
        row = int(bits, 2).to_bytes(len(bits) // 8, 'big')
        out += row + bytes(stride - len(row))
    return bytes(out)


def dib(w, h, bpp, palette, colour, transparent):
    """An icon image: header (height doubled for the mask), palette, XOR colours, AND mask."""
    xor = dib_rows(w, h, bpp, colour)
    andmask = dib_rows(w, h, 1, transparent)
    header = struct.pack('<IiiHHIIiiII', 40, w, 2 * h, 1, bpp, 0, len(xor) + len(andmask),
                         0, 0, 0, 0)
    return header + b''.join(bytes((b, g, r, 0)) for r, g, b in palette) + xor + andmask


def icon_file(kind, images):
    """kind 1 = icon, 2 = cursor; each image is (w, h, colours, field1, field2, blob), where the
    two fields are planes and bits per pixel for an icon, the hotspot x and y for a cursor."""
    out, offset = struct.pack('<HHH', 0, kind, len(images)), 6 + 16 * len(images)
    for w, h, ncolours, f1, f2, blob in images:
        out += struct.pack('<BBBBHHII', w, h, ncolours, 0, f1, f2, len(blob), offset)
        offset += len(blob)
    return out + b''.join(image[5] for image in images)


def bmp24(w, h, pixels, pad=2):
    """A 24-bit bitmap, 40-byte header, bottom-up rows; pixels[y][x] = (r, g, b). Two bytes of
    padding after the pixels make the 921,656-byte file the window description expects."""
    stride, data = (w * 3 + 3) // 4 * 4, bytearray()
    for y in reversed(range(h)):
        row = bytearray()
        for r, g, b in pixels[y]:
            row += bytes((b, g, r))
        data += row + bytes(stride - len(row))
    data += bytes(pad)
    return (struct.pack('<2sIHHI', b'BM', 54 + len(data), 0, 0, 54)
            + struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(data), 3780, 3780, 0, 0)
            + bytes(data))


def png(w, h, rgba):
    """A plain RGBA PNG; rgba(x, y) gives (r, g, b, a)."""
    raw = bytearray()
    for y in range(h):
        raw.append(0)
        for x in range(w):
            raw += bytes(rgba(x, y))

    def chunk(tag, data):
        return (struct.pack('>I', len(data)) + tag + data
                + struct.pack('>I', zlib.crc32(tag + data) & 0xFFFFFFFF))
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 6, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b''))


# --------------------------------------------------------------------------------------------
# Icons: pixel art over the standard 16-colour VGA palette

VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
         (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
         (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]

# One character per pixel: '.' is transparent, every letter a palette colour: K black, r dark red,
# g dark green, o olive, n navy, p purple, t teal, s silver, d grey, R red, G green, Y yellow,
# B blue, M magenta, C cyan, W white.
LETTERS = {'K': 0, 'r': 1, 'g': 2, 'o': 3, 'n': 4, 'p': 5, 't': 6, 's': 7,
           'd': 8, 'R': 9, 'G': 10, 'Y': 11, 'B': 12, 'M': 13, 'C': 14, 'W': 15}

# Each icon: its 32-pixel image, then its 16-pixel one. The faces share one yellow disc shaded
# at the lower right; the window icon laughs with raised eyebrows, the laughing face squints.
ICONS = {
    "smile": (
        """
..............KKKK..............
..........KKKKYYYYKKKK..........
........KKYYYYYYYYYYYYKK........
.......KYYYYYYYYYYYYYYYYK.......
.....KKYYYYYYYYYYYYYYYYYYKK.....
....KYYYYYYYYYYYYYYYYYYYYYoK....
....KYYYYWWYYYYYYYYYYYYYYYoK....
...KYYYWWYYYYYYYYYYYYYYYYYYoK...
..KYYYWYYYYYYYYYYYYYYYYYYYYooK..
..KYYYYYYYYKKYYYYYYKKYYYYYYYoK..
.KYYYYYYYYKWKKYYYYKWKKYYYYYYooK.
.KYYYYYYYYKKKKYYYYKKKKYYYYYYooK.
.KYYYYYYYYKKKKYYYYKKKKYYYYYYooK.
.KYYYYYYYYKKKKYYYYKKKKYYYYYYooK.
KYYYYYYYYYYKKYYYYYYKKYYYYYYYoooK
KYYYYYYYYYYYYYYYYYYYYYYYYYYYoooK
KYYYYYYYYYYYYYYYYYYYYYYYYYYYoooK
KYYYYYYYYYYYYYYYYYYYYYYYYYYYoooK
.KYYYYKKYYYYYYYYYYYYYYYYKKYYooK.
.KYYYYKKKYYYYYYYYYYYYYYKKKYoooK.
.KYYYYYKKKKYYYYYYYYYYKKKKYYoooK.
.KYYYYYYYKKKKKYYYYKKKKKYYYooooK.
..KYYYYYYYYKKKKKKKKKKYYYYYoooK..
..KYYYYYYYYYYKKKKKKYYYYYYooooK..
...KYYYYYYYYYYYYYYYYYYYYooooK...
....KYYYYYYYYYYYYYYYYYYooooK....
....KooYYYYYYYYYYYYYYooooooK....
.....KKooYYYYYYYYYYooooooKK.....
.......KooooooooooooooooK.......
........KKooooooooooooKK........
..........KKKKooooKKKK..........
..............KKKK..............
""",
        """
......KKKK......
....KKYYYYKK....
..KKYYYYYYYYKK..
..KYWYYYYYYYYK..
.KYWYKKYYKKYYoK.
.KYYYKKYYKKYYoK.
KYYYYKKYYKKYYYoK
KYYYYYYYYYYYYYoK
KYYYYYYYYYYYYYoK
KYYKYYYYYYYYKooK
.KYYKYYYYYYKYoK.
.KYYYKKKKKKYooK.
..KoYYYYYYYooK..
..KKooYYYoooKK..
....KKooooKK....
......KKKK......
""",
    ),
    "neutral": (
        """
..............KKKK..............
..........KKKKYYYYKKKK..........
........KKYYYYYYYYYYYYKK........
.......KYYYYYYYYYYYYYYYYK.......
.....KKYYYYYYYYYYYYYYYYYYKK.....
....KYYYYYYYYYYYYYYYYYYYYYoK....
....KYYYYWWYYYYYYYYYYYYYYYoK....
...KYYYWWYYYYYYYYYYYYYYYYYYoK...
..KYYYWYYYYYYYYYYYYYYYYYYYYooK..
..KYYYYYYYYKKYYYYYYKKYYYYYYYoK..
.KYYYYYYYYKWKKYYYYKWKKYYYYYYooK.
.KYYYYYYYYKKKKYYYYKKKKYYYYYYooK.
.KYYYYYYYYKKKKYYYYKKKKYYYYYYooK.
.KYYYYYYYYKKKKYYYYKKKKYYYYYYooK.
KYYYYYYYYYYKKYYYYYYKKYYYYYYYoooK
KYYYYYYYYYYYYYYYYYYYYYYYYYYYoooK
KYYYYYYYYYYYYYYYYYYYYYYYYYYYoooK
KYYYYYYYYYYYYYYYYYYYYYYYYYYYoooK
.KYYYYYYYYYYYYYYYYYYYYYYYYYYooK.
.KYYYYYYYYYYYYYYYYYYYYYYYYYoooK.
.KYYYYYYYYKKKKKKKKKKKKYYYYYoooK.
.KYYYYYYYYKKKKKKKKKKKKYYYYooooK.
..KYYYYYYYYYYYYYYYYYYYYYYYoooK..
..KYYYYYYYYYYYYYYYYYYYYYYooooK..
...KYYYYYYYYYYYYYYYYYYYYooooK...
....KYYYYYYYYYYYYYYYYYYooooK....
....KooYYYYYYYYYYYYYYooooooK....
.....KKooYYYYYYYYYYooooooKK.....
.......KooooooooooooooooK.......
........KKooooooooooooKK........
..........KKKKooooKKKK..........
..............KKKK..............
""",
        """
......KKKK......
....KKYYYYKK....
..KKYYYYYYYYKK..
..KYWYYYYYYYYK..
.KYWYKKYYKKYYoK.
.KYYYKKYYKKYYoK.
KYYYYKKYYKKYYYoK
KYYYYYYYYYYYYYoK
KYYYYYYYYYYYYYoK
KYYYYYYYYYYYYooK
.KYYKKKKKKKKYoK.
.KYYYYYYYYYYooK.
..KoYYYYYYYooK..
..KKooYYYoooKK..
....KKooooKK....
......KKKK......
""",
    ),
    "laugh": (
        """
..............KKKK..............
..........KKKKYYYYKKKK..........
........KKYYYYYYYYYYYYKK........
.......KYYYYYYYYYYYYYYYYK.......
.....KKYYYYYYYYYYYYYYYYYYKK.....
....KYYYYYYYYYYYYYYYYYYYYYoK....
....KYYYYWWYYYYYYYYYYYYYYYoK....
...KYYYWWYYYYYYYYYYYYYYYYYYoK...
..KYYYWYYYYYYYYYYYYYYYYYYYYooK..
..KYYYYYYYKKKKYYYYKKKKYYYYYYoK..
.KYYYYYYYKKYYKKYYKKYYKKYYYYYooK.
.KYYYYYYYKYYYYKYYKYYYYKYYYYYooK.
.KYYYYYYYYYYYYYYYYYYYYYYYYYYooK.
.KYYYYYYYYYYYYYYYYYYYYYYYYYYooK.
KYYYYYYYYYYYYYYYYYYYYYYYYYYYoooK
KYYYYYYYYYYYYYYYYYYYYYYYYYYYoooK
KYYYYYYYYYYYYYYYYYYYYYYYYYYYoooK
KYYYYYYYKKKKKKKKKKKKKKKKYYYYoooK
.KYYYYYYKWWWWWWWWWWWWWWKYYYYooK.
.KYYYYYYYKWWWWWWWWWWWWKYYYYoooK.
.KYYYYYYYKRRRRRRRRRRRRKYYYYoooK.
.KYYYYYYYYKRRRRRRRRRRKYYYYooooK.
..KYYYYYYYKRRRrrrrRRRKYYYYoooK..
..KYYYYYYYYKRrrrrrrRKYYYYooooK..
...KYYYYYYYYKKrrrrKKYYYYooooK...
....KYYYYYYYYYKKKKYYYYYooooK....
....KooYYYYYYYYYYYYYYooooooK....
.....KKooYYYYYYYYYYooooooKK.....
.......KooooooooooooooooK.......
........KKooooooooooooKK........
..........KKKKooooKKKK..........
..............KKKK..............
""",
        """
......KKKK......
....KKYYYYKK....
..KKYYYYYYYYKK..
..KYWYYYYYYYYK..
.KYWKKYYYYKKYoK.
.KYKYYKYYKYYKoK.
KYYYYYYYYYYYYYoK
KYYYYYYYYYYYYYoK
KYYKKKKKKKKKKYoK
KYYKWWWWWWWWKooK
.KYYKRRRRRRKYoK.
.KYYYKRrrRKYooK.
..KoYYKKKKYooK..
..KKooYYYoooKK..
....KKooooKK....
......KKKK......
""",
    ),
    "window": (
        """
..............KKKK..............
..........KKKKYYYYKKKK..........
........KKYYYYYYYYYYYYKK........
.......KYYYYYYYYYYYYYYYYK.......
.....KKYYKKKKKYYYKKKKKYYYKK.....
....KYYYKKYYYKYYYKYYYKKYYYoK....
....KYYKKYYYYYYYYYYYYYKKYYoK....
...KYYYYYYYYYYYYYYYYYYYYYYYoK...
..KYYYYYYYYYYYYYYYYYYYYYYYYooK..
..KYYWYYYYYKKYYYYYYKKYYYYYYYoK..
.KYYWWYYYYKWKKYYYYKWKKYYYYYYooK.
.KYYWYYYYYKKKKYYYYKKKKYYYYYYooK.
.KYYYYYYYYKKKKYYYYKKKKYYYYYYooK.
.KYYYYYYYYKKKKYYYYKKKKYYYYYYooK.
KYYYYYYYYYYKKYYYYYYKKYYYYYYYoooK
KYYYYYYYYYYYYYYYYYYYYYYYYYYYoooK
KYYYYYYYYYYYYYYYYYYYYYYYYYYYoooK
KYYYYYYYKKKKKKKKKKKKKKKKYYYYoooK
.KYYYYYYKWWWWWWWWWWWWWWKYYYYooK.
.KYYYYYYYKWWWWWWWWWWWWKYYYYoooK.
.KYYYYYYYKRRRRRRRRRRRRKYYYYoooK.
.KYYYYYYYYKRRRRRRRRRRKYYYYooooK.
..KYYYYYYYKRRRrrrrRRRKYYYYoooK..
..KYYYYYYYYKRrrrrrrRKYYYYooooK..
...KYYYYYYYYKKrrrrKKYYYYooooK...
....KYYYYYYYYYKKKKYYYYYooooK....
....KooYYYYYYYYYYYYYYooooooK....
.....KKooYYYYYYYYYYooooooKK.....
.......KooooooooooooooooK.......
........KKooooooooooooKK........
..........KKKKooooKKKK..........
..............KKKK..............
""",
        """
......KKKK......
....KKYYYYKK....
..KKKKKYYKKKKK..
..KKYYYYYYYYKK..
.KYYYKKYYKKYYoK.
.KYYYKKYYKKYYoK.
KYYYYKKYYKKYYYoK
KYYYYYYYYYYYYYoK
KYYKKKKKKKKKKYoK
KYYKWWWWWWWWKooK
.KYYKRRRRRRKYoK.
.KYYYKRrrRKYooK.
..KoYYKKKKYooK..
..KKooYYYoooKK..
....KKooooKK....
......KKKK......
""",
    ),
    "noentry": (
        """
..............KKKK..............
..........KKKKRRRRKKKK..........
........KKRRRRRRRRRRRRKK........
.......KRRRRRRRRRRRRRRRRK.......
.....KKRRRRRRRRRRRRRRRRRRKK.....
....KRRRRRRRRRRRRRRRRRRRRRrK....
....KRRRRRRRRRRRRRRRRRRRRRrK....
...KRRRRRRRRRRRRRRRRRRRRRRRrK...
..KRRRRRRRRRRRRRRRRRRRRRRRRrrK..
..KRRRRRRRRRRRRRRRRRRRRRRRRRrK..
.KRRRRRRRRRRRRRRRRRRRRRRRRRRrrK.
.KRRRRRRRRRRRRRRRRRRRRRRRRRRrrK.
.KRRRRRRRRRRRRRRRRRRRRRRRRRRrrK.
.KRRRRWWWWWWWWWWWWWWWWWWWWRRrrK.
KRRRRRWWWWWWWWWWWWWWWWWWWWRRrrrK
KRRRRRWWWWWWWWWWWWWWWWWWWWRRrrrK
KRRRRRWWWWWWWWWWWWWWWWWWWWRRrrrK
KRRRRRWWWWWWWWWWWWWWWWWWWWRRrrrK
.KRRRRWWWWWWWWWWWWWWWWWWWWRRrrK.
.KRRRRRRRRRRRRRRRRRRRRRRRRRrrrK.
.KRRRRRRRRRRRRRRRRRRRRRRRRRrrrK.
.KRRRRRRRRRRRRRRRRRRRRRRRRrrrrK.
..KRRRRRRRRRRRRRRRRRRRRRRRrrrK..
..KRRRRRRRRRRRRRRRRRRRRRRrrrrK..
...KRRRRRRRRRRRRRRRRRRRRrrrrK...
....KRRRRRRRRRRRRRRRRRRrrrrK....
....KrrRRRRRRRRRRRRRRrrrrrrK....
.....KKrrRRRRRRRRRRrrrrrrKK.....
.......KrrrrrrrrrrrrrrrrK.......
........KKrrrrrrrrrrrrKK........
..........KKKKrrrrKKKK..........
..............KKKK..............
""",
        """
......KKKK......
....KKRRRRKK....
..KKRRRRRRRRKK..
..KRRRRRRRRRRK..
.KRRRRRRRRRRRrK.
.KRRRRRRRRRRRrK.
KRRRRRRRRRRRRRrK
KRWWWWWWWWWWWWrK
KRWWWWWWWWWWWWrK
KRRRRRRRRRRRRrrK
.KRRRRRRRRRRRrK.
.KRRRRRRRRRRrrK.
..KrRRRRRRRrrK..
..KKrrRRRrrrKK..
....KKrrrrKK....
......KKKK......
""",
    ),
    "stopwatch": (
        """
............KKKKKKKK............
............KssssssK............
............KKssssKK............
..............KssK..............
..............KssK..............
..............KssK..............
..............KssK..............
...........KKKssssKKK...........
.........KKssssssssssKK..KK.....
........KsssssKKKKsssssKKssK....
.......KsssKKKWWWWKKKsssssK.....
......KsssKWWWWRRWWWWKsssK......
.....KsssKWRWWWRRWWWRWKsssK.....
....KsssKWWWWWWWWWWWWWWKsssK....
....KssKWWWWWWWKKWWWWWWWKsdK....
....KssKRWWWWWWKKWWWWWWRKsdK....
...KssKWWWWWWWWKKWWWWWWWWKsdK...
...KssKWWWWWWWWKKWWWWWWWWKsdK...
...KssKRRRWWWWWKKWWWWWRRRKsdK...
...KssKRRRWWWWWKKKWWWWRRRKsdK...
...KssKWWWWWWWWWWKKWWWWWWKsdK...
...KssKWWWWWWWWWWWKKWWWWWKsdK...
...KssKWWWWWWWWWWWWKKWWWWKsdK...
....KssKRWWWWWWWWWWWKWWRKsdK....
....KssKWWWWWWWWWWWWWWWWKsdK....
....KsssKWWWWWWRRWWWWWWKsddK....
.....KsssKWRWWWRRWWWRWKsddK.....
......KsssKWWWWWWWWWWKssdK......
.......KsssKKKWWWWKKKsddK.......
........KsssssKKKKsssddK........
.........KKddddddddddKK.........
...........KKKKKKKKKK...........
""",
        """
.....KKKKKK.....
.....KssssK.....
......KKKK.KK...
.....KKssKKsdK..
....KsKKKKsdK...
...KsKWWWWKdK...
..KsKWWRWWWKdK..
..KsWWWKWWWWdK..
..KsRWWKWWWRdK..
..KsWWWKKWWWdK..
..KsKWWWWKWKdK..
...KsKWWRWWKK...
....KdKKKKKdK...
.....KKKKKKK....
................
................
""",
    ),
}

# The hand cursor: the index finger points up and its tip, at x 5 y 0, is the hotspot.
# 'K' black, 'W' white, '.' transparent.
HAND = """
....KKK.........................
...KWWWK........................
...KWWWK........................
...KWWWK........................
...KWWWK........................
...KWWWK........................
...KWWWKKKK.....................
...KWWWKWWWKKKK.................
...KWWWKWWWKWWWKKKK.............
...KWWWKWWWKWWWKWWWK............
...KWWWKWWWKWWWKWWWK............
KKKKWWWWWWWWWWWWWWWK............
KWWKWWWWWWWWWWWWWWWK............
KWWWKWWWWWWWWWWWWWWK............
.KWWWKWWWWWWWWWWWWWK............
.KWWWWWWWWWWWWWWWWWK............
..KWWWWWWWWWWWWWWWWK............
..KWWWWWWWWWWWWWWWWK............
...KWWWWWWWWWWWWWWK.............
...KWWWWWWWWWWWWWWK.............
....KWWWWWWWWWWWWK..............
....KWWWWWWWWWWWWK..............
....KKKKKKKKKKKKKK..............
....KWWWWWWWWWWWWK..............
....KWWWWWWWWWWWWK..............
....KKKKKKKKKKKKKK..............
................................
................................
................................
................................
................................
................................
"""
HAND_HOTSPOT = (5, 0)


def parse_art(text, size, letters=LETTERS):
    rows = text.strip('\n').split('\n')
    if len(rows) != size or any(len(r) != size for r in rows):
        raise ValueError(f'art must be {size}x{size} characters')
    unknown = set(''.join(rows)) - set(letters) - {'.'}
    if unknown:
        raise ValueError(f'unknown colour letters: {"".join(sorted(unknown))}')
    return rows


def icon_image(rows):
    n = len(rows)
    return dib(n, n, 4, VGA16, lambda x, y: LETTERS.get(rows[y][x], 0),  # '.' is black
               lambda x, y: 1 if rows[y][x] == '.' else 0)


def make_icon(name):
    big, small = parse_art(ICONS[name][0], 32), parse_art(ICONS[name][1], 16)
    return icon_file(1, [(32, 32, 16, 1, 4, icon_image(big)),
                         (16, 16, 16, 1, 4, icon_image(small))])


def make_cursor():
    rows = parse_art(HAND, 32, letters='KW')
    image = dib(32, 32, 1, [(0, 0, 0), (255, 255, 255)], lambda x, y: 1 if rows[y][x] == 'W' else 0,
                lambda x, y: 1 if rows[y][x] == '.' else 0)
    return icon_file(2, [(32, 32, 2, HAND_HOTSPOT[0], HAND_HOTSPOT[1], image)])


def art_rgba(rows, scale=1):
    """rgba(x, y) of pixel art enlarged by whole pixels, for PNGs."""
    def rgba(x, y):
        c = rows[y // scale][x // scale]
        if c == '.':
            return (0, 0, 0, 0)
        if c in LETTERS:
            return VGA16[LETTERS[c]] + (255,)
        return (255, 255, 255, 255)
    return rgba


# --------------------------------------------------------------------------------------------
# The background: a night scene in shades of blue, rendered with anti-aliased polygons

WIDTH, HEIGHT = 640, 480
HORIZON = 318


class Mask:
    """Coverage (0 to 1) of a shape over the pixels of its bounding box."""

    def __init__(self, x0, y0, w, h):
        self.x0, self.y0, self.w, self.h = x0, y0, w, h
        self.cov = array('d', bytes(8 * w * h))

    def at(self, x, y):
        x, y = x - self.x0, y - self.y0
        if 0 <= x < self.w and 0 <= y < self.h:
            return self.cov[y * self.w + x]
        return 0.0


def rasterize(polygons, sub=5):
    """Non-zero winding fill of closed polygons: exact coverage along each row, `sub` rows of
    samples per pixel."""
    xs = [p[0] for poly in polygons for p in poly]
    ys = [p[1] for poly in polygons for p in poly]
    x0, x1 = max(0, int(math.floor(min(xs)))), min(WIDTH, int(math.ceil(max(xs))) + 1)
    y0, y1 = max(0, int(math.floor(min(ys)))), min(HEIGHT, int(math.ceil(max(ys))) + 1)
    mask = Mask(x0, y0, max(0, x1 - x0), max(0, y1 - y0))
    if mask.w == 0 or mask.h == 0:
        return mask
    rows = [[] for _ in range(mask.h)]
    for poly in polygons:
        for i in range(len(poly)):
            (ax, ay), (bx, by) = poly[i], poly[(i + 1) % len(poly)]
            if ay == by:
                continue
            d = 1
            if ay > by:
                ax, ay, bx, by, d = bx, by, ax, ay, -1
            edge = (ay, by, ax, (bx - ax) / (by - ay), d)
            for r in range(max(0, int(ay) - y0), min(mask.h, int(by) - y0 + 1)):
                rows[r].append(edge)
    weight, w = 1.0 / sub, mask.w
    for r in range(mask.h):
        edges = rows[r]
        if not edges:
            continue
        acc = [0.0] * (w + 1)
        run = [0.0] * (w + 2)
        for k in range(sub):
            ys_ = y0 + r + (k + 0.5) / sub
            hits = sorted((ax + (ys_ - ay) * slope, d) for ay, by, ax, slope, d in edges
                          if ay <= ys_ < by)
            winding = 0
            for j in range(len(hits) - 1):
                winding += hits[j][1]
                if winding == 0:
                    continue
                a = min(max(hits[j][0] - x0, 0.0), float(w))
                b = min(max(hits[j + 1][0] - x0, 0.0), float(w))
                if b <= a:
                    continue
                ia, ib = int(a), int(b)
                if ia == ib:
                    acc[ia] += (b - a) * weight
                    continue
                acc[ia] += (ia + 1 - a) * weight
                run[ia + 1] += weight
                run[ib] -= weight
                if ib < w:
                    acc[ib] += (b - ib) * weight
        total, base = 0.0, r * w
        for x in range(w):
            total += run[x]
            c = acc[x] + total
            if c > 0.0:
                mask.cov[base + x] = min(c, 1.0)
    return mask


class Canvas:
    """RGB pixels as floating-point values, painted back to front."""

    def __init__(self, w, h):
        self.w, self.h = w, h
        self.rgb = [array('d', bytes(8 * w * h)) for _ in range(3)]

    def set_rows(self, y0, y1, colour_of_row):
        for y in range(max(0, y0), min(self.h, y1)):
            c = colour_of_row(y)
            for ch in range(3):
                self.rgb[ch][y * self.w:(y + 1) * self.w] = array('d', [c[ch]]) * self.w

    def paint(self, mask, colour, alpha=1.0, clip=None):
        """Blends a colour (a triple, or f(x, y) giving one) where the mask covers."""
        r, g, b = self.rgb
        call = callable(colour)
        for my in range(mask.h):
            y = mask.y0 + my
            base = my * mask.w
            for mx in range(mask.w):
                a = mask.cov[base + mx]
                if a <= 0.0:
                    continue
                x = mask.x0 + mx
                if clip is not None:
                    a *= clip.at(x, y)
                    if a <= 0.0:
                        continue
                a *= alpha
                c = colour(x, y) if call else colour
                i = y * self.w + x
                r[i] += (c[0] - r[i]) * a
                g[i] += (c[1] - g[i]) * a
                b[i] += (c[2] - b[i]) * a

    def fill(self, polygons, colour, alpha=1.0, clip=None):
        mask = rasterize(polygons)
        self.paint(mask, colour, alpha, clip)
        return mask

    def glow(self, cx, cy, radius, colour, strength, inner=0.0):
        """A soft light fading with distance: strength at `inner`, gone at `radius`."""
        r, g, b = self.rgb
        for y in range(max(0, int(cy - radius)), min(self.h, int(cy + radius) + 1)):
            for x in range(max(0, int(cx - radius)), min(self.w, int(cx + radius) + 1)):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                if d >= radius:
                    continue
                t = 1.0 if d <= inner else 1.0 - (d - inner) / (radius - inner)
                a = strength * t * t
                i = y * self.w + x
                r[i] += (colour[0] - r[i]) * a
                g[i] += (colour[1] - g[i]) * a
                b[i] += (colour[2] - b[i]) * a

    def pixels(self):
        r, g, b = self.rgb
        def byte(v):
            return 0 if v < 0 else 255 if v > 255 else int(v + 0.5)
        return [[(byte(r[i]), byte(g[i]), byte(b[i])) for i in range(y * self.w, (y + 1) * self.w)]
                for y in range(self.h)]


def clamp01(t):
    return 0.0 if t < 0.0 else 1.0 if t > 1.0 else t


def lerp(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def gradient(stops, t):
    """Colour at t along (position, colour) stops."""
    if t <= stops[0][0]:
        return stops[0][1]
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            return lerp(c0, c1, (t - p0) / (p1 - p0))
    return stops[-1][1]


def ellipse(cx, cy, rx, ry, angle=0.0, steps=None):
    steps = steps or max(12, int(math.pi * (rx + ry)))
    ca, sa = math.cos(angle), math.sin(angle)
    pts = []
    for i in range(steps):
        t = 2 * math.pi * i / steps
        x, y = rx * math.cos(t), ry * math.sin(t)
        pts.append((cx + x * ca - y * sa, cy + x * sa + y * ca))
    return pts


def spline(points, closed=False, steps=10):
    """Catmull-Rom curve through the points."""
    pts = list(points)
    n = len(pts)
    out = []
    segments = n if closed else n - 1
    for i in range(segments):
        p0 = pts[(i - 1) % n] if closed or i > 0 else pts[0]
        p1, p2 = pts[i], pts[(i + 1) % n]
        p3 = pts[(i + 2) % n] if closed or i + 2 < n else pts[-1]
        for s in range(steps):
            t = s / steps
            t2, t3 = t * t, t * t * t
            out.append(tuple(0.5 * (2 * p1[k] + (-p0[k] + p2[k]) * t
                                    + (2 * p0[k] - 5 * p1[k] + 4 * p2[k] - p3[k]) * t2
                                    + (-p0[k] + 3 * p1[k] - 3 * p2[k] + p3[k]) * t3)
                             for k in range(2)))
    if not closed:
        out.append(pts[-1])
    return out


def stroke(points, width, taper=(0.0, 0.0)):
    """Outline of a line through the points; width may be a number or f(t), t from 0 to 1.
    taper: fractions of the length over which the ends narrow to a point."""
    n = len(points)
    lengths = [0.0]
    for i in range(1, n):
        lengths.append(lengths[-1] + math.dist(points[i - 1], points[i]))
    total = lengths[-1] or 1.0
    left, right = [], []
    for i, (x, y) in enumerate(points):
        a, b = points[max(0, i - 1)], points[min(n - 1, i + 1)]
        dx, dy = b[0] - a[0], b[1] - a[1]
        norm = math.hypot(dx, dy) or 1.0
        nx, ny = -dy / norm, dx / norm
        t = lengths[i] / total
        w = width(t) if callable(width) else width
        if taper[0] and t < taper[0]:
            w *= t / taper[0]
        if taper[1] and t > 1 - taper[1]:
            w *= (1 - t) / taper[1]
        w = max(w, 0.05) / 2
        left.append((x + nx * w, y + ny * w))
        right.append((x - nx * w, y - ny * w))
    return left + right[::-1]


SKY = [(0.0, (4, 8, 34)), (0.45, (12, 28, 82)), (0.8, (30, 66, 140)), (1.0, (58, 102, 175))]
SEA = [(0.0, (32, 70, 140)), (0.25, (16, 42, 104)), (1.0, (4, 14, 52))]
MOON = (500.0, 98.0, 46.0)


def draw_sky(c):
    c.set_rows(0, HORIZON, lambda y: gradient(SKY, y / HORIZON))
    mx, my, mr = MOON
    c.glow(mx, my, mr * 5.5, (70, 110, 190), 0.35, inner=mr)
    c.glow(mx, my, mr * 2.2, (150, 185, 245), 0.45, inner=mr)


def draw_stars(c, rng):
    mx, my, mr = MOON
    for _ in range(260):
        x, y = rng.random() * WIDTH, rng.random() * (HORIZON - 12)
        if math.hypot(x - mx, y - my) < mr * 1.9:
            continue
        size = rng.random() ** 3
        bright = 0.45 + 0.55 * rng.random()
        colour = lerp((150, 180, 255), (250, 252, 255), rng.random())
        c.fill([ellipse(x, y, 0.55 + 1.1 * size, 0.55 + 1.1 * size, steps=12)], colour, bright)
        if size > 0.85:
            sparkle(c, x, y, 5 + 9 * size, 1.3)


def sparkle(c, x, y, arm, width):
    """A twinkle: a soft light crossed by two thin rays."""
    c.glow(x, y, arm * 1.1, (190, 215, 255), 0.4)
    c.fill([stroke([(x - arm, y), (x, y), (x + arm, y)], width, taper=(0.5, 0.5)),
            stroke([(x, y - arm), (x, y), (x, y + arm)], width, taper=(0.5, 0.5))],
           (238, 244, 255), 0.92)


def draw_moon(c):
    mx, my, mr = MOON
    disc = ellipse(mx, my, mr, mr, steps=160)
    moon = c.fill([disc], lambda x, y: lerp((238, 244, 255), (196, 214, 250),
                                            clamp01((x - mx + y - my) / (2.4 * mr) + 0.5)))
    # its seas, faint
    for dx, dy, rx, ry, a in ((-14, -10, 13, 10, 0.3), (10, 8, 16, 11, -0.2), (-8, 18, 8, 6, 0.0),
                              (18, -16, 7, 6, 0.5), (-22, 8, 6, 8, 0.0)):
        c.fill([ellipse(mx + dx, my + dy, rx, ry, a)], (176, 196, 236), 0.35, clip=moon)


def draw_sea(c, rng):
    c.set_rows(HORIZON, HEIGHT, lambda y: gradient(SEA, (y - HORIZON) / (HEIGHT - HORIZON)))
    mx = MOON[0]
    # waves: thin light streaks, longer and thicker towards the viewer, brightest where they
    # mirror the moon
    for _ in range(520):
        t = rng.random() ** 1.6
        y = HORIZON + 2 + t * (HEIGHT - HORIZON - 2)
        x = rng.random() * WIDTH
        length = 6 + 50 * t * (0.4 + rng.random())
        thick = 0.6 + 2.2 * t
        near_moon = math.exp(-((x - mx) / (22 + 90 * t)) ** 2)
        colour = lerp((60, 100, 180), (215, 230, 255), near_moon)
        alpha = 0.25 + 0.6 * near_moon * rng.random() + 0.1 * rng.random()
        c.fill([ellipse(x, y, length / 2, thick / 2, steps=24)], colour, alpha)
    c.fill([[(0, HORIZON - 0.6), (WIDTH, HORIZON - 0.6), (WIDTH, HORIZON + 0.8),
             (0, HORIZON + 0.8)]], (90, 130, 200), 0.8)


DOLPHIN_BACK = [(1.00, 0.000), (0.975, 0.012), (0.945, 0.018), (0.92, 0.035), (0.89, 0.058),
                (0.85, 0.075), (0.80, 0.088), (0.72, 0.098), (0.64, 0.100), (0.60, 0.13),
                (0.565, 0.175), (0.53, 0.215), (0.515, 0.225), (0.515, 0.19), (0.525, 0.14),
                (0.52, 0.10), (0.46, 0.085), (0.36, 0.065), (0.26, 0.046), (0.17, 0.031),
                (0.11, 0.022), (0.07, 0.038), (0.035, 0.07), (-0.005, 0.108), (0.008, 0.07),
                (0.025, 0.03), (0.035, 0.0), (0.025, -0.03), (0.008, -0.07), (-0.005, -0.108),
                (0.035, -0.07), (0.07, -0.038), (0.11, -0.022), (0.17, -0.027), (0.26, -0.040),
                (0.36, -0.058), (0.46, -0.078), (0.56, -0.092), (0.66, -0.094), (0.76, -0.082),
                (0.84, -0.060), (0.90, -0.038), (0.94, -0.022), (0.975, -0.012)]
DOLPHIN_FIN = [(0.77, -0.07), (0.73, -0.10), (0.68, -0.155), (0.665, -0.15), (0.685, -0.10),
               (0.70, -0.076)]
DOLPHIN_BELLY = [(0.16, -0.027), (0.26, -0.040), (0.36, -0.058), (0.46, -0.078), (0.56, -0.092),
                 (0.66, -0.094), (0.76, -0.082), (0.84, -0.060), (0.90, -0.038), (0.94, -0.022),
                 (0.975, -0.012), (1.0, 0.0), (0.95, -0.004), (0.88, -0.006), (0.78, -0.02),
                 (0.66, -0.035), (0.52, -0.035), (0.40, -0.028), (0.28, -0.018)]


class Leap:
    """Places a dolphin drawn along u (tail 0 to beak 1) and v (back up) on the sky: its spine
    bends over an arc of the given radius, then the whole turns by `angle` around the apex."""

    def __init__(self, x, y, length, radius, angle, facing=1):
        self.x, self.y, self.length, self.radius = x, y, length, radius
        self.ca, self.sa, self.facing = math.cos(angle), math.sin(angle), facing

    def __call__(self, u, v):
        s = (u - 0.5) * self.length
        th = s / self.radius
        px = self.radius * math.sin(th) + v * self.length * math.sin(th)
        py = self.radius * (1 - math.cos(th)) - v * self.length * math.cos(th)
        px *= self.facing
        return (self.x + px * self.ca - py * self.sa, self.y + px * self.sa + py * self.ca)

    def shape(self, points, steps=6):
        return [self(u, v) for u, v in spline(points, closed=True, steps=steps)]


def draw_dolphin(c, leap):
    body = leap.shape(DOLPHIN_BACK)
    mask = c.fill([body], (16, 32, 84))
    c.fill([leap.shape(DOLPHIN_BELLY)], (112, 148, 212), 0.9, clip=mask)
    # the moon lights the top of the back
    back = [leap(u, v) for u, v in spline([(0.95, 0.016), (0.89, 0.056), (0.80, 0.086),
                                           (0.70, 0.097), (0.60, 0.11)], steps=6)]
    c.fill([stroke(back, 2.2, taper=(0.3, 0.4))], (150, 185, 245), 0.55, clip=mask)
    c.fill([leap.shape(DOLPHIN_FIN)], (22, 40, 96))
    ex, ey = leap(0.885, 0.022)
    c.fill([ellipse(ex, ey, leap.length * 0.0075 + 0.6, leap.length * 0.0075 + 0.6)], (5, 10, 30))
    mouth = [leap(u, v) for u, v in ((0.995, -0.002), (0.96, -0.006), (0.925, -0.004))]
    c.fill([stroke(mouth, 0.9)], (10, 20, 50), 0.8)
    return mask


def draw_splash(c, rng, x, y, width, height):
    """Spray thrown up where a dolphin breaks the surface."""
    for _ in range(int(width * 1.2)):
        t = rng.random()
        dx = (t - 0.5) * width
        up = height * (1 - (2 * t - 1) ** 2) * (0.3 + 0.7 * rng.random())
        r = 0.6 + 1.6 * rng.random()
        c.fill([ellipse(x + dx, y - up, r, r * 1.3, steps=10)], (190, 215, 255),
               0.4 + 0.5 * rng.random())
    c.fill([ellipse(x, y + 1, width * 0.6, 3.2)], (150, 185, 240), 0.6)


def draw_dolphins(c, rng):
    draw_splash(c, rng, 604, HORIZON + 8, 30, 20)
    draw_dolphin(c, Leap(572, 250, 128, 100, 0.5))
    draw_dolphin(c, Leap(405, 206, 196, 150, -0.08))
    draw_splash(c, rng, 312, HORIZON + 10, 36, 18)


# Her face looks right, towards the moon; y grows downwards.
PROFILE = [(236, 126), (246, 150), (251, 172), (252, 184), (249, 194), (253, 208), (261, 226),
           (269, 240), (272, 247), (268, 252), (260, 254), (254, 257), (253, 266), (258, 274),
           (253, 280), (257, 288), (252, 295), (245, 301), (249, 313), (247, 326), (238, 337),
           (224, 343), (212, 348), (209, 370), (212, 400), (222, 440), (236, 480)]
SKIN_BACK = [(120, 480), (128, 420), (140, 360), (150, 300), (150, 220), (170, 150), (200, 118)]
HAIR = [(240, 124), (241, 106), (232, 86), (210, 70), (180, 62), (150, 62), (116, 76), (90, 100),
        (72, 132), (64, 170), (62, 215), (58, 265), (50, 318), (38, 370), (22, 420), (4, 470),
        (0, 480),
        (150, 480), (150, 450), (162, 410), (178, 372), (192, 340), (186, 300), (178, 262),
        (178, 222), (190, 186), (208, 158), (226, 136)]
SKIN = [(0.0, (150, 190, 245)), (1.0, (84, 122, 196))]


def skin_colour(x, y):
    # lit by the moon she faces: the profile is brightest
    return gradient(SKIN, clamp01((262 - x) / 110 + (y - 300) / 900))


def draw_woman(c, rng):
    skin = c.fill([spline(PROFILE) + SKIN_BACK], skin_colour)
    # shadow under the jaw and along the neck
    jaw = spline([(240, 336), (222, 342), (200, 336), (186, 316), (180, 292)], steps=8)
    c.fill([stroke(jaw, 9, taper=(0.2, 0.5))], (60, 90, 160), 0.35, clip=skin)
    neck = spline([(212, 350), (205, 380), (206, 420), (214, 470)], steps=8)
    c.fill([stroke(neck, 14, taper=(0.3, 0.3))], (60, 90, 160), 0.25, clip=skin)
    c.glow(224, 250, 22, (176, 204, 252), 0.18)  # cheek
    draw_face_features(c, skin)
    draw_hair(c, rng)
    draw_tiara(c)
    draw_earring(c)


def draw_face_features(c, skin):
    # eye, looking ahead: upper lid, iris and lashes
    lid = spline([(224, 202), (231, 198), (238, 199), (242, 202)], steps=8)
    c.fill([lid + [(238, 204), (230, 205)]], (230, 240, 255), 0.8)
    c.fill([ellipse(238, 202, 2.6, 3.0)], (14, 24, 66))
    c.fill([stroke(lid, 2.0, taper=(0.1, 0.4))], (10, 18, 50))
    for i, (x, y) in enumerate(lid[4::5]):
        c.fill([stroke(spline([(x, y), (x + 2 + i, y - 4), (x + 5 + i, y - 6)], steps=4), 1.1,
                       taper=(0.0, 0.9))], (10, 18, 50))
    c.fill([stroke(spline([(226, 206), (234, 207), (240, 205)], steps=6), 1.0,
                   taper=(0.3, 0.3))], (60, 90, 160), 0.7)
    brow = spline([(220, 188), (230, 183), (240, 182), (247, 185)], steps=8)
    c.fill([stroke(brow, 2.4, taper=(0.2, 0.6))], (20, 32, 80), 0.9)
    # nostril and lips
    nostril = spline([(255, 251), (259, 253), (263, 251)], steps=4)
    c.fill([stroke(nostril, 1.4)], (40, 64, 130), 0.8)
    upper = spline([(254, 266), (258, 274), (252, 279), (246, 278), (250, 273)], True, 5)
    lower = spline([(252, 281), (257, 288), (251, 294), (244, 289), (246, 283)], True, 5)
    c.fill([upper], (78, 90, 178), 0.7, clip=skin)
    c.fill([lower], (92, 108, 192), 0.7, clip=skin)
    c.fill([stroke(spline([(253, 280), (246, 280), (241, 278)], steps=4), 1.2, taper=(0, 0.6))],
           (30, 40, 100), 0.9)


def draw_hair(c, rng):
    hair = c.fill([spline(HAIR, closed=True, steps=8)],
                  lambda x, y: lerp((16, 26, 72), (36, 56, 120), clamp01((x - 60) / 190)))
    # strands flowing from the crown down her back
    for i in range(34):
        t = i / 33
        sx = 226 - 150 * t + 8 * rng.random()
        sy = 88 + 20 * math.sin(t * math.pi) + 12 * rng.random()
        pts = [(sx, sy)]
        for k in range(1, 7):
            f = k / 6
            pts.append((sx - 40 * f * (0.4 + t) - 35 * f * f + 6 * math.sin(f * 5 + i),
                        sy + (330 - 120 * t) * f + 40 * f * f * t))
        colour = lerp((50, 80, 160), (90, 130, 210), rng.random())
        c.fill([stroke(spline(pts, steps=6), 1.0 + 1.4 * rng.random(), taper=(0.2, 0.5))],
               colour, 0.35 + 0.3 * rng.random(), clip=hair)


TIARA_CENTRE, TIARA_RADIUS = (166.0, 176.0), 103.0
TIARA_PEAKS = ((37, 38), (25, 28), (13, 21), (1, 16), (-11, 12))


def on_head(angle, lift=0.0):
    a = math.radians(angle)
    r = TIARA_RADIUS + lift
    return (TIARA_CENTRE[0] + r * math.sin(a), TIARA_CENTRE[1] - r * math.cos(a))


def silver(x, y):
    return lerp((160, 188, 240), (236, 243, 255), clamp01((x - 140) / 100))


def band(inner, outer, first, last):
    """The strip between two lifts above the head, from one angle to another (degrees)."""
    angles = [first + (last - first) * i / 64 for i in range(65)]
    return [on_head(a, inner) for a in angles] + [on_head(a, outer) for a in reversed(angles)]


def draw_tiara(c):
    # a band on her hair, with leaf-shaped points standing out from the head, each holding a
    # jewel and carrying a pearl at its tip
    leaves = []
    for angle, height in TIARA_PEAKS:
        w = 3 + height * 0.16
        leaves.append(spline([on_head(angle - w, 5), on_head(angle - w * 0.9, height * 0.45),
                              on_head(angle - w * 0.35, height * 0.85), on_head(angle, height),
                              on_head(angle + w * 0.35, height * 0.85),
                              on_head(angle + w * 0.9, height * 0.45), on_head(angle + w, 5)],
                             steps=5))
    c.fill([band(0, 8, -24, 41.5)] + leaves, (50, 70, 140))
    c.fill([band(1.6, 6.4, -23, 40.5)], silver)
    for leaf in leaves:
        cx = sum(p[0] for p in leaf) / len(leaf)
        cy = sum(p[1] for p in leaf) / len(leaf)
        c.fill([[(cx + (x - cx) * 0.78, cy + (y - cy) * 0.78) for x, y in leaf]], silver)
    for angle, height in TIARA_PEAKS:
        x, y = on_head(angle, 5 + height * 0.42)
        r = 1.6 + height * 0.08
        c.fill([ellipse(x, y, r, r * 1.25, math.radians(angle))], (40, 70, 170))
        c.fill([ellipse(x - r * 0.3, y - r * 0.3, r * 0.45, r * 0.45)], (230, 240, 255), 0.9)
        px, py = on_head(angle, height + 2.2)
        c.fill([ellipse(px, py, 2.2, 2.2)], (245, 248, 255))
    for a in range(-22, 41, 5):
        x, y = on_head(a, 4)
        c.fill([ellipse(x, y, 1.2, 1.2)], (90, 120, 210))
    sparkle(c, *on_head(37, 40), 11, 1.5)


def draw_earring(c):
    chain = spline([(181, 276), (182, 284), (182, 292)], steps=6)
    c.fill([stroke(chain, 1.2)], (200, 220, 255), 0.9)
    drop = spline([(182, 292), (186, 298), (185, 304), (182, 306), (179, 304), (178, 298)],
                  closed=True, steps=5)
    c.fill([drop], (150, 180, 250))
    c.fill([ellipse(181, 300, 1.2, 1.5)], (245, 250, 255))


def draw_scene():
    c = Canvas(WIDTH, HEIGHT)
    rng = random.Random(20240607)  # fixed: the same stars and waves at every run
    draw_sky(c)
    draw_stars(c, rng)
    draw_moon(c)
    draw_sea(c, rng)
    draw_dolphins(c, rng)
    draw_woman(c, rng)
    return c


# --------------------------------------------------------------------------------------------
# Output

ICON_NAMES = ('window', 'smile', 'neutral', 'laugh', 'noentry', 'stopwatch')
DESKTOP_SIZES = (16, 32, 48, 64, 128)
# The browser page's install icons: a browser installs a page only with one of at least 144 px.
WEB_SIZES = (192, 512)
# Windows' shell picks these for 100 % to 300 % and its large views; 24 is 16 at 150 %.
SHELL_SIZES = (16, 24, 32, 48, 256)


def window_icon_rgba(size):
    """The window icon at size for a desktop or shell: the 16-pixel art at 16, 24 and 48, the
    32-pixel art otherwise, enlarged pixel by pixel (never blended) so the pixel art stays
    sharp; at 24 a pixel in two is doubled."""
    art = 16 if size in (16, 24, 48) else 32
    pixel = art_rgba(parse_art(ICONS['window'][0 if art == 32 else 1], art))
    return lambda x, y: pixel(x * art // size, y * art // size)


def desktop_icon(size):
    return png(size, size, window_icon_rgba(size))


def rgba_icon_image(size, rgba):
    """A 32-bit icon image: header (height doubled for the mask), BGRA rows bottom-up, and the
    AND mask that older readers use."""
    rows = [[rgba(x, y) for x in range(size)] for y in reversed(range(size))]
    colours = b''.join(bytes((b, g, r, a)) for row in rows for r, g, b, a in row)
    andmask = dib_rows(size, size, 1, lambda x, y: 1 if rgba(x, y)[3] == 0 else 0)
    header = struct.pack('<IiiHHIIiiII', 40, size, 2 * size, 1, 32, 0,
                         len(colours) + len(andmask), 0, 0, 0, 0)
    return header + colours + andmask


def shell_icon():
    """The program file's icon: every shell size in 32 bits, the largest as a PNG."""
    images = []
    for size in SHELL_SIZES:
        rgba = window_icon_rgba(size)
        blob = png(size, size, rgba) if size == 256 else rgba_icon_image(size, rgba)
        images.append((size % 256, size % 256, 0, 1, 32, blob))
    return icon_file(1, images)


def outputs():
    """Every generated file: (path under the output root, bytes)."""
    for name in ICON_NAMES:
        yield f'assets/pics/{name}.ico', make_icon(name)
    yield 'assets/pics/hand.cur', make_cursor()
    yield 'assets/pics/background.bmp', bmp24(WIDTH, HEIGHT, draw_scene().pixels())
    for size in DESKTOP_SIZES + WEB_SIZES:
        yield f'data/icons/hicolor/{size}x{size}/apps/vorandi.png', desktop_icon(size)
    yield 'data/windows/vorandi.ico', shell_icon()


def sheet(scale=8, gap=16):
    """Every icon image and the cursor enlarged, on a checkerboard that shows transparency; a
    red square marks the cursor's hotspot."""
    arts = [parse_art(ICONS[n][0], 32) for n in ICON_NAMES] + [parse_art(HAND, 32, 'KW')]
    arts += [parse_art(ICONS[n][1], 16) for n in ICON_NAMES]
    cells = []
    x = gap
    for i, rows in enumerate(arts):
        if i == len(ICON_NAMES) + 1:
            x = gap
        y = gap if i <= len(ICON_NAMES) else gap * 2 + 32 * scale
        cells.append((x, y, rows))
        x += len(rows) * scale + gap
    width = max(cx + len(r) * scale for cx, cy, r in cells) + gap
    height = gap * 3 + 48 * scale
    hx, hy = cells[len(ICON_NAMES)][0] + HAND_HOTSPOT[0] * scale, gap + HAND_HOTSPOT[1] * scale

    def rgba(px, py):
        for cx, cy, rows in cells:
            n = len(rows) * scale
            if cx <= px < cx + n and cy <= py < cy + n:
                if (hx <= px < hx + scale and hy <= py < hy + scale
                        and (px - hx in (0, scale - 1) or py - hy in (0, scale - 1))):
                    return (255, 0, 0, 255)
                colour = art_rgba(rows, scale)(px - cx, py - cy)
                if colour[3]:
                    return colour
                light = ((px - cx) // 8 + (py - cy) // 8) % 2
                return (214, 214, 214, 255) if light else (240, 240, 240, 255)
        return (44, 52, 92, 255)
    return png(width, height, rgba)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--out', default=root, help='output root (default: the repository)')
    parser.add_argument('--sheet', help='also write an enlarged sheet of the icons (PNG)')
    args = parser.parse_args()
    for path, data in outputs():
        target = os.path.join(args.out, path)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, 'wb') as f:
            f.write(data)
    if args.sheet:
        with open(args.sheet, 'wb') as f:
            f.write(sheet())
    return 0


if __name__ == '__main__':
    sys.exit(main())
