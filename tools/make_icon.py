#!/usr/bin/env python3
"""Draws the Corvane application icon and writes res/corvane.ico.

One 128 x 128 image, 32 bits per pixel (BGRA with a 1-bit AND mask), stored as a DIB inside the
.ico container. Standard library only; run it again after changing the artwork and commit both
this script and the .ico (the build uses the committed file).

The picture: a rounded tile with a blue-to-teal gradient, faint grid lines, a row of event bars
and a white trace line with a recording dot, the idea of a captured performance trace.
"""

import math
import os
import struct
import sys

SIZE = 128
SUBSAMPLES = 4  # per axis, for smooth edges

TILE_INSET = 4.0
TILE_RADIUS = 22.0
TOP_COLOUR = (0x1E, 0x3A, 0x8A)  # deep blue
BOTTOM_COLOUR = (0x0F, 0x9F, 0x95)  # teal
GRID_COLOUR = (0xFF, 0xFF, 0xFF, 0.12)
BAR_COLOUR = (0xA7, 0xF3, 0xD0, 0.85)
TRACE_COLOUR = (0xFF, 0xFF, 0xFF, 1.0)
DOT_COLOUR = (0xF9, 0x73, 0x16, 1.0)  # orange "recording" dot

TRACE_POINTS = [(18, 74), (34, 74), (42, 52), (50, 86), (58, 40), (66, 78), (76, 62),
                (88, 62), (96, 48), (110, 48)]
TRACE_HALF_WIDTH = 3.2
BARS = [(20, 8), (32, 14), (44, 10), (56, 20), (68, 12), (80, 16), (92, 9), (104, 13)]
BAR_BASE = 108.0
BAR_HALF_WIDTH = 3.5
DOT_CENTRE = (102.0, 26.0)
DOT_RADIUS = 8.0


def rounded_rect_distance(x, y, left, top, right, bottom, radius):
    cx = (left + right) / 2.0
    cy = (top + bottom) / 2.0
    hx = (right - left) / 2.0 - radius
    hy = (bottom - top) / 2.0 - radius
    qx = abs(x - cx) - hx
    qy = abs(y - cy) - hy
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    inside = min(max(qx, qy), 0.0)
    return outside + inside - radius


def segment_distance(x, y, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    t = ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)
    t = max(0.0, min(1.0, t))
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy))


def blend(under, colour, alpha):
    r, g, b, a = under
    cr, cg, cb = colour
    out_a = alpha + a * (1.0 - alpha)
    if out_a == 0.0:
        return (0.0, 0.0, 0.0, 0.0)
    mix = lambda c, u: (c * alpha + u * a * (1.0 - alpha)) / out_a
    return (mix(cr, r), mix(cg, g), mix(cb, b), out_a)


def sample(x, y):
    """Colour (r, g, b in 0..255, alpha 0..1) at one point of the picture."""
    edge = SIZE - TILE_INSET
    if rounded_rect_distance(x, y, TILE_INSET, TILE_INSET, edge, edge, TILE_RADIUS) > 0.0:
        return (0.0, 0.0, 0.0, 0.0)
    t = (y - TILE_INSET) / (edge - TILE_INSET)
    base = tuple(top + (bottom - top) * t for top, bottom in zip(TOP_COLOUR, BOTTOM_COLOUR))
    pixel = base + (1.0,)

    for grid in (36.0, 64.0, 92.0):
        if abs(y - grid) < 0.75 and 14.0 < x < SIZE - 14.0:
            pixel = blend(pixel, GRID_COLOUR[:3], GRID_COLOUR[3])

    for centre, height in BARS:
        if abs(x - centre) <= BAR_HALF_WIDTH and BAR_BASE - height <= y <= BAR_BASE:
            pixel = blend(pixel, BAR_COLOUR[:3], BAR_COLOUR[3])

    trace = min(segment_distance(x, y, a, b) for a, b in zip(TRACE_POINTS, TRACE_POINTS[1:]))
    if trace <= TRACE_HALF_WIDTH:
        pixel = blend(pixel, TRACE_COLOUR[:3], TRACE_COLOUR[3])

    if math.hypot(x - DOT_CENTRE[0], y - DOT_CENTRE[1]) <= DOT_RADIUS:
        pixel = blend(pixel, DOT_COLOUR[:3], DOT_COLOUR[3])
    return pixel


def render():
    """Rows top to bottom of (b, g, r, a) byte tuples, averaged over the subsamples."""
    rows = []
    step = 1.0 / SUBSAMPLES
    count = SUBSAMPLES * SUBSAMPLES
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SUBSAMPLES):
                for sx in range(SUBSAMPLES):
                    r, g, b, a = sample(px + (sx + 0.5) * step, py + (sy + 0.5) * step)
                    # Premultiplied sums so transparent samples don't darken the edge colour.
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            alpha = acc[3] / count
            if acc[3] > 0.0:
                r, g, b = (channel / acc[3] for channel in acc[:3])
            else:
                r = g = b = 0.0
            to_byte = lambda v: max(0, min(255, int(round(v))))
            row.append((to_byte(b), to_byte(g), to_byte(r), to_byte(alpha * 255.0)))
        rows.append(row)
    return rows


def ico_bytes(rows):
    xor = bytearray()
    for row in reversed(rows):  # DIBs are stored bottom-up
        for pixel in row:
            xor.extend(pixel)
    mask_stride = ((SIZE + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, pixel in enumerate(row):
            if pixel[3] == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask.extend(line)

    # BITMAPINFOHEADER: the height counts the XOR image and the AND mask together.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(xor) + len(mask),
                         0, 0, 0, 0)
    image = header + bytes(xor) + bytes(mask)
    icon_dir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return icon_dir + entry + image


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res", "corvane.ico")
    if len(sys.argv) > 1:
        out = sys.argv[1]
    data = ico_bytes(render())
    with open(out, "wb") as f:
        f.write(data)
    print(f"wrote {os.path.normpath(out)} ({len(data)} bytes)")


if __name__ == "__main__":
    main()
