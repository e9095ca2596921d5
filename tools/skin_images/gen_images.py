#!/usr/bin/env python3
"""Draws every image of the installer's skins, and the window icon.

    gen_images.py <skin folder>            write res/... and installer.ico into the folder
    gen_images.py <skin folder> --only X   write only the images whose path contains X
    gen_images.py <skin folder> --verify   write nothing; list images whose pixels differ
                                           from what this script draws (exit 1 if any)

Deterministic: the same source gives the same pixels. No text is drawn into
the images; the skins put text on top with their fonts.
"""

import math
import os
import struct
import sys

sys.dont_write_bytecode = True   # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from pngio import PngError, decode_png, encode_png  # noqa: E402
from raster import (Canvas, arc, circle, hex_colour, linear_gradient, mix, polygon,  # noqa: E402
                    polyline, radial_gradient, round_rect, segment, subtract, union, with_alpha)

# The product's palette.
BLUE = hex_colour("#227EFA")
BLUE_HOT = hex_colour("#4896FF")
BLUE_PUSHED = hex_colour("#066AF2")
LINK = hex_colour("#1675FE")
INK = hex_colour("#303F56")
ICON_GREY = hex_colour("#7D8799")
BORDER = hex_colour("#D5DCE6")
WINDOW_EDGE = hex_colour("#D3DCE8")
WHITE = hex_colour("#FFFFFF")
PALE_BLUE = hex_colour("#EEF5FF")
PALE_BLUE_PUSHED = hex_colour("#DCEAFF")
HOVER_GREY = hex_colour("#E6EBF2")
PUSHED_GREY = hex_colour("#D8DFE9")
CLOSE_RED = hex_colour("#F05252")
CLOSE_RED_PUSHED = hex_colour("#D63C3C")
BACK_HOT = hex_colour("#59CB8F")
BACK_PUSHED = hex_colour("#11A557")
ORANGE = hex_colour("#FFA53D")
GREEN = hex_colour("#3CC48A")

# ---- building blocks ----------------------------------------------------------


def outlined_box(c, w, h, radius, fill, border, border_width=1.0):
    c.fill(round_rect(0, 0, w, h, radius), border)
    c.fill(round_rect(border_width, border_width, w - border_width, h - border_width,
                      max(0.0, radius - border_width)), fill)


def filled_button(w, h, base, radius=3.0):
    c = Canvas(w, h)
    top = mix(base, WHITE, 0.06)
    c.fill(round_rect(0, 0, w, h, radius), linear_gradient(0, 0, 0, h, [(0.0, top), (1.0, base)]))
    return c


def outlined_button(w, h, fill, border, radius=3.0):
    c = Canvas(w, h)
    outlined_box(c, w, h, radius, fill, border)
    return c


def chevron(c, x, y, size, colour, half_width, pointing="left"):
    """A chevron whose tip is at (x, y); size is its half height."""
    depth = size * 0.75
    if pointing == "left":
        pts = [(x + depth, y - size), (x, y), (x + depth, y + size)]
    else:
        pts = [(x - depth, y - size), (x, y), (x - depth, y + size)]
    c.fill(polyline(pts, half_width), colour)


def cross(c, cx, cy, half, colour, half_width):
    c.fill(union(segment(cx - half, cy - half, cx + half, cy + half, half_width),
                 segment(cx - half, cy + half, cx + half, cy - half, half_width)), colour)


def check_mark(c, points, colour, half_width):
    c.fill(polyline(points, half_width), colour)


