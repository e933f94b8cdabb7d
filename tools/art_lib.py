"""Tiny raster for text art: shapes with coverage, shading levels 0..4, outlines."""
import math
import random

CHARS = " .-+#"
BAYER = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]
ASPECT = 2.0  # a character cell is about twice as tall as wide
SS = 4  # subsamples per axis


class Canvas:
    def __init__(self, w, h):
        self.w, self.h = w, h
        self.val = [[0.0] * w for _ in range(h)]
        self.ids = [[0] * w for _ in range(h)]
        self.outl = {}  # id -> outline level or None
        self.fixed = [[None] * w for _ in range(h)]
        self.dith = [[False] * w for _ in range(h)]
        self.next_id = 1

    def shape(self, inside, shade, outline=None, dither=False, bbox=None, blend=True):
        sid = self.next_id
        self.next_id += 1
        self.outl[sid] = outline
        x0, y0, x1, y1 = bbox if bbox else (0, 0, self.w, self.h)
        x0, y0 = max(0, int(x0) - 1), max(0, int(y0) - 1)
        x1, y1 = min(self.w, int(x1) + 2), min(self.h, int(y1) + 2)
        for r in range(y0, y1):
            for c in range(x0, x1):
                n = 0
                for i in range(SS):
                    for j in range(SS):
                        if inside(c + (j + 0.5) / SS, r + (i + 0.5) / SS):
                            n += 1
                if n == 0:
                    continue
                cov = n / (SS * SS)
                s = shade(c + 0.5, r + 0.5)
                if cov >= 0.5 or not blend:
                    if cov >= 0.5:
                        self.val[r][c] = s
                        self.ids[r][c] = sid
                        self.fixed[r][c] = None
                        self.dith[r][c] = dither
                elif blend and cov > 0.2 and self.fixed[r][c] is None:
                    self.val[r][c] = max(self.val[r][c], s * cov * 1.2)
        return sid

    def put(self, c, r, ch):
        if 0 <= c < self.w and 0 <= r < self.h:
            self.fixed[r][c] = ch

    def text(self, c, r, s):
        for i, ch in enumerate(s):
            if ch != "~":
                self.put(c + i, r, ch)

    def render(self):
        out = []
        for r in range(self.h):
            row = []
            for c in range(self.w):
                if self.fixed[r][c] is not None:
                    row.append(self.fixed[r][c])
                    continue
                sid = self.ids[r][c]
                ol = self.outl.get(sid)
                if sid and ol is not None:
                    edge = False
                    for dc, dr in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                        cc, rr = c + dc, r + dr
                        if not (0 <= cc < self.w and 0 <= rr < self.h):
                            continue
                        if self.ids[rr][cc] < sid:
                            edge = True
                    if edge:
                        row.append(CHARS[ol])
                        continue
                v = self.val[r][c]
                if self.dith[r][c]:
                    t = random.Random(c * 7919 + r * 104729 + 17).random()
                    q = int(math.floor(v + t))
                else:
                    q = int(round(v))
                q = max(0, min(4, q))
                row.append(CHARS[q])
            out.append("".join(row))
        return out


# geometry (x in columns, y in rows; distances in visual units = columns)
def ellipse(cx, cy, rx, ry):
    return lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def rrect(x0, y0, x1, y1, rad):
    """Rounded rectangle, rad in columns (vertical radius rad/ASPECT)."""
    ry = rad / ASPECT

    def f(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + rad), x1 - rad)
        cy = min(max(y, y0 + ry), y1 - ry)
        return ((x - cx) / rad) ** 2 + ((y - cy) / ry) ** 2 <= 1.0 if rad > 0 else True

    return f


def poly(pts):
    def f(x, y):
        ins = False
        n = len(pts)
        j = n - 1
        for i in range(n):
            xi, yi = pts[i]
            xj, yj = pts[j]
            if (yi > y) != (yj > y):
                if x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                    ins = not ins
            j = i
        return ins

    return f


def seg_dist(x, y, ax, ay, bx, by):
    ay, by, y = ay * ASPECT, by * ASPECT, y * ASPECT
    dx, dy = bx - ax, by - ay
    L = dx * dx + dy * dy
    t = 0 if L == 0 else max(0, min(1, ((x - ax) * dx + (y - ay) * dy) / L))
    px, py = ax + t * dx, ay + t * dy
    return math.hypot(x - px, y - py), t


def line(ax, ay, bx, by, w):
    return lambda x, y: seg_dist(x, y, ax, ay, bx, by)[0] <= w / 2


def taper(ax, ay, bx, by, wa, wb):
    def f(x, y):
        d, t = seg_dist(x, y, ax, ay, bx, by)
        return d <= (wa + (wb - wa) * t) / 2

    return f


def union(*fs):
    return lambda x, y: any(f(x, y) for f in fs)


def minus(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


def const(v):
    return lambda x, y: v


def bbox_pts(pts, pad=1):
    xs = [p[0] for p in pts]
    ys = [p[1] for p in pts]
    return (min(xs) - pad, min(ys) - pad, max(xs) + pad, max(ys) + pad)
