"""A tiny anti-aliased rasteriser built on signed distance functions.

Shapes are functions (x, y) -> signed distance in pixels (negative inside).
Coverage of a pixel is taken from the distance at its centre, which gives
one-pixel-wide anti-aliased edges. Colours are (r, g, b, a) floats in 0..1;
the canvas keeps premultiplied values and composites with "source over".
"""

import math


def hex_colour(text, alpha=1.0):
    text = text.lstrip("#")
    if len(text) == 8:
        alpha *= int(text[0:2], 16) / 255.0
        text = text[2:]
    return (int(text[0:2], 16) / 255.0, int(text[2:4], 16) / 255.0, int(text[4:6], 16) / 255.0, alpha)


def with_alpha(colour, alpha):
    return (colour[0], colour[1], colour[2], alpha)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(4))


def clamp01(v):
    return 0.0 if v < 0.0 else (1.0 if v > 1.0 else v)


def smoothstep(e0, e1, v):
    t = clamp01((v - e0) / (e1 - e0))
    return t * t * (3.0 - 2.0 * t)


# ---- shapes -----------------------------------------------------------------

def circle(cx, cy, r):
    def sdf(x, y):
        return math.hypot(x - cx, y - cy) - r
    sdf.bbox = (cx - r, cy - r, cx + r, cy + r)
    return sdf


def round_rect(x0, y0, x1, y1, r):
    """Rectangle from (x0,y0) to (x1,y1) in pixel-edge coordinates, corner radius r."""
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    hx, hy = (x1 - x0) / 2.0, (y1 - y0) / 2.0
    r = min(r, hx, hy)

    def sdf(x, y):
        qx = abs(x - cx) - hx + r
        qy = abs(y - cy) - hy + r
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - r
    sdf.bbox = (x0, y0, x1, y1)
    return sdf


def segment(ax, ay, bx, by, half_width):
    """A stroke with round caps from a to b."""
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy or 1e-9

    def sdf(x, y):
        t = clamp01(((x - ax) * dx + (y - ay) * dy) / length2)
        return math.hypot(x - ax - t * dx, y - ay - t * dy) - half_width
    sdf.bbox = (min(ax, bx) - half_width, min(ay, by) - half_width,
                max(ax, bx) + half_width, max(ay, by) + half_width)
    return sdf


def polyline(points, half_width):
    parts = [segment(points[i][0], points[i][1], points[i + 1][0], points[i + 1][1], half_width)
             for i in range(len(points) - 1)]
    return union(*parts)


def arc(cx, cy, radius, start_deg, end_deg, half_width):
    """A stroked circular arc with round caps; angles in degrees, clockwise from 3 o'clock
    (screen coordinates, y down)."""
    a0, a1 = math.radians(start_deg), math.radians(end_deg)
    span = (a1 - a0) % (2 * math.pi) or 2 * math.pi
    ends = [(cx + radius * math.cos(a), cy + radius * math.sin(a)) for a in (a0, a0 + span)]

    def sdf(x, y):
        angle = (math.atan2(y - cy, x - cx) - a0) % (2 * math.pi)
        if angle <= span:
            return abs(math.hypot(x - cx, y - cy) - radius) - half_width
        return min(math.hypot(x - ex, y - ey) for ex, ey in ends) - half_width
    reach = radius + half_width
    sdf.bbox = (cx - reach, cy - reach, cx + reach, cy + reach)
    return sdf


def polygon(points):
    """A closed polygon (any winding)."""
    n = len(points)

    def sdf(x, y):
        d = float("inf")
        inside = False
        for i in range(n):
            ax, ay = points[i]
            bx, by = points[i - 1]
            ex, ey = bx - ax, by - ay
            length2 = ex * ex + ey * ey or 1e-9
            t = clamp01(((x - ax) * ex + (y - ay) * ey) / length2)
            d = min(d, math.hypot(x - ax - t * ex, y - ay - t * ey))
            if (ay > y) != (by > y) and x < ax + (y - ay) * ex / (by - ay):
                inside = not inside
        return -d if inside else d
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    sdf.bbox = (min(xs), min(ys), max(xs), max(ys))
    return sdf


def union(*shapes):
    def sdf(x, y):
        return min(s(x, y) for s in shapes)
    sdf.bbox = (min(s.bbox[0] for s in shapes), min(s.bbox[1] for s in shapes),
                max(s.bbox[2] for s in shapes), max(s.bbox[3] for s in shapes))
    return sdf


def subtract(shape, hole):
    def sdf(x, y):
        return max(shape(x, y), -hole(x, y))
    sdf.bbox = shape.bbox
    return sdf


def intersect(a, b):
    def sdf(x, y):
        return max(a(x, y), b(x, y))
    sdf.bbox = (max(a.bbox[0], b.bbox[0]), max(a.bbox[1], b.bbox[1]),
                min(a.bbox[2], b.bbox[2]), min(a.bbox[3], b.bbox[3]))
    return sdf


def ring(cx, cy, radius, half_width):
    return arc(cx, cy, radius, 0, 360, half_width)


def grow(shape, amount):
    def sdf(x, y):
        return shape(x, y) - amount
    b = shape.bbox
    sdf.bbox = (b[0] - amount, b[1] - amount, b[2] + amount, b[3] + amount)
    return sdf


# ---- paints -----------------------------------------------------------------

