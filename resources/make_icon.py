#!/usr/bin/env python3
"""Draws the Vandrel icon and writes resources/vandrel.ico.

The icon is a rounded square with a deep blue to teal gradient and a bold white
"V" chevron. Every image is drawn from the same vector shapes and anti-aliased by
supersampling, so the small sizes stay crisp instead of being scaled down copies.

The .ico holds four images: 16, 32 and 48 pixels as 32-bit BGRA DIBs (with AND
masks, for old readers) and 256 pixels as a PNG. Only the standard library is used.

Usage: make_icon.py [--output PATH] [--preview PNG]
  --output   where to write the .ico (default: vandrel.ico beside this script)
  --preview  also write the 256-pixel image as a PNG file, to look at it
"""

import argparse
import math
import os
import struct
import zlib

SIZES = (16, 32, 48, 256)

# Gradient end points (top-left to bottom-right), as RGB.
BLUE = (22, 52, 140)
TEAL = (16, 163, 160)
WHITE = (255, 255, 255)


def lerp(a, b, t):
    return a + (b - a) * t


def rounded_square_contains(x, y, inset, radius):
    """(x, y) in the unit square; a square inset by `inset` with corner `radius`."""
    lo, hi = inset, 1.0 - inset
    if x < lo or x > hi or y < lo or y > hi:
        return False
    cx = min(max(x, lo + radius), hi - radius)
    cy = min(max(y, lo + radius), hi - radius)
    dx, dy = x - cx, y - cy
    return dx * dx + dy * dy <= radius * radius


def segment_distance(px, py, ax, ay, bx, by):
    abx, aby = bx - ax, by - ay
    t = ((px - ax) * abx + (py - ay) * aby) / (abx * abx + aby * aby)
    t = min(max(t, 0.0), 1.0)
    dx, dy = px - (ax + abx * t), py - (ay + aby * t)
    return math.hypot(dx, dy)


class Shape:
    """The icon's geometry for one image size (small sizes get a bolder stroke)."""

    def __init__(self, size):
        small = size <= 16
        self.inset = 0.0 if small else 0.03
        self.radius = 0.22
        # The chevron: two strokes meeting at the bottom, cut flat at the top. At 16
        # pixels it is taller and wider so the notch between the arms stays open.
        self.top = 0.1875 if small else 0.26
        spread = 0.29 if small else 0.26
        self.left = (0.5 - spread, self.top - 0.1)
        self.right = (0.5 + spread, self.top - 0.1)
        self.bottom = (0.5, 0.76 if small else 0.73)
        self.half_width = 0.09 if size <= 32 else 0.085

    def in_square(self, x, y):
        return rounded_square_contains(x, y, self.inset, self.radius)

    def in_chevron(self, x, y):
        if y < self.top:
            return False
        bx, by = self.bottom
        w = self.half_width
        return (segment_distance(x, y, *self.left, bx, by) <= w
                or segment_distance(x, y, *self.right, bx, by) <= w)

    def fill(self, x, y):
        """Colour of the square at (x, y): a diagonal gradient with a soft top light."""
        t = min(max((x + y) / 2.0, 0.0), 1.0)
        r, g, b = (lerp(BLUE[i], TEAL[i], t) for i in range(3))
        light = max(0.0, 0.10 * (1.0 - y / 0.5))  # a faint sheen on the upper half
        return (lerp(r, 255, light), lerp(g, 255, light), lerp(b, 255, light))


def render(size):
    """Returns size*size RGBA tuples (rows top to bottom), straight alpha."""
    shape = Shape(size)
    samples = 4 if size >= 128 else 8
    step = 1.0 / (size * samples)
    pixels = []
    for py in range(size):
        for px in range(size):
            acc_r = acc_g = acc_b = 0.0
            covered = 0
            for sy in range(samples):
                y = (py * samples + sy + 0.5) * step
                for sx in range(samples):
                    x = (px * samples + sx + 0.5) * step
                    if not shape.in_square(x, y):
                        continue
                    covered += 1
                    r, g, b = WHITE if shape.in_chevron(x, y) else shape.fill(x, y)
                    acc_r += r
                    acc_g += g
                    acc_b += b
            if covered == 0:
                pixels.append((0, 0, 0, 0))
                continue
            alpha = covered / (samples * samples)
            pixels.append((round(acc_r / covered), round(acc_g / covered),
                           round(acc_b / covered), round(alpha * 255)))
    return pixels


def png_bytes(size, pixels):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = bytearray()
    for row in range(size):
        raw.append(0)  # filter: none
        for r, g, b, a in pixels[row * size:(row + 1) * size]:
            raw += bytes((r, g, b, a))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def dib_bytes(size, pixels):
    """A BITMAPINFOHEADER, bottom-up BGRA pixels, then the 1-bit AND mask."""
    mask_stride = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(range(size)):
        line = pixels[row * size:(row + 1) * size]
        for r, g, b, a in line:
            xor += bytes((b, g, r, a))
        bits = bytearray(mask_stride)
        for i, (_, _, _, a) in enumerate(line):
            if a == 0:
                bits[i // 8] |= 0x80 >> (i % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def ico_bytes(images):
    """images: list of (size, encoded bytes)."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    data = b""
    for size, blob in images:
        dim = 0 if size >= 256 else size
        entries += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(blob), offset + len(data))
        data += blob
    return directory + entries + data


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description="Draws the Vandrel icon.")
    parser.add_argument("--output", default=os.path.join(here, "vandrel.ico"))
    parser.add_argument("--preview", help="also write the 256-pixel image as a PNG")
    args = parser.parse_args()

    images = []
    for size in SIZES:
        pixels = render(size)
        if size >= 256:
            blob = png_bytes(size, pixels)
            if args.preview:
                with open(args.preview, "wb") as f:
                    f.write(blob)
        else:
            blob = dib_bytes(size, pixels)
        images.append((size, blob))

    with open(args.output, "wb") as f:
        f.write(ico_bytes(images))
    print("wrote %s (%s)" % (args.output, ", ".join(str(s) for s in SIZES)))


if __name__ == "__main__":
    main()
