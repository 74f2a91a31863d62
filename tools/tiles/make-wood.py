#!/usr/bin/env python3
"""Writes the wooden tile set: 36 pictures of 56 x 56 side by side in a 24-bit BMP.

Pure green (0, 255, 0) is transparent to the game. The letters and numbers are burnt into the
wood with a small stroke font of our own, so the tool needs nothing beyond Python 3.
"""

import argparse
import math
import os
import random
import struct
import sys

SIZE = 56
COUNT = 36
GREEN = (0, 255, 0)
SEED = 7772

# Points on the tiles; the game scores these, keep them equal to board/rules.cpp.
WORTH = dict(zip("ABCDEFGHIJKLMNOPQRSTUVWXYZ",
                 [1, 3, 3, 1, 1, 5, 3, 3, 1, 5, 5, 1, 3, 1, 1, 3, 10, 1, 1, 1, 1, 7, 5, 10, 3, 10]))

# Picture indices, as the game reads them.
PLAIN_WHITE, TRIPLE_LETTER, EARLIER_MARK, LATEST_MARK = 0, 27, 28, 29
PLAIN, BONUS, DOUBLE_LETTER, DOUBLE_WORD, TRIPLE_WORD, EMPTY_SLOT = 30, 31, 32, 33, 34, 35


# ---- the stroke font: capitals 14 units high, y down, polylines of (x, y)

def arc(cx, cy, rx, ry, a0, a1, steps=None):
    """Points on an ellipse from angle a0 to a1 in degrees (0 right, 90 down)."""
    steps = steps or max(6, int(abs(a1 - a0) / 10))
    return [(cx + rx * math.cos(math.radians(a0 + (a1 - a0) * i / steps)),
             cy + ry * math.sin(math.radians(a0 + (a1 - a0) * i / steps))) for i in range(steps + 1)]


GLYPHS = {
    "A": (10, [[(0, 14), (5, 0), (10, 14)], [(1.9, 8.8), (8.1, 8.8)]]),
    "B": (10, [[(0, 14), (0, 0), (5.5, 0)] + arc(5.5, 3.5, 3.8, 3.5, -90, 90) + [(5.5, 7), (0, 7)],
               [(5.5, 7)] + arc(6, 10.5, 4, 3.5, -90, 90) + [(6, 14), (0, 14)]]),
    "C": (11, [arc(6, 7, 6, 7, -40, -320)]),
    "D": (11, [[(0, 0), (0, 14), (4, 14)] + arc(4, 7, 7, 7, 90, -90) + [(4, 0), (0, 0)]]),
    "E": (9, [[(9, 0), (0, 0), (0, 14), (9, 14)], [(0, 7), (7, 7)]]),
    "F": (9, [[(9, 0), (0, 0), (0, 14)], [(0, 7), (7, 7)]]),
    "G": (12, [arc(6, 7, 6, 7, -40, -330) + [(11.9, 8), (7, 8)]]),
    "H": (10, [[(0, 0), (0, 14)], [(10, 0), (10, 14)], [(0, 7), (10, 7)]]),
    "I": (6, [[(3, 0), (3, 14)], [(0, 0), (6, 0)], [(0, 14), (6, 14)]]),
    "J": (9, [[(9, 0), (9, 10)] + arc(4.5, 10, 4.5, 4, 0, 180)]),
    "K": (10, [[(0, 0), (0, 14)], [(10, 0), (0, 8.5)], [(3.2, 5.8), (10, 14)]]),
    "L": (9, [[(0, 0), (0, 14), (9, 14)]]),
    "M": (12, [[(0, 14), (0, 0), (6, 10), (12, 0), (12, 14)]]),
    "N": (10, [[(0, 14), (0, 0), (10, 14), (10, 0)]]),
    "O": (12, [arc(6, 7, 6, 7, 0, 360, 40)]),
    "P": (10, [[(0, 14), (0, 0), (6, 0)] + arc(6, 4, 4, 4, -90, 90) + [(6, 8), (0, 8)]]),
    "Q": (12, [arc(6, 7, 6, 7, 0, 360, 40), [(7.5, 10), (12, 15)]]),
    "R": (10, [[(0, 14), (0, 0), (6, 0)] + arc(6, 4, 4, 4, -90, 90) + [(6, 8), (0, 8)],
               [(5, 8), (10, 14)]]),
    "S": (10, [arc(5, 3.7, 4.6, 3.7, -25, -270) + arc(5, 10.5, 5, 3.5, -90, 155)]),
    "T": (10, [[(0, 0), (10, 0)], [(5, 0), (5, 14)]]),
    "U": (10, [[(0, 0), (0, 9)] + arc(5, 9, 5, 5, 180, 0) + [(10, 0)]]),
    "V": (10, [[(0, 0), (5, 14), (10, 0)]]),
    "W": (14, [[(0, 0), (3.5, 14), (7, 4), (10.5, 14), (14, 0)]]),
    "X": (10, [[(0, 0), (10, 14)], [(10, 0), (0, 14)]]),
    "Y": (10, [[(0, 0), (5, 7), (10, 0)], [(5, 7), (5, 14)]]),
    "Z": (10, [[(0, 0), (10, 0), (0, 14), (10, 14)]]),
    "0": (8, [arc(4, 7, 4, 7, 0, 360, 36)]),
    "1": (5, [[(0.5, 3), (4, 0), (4, 14)]]),
    "2": (9, [arc(4.5, 4, 4.5, 4, -165, 25) + [(0, 14), (9, 14)]]),
    "3": (9, [arc(4.3, 3.6, 4.2, 3.6, -155, 90) + arc(4.5, 10.5, 4.5, 3.5, -90, 155)]),
    "5": (9, [[(8.5, 0), (1.2, 0), (0.6, 6.2)] + arc(4.5, 9.6, 4.5, 4.4, -128, 150)]),
    "7": (9, [[(0, 0), (9, 0), (3, 14)]]),
}


