#!/usr/bin/env python3
"""Draws the country flag pictures shipped in data/flags/.

Each flag is a 24x16 RGB PNG named after its FlagIndex in data/countries.dat,
so the order of FLAGS below must follow the order of the sections there.
Standard library only: shapes are rasterised at 4x4 subpixels and averaged,
which smooths circles and diagonals; stripe edges sit on whole pixels so they
stay crisp.

    python3 tools/art/make_flags.py [output-dir]    (default: data/flags)
"""

import os
import struct
import sys
import zlib

W, H = 24, 16
SS = 4  # subpixels per pixel and axis

# Pure white would vanish where the dialogs paint a flag with white as the
# transparent colour, so the white parts of the flags are a hair darker.
WHITE = (252, 252, 252)
BLACK = (0, 0, 0)


def rgb(hexcode):
    return tuple(int(hexcode[i:i + 2], 16) for i in (1, 3, 5))


class Canvas:
    def __init__(self, colour=WHITE):
        self.px = [[colour] * (W * SS) for _ in range(H * SS)]

    def _fill(self, x0, y0, x1, y1, inside, colour):
        """Paints every subpixel of the box whose centre passes inside(x, y)."""
        sx0 = max(0, int(x0 * SS))
        sy0 = max(0, int(y0 * SS))
        sx1 = min(W * SS, int(x1 * SS) + 1)
        sy1 = min(H * SS, int(y1 * SS) + 1)
        for sy in range(sy0, sy1):
            y = (sy + 0.5) / SS
            row = self.px[sy]
            for sx in range(sx0, sx1):
                x = (sx + 0.5) / SS
                if inside(x, y):
                    row[sx] = colour

    def rect(self, x0, y0, x1, y1, colour):
        self._fill(x0, y0, x1, y1,
                   lambda x, y: x0 <= x < x1 and y0 <= y < y1, colour)

    def pixels(self, points, colour):
        for x, y in points:
            self.rect(x, y, x + 1, y + 1, colour)

    def circle(self, cx, cy, r, colour):
        self._fill(cx - r, cy - r, cx + r, cy + r,
                   lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, colour)

    def polygon(self, pts, colour):
        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]

        def inside(x, y):
            hit = False
            j = len(pts) - 1
            for i in range(len(pts)):
                xi, yi = pts[i]
                xj, yj = pts[j]
                if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                    hit = not hit
                j = i
            return hit

        self._fill(min(xs), min(ys), max(xs), max(ys), inside, colour)

    def line(self, x0, y0, x1, y1, width, colour, clip=(0, 0, W, H)):
        dx, dy = x1 - x0, y1 - y0
        length2 = dx * dx + dy * dy
        half = width / 2
        cx0, cy0, cx1, cy1 = clip

        def inside(x, y):
            if not (cx0 <= x < cx1 and cy0 <= y < cy1):
                return False
            t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / length2))
            ex, ey = x0 + t * dx - x, y0 + t * dy - y
            return ex * ex + ey * ey <= half * half

        self._fill(min(x0, x1) - half, min(y0, y1) - half,
                   max(x0, x1) + half, max(y0, y1) + half, inside, colour)

    def hstripes(self, colours, weights=None, x0=0, y0=0, x1=W, y1=H):
        self._stripes(colours, weights, y0, y1,
                      lambda a, b, c: self.rect(x0, a, x1, b, c))

    def vstripes(self, colours, weights=None, x0=0, y0=0, x1=W, y1=H):
        self._stripes(colours, weights, x0, x1,
                      lambda a, b, c: self.rect(a, y0, b, y1, c))

    @staticmethod
    def _stripes(colours, weights, start, end, paint):
        weights = weights or [1] * len(colours)
        total = sum(weights)
        acc = 0
        edge = start
        for colour, weight in zip(colours, weights):
            acc += weight
            nxt = start + round((end - start) * acc / total)
            paint(edge, nxt, colour)
            edge = nxt

    def pixels_rgb(self):
        """Averages the subpixels down to the final 24x16 picture."""
        out = []
        n = SS * SS
        for y in range(H):
            row = []
            for x in range(W):
                r = g = b = 0
                for sy in range(y * SS, y * SS + SS):
                    for sx in range(x * SS, x * SS + SS):
                        pr, pg, pb = self.px[sy][sx]
                        r += pr
                        g += pg
                        b += pb
                row.append(((r + n // 2) // n, (g + n // 2) // n, (b + n // 2) // n))
            out.append(row)
        return out


def write_png(path, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    height, width = len(rows), len(rows[0])
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in rows)
    png = (b"\x89PNG\r\n\x1a\n"
           + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(raw, 9))
           + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(png)


# ---- reusable motifs --------------------------------------------------------

def nordic_cross(c, field, cross, border=None):
    """Scandinavian cross, offset towards the hoist; with a border colour the
    cross gets a one-pixel rim as in the Norwegian and Icelandic flags."""
    c.rect(0, 0, W, H, field)
    if border:
        c.rect(6, 0, 10, H, border)
        c.rect(0, 6, W, 10, border)
        c.rect(7, 0, 9, H, cross)
        c.rect(0, 7, W, 9, cross)
    else:
        c.rect(6, 0, 10, H, cross)
        c.rect(0, 6, W, 10, cross)


def union_jack(c, x0, y0, x1, y1, wide):
    """Union flag in the box; wide picks the thicker variant for a whole flag,
    otherwise the thin one that fits a canton."""
    blue, red = rgb("#012169"), rgb("#C8102E")
    w, h = x1 - x0, y1 - y0
    c.rect(x0, y0, x1, y1, blue)
    clip = (x0, y0, x1, y1)
    diag_white, diag_red = (3.0, 1.2) if wide else (1.6, 0.7)
    for a, b in (((x0, y0), (x1, y1)), ((x0, y1), (x1, y0))):
        c.line(a[0], a[1], b[0], b[1], diag_white, WHITE, clip)
        c.line(a[0], a[1], b[0], b[1], diag_red, red, clip)
    cx, cy = x0 + w // 2, y0 + h // 2
    if wide:
        c.rect(cx - 3, y0, cx + 3, y1, WHITE)
        c.rect(x0, cy - 3, x1, cy + 3, WHITE)
        c.rect(cx - 2, y0, cx + 2, y1, red)
        c.rect(x0, cy - 2, x1, cy + 2, red)
    else:
        c.rect(cx - 2, y0, cx + 2, y1, WHITE)
        c.rect(x0, cy - 2, x1, cy + 2, WHITE)
        c.rect(cx - 1, y0, cx + 1, y1, red)
        c.rect(x0, cy - 1, x1, cy + 1, red)


# ---- the flags, in the order of the sections of countries.dat ---------------

def australia(c):
    c.rect(0, 0, W, H, rgb("#012169"))
    union_jack(c, 0, 0, 12, 8, wide=False)
    # Commonwealth star under the canton, Southern Cross on the fly
    c.pixels([(6, 10), (5, 11), (6, 11), (7, 11), (6, 12)], WHITE)
    c.pixels([(18, 2), (15, 6), (21, 5), (18, 12), (19, 8)], WHITE)


def austria(c):
    c.hstripes([rgb("#C8102E"), WHITE, rgb("#C8102E")])


def belgium(c):
    c.vstripes([BLACK, rgb("#FDDA24"), rgb("#EF3340")])


def bulgaria(c):
    c.hstripes([WHITE, rgb("#00966E"), rgb("#D62612")])


def canada(c):
    red = rgb("#D80621")
    c.vstripes([red, WHITE, red], [1, 2, 1])
    leaf = [(0, -5), (1, -3), (2, -3.6), (1.7, -1), (3.8, -2.3), (3.3, -0.8),
            (4.6, -0.3), (2.5, 1.5), (3, 2.6), (0.5, 2.2), (0.4, 4.6), (-0.4, 4.6),
            (-0.5, 2.2), (-3, 2.6), (-2.5, 1.5), (-4.6, -0.3), (-3.3, -0.8),
            (-3.8, -2.3), (-1.7, -1), (-2, -3.6), (-1, -3)]
    c.polygon([(12 + x, 8.2 + y) for x, y in leaf], red)


def croatia(c):
    red, blue = rgb("#D52B1E"), rgb("#171796")
    c.hstripes([red, WHITE, blue])
    c.rect(10, 3, 14, 4, rgb("#3B8FD4"))  # crown band
    for y in range(4, 10):
        for x in range(10, 14):
            c.pixels([(x, y)], red if (x + y) % 2 == 0 else WHITE)
    c.rect(10, 9, 11, 10, rgb("#E8A8A8"))  # round the shield's foot
    c.rect(13, 9, 14, 10, rgb("#E8A8A8"))


def cyprus(c):
    c.polygon([(5.5, 8.5), (6.5, 6.5), (9, 5.5), (11, 5), (13, 5.3), (15, 4.8),
               (17, 4.2), (19.5, 2.8), (18.5, 4.6), (17.2, 6), (16.8, 7.8),
               (14, 8.6), (11, 9.3), (8, 9.3)], rgb("#D57800"))
    green = rgb("#4E5B31")
    c.line(7.5, 11, 11.5, 13, 1.2, green)
    c.line(16.5, 11, 12.5, 13, 1.2, green)


def czech_republic(c):
    c.hstripes([WHITE, rgb("#D7141A")])
    c.polygon([(0, 0), (12, 8), (0, 16)], rgb("#11457E"))


def denmark(c):
    # thinner than the other Nordic crosses, as on the real flag
    c.rect(0, 0, W, H, rgb("#C8102E"))
    c.rect(7, 0, 9, H, WHITE)
    c.rect(0, 7, W, 9, WHITE)


def estonia(c):
    c.hstripes([rgb("#0072CE"), BLACK, WHITE])


def finland(c):
    nordic_cross(c, WHITE, rgb("#002F6C"))


def france(c):
    c.vstripes([rgb("#002395"), WHITE, rgb("#ED2939")])


def germany(c):
    c.hstripes([BLACK, rgb("#DD0000"), rgb("#FFCE00")])


def greece(c):
    blue = rgb("#0D5EAF")
    c.hstripes([blue, WHITE] * 4 + [blue])
    c.rect(0, 0, 9, 9, blue)
    c.rect(0, 4, 9, 5, WHITE)
    c.rect(4, 0, 5, 9, WHITE)


def hungary(c):
    c.hstripes([rgb("#CD2A3E"), WHITE, rgb("#436F4D")])


def iceland(c):
    nordic_cross(c, rgb("#02529C"), rgb("#DC1E35"), WHITE)


def ireland(c):
    c.vstripes([rgb("#169B62"), WHITE, rgb("#FF883E")])


def italy(c):
    c.vstripes([rgb("#009246"), WHITE, rgb("#CE2B37")])


def latvia(c):
    carmine = rgb("#9E3039")
    c.hstripes([carmine, WHITE, carmine], [2, 1, 2])


def liechtenstein(c):
    c.hstripes([rgb("#002B7F"), rgb("#CE1126")])
    c.polygon([(3.5, 6.5), (3.5, 3), (5, 4.5), (6.5, 2), (8, 4.5), (9.5, 3), (9.5, 6.5)],
              rgb("#FFD83D"))


def lithuania(c):
    c.hstripes([rgb("#FDB913"), rgb("#006A44"), rgb("#C1272D")])


def luxembourg(c):
    c.hstripes([rgb("#ED2939"), WHITE, rgb("#00A1DE")])


def malta(c):
    c.vstripes([WHITE, rgb("#CF142B")])
    grey = rgb("#9C9C9C")
    c.rect(3, 1, 4, 6, grey)
    c.rect(1, 3, 6, 4, grey)


def monaco(c):
    c.hstripes([rgb("#CE1126"), WHITE])


def netherlands(c):
    c.hstripes([rgb("#AE1C28"), WHITE, rgb("#21468B")])


def norway(c):
    nordic_cross(c, rgb("#BA0C2F"), rgb("#00205B"), WHITE)


def poland(c):
    c.hstripes([WHITE, rgb("#DC143C")])


def portugal(c):
    c.vstripes([rgb("#006600"), rgb("#FF0000")], [2, 3])
    c.circle(10, 8, 4, rgb("#FFCC00"))
    c.circle(10, 8, 3, rgb("#E8B800"))
    c.rect(8.5, 5.5, 11.5, 10, rgb("#FF0000"))
    c.rect(9, 6, 11, 9.5, WHITE)
    c.rect(9.6, 6.8, 10.4, 8.8, rgb("#003399"))


def romania(c):
    c.vstripes([rgb("#002B7F"), rgb("#FCD116"), rgb("#CE1126")])


def slovakia(c):
    red = rgb("#EE1C25")
    c.hstripes([WHITE, rgb("#0B4EA2"), red])
    c.polygon([(4.5, 3), (11.5, 3), (11.5, 9.5), (8, 13), (4.5, 9.5)], WHITE)
    c.polygon([(5.2, 3.7), (10.8, 3.7), (10.8, 9.2), (8, 12), (5.2, 9.2)], red)
    c.rect(7.6, 4.5, 8.6, 10, WHITE)
    c.rect(6.6, 5.6, 9.6, 6.4, WHITE)
    c.rect(6.1, 7.3, 10.1, 8.1, WHITE)
    c.polygon([(5.6, 10), (10.4, 10), (8, 12)], rgb("#0B4EA2"))


def slovenia(c):
    c.hstripes([WHITE, rgb("#005DA4"), rgb("#ED1C24")])
    c.polygon([(4, 2), (10, 2), (10, 8), (7, 10.5), (4, 8)], rgb("#ED1C24"))
    c.polygon([(4.6, 2.6), (9.4, 2.6), (9.4, 7.7), (7, 9.7), (4.6, 7.7)], rgb("#005DA4"))
    c.polygon([(4.6, 7.7), (6, 5.5), (7, 6.5), (8, 5.5), (9.4, 7.7), (7, 9.7)], WHITE)
    c.pixels([(6, 3), (7, 3)], rgb("#FFDD00"))


def spain(c):
    red, yellow = rgb("#AA151B"), rgb("#F1BF00")
    c.hstripes([red, yellow, red], [1, 2, 1])
    c.rect(5.5, 4.5, 9.5, 5.5, rgb("#C8A000"))  # crown
    c.rect(6, 5.5, 7.5, 7.5, red)
    c.rect(7.5, 5.5, 9, 7.5, WHITE)
    c.rect(6, 7.5, 7.5, 9.5, WHITE)
    c.rect(7.5, 7.5, 9, 9.5, red)
    c.polygon([(6, 9.5), (9, 9.5), (7.5, 11)], red)
    c.rect(4.5, 6, 5.5, 10.5, rgb("#B0B0B0"))  # the two pillars
    c.rect(9.5, 6, 10.5, 10.5, rgb("#B0B0B0"))


def sweden(c):
    nordic_cross(c, rgb("#006AA7"), rgb("#FECC00"))


def switzerland(c):
    c.rect(0, 0, W, H, rgb("#DA291C"))
    c.rect(11, 3, 13, 13, WHITE)
    c.rect(7, 7, 17, 9, WHITE)


def united_kingdom(c):
    union_jack(c, 0, 0, W, H, wide=True)


def united_states(c):
    red = rgb("#B22234")
    c.hstripes([red, WHITE] * 6 + [red])
    c.rect(0, 0, 10, 9, rgb("#3C3B6E"))
    c.pixels([(x, y) for y in (1, 3, 5, 7) for x in (1, 3, 5, 7)], WHITE)
    c.pixels([(x, y) for y in (2, 4, 6) for x in (2, 4, 6, 8)], rgb("#B8B8CC"))


FLAGS = [
    australia, austria, belgium, bulgaria, canada, croatia, cyprus,
    czech_republic, denmark, estonia, finland, france, germany, greece,
    hungary, iceland, ireland, italy, latvia, liechtenstein, lithuania,
    luxembourg, malta, monaco, netherlands, norway, poland, portugal, romania,
    slovakia, slovenia, spain, sweden, switzerland, united_kingdom,
    united_states,
]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    outdir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "data", "flags")
    os.makedirs(outdir, exist_ok=True)
    for index, draw in enumerate(FLAGS):
        canvas = Canvas()
        draw(canvas)
        write_png(os.path.join(outdir, "%d.png" % index), canvas.pixels_rgb())
    print("%d flags written to %s" % (len(FLAGS), os.path.normpath(outdir)))


if __name__ == "__main__":
    main()
