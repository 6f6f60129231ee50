#!/usr/bin/env python3
"""Draws the skin pictures of the Windows programs (the scanner front of the main panel,
its lamp and button overlays, the multi-plate panel, the mode strip, the sensor marks and
the empty-plate pictures) as PNG files, and the resource-script lines that embed them.

    make_skin.py OUTDIR                       pictures + OUTDIR/skin.rc
    make_skin.py --preview OUTDIR PREVIEWDIR  the same, plus composed panels to look at

Standard library only: the build machines' Python has no imaging package. Shapes are
signed-distance functions sampled once per pixel (the distance gives the anti-aliasing);
the large empty plates are drawn as row spans. The output is the same bytes on every run.
"""
import math
import os
import struct
import sys
import zlib

# ---------------------------------------------------------------------------------------
# Raster helper


class Shape:
    """A signed distance (negative inside, in pixels) with the box it can touch."""

    def __init__(self, fn, box):
        self.fn, self.box = fn, box

    def __or__(self, o):
        f, g = self.fn, o.fn
        a, b = self.box, o.box
        return Shape(lambda x, y: min(f(x, y), g(x, y)),
                     (min(a[0], b[0]), min(a[1], b[1]), max(a[2], b[2]), max(a[3], b[3])))

    def __sub__(self, o):
        f, g = self.fn, o.fn
        return Shape(lambda x, y: max(f(x, y), -g(x, y)), self.box)

    def __and__(self, o):
        f, g = self.fn, o.fn
        a, b = self.box, o.box
        return Shape(lambda x, y: max(f(x, y), g(x, y)),
                     (max(a[0], b[0]), max(a[1], b[1]), min(a[2], b[2]), min(a[3], b[3])))

    def grow(self, k):
        f, b = self.fn, self.box
        return Shape(lambda x, y: f(x, y) - k, (b[0] - k, b[1] - k, b[2] + k, b[3] + k))

    def band(self, w):
        """The inner band of width w along the edge."""
        f = self.fn
        return Shape(lambda x, y: abs(f(x, y) + w / 2) - w / 2, self.box)


def rrect(x0, y0, x1, y1, r=0.0):
    cx, cy, hw, hh = (x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2 - r, (y1 - y0) / 2 - r

    def fn(x, y):
        qx, qy = abs(x - cx) - hw, abs(y - cy) - hh
        if qx > 0 and qy > 0:
            return math.hypot(qx, qy) - r
        return max(qx, qy) - r
    return Shape(fn, (x0, y0, x1, y1))


def circle(cx, cy, r):
    return Shape(lambda x, y: math.hypot(x - cx, y - cy) - r, (cx - r, cy - r, cx + r, cy + r))


def ellipse(cx, cy, rx, ry):
    def fn(x, y):
        u, v = (x - cx) / rx, (y - cy) / ry
        k = math.hypot(u, v)
        g = math.hypot(u / rx, v / ry)
        return (k - 1) * k / g if g > 1e-9 else -min(rx, ry)
    return Shape(fn, (cx - rx, cy - ry, cx + rx, cy + ry))


def segment(ax, ay, bx, by, r):
    dx, dy = bx - ax, by - ay
    ll = float(dx * dx + dy * dy) or 1.0

    def fn(x, y):
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / ll))
        return math.hypot(x - ax - t * dx, y - ay - t * dy) - r
    return Shape(fn, (min(ax, bx) - r, min(ay, by) - r, max(ax, bx) + r, max(ay, by) + r))


def polyline(points, r):
    s = segment(*points[0], *points[1], r)
    for a, b in zip(points[1:], points[2:]):
        s = s | segment(*a, *b, r)
    return s


def polygon(points):
    """Convex polygon, points clockwise on screen (y down)."""
    edges = []
    for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
        n = math.hypot(bx - ax, by - ay)
        edges.append((ax, ay, (by - ay) / n, -(bx - ax) / n))

    def fn(x, y):
        return max((x - ax) * nx + (y - ay) * ny for ax, ay, nx, ny in edges)
    xs, ys = [p[0] for p in points], [p[1] for p in points]
    return Shape(fn, (min(xs), min(ys), max(xs), max(ys)))


def arc(cx, cy, r, a0, a1, w):
    """Stroke of width w along the circle from angle a0 to a1 (degrees, clockwise on screen)."""
    m, h = math.radians((a0 + a1) / 2), math.radians(a1 - a0) / 2
    ex = [(cx + r * math.cos(math.radians(a)), cy + r * math.sin(math.radians(a))) for a in (a0, a1)]

    def fn(x, y):
        dx, dy = x - cx, y - cy
        ang = math.atan2(dy, dx) - m
        ang = (ang + math.pi) % (2 * math.pi) - math.pi
        if abs(ang) <= h:
            return abs(math.hypot(dx, dy) - r) - w / 2
        return min(math.hypot(x - px, y - py) for px, py in ex) - w / 2
    return Shape(fn, (cx - r - w, cy - r - w, cx + r + w, cy + r + w))


def vgrad(y0, y1, c0, c1):
    def fn(x, y):
        t = min(1.0, max(0.0, (y - y0) / (y1 - y0)))
        return tuple(a + (b - a) * t for a, b in zip(c0, c1))
    return fn


def rgrad(cx, cy, r, c0, c1):
    def fn(x, y):
        t = min(1.0, math.hypot(x - cx, y - cy) / r)
        return tuple(a + (b - a) * t for a, b in zip(c0, c1))
    return fn


def aa(d):
    return 0.5 - d


def glow(radius, inner=1.0):
    """Coverage that fades outside the shape over `radius` pixels."""
    def fn(d):
        return inner if d <= 0 else inner * math.exp(-3.0 * d / radius)
    return fn


