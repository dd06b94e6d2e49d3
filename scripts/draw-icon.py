#!/usr/bin/env python3
"""Draws the program's icon: data/icons/marlowen.svg and one PNG per hicolor
size in data/icons/<size>.png (a phone with a turning arrow on its screen).

Run once after changing the picture; the files are committed."""
import math
import os
import struct
import zlib

OUT = os.path.join(os.path.dirname(__file__), "..", "data", "icons")
SIZES = (16, 22, 24, 32, 48, 64, 128, 256)

ACCENT = (217, 81, 30)
WHITE = (255, 255, 255)
SCREEN = (38, 40, 48)
BUTTON = (200, 200, 205)

# Everything is laid out on a 256 x 256 canvas.
CX, CY, RING, THICK = 128.0, 124.0, 30.0, 10.0
GAP_FROM, GAP_TO = -75.0, -5.0  # degrees, y pointing down


def in_round_rect(x, y, x0, y0, x1, y1, r):
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r and x0 <= x <= x1 and y0 <= y <= y1


def arrow_head():
    a = math.radians(GAP_FROM)
    tip_dir = (math.sin(a), -math.cos(a))  # the ring runs clockwise into the gap
    bx, by = CX + RING * math.cos(a), CY + RING * math.sin(a)
    half = 13.0
    return [(bx + tip_dir[0] * 14, by + tip_dir[1] * 14),
            (bx - math.cos(a) * half, by - math.sin(a) * half),
            (bx + math.cos(a) * half, by + math.sin(a) * half)]


HEAD = arrow_head()


def in_triangle(x, y, tri):
    (x1, y1), (x2, y2), (x3, y3) = tri
    d1 = (x - x2) * (y1 - y2) - (x1 - x2) * (y - y2)
    d2 = (x - x3) * (y2 - y3) - (x2 - x3) * (y - y3)
    d3 = (x - x1) * (y3 - y1) - (x3 - x1) * (y - y1)
    neg = d1 < 0 or d2 < 0 or d3 < 0
    pos = d1 > 0 or d2 > 0 or d3 > 0
    return not (neg and pos)


def in_ring(x, y):
    d = math.hypot(x - CX, y - CY)
    if abs(d - RING) > THICK / 2:
        return False
    angle = math.degrees(math.atan2(y - CY, x - CX))
    return not (GAP_FROM < angle < GAP_TO)


def colour_at(x, y):
    if not in_round_rect(x, y, 8, 8, 248, 248, 48):
        return None
    if in_round_rect(x, y, 78, 36, 178, 220, 18):
        if in_round_rect(x, y, 88, 58, 168, 188, 4):
            if in_ring(x, y) or in_triangle(x, y, HEAD):
                return ACCENT
            return SCREEN
        if (x - 128) ** 2 + (y - 204) ** 2 <= 7 * 7:
            return BUTTON
        return WHITE
    return ACCENT


def png(path, size):
    samples = 4
    step = 256.0 / size / samples
    rows = bytearray()
    for py in range(size):
        rows.append(0)
        for px in range(size):
            r = g = b = a = 0
            for sy in range(samples):
                for sx in range(samples):
                    c = colour_at((px * samples + sx + 0.5) * step, (py * samples + sy + 0.5) * step)
                    if c:
                        r += c[0]
                        g += c[1]
                        b += c[2]
                        a += 1
            n = samples * samples
            rows += bytes((r // a, g // a, b // a, 255 * a // n) if a else (0, 0, 0, 0))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    data = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(data)


def svg(path):
    def rgb(c):
        return "#%02x%02x%02x" % c

    a0, a1 = math.radians(GAP_TO), math.radians(GAP_FROM + 360)
    start = (CX + RING * math.cos(a0), CY + RING * math.sin(a0))
    end = (CX + RING * math.cos(a1), CY + RING * math.sin(a1))
    head = " ".join("%.2f,%.2f" % p for p in HEAD)
    text = f"""<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">
  <rect x="8" y="8" width="240" height="240" rx="48" fill="{rgb(ACCENT)}"/>
  <rect x="78" y="36" width="100" height="184" rx="18" fill="{rgb(WHITE)}"/>
  <rect x="88" y="58" width="80" height="130" rx="4" fill="{rgb(SCREEN)}"/>
  <circle cx="128" cy="204" r="7" fill="{rgb(BUTTON)}"/>
  <path d="M {start[0]:.2f} {start[1]:.2f} A {RING} {RING} 0 1 1 {end[0]:.2f} {end[1]:.2f}"
        fill="none" stroke="{rgb(ACCENT)}" stroke-width="{THICK}"/>
  <polygon points="{head}" fill="{rgb(ACCENT)}"/>
</svg>
"""
    with open(path, "w") as f:
        f.write(text)


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    for size in SIZES:
        png(os.path.join(OUT, "%d.png" % size), size)
    svg(os.path.join(OUT, "marlowen.svg"))
