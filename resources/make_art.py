#!/usr/bin/env python3
"""Draws the project's artwork with nothing but the standard library.

Writes, relative to the repository root:
  resources/lanternshell.ico                    the executable's icon, 16/32/256 px
  examples/lantern-garden/icon.png              the example's window icon, 256 px
  examples/lantern-garden/www/img/lantern.png   the picture on the example's start page
  examples/lantern-garden/www/audio/chime.wav   a short chime, for range requests

The output is deterministic, so running it again changes nothing in git.
"""
import math
import os
import struct
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def clamp(x, lo=0.0, hi=1.0):
    return lo if x < lo else hi if x > hi else x


def rounded_box(x, y, cx, cy, hw, hh, r):
    """Signed distance to a rounded rectangle centred on (cx, cy)."""
    qx = abs(x - cx) - hw + r
    qy = abs(y - cy) - hh + r
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - r


def ellipse(x, y, cx, cy, rx, ry):
    """Approximate signed distance to an ellipse, in units of its smaller radius."""
    d = math.hypot((x - cx) / rx, (y - cy) / ry)
    return (d - 1.0) * min(rx, ry)


def over(dst, src, alpha):
    """Source colour over destination (both premultiplied-free RGBA 0..1)."""
    a = alpha * src[3]
    out_a = a + dst[3] * (1 - a)
    if out_a <= 0:
        return (0.0, 0.0, 0.0, 0.0)
    return tuple((src[i] * a + dst[i] * dst[3] * (1 - a)) / out_a for i in range(3)) + (out_a,)


def lantern_pixel(u, v, aa):
    """Colour of the lantern picture at (u, v) in a unit square; aa is one pixel."""
    cover = lambda d: clamp(0.5 - d / aa)
    px = (0.0, 0.0, 0.0, 0.0)
    # Night-blue tile with rounded corners.
    tile = rounded_box(u, v, 0.5, 0.5, 0.48, 0.48, 0.16)
    night = (0.07 + 0.10 * (1 - v), 0.09 + 0.10 * (1 - v), 0.22 + 0.16 * (1 - v), 1.0)
    px = over(px, night, cover(tile))
    # Warm halo around the lantern.
    glow = math.exp(-(((u - 0.5) / 0.30) ** 2 + ((v - 0.56) / 0.30) ** 2))
    px = over(px, (1.0, 0.70, 0.25, 1.0), 0.45 * glow * cover(tile))
    # Hanging ring and cap.
    ring = abs(math.hypot(u - 0.5, v - 0.18) - 0.055) - 0.018
    px = over(px, (0.35, 0.22, 0.12, 1.0), cover(ring) * (1.0 if v < 0.2 else 0.0))
    cap = rounded_box(u, v, 0.5, 0.27, 0.16, 0.045, 0.03)
    px = over(px, (0.42, 0.25, 0.12, 1.0), cover(cap))
    # Paper body: an ellipse, shaded from a hot centre to a deep orange rim.
    body = ellipse(u, v, 0.5, 0.56, 0.27, 0.25)
    d = clamp(math.hypot((u - 0.5) / 0.27, (v - 0.56) / 0.25))
    hot = (1.0, 0.93 - 0.45 * d, 0.55 - 0.45 * d, 1.0)
    px = over(px, hot, cover(body))
    # Ribs of the paper.
    for k in (-0.5, 0.0, 0.5):
        rib = abs((u - 0.5) - k * 0.27 * math.sqrt(clamp(1 - ((v - 0.56) / 0.25) ** 2))) - 0.012
        px = over(px, (0.80, 0.33, 0.10, 1.0), 0.7 * cover(rib) * cover(body + 0.01))
    # Foot and tassel.
    foot = rounded_box(u, v, 0.5, 0.83, 0.12, 0.035, 0.025)
    px = over(px, (0.42, 0.25, 0.12, 1.0), cover(foot))
    tassel = rounded_box(u, v, 0.5, 0.91, 0.018, 0.05, 0.01)
    px = over(px, (0.85, 0.20, 0.15, 1.0), cover(tassel))
    return px


