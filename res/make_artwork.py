#!/usr/bin/env python3
"""Draws the splash picture (splash.bmp) and the program icon (setup.ico) of Orvel's Projects.

Standard library only, and only exact arithmetic (+ - * / sqrt, no trigonometry), so every run
on any machine writes the same bytes; a test regenerates both files and compares them.
"""

import argparse
import os
import struct
import sys
import zlib
from math import sqrt

SPLASH_WIDTH, SPLASH_HEIGHT = 550, 300
ICON_SIZES = (48, 32, 16)  # largest first: the order Explorer and the resource compiler expect

# ---------------------------------------------------------------------------------------------
# The stroke font: a geometric sans drawn as centre lines. Units: baseline y = 0, x-height 5,
# cap height 7, y upwards. Commands: ("M", x, y), ("L", x, y), ("C", c1x, c1y, c2x, c2y, x, y),
# ("E", cx, cy, rx, ry) for a whole ellipse, ("D", x, y) for a dot.
# ---------------------------------------------------------------------------------------------
KAPPA = 0.5523  # control-point distance of a cubic quarter circle


def _bowl(cx, cy, rx, ry):
    return [("E", cx, cy, rx, ry)]


GLYPHS = {
    "O": _bowl(3.4, 3.5, 3.3, 3.6),
    "P": [("M", 0.6, 0), ("L", 0.6, 7), ("L", 2.9, 7), ("C", 4.4, 7, 5.2, 6.1, 5.2, 5.1),
          ("C", 5.2, 4.1, 4.4, 3.2, 2.9, 3.2), ("L", 0.6, 3.2)],
    "S": [("M", 4.6, 6.1), ("C", 4.1, 6.8, 3.3, 7.1, 2.5, 7.1), ("C", 1.3, 7.1, 0.5, 6.4, 0.5, 5.4),
          ("C", 0.5, 3.3, 4.9, 4.0, 4.9, 1.8), ("C", 4.9, 0.6, 3.9, -0.1, 2.6, -0.1),
          ("C", 1.6, -0.1, 0.8, 0.3, 0.3, 1.0)],
    "a": _bowl(2.2, 2.5, 2.1, 2.6) + [("M", 4.3, 5.0), ("L", 4.3, 0)],
    "c": [("M", 4.3, 4.3), ("C", 3.9, 4.8, 3.3, 5.1, 2.6, 5.1), ("C", 1.4, 5.1, 0.5, 4.0, 0.5, 2.5),
          ("C", 0.5, 1.0, 1.4, -0.1, 2.6, -0.1), ("C", 3.3, -0.1, 3.9, 0.2, 4.3, 0.7)],
    "d": _bowl(2.2, 2.5, 2.1, 2.6) + [("M", 4.3, 7.4), ("L", 4.3, 0)],
    "e": [("M", 0.5, 2.6), ("L", 4.6, 2.6), ("C", 4.6, 4.1, 3.6, 5.1, 2.55, 5.1),
          ("C", 1.4, 5.1, 0.5, 4.0, 0.5, 2.5), ("C", 0.5, 1.0, 1.4, -0.1, 2.6, -0.1),
          ("C", 3.4, -0.1, 4.0, 0.3, 4.4, 0.9)],
    "g": _bowl(2.4, 2.5, 2.1, 2.6) + [("M", 4.5, 5.0), ("L", 4.5, -0.6),
                                       ("C", 4.5, -1.8, 3.6, -2.4, 2.4, -2.4),
                                       ("C", 1.6, -2.4, 0.9, -2.1, 0.5, -1.6)],
    "i": [("D", 0.6, 6.7), ("M", 0.6, 5.0), ("L", 0.6, 0)],
    "j": [("D", 1.2, 6.7), ("M", 1.2, 5.0), ("L", 1.2, -1.1), ("C", 1.2, -1.9, 0.8, -2.3, 0.0, -2.3)],
    "l": [("M", 0.6, 7.4), ("L", 0.6, 0)],
    "n": [("M", 0.6, 0), ("L", 0.6, 5.0), ("M", 0.6, 3.0), ("C", 0.6, 4.3, 1.5, 5.1, 2.5, 5.1),
          ("C", 3.6, 5.1, 4.4, 4.4, 4.4, 3.1), ("L", 4.4, 0)],
    "o": _bowl(2.6, 2.5, 2.15, 2.6),
    "p": [("M", 0.6, 5.0), ("L", 0.6, -2.4)] + _bowl(2.7, 2.5, 2.1, 2.6),
    "r": [("M", 0.6, 0), ("L", 0.6, 5.0), ("M", 0.6, 3.1), ("C", 0.6, 4.4, 1.5, 5.1, 2.6, 5.1),
          ("L", 3.2, 5.1)],
    "s": [("M", 3.9, 4.4), ("C", 3.5, 4.9, 2.9, 5.1, 2.2, 5.1), ("C", 1.2, 5.1, 0.5, 4.6, 0.5, 3.8),
          ("C", 0.5, 2.2, 4.1, 2.9, 4.1, 1.3), ("C", 4.1, 0.4, 3.3, -0.1, 2.2, -0.1),
          ("C", 1.4, -0.1, 0.7, 0.2, 0.2, 0.8)],
    "t": [("M", 1.2, 6.6), ("L", 1.2, 1.0), ("C", 1.2, 0.3, 1.6, -0.05, 2.3, -0.05), ("L", 2.8, 0),
          ("M", 0.0, 5.0), ("L", 2.7, 5.0)],
    "u": [("M", 0.6, 5.0), ("L", 0.6, 1.9), ("C", 0.6, 0.6, 1.4, -0.1, 2.5, -0.1),
          ("C", 3.6, -0.1, 4.4, 0.6, 4.4, 1.9), ("M", 4.4, 5.0), ("L", 4.4, 0)],
    "v": [("M", 0.2, 5.0), ("L", 2.3, 0), ("L", 4.4, 5.0)],
    "y": [("M", 0.2, 5.0), ("L", 2.4, 0), ("M", 4.6, 5.0), ("L", 2.0, -1.7),
          ("C", 1.7, -2.2, 1.3, -2.4, 0.6, -2.4)],
    "'": [("M", 0.4, 7.4), ("L", 0.3, 5.5)],
    ".": [("D", 0.4, 0.15)],
}
SPACE_ADVANCE = 2.4
CURVE_STEPS = 14


