#!/usr/bin/env python3
"""Draws the site's small images (buttons and icons) as GIF files.

Run once from the repository root: python3 scripts/make_images.py
It writes site/images/*.gif; the build embeds whatever is in that folder.
Standard library only: a 5x7 bitmap font and a minimal GIF encoder.
"""
import os
import struct

# Palette (index: RGB). Index 0 is the transparent background.
PALETTE = [
    (255, 255, 255),  # 0 transparent
    (255, 255, 255),  # 1 white
    (30, 41, 59),     # 2 dark slate (text, outlines)
    (37, 99, 235),    # 3 blue (buttons)
    (29, 78, 216),    # 4 darker blue (button border)
    (22, 163, 74),    # 5 green
    (220, 38, 38),    # 6 red
    (100, 116, 139),  # 7 grey
    (226, 232, 240),  # 8 light grey
    (234, 179, 8),    # 9 amber
]

FONT = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "B": ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    "C": ["01110", "10001", "10000", "10000", "10000", "10001", "01110"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "G": ["01110", "10001", "10000", "10111", "10001", "10001", "01111"],
    "H": ["10001", "10001", "10001", "11111", "10001", "10001", "10001"],
    "K": ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "U": ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    "W": ["10001", "10001", "10001", "10101", "10101", "10101", "01010"],
    "Y": ["10001", "10001", "01010", "00100", "00100", "00100", "00100"],
    "+": ["00000", "00100", "00100", "11111", "00100", "00100", "00000"],
    " ": ["000", "000", "000", "000", "000", "000", "000"],
}


def canvas(w, h, color=0):
    return [[color] * w for _ in range(h)]


def text_width(text):
    return sum(len(FONT[c][0]) + 1 for c in text) - 1


def draw_text(img, text, x, y, color):
    for c in text:
        glyph = FONT[c]
        for dy, row in enumerate(glyph):
            for dx, bit in enumerate(row):
                if bit == "1":
                    img[y + dy][x + dx] = color
        x += len(glyph[0]) + 1


def button(text, fill=3, border=4):
    w, h = text_width(text) + 16, 19
    img = canvas(w, h)
    for y in range(h):
        for x in range(w):
            corner = (x in (0, w - 1)) and (y in (0, h - 1))
            if corner:
                continue
            edge = x in (0, w - 1) or y in (0, h - 1)
            img[y][x] = border if edge else fill
    draw_text(img, text, 8, 6, 1)
    return img


def from_art(rows, colors):
    img = canvas(len(rows[0]), len(rows))
    for y, row in enumerate(rows):
        for x, ch in enumerate(row):
            if ch != ".":
                img[y][x] = colors[ch]
    return img


def arrow(direction):
    rows = []
    for y in range(16):
        d = abs(y - 7.5)
        row = ""
        for x in range(16):
            head = x >= 2 and x <= 8 and (x - 2) >= d - 0.5 and d < 7
            shaft = 8 <= x <= 13 and 5 <= y <= 10
            row += "#" if head or shaft else "."
        rows.append(row if direction == "left" else row[::-1])
    return from_art(rows, {"#": 3})


ICONS = {
    "sort": (["....#....", "...###...", "..#####..", ".#######.", ".........",
              ".#######.", "..#####..", "...###...", "....#...."], {"#": 7}),
    "ico_close": (["##......##", "###....###", ".###..###.", "..######..", "...####...",
                   "...####...", "..######..", ".###..###.", "###....###", "##......##"],
                  {"#": 2}),
    "ico_ekle": (["....####....", "....####....", "....####....", "....####....",
                  "############", "############", "############", "############",
                  "....####....", "....####....", "....####....", "....####...."], {"#": 5}),
    "ico_sil": (["....####....", "############", "............", ".##########.",
                 ".#.#.##.#.#.", ".#.#.##.#.#.", ".#.#.##.#.#.", ".#.#.##.#.#.",
                 ".#.#.##.#.#.", ".#.#.##.#.#.", ".##########.", "..########.."], {"#": 6}),
    "ico_guncelle": (["..........##", ".........#oo", "........#oo#", ".......#oo#.",
                      "......#oo#..", ".....#oo#...", "....#oo#....", "...#oo#.....",
                      "..#oo#......", ".#yy#.......", ".#y#........", "##.........."],
                     {"#": 2, "o": 9, "y": 7}),
    "ico_ara": (["..#####.....", ".#.....#....", "#.......#...", "#.......#...",
                 "#.......#...", "#.......#...", ".#.....#....", "..#####.#...",
                 ".........#..", "..........#.", "...........#", "............"], {"#": 2}),
    "link": (["..........", "..####....", ".#....#...", ".#..#.#...", ".#..#.#...",
              "..##..##..", "...#.#..#.", "...#.#..#.", "...#....#.", "....####..",
              ".........."], {"#": 3}),
    "ico_grup": (["####........", "#..#######..", "#.........#.", "#.........#.",
                  "#.........#.", "#.........#.", "#.........#.", "###########."], {"#": 9}),
    "ico_tablo": (["###########", "#.........#", "###########", "#...#.....#",
                   "###########", "#...#.....#", "###########", "#...#.....#",
                   "###########"], {"#": 7}),
}


def lzw_data(pixels, min_code_size):
    """LZW codes that never grow the code width: a clear code is sent
    before the table would need a wider code, so every code has
    min_code_size + 1 bits and each pixel is one code."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    width = min_code_size + 1
    run = (1 << min_code_size) - 3
    codes = []
    for i, p in enumerate(pixels):
        if i % run == 0:
            codes.append(clear)
        codes.append(p)
    codes.append(end)
    out, acc, bits = bytearray(), 0, 0
    for code in codes:
        acc |= code << bits
        bits += width
        while bits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            bits -= 8
    if bits:
        out.append(acc & 0xFF)
    blocks = bytearray()
    for i in range(0, len(out), 255):
        chunk = out[i:i + 255]
        blocks += bytes([len(chunk)]) + chunk
    return bytes([min_code_size]) + bytes(blocks) + b"\x00"


def gif(img):
    h, w = len(img), len(img[0])
    palette = PALETTE + [(0, 0, 0)] * (16 - len(PALETTE))
    head = b"GIF89a" + struct.pack("<HHBBB", w, h, 0xF3, 0, 0)
    table = b"".join(bytes(c) for c in palette)
    transparency = b"\x21\xF9\x04\x01\x00\x00\x00\x00"
    descriptor = b"\x2C" + struct.pack("<HHHHB", 0, 0, w, h, 0)
    pixels = [p for row in img for p in row]
    return head + table + transparency + descriptor + lzw_data(pixels, 4) + b"\x3B"


def main():
    images = {
        "but_search": button("SEARCH"),
        "but_add": button("ADD"),
        "but_update": button("UPDATE"),
        "but_yes": button("YES", fill=5, border=5),
        "but_cancel": button("CANCEL", fill=7, border=7),
        "but_go2": button("GO"),
        "butback": button("BACK", fill=7, border=7),
        "co_addnew": button("+ ADD NEW", fill=5, border=5),
        "ico_back": arrow("left"),
        "ico_next": arrow("right"),
    }
    for name, (rows, colors) in ICONS.items():
        images[name] = from_art(rows, colors)
    folder = os.path.join(os.path.dirname(__file__), "..", "site", "images")
    os.makedirs(folder, exist_ok=True)
    for name, img in sorted(images.items()):
        with open(os.path.join(folder, name + ".gif"), "wb") as f:
            f.write(gif(img))


if __name__ == "__main__":
    main()
