#!/usr/bin/env python3
"""Reads a binary PPM (P6, 8 bits) on stdin; prints the side of the largest square of pure
black pixels in it."""
import sys


def main():
    data = sys.stdin.buffer.read()
    fields, pos = [], 0
    while len(fields) < 4:  # magic, width, height, maximum
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    pos += 1
    width, height = int(fields[1]), int(fields[2])
    above = [0] * (width + 1)
    largest = 0
    for y in range(height):
        row = [0] * (width + 1)
        line = data[pos + y * width * 3: pos + (y + 1) * width * 3]
        for x in range(1, width + 1):
            if line[3 * x - 3] == 0 and line[3 * x - 2] == 0 and line[3 * x - 1] == 0:
                row[x] = 1 + min(above[x], above[x - 1], row[x - 1])
                if row[x] > largest:
                    largest = row[x]
        above = row
    print(largest)


main()