def _cubic(p0, p1, p2, p3, t):
    u = 1 - t
    return (u * u * u * p0 + 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t * p3)


def glyph_polylines(name):
    """The glyph's strokes as lists of points (dots are one-point lists)."""
    lines, current = [], None
    for cmd in GLYPHS[name]:
        kind = cmd[0]
        if kind == "M":
            current = [(cmd[1], cmd[2])]
            lines.append(current)
        elif kind == "L":
            current.append((cmd[1], cmd[2]))
        elif kind == "C":
            (x0, y0), (ax, ay, bx, by, x, y) = current[-1], cmd[1:]
            for i in range(1, CURVE_STEPS + 1):
                t = i / CURVE_STEPS
                current.append((_cubic(x0, ax, bx, x, t), _cubic(y0, ay, by, y, t)))
        elif kind == "E":
            lines.append(_ellipse(*cmd[1:]))
            current = None
        elif kind == "D":
            lines.append([(cmd[1], cmd[2])])
            current = None
    return lines


def _ellipse(cx, cy, rx, ry):
    """Four cubic quarter arcs, counter-clockwise from the right-hand point."""
    quarters = [((1, 0), (1, KAPPA), (KAPPA, 1), (0, 1)), ((0, 1), (-KAPPA, 1), (-1, KAPPA), (-1, 0)),
                ((-1, 0), (-1, -KAPPA), (-KAPPA, -1), (0, -1)), ((0, -1), (KAPPA, -1), (1, -KAPPA), (1, 0))]
    points = [(cx + rx, cy)]
    for q in quarters:
        for i in range(1, CURVE_STEPS + 1):
            t = i / CURVE_STEPS
            points.append((cx + rx * _cubic(q[0][0], q[1][0], q[2][0], q[3][0], t),
                           cy + ry * _cubic(q[0][1], q[1][1], q[2][1], q[3][1], t)))
    return points


