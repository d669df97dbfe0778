"""What is on the screen, pixel by pixel: for the checks only the eye can make."""

import subprocess


def grab(x11, rect):
    """The pixels of `rect` (x, y, width, height) on the screen, as rows of (r, g, b)."""
    x, y, w, h = rect
    data = subprocess.run(["import", "-window", "root", "-crop", f"{w}x{h}+{x}+{y}", "+repage",
                           "-depth", "8", "ppm:-"], env=x11.env, capture_output=True,
                          check=True, timeout=30).stdout
    # P6 header: magic, width, height, maxval, each followed by white space.
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    pos += 1
    width, height = int(fields[1]), int(fields[2])
    pixels = data[pos:]
    return [[tuple(pixels[(row * width + col) * 3:(row * width + col) * 3 + 3])
             for col in range(width)] for row in range(height)]


def pixels(image):
    return [p for row in image for p in row]


def is_blue(p):
    """Blue, also where a glyph's edge blends it with the background."""
    r, g, b = p
    return b - max(r, g) >= 60


def is_red(p):
    r, g, b = p
    return r - max(g, b) >= 80


def ink(image, background=None):
    """The pixels that differ clearly from the most common colour: glyphs, lines, icons."""
    flat = pixels(image)
    if background is None:
        background = max(set(flat), key=flat.count)
    return [p for p in flat if sum(abs(a - b) for a, b in zip(p, background)) > 120]