class Canvas:
    """Premultiplied RGBA in floats, 0..255 for colours, 0..1 for alpha."""

    def __init__(self, w, h):
        self.w, self.h = w, h
        n = w * h
        self.r, self.g, self.b, self.a = [0.0] * n, [0.0] * n, [0.0] * n, [0.0] * n

    def rows(self, y0, y1, paint):
        """Opaque fill of whole rows with a colour that depends on y only (fast path)."""
        w = self.w
        for y in range(max(0, y0), min(self.h, y1)):
            c = paint(0, y + 0.5)
            i = y * w
            self.r[i:i + w], self.g[i:i + w], self.b[i:i + w] = [c[0]] * w, [c[1]] * w, [c[2]] * w
            self.a[i:i + w] = [1.0] * w

    def draw(self, shape, paint, alpha=1.0, cover=aa, pad=1):
        fn = shape.fn
        x0, y0, x1, y1 = shape.box
        xa, xb = max(0, int(math.floor(x0)) - pad), min(self.w, int(math.ceil(x1)) + pad)
        ya, yb = max(0, int(math.floor(y0)) - pad), min(self.h, int(math.ceil(y1)) + pad)
        const = None if callable(paint) else paint
        R, G, B, A, w = self.r, self.g, self.b, self.a, self.w
        for y in range(ya, yb):
            py = y + 0.5
            for x in range(xa, xb):
                c = cover(fn(x + 0.5, py))
                if c <= 0.0:
                    continue
                if c > 1.0:
                    c = 1.0
                c *= alpha
                col = const or paint(x + 0.5, py)
                i = y * w + x
                k = 1.0 - c
                R[i] = col[0] * c + R[i] * k
                G[i] = col[1] * c + G[i] * k
                B[i] = col[2] * c + B[i] * k
                A[i] = c + A[i] * k

    def text(self, s, x, y, scale, colour, alpha=1.0, sx=None, gap=1):
        """Block letters from FONT; each lit cell is a rectangle, coverage is its exact area."""
        sx = sx or scale
        cov = {}
        for ch in s:
            rows = FONT[ch]
            for j, row in enumerate(rows):
                for k, bit in enumerate(row):
                    if bit != '#':
                        continue
                    cx0, cy0 = x + k * sx, y + j * scale
                    cx1, cy1 = cx0 + sx, cy0 + scale
                    for py in range(int(cy0), int(math.ceil(cy1))):
                        oy = min(cy1, py + 1) - max(cy0, py)
                        for px in range(int(cx0), int(math.ceil(cx1))):
                            ox = min(cx1, px + 1) - max(cx0, px)
                            cov[(px, py)] = cov.get((px, py), 0.0) + ox * oy
            x += (len(rows[0]) + gap) * sx
        for (px, py), c in sorted(cov.items()):
            if 0 <= px < self.w and 0 <= py < self.h:
                c = min(1.0, c) * alpha
                i, k = py * self.w + px, 1.0 - min(1.0, c)
                self.r[i] = colour[0] * c + self.r[i] * k
                self.g[i] = colour[1] * c + self.g[i] * k
                self.b[i] = colour[2] * c + self.b[i] * k
                self.a[i] = c + self.a[i] * k

    def settle(self, box):
        """Makes the bounding box of the pixels with alpha >= 128 exactly `box` (x, y, w, h):
        nothing outside it reaches 128, and each edge of it has a pixel that does. Edges are
        drawn to reach the box already; this only evens out a rounding at a corner."""
        bx, by, bw, bh = box
        lim = 127.4 / 255
        for y in range(self.h):
            for x in range(self.w):
                i = y * self.w + x
                a = self.a[i]
                if a > lim and not (bx <= x < bx + bw and by <= y < by + bh):
                    f = lim / a
                    self.r[i] *= f
                    self.g[i] *= f
                    self.b[i] *= f
                    self.a[i] = lim
        full = 128.5 / 255
        edges = ([(x, by) for x in range(bx, bx + bw)], [(x, by + bh - 1) for x in range(bx, bx + bw)],
                 [(bx, y) for y in range(by, by + bh)], [(bx + bw - 1, y) for y in range(by, by + bh)])
        for edge in edges:
            idx = [y * self.w + x for x, y in edge]
            best = max(idx, key=lambda i: self.a[i])
            a = self.a[best]
            if a >= full:
                continue
            if a < 0.25:
                raise SystemExit("skin artwork misses its area %r" % (box,))
            f = full / a
            self.r[best] *= f
            self.g[best] *= f
            self.b[best] *= f
            self.a[best] = full

    def raw(self, channels):
        """PNG scanlines (filter 0) of straight 8-bit colour."""
        out = bytearray()
        w = self.w
        for y in range(self.h):
            out.append(0)
            for i in range(y * w, y * w + w):
                a = self.a[i]
                if channels == 3:
                    out += bytes((_b(self.r[i]), _b(self.g[i]), _b(self.b[i])))
                elif a <= 0.0:
                    out += b"\0\0\0\0"
                else:
                    out += bytes((_b(self.r[i] / a), _b(self.g[i] / a), _b(self.b[i] / a), _b(a * 255)))
        return bytes(out)


def _b(v):
    v = int(v + 0.5)
    return 0 if v < 0 else 255 if v > 255 else v


def png(w, h, channels, raw, level=9):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    colour_type = 2 if channels == 3 else 6
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, colour_type, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, level)) + chunk(b"IEND", b""))


