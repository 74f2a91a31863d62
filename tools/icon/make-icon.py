#!/usr/bin/env python3
"""Writes the game's icon: PNGs at the sizes desktops ask for, and a scalable SVG.

Cream letter tiles on a blue rounded square, in the colours of the about box's logo. Each size
has its own layout so that the letters stay readable: one tile at 16 px, two at 32 and 48, and
three on a 3 x 3 board from 64 up, where the diagonal reads like a traced word. Python 3
standard library only: shapes are drawn from signed distances (one pixel of anti-aliasing),
and a PNG is zlib-compressed rows behind a few checksummed chunks.
"""

import argparse
import math
import os
import struct
import sys
import zlib

SIZES = (16, 32, 48, 64, 128, 256)
DESIGN = 256.0  # every layout is given in these units and scaled to the picture

BLUE_TOP, BLUE_MID, BLUE_BOTTOM = (0x3C, 0x9A, 0xE2), (0x0C, 0x71, 0xC2), (0x08, 0x52, 0x90)
BLUE_EDGE = (0x06, 0x3C, 0x6C)
CREAM_TOP, CREAM_BOTTOM = (0xFF, 0xF6, 0xE0), (0xF0, 0xD8, 0xA4)
TILE_EDGE = (0xA0, 0x78, 0x38)
INK = (0x3A, 0x26, 0x10)
CELL = (255, 255, 255, 0.14)
SHADOW = (0, 0, 0, 0.30)

# The points printed on the big tiles; the game's letter values.
WORTH = {"Z": 10, "A": 1, "P": 3}


# ---- a stroke font: capitals 14 units high, y down, polylines of (x, y)

def arc(cx, cy, rx, ry, a0, a1, steps=None):
    """Points on an ellipse from angle a0 to a1 in degrees (0 right, 90 down)."""
    steps = steps or max(6, int(abs(a1 - a0) / 10))
    return [(cx + rx * math.cos(math.radians(a0 + (a1 - a0) * i / steps)),
             cy + ry * math.sin(math.radians(a0 + (a1 - a0) * i / steps))) for i in range(steps + 1)]


GLYPHS = {
    "A": (10, [[(0, 14), (5, 0), (10, 14)], [(1.9, 8.8), (8.1, 8.8)]]),
    "P": (10, [[(0, 14), (0, 0), (6, 0)] + arc(6, 4, 4, 4, -90, 90) + [(6, 8), (0, 8)]]),
    "Z": (10, [[(0, 0), (10, 0), (0, 14), (10, 14)]]),
    "0": (8, [arc(4, 7, 4, 7, 0, 360, 36)]),
    "1": (5, [[(0.5, 3), (4, 0), (4, 14)]]),
    "3": (9, [arc(4.3, 3.6, 4.2, 3.6, -155, 90) + arc(4.5, 10.5, 4.5, 3.5, -90, 155)]),
}


def glyph_lines(text, height, left, top, gap):
    """The polylines of `text`, capitals `height` high from (left, top), `gap` between glyphs."""
    scale = height / 14.0
    lines, x = [], 0.0
    for ch in text:
        width, strokes = GLYPHS[ch]
        for line in strokes:
            lines.append([(left + (x + px) * scale, top + py * scale) for px, py in line])
        x += width + gap / scale
    return lines


def text_width(text, height, gap):
    return sum(GLYPHS[ch][0] for ch in text) * height / 14.0 + gap * (len(text) - 1)


# ---- layouts, in design units

class Tile:
    def __init__(self, letter, cx, cy, size, angle, letter_height, stroke, points):
        self.letter, self.cx, self.cy, self.size, self.angle = letter, cx, cy, size, angle
        self.letter_height, self.stroke, self.points = letter_height, stroke, points
        self.radius = size * 0.13
        self.edge = max(2.0, size * 0.035)
        self.shadow = (size * 0.035, size * 0.05)

    def letter_lines(self):
        """Polylines in the tile's own frame (centre at 0, 0), optically centred."""
        h = self.letter_height
        # Nudged away from the points in the corner, when there are any.
        dx, dy = (self.size * 0.05, self.size * 0.05) if self.points else (0, h * 0.03)
        return glyph_lines(self.letter, h, dx - text_width(self.letter, h, 0) / 2, dy - h / 2, 0)

    def points_lines(self):
        h = self.size * 0.15
        return glyph_lines(str(WORTH[self.letter]), h, -self.size / 2 + self.size * 0.13,
                           -self.size / 2 + self.size * 0.13, h * 0.3)


class Layout:
    def __init__(self, square, radius, edge, cells, tiles):
        self.square, self.radius, self.edge = square, radius, edge  # square: left, top, right, bottom
        self.cells, self.tiles = cells, tiles  # cells: (cx, cy, size, radius)


