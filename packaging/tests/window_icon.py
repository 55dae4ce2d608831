#!/usr/bin/env python3
"""Exits 0 when the icon a window shows on an X display (its _NET_WM_ICON,
as `xprop -f _NET_WM_ICON 32c _NET_WM_ICON` prints it) holds the 32 x 32
image of an .ico file pixel for pixel, else 1. Wine gives a Windows
program's window the icon the program set on it, or its own logo.

Usage: window_icon.py XPROP_OUTPUT FILE.ico
"""

import re
import struct
import sys


def window_images(text):
    """{(width, height): [ARGB, ...]} of the property's images."""
    if "=" not in text:
        return {}
    numbers = [int(n) for n in re.findall(r"\d+", text.split("=", 1)[1])]
    images, at = {}, 0
    while at + 2 <= len(numbers):
        width, height = numbers[at], numbers[at + 1]
        images[(width, height)] = numbers[at + 2 : at + 2 + width * height]
        at += 2 + width * height
    return images


def ico_image(data, size):
    """The ARGB pixels, top row first, of the 32-bit bitmap image of one size."""
    for i in range(struct.unpack_from("<H", data, 4)[0]):
        width, _, _, _, _, bits, _, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        if width == size and bits == 32:
            header = struct.unpack_from("<I", data, offset)[0]
            pixels = data[offset + header : offset + header + size * size * 4]
            rows = [pixels[r * size * 4 : (r + 1) * size * 4] for r in reversed(range(size))]
            return [b | g << 8 | r << 16 | a << 24 for row in rows for b, g, r, a in struct.iter_unpack("<4B", row)]
    raise ValueError(f"no 32-bit {size} x {size} image")


def main():
    shown = window_images(open(sys.argv[1]).read()).get((32, 32))
    expected = ico_image(open(sys.argv[2], "rb").read(), 32)
    sys.exit(0 if shown == expected else 1)


if __name__ == "__main__":
    main()