def render(size, samples=4):
    """Rows of (r, g, b, a) bytes, supersampled samples x samples per pixel."""
    rows = []
    aa = 1.0 / size
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(samples):
                for sx in range(samples):
                    u = (x + (sx + 0.5) / samples) / size
                    v = (y + (sy + 0.5) / samples) / size
                    r, g, b, a = lantern_pixel(u, v, aa)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = samples * samples
            a = acc[3] / n
            if a > 0:
                rgb = [c / acc[3] for c in acc[:3]]
            else:
                rgb = [0.0, 0.0, 0.0]
            row.append(tuple(int(round(clamp(c) * 255)) for c in rgb) + (int(round(a * 255)),))
        rows.append(row)
    return rows


def png_bytes(rows):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    height, width = len(rows), len(rows[0])
    raw = b"".join(filtered_rows(rows))
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def quantized(rows, bits):
    """Each channel rounded to the nearest of 2**bits levels."""
    step = 1 << (8 - bits)
    return [[tuple(min(255, round(c / step) * step) for c in px) for px in row] for row in rows]


def filtered_rows(rows, bpp=4):
    """Each row with the PNG filter that leaves the smallest differences (the
    usual heuristic): a third fewer bytes than unfiltered rows, and the icon
    is carried inside every executable."""
    def paeth(a, b, c):
        p = a + b - c
        pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
        return a if pa <= pb and pa <= pc else (b if pb <= pc else c)

    previous = bytes(len(rows[0]) * bpp)
    for row in rows:
        cur = bytes(c for px in row for c in px)
        left = lambda i: cur[i - bpp] if i >= bpp else 0
        up_left = lambda i: previous[i - bpp] if i >= bpp else 0
        predictors = [
            lambda i: 0,
            left,
            lambda i: previous[i],
            lambda i: (left(i) + previous[i]) >> 1,
            lambda i: paeth(left(i), previous[i], up_left(i)),
        ]
        candidates = [bytes((cur[i] - predict(i)) & 255 for i in range(len(cur)))
                      for predict in predictors]
        cost = lambda data: sum(v if v < 128 else 256 - v for v in data)
        kind = min(range(len(candidates)), key=lambda k: cost(candidates[k]))
        yield bytes([kind]) + candidates[kind]
        previous = cur


def ico_bytes(images):
    """images: list of (size, data); 256 is written as 0 in the directory."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for size, data in images:
        dim = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset + len(body))
        body += data
    return out + body


def chime_wav(seconds=1.6, rate=22050):
    """A bell-like chime: a few inharmonic partials, each decaying."""
    partials = [(523.25, 1.0, 2.2), (1046.5, 0.45, 3.0), (1567.98, 0.25, 4.0), (2637.0, 0.12, 6.0)]
    frames = bytearray()
    count = int(seconds * rate)
    for n in range(count):
        t = n / rate
        attack = clamp(t / 0.005)
        s = sum(a * math.exp(-d * t) * math.sin(2 * math.pi * f * t) for f, a, d in partials)
        value = int(clamp(0.45 * attack * s / 1.82 + 0.5) * 65535) - 32768
        frames += struct.pack("<h", max(-32768, min(32767, value)))
    header = (b"RIFF" + struct.pack("<I", 36 + len(frames)) + b"WAVE"
              + b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, rate, rate * 2, 2, 16)
              + b"data" + struct.pack("<I", len(frames)))
    return header + bytes(frames)


def write(relative, data):
    path = os.path.join(ROOT, relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    print(f"{relative}: {len(data)} bytes")


def main():
    big = render(256, samples=2)
    # PNG at every size (Windows reads them since Vista): a third of the
    # bytes of the classic bitmaps. 48 px is scaled down from 256 well
    # enough, and the large image keeps 6 bits a channel, which shows no
    # more than faint rings in the glow: the icon is carried in every copy
    # of the executable, whose size is kept under 512 KiB.
    images = [(s, png_bytes(render(s))) for s in (16, 32)]
    images.append((256, png_bytes(quantized(big, 6))))
    write("resources/lanternshell.ico", ico_bytes(images))
    write("examples/lantern-garden/icon.png", png_bytes(big))
    write("examples/lantern-garden/www/img/lantern.png", png_bytes(render(160)))
    write("examples/lantern-garden/www/audio/chime.wav", chime_wav())


if __name__ == "__main__":
    main()