def layout(size):
    if size < 24:
        # One tile nearly filling the square: a Z that still reads at 16 px.
        return Layout((8, 8, 248, 248), 48, 16, [],
                      [Tile("Z", 128, 128, 176, 0, 104, 30, False)])
    if size < 64:
        # Two tiles on a 2 x 2 board, Z and P, the game's initials.
        pitch, cell = 94, 86
        centres = [128 - pitch / 2, 128 + pitch / 2]
        cells = [(centres[1], centres[0], cell, 10), (centres[0], centres[1], cell, 10)]
        tiles = [Tile("Z", centres[0], centres[0], cell + 4, 0, 54, 12.5, False),
                 Tile("P", centres[1], centres[1], cell + 4, 0, 54, 12.5, False)]
        return Layout((8, 8, 248, 248), 44, 8, cells, tiles)
    # A 3 x 3 board with a word traced down its diagonal.
    pitch, cell = 65.5, 59
    centres = [128 - pitch, 128, 128 + pitch]
    cells = [(centres[i], centres[j], cell, 8) for j in range(3) for i in range(3) if i != j]
    points = size >= 128
    tiles = [Tile(letter, centres[i], centres[i], cell + 4, angle, 30 if points else 33,
                  7 if points else 7.5, points)
             for i, (letter, angle) in enumerate(zip("ZAP", (-4, 4, -4)))]
    return Layout((8, 8, 248, 248), 44, max(4.0, 256.0 / size), cells, tiles)


# ---- raster: signed distances in pixels, one pixel of anti-aliasing

def rounded_box(px, py, half_w, half_h, radius):
    qx, qy = abs(px) - half_w + radius, abs(py) - half_h + radius
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - radius


def segment_distance(px, py, lines):
    best = 1e18
    for line in lines:
        for (x0, y0), (x1, y1) in zip(line, line[1:]):
            dx, dy = x1 - x0, y1 - y0
            length = dx * dx + dy * dy
            t = 0.0 if length == 0 else max(0.0, min(1.0, ((px - x0) * dx + (py - y0) * dy) / length))
            ex, ey = px - x0 - t * dx, py - y0 - t * dy
            best = min(best, ex * ex + ey * ey)
    return math.sqrt(best)


def coverage(distance):
    return max(0.0, min(1.0, 0.5 - distance))


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def render(size):
    """The picture as rows of (r, g, b, a) floats, straight alpha."""
    lay = layout(size)
    k = size / DESIGN  # pixels per design unit
    left, top, right, bottom = (v * k for v in lay.square)
    sq_cx, sq_cy = (left + right) / 2, (top + bottom) / 2
    sq_hw, sq_hh, sq_r, sq_edge = (right - left) / 2, (bottom - top) / 2, lay.radius * k, lay.edge * k

    cells = [(cx * k, cy * k, s * k / 2, r * k) for cx, cy, s, r in lay.cells]
    tiles = []
    for t in lay.tiles:
        rad = math.radians(t.angle)
        tiles.append({
            "c": (t.cx * k, t.cy * k), "cos": math.cos(rad), "sin": math.sin(rad),
            "half": t.size * k / 2, "radius": t.radius * k, "edge": max(1.0, t.edge * k),
            "shadow": (t.shadow[0] * k, t.shadow[1] * k),
            "letter": [[(x * k, y * k) for x, y in line] for line in t.letter_lines()],
            "stroke": t.stroke * k / 2,
            "points": ([[(x * k, y * k) for x, y in line] for line in t.points_lines()]
                       if t.points else []),
            "points_stroke": t.size * 0.03 * k,
        })

    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            px, py = x + 0.5, y + 0.5
            colour, alpha = (0.0, 0.0, 0.0), 0.0

            def over(src, a):
                nonlocal colour, alpha
                if a <= 0:
                    return
                out = a + alpha * (1 - a)
                colour = tuple((src[i] * a + colour[i] * alpha * (1 - a)) / out for i in range(3))
                alpha = out

            d = rounded_box(px - sq_cx, py - sq_cy, sq_hw, sq_hh, sq_r)
            if d > 0.5:
                row.append((0.0, 0.0, 0.0, 0.0))
                continue
            g = (py - top) / (bottom - top)
            blue = mix(BLUE_TOP, BLUE_MID, g * 2) if g < 0.5 else mix(BLUE_MID, BLUE_BOTTOM, g * 2 - 1)
            over(BLUE_EDGE, coverage(d))
            over(blue, coverage(d + sq_edge))

            for cx, cy, half, r in cells:
                over(CELL[:3], coverage(rounded_box(px - cx, py - cy, half, half, r)) * CELL[3])

            for t in tiles:
                # Into the tile's frame: centre at 0, 0, turned with the tile.
                dx, dy = px - t["c"][0], py - t["c"][1]
                lx, ly = dx * t["cos"] + dy * t["sin"], -dx * t["sin"] + dy * t["cos"]
                if abs(lx) > t["half"] + 3 + t["shadow"][0] or abs(ly) > t["half"] + 3 + t["shadow"][1]:
                    continue
                half, r = t["half"], t["radius"]
                sx, sy = t["shadow"]
                over(SHADOW[:3], coverage(rounded_box(lx - sx, ly - sy, half, half, r) - 0.3) * SHADOW[3])
                face = rounded_box(lx, ly, half, half, r)
                over(TILE_EDGE, coverage(face))
                cream = mix(CREAM_TOP, CREAM_BOTTOM, max(0.0, min(1.0, (ly + half) / (2 * half))))
                over(cream, coverage(face + t["edge"]))
                over(INK, coverage(segment_distance(lx, ly, t["letter"]) - t["stroke"]))
                if t["points"]:
                    over(INK, coverage(segment_distance(lx, ly, t["points"]) - t["points_stroke"]))
            row.append((*colour, alpha))
        rows.append(row)
    return rows


