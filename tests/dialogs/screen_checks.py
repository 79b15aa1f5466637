#!/usr/bin/env python3
"""Checks on a screenshot of the setup, read as an outsider reads the screen.

  screen_checks.py gradient SHOT X TOP BOTTOM
      the column X from TOP to BOTTOM is the main window's gradient: no red,
      no green, blue falling from 255 at the top to 0 at the bottom
  screen_checks.py title SHOT X0 Y0 W H
      the title's area holds white, grey (the emboss) and black pixels
  screen_checks.py theme SHOT THEME.bmp X0 Y0 W H
      the wizard picture (the .bmp make_theme.py draws) shows, unscaled,
      somewhere inside the area

SHOT is any picture ImageMagick's convert reads. Prints what it found;
exit 0 when the check holds, 1 when not.
"""
import struct
import subprocess
import sys


def read_ppm(path, x0, y0, w, h):
    """The pixels of an area of a picture as rows of (r, g, b)."""
    data = subprocess.run(["convert", path, "-crop", f"{w}x{h}+{x0}+{y0}", "+repage", "ppm:-"],
                          check=True, capture_output=True).stdout
    fields, pos = [], 0
    while len(fields) < 4:  # P6, width, height, maximum, each after blanks
        while data[pos:pos + 1].isspace():
            pos += 1
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    pos += 1
    width, height = int(fields[1]), int(fields[2])
    return [[tuple(data[pos + (y * width + x) * 3:pos + (y * width + x) * 3 + 3]) for x in range(width)]
            for y in range(height)]


def read_bmp(path):
    """A 24- or 32-bit bottom-up .bmp as rows of (r, g, b), top row first."""
    data = open(path, "rb").read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    step = bits // 8
    stride = (width * step + 3) & ~3
    rows = []
    for y in range(abs(height)):
        row = height - 1 - y if height > 0 else y
        base = offset + row * stride
        rows.append([(data[base + x * step + 2], data[base + x * step + 1], data[base + x * step])
                     for x in range(width)])
    return rows


def gradient(shot, x, top, bottom):
    column = [row[0] for row in read_ppm(shot, x, top, 1, bottom - top)]
    blues = [b for _, _, b in column]
    print(f"column x={x}, y={top}..{bottom}: first {column[0]}, middle {column[len(column) // 2]}, last {column[-1]}")
    return (all(r == 0 and g == 0 for r, g, _ in column) and blues[0] >= 240 and blues[-1] <= 15
            and all(a >= b for a, b in zip(blues, blues[1:])))


def title(shot, x0, y0, w, h):
    found = {"white": 0, "grey": 0, "black": 0}
    for row in read_ppm(shot, x0, y0, w, h):
        for r, g, b in row:
            if min(r, g, b) >= 240:
                found["white"] += 1
            elif r == g == b and 100 <= r <= 160:
                found["grey"] += 1
            elif max(r, g, b) <= 15:
                found["black"] += 1
    print(f"title area {w}x{h}+{x0}+{y0}: {found}")
    return all(found.values())


def theme(shot, bmp, x0, y0, w, h):
    area = read_ppm(shot, x0, y0, w, h)
    picture = read_bmp(bmp)
    pw, ph = len(picture[0]), len(picture)
    first = picture[0][0]
    for y in range(h - ph + 1):
        for x in range(w - pw + 1):
            if area[y][x] == first and all(area[y + r][x:x + pw] == picture[r] for r in range(ph)):
                print(f"the {pw}x{ph} picture shows at {x0 + x},{y0 + y}")
                return True
    print(f"the {pw}x{ph} picture is not in the area {w}x{h}+{x0}+{y0}")
    return False


def main(argv):
    checks = {"gradient": (gradient, [str, int, int, int]), "title": (title, [str, int, int, int, int]),
              "theme": (theme, [str, str, int, int, int, int])}
    if len(argv) < 2 or argv[1] not in checks or len(argv) - 2 != len(checks[argv[1]][1]):
        print(__doc__, file=sys.stderr)
        return 2
    check, kinds = checks[argv[1]]
    return 0 if check(*[kind(a) for kind, a in zip(kinds, argv[2:])]) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