def text_segments(text, height, left, top, gap):
    """The strokes of `text` as pixel segments, capitals `height` pixels high, with `gap`
    pixels between the centre lines of neighbouring glyphs' edges (a stroke's width more
    than the space wanted)."""
    scale = height / 14.0
    spacing = gap / scale
    segments, x = [], 0.0
    for ch in text:
        width, strokes = GLYPHS[ch]
        for line in strokes:
            for (x0, y0), (x1, y1) in zip(line, line[1:]):
                segments.append(((left + (x + x0) * scale, top + y0 * scale),
                                 (left + (x + x1) * scale, top + y1 * scale)))
        x += width + spacing
    return segments


def text_width(text, height, gap):
    return sum(GLYPHS[ch][0] for ch in text) * height / 14.0 + gap * (len(text) - 1)


def centred_segments(text, height, cx, cy, gap):
    return text_segments(text, height, cx - text_width(text, height, gap) / 2, cy - height / 2, gap)


def distance(px, py, segments):
    best = 1e9
    for (x0, y0), (x1, y1) in segments:
        dx, dy = x1 - x0, y1 - y0
        length = dx * dx + dy * dy
        t = 0.0 if length == 0 else max(0.0, min(1.0, ((px - x0) * dx + (py - y0) * dy) / length))
        ex, ey = px - x0 - t * dx, py - y0 - t * dy
        best = min(best, ex * ex + ey * ey)
    return math.sqrt(best)


# ---- wood

class Noise:
    """Smooth value noise on a lattice, repeatable from its seed."""

    def __init__(self, seed):
        rng = random.Random(seed)
        self.table = [rng.random() for _ in range(256)]
        self.perm = list(range(256))
        rng.shuffle(self.perm)

    def lattice(self, ix, iy):
        return self.table[self.perm[(self.perm[ix & 255] + iy) & 255]]

    def __call__(self, x, y):
        ix, iy = math.floor(x), math.floor(y)
        fx, fy = x - ix, y - iy
        sx, sy = fx * fx * (3 - 2 * fx), fy * fy * (3 - 2 * fy)
        top = self.lattice(ix, iy) + (self.lattice(ix + 1, iy) - self.lattice(ix, iy)) * sx
        bottom = self.lattice(ix, iy + 1) + (self.lattice(ix + 1, iy + 1) - self.lattice(ix, iy + 1)) * sx
        return top + (bottom - top) * sy


NOISE = Noise(SEED)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def shade(colour, factor):
    return tuple(min(255.0, max(0.0, c * factor)) for c in colour)


