#!/usr/bin/env python3
"""Draws the small pictures of the desktop program into src/gui/images.

Run once after changing a picture; the PNG files are committed."""
import os
import struct
import zlib

OUT = os.path.join(os.path.dirname(__file__), "..", "src", "gui", "images")


def png(name, w, h, pixel):
    rows = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(w)) for y in range(h))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    data = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))
    with open(os.path.join(OUT, name + ".png"), "wb") as f:
        f.write(data)


CLEAR = (0, 0, 0, 0)


def rounded(w, h, r, x, y):
    cx = min(max(x, r), w - 1 - r)
    cy = min(max(y, r), h - 1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def device(w, h, screen_margin, top, bottom, body):
    def pixel(x, y):
        if not rounded(w, h, 3, x, y):
            return CLEAR
        if screen_margin <= x < w - screen_margin and top <= y < h - bottom:
            return (120, 180, 230, 255)
        if x == w // 2 and y == h - bottom // 2 - 1:
            return (200, 200, 200, 255)
        return body
    return pixel


png("iphone", 12, 20, device(12, 20, 1, 3, 4, (40, 40, 40, 255)))
png("ipad", 16, 20, device(16, 20, 2, 2, 3, (60, 60, 60, 255)))
png("bottom", 8, 8, lambda x, y: (225, 225, 225, 255) if y else (190, 190, 190, 255))
png("whiteimg", 8, 8, lambda x, y: (255, 255, 255, 255))
png("progressGorund", 8, 8, lambda x, y: (242, 242, 242, 255))

ACCENT = (217, 81, 30, 255)
GREY = (120, 120, 120, 255)


def icon(shape, colour):
    def pixel(x, y):
        return colour if shape(x, y) else CLEAR
    return pixel


shapes = {
    "phone&video": lambda x, y: (3 <= y <= 20 and 2 <= x <= 21 and (y in (3, 20) or x in (2, 21)))
                                or (y - 14) ** 2 + (x - 8) ** 2 <= 9 or (10 <= x <= 19 and 13 <= y <= 18 and y - 13 >= 19 - x),
    "contact": lambda x, y: (x - 12) ** 2 + (y - 8) ** 2 <= 16 or (14 <= y <= 21 and (x - 12) ** 2 + (y - 21) ** 2 <= 64),
    "message": lambda x, y: (rounded(24, 17, 4, x, y) and y < 17) or (17 <= y <= 21 and 5 <= x <= 9 and x - 5 <= 21 - y),
    "note": lambda x, y: (3 <= x <= 20 and 1 <= y <= 22) and (x in (3, 20) or y in (1, 22) or (y % 5 == 1 and 6 <= x <= 17)),
    "call": lambda x, y: (2 <= x <= 8 and 2 <= y <= 9) or (15 <= x <= 21 and 15 <= y <= 21) or (abs((x - 3) - (y - 3)) <= 2 and 4 <= x <= 19 and x + y >= 14 and x <= 16 and y <= 18 and x >= 5),
}
for name, shape in shapes.items():
    png(name + "Nom", 24, 24, icon(shape, GREY))
    png(name + "On", 24, 24, icon(shape, ACCENT))
