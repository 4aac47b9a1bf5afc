#!/usr/bin/env python3
"""Draws the installer's artwork: the dialog picture (bitmap 1) and the setup icon.

    make_artwork.py OUT_DIR

writes OUT_DIR/setup.bmp (205 x 142, 4 bits per pixel, uncompressed) and OUT_DIR/setup.ico
(16 x 16 and 32 x 32, each with 16 and with 256 colours; the 256-colour images carry only
the palette entries they use). Plain Python, no imaging library, and the output is the
same byte for byte on every run, so builds are reproducible.

The picture: Zentrivo's parcel, an orange box with the white "Z" on its front, floating over
a blue evening sky with a few sparkles. Shapes are described in continuous coordinates and
sampled per pixel; colours are reduced to the palette with an ordered (Bayer) dither, which
is what 16-colour art of the era looked like.
"""
import struct
import sys
from pathlib import Path

# ---------------------------------------------------------------------------------------
# Palettes
# ---------------------------------------------------------------------------------------

# Sixteen colours chosen for this picture: blues for the sky, oranges for the box, white,
# yellow and greys. Index 0 is black (the icons' transparent pixels use it).
PALETTE_16 = [
    (0, 0, 0), (16, 24, 72), (24, 48, 128), (40, 88, 176),
    (80, 136, 216), (136, 184, 240), (200, 224, 255), (255, 255, 255),
    (120, 48, 8), (184, 84, 16), (232, 128, 32), (252, 176, 72),
    (255, 224, 128), (96, 96, 112), (160, 160, 176), (64, 32, 8),
]


def palette_256():
    """A 6x6x6 colour cube followed by a ramp of greys: 216 + 40 = 256 entries."""
    levels = [0, 51, 102, 153, 204, 255]
    pal = [(r, g, b) for r in levels for g in levels for b in levels]
    pal += [(round(i * 255 / 39),) * 3 for i in range(40)]
    return pal


PALETTE_256 = palette_256()

BAYER4 = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]


def nearest(pal, rgb):
    r, g, b = rgb
    best, best_d = 0, None
    for i, (pr, pg, pb) in enumerate(pal):
        d = (pr - r) ** 2 * 3 + (pg - g) ** 2 * 4 + (pb - b) ** 2 * 2
        if best_d is None or d < best_d:
            best, best_d = i, d
    return best


def quantize(pixels, width, height, pal, spread):
    """Ordered dither: each pixel is nudged by its Bayer threshold before the nearest
    palette colour is taken; `spread` is the nudge's range in colour steps."""
    cache = {}
    out = []
    for y in range(height):
        row = []
        for x in range(width):
            rgb = pixels[y][x]
            if rgb is None:
                row.append(None)
                continue
            t = (BAYER4[y % 4][x % 4] / 16.0 - 0.5) * spread
            key = tuple(max(0, min(255, int(c + t))) for c in rgb)
            if key not in cache:
                cache[key] = nearest(pal, key)
            row.append(cache[key])
        out.append(row)
    return out


# ---------------------------------------------------------------------------------------
# Geometry
# ---------------------------------------------------------------------------------------

def inside(poly, x, y):
    """Even-odd rule point-in-polygon test."""
    hit = False
    n = len(poly)
    for i in range(n):
        x1, y1 = poly[i]
        x2, y2 = poly[(i + 1) % n]
        if (y1 > y) != (y2 > y):
            cross = x1 + (y - y1) * (x2 - x1) / (y2 - y1)
            if x < cross:
                hit = not hit
    return hit


