#!/usr/bin/python3
"""Draws the editor's images into resources/ (or the directory given) at each
scale the editor shows its panel at: 100 % (panel.png, knob.png, ...), 150 %
and 200 % (panel_150.png, knob_200.png, ...), each drawn at its own
resolution, and the zoom menu at all three; or, with --label, the version
label that the Linux editor shows in place of the text Windows draws at run
time (the build calls it with the version, once per scale).

    /usr/bin/python3 scripts/make-images.py [OUTPUT_DIR]
    /usr/bin/python3 scripts/make-images.py --label TEXT OUTPUT.png [PERCENT]

Needs Debian's python3-pil and fonts-dejavu-core (scripts/setup.sh installs
them). The output depends only on this script, Pillow and the fonts, so running
it again reproduces the committed files.

Shapes are drawn at SS times the final size and reduced with premultiplied
alpha, which gives smooth edges; small text is drawn at the final size, where
FreeType's hinting keeps it crisp.

Coordinates are the 100 % panel's pixels ("panel pixels"); at another scale
they are multiplied out when drawn. Where a control's image meets the panel
drawn under it (a knob in its well, lamps in their housing, a handle in its
slot), both use the position and size the editor gives the control at that
scale, the panel pixel rounded half up to a whole pixel (px(); the editor's
zem::Scale::pixels computes the same), so the two always line up.
"""
import math
import os
import sys

from PIL import Image, ImageDraw, ImageFilter, ImageFont

SS = 8  # supersampling factor for shapes
SCALES = (100, 150, 200)  # the sizes the panel is drawn at, in percent
FONT_DIR = "/usr/share/fonts/truetype/dejavu"
FONT_BOLD = os.path.join(FONT_DIR, "DejaVuSans-Bold.ttf")
FONT_CONDENSED_BOLD = os.path.join(FONT_DIR, "DejaVuSansCondensed-Bold.ttf")
FONT_REGULAR = os.path.join(FONT_DIR, "DejaVuSans.ttf")

PANEL_SIZE = (702, 366)
RED = (245, 25, 44)
WHITE = (255, 255, 255)
WELL = (38, 10, 14)          # knob wells, slider slots, lamp housings
SEPARATOR_DARK = (168, 14, 30)
SEPARATOR_LIGHT = (255, 92, 104)

KNOB_SIZE = 36
KNOB_FRAMES = 97
KNOB_SWEEP = 135.0  # degrees either side of straight up at the ends of the range

SLIDER_HEIGHT = 110
HANDLE_SIZE = (14, 27)
SLIDER_TRAVEL = SLIDER_HEIGHT - HANDLE_SIZE[1]

LAMP_SIZE = (20, 11)
RADIO_SPACING = 13

# Section columns: (title, left, right, top of the title bar). The upper and
# lower halves of the split columns meet at the lower title bars.
TITLE_TOP = 11
LOWER_TITLE_TOP = 186
TITLE_HEIGHT = 15
SEPARATORS = [153, 247, 392, 548]
SECTIONS = [
    ("OSC 1", 0, 153, TITLE_TOP),
    ("OSC 2", 0, 153, LOWER_TITLE_TOP),
    ("PITCH", 153, 247, TITLE_TOP),
    ("FILTER", 247, 392, TITLE_TOP),
    ("LFO", 392, 548, TITLE_TOP),
    ("GLOBAL", 392, 548, LOWER_TITLE_TOP),
    ("AMP ENV", 548, 702, TITLE_TOP),
    ("MOD ENV", 548, 702, LOWER_TITLE_TOP),
]

