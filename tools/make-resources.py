#!/usr/bin/env python3
"""Draws the program's pictures into resources/ with nothing but the standard library.

    icon-drop-box.png        100 x 100, the drop box
    icon-drop-box-hover.png  100 x 100, the drop box while files are dragged over the window
    convert-animation.gif    388 x 234, animated: a document going through the converter
    quillmark-pro-converter.png  256 x 256, the application icon

Run it again after changing a drawing; the output is the same byte for byte each time.
"""
import math
import os
import struct
import sys
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources")


# --- A tiny RGBA canvas --------------------------------------------------------------------------



def within_rrect(x, y, x0, y0, x1, y1, r):
    """Whether (x, y) lies inside the rounded rectangle (x0, y0, x1, y1) of corner radius r."""
    if not (x0 <= x <= x1 and y0 <= y <= y1):
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r

class Canvas:
    def __init__(self, w, h, bg=(0, 0, 0, 0)):
        self.w, self.h = w, h
        self.px = [list(bg) for _ in range(w * h)]

    def blend(self, x, y, color, cover=1.0):
        if not (0 <= x < self.w and 0 <= y < self.h) or cover <= 0:
            return
        r, g, b, a = color
        a = a / 255.0 * min(cover, 1.0)
        p = self.px[y * self.w + x]
        da = p[3] / 255.0
        oa = a + da * (1 - a)
        if oa <= 0:
            return
        for i, c in enumerate((r, g, b)):
            p[i] = int(round((c * a + p[i] * da * (1 - a)) / oa))
        p[3] = int(round(oa * 255))

    def shape(self, inside, color, box, ss=4):
        """Fills the pixels of box (x0, y0, x1, y1) for which inside(x, y) holds, anti-aliased."""
        x0, y0, x1, y1 = (int(math.floor(box[0])), int(math.floor(box[1])),
                          int(math.ceil(box[2])), int(math.ceil(box[3])))
        for y in range(max(y0, 0), min(y1 + 1, self.h)):
            for x in range(max(x0, 0), min(x1 + 1, self.w)):
                n = 0
                for sy in range(ss):
                    for sx in range(ss):
                        if inside(x + (sx + 0.5) / ss, y + (sy + 0.5) / ss):
                            n += 1
                if n:
                    self.blend(x, y, color, n / (ss * ss))

    def rrect(self, x0, y0, x1, y1, r, color):
        self.shape(lambda x, y: within_rrect(x, y, x0, y0, x1, y1, r), color, (x0, y0, x1, y1))

    def rrect_outline(self, x0, y0, x1, y1, r, width, color):
        def inside(x, y):
            return within_rrect(x, y, x0, y0, x1, y1, r) and not within_rrect(
                x, y, x0 + width, y0 + width, x1 - width, y1 - width, max(r - width, 0))
        self.shape(inside, color, (x0, y0, x1, y1))

    def dashed_outline(self, x0, y0, x1, y1, r, width, dash, color):
        """A rounded outline in dashes. Each corner is one dash that runs round the
        whole arc and a little way on; between two corners a side holds whole dashes
        with gaps of the same length, so every side looks alike and no dash is cut
        where the outline turns."""
        run_on = 3  # how far a corner dash goes on into the straight sides

        def dashes_on(length):
            """Whether a point t along a straight part of this length is on a dash."""
            middle = length - 2 * run_on
            n = max(1, int(round((middle / dash - 1) / 2)))
            step = middle / (2 * n + 1)  # gap, dash, gap, ..., dash, gap

            def on(t):
                if t < run_on or t > length - run_on:
                    return True
                return int((t - run_on) // step) % 2 == 1
            return on

        across, down = dashes_on(x1 - x0 - 2 * r), dashes_on(y1 - y0 - 2 * r)

        def inside(x, y):
            if not within_rrect(x, y, x0, y0, x1, y1, r) or within_rrect(
                    x, y, x0 + width, y0 + width, x1 - width, y1 - width, max(r - width, 0)):
                return False
            if x0 + r <= x <= x1 - r:
                return across(x - (x0 + r))
            if y0 + r <= y <= y1 - r:
                return down(y - (y0 + r))
            return True  # a corner
        self.shape(inside, color, (x0, y0, x1, y1))

    def polygon(self, pts, color):
        def inside(x, y):
            c = False
            n = len(pts)
            for i in range(n):
                xa, ya = pts[i]
                xb, yb = pts[(i + 1) % n]
                if (ya > y) != (yb > y) and x < (xb - xa) * (y - ya) / (yb - ya) + xa:
                    c = not c
            return c
        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]
        self.shape(inside, color, (min(xs), min(ys), max(xs), max(ys)))

    def circle(self, cx, cy, r, color):
        self.shape(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, color,
                   (cx - r, cy - r, cx + r, cy + r))

    def line(self, xa, ya, xb, yb, width, color):
        dx, dy = xb - xa, yb - ya
        ln = math.hypot(dx, dy) or 1
        nx, ny = -dy / ln * width / 2, dx / ln * width / 2
        self.polygon([(xa + nx, ya + ny), (xb + nx, yb + ny), (xb - nx, yb - ny),
                      (xa - nx, ya - ny)], color)


