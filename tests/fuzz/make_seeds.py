#!/usr/bin/python3
"""Writes the fuzz target's seed images: one small PNG of each colour type and
depth the decoder handles. Run with /usr/bin/python3 (Debian's python3-pil);
the files are committed."""
import os

from PIL import Image

out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "seeds")
os.makedirs(out, exist_ok=True)


def pattern(mode, size=(7, 5)):
    img = Image.new(mode, size)
    w, h = size
    top = 65535 if mode.startswith("I;16") else 255
    for y in range(h):
        for x in range(w):
            v = (x * 37 + y * 91) % (top + 1)
            if mode in ("L", "P", "1") or mode.startswith("I;16"):
                img.putpixel((x, y), v if mode != "1" else v & 1)
            elif mode == "LA":
                img.putpixel((x, y), (v, 255 - v))
            elif mode == "RGB":
                img.putpixel((x, y), (v, 255 - v, (v * 3) % 256))
            else:
                img.putpixel((x, y), (v, 255 - v, (v * 3) % 256, (x * 40) % 256))
    return img


pattern("RGBA").save(os.path.join(out, "rgba8.png"))
pattern("RGB").save(os.path.join(out, "rgb8.png"))
pattern("L").save(os.path.join(out, "grey8.png"))
pattern("LA").save(os.path.join(out, "grey_alpha8.png"))
pattern("1").save(os.path.join(out, "grey1.png"))
pattern("I;16").save(os.path.join(out, "grey16.png"))
palette = pattern("P")
palette.putpalette([(i * 7) % 256 for i in range(768)])
palette.save(os.path.join(out, "palette_trns.png"), transparency=3)
grey_trns = pattern("L")
grey_trns.save(os.path.join(out, "grey_trns.png"), transparency=37)


def write_interlaced_rgba(img, path):
    """Pillow writes no interlaced PNGs: this one is put together by hand, the
    seven Adam7 passes of 8-bit RGBA, each row with filter byte 0."""
    import struct
    import zlib

    w, h = img.size
    px = img.load()
    passes = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
    raw = bytearray()
    for x0, y0, dx, dy in passes:
        xs = range(x0, w, dx)
        if not xs:
            continue
        for y in range(y0, h, dy):
            raw.append(0)
            for x in xs:
                raw.extend(px[x, y])

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 1)))
        f.write(chunk(b"IDAT", zlib.compress(bytes(raw), 9)))
        f.write(chunk(b"IEND", b""))


write_interlaced_rgba(pattern("RGBA", (9, 10)), os.path.join(out, "rgba8_interlaced.png"))