# Controls as the editor places them: knobs (left, top, steps, legend), where
# steps 0 is a continuous knob; lamp groups (left, top, item legends), one item
# for a switch; sliders (left, top, legend).
KNOBS = [
    (95, 48, 0, "VOLUME"), (95, 120, 0, "SHAPE"),
    (95, 224, 0, "VOLUME"), (95, 296, 0, "DETUNE"),
    (182, 48, 25, "MASTER"), (182, 120, 0, "DETUNE"), (182, 249, 0, "MOD"),
    (333, 48, 0, "CUTOFF"), (333, 120, 0, "Q"), (269, 192, 0, "MOD"), (333, 192, 0, "KBD"),
    (484, 48, 0, "DELAY"), (484, 120, 0, "RATE"),
    (484, 223, 0, "GLIDE"), (420, 296, 13, "PWHEEL"), (484, 296, 0, "MASTER"),
]
LAMPS = [
    (24, 47, ["~triangle", "~pulse", "~noise"]),
    (24, 119, ["MAN", "ENV", "LFO"]),
    (24, 224, ["~triangle", "~pulse", "~saw"]),
    (24, 300, ["RING"]), (24, 317, ["SYNC"]),
    (175, 187, ["ENV", "LFO"]), (175, 217, ["INV"]),
    (175, 315, ["OSC1"]), (175, 328, ["OSC2"]),
    (262, 48, ["~lp4", "~lp2", "~bp"]),
    (262, 119, ["ENV", "LFO"]), (262, 149, ["INV"]),
    (413, 54, ["~triangle", "~square"]),
    (413, 223, ["RTRG", "LEGA", "POLY"]),
]
SLIDERS = [(575 + 26 * i, top, "ADSR"[i]) for top in (48, 224) for i in range(4)]

WORDMARK = "VELDANE"
WORDMARK_LEFT = 267   # aligned with the version label, which starts at (267, 300)
WORDMARK_BOTTOM = 293

# The version label as the Windows editor draws it (ui/label_control.cpp): a
# 14-pixel character cell standing on the label box's bottom edge, in light
# pink. Under wine its "Arial" is DejaVu Sans, whose ascent and descent add up
# to 1.164 em: 12 pixels to the em, 11 of the cell above the baseline.
LABEL_SIZE = 12
LABEL_CELL_HEIGHT = 14
LABEL_ASCENT = 11
LABEL_COLOUR = (255, 180, 180)
# GDI's smoothed text is blended with Windows' font smoothing gamma of 1.4,
# which makes partly covered pixels heavier than their plain coverage.
LABEL_GAMMA = 1.4


def font(path, size):
    return ImageFont.truetype(path, size)


# The scale being drawn: percent, and F, supersampled pixels per panel pixel
# (SS at 100 %; a whole number at every scale).
PERCENT = 100
F = SS


def set_scale(percent):
    global PERCENT, F
    PERCENT = percent
    F = SS * percent // 100


def k():
    """Final pixels per panel pixel."""
    return PERCENT / 100


def px(v):
    """A whole number of panel pixels as a whole number of final pixels,
    rounded half up, as the editor places its controls."""
    return (v * PERCENT + 50) // 100


def snapped(v):
    """A whole number of panel pixels, placed as the editor places a control,
    back in (fractional) panel pixels."""
    return px(v) * SS / F


def scaled_size(size):
    return (px(size[0]), px(size[1]))