def logo_mark(c, x, y, size, detail=True):
    """The product mark: a blue tile with a white page and a conversion arrow."""
    s = size / 64.0

    def p(px, py):
        return (x + px * s, y + py * s)

    tile = round_rect(x, y, x + size, y + size, 14 * s)
    c.fill(tile, linear_gradient(x, y, x + size, y + size,
                                 [(0.0, hex_colour("#5AA6FF")), (1.0, hex_colour("#1468E8"))]))
    if detail:
        # a soft light across the top of the tile
        c.fill(round_rect(x, y, x + size, y + size * 0.5, 14 * s),
               linear_gradient(0, y, 0, y + size * 0.5,
                               [(0.0, with_alpha(WHITE, 0.16)), (1.0, with_alpha(WHITE, 0.0))]))
    fold = 9 * s
    left, top = p(17, 12)
    right, bottom = p(43, 52)
    page = polygon([(left, top), (right - fold, top), (right, top + fold), (right, bottom), (left, bottom)])
    rounded_page = intersect_round(page, round_rect(left, top, right, bottom, 3 * s))
    c.fill(rounded_page, WHITE)
    c.fill(polygon([(right - fold, top), (right - fold, top + fold), (right, top + fold)]),
           hex_colour("#BFD9FF"))
    if detail:
        for row in (24, 31, 38):
            ax, ay = p(22.5, row)
            bx, by = p(36 if row != 38 else 31, row)
            c.fill(segment(ax, ay, bx, by, 1.5 * s), hex_colour("#9CC4FF"))
    # the conversion badge
    bx, by = p(45, 45)
    c.fill(circle(bx, by, 12.5 * s), hex_colour("#FFB020"))
    c.fill(circle(bx, by, 12.5 * s), linear_gradient(bx, by - 12 * s, bx, by + 12 * s,
                                                     [(0.0, hex_colour("#FFC247")),
                                                      (1.0, hex_colour("#FF9A1F"))]))
    w = max(0.9, 1.7 * s)
    c.fill(polyline([p(39.5, 45), p(50.5, 45)], w), WHITE)
    c.fill(polyline([p(46, 40.5), p(50.8, 45), p(46, 49.5)], w), WHITE)


def intersect_round(a, b):
    def sdf(px, py):
        return max(a(px, py), b(px, py))
    sdf.bbox = a.bbox
    return sdf


def window_edge(c):
    """The 1-pixel frame around a borderless window background."""
    w, h = c.width, c.height
    c.fill(subtract(round_rect(0, 0, w, h, 2), round_rect(1, 1, w - 1, h - 1, 1)), WINDOW_EDGE)


class Random:
    """A small LCG so decorations are the same on every run."""

    def __init__(self, seed):
        self.state = seed

    def next(self):
        self.state = (self.state * 1103515245 + 12345) & 0x7FFFFFFF
        return self.state / 0x7FFFFFFF

    def between(self, lo, hi):
        return lo + (hi - lo) * self.next()


def wave(base_y, amplitude, length, phase, bottom):
    """Everything below a sine line (distance approximated vertically)."""
    def sdf(x, y):
        line = base_y + amplitude * math.sin(2 * math.pi * x / length + phase)
        slope = amplitude * 2 * math.pi / length * math.cos(2 * math.pi * x / length + phase)
        return (line - y) / math.sqrt(1 + slope * slope)
    sdf.bbox = (0, base_y - amplitude - 1, 10000, bottom)
    return sdf


# ---- window backgrounds ---------------------------------------------------------

W, H = 600, 400


def background_base(top_colour, fade_to):
    c = Canvas(W, H)
    c.fill_all(linear_gradient(0, 0, 0, fade_to, [(0.0, top_colour), (1.0, WHITE)]))
    return c


def bg_quick_install():
    c = background_base(hex_colour("#E6F0FF"), 260)
    c.glow(600, -30, 300, with_alpha(BLUE, 0.13))
    c.glow(-20, 420, 230, with_alpha(BLUE, 0.07))
    for radius, alpha in ((130, 0.10), (185, 0.07), (240, 0.05)):
        c.fill(arc(560, 10, radius, 90, 180, 0.6), with_alpha(BLUE, alpha))
    c.fill(wave(352, 7, 420, 0.6, H), with_alpha(BLUE, 0.035))
    c.fill(wave(366, 6, 300, 2.2, H), with_alpha(BLUE, 0.04))
    window_edge(c)
    return c


def bg_custom_install():
    c = background_base(hex_colour("#EEF4FD"), 160)
    c.glow(600, -30, 220, with_alpha(BLUE, 0.08))
    # a quiet line under the title bar and a card behind the form
    c.fill(segment(1, 35.5, W - 1, 35.5, 0.5), hex_colour("#E8EDF4"))
    c.fill(round_rect(28, 74, W - 28, 210, 8), hex_colour("#E9EEF5"))
    c.fill(round_rect(29, 75, W - 29, 209, 7), hex_colour("#F8FAFD"))
    c.fill(wave(370, 5, 360, 1.0, H), with_alpha(BLUE, 0.035))
    window_edge(c)
    return c


