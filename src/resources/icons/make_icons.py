#!/usr/bin/env python3
"""Draws the program's icon and writes it as dunvelblenk.ico: 48, 32 and 16 pixels at 32 and 8 bits
per pixel, and 32 and 16 pixels at 4 bits per pixel. Standard library only; run it again after
changing the drawing and commit the .ico it writes."""

import struct
import sys
from pathlib import Path

TEAL = (0, 96, 127)
DEEP = (0, 52, 72)
SCREEN = (236, 244, 247)
COVER = (16, 24, 32)
AMBER = (255, 176, 32)


def inside_rounded(x, y, left, top, right, bottom, radius):
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def colour_at(u, v):
    """The drawing in unit coordinates (0..1 across and down); None is transparent."""
    if not inside_rounded(u, v, 0.03, 0.03, 0.97, 0.97, 0.18):
        return None
    # The film screen, its lower part hidden under a dark cover that slides in at a slant.
    if inside_rounded(u, v, 0.15, 0.2, 0.85, 0.68, 0.05):
        if v > 0.62 - 0.3 * (u - 0.15):
            return COVER
        return SCREEN
    # A muted speaker's sound bar under the screen.
    if 0.3 <= u <= 0.7 and 0.77 <= v <= 0.85:
        return AMBER
    shade = 0.25 * v
    return tuple(round(c * (1 - shade) + d * shade) for c, d in zip(TEAL, DEEP))


def render(size, samples=4):
    """RGBA rows, top row first, averaged over samples x samples points per pixel."""
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            r = g = b = a = 0
            for sy in range(samples):
                for sx in range(samples):
                    c = colour_at((x + (sx + 0.5) / samples) / size, (y + (sy + 0.5) / samples) / size)
                    if c is not None:
                        r, g, b, a = r + c[0], g + c[1], b + c[2], a + 1
            n = samples * samples
            row.append((r // a, g // a, b // a, 255 * a // n) if a else (0, 0, 0, 0))
        rows.append(row)
    return rows


def web_palette():
    levels = (0, 51, 102, 153, 204, 255)
    palette = [(r, g, b) for r in levels for g in levels for b in levels]
    palette += [TEAL, DEEP, SCREEN, COVER, AMBER]
    palette += [(v, v, v) for v in range(8, 256, 8)]
    return palette[:256]


VGA_PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def nearest(palette, colour):
    return min(range(len(palette)), key=lambda i: sum((p - c) ** 2 for p, c in zip(palette[i], colour)))


def padded(data):
    return data + b"\0" * (-len(data) % 4)


def and_mask(rows, opaque):
    mask = b""
    for row in reversed(rows):
        bits = bytearray((len(row) + 7) // 8)
        for x, pixel in enumerate(row):
            if not opaque(pixel):
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += padded(bytes(bits))
    return mask


def bitmap(rows, bits):
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0, 0, 0)
    if bits == 32:
        pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
        return header + pixels + and_mask(rows, lambda p: p[3] > 0)
    palette = web_palette() if bits == 8 else VGA_PALETTE
    palette = palette + [(0, 0, 0)] * ((1 << bits) - len(palette))
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    opaque = lambda p: p[3] >= 128
    data = b""
    for row in reversed(rows):
        indexes = [nearest(palette, p[:3]) if opaque(p) else 0 for p in row]
        if bits == 8:
            line = bytes(indexes)
        else:
            line = bytes((indexes[i] << 4) | indexes[i + 1] for i in range(0, len(indexes), 2))
        data += padded(line)
    return header + table + data + and_mask(rows, opaque)


def main():
    images = [(48, 32), (32, 32), (16, 32), (48, 8), (32, 8), (16, 8), (32, 4), (16, 4)]
    rendered = {size: render(size) for size in (48, 32, 16)}
    blobs = [bitmap(rendered[size], bits) for size, bits in images]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (size, bits), blob in zip(images, blobs):
        colours = 16 if bits == 4 else 0
        out += struct.pack("<BBBBHHII", size, size, colours, 0, 1, bits, len(blob), offset)
        offset += len(blob)
    out += b"".join(blobs)
    target = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).with_name("dunvelblenk.ico")
    target.write_bytes(out)
    print(f"{target}: {len(images)} images, {len(out)} bytes")


if __name__ == "__main__":
    main()