def wood(x, y, piece, light, dark):
    """Grain running across the picture, each piece cut from another place in the log."""
    ox, oy = piece * 37.3, piece * 11.9
    warp = NOISE((x + ox) * 0.035, (y + oy) * 0.09) * 7.0
    rings = 0.5 + 0.5 * math.sin((y + oy + warp) * 0.62 + NOISE((x + ox) * 0.02, oy) * 4)
    rings = rings ** 2.5
    fibre = NOISE((x + ox) * 0.5, (y + oy) * 3.1)
    t = 0.62 * rings + 0.28 * fibre + 0.1 * NOISE((x + ox) * 0.1, (y + oy) * 0.1)
    return mix(light, dark, min(1.0, t))


# ---- pictures: each a function (x, y) -> colour in the picture's 56 x 56 square

def inside_rounded(x, y, left, top, right, bottom, radius):
    """Is the pixel centre (x + 0.5, y + 0.5) inside the rounded rectangle?"""
    px, py = x + 0.5, y + 0.5
    if not (left <= px <= right and top <= py <= bottom):
        return False
    cx = min(max(px, left + radius), right - radius)
    cy = min(max(py, top + radius), bottom - radius)
    return (px - cx) ** 2 + (py - cy) ** 2 <= radius * radius


def burn(colour, d, radius, x, y):
    """Scorched wood round a stroke, charcoal on it."""
    scorch = max(0.0, min(1.0, 1.0 - (d - radius) / 2.4)) * 0.5
    colour = shade(colour, 1.0 - scorch)
    cover = max(0.0, min(1.0, radius + 0.5 - d))
    char = 0.75 + 0.5 * NOISE(x * 0.7, y * 0.7)
    return mix(colour, (46 * char, 22 * char, 8 * char), cover)


def letter_tile(letter):
    piece = ord(letter)
    light, dark = (238, 200, 140), (200, 146, 84)
    big = centred_segments(letter, 24, 28.5, 31.5, 0)
    worth = text_segments(str(WORTH[letter]), 7.5, 9.5, 8.5, 2 * 0.85 + 1.2)

    def pixel(x, y):
        if not inside_rounded(x, y, 4, 4, 52, 52, 6):
            # A hard shadow right and below the tile; the rest lets the square show.
            if inside_rounded(x - 1, y - 1, 4, 4, 52, 52, 6):
                return (70, 42, 20)
            return GREEN
        colour = wood(x, y, piece, light, dark)
        if not inside_rounded(x, y, 5, 5, 51, 51, 5):
            return shade(colour, 0.62)  # the tile's edge
        if x <= 6 or y <= 6:
            colour = shade(colour, 1.16)
        elif x >= 49 or y >= 49:
            colour = shade(colour, 0.78)
        px, py = x + 0.5, y + 0.5
        if 13 <= px <= 45 and 15 <= py <= 48:
            colour = burn(colour, distance(px, py, big), 2.2, x, y)
        if 7 <= px <= 22 and 7 <= py <= 18:
            colour = burn(colour, distance(px, py, worth), 0.85, x, y)
        return colour

    return pixel


def square(piece, light, dark, label=None, ink=(244, 226, 184)):
    segments = centred_segments(label, 15, 28, 28, 2 * 2.1 + 1.5) if label else []

    def pixel(x, y):
        colour = wood(x, y, piece, light, dark)
        if x == 0 or y == 0 or x == SIZE - 1 or y == SIZE - 1:
            return shade(colour, 0.55)
        if x == 1 or y == 1:
            colour = shade(colour, 1.2)
        if segments:
            # An inlay of pale wood.
            d = distance(x + 0.5, y + 0.5, segments)
            colour = mix(colour, ink, max(0.0, min(1.0, 2.1 + 0.5 - d)))
        return colour

    return pixel


def star_inside(px, py, cx, cy, outer, inner):
    points = []
    for i in range(10):
        angle = -math.pi / 2 + i * math.pi / 5
        r = inner if i % 2 else outer
        points.append((cx + r * math.cos(angle), cy + r * math.sin(angle)))
    inside = False
    for (x0, y0), (x1, y1) in zip(points, points[1:] + points[:1]):
        if (y0 > py) != (y1 > py) and px < x0 + (py - y0) * (x1 - x0) / (y1 - y0):
            inside = not inside
    return inside