def layout_text(text, tracking):
    """Polylines of the whole line in font units, and its width; glyphs are set by their ink."""
    lines, x = [], 0.0
    for ch in text:
        if ch == " ":
            x += SPACE_ADVANCE
            continue
        strokes = glyph_polylines(ch)
        left = min(px for s in strokes for px, _ in s)
        right = max(px for s in strokes for px, _ in s)
        for s in strokes:
            lines.append([(px - left + x, py) for px, py in s])
        x += right - left + tracking
    return lines, x - tracking


def text_segments(text, tracking, scale, left, baseline, slant=0.0):
    """Line segments in pixels (y down) for text whose ink starts at left, on baseline."""
    lines, width = layout_text(text, tracking)
    segments = []
    for line in lines:
        pts = [(left + (px + slant * py) * scale, baseline - py * scale) for px, py in line]
        if len(pts) == 1:
            pts.append(pts[0])
        segments.extend((a[0], a[1], b[0], b[1]) for a, b in zip(pts, pts[1:]))
    return segments, width * scale


# ---------------------------------------------------------------------------------------------
# Raster helpers: float RGB planes, coverage masks from distance fields.
# ---------------------------------------------------------------------------------------------
def hypot(dx, dy):
    return sqrt(dx * dx + dy * dy)  # math.hypot's rounding is the platform's; sqrt is exact


def clamp01(v):
    return 0.0 if v < 0.0 else 1.0 if v > 1.0 else v


def smoothstep(edge0, edge1, v):
    t = clamp01((v - edge0) / (edge1 - edge0))
    return t * t * (3 - 2 * t)


def distance_field(segments, width, height, reach):
    """Per pixel, the distance of its centre to the nearest segment (at most reach)."""
    dist = [reach] * (width * height)
    for x0, y0, x1, y1 in segments:
        dx, dy = x1 - x0, y1 - y0
        len2 = dx * dx + dy * dy
        xa = max(0, int(min(x0, x1) - reach))
        xb = min(width - 1, int(max(x0, x1) + reach) + 1)
        ya = max(0, int(min(y0, y1) - reach))
        yb = min(height - 1, int(max(y0, y1) + reach) + 1)
        for py in range(ya, yb + 1):
            cy = py + 0.5
            row = py * width
            for px in range(xa, xb + 1):
                cx = px + 0.5
                if len2 > 0:
                    t = ((cx - x0) * dx + (cy - y0) * dy) / len2
                    t = 0.0 if t < 0.0 else 1.0 if t > 1.0 else t
                    ex, ey = cx - (x0 + t * dx), cy - (y0 + t * dy)
                else:
                    ex, ey = cx - x0, cy - y0
                d = sqrt(ex * ex + ey * ey)
                if d < dist[row + px]:
                    dist[row + px] = d
    return dist


def blend(planes, index, colour, alpha):
    if alpha <= 0.0:
        return
    for c in range(3):
        planes[c][index] += (colour[c] - planes[c][index]) * alpha


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def to_bytes(planes, width, height):
    """Top-down RGB bytes from float planes in 0..1."""
    out = bytearray(width * height * 3)
    for i in range(width * height):
        for c in range(3):
            out[i * 3 + c] = int(clamp01(planes[c][i]) * 255 + 0.5)
    return out


# ---------------------------------------------------------------------------------------------
# The splash picture.
# ---------------------------------------------------------------------------------------------
NAVY = (0.055, 0.090, 0.250)
INDIGO = (0.180, 0.120, 0.420)
TEAL = (0.020, 0.430, 0.520)
WHITE = (1.0, 1.0, 1.0)
GLOWS = [  # centre x, y, radius, colour, strength: soft light pools
    (450, 40, 300, (0.45, 0.30, 0.85), 0.55),
    (60, 300, 260, (0.10, 0.75, 0.80), 0.45),
    (300, 135, 230, (0.35, 0.55, 0.95), 0.30),
]
BUBBLES = [  # centre x, y, radius, opacity: translucent discs with feathered rims
    (70, 60, 38, 0.07), (120, 95, 16, 0.09), (470, 215, 46, 0.06), (515, 150, 14, 0.10),
    (400, 255, 22, 0.08), (190, 250, 30, 0.05), (35, 175, 10, 0.10), (300, 30, 12, 0.07),
]