def bg_progress():
    c = background_base(hex_colour("#E9F2FF"), 240)
    c.glow(300, 160, 200, with_alpha(BLUE, 0.07))
    c.glow(620, -20, 220, with_alpha(BLUE, 0.08))
    c.glow(-30, 430, 200, with_alpha(BLUE, 0.05))
    c.fill(wave(360, 6, 380, 1.4, H), with_alpha(BLUE, 0.035))
    window_edge(c)
    return c


def bg_finished():
    c = background_base(hex_colour("#E8F2FF"), 250)
    c.glow(300, 125, 190, with_alpha(BLUE, 0.09))
    rnd = Random(20161)
    colours = [BLUE, BLUE_HOT, hex_colour("#FFB020"), GREEN, hex_colour("#8FB8FF")]
    placed = 0
    while placed < 26:
        x, y = rnd.between(30, W - 30), rnd.between(50, 250)
        colour = colours[int(rnd.next() * len(colours)) % len(colours)]
        size = rnd.between(2.0, 4.5)
        angle = rnd.between(0, math.pi)
        if 170 < x < 430:          # keep the middle calm for the check mark and the title
            continue
        placed += 1
        if rnd.next() < 0.5:
            c.fill(circle(x, y, size * 0.7), with_alpha(colour, 0.35))
        else:
            dx, dy = math.cos(angle) * size, math.sin(angle) * size
            c.fill(segment(x - dx, y - dy, x + dx, y + dy, 1.1), with_alpha(colour, 0.35))
    c.fill(wave(362, 6, 340, 0.2, H), with_alpha(BLUE, 0.035))
    window_edge(c)
    return c


def bg_slide(top, accent, seed):
    """Backgrounds of the progress page's optional carousel."""
    c = background_base(top, 260)
    rnd = Random(seed)
    for _ in range(5):
        x, y, r = rnd.between(0, W), rnd.between(-60, 140), rnd.between(60, 160)
        c.glow(x, y, r * 1.6, with_alpha(accent, 0.07))
        c.fill(arc(x, y, r, 0, 360, 0.6), with_alpha(accent, 0.08))
    c.fill(wave(350, 8, 300 + seed % 100, seed % 7, H), with_alpha(accent, 0.04))
    window_edge(c)
    return c


# ---- title-bar and window buttons ----------------------------------------------------

def window_button(size, state, glyph, glyph_size, radius, square=False):
    c = Canvas(size, size)
    if glyph == "close":
        fills = [None, CLOSE_RED, CLOSE_RED_PUSHED]
        ink = [ICON_GREY, WHITE, WHITE]
    else:
        fills = [None, HOVER_GREY, PUSHED_GREY]
        ink = [ICON_GREY, INK, INK]
    if fills[state]:
        c.fill(round_rect(0, 0, size, size, 0 if square else radius), fills[state])
    mid = size / 2.0
    if glyph == "close":
        cross(c, mid, mid, glyph_size / 2.0, ink[state], 0.75)
    else:
        c.fill(segment(mid - glyph_size / 2.0, mid + 0.5, mid + glyph_size / 2.0, mid + 0.5, 0.75), ink[state])
    return c


def back_button(state):
    c = Canvas(64, 30)
    if state == 1:
        c.fill(round_rect(0, 0, 64, 30, 4), with_alpha(HOVER_GREY, 0.7))
    elif state == 2:
        c.fill(round_rect(0, 0, 64, 30, 4), PUSHED_GREY)
    chevron(c, 12.5, 15, 5.0, [INK, BACK_HOT, BACK_PUSHED][state], 0.9, "left")
    return c


def custom_button(state):
    c = Canvas(88, 18)
    chevron(c, 84, 9, 3.5, [ICON_GREY, BLUE, BLUE_PUSHED][state], 0.75, "right")
    return c


def tip_bubble():
    c = Canvas(116, 32)
    shadow = round_rect(1, 2, 115, 27, 5)
    c.fill(shadow, with_alpha(INK, 0.12), softness=1.5)
    body = union(round_rect(0.5, 0.5, 115.5, 26, 4),
                 polygon([(14, 25), (27, 25), (17, 31.5)]))
    c.fill(body, with_alpha(hex_colour("#2B3648"), 0.94))
    return c


def check_box(selected):
    c = Canvas(16, 16)
    if selected:
        c.fill(round_rect(0, 0, 16, 16, 3), BLUE)
        check_mark(c, [(4.0, 8.2), (7.0, 11.1), (12.2, 5.2)], WHITE, 1.05)
    else:
        outlined_box(c, 16, 16, 3, WHITE, hex_colour("#B6C0CE"))
    return c