def reduce(big):
    """Shrinks a supersampled RGBA layer by SS with premultiplied alpha, so that
    transparent pixels lend no colour to the edges."""
    w, h = big.size
    return big.convert("RGBa").resize((w // SS, h // SS), Image.BOX).convert("RGBA")


def layer(size):
    """A supersampled layer for an image of `size` panel pixels."""
    return Image.new("RGBA", (size[0] * F, size[1] * F), (0, 0, 0, 0))


def s(v):
    """A panel coordinate in supersampled pixels."""
    return v * F


def pixel_art(size, final, colour_at):
    """An image of `final` pixels drawn from a design of `size` panel pixels
    whose every pixel has one colour, colour_at(x, y, gx, gy): (x, y) is the
    panel pixel, (gx, gy) the exact position, in panel pixels, of the final
    pixel's centre, for gradients. A final pixel covering parts of several
    panel pixels mixes them by the area it covers, so lines stay sharp where
    they fall on whole pixels and are shaded where they do not. At 100 %
    every final pixel is one panel pixel."""
    w, h = size
    fw, fh = final
    kx, ky = fw / w, fh / h

    def spans(i, scale, count):
        lo, hi = i / scale, (i + 1) / scale
        out = []
        for c in range(int(math.floor(lo)), min(count, int(math.ceil(hi)))):
            out.append((c, (min(c + 1, hi) - max(c, lo)) * scale))
        return out

    img = Image.new("RGBA", final)
    out = img.load()
    for fy in range(fh):
        rows = spans(fy, ky, h)
        gy = (fy + 0.5) / ky - 0.5
        for fx in range(fw):
            cols = spans(fx, kx, w)
            gx = (fx + 0.5) / kx - 0.5
            acc = [0.0, 0.0, 0.0, 0.0]
            for y, wy in rows:
                for x, wx in cols:
                    c = colour_at(x, y, gx, gy)
                    for j in range(4):
                        acc[j] += c[j] * wx * wy
            out[fx, fy] = tuple(max(0, min(255, round(a))) for a in acc)
    return img


def circle(draw, cx, cy, r, fill):
    draw.ellipse([s(cx - r), s(cy - r), s(cx + r), s(cy + r)], fill=fill)


def thick_line(draw, points, width, fill):
    """A polyline with round joints and ends, in final-size coordinates."""
    pts = [(s(x), s(y)) for x, y in points]
    draw.line(pts, fill=fill, width=max(1, round(s(width))), joint="curve")
    for x, y in (pts[0], pts[-1]):
        r = s(width) / 2
        draw.ellipse([x - r, y - r, x + r, y + r], fill=fill)


def knob_angle(frame):
    """Pointer direction of a frame in degrees clockwise from straight up."""
    return -KNOB_SWEEP + 2 * KNOB_SWEEP * frame / (KNOB_FRAMES - 1)


def vertical_gradient(size, top, bottom):
    img = Image.new("RGBA", size)
    w, h = size
    draw = ImageDraw.Draw(img)
    for y in range(h):
        t = y / max(1, h - 1)
        draw.line([(0, y), (w, y)], fill=tuple(round(a + (b - a) * t) for a, b in zip(top, bottom)) + (255,))
    return img


def diagonal_gradient(size, light, dark):
    """Light at the top left, dark at the bottom right: the panel's light falls from there."""
    w, h = size
    img = Image.new("RGBA", size)
    px = img.load()
    for y in range(h):
        for x in range(w):
            t = (x + y) / (w + h - 2)
            px[x, y] = tuple(round(a + (b - a) * t) for a, b in zip(light, dark)) + (255,)
    return img


def masked(fill, mask_draw_fn, size):
    mask = Image.new("L", size, 0)
    mask_draw_fn(ImageDraw.Draw(mask))
    out = Image.new("RGBA", size, (0, 0, 0, 0))
    out.paste(fill, (0, 0), mask)
    return out


# --- Knob frames -------------------------------------------------------------

def knob_base():
    """The parts of a knob that do not turn: shadow, skirt, silver cap."""
    c = KNOB_SIZE / 2
    size = (s(KNOB_SIZE), s(KNOB_SIZE))
    base = layer((KNOB_SIZE, KNOB_SIZE))

    shadow = layer((KNOB_SIZE, KNOB_SIZE))
    circle(ImageDraw.Draw(shadow), c, c + 0.8, 16.6, (0, 0, 0, 150))
    shadow = shadow.filter(ImageFilter.GaussianBlur(s(0.8)))
    base.alpha_composite(shadow)

    skirt = vertical_gradient(size, (74, 74, 80), (18, 18, 22))
    base.alpha_composite(masked(skirt, lambda d: circle(d, c, c, 16.0, 255), size))
    # A fine bevel on the skirt's upper rim.
    rim = layer((KNOB_SIZE, KNOB_SIZE))
    d = ImageDraw.Draw(rim)
    d.arc([s(c - 15.6), s(c - 15.6), s(c + 15.6), s(c + 15.6)], 200, 340, fill=(150, 150, 158, 160), width=round(s(0.6)))
    base.alpha_composite(rim)

    # Cap: a dark edge, then brushed silver lit from the top left.
    edge = layer((KNOB_SIZE, KNOB_SIZE))
    circle(ImageDraw.Draw(edge), c, c, 11.6, (40, 40, 44, 255))
    base.alpha_composite(edge)
    silver = diagonal_gradient(size, (246, 246, 250), (132, 134, 142))
    base.alpha_composite(masked(silver, lambda d: circle(d, c, c, 10.9, 255), size))
    rings = layer((KNOB_SIZE, KNOB_SIZE))
    d = ImageDraw.Draw(rings)
    for r in (3.0, 5.0, 7.0, 9.0):
        d.ellipse([s(c - r), s(c - r), s(c + r), s(c + r)], outline=(255, 255, 255, 34), width=round(s(0.5)))
    base.alpha_composite(rings)
    # Highlight towards the light.
    glow = layer((KNOB_SIZE, KNOB_SIZE))
    circle(ImageDraw.Draw(glow), c - 3.2, c - 3.8, 4.5, (255, 255, 255, 90))
    glow = glow.filter(ImageFilter.GaussianBlur(s(1.6)))
    base.alpha_composite(masked(glow, lambda d: circle(d, c, c, 10.9, 255), size))
    return base


def knob_pointer():
    """The pointer, straight up: white on the skirt, a dark groove on the cap."""
    c = KNOB_SIZE / 2
    p = layer((KNOB_SIZE, KNOB_SIZE))
    d = ImageDraw.Draw(p)
    thick_line(d, [(c, c - 4.0), (c, c - 10.0)], 1.6, (60, 62, 68, 230))
    thick_line(d, [(c, c - 11.4), (c, c - 15.0)], 2.4, (255, 255, 255, 255))
    return p


def make_knob():
    base = knob_base()
    pointer = knob_pointer()
    size = px(KNOB_SIZE)
    strip = Image.new("RGBA", (size, size * KNOB_FRAMES), (0, 0, 0, 0))
    for i in range(KNOB_FRAMES):
        frame = base.copy()
        # Pillow turns counter-clockwise for positive angles.
        frame.alpha_composite(pointer.rotate(-knob_angle(i), resample=Image.BICUBIC))
        strip.paste(reduce(frame), (0, i * size))
    return strip


# --- Slider handle and lamps ---------------------------------------------------

def make_handle():
    w, h = HANDLE_SIZE
    mid = h // 2
    # Rounded corners: the only partly transparent pixels.
    corners = {(0, 0), (w - 1, 0), (0, h - 1), (w - 1, h - 1)}
    beside_corners = {(1, 0), (0, 1), (w - 2, 0), (w - 1, 1), (1, h - 1), (0, h - 2), (w - 2, h - 1), (w - 1, h - 2)}

    def colour_at(x, y, gx, gy):
        t = gy / (h - 1)
        v = 214 - 60 * t                        # lit from above
        if y == mid - 1:
            v = 118
        elif y == mid:
            v = 24                          # the middle line marks the value
        elif y == mid + 1:
            v = 226
        elif ((y - 2) % 3 == 0 and 2 <= y < mid - 2) or ((y - mid - 3) % 3 == 0 and mid + 3 <= y < h - 2):
            v -= 52                         # ridge groove
        elif ((y - 3) % 3 == 0 and 3 <= y < mid - 1) or ((y - mid - 4) % 3 == 0 and mid + 4 <= y < h - 1):
            v += 26                         # ridge crest
        if y == 0:
            v = 236
        elif y == h - 1:
            v = 92
        elif x == 0:
            v = min(255, v + 20)
        elif x == w - 1:
            v = v - 58
        g = max(0, min(255, round(v)))
        alpha = 96 if (x, y) in corners else 214 if (x, y) in beside_corners else 255
        return (g, g, min(255, g + 4), alpha)

    return pixel_art(HANDLE_SIZE, scaled_size(HANDLE_SIZE), colour_at)


def make_lamp(face_top, face_bottom, rim, inner_light):
    w, h = LAMP_SIZE

    def colour_at(x, y, gx, gy):
        if x in (0, w - 1) or y in (0, h - 1):
            return rim + (255,)
        t = min(1.0, max(0.0, (gy - 1) / (h - 3)))
        c = tuple(round(a + (b - a) * t) for a, b in zip(face_top, face_bottom))
        if y == 1:
            c = tuple(min(255, v + inner_light) for v in c)
        return c + (255,)

    return pixel_art(LAMP_SIZE, scaled_size(LAMP_SIZE), colour_at)


# --- Panel ---------------------------------------------------------------------

def wave_points(kind, x0, y0, w, h):
    """The symbol of a waveform or filter response in a w x h box at (x0, y0)."""
    top, bottom, mid = y0, y0 + h, y0 + h / 2

    def X(t):
        return x0 + w * t

    if kind == "triangle":
        return [(X(0), mid), (X(0.25), top), (X(0.75), bottom), (X(1), mid)]
    if kind in ("pulse", "square"):
        duty = 0.3 if kind == "pulse" else 0.5
        return [(X(0), bottom), (X(0), top), (X(duty), top), (X(duty), bottom), (X(1), bottom), (X(1), top)]
    if kind == "saw":
        return [(X(0), bottom), (X(0.5), top), (X(0.5), bottom), (X(1), top)]
    if kind == "noise":
        # Fixed offsets: the symbol must not change between runs.
        ys = [0.55, 0.1, 0.8, 0.3, 1.0, 0.0, 0.65, 0.2, 0.9, 0.4, 0.75, 0.05, 0.5]
        return [(X(i / (len(ys) - 1)), top + h * v) for i, v in enumerate(ys)]
    # Filter responses over a log frequency axis: flat, then a roll-off whose
    # steepness shows the number of poles.
    pts = []
    for i in range(41):
        t = i / 40
        if kind == "bp":
            g = math.exp(-((t - 0.5) / 0.2) ** 2)
        else:
            order = 4 if kind == "lp4" else 2
            f = 10 ** ((t - 0.45) * 2.0)
            g = 1 / math.sqrt(1 + f ** (2 * order))
        pts.append((X(t), bottom - (h - 0.4) * g))
    return pts


def draw_text(draw, xy, text, fnt, fill, anchor):
    draw.text(xy, text, font=fnt, fill=fill, anchor=anchor)


def make_panel():
    w, h = PANEL_SIZE
    shapes = layer(PANEL_SIZE)
    d = ImageDraw.Draw(shapes)

    # Engraved separators: a dark line with a light one beside it, on whole
    # pixels at every scale.
    for x in SEPARATORS:
        d.rectangle([px(x) * SS, s(8), px(x + 1) * SS - 1, s(h - 8) - 1], fill=SEPARATOR_DARK + (255,))
        d.rectangle([px(x + 1) * SS, s(8), px(x + 2) * SS - 1, s(h - 8) - 1], fill=SEPARATOR_LIGHT + (150,))

    for title, left, right, top in SECTIONS:
        d.rounded_rectangle([s(left + 7), s(top), s(right - 7), s(top + TITLE_HEIGHT)], radius=s(2.5),
                            fill=WHITE + (255,))

    # Knob wells with their scales: a tick per position on stepped knobs,
    # eleven on continuous ones, the ends and the middle drawn longer.
    for left, top, steps, _ in KNOBS:
        cx, cy = snapped(left) + snapped(KNOB_SIZE) / 2, snapped(top) + snapped(KNOB_SIZE) / 2
        circle(d, cx, cy, 18.6, WELL + (255,))
        ticks = steps if steps >= 2 else 11
        for i in range(ticks):
            a = math.radians(-KNOB_SWEEP + 2 * KNOB_SWEEP * i / (ticks - 1))
            major = i in (0, ticks - 1) or 2 * i == ticks - 1
            r0, r1 = 20.6, (24.4 if major else 23.0)
            width = 1.3 if major else (1.0 if ticks > 13 else 1.1)
            sx, sy = math.sin(a), -math.cos(a)
            thick_line(d, [(cx + r0 * sx, cy + r0 * sy), (cx + r1 * sx, cy + r1 * sy)], width,
                       WHITE + (255 if major else 215,))

    # Lamp housings: one dark frame around each group; the gaps between the
    # lamps stay dark.
    for left, top, items in LAMPS:
        left, bottom = snapped(left), snapped(top) + snapped((len(items) - 1) * RADIO_SPACING) + snapped(LAMP_SIZE[1])
        top = snapped(top)
        d.rounded_rectangle([s(left - 2), s(top - 2), s(left + snapped(LAMP_SIZE[0]) + 2), s(bottom + 2)], radius=s(2),
                            fill=WELL + (255,))

    # Slider slots with a scale on their left: eleven ticks at the handle's
    # middle line for 0, 0.1 .. 1.
    for left, top, _ in SLIDERS:
        left, top = snapped(left), snapped(top)
        height, handle = snapped(SLIDER_HEIGHT), snapped(HANDLE_SIZE[1])
        cx = left + snapped(HANDLE_SIZE[0]) / 2
        d.rounded_rectangle([s(cx - 2.5), s(top + 4), s(cx + 2.5), s(top + height - 4)], radius=s(2.5),
                            fill=WELL + (255,))
        for i in range(11):
            y = top + height - handle / 2 - (height - handle) * i / 10
            major = i in (0, 5, 10)
            x0 = left - (8 if major else 6)
            d.rectangle([s(x0), s(y - 0.5), s(left - 2), s(y + 0.5)], fill=WHITE + (255 if major else 200,))

    # Waveform and filter symbols beside their lamps.
    for left, top, items in LAMPS:
        for i, item in enumerate(items):
            if item.startswith("~"):
                y = snapped(top) + snapped(i * RADIO_SPACING) + (snapped(LAMP_SIZE[1]) - 8) / 2
                x = snapped(left) + snapped(LAMP_SIZE[0]) + 7
                thick_line(d, wave_points(item[1:], x, y, 17, 8), 1.2, WHITE + (255,))

    panel = Image.new("RGBA", scaled_size(PANEL_SIZE), RED + (255,))
    panel.alpha_composite(reduce(shapes))

    # Text at final size, in final pixels.
    t = ImageDraw.Draw(panel)
    title_font = font(FONT_BOLD, px(10))
    legend_font = font(FONT_CONDENSED_BOLD, px(9))
    for title, left, right, top in SECTIONS:
        draw_text(t, ((left + right) / 2 * k(), (top + TITLE_HEIGHT / 2) * k() + 0.5), title, title_font, RED, "mm")
    for left, top, _, legend in KNOBS:
        draw_text(t, (px(left) + px(KNOB_SIZE) / 2, px(top) + px(KNOB_SIZE) + px(4)), legend, legend_font, WHITE, "mt")
    for left, top, items in LAMPS:
        for i, item in enumerate(items):
            if not item.startswith("~"):
                y = px(top) + px(i * RADIO_SPACING) + px(LAMP_SIZE[1]) / 2
                draw_text(t, (px(left) + px(LAMP_SIZE[0]) + px(6), y), item, legend_font, WHITE, "lm")
    for left, top, legend in SLIDERS:
        draw_text(t, (px(left) + px(HANDLE_SIZE[0]) / 2, px(top) + px(SLIDER_HEIGHT) + px(3)), legend, legend_font,
                  WHITE, "mt")

    # The wordmark, spaced out a little, left-aligned with the version label.
    mark_font = font(FONT_BOLD, px(21))
    x = px(WORDMARK_LEFT)
    for ch in WORDMARK:
        t.text((x, px(WORDMARK_BOTTOM)), ch, font=mark_font, fill=WHITE, anchor="ls")
        x += t.textlength(ch, font=mark_font) + 1.5 * k()
    return panel


def make_label(text):
    """The text in its cell, transparent around the glyphs. Glyphs are placed
    on whole pixels (Pillow's basic layout), as GDI places them. At another
    scale the cell, the font and the baseline grow with it, as the Windows
    editor's font does."""
    fnt = ImageFont.truetype(FONT_REGULAR, px(LABEL_SIZE), layout_engine=ImageFont.Layout.BASIC)
    width = math.ceil(max(fnt.getlength(text), fnt.getbbox(text, anchor="ls")[2])) + 1
    coverage = Image.new("L", (width, px(LABEL_CELL_HEIGHT)), 0)
    ImageDraw.Draw(coverage).text((0, px(LABEL_ASCENT)), text, font=fnt, fill=255, anchor="ls")
    alpha = coverage.point(lambda a: round(255 * (a / 255) ** (1 / LABEL_GAMMA)))
    label = Image.new("RGBA", coverage.size, LABEL_COLOUR + (0,))
    label.putalpha(alpha)
    return label


# --- The zoom menu ---------------------------------------------------------------
# A right-click on the panel's background opens it where the pointer is
# (ui/zoom_menu.h): a light box of one row per size, the row under the
# pointer lit in the panel's red, a check mark beside the size shown. Three
# images per scale: the box, the same box with every row lit (the editor
# copies the lit row from it), and the check mark, one row tall.
MENU_ITEMS = ["100 %", "150 %", "200 %"]
MENU_WIDTH = 66
MENU_ROW = 18
MENU_BORDER = 1
MENU_TEXT_LEFT = 20   # the check mark's cell is the row's first MENU_ROW pixels
MENU_TEXT_SIZE = 11
MENU_FACE = (246, 246, 248)
MENU_INK = WELL


def menu_size():
    return (px(MENU_WIDTH), len(MENU_ITEMS) * px(MENU_ROW) + 2 * px(MENU_BORDER))


def make_menu(lit):
    """The box, its rows plain or all lit; text on whole pixels, as the
    panel's legends."""
    w, h = menu_size()
    border, row = px(MENU_BORDER), px(MENU_ROW)
    img = Image.new("RGBA", (w, h), MENU_INK + (255,))
    d = ImageDraw.Draw(img)
    fnt = font(FONT_REGULAR, px(MENU_TEXT_SIZE))
    for i, item in enumerate(MENU_ITEMS):
        top = border + i * row
        d.rectangle([border, top, w - border - 1, top + row - 1], fill=(RED if lit else MENU_FACE) + (255,))
        d.text((px(MENU_TEXT_LEFT), top + row / 2), item, font=fnt, fill=WHITE if lit else MENU_INK, anchor="lm")
    return img


def make_check():
    """A check mark in a square cell of one row, on transparency."""
    size = px(MENU_ROW)
    big = layer((MENU_ROW, MENU_ROW))
    thick_line(ImageDraw.Draw(big), [(5.0, 9.5), (8.0, 12.5), (13.0, 5.5)], 2.0, MENU_INK + (255,))
    return reduce(big).crop((0, 0, size, size))


def save(img, path):
    # Plain 8-bit RGBA, not interlaced, no metadata: the files depend on the
    # pixels alone.
    img.convert("RGBA").save(path, format="PNG", optimize=True)


def file_name(name, percent):
    """panel.png at 100 %, panel_150.png at 150 %."""
    return name + ("" if percent == 100 else "_%d" % percent) + ".png"


def main():
    if len(sys.argv) in (4, 5) and sys.argv[1] == "--label":
        percent = int(sys.argv[4]) if len(sys.argv) == 5 else 100
        if percent not in SCALES:
            sys.exit("make-images.py: the label is drawn at %s percent" % ", ".join(map(str, SCALES)))
        set_scale(percent)
        os.makedirs(os.path.dirname(os.path.abspath(sys.argv[3])), exist_ok=True)
        save(make_label(sys.argv[2]), sys.argv[3])
        return
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..",
                                                              "resources")
    os.makedirs(out, exist_ok=True)
    for percent in SCALES:
        set_scale(percent)
        save(make_panel(), os.path.join(out, file_name("panel", percent)))
        save(make_knob(), os.path.join(out, file_name("knob", percent)))
        save(make_handle(), os.path.join(out, file_name("slider_handle", percent)))
        save(make_lamp((255, 255, 255), (236, 236, 240), (196, 196, 202), 0),
             os.path.join(out, file_name("lamp_on", percent)))
        save(make_lamp((78, 78, 84), (58, 58, 63), (30, 30, 33), 14), os.path.join(out, file_name("lamp_off", percent)))
        save(make_menu(False), os.path.join(out, file_name("zoom_menu", percent)))
        save(make_menu(True), os.path.join(out, file_name("zoom_menu_lit", percent)))
        save(make_check(), os.path.join(out, file_name("zoom_check", percent)))


if __name__ == "__main__":
    main()