def bump(t):
    """1 at 0, falling smoothly to 0 at |t| = 1."""
    return (1 - t * t) * (1 - t * t) if -1 < t < 1 else 0.0


def wave(x, phase):
    """A gentle wave built from bumps, for the bands across the lower part."""
    return (bump((x - 140 - phase) / 220) * 22 - bump((x - 400 - phase) / 200) * 18
            + bump((x - 620 - phase) / 180) * 14)


def draw_background(planes, w, h):
    for y in range(h):
        for x in range(w):
            i = y * w + x
            t = clamp01(0.55 * x / w + 0.45 * y / h)
            base = mix(NAVY, INDIGO, smoothstep(0.0, 0.55, t)) if t < 0.55 else \
                mix(INDIGO, TEAL, smoothstep(0.55, 1.0, t))
            for c in range(3):
                planes[c][i] = base[c]
    for gx, gy, r, colour, strength in GLOWS:
        for y in range(max(0, gy - r), min(h, gy + r)):
            for x in range(max(0, gx - r), min(w, gx + r)):
                d2 = ((x - gx) * (x - gx) + (y - gy) * (y - gy)) / (r * r)
                if d2 < 1:
                    a = strength * (1 - d2) * (1 - d2)
                    i = y * w + x
                    for c in range(3):
                        planes[c][i] += (colour[c] - planes[c][i]) * a * 0.6


def draw_bands(planes, w, h):
    bands = [(238, 0, 16, (0.55, 0.85, 1.0), 0.13), (258, 60, 10, (0.75, 0.65, 1.0), 0.10)]
    for centre, phase, half, colour, opacity in bands:
        for x in range(w):
            yc = centre + wave(x, phase)
            for y in range(max(0, int(yc - half - 12)), min(h, int(yc + half + 12))):
                a = opacity * (1 - smoothstep(half - 6, half + 6, abs(y + 0.5 - yc)))
                blend(planes, y * w + x, colour, a)


def draw_bubbles(planes, w, h):
    for bx, by, r, opacity in BUBBLES:
        for y in range(max(0, by - r - 3), min(h, by + r + 3)):
            for x in range(max(0, bx - r - 3), min(w, bx + r + 3)):
                d = hypot(x + 0.5 - bx, y + 0.5 - by)
                a = opacity * (1 - smoothstep(r - 2.5, r + 2.5, d)) * (0.6 + 0.4 * d / r if d < r else 1.0)
                blend(planes, y * w + x, WHITE, a)


def draw_text(planes, w, h, segments, half, colour, shadow):
    """Stroked text with a soft drop shadow (offset 2, 3) and a faint glow around it."""
    reach = half + 10
    dist = distance_field(segments, w, h, reach)
    for y in range(h):
        for x in range(w):
            i = y * w + x
            sy, sx = y - 3, x - 2
            if shadow and 0 <= sy and 0 <= sx:
                ds = dist[sy * w + sx]
                blend(planes, i, (0.0, 0.02, 0.10), 0.42 * (1 - smoothstep(half - 2, half + 6, ds)))
            d = dist[i]
            if d < reach:
                blend(planes, i, (0.75, 0.90, 1.0), 0.12 * (1 - smoothstep(half, half + 9, d)))
                blend(planes, i, colour, clamp01(half + 0.5 - d))


def draw_rule(planes, w, y0, x0, x1):
    """A thin light line under the name, fading out at both ends."""
    for y in range(y0 - 2, y0 + 3):
        for x in range(x0, x1):
            t = (x - x0) / (x1 - x0)
            fade = smoothstep(0.0, 0.25, t) * (1 - smoothstep(0.75, 1.0, t))
            a = fade * (1 - smoothstep(0.6, 1.8, abs(y + 0.5 - y0)))
            blend(planes, y * w + x, (0.70, 0.92, 1.0), 0.8 * a)


