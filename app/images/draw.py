#!/usr/bin/env python3
"""Draws the dialog's bitmaps as 24-bit uncompressed .bmp files.

The pictures are pixel art below, one character per pixel. Both desktop
programs load these files (windres puts them into dbfclean.exe; Qt reads BMP
itself) and draw them with the colour of the bottom-left pixel transparent, so
every picture keeps that pixel in the key colour '.' and uses it nowhere else.

Run it after changing a picture: python3 app/images/draw.py [OUTPUT_DIR]
"""

import struct
import sys
from pathlib import Path

PALETTE = {
    ".": (128, 128, 0),  # transparent key: olive, used for nothing else
    "k": (0, 0, 0),
    "w": (255, 255, 255),
    "l": (192, 192, 192),
    "g": (128, 128, 128),
    "b": (0, 0, 128),
    "y": (255, 255, 0),
    "d": (192, 160, 0),
    "G": (0, 128, 0),
    "L": (0, 255, 0),
    "C": (0, 128, 128),
    "c": (0, 255, 255),
    "r": (192, 0, 0),
}

FLOPPY = [
    "..kkkkkkkkkkkk..",
    "..kbbllllklbbk..",
    "..kbbllllklbbk..",
    "..kbbllllllbbk..",
    "..kbbbbbbbbbbk..",
    "..kbwwwwwwwwbk..",
    "..kbwkkkkkkwbk..",
    "..kbwwwwwwwwbk..",
    "..kbwkkkkkkwbk..",
    "..kbwwwwwwwwbk..",
    "..kkkkkkkkkkkk..",
]

HARD = [
    "................",
    "................",
    "...kkkkkkkkkkkk.",
    "..kwwwwwwwwwwkk.",
    ".kwwwwwwwwwwkgk.",
    "kkkkkkkkkkkkggk.",
    "kllllllllllkggk.",
    "klllllllLLlkgk..",
    "kllllllllllkk...",
    "kkkkkkkkkkkk....",
    "................",
]

NETWORK = [
    "...kkkkkkkkkkkk.",
    "..kwwwwwwwwwwkk.",
    ".kwwwwwwwwwwkgk.",
    "kkkkkkkkkkkkggk.",
    "klllllllLLlkgk..",
    "kkkkkkkkkkkkk...",
    ".....kk.........",
    ".kkkkkkkkkkkkkk.",
    ".kCCCCCCCCCCCCk.",
    ".kkkkkkkkkkkkkk.",
    "................",
]

CDROM = [
    ".....kkkkk......",
    "...kkwwcccckk...",
    "..kwwwwcccccck..",
    ".kwwwwwcccccyyk.",
    ".kwwwwkkkcccyyk.",
    ".kcccckwkccyyyk.",
    ".kcccckkkyyyyyk.",
    ".kccccccyyyyyyk.",
    "..kcccccyyyyyk..",
    "...kkccyyyykk...",
    ".....kkkkk......",
]

RAM = [
    "................",
    "................",
    ".GGGGGGGGGGGGGG.",
    ".GkkkGkkkGkkkGG.",
    ".GkkkGkkkGkkkGG.",
    ".GkkkGkkkGkkkGG.",
    ".GGGGGGGGGGGGGG.",
    ".GdGdGdGdGdGdGG.",
    ".GdGdGdGdGdGdGG.",
    "................",
    "................",
]

CLOSEDFOLDER = [
    "................",
    "................",
    "..kkkkk.........",
    ".kwyyyyk........",
    "kkkkkkkkkkkkkkk.",
    "kwyyyyyyyyyyydk.",
    "kwyyyyyyyyyyydk.",
    "kwyyyyyyyyyyydk.",
    "kwyyyyyyyyyyydk.",
    "kwyyyyyyyyyyydk.",
    "kwyyyyyyyyyyydk.",
    "kwyyyyyyyyyyydk.",
    "kdddddddddddddk.",
    "kkkkkkkkkkkkkkk.",
    "................",
]

