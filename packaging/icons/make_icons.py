#!/usr/bin/env python3
"""Draws Zarvello's icon, a sheet of lines with a red no-entry sign, as 16-colour PNGs.

The drawing is geometry sampled 4x4 per pixel; each pixel takes the colour that covers most of
it, from a fixed palette of 16, so the pictures need no resampling and stay crisp at 16 and 32.
Run it to remake zarvello-16.png, zarvello-32.png and zarvello.svg beside it.
"""
import math
import os
import struct
import zlib

PALETTE = [
    (0, 0, 0),        # 0 transparent
    (32, 32, 40),     # 1 outline
    (255, 255, 255),  # 2 paper
    (214, 218, 226),  # 3 fold
    (120, 128, 140),  # 4 lines
    (204, 32, 32),    # 5 sign
    (150, 16, 16),    # 6 sign edge
    (240, 240, 244),  # 7 paper shade
] + [(0, 0, 0)] * 8   # unused, keeps the palette at 16

# The drawing on a unit square: (x, y) from 0 to 1, y downwards.
PAGE = (0.14, 0.05, 0.70, 0.92)   # left, top, right, bottom
FOLD = 0.16
LINES = [0.22, 0.34, 0.46, 0.58]
SIGN_CENTRE = (0.70, 0.70)
SIGN_RADIUS = 0.27
SIGN_RING = 0.075


def colour_at(x, y, pixel):
    cx, cy = SIGN_CENTRE
    d = math.hypot(x - cx, y - cy)
    small = pixel > 1 / 20  # at 16 pixels the dark rim and a thick ring would fill the sign
    ring = pixel * 1.1 if small else SIGN_RING
    if d <= SIGN_RADIUS:
        if not small and d >= SIGN_RADIUS - pixel * 0.75:
            return 6
        if d >= SIGN_RADIUS - ring - pixel * 0.5:
            return 5
        # The bar from top left to bottom right, as on a no-entry sign.
        if abs((x - cx) - (y - cy)) / math.sqrt(2) <= ring * 0.9:
            return 5
        return 2
    left, top, right, bottom = PAGE
    if not (left <= x <= right and top <= y <= bottom):
        return 0
    if x - (right - FOLD) > y - top:  # cut corner
        return 0
    edge = pixel * 0.9
    if x < left + edge or x > right - edge or y < top + edge or y > bottom - edge:
        return 1
    if abs((x - (right - FOLD)) - (y - top)) < edge * 0.8:
        return 1
    if x > right - FOLD and y < top + FOLD:
        return 3
    for line in LINES:
        if abs(y - line) < pixel * 0.6 and left + 0.08 <= x <= right - 0.14:
            return 4
    return 2


def draw(size):
    pixel = 1.0 / size
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            votes = [0] * 16
            for sy in range(4):
                for sx in range(4):
                    votes[colour_at((px + (sx + 0.5) / 4) * pixel, (py + (sy + 0.5) / 4) * pixel, pixel)] += 1
            row.append(max(range(16), key=lambda c: (votes[c], -c)))
        rows.append(row)
    return rows


def png(rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    size = len(rows)
    raw = b""
    for row in rows:
        packed = bytes((row[i] << 4) | row[i + 1] for i in range(0, size, 2))
        raw += b"\0" + packed
    header = struct.pack(">IIBBBBB", size, size, 4, 3, 0, 0, 0)  # 4-bit indexed colour
    palette = b"".join(struct.pack("BBB", *c) for c in PALETTE)
    alpha = bytes([0] + [255] * 15)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"PLTE", palette) + chunk(b"tRNS", alpha)
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def svg():
    s = 256
    left, top, right, bottom = (v * s for v in PAGE)
    fold = FOLD * s
    cx, cy = (v * s for v in SIGN_CENTRE)
    r = SIGN_RADIUS * s
    ring = SIGN_RING * s
    lines = "".join(
        f'<line x1="{left + 0.08 * s:.1f}" y1="{y * s:.1f}" x2="{right - 0.14 * s:.1f}" y2="{y * s:.1f}" '
        f'stroke="#787c8c" stroke-width="{s / 32:.1f}"/>' for y in LINES)
    bar = (r - ring) * 0.95 / math.sqrt(2)
    return f"""<svg xmlns="http://www.w3.org/2000/svg" width="{s}" height="{s}" viewBox="0 0 {s} {s}">
<path d="M{left:.1f},{top:.1f} H{right - fold:.1f} L{right:.1f},{top + fold:.1f} V{bottom:.1f} H{left:.1f} Z" fill="#ffffff" stroke="#202028" stroke-width="{s / 32:.1f}"/>
<path d="M{right - fold:.1f},{top:.1f} V{top + fold:.1f} H{right:.1f}" fill="#d6dae2" stroke="#202028" stroke-width="{s / 32:.1f}"/>
{lines}
<circle cx="{cx:.1f}" cy="{cy:.1f}" r="{r - ring / 2:.1f}" fill="#ffffff" stroke="#cc2020" stroke-width="{ring:.1f}"/>
<circle cx="{cx:.1f}" cy="{cy:.1f}" r="{r:.1f}" fill="none" stroke="#961010" stroke-width="{s / 64:.1f}"/>
<line x1="{cx - bar:.1f}" y1="{cy - bar:.1f}" x2="{cx + bar:.1f}" y2="{cy + bar:.1f}" stroke="#cc2020" stroke-width="{ring * 1.8:.1f}"/>
</svg>
"""


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    for size in (16, 32):
        with open(os.path.join(here, f"zarvello-{size}.png"), "wb") as out:
            out.write(png(draw(size)))
    with open(os.path.join(here, "zarvello.svg"), "w") as out:
        out.write(svg())