def make_splash():
    w, h = SPLASH_WIDTH, SPLASH_HEIGHT
    planes = [[0.0] * (w * h) for _ in range(3)]
    draw_background(planes, w, h)
    draw_bands(planes, w, h)
    draw_bubbles(planes, w, h)
    title_scale = 6.4
    _, title_width = text_segments("Orvel's Projects", 1.25, title_scale, 0, 0, 0.1)
    title, _ = text_segments("Orvel's Projects", 1.25, title_scale, (w - title_width) / 2 - 6, 148, 0.1)
    draw_text(planes, w, h, title, 0.5 * title_scale, WHITE, True)
    draw_rule(planes, w, 178, 90, w - 90)
    sub_scale = 2.2
    _, sub_width = text_segments("Setup is getting ready...", 1.5, sub_scale, 0, 0)
    sub, _ = text_segments("Setup is getting ready...", 1.5, sub_scale, (w - sub_width) / 2, 208)
    draw_text(planes, w, h, sub, 0.85, (0.85, 0.95, 1.0), False)
    return to_bytes(planes, w, h)


def bmp_file(rgb, w, h):
    """A 24-bit BI_RGB BMP with bottom-up rows padded to 4 bytes."""
    stride = (w * 3 + 3) & ~3
    image = bytearray()
    for y in range(h - 1, -1, -1):
        row = rgb[y * w * 3:(y + 1) * w * 3]
        for x in range(w):
            image += bytes((row[x * 3 + 2], row[x * 3 + 1], row[x * 3]))
        image += b"\0" * (stride - w * 3)
    offset = 14 + 40
    header = struct.pack("<2sIHHI", b"BM", offset + len(image), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(image), 2835, 2835, 0, 0)
    return header + info + bytes(image)


# ---------------------------------------------------------------------------------------------
# The icon: a rounded tile in the splash colours with a white ring, the name's first letter.
# ---------------------------------------------------------------------------------------------
def icon_pixel(size, x, y):
    """(r, g, b, alpha) of one pixel centre, colours in 0..1."""
    u, v = (x + 0.5) / size, (y + 0.5) / size
    corner = 0.2
    qx, qy = max(abs(u - 0.5) - (0.5 - corner), 0.0), max(abs(v - 0.5) - (0.5 - corner), 0.0)
    outside = hypot(qx, qy) - corner
    alpha = clamp01(0.5 - outside * size)
    t = clamp01(0.5 * u + 0.5 * v)
    colour = mix(mix(NAVY, INDIGO, t * 2), TEAL, t * 2 - 1) if t > 0.5 else mix(NAVY, INDIGO, t * 2)
    glow = bump(min(hypot(u - 0.8, v - 0.15) / 0.6, 1.0)) * 0.5
    colour = mix(colour, (0.55, 0.40, 0.95), glow)
    ring = abs(hypot(u - 0.5, v - 0.5) - 0.27)
    half = max(0.085, 1.0 / size)
    cover = clamp01((half - ring) * size + 0.5)
    colour = mix(colour, WHITE, cover)
    return colour + (alpha,)


def make_icon_rgba(size):
    return [icon_pixel(size, x, y) for y in range(size) for x in range(size)]