OPENFOLDER = [
    "................",
    "................",
    "..kkkkk.........",
    ".kwyyyyk........",
    "kwyyyyykkkkkk...",
    "kwyyyyyyyyyyyk..",
    "kwyyyyyyyyyyyk..",
    "kwyyyyyyyyyyyk..",
    "kwyykkkkkkkkkkkk",
    "kwykyyyyyyyyyyk.",
    "kwkyyyyyyyyyyk..",
    "kkyyyyyyyyyyk...",
    "kkkkkkkkkkkk....",
    "................",
    "................",
]

# The open folder with a sheet in it: where the user is.
CURRENTFOLDER = [
    "................",
    "................",
    "..kkkkk.........",
    ".kwyykkkkkkkkk..",
    "kwyyykwwwwwwwk..",
    "kwyyykwkkkkkwk..",
    "kwyyykwwwwwwwk..",
    "kwyyykwkkkkwwk..",
    "kwyykkkkkkkkkkkk",
    "kwykyyyyyyyyyyk.",
    "kwkyyyyyyyyyyk..",
    "kkyyyyyyyyyyk...",
    "kkkkkkkkkkkk....",
    "................",
    "................",
]

CHECK = [
    "..................",
    "..................",
    "..................",
    "..............G...",
    ".............GG...",
    "............GGG...",
    "...........GGG....",
    "..G.......GGG.....",
    "..GG.....GGG......",
    "..GGG...GGG.......",
    "...GGG.GGG........",
    "....GGGGG.........",
    ".....GGG..........",
    "......G...........",
    "..................",
    "..................",
    "..................",
    "..................",
]

CROSS = [
    "..................",
    "..................",
    "..................",
    "...rr........rr...",
    "....rr......rr....",
    ".....rr....rr.....",
    "......rr..rr......",
    ".......rrrr.......",
    "........rr........",
    ".......rrrr.......",
    "......rr..rr......",
    ".....rr....rr.....",
    "....rr......rr....",
    "...rr........rr...",
    "..................",
    "..................",
    "..................",
    "..................",
]


def greyed(picture):
    """The disabled look: the shape in grey with a white shadow one pixel
    down and right."""
    rows = [list("." * len(picture[0])) for _ in picture]
    for y, row in enumerate(picture):
        for x, ch in enumerate(row):
            if ch != "." and y + 1 < len(picture) and x + 1 < len(row) and picture[y + 1][x + 1] == ".":
                rows[y + 1][x + 1] = "w"
    for y, row in enumerate(picture):
        for x, ch in enumerate(row):
            if ch != ".":
                rows[y][x] = "g"
    return ["".join(r) for r in rows]


def glyph(picture):
    """A button glyph: the normal and the greyed image side by side."""
    return [a + b for a, b in zip(picture, greyed(picture))]


BITMAPS = {
    "FLOPPY": (FLOPPY, 16, 11),
    "HARD": (HARD, 16, 11),
    "NETWORK": (NETWORK, 16, 11),
    "CDROM": (CDROM, 16, 11),
    "RAM": (RAM, 16, 11),
    "OPENFOLDER": (OPENFOLDER, 16, 15),
    "CLOSEDFOLDER": (CLOSEDFOLDER, 16, 15),
    "CURRENTFOLDER": (CURRENTFOLDER, 16, 15),
    "BBOK": (glyph(CHECK), 36, 18),
    "BBCANCEL": (glyph(CROSS), 36, 18),
}


def bmp(picture, width, height):
    assert len(picture) == height, f"{height} rows expected"
    for row in picture:
        assert len(row) == width, f"row {row!r} is not {width} wide"
    assert picture[-1][0] == ".", "the bottom-left pixel must be the key colour"
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(picture):  # BMP rows run bottom-up
        line = bytearray()
        for ch in row:
            r, g, b = PALETTE[ch]
            line += bytes((b, g, r))
        pixels += line + bytes(stride - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 3780, 3780, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + bytes(pixels)


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent
    out.mkdir(parents=True, exist_ok=True)
    for name, (picture, width, height) in BITMAPS.items():
        (out / f"{name}.bmp").write_bytes(bmp(picture, width, height))


if __name__ == "__main__":
    main()