def edit_field():
    c = Canvas(340, 40)
    outlined_box(c, 340, 40, 4, WHITE, BORDER)
    return c


def edit_button(state):
    fill = [WHITE, hex_colour("#F3F8FF"), PALE_BLUE_PUSHED][state]
    border = [BORDER, BLUE_HOT, BLUE][state]
    return outlined_button(80, 40, fill, border, 4)


# The bar is drawn as a nine-patch with 2-pixel corners: a radius of 3 keeps the
# stretched middle columns at full height, so the ends stay round at any length.
PROGRESS_RADIUS = 3


def progress_track():
    c = Canvas(410, 8)
    c.fill(round_rect(0, 0, 410, 8, PROGRESS_RADIUS), hex_colour("#E3E9F1"))
    return c


def progress_fill():
    c = Canvas(410, 8)
    c.fill(round_rect(0, 0, 410, 8, PROGRESS_RADIUS), linear_gradient(0, 0, 410, 0, [(0.0, BLUE_HOT), (1.0, BLUE)]))
    c.fill(round_rect(0, 0, 410, 4, PROGRESS_RADIUS), with_alpha(WHITE, 0.14))
    return c


def finished_badge():
    c = Canvas(96, 96)
    c.glow(48, 48, 48, with_alpha(BLUE, 0.22))
    c.fill(circle(48, 48, 40), with_alpha(BLUE, 0.12))
    c.fill(circle(48, 48, 33), linear_gradient(48, 15, 48, 81, [(0.0, BLUE_HOT), (1.0, BLUE_PUSHED)]))
    check_mark(c, [(33.5, 49), (43.5, 58.5), (62.5, 39)], WHITE, 2.6)
    return c


# The title beside the mark is text of the skin (24 px, about 200 px wide). The
# mark sits where the pair of mark and title ends up centred in the image.
LOGO_TITLE_OFFSET = 43


def logo_with_title():
    c = Canvas(361, 64)
    logo_mark(c, LOGO_TITLE_OFFSET, 0, 64)
    return c


def small_logo(size):
    """The mark at title-bar sizes: the tile and a page snapped to whole pixels, the
    badge reduced to an orange folded corner so it stays crisp."""
    c = Canvas(size, size)
    c.fill(round_rect(0, 0, size, size, max(2.0, size * 0.22)),
           linear_gradient(0, 0, size, size, [(0.0, hex_colour("#5AA6FF")), (1.0, hex_colour("#1468E8"))]))
    left, right = round(size * 0.27), round(size * 0.73)
    top, bottom = round(size * 0.18), round(size * 0.82)
    fold = max(3, round(size * 0.2))
    c.fill(polygon([(left, top), (right - fold, top), (right, top + fold), (right, bottom), (left, bottom)]), WHITE)
    c.fill(polygon([(right - fold, top), (right - fold, top + fold), (right, top + fold)]), hex_colour("#FFB020"))
    return c


def install_frame(index, frames):
    """One frame of the progress animation: a page being fetched into place, with a
    ring of dots turning around it. Frame 0 reads well on its own."""
    c = Canvas(260, 150)
    cx, cy = 130.0, 75.0
    phase = index / float(frames)
    c.glow(cx, cy, 74, with_alpha(BLUE, 0.12))
    c.fill(circle(cx, cy, 52), radial_gradient(cx, cy - 20, 80, [(0.0, hex_colour("#F4F9FF")),
                                                                  (1.0, hex_colour("#DDEBFF"))]))
    dots = frames                                      # the bright dot moves one place a frame
    for i in range(dots):
        angle = 2 * math.pi * i / dots - math.pi / 2
        age = ((index - i) % dots) / float(dots)        # 0 for the head, growing behind it
        alpha = 0.15 + 0.85 * (1.0 - age) ** 2
        x, y = cx + 64 * math.cos(angle), cy + 64 * math.sin(angle)
        c.fill(circle(x, y, 3.2 - 1.2 * age), with_alpha(BLUE, alpha))
    # the page
    left, top, right, bottom = cx - 20, cy - 28, cx + 20, cy + 24
    c.fill(round_rect(left + 1, top + 3, right + 1, bottom + 3, 4), with_alpha(hex_colour("#1B4F9C"), 0.18),
           softness=3.0)
    c.fill(round_rect(left, top, right, bottom, 4), WHITE)
    c.fill(round_rect(left, top, right, top + 9, 4), hex_colour("#D2E4FF"))
    c.fill(round_rect(left, top + 5, right, top + 9, 0), hex_colour("#D2E4FF"))
    for row, length in ((16, 26), (23, 22), (30, 26), (37, 14)):
        c.fill(segment(left + 7, top + row, left + 7 + length, top + row, 1.3), hex_colour("#B7D3FF"))
    # the download badge, bobbing a little
    bob = 2.0 * math.sin(2 * math.pi * phase)
    bx, by = cx + 20, cy + 22
    c.fill(circle(bx, by, 15), WHITE)
    c.fill(circle(bx, by, 13), linear_gradient(bx, by - 13, bx, by + 13, [(0.0, BLUE_HOT), (1.0, BLUE)]))
    c.fill(segment(bx, by - 6 + bob, bx, by + 4.5 + bob, 1.3), WHITE)
    c.fill(polyline([(bx - 4.5, by + 0.5 + bob), (bx, by + 5 + bob), (bx + 4.5, by + 0.5 + bob)], 1.3), WHITE)
    return c