# ---- PNG: 8-bit RGBA, each row with the filter that makes it smallest

def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def filtered(raw, previous):
    bpp = 4
    candidates = []
    for kind in range(5):
        out = bytearray([kind])
        for i, value in enumerate(raw):
            a = raw[i - bpp] if i >= bpp else 0
            b = previous[i]
            c = previous[i - bpp] if i >= bpp else 0
            predictor = (0, a, b, (a + b) // 2, paeth(a, b, c))[kind]
            out.append((value - predictor) & 0xFF)
        candidates.append(out)
    return min(candidates, key=lambda row: sum(v if v < 128 else 256 - v for v in row[1:]))


def png_bytes(rows):
    size = len(rows)
    data, previous = bytearray(), bytes(size * 4)
    for row in rows:
        raw = bytearray()
        for r, g, b, a in row:
            alpha = round(a * 255)
            # Fully transparent pixels all alike, so they compress to nothing.
            raw += bytes((round(r), round(g), round(b), alpha)) if alpha else bytes(4)
        data += filtered(raw, previous)
        previous = raw

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(data), 9))
            + chunk(b"IEND", b""))


# ---- SVG: the big layout, the same shapes

def hex_colour(rgb):
    return "#%02x%02x%02x" % rgb


def path_data(lines):
    return " ".join("M" + " L".join("%.2f %.2f" % p for p in line) for line in lines)


def svg_text():
    lay = layout(256)
    left, top, right, bottom = lay.square
    e = lay.edge
    out = [
        '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">',
        "<defs>",
        '<linearGradient id="blue" x1="0" y1="0" x2="0" y2="1">'
        '<stop offset="0" stop-color="%s"/><stop offset="0.5" stop-color="%s"/>'
        '<stop offset="1" stop-color="%s"/></linearGradient>'
        % (hex_colour(BLUE_TOP), hex_colour(BLUE_MID), hex_colour(BLUE_BOTTOM)),
        '<linearGradient id="cream" x1="0" y1="0" x2="0" y2="1">'
        '<stop offset="0" stop-color="%s"/><stop offset="1" stop-color="%s"/></linearGradient>'
        % (hex_colour(CREAM_TOP), hex_colour(CREAM_BOTTOM)),
        "</defs>",
        '<rect x="%g" y="%g" width="%g" height="%g" rx="%g" fill="url(#blue)" stroke="%s" '
        'stroke-width="%g"/>' % (left + e / 2, top + e / 2, right - left - e, bottom - top - e,
                                 lay.radius - e / 2, hex_colour(BLUE_EDGE), e),
    ]
    for cx, cy, s, r in lay.cells:
        out.append('<rect x="%g" y="%g" width="%g" height="%g" rx="%g" fill="#ffffff" '
                   'fill-opacity="%g"/>' % (cx - s / 2, cy - s / 2, s, s, r, CELL[3]))
    for t in lay.tiles:
        h = t.size / 2
        out.append('<g transform="translate(%g %g) rotate(%g)">' % (t.cx, t.cy, t.angle))
        out.append('<rect x="%g" y="%g" width="%g" height="%g" rx="%g" fill="#000000" '
                   'fill-opacity="%g"/>' % (-h + t.shadow[0], -h + t.shadow[1], t.size, t.size,
                                            t.radius, SHADOW[3]))
        out.append('<rect x="%g" y="%g" width="%g" height="%g" rx="%g" fill="url(#cream)" '
                   'stroke="%s" stroke-width="%g"/>'
                   % (-h + t.edge / 2, -h + t.edge / 2, t.size - t.edge, t.size - t.edge,
                      t.radius - t.edge / 2, hex_colour(TILE_EDGE), t.edge))
        strokes = [(t.letter_lines(), t.stroke)]
        if t.points:
            strokes.append((t.points_lines(), t.size * 0.06))
        for lines, width in strokes:
            out.append('<path d="%s" fill="none" stroke="%s" stroke-width="%g" '
                       'stroke-linecap="round" stroke-linejoin="round"/>'
                       % (path_data(lines), hex_colour(INK), width))
        out.append("</g>")
    out.append("</svg>")
    return "\n".join(out) + "\n"


def main():
    root = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join(root, "resources", "icons"),
                        help="folder for zandupelix-N.png and zandupelix.svg")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    for size in SIZES:
        path = os.path.join(args.out, "zandupelix-%d.png" % size)
        with open(path, "wb") as f:
            f.write(png_bytes(render(size)))
        print(path, os.path.getsize(path), "bytes")
    path = os.path.join(args.out, "zandupelix.svg")
    with open(path, "w", encoding="ascii", newline="\n") as f:
        f.write(svg_text())
    print(path, os.path.getsize(path), "bytes")
    return 0


if __name__ == "__main__":
    sys.exit(main())