def hexc(s, a=255):
    return (int(s[1:3], 16), int(s[3:5], 16), int(s[5:7], 16), a)


# --- Encoders ------------------------------------------------------------------------------------


def write_png(path, c):
    raw = b"".join(b"\0" + bytes(v for p in c.px[y * c.w:(y + 1) * c.w] for v in p)
                   for y in range(c.h))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    data = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", c.w, c.h, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(data)


def lzw(indices, min_code):
    clear, end = 1 << min_code, (1 << min_code) + 1
    out, bits, nbits = bytearray(), 0, 0

    def emit(code, size):
        nonlocal bits, nbits
        bits |= code << nbits
        nbits += size
        while nbits >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8

    size = min_code + 1
    table = {(i,): i for i in range(clear)}
    nxt = end + 1
    emit(clear, size)
    w = ()
    for k in indices:
        wk = w + (k,)
        if wk in table:
            w = wk
            continue
        emit(table[w], size)
        if nxt < 4096:
            table[wk] = nxt
            nxt += 1
            if nxt > (1 << size) and size < 12:
                size += 1
        else:
            emit(clear, size)
            table = {(i,): i for i in range(clear)}
            nxt, size = end + 1, min_code + 1
        w = (k,)
    if w:
        emit(table[w], size)
    emit(end, size)
    if nbits:
        out.append(bits & 0xFF)
    return bytes(out)


def write_gif(path, frames, palette, delay_cs):
    w, h = frames[0].w, frames[0].h
    lookup = {tuple(p): i for i, p in enumerate(palette)}

    def index_of(p):
        key = (p[0], p[1], p[2])
        if key in lookup:
            return lookup[key]
        best = min(range(len(palette)), key=lambda i: sum((palette[i][j] - key[j]) ** 2
                                                           for j in range(3)))
        lookup[key] = best
        return best

    out = bytearray(b"GIF89a" + struct.pack("<HHBBB", w, h, 0xF7, 0, 0))
    for i in range(256):
        out += bytes(palette[i] if i < len(palette) else (0, 0, 0))
    out += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"  # loop for ever
    for fr in frames:
        out += b"\x21\xF9\x04\x04" + struct.pack("<H", delay_cs) + b"\x00\x00"
        out += b"\x2C" + struct.pack("<HHHHB", 0, 0, w, h, 0)
        data = lzw([index_of(p) for p in fr.px], 8)
        out += b"\x08"
        for i in range(0, len(data), 255):
            part = data[i:i + 255]
            out += bytes([len(part)]) + part
        out += b"\x00"
    out += b"\x3B"
    with open(path, "wb") as f:
        f.write(out)


# --- Drawings ------------------------------------------------------------------------------------

GREY = hexc("#8C8C8C")
GREEN = hexc("#33CC33")


def drop_box(hover):
    c = Canvas(100, 100)
    if hover:
        c.rrect(4, 4, 96, 96, 14, hexc("#33CC33", 40))
    c.dashed_outline(4, 4, 96, 96, 14, 3, 9, GREEN if hover else GREY)
    col = GREEN if hover else hexc("#6C6C6C")
    # a document with a folded corner
    c.polygon([(34, 22), (58, 22), (68, 32), (68, 62), (34, 62)], hexc("#FFFFFF"))
    c.rrect_outline(34, 22, 68, 62, 2, 2.5, col)
    c.polygon([(57, 22), (68, 33), (57, 33)], col)
    # an arrow pointing down into the box
    c.line(51, 66, 51, 80, 4, col)
    c.polygon([(43, 76), (59, 76), (51, 86)], col)
    return c