FONT = {
    'A': [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    'E': ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    'L': ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    'M': ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    'O': [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    'Q': [".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"],
    'R': ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    'U': ["#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    'V': ["#...#", "#...#", "#...#", ".#.#.", ".#.#.", "..#..", "..#.."],
    '1': ["..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."],
    '2': [".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"],
    '3': ["####.", "....#", "....#", ".###.", "....#", "....#", "####."],
}

# ---------------------------------------------------------------------------------------
# Colours and themes

WHITE = (255, 255, 255)


class Theme:
    def __init__(self, top, bottom, face_top, face_bottom, accent):
        self.top, self.bottom = top, bottom
        self.face_top, self.face_bottom = face_top, face_bottom
        self.accent = accent


STANDARD = Theme((62, 65, 71), (30, 32, 36), (74, 78, 85), (42, 45, 50), (96, 150, 220))
# The veterinary edition: the same front in a green-teal body.
VETERINARY = Theme((50, 72, 69), (22, 36, 35), (60, 88, 84), (32, 52, 50), (70, 200, 175))

# Lamp colours: edge tint, body, hot core.
LAMPS = {
    "BLUE": ((30, 110, 255), (70, 160, 255), (215, 238, 255)),
    "YELLOW": ((255, 196, 0), (255, 222, 60), (255, 250, 205)),
    "ORANGE": ((255, 96, 0), (255, 130, 30), (255, 222, 185)),
    "PURPLE": ((150, 40, 255), (180, 90, 255), (240, 215, 255)),
}

# ---------------------------------------------------------------------------------------
# Main panel (320 x 120)

FASCIA = (23, 7, 208, 115)           # the blue light guide runs along its edge
WINDOW = (153, 15, 208, 109)         # the lamp window, flush with the fascia's right end
UPPER = (153, 15, 208, 90)           # upper lamp chamber
LOWER = (153, 93, 208, 109)          # lower lamp chamber
BEZEL = (247, 40, 286, 78)           # reservation button ring
CAP = (271, 59, 271, 63, 15)         # reservation cap: a disc raised by 4 pixels (capsule)
SLOT = (38, 56, 140, 64)


def body(c, t, h):
    c.rows(0, h, vgrad(0, h, t.top, t.bottom))
    # Housing edges: a light top bevel and a dark bottom edge.
    c.rows(0, 1, lambda x, y: tuple(v + 30 for v in t.top))
    c.rows(h - 1, h, lambda x, y: (12, 13, 15))
    c.draw(rrect(-1, -1, c.w + 1, h + 1, 0).band(1.0), (0, 0, 0), 0.35)


def screw(c, x, y):
    c.draw(circle(x, y, 2.6), (18, 19, 21))
    c.draw(circle(x, y, 2.0), rgrad(x - 0.8, y - 0.8, 2.4, (120, 124, 130), (60, 63, 68)))
    c.draw(segment(x - 1.3, y + 1.3, x + 1.3, y - 1.3, 0.35), (30, 31, 34))


def main_panel(t):
    c = Canvas(320, 120)
    body(c, t, 120)
    fx0, fy0, fx1, fy1 = FASCIA
    # The raised fascia: a drop shadow, the face, the unlit light guide along its edge.
    c.draw(rrect(fx0 + 1, fy0 + 2, fx1 + 1, fy1 + 2, 11), (0, 0, 0), 0.45, cover=glow(3))
    c.draw(rrect(*FASCIA, 10), vgrad(fy0, fy1, t.face_top, t.face_bottom))
    c.draw(rrect(*FASCIA, 10).band(3), vgrad(fy0, fy1, (92, 98, 106), (58, 62, 68)))
    c.draw(rrect(fx0 + 3, fy0 + 3, fx1 - 3, fy1 - 3, 7).band(1), (20, 22, 25), 0.6)
    c.draw(rrect(fx0 + 4, fy0 + 4, fx1 - 4, fy0 + 5, 0), WHITE, 0.07)
    # Plate slot with its lip and an insertion mark.
    sx0, sy0, sx1, sy1 = SLOT
    c.draw(rrect(sx0 - 2, sy0 - 2, sx1 + 2, sy1 + 2, 5), vgrad(sy0, sy1, (28, 30, 33), (96, 102, 110)))
    c.draw(rrect(sx0, sy0, sx1, sy1, 3), vgrad(sy0, sy1, (2, 2, 3), (22, 24, 27)))
    c.draw(rrect(sx0 + 4, sy1 - 2, sx1 - 4, sy1 - 1, 0.5), (70, 76, 84), 0.5)
    mx = (sx0 + sx1) / 2
    c.draw(polygon([(mx - 5, 70), (mx + 5, 70), (mx, 74.5)]), t.accent, 0.8)
    c.text("ORVAQ", 38, 26, 1.4, (190, 195, 202), 0.9, gap=1.6)
    c.draw(rrect(38, 39, 140, 40, 0), t.accent, 0.5)
    # Lamp window: smoked glass in two chambers, with a reflection.
    wx0, wy0, wx1, wy1 = WINDOW
    c.draw(rrect(wx0 - 2, wy0 - 2, wx1, wy1 + 2, 8), (14, 15, 17))
    for box in (UPPER, LOWER):
        c.draw(rrect(*box, 6), vgrad(box[1], box[3], (32, 34, 40), (18, 19, 23)))
        c.draw(rrect(*box, 6).band(1.2), (80, 86, 96), 0.5)
    c.draw(polygon([(wx0 + 6, wy0 + 3), (wx0 + 22, wy0 + 3), (wx0 + 8, wy0 + 40), (wx0 + 4, wy0 + 40)]),
           WHITE, 0.06)
    # Control side: separation groove, the reservation button's bezel and cap.
    c.draw(rrect(214, 10, 215, 110, 0.5), (18, 19, 21), 0.7)
    c.draw(rrect(215, 10, 216, 110, 0.5), WHITE, 0.08)
    bx0, by0, bx1, by1 = BEZEL
    ring = ellipse((bx0 + bx1) / 2, (by0 + by1) / 2, (bx1 - bx0) / 2, (by1 - by0) / 2)
    c.draw(ring.grow(2), (0, 0, 0), 0.5, cover=glow(3))
    c.draw(ring, vgrad(by0, by1, (110, 116, 124), (40, 43, 48)))
    c.draw(ring.grow(-3), (12, 13, 15))
    cap = segment(*CAP)
    c.draw(cap, vgrad(44, 78, (70, 74, 80), (26, 28, 31)))
    c.draw(circle(271, 59, 13.5), vgrad(44, 74, (84, 89, 96), (52, 56, 62)))
    screw(c, 232, 100)
    screw(c, 232, 20)
    return c


def lamp_blue():
    edge, mid, core = LAMPS["BLUE"]
    c = Canvas(320, 120)
    face = rrect(*FASCIA, 10)
    c.draw(face.grow(-3), edge, 0.30, cover=lambda d: 0 if d > 0.5 else min(1.0, math.exp(-(-d) / 5.0)))
    c.draw(face.band(3.5), mid)
    c.draw(rrect(FASCIA[0] + 1.2, FASCIA[1] + 1.2, FASCIA[2] - 1.2, FASCIA[3] - 1.2, 9).band(1.2), core)
    c.settle((23, 7, 185, 108))
    return c


def lamp_chamber(c, box, name, fill=0.62):
    edge, mid, core = LAMPS[name]
    x0, y0, x1, y1 = box
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    r = max(x1 - x0, y1 - y0) / 1.6
    c.draw(rrect(*box, 6), rgrad(cx, cy, r, mid, edge), fill)
    c.draw(rrect(*box, 6).band(1.5), mid, 0.9)


def lamp_yellow():
    c = Canvas(320, 120)
    lamp_chamber(c, UPPER, "YELLOW", 0.8)
    edge, mid, core = LAMPS["YELLOW"]
    bar = rrect(174, 24, 187, 81, 6)
    c.draw(bar.grow(6), mid, 0.8, cover=glow(6))
    c.draw(bar, core)
    c.settle((153, 15, 55, 75))
    return c


def lamp_orange():
    c = Canvas(320, 120)
    lamp_chamber(c, UPPER, "ORANGE", 0.7)
    edge, mid, core = LAMPS["ORANGE"]
    dot = circle(180.5, 52.5, 13)
    c.draw(dot.grow(5), mid, 0.9, cover=glow(7))
    c.draw(dot, core)
    pip = rrect(164, 94, 197, 106, 6)
    c.draw(pip.grow(2), edge, 0.45, cover=glow(3))
    c.draw(pip, vgrad(94, 106, core, mid))
    c.settle((153, 15, 55, 91))
    return c


def lamp_purple():
    c = Canvas(320, 120)
    lamp_chamber(c, UPPER, "PURPLE", 0.7)
    lamp_chamber(c, LOWER, "PURPLE", 0.8)
    c.draw(rrect(158, 89, 203, 94, 0), LAMPS["PURPLE"][0], 0.75)
    edge, mid, core = LAMPS["PURPLE"]
    # Chevrons pointing down: a picture is coming in.
    for k, y in enumerate((26, 44, 62)):
        chev = polyline([(167, y), (180.5, y + 11), (194, y)], 3.2)
        c.draw(chev.grow(3), mid, 0.8, cover=glow(5))
        c.draw(chev, core, 0.55 + 0.2 * k)
    c.draw(rrect(166, 97, 195, 105, 4), core, 0.9)
    c.settle((153, 15, 55, 94))
    return c


def btn_close():
    c = Canvas(320, 120)
    x = segment(305.6, 5.6, 314.4, 14.4, 1.6) | segment(305.6, 14.4, 314.4, 5.6, 1.6)
    c.draw(x.grow(1), (0, 0, 0), 0.25)
    c.draw(x, vgrad(4, 16, (235, 237, 240), (185, 188, 194)))
    c.settle((304, 4, 12, 12))
    return c


def gear(cx, cy, r_out, r_root, teeth, hole):
    def fn(x, y):
        dx, dy = x - cx, y - cy
        rr = math.hypot(dx, dy)
        a = math.atan2(dy, dx) * teeth / (2 * math.pi)
        f = abs(a - round(a))  # 0 at a tooth's middle, 0.5 between teeth
        edge = r_out if f < 0.22 else r_root if f > 0.32 else r_out + (r_root - r_out) * (f - 0.22) / 0.1
        return max(rr - edge, hole - rr)
    return Shape(fn, (cx - r_out, cy - r_out, cx + r_out, cy + r_out))


def btn_param():
    c = Canvas(320, 120)
    g = gear(10.5, 10.5, 7.5, 5.6, 8, 2.1)
    c.draw(g.grow(1), (0, 0, 0), 0.25)
    c.draw(g, vgrad(3, 18, (232, 234, 238), (170, 174, 180)))
    c.settle((3, 3, 15, 15))
    return c


def btn_resize():
    c = Canvas(320, 120)
    box = rrect(306, 106, 319, 119)
    for k in (0, 4.5, 9):
        # Strokes along x + y = const, clipped to the grip's square.
        d = 425 + k + 0.6
        line = Shape(lambda x, y, d=d: abs(x + y - d) / math.sqrt(2) - 1.0, (306, 106, 319, 119))
        c.draw(line & box, (200, 204, 210))
    c.settle((306, 106, 13, 13))
    return c


def btn_reserv(state):
    c = Canvas(320, 120)
    if state == "FREE":
        bx0, by0, bx1, by1 = BEZEL
        ring = ellipse((bx0 + bx1) / 2, (by0 + by1) / 2, (bx1 - bx0) / 2, (by1 - by0) / 2)
        c.draw(ring.band(3.2), vgrad(by0, by1, (150, 235, 170), (50, 170, 90)))
        c.draw(ring.grow(-3.2), (60, 200, 110), 0.25, cover=lambda d: 0.5 - d if d > -2 else 0)
        c.settle((247, 40, 39, 38))
        return c
    lit = state == "ON"
    edge, top, hot = ((20, 120, 50), (70, 215, 110), (200, 255, 215)) if lit else \
        ((110, 20, 22), (200, 45, 45), (245, 150, 150))
    # The light spills into the bezel around the cap (below the opaque threshold).
    bx0, by0, bx1, by1 = BEZEL
    hole = ellipse((bx0 + bx1) / 2, (by0 + by1) / 2, (bx1 - bx0) / 2 - 3, (by1 - by0) / 2 - 3)
    c.draw(hole, top, 0.4)
    cap = segment(*CAP)
    c.draw(cap, vgrad(59, 78, top, edge))
    face = circle(271, 59, 13.5)
    c.draw(face, rgrad(267, 54, 17, hot, top))
    c.draw(face.band(1), WHITE, 0.25)
    c.settle((256, 44, 30, 34))
    return c


def transparent(w, h):
    return Canvas(w, h)

# ---------------------------------------------------------------------------------------
# Multi-plate panel (320 x 240) and mode strip (320 x 40)


BOXES = [(3, 5, 96, 211), (100, 5, 193, 211), (197, 5, 290, 211)]
ROTATE = [(41, 216, 63, 236), (138, 216, 160, 236), (235, 216, 257, 236)]
EXCHANGE = [(85, 214, 109, 237), (183, 214, 207, 237)]
CUT = (293, 34, 317, 50)
VALID = (294, 159, 317, 182)
MODE = (50, 2, 103, 37)


def well(c, box, r):
    x0, y0, x1, y1 = box
    c.draw(rrect(x0 - 1, y0 - 1, x1 + 1, y1 + 1, r + 1), WHITE, 0.07)
    c.draw(rrect(*box, r), (14, 15, 17))
    c.draw(rrect(x0, y0, x1, y0 + 4, 0) & rrect(*box, r), (0, 0, 0), 0.35)


def t4_panel(t):
    c = Canvas(320, 240)
    body(c, t, 240)
    c.rows(0, 1, lambda x, y: (16, 17, 19))
    for box in BOXES:
        x0, y0, x1, y1 = box
        well(c, (x0 - 1, y0 - 1, x1 + 1, y1 + 1), 6)
        c.draw(rrect(x0 + 10, y0 + 12, x1 - 10, y1 - 12, 5).band(1), (60, 64, 70), 0.5)
    for box in ROTATE + EXCHANGE + [CUT, VALID]:
        x0, y0, x1, y1 = box
        well(c, (x0 - 1.5, y0 - 1.5, x1 + 1.5, y1 + 1.5), 5)
    c.draw(rrect(296, 60, 297, 150, 0), (14, 15, 17), 0.6)
    c.draw(rrect(297, 60, 298, 150, 0), WHITE, 0.06)
    return c


def keycap(c, box, top, bottom, r=4):
    x0, y0, x1, y1 = box
    c.draw(rrect(*box, r), vgrad(y0, y1, top, bottom))
    c.draw(rrect(x0 + 1, y0 + 1, x1 - 1, y0 + 2, 0.5), WHITE, 0.22)
    c.draw(rrect(*box, r).band(1), (0, 0, 0), 0.3)


def cap_grey(c, box, r=4):
    keycap(c, box, (104, 110, 118), (62, 66, 72), r)


ICON = (236, 240, 244)


def t4_box(n):
    c = Canvas(320, 240)
    x0, y0, x1, y1 = BOXES[n]
    frame = rrect(*BOXES[n], 6)
    c.draw(frame.band(2.2), vgrad(y0, y1, (170, 182, 198), (112, 122, 136)))
    # Corner brackets in the accent colour, the slot number faint in the middle.
    for (ax, ay, sx, sy) in ((x0, y0, 1, 1), (x1, y0, -1, 1), (x0, y1, 1, -1), (x1, y1, -1, -1)):
        c.draw(polyline([(ax + sx * 4, ay + sy * 16), (ax + sx * 4, ay + sy * 4), (ax + sx * 16, ay + sy * 4)], 1.0),
               (200, 212, 228), 0.9)
    c.text(str(n + 1), (x0 + x1) / 2 - 12.5, (y0 + y1) / 2 - 17.5, 5, (170, 180, 195), 0.22)
    c.settle((x0, y0, x1 - x0, y1 - y0))
    return c


def arrow_head(x, y, dx, dy, size):
    """Triangle with its tip at (x, y) pointing along (dx, dy)."""
    n = math.hypot(dx, dy)
    dx, dy = dx / n, dy / n
    bx, by = x - dx * size, y - dy * size
    pts = [(x, y), (bx - dy * size * 0.7, by + dx * size * 0.7), (bx + dy * size * 0.7, by - dx * size * 0.7)]
    # Clockwise order for the distance function.
    cross = (pts[1][0] - pts[0][0]) * (pts[2][1] - pts[0][1]) - (pts[1][1] - pts[0][1]) * (pts[2][0] - pts[0][0])
    return polygon(pts if cross > 0 else [pts[0], pts[2], pts[1]])


def t4_rotate(n):
    c = Canvas(320, 240)
    box = ROTATE[n]
    cap_grey(c, box)
    cx, cy = (box[0] + box[2]) / 2, (box[1] + box[3]) / 2
    c.draw(arc(cx, cy + 0.5, 5.5, -60, 200, 1.9), ICON)
    a = math.radians(-60)
    c.draw(arrow_head(cx + 5.5 * math.cos(a) + 1.2, cy + 0.5 + 5.5 * math.sin(a) + 2.2, 0.6, 1, 4.2), ICON)
    c.settle((box[0], box[1], box[2] - box[0], box[3] - box[1]))
    return c


def t4_exchange(n):
    c = Canvas(320, 240)
    box = EXCHANGE[n]
    cap_grey(c, box)
    x0, y0, x1, y1 = box
    cy = (y0 + y1) / 2
    c.draw(segment(x0 + 6, cy - 3.5, x1 - 9, cy - 3.5, 1.0), ICON)
    c.draw(arrow_head(x1 - 4.5, cy - 3.5, 1, 0, 4.5), ICON)
    c.draw(segment(x0 + 9, cy + 3.5, x1 - 6, cy + 3.5, 1.0), ICON)
    c.draw(arrow_head(x0 + 4.5, cy + 3.5, -1, 0, 4.5), ICON)
    c.settle((x0, y0, x1 - x0, y1 - y0))
    return c


def t4_cut():
    c = Canvas(320, 240)
    x0, y0, x1, y1 = CUT
    cap_grey(c, CUT)
    cy = (y0 + y1) / 2
    # Scissors lying on their side: two finger rings and crossing blades.
    for sy in (-1, 1):
        c.draw(circle(x0 + 6, cy + sy * 3.2, 2.5).band(1.2), ICON)
        c.draw(segment(x0 + 8, cy + sy * 2.2, x1 - 4, cy - sy * 2.4, 0.9), ICON)
    c.draw(circle(x0 + 13, cy, 0.9), (60, 64, 70))
    c.settle((x0, y0, x1 - x0, y1 - y0))
    return c


def t4_valid():
    c = Canvas(320, 240)
    x0, y0, x1, y1 = VALID
    keycap(c, VALID, (96, 196, 112), (34, 120, 58), 11.5)
    c.draw(polyline([(x0 + 6, y0 + 12), (x0 + 10, y0 + 16), (x0 + 17, y0 + 7.5)], 1.5), ICON)
    c.settle((x0, y0, x1 - x0, y1 - y0))
    return c


def mode_strip(t):
    c = Canvas(320, 40)
    body(c, t, 40)
    c.rows(0, 1, lambda x, y: (16, 17, 19))
    x0, y0, x1, y1 = MODE
    well(c, (x0 - 1.5, y0 - 0.5, x1 + 1.5, y1 + 1.5), 6)
    c.draw(rrect(112, 19, 300, 20, 0), (14, 15, 17), 0.6)
    c.draw(rrect(112, 20, 300, 21, 0), WHITE, 0.06)
    return c


def plates_icon(c, count, box, colour, alpha):
    x0, y0, x1, y1 = box
    pw, gap = 9.0, 3.0
    total = 3 * pw + 2 * gap
    start = (x0 + x1) / 2 - total / 2
    for k in range(3):
        px = start + k * (pw + gap)
        p = rrect(px, y0 + 8, px + pw, y1 - 8, 2)
        if k < count:
            c.draw(p, colour, alpha)
        else:
            c.draw(p.band(1), colour, alpha * 0.45)


def mode_button(state):
    c = Canvas(320, 40)
    box = MODE
    if state == "OFF":
        keycap(c, box, (70, 74, 80), (44, 47, 52), 5)
        plates_icon(c, 0, box, (150, 155, 162), 0.8)
    else:
        keycap(c, box, (70, 170, 235), (26, 96, 170), 5)
        c.draw(rrect(*box, 5).band(2), (150, 215, 255), 0.5)
        plates_icon(c, 2 if state == "4C" else 3, box, ICON, 1.0)
    c.settle((box[0], box[1], box[2] - box[0], box[3] - box[1]))
    return c


def mark(w, h, box, scale, sx):
    c = Canvas(w, h)
    bx, by, bw, bh = box
    c.draw(rrect(bx, by, bx + bw, by + bh, min(3.0, bh / 4)), (24, 26, 30), 0.9)
    tw = (5 * 5 + 4) * sx
    x, y = bx + (bw - tw) / 2, by + (bh - 7 * scale) / 2
    if scale == int(scale):
        x, y = int(x), int(y)  # whole cells stay sharp at the small sizes
    c.text("LUMEQ", x, y, scale, WHITE, sx=sx)
    c.settle(box)
    return c

# ---------------------------------------------------------------------------------------
# Empty plates: grey, drawn as row spans (up to 2000 x 2000 pixels).


def _isect(a, b):
    out, i, j = [], 0, 0
    while i < len(a) and j < len(b):
        lo, hi = max(a[i][0], b[j][0]), min(a[i][1], b[j][1])
        if lo < hi:
            out.append((lo, hi))
        if a[i][1] < b[j][1]:
            i += 1
        else:
            j += 1
    return out


def _union(spans):
    out = []
    for lo, hi in sorted(spans):
        if out and lo <= out[-1][1]:
            out[-1] = (out[-1][0], max(out[-1][1], hi))
        else:
            out.append((lo, hi))
    return out


def _minus(a, b):
    out = []
    for lo, hi in a:
        cur = lo
        for blo, bhi in b:
            if bhi <= cur or blo >= hi:
                continue
            if blo > cur:
                out.append((cur, blo))
            cur = max(cur, bhi)
        if cur < hi:
            out.append((cur, hi))
    return out


def _rrect_span(x0, y0, x1, y1, r):
    def fn(y):
        if y < y0 or y > y1:
            return []
        dy = max(y0 + r - y, y - (y1 - r), 0.0)
        inset = r - math.sqrt(max(0.0, r * r - dy * dy)) if dy > 0 else 0.0
        return [(x0 + inset, x1 - inset)]
    return fn


def _circle_span(cx, cy, r):
    def fn(y):
        d = r * r - (y - cy) ** 2
        if d <= 0:
            return []
        h = math.sqrt(d)
        return [(cx - h, cx + h)]
    return fn


def _ring_span(outer, inner):
    return lambda y: _minus(outer(y), inner(y))


def plate(size):
    s = float(size)
    bg = 34
    sub = 4

    def grey(v0, v1, ya, yb):
        return lambda y: v0 + (v1 - v0) * min(1.0, max(0.0, (y - ya) / (yb - ya)))

    m, rr = 0.07 * s, 0.05 * s
    cx = cy = s / 2
    stroke = max(2.0, 0.009 * s)
    ring_r, ring_w = 0.25 * s, 0.045 * s
    bar = ring_w / math.sqrt(2) * 1.0

    def bar_span(y):
        inner = _circle_span(cx, cy, ring_r - ring_w / 2)(y)
        return _isect([(cx + (y - cy) - bar, cx + (y - cy) + bar)], inner)

    layers = [
        (grey(24, 20, 0, s), _rrect_span(m - 0.006 * s, m + 0.004 * s, s - m + 0.006 * s, s - m + 0.016 * s, rr)),
        (grey(150, 124, m, s - m), _rrect_span(m, m, s - m, s - m, rr)),
        (grey(182, 160, m, s - m), _ring_span(_rrect_span(m + 0.04 * s, m + 0.04 * s, s - m - 0.04 * s, s - m - 0.04 * s, 0.025 * s),
                                             _rrect_span(m + 0.04 * s + stroke, m + 0.04 * s + stroke, s - m - 0.04 * s - stroke,
                                                         s - m - 0.04 * s - stroke, 0.025 * s - stroke))),
        (grey(176, 160, m, s - m), _circle_span(m + 0.085 * s, m + 0.085 * s, 0.018 * s)),
        (lambda y: 206, _ring_span(_circle_span(cx, cy, ring_r), _circle_span(cx, cy, ring_r - ring_w))),
        (lambda y: 206, bar_span),
    ]
    raw = bytearray()
    for y in range(size):
        row = bytearray([bg]) * size
        for colour, spans in layers:
            subs = [spans(y + (k + 0.5) / sub) for k in range(sub)]
            union = _union([sp for ss in subs for sp in ss])
            if not union:
                continue
            v = int(colour(y + 0.5) + 0.5)
            solid = subs[0]
            for ss in subs[1:]:
                solid = _isect(solid, ss)
            whole = []
            for lo, hi in solid:
                a, b = int(math.ceil(lo)), int(math.floor(hi))
                if a < b:
                    row[a:b] = bytes([v]) * (b - a)
                    whole.append((a, b))
            for lo, hi in _minus([(math.floor(lo), math.ceil(hi)) for lo, hi in union], whole):
                for px in range(max(0, int(lo)), min(size, int(hi))):
                    cov = 0.0
                    for ss in subs:
                        for a, b in ss:
                            cov += max(0.0, min(b, px + 1) - max(a, px))
                    cov /= sub
                    if cov > 0:
                        row[px] = int(row[px] + (v - row[px]) * min(1.0, cov) + 0.5)
        rgb = bytearray(3 * size)
        rgb[0::3] = row
        rgb[1::3] = row
        rgb[2::3] = row
        raw.append(0)
        raw += rgb
    return bytes(raw)

# ---------------------------------------------------------------------------------------
# The picture set


def pictures():
    """(name, width, height, channels, drawer) for every skin picture, in resource order."""
    out = []

    def add(name, w, h, ch, fn):
        out.append((name, w, h, ch, fn))
    for suffix, theme in (("", STANDARD), ("_VET", VETERINARY)):
        add("LUMEQ_CONTROL" + suffix, 320, 120, 3, lambda t=theme: main_panel(t))
        add("LUMEQ_T4_CONTROL" + suffix, 320, 240, 3, lambda t=theme: t4_panel(t))
        add("LUMEQ_T4_MODE_CONTROL" + suffix, 320, 40, 3, lambda t=theme: mode_strip(t))
    add("LUMEQ_LED_BLUE", 320, 120, 4, lamp_blue)
    add("LUMEQ_LED_YELLOW", 320, 120, 4, lamp_yellow)
    add("LUMEQ_LED_ORANGE", 320, 120, 4, lamp_orange)
    add("LUMEQ_LED_PURPLE", 320, 120, 4, lamp_purple)
    add("LUMEQ_BTN_CLOSE", 320, 120, 4, btn_close)
    add("LUMEQ_BTN_PARAM", 320, 120, 4, btn_param)
    add("LUMEQ_BTN_RESIZE", 320, 120, 4, btn_resize)
    add("LUMEQ_BTN_RESERV", 320, 120, 4, lambda: btn_reserv("FREE"))
    add("LUMEQ_BTN_RESERV_ON", 320, 120, 4, lambda: btn_reserv("ON"))
    add("LUMEQ_BTN_RESERV_NO", 320, 120, 4, lambda: btn_reserv("NO"))
    # The shipped layout has no orientation arrows: these stay fully transparent.
    for way in ("UP", "LEFT", "DOWN", "RIGHT"):
        add("LUMEQ_SENSOR_" + way, 320, 120, 4, lambda: transparent(320, 120))
    for n in range(3):
        add("LUMEQ_T4_BOX_%d" % (n + 1), 320, 240, 4, lambda n=n: t4_box(n))
    for n in range(3):
        add("LUMEQ_T4_BOX_%d_ROTATE" % (n + 1), 320, 240, 4, lambda n=n: t4_rotate(n))
    add("LUMEQ_T4_BOX_1_2_EXCG", 320, 240, 4, lambda: t4_exchange(0))
    add("LUMEQ_T4_BOX_2_3_EXCG", 320, 240, 4, lambda: t4_exchange(1))
    add("LUMEQ_T4_CUT", 320, 240, 4, t4_cut)
    add("LUMEQ_T4_VALID", 320, 240, 4, t4_valid)
    add("LUMEQ_T4_MODE_4", 320, 40, 4, lambda: mode_button("4"))
    add("LUMEQ_T4_MODE_4C", 320, 40, 4, lambda: mode_button("4C"))
    add("LUMEQ_T4_MODE_OFF", 320, 40, 4, lambda: mode_button("OFF"))
    add("MARK_SENSOR_20", 32, 12, 4, lambda: mark(32, 12, (0, 1, 31, 10), 1, 1))
    add("MARK_SENSOR_40", 64, 24, 4, lambda: mark(64, 24, (0, 2, 63, 20), 2, 2))
    add("MARK_SENSOR_80", 88, 33, 4, lambda: mark(88, 33, (0, 3, 86, 27), 2.7, 2.6))
    add("EMPY_PLATE_FAST", 500, 500, 3, None)
    add("EMPY_PLATE_SD", 1000, 1000, 3, None)
    add("EMPY_PLATE_HD", 2000, 2000, 3, None)
    return out


def render(name, w, h, ch, fn):
    """Scanlines of one picture."""
    if fn is None:
        return plate(w)
    return fn().raw(ch)


def write(outdir, keep=None):
    os.makedirs(outdir, exist_ok=True)
    lines = []
    for name, w, h, ch, fn in pictures():
        raw = render(name, w, h, ch, fn)
        if keep is not None:
            keep[name] = (w, h, ch, raw)
        data = png(w, h, ch, raw, 6 if w >= 500 else 9)
        path = os.path.join(outdir, name + ".png")
        # Rewrite only on change, so an unchanged picture does not relink the programs.
        old = None
        if os.path.exists(path):
            with open(path, "rb") as f:
                old = f.read()
        if old != data:
            with open(path, "wb") as f:
                f.write(data)
        lines.append('%s RXSK "%s.png"\n' % (name, name))
    rc = "// Skin pictures, written by resources/make_skin.py.\n" + "".join(lines)
    with open(os.path.join(outdir, "skin.rc"), "w", newline="\n") as f:
        f.write(rc)


# ---------------------------------------------------------------------------------------
# Previews: the panel composed as the program shows it, doubled for a closer look.


class Picture:
    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = bytearray(w * h * 3)

    def put(self, kept, x0, y0, fade=1.0):
        w, h, ch, raw = kept
        stride = 1 + w * ch
        for y in range(h):
            row = raw[y * stride + 1:(y + 1) * stride]
            for x in range(w):
                p = row[x * ch:(x + 1) * ch]
                a = int((p[3] if ch == 4 else 255) * fade)
                if a == 0 or not (0 <= x0 + x < self.w and 0 <= y0 + y < self.h):
                    continue
                i = ((y0 + y) * self.w + x0 + x) * 3
                for k in range(3):
                    self.px[i + k] = (p[k] * a + self.px[i + k] * (255 - a) + 127) // 255

    def save(self, path, zoom=2):
        raw = bytearray()
        for y in range(self.h * zoom):
            row = self.px[(y // zoom) * self.w * 3:(y // zoom + 1) * self.w * 3]
            raw.append(0)
            for x in range(self.w):
                raw += row[x * 3:x * 3 + 3] * zoom
        with open(path, "wb") as f:
            f.write(png(self.w * zoom, self.h * zoom, 3, bytes(raw)))


def preview(kept, outdir):
    """Scenes of the panel as the program layers them, two to a row."""
    os.makedirs(outdir, exist_ok=True)
    keys = ["LUMEQ_BTN_CLOSE", "LUMEQ_BTN_PARAM"]
    boxes = ["LUMEQ_T4_BOX_1", "LUMEQ_T4_BOX_2", "LUMEQ_T4_BOX_3", "LUMEQ_T4_BOX_1_ROTATE",
             "LUMEQ_T4_BOX_2_ROTATE", "LUMEQ_T4_BOX_3_ROTATE", "LUMEQ_T4_BOX_1_2_EXCG",
             "LUMEQ_T4_BOX_2_3_EXCG", "LUMEQ_T4_CUT", "LUMEQ_T4_VALID"]

    def main_panel_with(vet, *overlays):
        v = "_VET" if vet else ""
        return [("LUMEQ_CONTROL" + v, 0)] + [(o, 0) for o in keys + list(overlays)]

    def with_t4(scene, vet=False, faded=False):
        v = "_VET" if vet else ""
        return scene + [("LUMEQ_T4_CONTROL" + v, 120)] + [
            (o, 120, 0.3 if faded and o == "LUMEQ_T4_BOX_3" else 1.0) for o in boxes
            if not (faded and o in ("LUMEQ_T4_BOX_3_ROTATE", "LUMEQ_T4_BOX_2_3_EXCG"))]

    def with_mode(scene, mode, vet=False):
        return scene + [("LUMEQ_T4_MODE_CONTROL" + ("_VET" if vet else ""), 120), ("LUMEQ_T4_MODE_" + mode, 120)]

    sheets = {
        "lamps.png": [main_panel_with(False, "LUMEQ_BTN_RESERV", "LUMEQ_BTN_RESIZE"),
                      main_panel_with(False, "LUMEQ_LED_BLUE", "LUMEQ_BTN_RESERV", "LUMEQ_BTN_RESIZE"),
                      main_panel_with(False, "LUMEQ_LED_YELLOW", "LUMEQ_BTN_RESERV", "LUMEQ_BTN_RESIZE"),
                      main_panel_with(False, "LUMEQ_LED_ORANGE", "LUMEQ_BTN_RESERV", "LUMEQ_BTN_RESIZE"),
                      main_panel_with(False, "LUMEQ_LED_PURPLE", "LUMEQ_BTN_RESERV", "LUMEQ_BTN_RESIZE"),
                      main_panel_with(False, "LUMEQ_LED_BLUE", "LUMEQ_LED_YELLOW", "LUMEQ_BTN_RESERV_ON",
                                      "LUMEQ_BTN_RESIZE"),
                      main_panel_with(True, "LUMEQ_LED_BLUE", "LUMEQ_LED_PURPLE", "LUMEQ_BTN_RESERV_NO",
                                      "LUMEQ_BTN_RESIZE"),
                      main_panel_with(True, "LUMEQ_LED_ORANGE", "LUMEQ_BTN_RESIZE")],
        "multiplate.png": [with_t4(main_panel_with(False, "LUMEQ_LED_BLUE", "LUMEQ_BTN_RESERV_ON")),
                           with_t4(main_panel_with(True, "LUMEQ_LED_PURPLE", "LUMEQ_BTN_RESERV_NO"), True, True),
                           with_mode(main_panel_with(False, "LUMEQ_LED_BLUE", "LUMEQ_BTN_RESERV"), "OFF"),
                           with_mode(main_panel_with(False, "LUMEQ_LED_BLUE", "LUMEQ_BTN_RESERV"), "4C"),
                           with_mode(main_panel_with(False, "LUMEQ_LED_ORANGE"), "4"),
                           with_mode(main_panel_with(True, "LUMEQ_LED_YELLOW", "LUMEQ_BTN_RESERV"), "4C", True)],
    }
    gap = 6
    for fname, scenes in sheets.items():
        heights = [120 + max([kept[n[0]][1] if n[1] else 0 for n in sc]) for sc in scenes]
        rows = [max(heights[k:k + 2]) for k in range(0, len(scenes), 2)]
        pic = Picture(2 * 320 + gap, sum(rows) + gap * (len(rows) - 1))
        for k, scene in enumerate(scenes):
            x, y = (k % 2) * (320 + gap), sum(rows[:k // 2]) + gap * (k // 2)
            for item in scene:
                pic.put(kept[item[0]], x, y + item[1], item[2] if len(item) > 2 else 1.0)
        pic.save(os.path.join(outdir, fname))
    # The marks where they go, on the smallest empty plate.
    pic = Picture(500, 500)
    pic.put(kept["EMPY_PLATE_FAST"], 0, 0)
    y = 10
    for name in ("MARK_SENSOR_20", "MARK_SENSOR_40", "MARK_SENSOR_80"):
        pic.put(kept[name], 500 - 16 - kept[name][0], y)
        y += kept[name][1] + 8
    pic.save(os.path.join(outdir, "plate_marks.png"), zoom=1)


def main(argv):
    if len(argv) == 4 and argv[1] == "--preview":
        kept = {}
        write(argv[2], kept)
        preview(kept, argv[3])
    elif len(argv) == 2:
        write(argv[1])
    else:
        sys.stderr.write("usage: make_skin.py OUTDIR | make_skin.py --preview OUTDIR PREVIEWDIR\n")
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