def median_cut(colours, count):
    """Up to count palette colours for a {colour: pixels} table, and the colour -> index map."""
    boxes = [sorted(colours)]
    while len(boxes) < count:
        spans = [max(max(c[k] for c in b) - min(c[k] for c in b) for k in range(3)) if len(b) > 1 else -1
                 for b in boxes]
        widest = max(range(len(boxes)), key=lambda i: (spans[i], -i))
        if spans[widest] <= 0:
            break
        box = boxes.pop(widest)
        k = max(range(3), key=lambda k: (max(c[k] for c in box) - min(c[k] for c in box), -k))
        box.sort(key=lambda c: (c[k], c))
        boxes[widest:widest] = [box[:len(box) // 2], box[len(box) // 2:]]
    palette, index = [], {}
    for b in boxes:
        n = sum(colours[c] for c in b)
        palette.append(tuple((sum(c[k] * colours[c] for c in b) + n // 2) // n for k in range(3)))
        for c in b:
            index[c] = len(palette) - 1
    return palette, index


def icon_image(size):
    """One icon image: BITMAPINFOHEADER, 256 palette entries, 8-bit colour rows, AND mask."""
    pixels = make_icon_rgba(size)
    opaque = [p[3] >= 0.5 for p in pixels]
    rgb = [tuple(int(clamp01(p[k]) * 255 + 0.5) for k in range(3)) for p in pixels]
    table = {}
    for c, keep in zip(rgb, opaque):
        if keep:
            table[c] = table.get(c, 0) + 1
    palette, index = median_cut(table, 255)  # entry 0 stays black for the transparent pixels
    palette = [(0, 0, 0)] + palette + [(0, 0, 0)] * (255 - len(palette))
    colour_rows, mask_rows = bytearray(), bytearray()
    mask_stride = ((size + 31) // 32) * 4
    for y in range(size - 1, -1, -1):
        row = [index[rgb[y * size + x]] + 1 if opaque[y * size + x] else 0 for x in range(size)]
        colour_rows += bytes(row) + b"\0" * (((size + 3) & ~3) - size)
        bits = bytearray(mask_stride)
        for x in range(size):
            if not opaque[y * size + x]:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask_rows += bits
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, len(colour_rows) + len(mask_rows), 0, 0,
                       256, 0)
    quads = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    preview = [palette[index[rgb[i]] + 1] + (255,) if opaque[i] else (0, 0, 0, 0) for i in range(size * size)]
    return info + quads + bytes(colour_rows) + bytes(mask_rows), preview


def ico_file(images):
    """ICONDIR, one entry per (size, image), then the images."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 8, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


# ---------------------------------------------------------------------------------------------
# PNG previews, for people only (zlib's output may differ between versions; nothing checks it).
# ---------------------------------------------------------------------------------------------
def png_file(rows, w, h, colour_type, channels):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    raw = b"".join(b"\0" + bytes(rows[y * w * channels:(y + 1) * w * channels]) for y in range(h))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, colour_type, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def icon_sheet(previews):
    """The three icons at four times their size, side by side on a light grey ground."""
    zoom, gap = 4, 16
    w = sum(s * zoom for s in ICON_SIZES) + gap * (len(ICON_SIZES) + 1)
    h = ICON_SIZES[0] * zoom + 2 * gap
    sheet = bytearray(bytes((200, 200, 200)) * (w * h))
    left = gap
    for size in ICON_SIZES:
        for y in range(size * zoom):
            for x in range(size * zoom):
                r, g, b, a = previews[size][(y // zoom) * size + x // zoom]
                if a:
                    i = ((gap + y) * w + left + x) * 3
                    sheet[i:i + 3] = bytes((r, g, b))
        left += size * zoom + gap
    return png_file(sheet, w, h, 2, 3)


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.dirname(os.path.abspath(__file__)),
                        help="folder for splash.bmp and setup.ico (default: beside this script)")
    parser.add_argument("--png", metavar="DIR", help="also write PNG previews into DIR")
    args = parser.parse_args(argv)
    splash = make_splash()
    images, previews = [], {}
    for size in ICON_SIZES:
        data, previews[size] = icon_image(size)
        images.append((size, data))
    os.makedirs(args.out, exist_ok=True)
    write(os.path.join(args.out, "splash.bmp"), bmp_file(splash, SPLASH_WIDTH, SPLASH_HEIGHT))
    write(os.path.join(args.out, "setup.ico"), ico_file(images))
    if args.png:
        os.makedirs(args.png, exist_ok=True)
        write(os.path.join(args.png, "splash.png"), png_file(splash, SPLASH_WIDTH, SPLASH_HEIGHT, 2, 3))
        write(os.path.join(args.png, "icons.png"), icon_sheet(previews))
        for size in ICON_SIZES:
            rgba = bytearray(b for p in previews[size] for b in p)
            write(os.path.join(args.png, "setup-%d.png" % size), png_file(rgba, size, size, 6, 4))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