def document(c, x, y, w, h, paper, ink, lines):
    c.polygon([(x, y), (x + w - 14, y), (x + w, y + 14), (x + w, y + h), (x, y + h)], paper)
    c.rrect_outline(x, y, x + w, y + h, 2, 2, ink)
    c.polygon([(x + w - 15, y), (x + w, y + 15), (x + w - 15, y + 15)], ink)
    for i in range(lines):
        ly = y + 24 + i * 9
        if ly > y + h - 10:
            break
        c.line(x + 9, ly, x + w - (22 if i % 3 == 2 else 10), ly, 2.5, ink)


PALETTE = [
    (255, 255, 255), (230, 230, 230), (200, 200, 200), (140, 140, 140), (108, 108, 108),
    (60, 60, 60), (43, 43, 43), (0, 153, 0), (51, 204, 51), (190, 235, 190), (120, 200, 120),
    (214, 232, 250), (90, 150, 210), (40, 100, 170), (245, 245, 245), (170, 170, 170),
]


def animation_frame(t, n):
    """Frame t of n: a legacy document slides into the converter and a Pro document comes out."""
    c = Canvas(388, 234, (255, 255, 255, 255))
    # the converter: a rounded block with turning gears marks
    c.rrect(154, 46, 234, 166, 12, hexc("#D6E8FA"))
    c.rrect_outline(154, 46, 234, 166, 12, 3, hexc("#5A96D2"))
    angle = 2 * math.pi * t / n
    for k in range(8):
        a = angle + k * math.pi / 4
        c.line(194 + 14 * math.cos(a), 106 + 14 * math.sin(a), 194 + 24 * math.cos(a),
               106 + 24 * math.sin(a), 5, hexc("#2864AA"))
    c.circle(194, 106, 11, hexc("#2864AA"))
    c.circle(194, 106, 5, hexc("#D6E8FA"))
    # the legacy document travels from the left into the block
    p = t / n
    lx = int(30 + 110 * min(p * 2, 1.0))
    if p < 0.5:
        document(c, lx, 66, 56, 76, hexc("#F5F5F5"), hexc("#8C8C8C"), 5)
    # the Pro document comes out on the right
    if p >= 0.5:
        rx = int(190 + 110 * min((p - 0.5) * 2, 1.0))
        document(c, rx, 66, 56, 76, hexc("#FFFFFF"), hexc("#009900"), 5)
    # the block covers what is inside it
    c.rrect(160, 52, 228, 160, 9, hexc("#D6E8FA"))
    for k in range(8):
        a = angle + k * math.pi / 4
        c.line(194 + 14 * math.cos(a), 106 + 14 * math.sin(a), 194 + 24 * math.cos(a),
               106 + 24 * math.sin(a), 5, hexc("#2864AA"))
    c.circle(194, 106, 11, hexc("#2864AA"))
    c.circle(194, 106, 5, hexc("#D6E8FA"))
    # progress dots above the status strip
    for k in range(5):
        on = k <= (t * 5) // n
        c.circle(170 + k * 12, 188, 3.5, hexc("#33CC33") if on else hexc("#C8C8C8"))
    return c


def app_icon():
    c = Canvas(256, 256)
    c.rrect(16, 16, 240, 240, 44, hexc("#D6E8FA"))
    c.rrect_outline(16, 16, 240, 240, 44, 6, hexc("#5A96D2"))
    document(c, 48, 62, 78, 110, hexc("#F5F5F5"), hexc("#8C8C8C"), 8)
    document(c, 132, 86, 78, 110, hexc("#FFFFFF"), hexc("#009900"), 8)
    c.line(96, 200, 150, 200, 8, hexc("#2864AA"))
    c.polygon([(146, 186), (168, 200), (146, 214)], hexc("#2864AA"))
    return c


def main():
    os.makedirs(OUT, exist_ok=True)
    write_png(os.path.join(OUT, "icon-drop-box.png"), drop_box(False))
    write_png(os.path.join(OUT, "icon-drop-box-hover.png"), drop_box(True))
    n = 16
    write_gif(os.path.join(OUT, "convert-animation.gif"), [animation_frame(t, n) for t in range(n)],
              PALETTE, 8)
    write_png(os.path.join(OUT, "quillmark-pro-converter.png"), app_icon())
    return 0


if __name__ == "__main__":
    sys.exit(main())
