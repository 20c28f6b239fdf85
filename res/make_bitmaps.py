#!/usr/bin/env python3
"""Draws the library's bitmaps as 24-bit .bmp files into res/bitmaps.

Run it after changing a picture and commit the .bmp files it writes; the build
embeds the files, not this script. Magenta (255, 0, 255) is the transparent
colour of every image.
"""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "bitmaps")

M = (255, 0, 255)  # transparent
K = (0, 0, 0)
W = (255, 255, 255)
Y = (255, 236, 160)  # envelope paper
D = (128, 96, 32)  # envelope edges
G = (128, 128, 128)
B = (40, 80, 200)
R = (220, 30, 30)
O = (250, 190, 40)
L = (200, 200, 200)

PALETTE = {".": M, "k": K, "w": W, "y": Y, "d": D, "g": G, "b": B, "r": R, "o": O, "l": L}


def write_bmp(path, rows):
    """rows: list of rows from the top, each a list of (r, g, b)."""
    height = len(rows)
    width = len(rows[0])
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b"\0" * (stride - len(line))
        pixels += line
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def parse(picture):
    rows = [line.strip() for line in picture.strip().splitlines()]
    assert all(len(r) == len(rows[0]) for r in rows), picture
    return [[PALETTE[c] for c in r] for r in rows]


# Seven 16 x 15 images side by side. Index 0 is the strip's first image; the
# windows use 1 (unread article), 2 (read article) and 3 (label).
STRIP = [
    # 0: a sheet of paper
    """
    ................
    ..kkkkkkkkk.....
    ..kwwwwwwwkk....
    ..kwwwwwwwkwk...
    ..kwgggggwkkkk..
    ..kwwwwwwwwwwk..
    ..kwgggggggwwk..
    ..kwwwwwwwwwwk..
    ..kwgggggggwwk..
    ..kwwwwwwwwwwk..
    ..kwgggggggwwk..
    ..kwwwwwwwwwwk..
    ..kwwwwwwwwwwk..
    ..kkkkkkkkkkkk..
    ................
    """,
    # 1: a closed envelope
    """
    ................
    ................
    ................
    dddddddddddddddd
    ddyyyyyyyyyyyydd
    dydyyyyyyyyyydyd
    dyydyyyyyyyydyyd
    dyyydyyyyyydyyyd
    dyyyyddyyddyyyyd
    dyyyyyyddyyyyyyd
    dyyyyyyyyyyyyyyd
    dyyyyyyyyyyyyyyd
    dddddddddddddddd
    ................
    ................
    """,
    # 2: an open envelope, its flap folded back
    """
    ................
    .......dd.......
    .....ddyydd.....
    ...ddyyyyyydd...
    .ddyyyyyyyyyydd.
    dyyyyyyyyyyyyyyd
    ddyyyyyyyyyyyydd
    dydyyyyyyyyyydyd
    dyydyyyyyyyydyyd
    dyyyddyyyyddyyyd
    dyyyyyddddyyyyyd
    dyyyyyyyyyyyyyyd
    dyyyyyyyyyyyyyyd
    dddddddddddddddd
    ................
    """,
    # 3: a document sheet over an envelope
    """
    ....kkkkkkkk....
    ....kwwwwwwk....
    ....kwggggwk....
    ....kwwwwwwk....
    ....kwggggwk....
    ....kwwwwwwk....
    dddddwggggwddddd
    ddyykwwwwwwkyydd
    dydykkkkkkkkydyd
    dyydyyyyyyyydyyd
    dyyyddyyyyddyyyd
    dyyyyyddddyyyyyd
    dyyyyyyyyyyyyyyd
    dddddddddddddddd
    ................
    """,
    # 4: a red flag (important)
    """
    ................
    ..kk............
    ..krrrrrrrr.....
    ..krrrrrrrrrr...
    ..krrrrrrrrrrr..
    ..krrrrrrrrrr...
    ..krrrrrrrr.....
    ..kk............
    ..kk............
    ..kk............
    ..kk............
    ..kk............
    ..kk............
    .kkkk...........
    ................
    """,
    # 5: a feed badge
    """
    ................
    .oooooooooooooo.
    .oowwwwooooooo..
    .ooooowwwooooo..
    .oooooooowwooo..
    .owwwwooooowoo..
    .oooowwooooowo..
    .ooooooowooowo..
    .owwoooooowooo..
    .owwwooooowooo..
    .oowwooooooooo..
    .ooooooooooooo..
    .oooooooooooooo.
    ................
    ................
    """,
    # 6: a magnifying glass (search results)
    """
    ................
    ....kkkkk.......
    ...kbbbbbk......
    ..kbwwwbbbk.....
    ..kbwbbbbbk.....
    ..kbbbbbbbk.....
    ..kbbbbbbbk.....
    ...kbbbbbk......
    ....kkkkkkk.....
    ..........kkk...
    ...........kkk..
    ............kkk.
    .............kk.
    ................
    ................
    """,
]

UP = """
....k....
...kkk...
..kkkkk..
.kkkkkkk.
kkkkkkkkk
"""


def main():
    os.makedirs(OUT, exist_ok=True)
    images = [parse(p) for p in STRIP]
    assert all(len(img) == 15 and len(img[0]) == 16 for img in images)
    strip = [sum((img[y] for img in images), []) for y in range(15)]
    write_bmp(os.path.join(OUT, "articles.bmp"), strip)
    up = parse(UP)
    write_bmp(os.path.join(OUT, "sortup.bmp"), up)
    write_bmp(os.path.join(OUT, "sortdown.bmp"), list(reversed(up)))


if __name__ == "__main__":
    main()
