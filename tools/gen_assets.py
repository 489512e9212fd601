#!/usr/bin/env python3
"""Draws the tool's bitmaps, icon and spinner and writes them into res/.

Standard library only. The output is fully determined by this file, so a
rerun rewrites byte-identical files.

    python3 tools/gen_assets.py [--out DIR]
"""

import argparse
import math
import os
import struct

BG = (235, 248, 255)  # the tool's background colour


# ---------------------------------------------------------------- drawing

def lerp(a, b, t):
    return a + (b - a) * t


def mix(c1, c2, t):
    return tuple(lerp(x, y, t) for x, y in zip(c1, c2))


def clamp01(t):
    return 0.0 if t < 0.0 else 1.0 if t > 1.0 else t


def smoothstep(e0, e1, x):
    t = clamp01((x - e0) / (e1 - e0))
    return t * t * (3.0 - 2.0 * t)


class Canvas:
    """Float RGBA canvas, premultiplication-free, composited with 'over'."""

    def __init__(self, w, h, fill=(0, 0, 0), alpha=1.0):
        self.w, self.h = w, h
        self.px = [[[float(fill[0]), float(fill[1]), float(fill[2]), alpha]
                    for _ in range(w)] for _ in range(h)]

    def blend(self, x, y, color, a):
        if a <= 0.0 or not (0 <= x < self.w and 0 <= y < self.h):
            return
        p = self.px[y][x]
        a = min(a, 1.0)
        out_a = a + p[3] * (1.0 - a)
        if out_a <= 0.0:
            return
        for i in range(3):
            p[i] = (color[i] * a + p[i] * p[3] * (1.0 - a)) / out_a
        p[3] = out_a

    def shape(self, inside, color_at, box=None, ss=4, opacity=1.0):
        """Fills the shape given by inside(x, y) with anti-aliased edges.

        color_at(x, y) gives the colour at a pixel centre; box limits the
        pixels visited (x0, y0, x1, y1), exclusive upper bounds.
        """
        x0, y0, x1, y1 = box if box else (0, 0, self.w, self.h)
        x0, y0 = max(0, int(x0)), max(0, int(y0))
        x1, y1 = min(self.w, int(math.ceil(x1))), min(self.h, int(math.ceil(y1)))
        offs = [(i + 0.5) / ss for i in range(ss)]
        n = float(ss * ss)
        for y in range(y0, y1):
            for x in range(x0, x1):
                hits = 0
                for oy in offs:
                    for ox in offs:
                        if inside(x + ox, y + oy):
                            hits += 1
                if hits:
                    self.blend(x, y, color_at(x + 0.5, y + 0.5), opacity * hits / n)

    def rgb(self, x, y):
        p = self.px[y][x]
        return tuple(max(0, min(255, int(round(v)))) for v in p[:3])

    def rgba(self, x, y):
        p = self.px[y][x]
        return self.rgb(x, y) + (max(0, min(255, int(round(p[3] * 255)))),)


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = clamp01(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def shield_inside(cx, top, half_w, height):
    """Shield outline: flat sides, a slight crown at the top, a pointed base."""
    shoulder = 0.42 * height

    def inside(x, y):
        u = (x - cx) / half_w
        v = y - top
        if abs(u) > 1.0:
            return False
        crown = 0.10 * height * (u * u - 1.0) * 0.5  # middle rises a little
        if v < crown + 0.05 * height * abs(u) ** 4:
            return False
        if v <= shoulder:
            return True
        t = (v - shoulder) / (height - shoulder)
        if t >= 1.0:
            return False
        return abs(u) <= (1.0 - t ** 1.7) ** 0.9
    return inside


def check_inside(pts, half_thick):
    def inside(x, y):
        for (ax, ay), (bx, by) in zip(pts, pts[1:]):
            if seg_dist(x, y, ax, ay, bx, by) <= half_thick:
                return True
        return False
    return inside


def draw_emblem(c, cx, top, half_w, height, rim, body_top, body_bottom,
                check=(255, 255, 255), rim_px=None, ss=4):
    """Shield with a rim, a vertical-gradient body, a gloss and a check mark."""
    rim_px = rim_px if rim_px is not None else max(1.0, half_w * 0.12)
    box = (cx - half_w - 1, top - 0.2 * height, cx + half_w + 1, top + height + 1)
    c.shape(shield_inside(cx, top, half_w, height), lambda x, y: rim, box, ss)
    ih = height - 2.4 * rim_px
    iw = half_w - rim_px
    itop = top + rim_px

    def body(x, y):
        return mix(body_top, body_bottom, clamp01((y - itop) / ih))
    c.shape(shield_inside(cx, itop, iw, ih), body, box, ss)
    # gloss over the left half
    inner = shield_inside(cx, itop, iw, ih)
    c.shape(lambda x, y: inner(x, y) and x < cx, lambda x, y: (255, 255, 255),
            box, ss, opacity=0.16)
    s = half_w
    pts = [(cx - 0.48 * s, top + 0.50 * height),
           (cx - 0.10 * s, top + 0.50 * height + 0.36 * s),
           (cx + 0.52 * s, top + 0.50 * height - 0.40 * s)]
    c.shape(check_inside(pts, max(0.9, 0.13 * s)), lambda x, y: check, box, ss)


# ---------------------------------------------------------------- banner

BAND_TOP = (16, 84, 166)
BAND_BOTTOM = (58, 146, 218)
BAND_END = 66  # rows [0, BAND_END) are the blue band


def band_row(y):
    """Colour of row y of the banner; the same for every piece."""
    if y < BAND_END:
        c = mix(BAND_TOP, BAND_BOTTOM, y / (BAND_END - 1))
        if y < 30:  # soft gloss on the upper part
            c = mix(c, (255, 255, 255), 0.10 * (1.0 - y / 30.0))
        return c
    edge = {66: (112, 184, 238), 67: (176, 220, 250), 68: (214, 238, 253),
            69: (228, 245, 255)}
    return edge.get(y, BG)


def banner_base(w, h):
    c = Canvas(w, h)
    for y in range(h):
        col = band_row(y)
        for x in range(w):
            p = c.px[y][x]
            p[0], p[1], p[2] = col
    return c


def band_only(inside):
    return lambda x, y: y < BAND_END and inside(x, y)


def make_banner_left():
    w, h = 300, 77
    c = banner_base(w, h)
    # glow behind the emblem, gone well before the right edge
    for y in range(BAND_END):
        for x in range(0, 200):
            d = math.hypot(x + 0.5 - 40, y + 0.5 - 33)
            c.blend(x, y, (255, 255, 255), 0.22 * (1.0 - smoothstep(0, 70, d)))
    # title plate: a lighter rounded strip ending at x = 268
    px0, py0, px1, py1, r = 80, 19, 268, 47, 8.0

    def plate(x, y):
        qx = max(px0 + r - x, 0, x - (px1 - r))
        qy = max(py0 + r - y, 0, y - (py1 - r))
        return math.hypot(qx, qy) <= r
    c.shape(plate, lambda x, y: (255, 255, 255), (px0, py0, px1, py1), 4,
            opacity=0.10)
    # thin light rule under the plate, fading towards the right
    for x in range(px0 + 4, 262):
        a = 0.45 * (1.0 - smoothstep(150, 262, x))
        c.blend(x, 52, (190, 228, 252), a)
    draw_emblem(c, 40, 9, 22, 50, (236, 246, 255), (96, 182, 246), (22, 92, 180))
    return c


def make_banner_middle():
    return banner_base(126, 77)


def make_banner_right():
    w, h = 567, 75
    c = banner_base(w, h)
    # faint rings around a point right of the emblem, fading in from the left
    cx, cy = 520.0, 30.0
    for y in range(BAND_END):
        for x in range(180, w):
            d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
            fade = smoothstep(200, 380, x)
            a = 0.0
            for radius in (48, 78, 112, 150, 192, 238):
                a = max(a, 1.0 - abs(d - radius) / 1.4)
            if a > 0:
                c.blend(x, y, (255, 255, 255), 0.10 * a * fade)
    # a scatter of small light dots along the band
    for i in range(40):
        x = 250 + (i * 97) % 300
        y = 6 + (i * 37) % 54
        r = 0.8 + (i % 3) * 0.4
        fade = smoothstep(250, 400, x)
        c.shape(band_only(lambda px, py, x=x, y=y, r=r: math.hypot(px - x, py - y) <= r),
                lambda px, py: (255, 255, 255), (x - 3, y - 3, x + 3, y + 3), 4,
                opacity=0.30 * fade)
    # watermark shield on the right
    wm = shield_inside(520, 8, 24, 54)
    c.shape(band_only(wm), lambda x, y: (255, 255, 255), (490, 0, 550, 66), 4,
            opacity=0.14)
    inner = shield_inside(520, 12, 20, 46)
    c.shape(band_only(inner), lambda x, y: mix((90, 170, 235), (30, 100, 190),
                                               clamp01((y - 12) / 46)),
            (490, 0, 550, 66), 4, opacity=0.55)
    pts = [(509, 34), (517, 42), (532, 26)]
    c.shape(check_inside(pts, 2.6), lambda x, y: (255, 255, 255), (490, 0, 550, 66), 4,
            opacity=0.85)
    return c


def make_separator():
    """340 x 1: fades in and out at the ends, blue-grey in the middle."""
    c = Canvas(340, 1)
    mid = (150, 190, 222)
    for x in range(340):
        t = min(smoothstep(0, 40, x), 1.0 - smoothstep(300, 340, x))
        col = mix(BG, mid, 0.25 + 0.75 * t)
        c.px[0][x][:3] = list(col)
    return c


# ---------------------------------------------------------------- buttons

def make_button(kind):
    w, h = 62, 28
    c = Canvas(w, h, BG)
    looks = {
        # frame, face top, face bottom, top edge shade
        'normal': ((52, 128, 204), (236, 247, 255), (178, 216, 246), None),
        'hover': ((40, 120, 210), (255, 255, 255), (226, 242, 255), None),
        'pressed': ((44, 98, 160), (150, 176, 202), (188, 208, 226), (104, 130, 158)),
        'disabled': ((172, 176, 182), (238, 239, 241), (218, 220, 223), None),
    }
    frame, top, bottom, shade = looks[kind]
    r = 3.0

    def rounded(x0, y0, x1, y1, rr):
        def inside(x, y):
            qx = max(x0 + rr - x, 0, x - (x1 - rr))
            qy = max(y0 + rr - y, 0, y - (y1 - rr))
            return math.hypot(qx, qy) <= rr
        return inside
    c.shape(rounded(0, 0, w, h, r), lambda x, y: frame, None, 4)

    def face(x, y):
        t = clamp01((y - 1) / (h - 2))
        col = mix(top, bottom, t)
        if kind in ('normal', 'hover') and y < h / 2:  # glossy upper half
            col = mix(col, (255, 255, 255), 0.35 * (1.0 - y / (h / 2)))
        if shade and y < 5:
            col = mix(shade, col, clamp01((y - 1) / 4))
        return col
    c.shape(rounded(1, 1, w - 1, h - 1, r - 1), face, None, 4)
    return c


# ---------------------------------------------------------------- icon

def make_icon_canvas(size):
    c = Canvas(size, size, (0, 0, 0), alpha=0.0)
    s = size / 32.0
    rim = (14, 64, 140)
    draw_emblem(c, size / 2.0, 1.2 * s, 13.2 * s, 29.6 * s, rim,
                (110, 190, 250), (24, 96, 196), rim_px=max(1.0, 1.6 * s), ss=8)
    return c


# ---------------------------------------------------------------- encoders

def dib_header(w, h, bpp, image_size, colours=0):
    return struct.pack('<IiiHHIIiiII', 40, w, h, 1, bpp, 0, image_size,
                       2835, 2835, colours, 0)


def rows_bottom_up(h):
    return range(h - 1, -1, -1)


def encode_bmp24(c):
    stride = (c.w * 3 + 3) & ~3
    data = bytearray()
    for y in rows_bottom_up(c.h):
        row = bytearray()
        for x in range(c.w):
            r, g, b = c.rgb(x, y)
            row += bytes((b, g, r))
        row += b'\0' * (stride - len(row))
        data += row
    dib = dib_header(c.w, c.h, 24, len(data)) + data
    return b'BM' + struct.pack('<IHHI', 14 + len(dib), 0, 0, 54) + dib


def median_cut(colours, n):
    """Palette of at most n colours from a list of (colour, count)."""
    boxes = [colours]
    while len(boxes) < n:
        best = None
        for i, box in enumerate(boxes):
            if len(box) < 2:
                continue
            ranges = [max(c[0][k] for c in box) - min(c[0][k] for c in box) for k in range(3)]
            score = max(ranges)
            if best is None or score > best[0]:
                best = (score, i, ranges.index(score))
        if best is None or best[0] == 0:
            break
        _, i, k = best
        box = sorted(boxes.pop(i), key=lambda c: (c[0][k], c[0]))
        total = sum(cnt for _, cnt in box)
        acc, cut = 0, 1
        for j, (_, cnt) in enumerate(box):
            acc += cnt
            if acc * 2 >= total:
                cut = max(1, min(len(box) - 1, j + 1))
                break
        boxes[i:i] = [box[:cut], box[cut:]]
    pal = []
    for box in boxes:
        total = sum(cnt for _, cnt in box)
        pal.append(tuple(int(round(sum(col[k] * cnt for col, cnt in box) / total))
                         for k in range(3)))
    return pal


def nearest(pal, col, cache):
    idx = cache.get(col)
    if idx is None:
        idx = min(range(len(pal)), key=lambda i: (
            (pal[i][0] - col[0]) ** 2 + (pal[i][1] - col[1]) ** 2
            + (pal[i][2] - col[2]) ** 2, i))
        cache[col] = idx
    return idx


def palettise(pixels, max_colours):
    """pixels: list of rows of RGB tuples -> (palette, index rows)."""
    counts = {}
    for row in pixels:
        for col in row:
            counts[col] = counts.get(col, 0) + 1
    ordered = sorted(counts.items())
    if len(ordered) <= max_colours:
        pal = [col for col, _ in ordered]
    else:
        pal = median_cut(ordered, max_colours)
    cache = {}
    return pal, [[nearest(pal, col, cache) for col in row] for row in pixels]


def pack_indices(row, bpp):
    out = bytearray()
    if bpp == 8:
        out += bytes(row)
    elif bpp == 4:
        for i in range(0, len(row), 2):
            hi = row[i]
            lo = row[i + 1] if i + 1 < len(row) else 0
            out.append((hi << 4) | lo)
    elif bpp == 1:
        for i in range(0, len(row), 8):
            b = 0
            for j in range(8):
                if i + j < len(row) and row[i + j]:
                    b |= 0x80 >> j
            out.append(b)
    out += b'\0' * ((-len(out)) % 4)
    return bytes(out)


def rgbquads(pal, entries):
    pal = list(pal) + [(0, 0, 0)] * (entries - len(pal))
    return b''.join(bytes((b, g, r, 0)) for r, g, b in pal)


def encode_bmp8(c):
    pixels = [[c.rgb(x, y) for x in range(c.w)] for y in range(c.h)]
    pal, idx = palettise(pixels, 256)
    data = b''.join(pack_indices(idx[y], 8) for y in rows_bottom_up(c.h))
    dib = dib_header(c.w, c.h, 8, len(data), 256) + rgbquads(pal, 256) + data
    return b'BM' + struct.pack('<IHHI', 14 + len(dib), 0, 0, 14 + 40 + 1024) + dib


def icon_image(c, bpp):
    """One icon image: DIB header of double height, colours, XOR and AND masks."""
    mask = [[1 if c.rgba(x, y)[3] < 128 else 0 for x in range(c.w)] for y in range(c.h)]
    and_bits = b''.join(pack_indices(mask[y], 1) for y in rows_bottom_up(c.h))
    if bpp == 32:
        xor = bytearray()
        for y in rows_bottom_up(c.h):
            for x in range(c.w):
                r, g, b, a = c.rgba(x, y)
                if a == 0:
                    r = g = b = 0
                xor += bytes((b, g, r, a))
        colours = b''
    else:
        # opaque-ish pixels keep their colour; the rest is masked out
        pixels = [[c.rgb(x, y) if not mask[y][x] else None for x in range(c.w)]
                  for y in range(c.h)]
        solid = [[p for p in row if p] for row in pixels]
        pal, _ = palettise(solid, (1 << bpp) - 1)
        pal = [(0, 0, 0)] + pal  # entry 0 sits under the masked-out pixels
        cache = {}
        idx = [[nearest(pal[1:], p, cache) + 1 if p else 0 for p in row]
               for row in pixels]
        colours = rgbquads(pal, 1 << bpp)
        xor = b''.join(pack_indices(idx[y], bpp) for y in rows_bottom_up(c.h))
    header = dib_header(c.w, c.h * 2, bpp, len(xor) + len(and_bits))
    return header + colours + bytes(xor) + and_bits


def encode_ico(images):
    """images: list of (canvas, bpp) in directory order."""
    blobs = [(c, bpp, icon_image(c, bpp)) for c, bpp in images]
    out = bytearray(struct.pack('<HHH', 0, 1, len(blobs)))
    offset = 6 + 16 * len(blobs)
    for c, bpp, blob in blobs:
        out += struct.pack('<BBBBHHII', c.w % 256, c.h % 256, 16 if bpp == 4 else 0, 0,
                           1, bpp, len(blob), offset)
        offset += len(blob)
    for _, _, blob in blobs:
        out += blob
    return bytes(out)


# ---------------------------------------------------------------- GIF

def lzw_encode(indices, min_code_size):
    """GIF LZW: variable-width codes packed LSB first, clear code first."""
    clear = 1 << min_code_size
    eoi = clear + 1
    out = bytearray()
    acc = nbits = 0

    def emit(code, width):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    def reset():
        return {(i,): i for i in range(clear)}, eoi + 1, min_code_size + 1

    table, next_code, width = reset()
    emit(clear, width)
    prefix = ()
    for k in indices:
        cand = prefix + (k,)
        if cand in table:
            prefix = cand
            continue
        emit(table[prefix], width)
        if next_code < 4096:
            table[cand] = next_code
            next_code += 1
            # the decoder widens one code later than the encoder adds
            if next_code > (1 << width) and width < 12:
                width += 1
        else:
            emit(clear, width)
            table, next_code, width = reset()
        prefix = (k,)
    if prefix:
        emit(table[prefix], width)
    emit(eoi, width)
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def sub_blocks(data):
    out = bytearray()
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        out.append(len(chunk))
        out += chunk
    out.append(0)
    return bytes(out)


GIF_TRANSPARENT = 207
SPIN_CENTRE = 7.5
SPIN_DOTS = 7        # positions the bright dot takes
SPIN_RING = 5.0
SPIN_DOT_R = 1.55
SPIN_DIM = (186, 206, 228)
SPIN_BRIGHT = (24, 102, 204)


def spinner_palette():
    """256 entries: a blue ramp for the dots, a grey ramp, white at 207."""
    pal = []
    for i in range(64):      # 0..63: background -> dim dot -> bright dot
        t = i / 63.0
        if t < 0.5:
            pal.append(tuple(int(round(v)) for v in mix(BG, SPIN_DIM, t * 2)))
        else:
            pal.append(tuple(int(round(v)) for v in mix(SPIN_DIM, SPIN_BRIGHT, (t - 0.5) * 2)))
    while len(pal) < 256:
        g = int(round((len(pal) - 64) * 255 / 191))
        pal.append((g, g, g))
    pal[GIF_TRANSPARENT] = (255, 255, 255)
    return pal


def spinner_state(head, pal):
    """17 x 17 index image: dot k's brightness falls off behind the head."""
    cache = {}
    img = [[GIF_TRANSPARENT] * 17 for _ in range(17)]
    ss = 6
    offs = [(i + 0.5) / ss for i in range(ss)]
    for k in range(SPIN_DOTS):
        behind = (head - k) % SPIN_DOTS
        level = max(0.0, 1.0 - behind / 3.0)      # head, then a short tail
        ang = -math.pi / 2 + 2 * math.pi * k / SPIN_DOTS
        dx = SPIN_CENTRE + SPIN_RING * math.cos(ang)
        dy = SPIN_CENTRE + SPIN_RING * math.sin(ang)
        for y in range(int(dy - 2.5), int(dy + 3.5)):
            for x in range(int(dx - 2.5), int(dx + 3.5)):
                hits = sum(1 for oy in offs for ox in offs
                           if math.hypot(x + ox - dx, y + oy - dy) <= SPIN_DOT_R)
                if not hits:
                    continue
                cover = hits / float(ss * ss)
                col = mix(BG, mix(SPIN_DIM, SPIN_BRIGHT, level), cover)
                img[y][x] = nearest(pal[:64], tuple(int(round(v)) for v in col), cache)
    return img


def make_spinner_gif():
    pal = spinner_palette()
    out = bytearray(b'GIF89a')
    # 17 x 17, global table of 256, 8 bits of colour resolution, background 207
    out += struct.pack('<HHBBB', 17, 17, 0xF7, GIF_TRANSPARENT, 0)
    for r, g, b in pal:
        out += bytes((r, g, b))
    out += b'\x21\xFF\x0BNETSCAPE2.0\x03\x01' + struct.pack('<H', 0) + b'\x00'

    def frame(left, top, w, h, pixels):
        # disposal 1 (leave in place), transparent index set, delay 0
        out.extend(b'\x21\xF9\x04' + bytes((0x05,)) + struct.pack('<H', 0)
                   + bytes((GIF_TRANSPARENT, 0)))
        out.extend(b'\x2C' + struct.pack('<HHHHB', left, top, w, h, 0))
        out.append(8)
        out.extend(sub_blocks(lzw_encode(pixels, 8)))

    states = [spinner_state(i, pal) for i in range(SPIN_DOTS)]
    first = states[0]
    frame(0, 0, 17, 17, [v for row in first for v in row])
    frame(0, 0, 1, 1, [GIF_TRANSPARENT])  # holds the first picture one more tick
    for s in states[1:]:
        # every dot pixel is repainted, so each frame stands on its own
        px = [s[y][x] for y in range(1, 15) for x in range(1, 15)]
        frame(1, 1, 14, 14, px)
    # the loop restarts with the full first frame, which repaints every dot
    out.append(0x3B)
    return bytes(out)


# ---------------------------------------------------------------- manifest
# A template: the build fills in the version from CMakeLists.txt.

MANIFEST = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <assemblyIdentity type="win32" name="Orvane.Halvex.HalvexFix" version="@PROJECT_VERSION@" processorArchitecture="*"/>
  <description>HalvexFix</description>
  <dependency>
    <dependentAssembly>
      <assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0" processorArchitecture="*" publicKeyToken="6595b64144ccf1df" language="*"/>
    </dependentAssembly>
  </dependency>
  <trustInfo xmlns="urn:schemas-microsoft-com:asm.v3">
    <security>
      <requestedPrivileges>
        <requestedExecutionLevel level="requireAdministrator" uiAccess="false"/>
      </requestedPrivileges>
    </security>
  </trustInfo>
</assembly>
"""


# ---------------------------------------------------------------- main

def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument('--out', default=os.path.join(here, '..', 'res'))
    args = ap.parse_args()
    outputs = {
        'separator.bmp': lambda: encode_bmp24(make_separator()),
        'button_normal.bmp': lambda: encode_bmp8(make_button('normal')),
        'button_hover.bmp': lambda: encode_bmp8(make_button('hover')),
        'button_pressed.bmp': lambda: encode_bmp8(make_button('pressed')),
        'button_disabled.bmp': lambda: encode_bmp8(make_button('disabled')),
        'banner_left.bmp': lambda: encode_bmp24(make_banner_left()),
        'banner_middle.bmp': lambda: encode_bmp24(make_banner_middle()),
        'banner_right.bmp': lambda: encode_bmp24(make_banner_right()),
        'HalvexFix.ico': lambda: encode_ico([
            (make_icon_canvas(16), 4), (make_icon_canvas(16), 8),
            (make_icon_canvas(16), 32), (make_icon_canvas(32), 8),
            (make_icon_canvas(32), 32), (make_icon_canvas(48), 32)]),
        'scan.gif': make_spinner_gif,
        'HalvexFix.exe.manifest.in': lambda: MANIFEST.encode('utf-8'),
    }
    os.makedirs(args.out, exist_ok=True)
    for name, make in outputs.items():
        data = make()
        with open(os.path.join(args.out, name), 'wb') as f:
            f.write(data)
        print('%-24s %7d bytes' % (name, len(data)))


if __name__ == '__main__':
    main()
