#!/usr/bin/env python3
"""Draws the About picture, resources/splash.bmp.

600 x 188 pixels, 8 bits per pixel with a 256-colour table, bottom-up, uncompressed.
Pure red (255, 0, 0) is the transparent key: it has a palette entry of its own and no
opaque pixel uses it. The shape is a medallion joined to a badge with rounded ends;
everything outside it is the key colour.

Pure python3, no third-party modules:  python3 tools/make_splash_bitmap.py [out.bmp]
"""

import math
import struct
import sys

W, H = 600, 188
KEY = (255, 0, 0)

# ---------------------------------------------------------------- geometry helpers


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    L = dx * dx + dy * dy
    t = 0.0 if L == 0 else clamp(((px - ax) * dx + (py - ay) * dy) / L)
    ex, ey = px - (ax + t * dx), py - (ay + t * dy)
    return math.sqrt(ex * ex + ey * ey)


def lerp(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


# The outline: a medallion on the left overlapping a badge with rounded ends.
MED_C, MED_R = (96.0, 94.0), 88.0
BADGE_X0, BADGE_X1, BADGE_Y0, BADGE_Y1 = 60.0, 592.0, 21.0, 167.0
BADGE_R = (BADGE_Y1 - BADGE_Y0) / 2
BADGE_CY = (BADGE_Y0 + BADGE_Y1) / 2


def sd_medallion(x, y):
    return math.hypot(x - MED_C[0], y - MED_C[1]) - MED_R


def sd_badge(x, y):
    return seg_dist(x, y, BADGE_X0 + BADGE_R, BADGE_CY, BADGE_X1 - BADGE_R, BADGE_CY) - BADGE_R


def sd_shape(x, y):
    return min(sd_medallion(x, y), sd_badge(x, y))


# ---------------------------------------------------------------- canvas


class Canvas:
    def __init__(self):
        self.px = [[None] * W for _ in range(H)]  # None = transparent (key)

    def blend(self, x, y, colour, a):
        if a <= 0.0 or not (0 <= x < W and 0 <= y < H):
            return
        c = self.px[y][x]
        if c is None:
            return
        self.px[y][x] = lerp(c, colour, a)

    def draw_sdf(self, sdf, bbox, colour, alpha=1.0):
        """Paints where the signed distance (pixels) is negative, anti-aliased by
        coverage of the one-pixel band around the edge."""
        x0, y0, x1, y1 = (int(math.floor(v)) for v in bbox)
        for y in range(max(0, y0), min(H, y1 + 1)):
            for x in range(max(0, x0), min(W, x1 + 1)):
                d = sdf(x + 0.5, y + 0.5)
                cov = clamp(0.5 - d)
                if cov > 0.0:
                    self.blend(x, y, colour, cov * alpha)


# ---------------------------------------------------------------- stroke font
# Glyphs in font units, y up from the baseline: x-height 5, cap and digit height 7.
# Each glyph is a list of polylines; arcs are expanded into short segments.


def arc(cx, cy, r, a0, a1, rx=None):
    rx = r if rx is None else rx
    n = max(4, int(abs(a1 - a0) / 8))
    pts = []
    for i in range(n + 1):
        a = math.radians(a0 + (a1 - a0) * i / n)
        pts.append((cx + rx * math.cos(a), cy + r * math.sin(a)))
    return pts


GLYPHS = {
    "T": (5.6, [[(0, 7), (5.6, 7)], [(2.8, 7), (2.8, 0)]]),
    "u": (4.4, [[(0, 5), (0, 2.2)] + arc(2.2, 2.2, 2.2, 180, 360), [(4.4, 5), (4.4, 0)]]),
    "n": (4.4, [[(0, 5), (0, 0)], [(0, 2.8)] + arc(2.2, 2.8, 2.2, 180, 0) + [(4.4, 0)]]),
    "y": (4.4, [[(0, 5), (0, 2.2)] + arc(2.2, 2.2, 2.2, 180, 360),
                [(4.4, 5), (4.4, -0.6)] + arc(2.2, -0.6, 2.2, 0, -150)]),
    "r": (3.0, [[(0, 5), (0, 0)], [(0, 2.6)] + arc(2.6, 2.6, 2.6, 180, 90) + [(3.0, 5.2)]]),
    "a": (5.0, [arc(2.5, 2.5, 2.5, 0, 360), [(5.0, 5), (5.0, 0)]]),
    "v": (4.6, [[(0, 5), (2.3, 0), (4.6, 5)]]),
    "1": (2.6, [[(0.2, 5.6), (2.0, 7), (2.0, 0)]]),
    "0": (4.2, [arc(2.1, 3.5, 3.5, 0, 360, rx=2.1)]),
    ".": (0.4, [[(0.2, 0.2), (0.2, 0.2)]]),
    "b": (5.0, [[(0, 7.4), (0, 0)], arc(2.5, 2.5, 2.5, 0, 360)]),
    "e": (5.0, [[(0.1, 2.5), (5.0, 2.5)] + arc(2.5, 2.5, 2.5, 0, 318)]),
    "t": (3.2, [[(1.1, 7), (1.1, 1.2)] + arc(2.5, 1.2, 1.4, 180, 290), [(0, 5), (3.2, 5)]]),
    " ": (1.8, []),
}


def text_width(text, gap):
    return sum(GLYPHS[c][0] for c in text) + gap * (len(text) - 1)


def text_segments(text, x, baseline, scale, gap):
    """Segments in pixels for `text` starting at x, with `gap` font units between
    glyphs."""
    segs = []
    pen = 0.0
    for c in text:
        adv, lines = GLYPHS[c]
        for line in lines:
            pts = [(x + (pen + u) * scale, baseline - v * scale) for u, v in line]
            if len(pts) == 1:
                pts = pts * 2
            for i in range(len(pts) - 1):
                segs.append((pts[i], pts[i + 1]))
        pen += adv + gap
    return segs


def draw_strokes(canvas, segs, width, colour, alpha=1.0, offset=(0.0, 0.0)):
    if not segs:
        return
    half = width / 2
    ox, oy = offset
    segs = [((a[0] + ox, a[1] + oy), (b[0] + ox, b[1] + oy)) for a, b in segs]
    # Each segment only near itself, so the cost follows the ink, not the box.
    xs = [p[0] for s in segs for p in s]
    ys = [p[1] for s in segs for p in s]
    bbox = (min(xs) - half - 2, min(ys) - half - 2, max(xs) + half + 2, max(ys) + half + 2)
    buckets = {}
    for s in segs:
        (ax, ay), (bx, by) = s
        for cy in range(int((min(ay, by) - half - 2) // 8), int((max(ay, by) + half + 2) // 8) + 1):
            buckets.setdefault(cy, []).append(s)

    def sdf(px, py):
        best = 1e9
        for (ax, ay), (bx, by) in buckets.get(int(py // 8), ()):
            d = seg_dist(px, py, ax, ay, bx, by)
            if d < best:
                best = d
        return best - half

    canvas.draw_sdf(sdf, bbox, colour, alpha)


# ---------------------------------------------------------------- the picture

RIM_DARK = (28, 22, 54)
RIM_GOLD = (240, 204, 112)
BADGE_LEFT = (46, 40, 118)
BADGE_RIGHT = (18, 116, 140)
MED_IN = (255, 222, 128)
MED_OUT = (222, 158, 46)
INK = (40, 26, 72)
WHITE = (250, 250, 255)
VERSION = (186, 214, 242)
NOTE = (250, 210, 100)


def base_colour(x, y):
    """The fill under everything: the badge gradient with a gloss, the golden
    medallion, and the two-tone rim along the outline."""
    sd = sd_shape(x, y)
    t = clamp((x - BADGE_X0) / (BADGE_X1 - BADGE_X0))
    c = lerp(BADGE_LEFT, BADGE_RIGHT, t)
    ty = (y - BADGE_Y0) / (BADGE_Y1 - BADGE_Y0)
    c = lerp(c, (255, 255, 255), 0.16 * clamp(1.0 - ty * 2.0) ** 1.5)  # gloss on the upper half
    c = lerp(c, (0, 0, 0), 0.22 * clamp(ty * 1.6 - 0.6))  # a little depth at the bottom
    md = sd_medallion(x, y)
    if md < 1.0:
        r = clamp(math.hypot(x - (MED_C[0] - 24), y - (MED_C[1] - 28)) / (MED_R * 1.5))
        gold = lerp(MED_IN, MED_OUT, r)
        c = lerp(c, gold, clamp(0.5 - md))
        # a thin dark ring where the medallion meets the badge
        c = lerp(c, RIM_DARK, clamp(1.6 - abs(md + 1.0)) * 0.85)
    # rim: a dark line at the very edge, gold inside it
    c = lerp(c, RIM_GOLD, clamp(sd + 5.5))
    c = lerp(c, RIM_DARK, clamp(sd + 2.3))
    return c


def draw_note_head(canvas, cx, cy, rx, ry, angle, colour, alpha=1.0):
    ca, sa = math.cos(math.radians(angle)), math.sin(math.radians(angle))

    def sdf(px, py):
        dx, dy = px - cx, py - cy
        u, v = dx * ca + dy * sa, -dx * sa + dy * ca
        k = math.hypot(u / rx, v / ry)
        return (k - 1.0) * min(rx, ry)

    r = max(rx, ry) + 2
    canvas.draw_sdf(sdf, (cx - r, cy - r, cx + r, cy + r), colour, alpha)


def draw_quad(canvas, pts, colour):
    """A convex quadrilateral, points in clockwise screen order."""
    edges = []
    for i in range(4):
        (ax, ay), (bx, by) = pts[i], pts[(i + 1) % 4]
        nx, ny = by - ay, -(bx - ax)
        L = math.hypot(nx, ny)
        edges.append((ax, ay, nx / L, ny / L))

    def sdf(px, py):
        return max((px - ax) * nx + (py - ay) * ny for ax, ay, nx, ny in edges)

    xs = [p[0] for p in pts]
    ys = [p[1] for p in pts]
    canvas.draw_sdf(sdf, (min(xs) - 2, min(ys) - 2, max(xs) + 2, max(ys) + 2), colour)


def eighth_pair(canvas, x1, y1, x2, y2, stem, colour, head=(11.5, 8.0), stem_w=3.6, beam=9.0):
    """Two beamed eighth notes, heads centred at (x1, y1) and (x2, y2)."""
    rx, ry = head
    for (x, y) in ((x1, y1), (x2, y2)):
        draw_note_head(canvas, x, y, rx, ry, -22, colour)
    sx1, sx2 = x1 + rx * 0.86, x2 + rx * 0.86
    top1, top2 = y1 - stem, y2 - stem
    draw_strokes(canvas, [((sx1, y1 - 2), (sx1, top1)), ((sx2, y2 - 2), (sx2, top2))], stem_w, colour)
    draw_quad(canvas, [(sx1 - stem_w / 2, top1), (sx2 + stem_w / 2, top2),
                       (sx2 + stem_w / 2, top2 + beam), (sx1 - stem_w / 2, top1 + beam)], colour)


def quarter_note(canvas, x, y, colour, alpha=1.0, stem=24.0):
    rx, ry = 6.2, 4.4
    draw_note_head(canvas, x, y, rx, ry, -22, colour, alpha)
    sx = x + rx * 0.84
    draw_strokes(canvas, [((sx, y - 1), (sx, y - stem))], 2.0, colour, alpha)


def render():
    canvas = Canvas()
    for y in range(H):
        row = canvas.px[y]
        for x in range(W):
            if sd_shape(x + 0.5, y + 0.5) < 0.0:
                row[x] = base_colour(x + 0.5, y + 0.5)

    # the medallion's motif: a beamed pair of eighth notes
    eighth_pair(canvas, 74, 128, 118, 114, 64, INK)

    # a staff with a short rising phrase, right of the version
    staff_x0, staff_x1, staff_top, gap = 404.0, 552.0, 114.0, 8.0
    lines = [((staff_x0, staff_top + i * gap), (staff_x1, staff_top + i * gap)) for i in range(5)]
    draw_strokes(canvas, lines, 1.4, WHITE, 0.38)
    phrase = [(428, 7), (460, 5), (492, 6), (524, 3)]  # half-spaces down from the top line
    for x, k in phrase:
        quarter_note(canvas, x + 1.5, staff_top + k * gap / 2 + 2.0, (0, 0, 0), alpha=0.35)
    for x, k in phrase:
        quarter_note(canvas, x, staff_top + k * gap / 2, NOTE)

    # the name, with a soft shadow
    scale, tgap = 8.8, 1.05
    name_x, name_base = 198.0, 96.0
    name = text_segments("Tunyra", name_x, name_base, scale, tgap)
    draw_strokes(canvas, name, 1.15 * scale + 3.0, (0, 0, 0), 0.22, offset=(3.0, 3.5))
    draw_strokes(canvas, name, 1.15 * scale, WHITE)

    vscale = 3.3
    version = text_segments("v1.00 beta", name_x + 4, 150.0, vscale, 1.0)
    draw_strokes(canvas, version, 0.62 * vscale + 0.6, VERSION)
    return canvas


# ---------------------------------------------------------------- 256 colours


def median_cut(colours, boxes):
    """colours: {rgb: count}. Splits the colour space into `boxes` boxes and returns
    their weighted means."""
    work = [list(colours.items())]
    while len(work) < boxes:
        best, best_i, best_axis = -1, -1, 0
        for i, box in enumerate(work):
            if len(box) < 2:
                continue
            for axis in range(3):
                vals = [c[axis] for c, _ in box]
                spread = (max(vals) - min(vals)) * math.log(1 + sum(n for _, n in box))
                if spread > best:
                    best, best_i, best_axis = spread, i, axis
        if best_i < 0:
            break
        box = sorted(work.pop(best_i), key=lambda cn: cn[0][best_axis])
        total = sum(n for _, n in box)
        acc, cut = 0, 1
        for j, (_, n) in enumerate(box):
            acc += n
            if acc * 2 >= total:
                cut = min(max(j + 1, 1), len(box) - 1)
                break
        work += [box[:cut], box[cut:]]
    palette = []
    for box in work:
        total = sum(n for _, n in box)
        palette.append(tuple(int(round(sum(c[a] * n for c, n in box) / total)) for a in range(3)))
    return palette


def quantise(canvas):
    exact = {}
    for row in canvas.px:
        for c in row:
            if c is not None:
                k = tuple(int(round(clamp(v, 0, 255))) for v in c)
                exact[k] = exact.get(k, 0) + 1
    palette = [KEY] + median_cut(exact, 255)
    # The key colour belongs to transparency alone.
    palette = [palette[0]] + [(254, 0, 0) if p == KEY else p for p in palette[1:]]
    while len(palette) < 256:
        palette.append((0, 0, 0))

    cache = {}

    def nearest(r, g, b):
        k = (int(r) >> 2, int(g) >> 2, int(b) >> 2)
        i = cache.get(k)
        if i is None:
            best = 1e18
            for j in range(1, 256):
                p = palette[j]
                d = (p[0] - r) ** 2 * 3 + (p[1] - g) ** 2 * 4 + (p[2] - b) ** 2 * 2
                if d < best:
                    best, i = d, j
            cache[k] = i
        return i

    # Floyd-Steinberg inside the shape only; no error leaks into the key colour.
    err = [[[0.0, 0.0, 0.0] for _ in range(W + 2)] for _ in range(2)]
    index = [[0] * W for _ in range(H)]
    for y in range(H):
        cur, nxt = err[0], err[1]
        for x in range(W):
            c = canvas.px[y][x]
            if c is None:
                index[y][x] = 0
                continue
            r = clamp(c[0] + cur[x + 1][0], 0, 255)
            g = clamp(c[1] + cur[x + 1][1], 0, 255)
            b = clamp(c[2] + cur[x + 1][2], 0, 255)
            i = nearest(r, g, b)
            index[y][x] = i
            p = palette[i]
            e = (r - p[0], g - p[1], b - p[2])
            for a in range(3):
                cur[x + 2][a] += e[a] * 7 / 16
                nxt[x][a] += e[a] * 3 / 16
                nxt[x + 1][a] += e[a] * 5 / 16
                nxt[x + 2][a] += e[a] * 1 / 16
        err = [nxt, [[0.0, 0.0, 0.0] for _ in range(W + 2)]]
    return palette, index


def check(canvas, palette, index):
    corners = [(0, 0), (W - 1, 0), (0, H - 1), (W - 1, H - 1)]
    assert all(canvas.px[y][x] is None for x, y in corners), "corners must be transparent"
    assert palette[0] == KEY and KEY not in palette[1:], "the key colour must not be used twice"
    for y in range(H):
        for x in range(W):
            opaque = canvas.px[y][x] is not None
            assert (index[y][x] != 0) == opaque
            assert not opaque or palette[index[y][x]] != KEY
    clear = sum(1 for row in canvas.px for c in row if c is None)
    return clear / (W * H)


def write_bmp(path, palette, index):
    stride = (W + 3) & ~3
    image = bytearray()
    for y in range(H - 1, -1, -1):  # bottom-up
        row = bytes(index[y])
        image += row + b"\0" * (stride - W)
    header_size = 14 + 40 + 256 * 4
    file_header = struct.pack("<2sIHHI", b"BM", header_size + len(image), 0, 0, header_size)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 8, 0, len(image), 2835, 2835, 256, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    with open(path, "wb") as f:
        f.write(file_header + info + table + image)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "resources/splash.bmp"
    canvas = render()
    palette, index = quantise(canvas)
    share = check(canvas, palette, index)
    write_bmp(out, palette, index)
    print(f"{out}: {W} x {H}, {share:.1%} transparent")


if __name__ == "__main__":
    main()