# ---- dialog pieces ------------------------------------------------------------------

def dialog_icon(kind):
    c = Canvas(40, 40)
    base = ORANGE if kind == "warn" else BLUE
    c.fill(circle(20, 20, 18), linear_gradient(20, 2, 20, 38, [(0.0, mix(base, WHITE, 0.15)), (1.0, base)]))
    if kind == "warn":
        c.fill(segment(20, 11, 20, 22.5, 2.1), WHITE)
        c.fill(circle(20, 28.8, 2.3), WHITE)
    elif kind == "quest":
        c.fill(arc(20, 15.8, 5.4, 180, 70, 2.0), WHITE)
        end_x = 20 + 5.4 * math.cos(math.radians(70))
        end_y = 15.8 + 5.4 * math.sin(math.radians(70))
        c.fill(polyline([(end_x, end_y), (20, 22.2), (20, 24)], 2.0), WHITE)
        c.fill(circle(20, 29.4, 2.2), WHITE)
    else:
        base_x, base_y = 20, 27.5
        for radius, alpha in ((5.5, 1.0), (10.5, 1.0), (15.0, 0.4)):
            c.fill(arc(base_x, base_y, radius, 225, 315, 1.7), with_alpha(WHITE, alpha))
        c.fill(circle(base_x, base_y + 0.3, 2.2), WHITE)
    return c


# ---- the icon file -------------------------------------------------------------------

