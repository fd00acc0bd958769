#!/usr/bin/env python3
"""Draws the program's three icons (16, 32 and 48 px, 32-bit with alpha) as .ico files.

Run it from this folder after changing a drawing; the .ico files are committed so that
the build needs nothing but the resource compiler.
"""
import struct

SIZES = (16, 32, 48)
SUPERSAMPLE = 4


def rounded_square(x, y, radius=0.22):
    """Inside test for the rounded square that fills the unit cell."""
    cx = min(max(x, radius), 1 - radius)
    cy = min(max(y, radius), 1 - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2 and 0 <= x <= 1 and 0 <= y <= 1


def main_icon(x, y):
    """Blue tile with a white plug: round body and two prongs."""
    if not rounded_square(x, y):
        return None
    body = (x - 0.5) ** 2 + (y - 0.62) ** 2 <= 0.2 ** 2 and y >= 0.5
    neck = 0.3 <= x <= 0.7 and 0.44 <= y <= 0.62
    prongs = (0.34 <= x <= 0.42 or 0.58 <= x <= 0.66) and 0.16 <= y <= 0.44
    cable = 0.46 <= x <= 0.54 and y >= 0.8
    return (255, 255, 255) if body or neck or prongs or cable else (30, 90, 170)


def common_mode_icon(x, y):
    """Green tile with one sheet: everything on one page."""
    if not rounded_square(x, y):
        return None
    sheet = 0.26 <= x <= 0.74 and 0.18 <= y <= 0.82
    lines = 0.34 <= x <= 0.66 and any(abs(y - row) <= 0.03 for row in (0.34, 0.48, 0.62))
    if lines:
        return (40, 140, 70)
    return (255, 255, 255) if sheet else (40, 140, 70)


def extended_mode_icon(x, y):
    """Orange tile with three stacked tabs: the detail pages."""
    if not rounded_square(x, y):
        return None
    for index, top in enumerate((0.18, 0.42, 0.66)):
        tab = 0.2 + 0.08 * index <= x <= 0.8 and top <= y <= top + 0.16
        if tab:
            return (255, 255, 255)
    return (215, 110, 20)


def render(draw, size):
    """BGRA rows, bottom row first, as a DIB stores them."""
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            r = g = b = a = 0
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    colour = draw((px + (sx + 0.5) / SUPERSAMPLE) / size, (py + (sy + 0.5) / SUPERSAMPLE) / size)
                    if colour:
                        r, g, b, a = r + colour[0], g + colour[1], b + colour[2], a + 1
            samples = SUPERSAMPLE * SUPERSAMPLE
            if a:
                row += bytes((b // a, g // a, r // a, 255 * a // samples))
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return b"".join(reversed(rows))


def icon_image(draw, size):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    mask_row = ((size + 31) // 32) * 4
    return header + render(draw, size) + bytes(mask_row * size)


def write_icon(name, draw):
    images = [icon_image(draw, size) for size in SIZES]
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    for size, image in zip(SIZES, images):
        directory += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(name, "wb") as out:
        out.write(directory + b"".join(images))


if __name__ == "__main__":
    write_icon("MainIcon.ico", main_icon)
    write_icon("CommonModeIcon.ico", common_mode_icon)
    write_icon("ExtendedModeIcon.ico", extended_mode_icon)