def bonus_square():
    base = square(BONUS, (222, 168, 70), (176, 120, 40))

    def pixel(x, y):
        colour = base(x, y)
        if x in (0, SIZE - 1) or y in (0, SIZE - 1):
            return colour
        # A burnt star, smoothed by sampling each pixel four times.
        hits = sum(star_inside(x + dx, y + dy, 28, 29, 19, 8)
                   for dx in (0.25, 0.75) for dy in (0.25, 0.75))
        return mix(colour, (64, 26, 8), hits / 4)

    return pixel


def earlier_mark(x, y):
    # The notch: a small red triangle at the top centre.
    if y <= 6 and abs(x + 0.5 - 28) <= 5.5 - y * 0.8:
        return (224, 26, 26)
    frame = inside_rounded(x, y, 1, 1, 55, 55, 5) and not inside_rounded(x, y, 3, 3, 53, 53, 4)
    return (128, 128, 128) if frame else GREEN


def latest_mark(x, y):
    frame = inside_rounded(x, y, 0, 0, 56, 56, 6) and not inside_rounded(x, y, 3, 3, 53, 53, 5)
    return (224, 20, 20) if frame else GREEN


def empty_slot(x, y):
    if x <= 1 or y <= 1 or x >= SIZE - 2 or y >= SIZE - 2:
        return (3, 36, 68)
    well = mix((5, 58, 106), (10, 82, 146), y / SIZE)
    # The diamond, lighter towards its top left, with a pale rim.
    d = abs(x + 0.5 - 28) + abs(y + 0.5 - 28)
    if d > 18.6:
        return well
    fill = mix((140, 204, 255), (22, 114, 204), (x + y - 20) / 36)
    if d > 17.4:
        return mix((216, 238, 255), well, d - 17.6 if d > 17.6 else 0)
    return fill


def picture(index):
    if index == PLAIN_WHITE:
        return lambda x, y: (255, 255, 255)
    if 1 <= index <= 26:
        return letter_tile(chr(ord("A") + index - 1))
    return {
        TRIPLE_LETTER: square(TRIPLE_LETTER, (70, 100, 140), (44, 64, 98), "3L"),
        EARLIER_MARK: earlier_mark,
        LATEST_MARK: latest_mark,
        PLAIN: square(PLAIN, (156, 104, 60), (110, 68, 36)),
        BONUS: bonus_square(),
        DOUBLE_LETTER: square(DOUBLE_LETTER, (112, 138, 86), (74, 96, 54), "2L"),
        DOUBLE_WORD: square(DOUBLE_WORD, (178, 96, 88), (132, 62, 56), "2W"),
        TRIPLE_WORD: square(TRIPLE_WORD, (146, 42, 30), (98, 22, 14), "3W"),
        EMPTY_SLOT: empty_slot,
    }[index]


# ---- the file

def bmp(width, height, rows):
    """A 24-bit BMP: rows top first, each a bytes object of width * 3 (blue, green, red)."""
    stride = (width * 3 + 3) & ~3
    image = b"".join(row + b"\0" * (stride - width * 3) for row in reversed(rows))
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(image), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(image), 2835, 2835, 0, 0)
    return header + info + image


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    default = os.path.join(here, "..", "..", "resources", "zandutiles", "wood.bmp")
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--out", default=os.path.normpath(default))
    args = parser.parse_args()

    pictures = [picture(i) for i in range(COUNT)]
    rows = []
    for y in range(SIZE):
        row = bytearray()
        for p in pictures:
            for x in range(SIZE):
                colour = p(x, y)
                r, g, b = (min(255, max(0, int(round(c)))) for c in colour)
                if (r, g, b) == GREEN and colour is not GREEN:
                    g = 254  # only the key itself may be transparent
                row += bytes((b, g, r))
        rows.append(bytes(row))
    data = bmp(SIZE * COUNT, SIZE, rows)
    os.makedirs(os.path.dirname(args.out), exist_ok=True)
    with open(args.out + ".tmp", "wb") as f:
        f.write(data)
    os.replace(args.out + ".tmp", args.out)
    print(f"{args.out}: {SIZE * COUNT} x {SIZE}, {len(data)} bytes", file=sys.stderr)


if __name__ == "__main__":
    main()