def linear_gradient(x0, y0, x1, y1, stops):
    """stops: [(t, colour), ...] sorted by t."""
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy or 1e-9

    def paint(x, y):
        t = ((x - x0) * dx + (y - y0) * dy) / length2
        return sample_stops(stops, t)
    return paint


def radial_gradient(cx, cy, radius, stops):
    def paint(x, y):
        return sample_stops(stops, math.hypot(x - cx, y - cy) / radius)
    return paint


def sample_stops(stops, t):
    if t <= stops[0][0]:
        return stops[0][1]
    for i in range(1, len(stops)):
        if t <= stops[i][0]:
            t0, c0 = stops[i - 1]
            t1, c1 = stops[i]
            return mix(c0, c1, (t - t0) / (t1 - t0))
    return stops[-1][1]


# ---- canvas -----------------------------------------------------------------

class Canvas:
    def __init__(self, width, height):
        self.width = width
        self.height = height
        n = width * height
        self.r = [0.0] * n
        self.g = [0.0] * n
        self.b = [0.0] * n
        self.a = [0.0] * n

    def _blend(self, i, colour, coverage):
        sa = colour[3] * coverage
        if sa <= 0.0:
            return
        keep = 1.0 - sa
        self.r[i] = colour[0] * sa + self.r[i] * keep
        self.g[i] = colour[1] * sa + self.g[i] * keep
        self.b[i] = colour[2] * sa + self.b[i] * keep
        self.a[i] = sa + self.a[i] * keep

    def _span(self, bbox, pad):
        if bbox is None:
            return 0, 0, self.width, self.height
        x0 = max(0, int(math.floor(bbox[0] - pad)))
        y0 = max(0, int(math.floor(bbox[1] - pad)))
        x1 = min(self.width, int(math.ceil(bbox[2] + pad)))
        y1 = min(self.height, int(math.ceil(bbox[3] + pad)))
        return x0, y0, x1, y1

    def fill(self, shape, paint, softness=0.0):
        """Fills a shape. softness > 0 blurs the edge over that many pixels (for glows
        and soft shadows); 0 gives a crisp anti-aliased edge."""
        pad = 1.0 + softness
        x0, y0, x1, y1 = self._span(getattr(shape, "bbox", None), pad)
        constant = not callable(paint)
        for py in range(y0, y1):
            cy = py + 0.5
            base = py * self.width
            for px in range(x0, x1):
                cx = px + 0.5
                d = shape(cx, cy)
                if softness > 0.0:
                    coverage = 1.0 - smoothstep(-softness, softness, d)
                else:
                    coverage = 0.5 - d
                    coverage = 0.0 if coverage < 0.0 else (1.0 if coverage > 1.0 else coverage)
                if coverage <= 0.0:
                    continue
                self._blend(base + px, paint if constant else paint(cx, cy), coverage)

    def fill_all(self, paint):
        self.fill(_everywhere(self.width, self.height), paint)

    def glow(self, cx, cy, radius, colour):
        """A soft radial light: full colour at the centre fading to nothing at radius."""
        x0, y0, x1, y1 = self._span((cx - radius, cy - radius, cx + radius, cy + radius), 1)
        for py in range(y0, y1):
            base = py * self.width
            for px in range(x0, x1):
                t = math.hypot(px + 0.5 - cx, py + 0.5 - cy) / radius
                if t >= 1.0:
                    continue
                fall = 1.0 - t
                self._blend(base + px, colour, fall * fall * (3.0 - 2.0 * fall))

    def clear_outside(self, shape):
        """Makes everything outside the shape transparent (anti-aliased)."""
        for py in range(self.height):
            base = py * self.width
            for px in range(self.width):
                d = shape(px + 0.5, py + 0.5)
                keep = clamp01(0.5 - d)
                if keep < 1.0:
                    i = base + px
                    self.r[i] *= keep
                    self.g[i] *= keep
                    self.b[i] *= keep
                    self.a[i] *= keep

    def draw(self, other, ox, oy, opacity=1.0):
        """Composites another canvas at an integer offset."""
        for y in range(other.height):
            ty = y + oy
            if ty < 0 or ty >= self.height:
                continue
            for x in range(other.width):
                tx = x + ox
                if tx < 0 or tx >= self.width:
                    continue
                j = y * other.width + x
                sa = other.a[j] * opacity
                if sa <= 0.0:
                    continue
                i = ty * self.width + tx
                keep = 1.0 - sa
                self.r[i] = other.r[j] * opacity + self.r[i] * keep
                self.g[i] = other.g[j] * opacity + self.g[i] * keep
                self.b[i] = other.b[j] * opacity + self.b[i] * keep
                self.a[i] = sa + self.a[i] * keep

    def rgba_bytes(self):
        out = bytearray(self.width * self.height * 4)
        for i in range(self.width * self.height):
            a = self.a[i]
            if a <= 0.0:
                continue
            alpha = int(a * 255.0 + 0.5)
            if alpha == 0:
                continue
            inv = 1.0 / a
            out[4 * i] = min(255, int(self.r[i] * inv * 255.0 + 0.5))
            out[4 * i + 1] = min(255, int(self.g[i] * inv * 255.0 + 0.5))
            out[4 * i + 2] = min(255, int(self.b[i] * inv * 255.0 + 0.5))
            out[4 * i + 3] = min(255, alpha)
        return bytes(out)


def _everywhere(width, height):
    def sdf(x, y):
        return -1.0
    sdf.bbox = (0, 0, width, height)
    return sdf