def icon_file(sizes):
    """A .ico holding 32-bit images; the 256 one is PNG-compressed, the others are DIBs."""
    images = []
    for size in sizes:
        canvas = small_logo(size) if size < 32 else logo_icon(size)
        rgba = canvas.rgba_bytes()
        if size >= 256:
            images.append((size, encode_png(size, size, rgba)))
            continue
        header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
        rows = []
        for y in range(size - 1, -1, -1):          # DIBs are stored bottom-up, as BGRA
            row = bytearray()
            for x in range(size):
                i = 4 * (y * size + x)
                row += bytes((rgba[i + 2], rgba[i + 1], rgba[i], rgba[i + 3]))
            rows.append(bytes(row))
        mask_stride = ((size + 31) // 32) * 4
        mask = bytes(mask_stride * size)           # all visible; alpha does the work
        images.append((size, header + b"".join(rows) + mask))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        dim = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


def logo_icon(size):
    c = Canvas(size, size)
    logo_mark(c, 0, 0, size, detail=size >= 48)
    return c


# ---- the catalogue ------------------------------------------------------------------

ANIMATION_FRAMES = 10


def catalogue():
    """Every image of the skin package: path -> function returning a Canvas."""
    images = {}
    common = "res/common/"
    for state in range(3):
        images[common + "minbtn%d.png" % (state + 1)] = (lambda s=state: window_button(24, s, "min", 10, 4))
        images[common + "closebtn%d.png" % (state + 1)] = (lambda s=state: window_button(24, s, "close", 9, 4))
        images[common + "closebtnM_%d.png" % (state + 1)] = (
            lambda s=state: window_button(30, s, "close", 9, 0, square=True))
    images[common + "logo.png"] = lambda: small_logo(18)

    main = "res/mainWnd/"
    images[main + "bg1.png"] = bg_quick_install
    images[main + "bg2.png"] = bg_custom_install
    images[main + "bg3.png"] = bg_progress
    images[main + "bg4.png"] = bg_finished
    images[main + "ab1.png"] = lambda: bg_slide(hex_colour("#E4F0FF"), BLUE, 11)
    images[main + "ab2.png"] = lambda: bg_slide(hex_colour("#E6EEFF"), hex_colour("#4F6BED"), 23)
    images[main + "ab3.png"] = lambda: bg_slide(hex_colour("#E2F6F6"), hex_colour("#1AA6B7"), 37)
    for state in range(3):
        images[main + "backBtn%d.png" % (state + 1)] = lambda s=state: back_button(s)
        images[main + "customeBtn%d.png" % (state + 1)] = lambda s=state: custom_button(s)
        images[main + "editBtn%d.png" % (state + 1)] = lambda s=state: edit_button(s)
    images[main + "logoWithTitle.png"] = logo_with_title
    images[main + "ilogo.png"] = lambda: small_logo(20)
    images[main + "tipLbl.png"] = tip_bubble
    images[main + "Cb1.png"] = lambda: check_box(False)
    images[main + "Cb2.png"] = lambda: check_box(True)
    images[main + "installDirEdit.png"] = edit_field
    images[main + "installPrg1.png"] = progress_track
    images[main + "installPrg2.png"] = progress_fill
    images[main + "finished.png"] = finished_badge
    for index in range(ANIMATION_FRAMES):
        images[main + "installBtnAnimate/%03d.png" % index] = (
            lambda i=index: install_frame(i, ANIMATION_FRAMES))

    box = "res/MessageBoxWnd/"
    images[box + "icoWarn.png"] = lambda: dialog_icon("warn")
    images[box + "icoQuest.png"] = lambda: dialog_icon("quest")
    images[box + "icoNetwork.png"] = lambda: dialog_icon("network")
    filled = [BLUE, BLUE_HOT, BLUE_PUSHED]
    for state in range(3):
        images[box + "openBtn%d.png" % (state + 1)] = lambda s=state: filled_button(138, 30, filled[s])
        images[box + "noBtn%d.png" % (state + 1)] = lambda s=state: filled_button(100, 30, filled[s])
        images[box + "yesBtn%d.png" % (state + 1)] = (
            lambda s=state: outlined_button(100, 30, [WHITE, PALE_BLUE, PALE_BLUE_PUSHED][s], LINK))
    images[box + "latestBtn1.png"] = lambda: outlined_button(138, 30, WHITE, BLUE)
    images[box + "latestBtn2.png"] = lambda: outlined_button(138, 30, PALE_BLUE, BLUE)
    return images


ICON_NAME = "installer.ico"
ICON_SIZES = (16, 24, 32, 48, 256)


def verify(folder):
    stale = 0
    for path, draw in sorted(catalogue().items()):
        canvas = draw()
        try:
            with open(os.path.join(folder, *path.split("/")), "rb") as f:
                width, height, pixels = decode_png(f.read())
        except (OSError, PngError) as e:
            print("%s: %s" % (path, e))
            stale += 1
            continue
        if (width, height, pixels) != (canvas.width, canvas.height, canvas.rgba_bytes()):
            print("%s: differs from the drawing" % path)
            stale += 1
    with open(os.path.join(folder, ICON_NAME), "rb") as f:
        if f.read() != icon_file(ICON_SIZES):
            print("%s: differs from the drawing" % ICON_NAME)
            stale += 1
    print("%d image(s) out of date" % stale)
    return 1 if stale else 0


def main(argv):
    if len(argv) < 2:
        sys.stderr.write(__doc__)
        return 2
    out = argv[1]
    if argv[2:] == ["--verify"]:
        return verify(out)
    only = argv[3] if len(argv) > 3 and argv[2] == "--only" else None
    for path, draw in sorted(catalogue().items()):
        if only and only not in path:
            continue
        canvas = draw()
        target = os.path.join(out, *path.split("/"))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(encode_png(canvas.width, canvas.height, canvas.rgba_bytes()))
        print("%-44s %dx%d" % (path, canvas.width, canvas.height))
    if not only or only in ICON_NAME:
        with open(os.path.join(out, ICON_NAME), "wb") as f:
            f.write(icon_file(ICON_SIZES))
        print(ICON_NAME)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