def lerp(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def box_shapes(cx, cy, size):
    """The parcel in oblique projection: front square, top and right faces, and the "Z"
    on the front, as (polygon, colour function) pairs, back to front."""
    s = size
    d = s * 0.45  # depth offset of the back edges
    x0, y0 = cx - s / 2 - d / 4, cy - s / 2 + d / 4
    front = [(x0, y0), (x0 + s, y0), (x0 + s, y0 + s), (x0, y0 + s)]
    top = [(x0, y0), (x0 + d, y0 - d), (x0 + s + d, y0 - d), (x0 + s, y0)]
    side = [(x0 + s, y0), (x0 + s + d, y0 - d), (x0 + s + d, y0 + s - d), (x0 + s, y0 + s)]
    t = s * 0.16  # stroke of the Z
    m = s * 0.2   # margin of the Z inside the front face
    zx0, zy0, zx1, zy1 = x0 + m, y0 + m, x0 + s - m, y0 + s - m
    zed = [(zx0, zy0), (zx1, zy0), (zx1, zy0 + t), (zx0 + t * 1.3, zy1 - t),
           (zx1, zy1 - t), (zx1, zy1), (zx0, zy1), (zx0, zy1 - t),
           (zx1 - t * 1.3, zy0 + t), (zx0, zy0 + t)]
    tape = [(x0 + d * 0.5 + s * 0.4, y0 - d * 0.5), (x0 + d * 0.5 + s * 0.6, y0 - d * 0.5),
            (x0 + d * 0.9 + s * 0.6, y0 - d * 0.9), (x0 + d * 0.9 + s * 0.4, y0 - d * 0.9)]

    def front_col(x, y):
        return lerp((250, 150, 50), (210, 100, 20), (y - y0) / s)

    def top_col(x, y):
        return lerp((255, 200, 110), (250, 170, 70), (x - x0) / (s + d))

    def side_col(x, y):
        return lerp((170, 75, 15), (120, 50, 10), (y - y0 + d) / s)

    return [(top, top_col), (tape, lambda x, y: (255, 230, 150)),
            (side, side_col), (front, front_col),
            (zed, lambda x, y: (255, 255, 255))]


def sparkle(cx, cy, r):
    """A four-pointed star."""
    k = r * 0.22
    return [(cx, cy - r), (cx + k, cy - k), (cx + r, cy), (cx + k, cy + k),
            (cx, cy + r), (cx - k, cy + k), (cx - r, cy), (cx - k, cy - k)]


def render(width, height, shapes, background):
    """Samples the shapes at each pixel centre (2 x 2 supersampling at the edges)."""
    pixels = []
    offsets = [(0.25, 0.25), (0.75, 0.25), (0.25, 0.75), (0.75, 0.75)]
    for y in range(height):
        row = []
        for x in range(width):
            acc = [0.0, 0.0, 0.0]
            covered = 0
            for ox, oy in offsets:
                px, py = x + ox, y + oy
                colour = None
                for poly, col in shapes:
                    if inside(poly, px, py):
                        colour = col(px, py)
                if colour is None and background is not None:
                    colour = background(px, py)
                if colour is not None:
                    covered += 1
                    for i in range(3):
                        acc[i] += colour[i]
            if covered == 0 or (background is None and covered < 2):
                row.append(None)
            else:
                row.append(tuple(a / covered for a in acc))
        pixels.append(row)
    return pixels


# ---------------------------------------------------------------------------------------
# The dialog picture
# ---------------------------------------------------------------------------------------

def dialog_picture():
    width, height = 205, 142

    def sky(x, y):
        t = y / height
        if t < 0.6:
            return lerp((20, 30, 90), (60, 110, 200), t / 0.6)
        return lerp((60, 110, 200), (150, 195, 245), (t - 0.6) / 0.4)

    shadow = [(98 + 52 * c, 123 + 7 * s) for c, s in
              [(-1, 0), (-0.7, -0.7), (0, -1), (0.7, -0.7), (1, 0), (0.7, 0.7), (0, 1), (-0.7, 0.7)]]
    shapes = [(shadow, lambda x, y: (40, 70, 140))]
    shapes += box_shapes(96, 80, 62)
    for cx, cy, r in [(24, 22, 7), (176, 30, 9), (160, 100, 5), (36, 70, 4), (120, 16, 4)]:
        shapes.append((sparkle(cx, cy, r), lambda x, y: (255, 240, 170)))
    pixels = render(width, height, shapes, sky)
    return width, height, quantize(pixels, width, height, PALETTE_16, 40)


def write_bmp(path, width, height, indices):
    stride = ((width + 1) // 2 + 3) & ~3
    rows = []
    for y in reversed(range(height)):  # bottom-up
        row = bytearray(stride)
        for x in range(width):
            v = indices[y][x] or 0
            if x % 2 == 0:
                row[x // 2] |= v << 4
            else:
                row[x // 2] |= v
        rows.append(bytes(row))
    pixel_bytes = b"".join(rows)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE_16)
    offset = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(pixel_bytes),
                       2835, 2835, 16, 16)
    head = struct.pack("<2sIHHI", b"BM", offset + len(pixel_bytes), 0, 0, offset)
    Path(path).write_bytes(head + info + palette + pixel_bytes)


# ---------------------------------------------------------------------------------------
# The icon
# ---------------------------------------------------------------------------------------

def icon_image(size, bits):
    pal = PALETTE_16 if bits == 4 else PALETTE_256
    shapes = box_shapes(size * 0.47, size * 0.55, size * 0.62)
    pixels = render(size, size, shapes, None)
    idx = quantize(pixels, size, size, pal, 40 if bits == 4 else 24)
    if bits == 8:
        idx, pal = used_colours_only(idx, pal)
    # XOR image, bottom-up, rows padded to 4 bytes.
    stride = ((size * bits + 7) // 8 + 3) & ~3
    xor_rows = []
    and_stride = ((size + 7) // 8 + 3) & ~3
    and_rows = []
    for y in reversed(range(size)):
        row = bytearray(stride)
        mask = bytearray(and_stride)
        for x in range(size):
            v = idx[y][x]
            if v is None:
                mask[x // 8] |= 0x80 >> (x % 8)
                v = 0
            if bits == 4:
                row[x // 2] |= v << 4 if x % 2 == 0 else v
            else:
                row[x] = v
        xor_rows.append(bytes(row))
        and_rows.append(bytes(mask))
    colours = 16 if bits == 4 else 256
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0,
                       len(xor_rows) * stride + len(and_rows) * and_stride, 0, 0, len(pal), 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in pal)
    return info + palette + b"".join(xor_rows) + b"".join(and_rows), colours


def used_colours_only(idx, pal):
    """The pixels re-indexed into a palette of the colours they use (black, the
    transparent pixels' colour, always first), in the cube's order. The 256-colour images
    use about twenty: their palettes shrink from 1,024 bytes to about 80 (biClrUsed says
    how many entries follow), while the images stay 8 bits per pixel."""
    used = sorted({v for row in idx for v in row if v is not None} | {0})
    new_index = {v: i for i, v in enumerate(used)}
    return ([[None if v is None else new_index[v] for v in row] for row in idx],
            [pal[v] for v in used])


def write_ico(path):
    # The four images of the icon group, in the order the group lists them.
    images = [icon_image(16, 4), icon_image(16, 8), icon_image(32, 4), icon_image(32, 8)]
    sizes = [16, 16, 32, 32]
    bits = [4, 8, 4, 8]
    head = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    data = b""
    for (blob, colours), size, bpp in zip(images, sizes, bits):
        entries += struct.pack("<BBBBHHII", size, size, colours if colours < 256 else 0, 0,
                               1, bpp, len(blob), offset + len(data))
        data += blob
    Path(path).write_bytes(head + entries + data)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_artwork.py OUT_DIR")
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    width, height, indices = dialog_picture()
    write_bmp(out / "setup.bmp", width, height, indices)
    write_ico(out / "setup.ico")


if __name__ == "__main__":
    main()
