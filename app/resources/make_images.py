#!/usr/bin/env python3
"""Draws the program icon and the five language flags of the installer window.

Usage: make_images.py OUTPUT_DIR

Writes halvex.ico (16x16 and 32x32, 32-bit with alpha) and flag_us.bmp, flag_de.bmp,
flag_fr.bmp, flag_it.bmp, flag_es.bmp (30x16, 24-bit: 20x10 dialog units of an 8-point
"MS Sans Serif" dialog). Standard library only; the output is the same on every run.
"""

import math
import os
import struct
import sys

FLAG_WIDTH = 30
FLAG_HEIGHT = 16
BORDER = (64, 64, 64)


# ---------------------------------------------------------------------------------------------
# Flags: a one-pixel dark frame around a 28x14 field drawn in whole pixels, so the bands stay
# sharp at this size.

def flag_canvas(field):
    """Returns rows (top first) of RGB tuples: the frame around field(x, y) of the inner area."""
    inner_w, inner_h = FLAG_WIDTH - 2, FLAG_HEIGHT - 2
    rows = []
    for y in range(FLAG_HEIGHT):
        row = []
        for x in range(FLAG_WIDTH):
            if x in (0, FLAG_WIDTH - 1) or y in (0, FLAG_HEIGHT - 1):
                row.append(BORDER)
            else:
                row.append(field(x - 1, y - 1, inner_w, inner_h))
        rows.append(row)
    return rows


def bands(sizes, colours, position):
    """Colour of the band that holds position, the bands having the given sizes in order."""
    edge = 0
    for size, colour in zip(sizes, colours):
        edge += size
        if position < edge:
            return colour
    return colours[-1]


def flag_us(x, y, w, h):
    red, white, blue = (178, 34, 52), (255, 255, 255), (60, 59, 110)
    # Seven stripes of two pixels, red at top and bottom; the canton reaches into the fourth.
    if x < 12 and y < 7:
        stars = {1: (1, 4, 7, 10), 3: (2, 5, 8), 5: (1, 4, 7, 10)}
        return white if x in stars.get(y, ()) else blue
    return red if (y // 2) % 2 == 0 else white


def flag_germany(x, y, w, h):
    return bands((5, 4, 5), ((0, 0, 0), (221, 0, 0), (255, 206, 0)), y)


def flag_france(x, y, w, h):
    return bands((9, 10, 9), ((0, 35, 149), (255, 255, 255), (237, 41, 57)), x)


def flag_italy(x, y, w, h):
    return bands((9, 10, 9), ((0, 146, 70), (255, 255, 255), (206, 43, 55)), x)


def flag_spain(x, y, w, h):
    red, yellow, arms = (170, 21, 27), (241, 191, 0), (140, 60, 30)
    colour = bands((4, 6, 4), (red, yellow, red), y)
    # A hint of the coat of arms towards the hoist.
    if 6 <= x <= 8 and 5 <= y <= 8:
        colour = arms
    return colour


def write_bmp(path, rows):
    """24-bit bottom-up BMP of rows (top first) of RGB tuples."""
    height, width = len(rows), len(rows[0])
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        pixels += line
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    with open(path, 'wb') as out:
        out.write(header + info + pixels)


# ---------------------------------------------------------------------------------------------
# Icon: a round gauge with tick marks, a red zone and a red needle, drawn in a 32-unit square
# and sampled 4x4 per pixel for smooth edges.

BEZEL = (40, 55, 75)
FACE = (246, 246, 240)
TICK = (40, 55, 75)
ZONE = (215, 40, 40)
NEEDLE = (200, 20, 20)


def polar(angle_deg, radius):
    """Point at radius from the centre (16, 16); angle clockwise from twelve o'clock."""
    a = math.radians(angle_deg)
    return 16 + radius * math.sin(a), 16 - radius * math.cos(a)


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = max(0.0, min(1.0, t))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


NEEDLE_TIP = polar(50, 10.5)
NEEDLE_TAIL = polar(230, 3.0)


def gauge_colour(x, y, small):
    """Colour at (x, y) in the 32-unit square, or None outside the gauge. The small picture has
    fewer, bolder marks so that it stays readable at 16 pixels."""
    r = math.hypot(x - 16, y - 16)
    if r > 15.5:
        return None
    if r > (12.0 if small else 13.0):
        return BEZEL
    colour = FACE
    angle = math.degrees(math.atan2(x - 16, 16 - y))
    if (9.0 if small else 10.0) <= r and 90 <= angle <= 135:
        colour = ZONE
    step, width = (90, 1.3) if small else (45, 0.8)
    for a in range(-135, 136, step):
        (ax, ay), (bx, by) = polar(a, 8.5 if small else 9.5), polar(a, 13.0)
        if segment_distance(x, y, ax, ay, bx, by) <= width:
            colour = TICK
    needle_width = 1.6 if small else 1.2
    if segment_distance(x, y, NEEDLE_TAIL[0], NEEDLE_TAIL[1], NEEDLE_TIP[0],
                        NEEDLE_TIP[1]) <= needle_width:
        colour = NEEDLE
    if r <= (3.2 if small else 2.6):
        colour = BEZEL
    return colour


def draw_icon(size, samples=4):
    """Rows (top first) of RGBA tuples of the gauge at size x size pixels."""
    scale = 32.0 / size
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) * scale
                    y = (py + (sy + 0.5) / samples) * scale
                    colour = gauge_colour(x, y, size < 24)
                    if colour is not None:
                        acc[0] += colour[0]
                        acc[1] += colour[1]
                        acc[2] += colour[2]
                        acc[3] += 1
            n = acc[3]
            if n == 0:
                row.append((0, 0, 0, 0))
            else:
                alpha = round(255 * n / (samples * samples))
                row.append((round(acc[0] / n), round(acc[1] / n), round(acc[2] / n), alpha))
        rows.append(row)
    return rows


def icon_image(rows):
    """One icon image: BITMAPINFOHEADER, 32-bit colours and the AND mask, both bottom-up."""
    size = len(rows)
    colours = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            colours += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    info = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(colours) + len(mask),
                       0, 0, 0, 0)
    return info + colours + mask


def write_ico(path, sizes):
    images = [(size, icon_image(draw_icon(size))) for size in sizes]
    header = struct.pack('<HHH', 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries, data = bytearray(), bytearray()
    for size, image in images:
        entries += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(image), offset + len(data))
        data += image
    with open(path, 'wb') as out:
        out.write(header + entries + data)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write('usage: make_images.py OUTPUT_DIR\n')
        return 2
    out_dir = argv[1]
    os.makedirs(out_dir, exist_ok=True)
    flags = {
        'flag_us.bmp': flag_us,
        'flag_de.bmp': flag_germany,
        'flag_fr.bmp': flag_france,
        'flag_it.bmp': flag_italy,
        'flag_es.bmp': flag_spain,
    }
    for name, field in flags.items():
        write_bmp(os.path.join(out_dir, name), flag_canvas(field))
    write_ico(os.path.join(out_dir, 'halvex.ico'), (16, 32))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
