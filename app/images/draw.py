#!/usr/bin/env python3
"""Draws the dialog's bitmaps as 24-bit uncompressed .bmp files, and the
application icon.

The bitmaps are pixel art below, one character per pixel. Both desktop
programs load these files (windres puts them into dbfclean.exe; Qt reads BMP
itself) and draw them with the colour of the bottom-left pixel transparent, so
every picture keeps that pixel in the key colour '.' and uses it nowhere else.

The icon is a handful of shapes on a 256-unit square (see ICON): a stack of
three blue table discs with a yellow badge holding a green tick. The same
shapes give the SVG, the PNGs of every size (rendered with 4 x 4 samples per
pixel) and the Windows .ico (16, 32 and 48 pixels as 32-bit bitmaps, 256 as
PNG).

Run it after changing a picture: python3 app/images/draw.py [OUTPUT_DIR]
"""

import math
import struct
import sys
import zlib
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


# ---- the application icon

NAVY = (0, 0, 128)
DISC = (46, 104, 200)
DISC_TOP = (156, 196, 244)
BADGE = (255, 255, 0)
TICK = (0, 128, 0)


def icon_shapes():
    """The icon, back to front: (kind, geometry, colour) on a 256-unit square."""
    shapes = []
    cx, rx, ry, outline = 108, 84, 26, 9
    # Three discs, the lowest first, so that each upper disc's dark rim draws
    # the curved line between it and the one below.
    for top in (160, 104, 48):
        bottom = top + 50
        shapes += [
            ("ellipse", (cx, bottom, rx + outline, ry + outline), NAVY),
            ("rect", (cx - rx - outline, top, 2 * (rx + outline), bottom - top), NAVY),
            ("ellipse", (cx, top, rx + outline, ry + outline), NAVY),
            ("ellipse", (cx, bottom, rx, ry), DISC),
            ("rect", (cx - rx, top, 2 * rx, bottom - top), DISC),
        ]
    shapes.append(("ellipse", (cx, 48, rx, ry), DISC_TOP))
    # The badge: a repaired table.
    shapes += [
        ("ellipse", (188, 188, 64, 64), NAVY),
        ("ellipse", (188, 188, 54, 54), BADGE),
        ("stroke", ((156, 190), (180, 214), (222, 164), 22), TICK),
    ]
    return shapes


def _segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def _inside(kind, geometry, x, y):
    if kind == "ellipse":
        cx, cy, rx, ry = geometry
        return ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0
    if kind == "rect":
        left, top, width, height = geometry
        return left <= x <= left + width and top <= y <= top + height
    *points, width = geometry
    return any(_segment_distance(x, y, *a, *b) <= width / 2 for a, b in zip(points, points[1:]))


def icon_pixels(size, samples=4):
    """RGBA rows of the icon at size x size pixels, anti-aliased."""
    shapes = icon_shapes()
    scale = 256 / size
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) * scale
                    y = (py + (sy + 0.5) / samples) * scale
                    colour = None
                    for kind, geometry, fill in reversed(shapes):
                        if _inside(kind, geometry, x, y):
                            colour = fill
                            break
                    if colour:
                        r, g, b, a = r + colour[0], g + colour[1], b + colour[2], a + 1
            n = samples * samples
            row.append((r // a, g // a, b // a, a * 255 // n) if a else (0, 0, 0, 0))
        rows.append(row)
    return rows


def icon_svg():
    def hexcolour(c):
        return "#%02x%02x%02x" % c

    lines = ['<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">']
    for kind, geometry, fill in icon_shapes():
        if kind == "ellipse":
            lines.append('  <ellipse cx="%d" cy="%d" rx="%d" ry="%d" fill="%s"/>' % (*geometry, hexcolour(fill)))
        elif kind == "rect":
            lines.append('  <rect x="%d" y="%d" width="%d" height="%d" fill="%s"/>' % (*geometry, hexcolour(fill)))
        else:
            *points, width = geometry
            lines.append(
                '  <polyline points="%s" fill="none" stroke="%s" stroke-width="%d" '
                'stroke-linecap="round" stroke-linejoin="round"/>'
                % (" ".join("%d,%d" % p for p in points), hexcolour(fill), width)
            )
    lines.append("</svg>")
    return "\n".join(lines) + "\n"


def png(rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    size = len(rows)
    raw = b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in rows)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def ico_bitmap(rows):
    """An icon image as Windows reads it everywhere: a 32-bit bottom-up DIB of
    twice the height (colour, then the 1-bit AND mask)."""
    size = len(rows)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, pixel in enumerate(row):
            if pixel[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    return info + colour + bytes(mask)


ICO_SIZES = (16, 32, 48, 256)
PNG_SIZES = (16, 24, 32, 48, 64, 128, 256)


def ico(images):
    """images: {size: rows}. The largest goes in as PNG, as Windows Vista and
    later read it; the small ones as bitmaps, which every Windows reads."""
    entries = [(size, png(rows) if size >= 256 else ico_bitmap(rows)) for size, rows in sorted(images.items())]
    head = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    directory = b""
    for size, data in entries:
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return head + directory + b"".join(data for _, data in entries)


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent
    out.mkdir(parents=True, exist_ok=True)
    for name, (picture, width, height) in BITMAPS.items():
        (out / f"{name}.bmp").write_bytes(bmp(picture, width, height))
    images = {size: icon_pixels(size) for size in PNG_SIZES}
    for size in PNG_SIZES:
        (out / f"dbfclean-{size}.png").write_bytes(png(images[size]))
    (out / "dbfclean.ico").write_bytes(ico({size: images[size] for size in ICO_SIZES}))
    (out / "dbfclean.svg").write_text(icon_svg())


if __name__ == "__main__":
    main()
