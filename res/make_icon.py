#!/usr/bin/env python3
"""Draws the program's icon (a white note on a green rounded square) and writes qzln.ico
with 16, 32 and 48 pixel images in 32-bit colour. Run it again after changing the drawing."""
import struct
import sys

GREEN = (0, 150, 100)
WHITE = (255, 255, 255)


def coverage(x, y):
    """The colour and opacity at a point of the unit square (0..1, y downward)."""
    # Rounded square with a margin.
    m, r = 0.04, 0.18
    cx = min(max(x, m + r), 1 - m - r)
    cy = min(max(y, m + r), 1 - m - r)
    if (x - cx) ** 2 + (y - cy) ** 2 > r * r:
        return None
    # The note: a tilted oval head, a stem and a flag.
    hx, hy = x - 0.40, y - 0.72
    if ((hx * 0.94 + hy * 0.34) / 0.15) ** 2 + ((-hx * 0.34 + hy * 0.94) / 0.105) ** 2 <= 1:
        return WHITE
    if 0.49 <= x <= 0.56 and 0.20 <= y <= 0.72:
        return WHITE
    if 0.56 <= x <= 0.76 and 0.20 + (x - 0.56) * 0.9 <= y <= 0.33 + (x - 0.56) * 0.9:
        return WHITE
    return GREEN


def image(size, samples=4):
    pixels = []
    for row in range(size - 1, -1, -1):  # bottom-up rows
        for col in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(samples):
                for sx in range(samples):
                    c = coverage((col + (sx + 0.5) / samples) / size, (row + (sy + 0.5) / samples) / size)
                    if c:
                        acc[0] += c[0]
                        acc[1] += c[1]
                        acc[2] += c[2]
                        acc[3] += 1
            n = samples * samples
            a = acc[3]
            rgb = [v // a if a else 0 for v in acc[:3]]
            pixels.append(bytes([rgb[2], rgb[1], rgb[0], a * 255 // n]))
    xor = b"".join(pixels)
    mask_row = ((size + 31) // 32) * 4
    andmask = bytes(mask_row * size)  # all opaque; the alpha channel rules
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(andmask), 0, 0, 0, 0)
    return header + xor + andmask


def main(path):
    sizes = [16, 32, 48]
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, img in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "qzln.ico")
