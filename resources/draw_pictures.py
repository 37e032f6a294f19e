#!/usr/bin/env python3
"""Draws the control panel's bitmaps and icons into res/ (run from anywhere; needs python3-pil).

One palette for everything: a deep-blue banner, a light blue-grey body with white
panels that frame the command buttons where the main window places them, and
icons in the same blues with one accent colour per kind of command.
"""
import os
import struct

from PIL import Image, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "res")

# Palette
NAVY = (22, 58, 112)
BLUE = (40, 98, 176)
SKY = (92, 150, 220)
BODY_TOP = (226, 233, 241)
BODY_BOTTOM = (200, 212, 226)
PANEL = (244, 247, 251)
PANEL_EDGE = (150, 170, 196)
WHITE = (255, 255, 255)
GOLD = (240, 170, 40)
GREEN = (52, 160, 80)
RED = (206, 58, 50)
ORANGE = (232, 126, 34)
GREY = (110, 122, 138)

# The main window's client area in pixels: dialog units times 1.75 (宋体 10 pt at 96 dpi).
# Once the caption is removed the client area is some 7 to 14 per cent taller and the
# picture is stretched over it, so the panels sit higher than the controls' own rows
# and are generous enough for every stretch in that range.
BG_SIZE = (454, 349)
BANNER_HEIGHT = 50

FONT_PATHS = ["/usr/share/fonts/truetype/wqy/wqy-microhei.ttc", "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc"]


def font(size):
    for path in FONT_PATHS:
        if os.path.exists(path):
            return ImageFont.truetype(path, size)
    return ImageFont.load_default()


def lerp(a, b, t):
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def vertical_gradient(size, top, bottom):
    w, h = size
    img = Image.new("RGB", size)
    d = ImageDraw.Draw(img)
    for y in range(h):
        d.line([(0, y), (w, y)], fill=lerp(top, bottom, y / max(1, h - 1)))
    return img


# ---------------------------------------------------------------- glyphs (drawn on a 4x canvas)

def shield(d, s, fill, outline=None):
    """A shield filling the 0..s square."""
    pts = [(s * 0.5, s * 0.06), (s * 0.88, s * 0.2), (s * 0.84, s * 0.58), (s * 0.5, s * 0.94),
           (s * 0.16, s * 0.58), (s * 0.12, s * 0.2)]
    d.polygon(pts, fill=fill, outline=outline)


def check_mark(d, s, fill, width):
    d.line([(s * 0.3, s * 0.5), (s * 0.45, s * 0.66), (s * 0.72, s * 0.34)], fill=fill, width=int(width), joint="curve")


def folder(d, s, body, tab, box=(0.06, 0.2, 0.94, 0.86)):
    x0, y0, x1, y1 = [v * s for v in box]
    d.rounded_rectangle([x0, y0, x0 + (x1 - x0) * 0.45, y0 + s * 0.14], radius=s * 0.04, fill=tab)
    d.rounded_rectangle([x0, y0 + s * 0.08, x1, y1], radius=s * 0.06, fill=body)
    d.rectangle([x0, y0 + s * 0.2, x1, y0 + s * 0.24], fill=tab)


def star(d, cx, cy, r, fill):
    import math
    pts = []
    for i in range(10):
        a = -math.pi / 2 + i * math.pi / 5
        rr = r if i % 2 == 0 else r * 0.45
        pts.append((cx + rr * math.cos(a), cy + rr * math.sin(a)))
    d.polygon(pts, fill=fill)


def arrow(d, x0, y, x1, width, fill):
    """Horizontal arrow from x0 to x1 (either direction) at height y."""
    head = abs(x1 - x0) * 0.45
    sign = 1 if x1 > x0 else -1
    d.rectangle([min(x0, x1 - sign * head), y - width / 2, max(x0, x1 - sign * head), y + width / 2], fill=fill)
    d.polygon([(x1, y), (x1 - sign * head, y - width * 1.3), (x1 - sign * head, y + width * 1.3)], fill=fill)


def disk(d, s, fill):
    """A hard disk seen from the front (the boot disk)."""
    d.rounded_rectangle([s * 0.08, s * 0.42, s * 0.92, s * 0.8], radius=s * 0.08, fill=fill)
    d.rounded_rectangle([s * 0.12, s * 0.46, s * 0.88, s * 0.6], radius=s * 0.05, fill=lerp(fill, WHITE, 0.35))
    d.ellipse([s * 0.72, s * 0.66, s * 0.8, s * 0.74], fill=(120, 230, 120))


def badge(d, cx, cy, r, fill):
    d.ellipse([cx - r, cy - r, cx + r, cy + r], fill=fill, outline=WHITE, width=int(r * 0.18))


def draw_program(d, s):
    shield(d, s, BLUE, None)
    d.polygon([(s * 0.5, s * 0.06), (s * 0.88, s * 0.2), (s * 0.84, s * 0.58), (s * 0.5, s * 0.94)], fill=NAVY)
    check_mark(d, s, WHITE, s * 0.11)


def draw_repair(d, s):
    # restart: a circular arrow around a small shield
    w = s * 0.1
    d.arc([s * 0.1, s * 0.1, s * 0.9, s * 0.9], start=-60, end=250, fill=ORANGE, width=int(w))
    d.polygon([(s * 0.62, s * 0.04), (s * 0.9, s * 0.2), (s * 0.62, s * 0.32)], fill=ORANGE)
    inner = Image.new("RGBA", (int(s * 0.5), int(s * 0.5)), (0, 0, 0, 0))
    di = ImageDraw.Draw(inner)
    shield(di, s * 0.5, BLUE)
    check_mark(di, s * 0.5, WHITE, s * 0.06)
    return [(inner, (int(s * 0.25), int(s * 0.27)))]


def draw_transfer(d, s):
    folder(d, s, GOLD, lerp(GOLD, NAVY, 0.25), box=(0.04, 0.22, 0.72, 0.86))
    star(d, s * 0.38, s * 0.6, s * 0.16, WHITE)
    arrow(d, s * 0.5, s * 0.3, s * 0.97, s * 0.1, GREEN)


def draw_restore(d, s):
    folder(d, s, GOLD, lerp(GOLD, NAVY, 0.25), box=(0.28, 0.22, 0.96, 0.86))
    star(d, s * 0.62, s * 0.6, s * 0.16, WHITE)
    arrow(d, s * 0.52, s * 0.3, s * 0.03, s * 0.1, BLUE)


def draw_about(d, s):
    d.ellipse([s * 0.06, s * 0.06, s * 0.94, s * 0.94], fill=BLUE)
    d.ellipse([s * 0.44, s * 0.2, s * 0.56, s * 0.32], fill=WHITE)
    d.rounded_rectangle([s * 0.43, s * 0.4, s * 0.57, s * 0.8], radius=s * 0.04, fill=WHITE)


def draw_install(d, s):
    disk(d, s, BLUE)
    badge(d, s * 0.7, s * 0.28, s * 0.24, GREEN)
    d.rectangle([s * 0.6, s * 0.25, s * 0.8, s * 0.31], fill=WHITE)
    d.rectangle([s * 0.67, s * 0.18, s * 0.73, s * 0.38], fill=WHITE)


def draw_uninstall(d, s):
    disk(d, s, GREY)
    badge(d, s * 0.7, s * 0.28, s * 0.24, RED)
    d.rectangle([s * 0.6, s * 0.25, s * 0.8, s * 0.31], fill=WHITE)


def draw_driver(d, s):
    # an expansion card with contacts, and a green arrow into a box below (backup)
    d.rectangle([s * 0.06, s * 0.16, s * 0.8, s * 0.6], fill=(40, 130, 90))
    for i in range(6):
        x = s * (0.14 + i * 0.1)
        d.rectangle([x, s * 0.6, x + s * 0.05, s * 0.7], fill=GOLD)
    d.rectangle([s * 0.2, s * 0.26, s * 0.46, s * 0.48], fill=(25, 25, 30))
    d.rectangle([s * 0.54, s * 0.28, s * 0.7, s * 0.34], fill=(200, 230, 210))
    badge(d, s * 0.76, s * 0.74, s * 0.2, BLUE)
    d.polygon([(s * 0.76, s * 0.88), (s * 0.66, s * 0.74), (s * 0.86, s * 0.74)], fill=WHITE)
    d.rectangle([s * 0.73, s * 0.62, s * 0.79, s * 0.75], fill=WHITE)


def draw_snapshots(d, s):
    # a stack of dated snapshots, the front one a calendar leaf, and a green arrow turning back
    for i, fill in enumerate((lerp(SKY, WHITE, 0.3), SKY, BLUE)):
        o = s * 0.08 * (2 - i)
        d.rounded_rectangle([s * 0.06 + o, s * 0.22 - o, s * 0.62 + o, s * 0.86 - o], radius=s * 0.05, fill=fill)
    d.rounded_rectangle([s * 0.1, s * 0.34, s * 0.58, s * 0.82], radius=s * 0.04, fill=WHITE)
    d.rectangle([s * 0.1, s * 0.34, s * 0.58, s * 0.46], fill=NAVY)
    for row in range(2):
        for col in range(3):
            x, y = s * (0.16 + col * 0.14), s * (0.52 + row * 0.14)
            d.rectangle([x, y, x + s * 0.08, y + s * 0.08], fill=GOLD if (row, col) == (1, 2) else lerp(SKY, WHITE, 0.4))
    w = s * 0.08
    d.arc([s * 0.5, s * 0.46, s * 0.94, s * 0.9], start=100, end=400, fill=GREEN, width=int(w))
    d.polygon([(s * 0.5, s * 0.62), (s * 0.6, s * 0.76), (s * 0.68, s * 0.58)], fill=GREEN)


def render(draw, size):
    """Draws at 4x and scales down: anti-aliased RGBA."""
    big = size * 4
    img = Image.new("RGBA", (big, big), (0, 0, 0, 0))
    extra = draw(ImageDraw.Draw(img), big)
    for part, pos in extra or []:
        img.alpha_composite(part, pos)
    return img.resize((size, size), Image.LANCZOS)


# ---------------------------------------------------------------- icon files

WIN16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
         (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
         (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def flatten(rgba):
    """Opaque colour image and 1-bit transparency (True = transparent)."""
    w, h = rgba.size
    rgb = Image.new("RGB", (w, h), PANEL)
    rgb.paste(rgba, mask=rgba.split()[3])
    alpha = rgba.split()[3]
    transparent = [[alpha.getpixel((x, y)) < 110 for x in range(w)] for y in range(h)]
    return rgb, transparent


def rows_bottom_up(h):
    return range(h - 1, -1, -1)


def pad4(b):
    return b + b"\0" * ((4 - len(b) % 4) % 4)


def mask_bytes(transparent, w, h):
    out = b""
    for y in rows_bottom_up(h):
        row = bytearray((w + 7) // 8)
        for x in range(w):
            if transparent[y][x]:
                row[x // 8] |= 0x80 >> (x % 8)
        out += pad4(bytes(row))
    return out


def icon_image(rgba, bpp):
    w, h = rgba.size
    rgb, transparent = flatten(rgba)
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, bpp, 0, 0, 0, 0, 0, 0)
    if bpp == 32:
        pixels = b""
        for y in rows_bottom_up(h):
            pixels += b"".join(struct.pack("BBBB", b, g, r, a) for r, g, b, a in
                               (rgba.getpixel((x, y)) for x in range(w)))
        return header + pixels + mask_bytes(transparent, w, h)
    colours = 1 << bpp
    if bpp == 4:
        pal_img = Image.new("P", (1, 1))
        pal_img.putpalette(sum(WIN16, ()) + (0, 0, 0) * 240)
        indexed = rgb.quantize(palette=pal_img, dither=Image.Dither.NONE)
    else:
        indexed = rgb.quantize(colors=colours, dither=Image.Dither.NONE)
    pal = indexed.getpalette()[:colours * 3]
    pal += [0] * (colours * 3 - len(pal))
    palette = b"".join(struct.pack("BBBB", pal[i * 3 + 2], pal[i * 3 + 1], pal[i * 3], 0) for i in range(colours))
    pixels = b""
    for y in rows_bottom_up(h):
        idx = [0 if transparent[y][x] else indexed.getpixel((x, y)) for x in range(w)]
        if bpp == 8:
            row = bytes(idx)
        else:
            row = bytes((idx[x] << 4) | idx[x + 1] for x in range(0, w, 2))
        pixels += pad4(row)
    return header + palette + pixels + mask_bytes(transparent, w, h)


def write_icon(name, draw, formats):
    """formats: list of (size, bits per pixel)."""
    images = [(size, bpp, icon_image(render(draw, size), bpp)) for size, bpp in formats]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, bpp, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, (1 << bpp) if bpp < 8 else 0, 0, 1, bpp,
                           len(data), offset)
        offset += len(data)
    out += b"".join(data for _, _, data in images)
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(out)


# ---------------------------------------------------------------- bitmaps

def panel(d, box, radius=8):
    x0, y0, x1, y1 = box
    d.rounded_rectangle([x0 + 2, y0 + 2, x1 + 2, y1 + 2], radius=radius, fill=(176, 190, 208))  # shadow
    d.rounded_rectangle(box, radius=radius, fill=PANEL, outline=PANEL_EDGE)
    d.line([(x0 + radius, y0 + 1), (x1 - radius, y0 + 1)], fill=WHITE)


def background():
    img = vertical_gradient(BG_SIZE, BODY_TOP, BODY_BOTTOM)
    banner = vertical_gradient((BG_SIZE[0], BANNER_HEIGHT), NAVY, BLUE)
    # faint rings on the right of the banner, kept inside it
    db = ImageDraw.Draw(banner)
    for r in range(40, 160, 22):
        db.ellipse([360 - r, 20 - r, 360 + r, 20 + r], outline=lerp(BLUE, SKY, 0.35))
    img.paste(banner, (0, 0))
    d = ImageDraw.Draw(img)
    d.line([(0, BANNER_HEIGHT), (BG_SIZE[0], BANNER_HEIGHT)], fill=GOLD, width=2)
    logo = render(draw_program, 40)
    img.paste(logo, (10, 5), logo)
    d.text((58, 3), "Tarwen系统修复", font=font(21), fill=WHITE)
    d.text((60, 30), "注册表每日快照 · 开机即可修复", font=font(11), fill=(200, 220, 245))

    # Favourites transfer: path box and browse button on the left, transfer and restore on the right.
    panel(d, (6, 55, 447, 152))
    d.line([(300, 66), (300, 142)], fill=PANEL_EDGE)
    # Boot integration and repair: install / uninstall left, about and the repair commands right.
    panel(d, (6, 164, 447, 340))
    d.text((18, 168), "系统引导与修复", font=font(12), fill=NAVY)
    d.line([(18, 186), (436, 186)], fill=(214, 222, 232))
    d.line([(126, 194), (126, 330)], fill=(214, 222, 232))
    return img


# The margin colour of the button pictures: the window keys it out and shows its own picture
# there. Each picture is centred in its control, whose size in pixels differs between systems
# (a vertical dialog unit is 14/8 pixel on XP with 宋体, 15/8 under Wine), so the face is
# drawn inside the smallest of those rectangles.
KEY = (255, 0, 255)


def keyed(img):
    """256 colours with the key colour kept exact (it is far from every other colour)."""
    return img.quantize(colors=256, dither=Image.Dither.NONE)


def caption_button(glyph, pressed):
    """23x23 caption-bar button; the control is 19x19 (XP) to 19x21 (Wine): a 17x17 face in the middle."""
    img = Image.new("RGB", (23, 23), KEY)
    d = ImageDraw.Draw(img)
    face = lerp(NAVY, (0, 0, 0), 0.3) if pressed else lerp(NAVY, SKY, 0.25)
    d.rounded_rectangle([3, 3, 19, 19], radius=3, fill=face, outline=lerp(SKY, WHITE, 0.3))
    o = 1 if pressed else 0
    if glyph == "minimise":
        d.rectangle([7 + o, 14 + o, 15 + o, 15 + o], fill=WHITE)
    else:  # hide into the notification area: an arrow down onto a tray line
        d.polygon([(8 + o, 9 + o), (14 + o, 9 + o), (11 + o, 12 + o)], fill=WHITE)
        d.rectangle([10 + o, 6 + o, 12 + o, 9 + o], fill=WHITE)
        d.rectangle([7 + o, 14 + o, 15 + o, 15 + o], fill=WHITE)
    return keyed(img)


def browse_button(pressed):
    """48x36 browse button; the control is 44x36 (XP) to 44x39 (Wine): a 42x34 face in the middle."""
    img = Image.new("RGB", (48, 36), KEY)
    d = ImageDraw.Draw(img)
    face = lerp(PANEL, BLUE, 0.25) if pressed else lerp(PANEL, SKY, 0.12)
    d.rounded_rectangle([3, 1, 44, 34], radius=5, fill=face, outline=PANEL_EDGE)
    o = 1 if pressed else 0
    f = render(lambda dd, s: folder(dd, s, GOLD, lerp(GOLD, NAVY, 0.25)), 26)
    img.paste(f, (8 + o, 4 + o), f)
    for i in range(3):
        d.ellipse([32 + i * 4 + o, 25 + o, 34 + i * 4 + o, 27 + o], fill=NAVY)
    return keyed(img)


def save_bmp32(img, path):
    """32 bits a pixel (blue, green, red, unused): the format of the screen, so the panel loads
    and stretches the picture without converting every pixel."""
    w, h = img.size
    bgr = img.convert("RGB").tobytes("raw", "BGR")
    pixels = b"".join(
        b"".join(bgr[(y * w + x) * 3:(y * w + x) * 3 + 3] + b"\0" for x in range(w)) for y in rows_bottom_up(h))
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 32, 0, len(pixels), 3780, 3780, 0, 0)
    with open(path, "wb") as out:
        out.write(struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info)) + info + pixels)


def main():
    os.makedirs(OUT, exist_ok=True)
    save_bmp32(background(), os.path.join(OUT, "background.bmp"))
    caption_button("hide", False).save(os.path.join(OUT, "hide_up.bmp"))
    caption_button("hide", True).save(os.path.join(OUT, "hide_down.bmp"))
    caption_button("minimise", False).save(os.path.join(OUT, "minimize_up.bmp"))
    caption_button("minimise", True).save(os.path.join(OUT, "minimize_down.bmp"))
    browse_button(False).save(os.path.join(OUT, "browse_up.bmp"))
    browse_button(True).save(os.path.join(OUT, "browse_down.bmp"))

    write_icon("tarwen.ico", draw_program, [(16, 8), (32, 4), (32, 8), (48, 8)])
    button_formats = [(32, 8), (32, 32)]
    write_icon("repair.ico", draw_repair, button_formats)
    write_icon("transfer.ico", draw_transfer, button_formats)
    write_icon("restore.ico", draw_restore, button_formats)
    write_icon("about.ico", draw_about, button_formats)
    write_icon("uninstall.ico", draw_uninstall, button_formats)
    write_icon("install.ico", draw_install, button_formats)
    write_icon("driver.ico", draw_driver, button_formats)
    write_icon("snapshots.ico", draw_snapshots, button_formats)


if __name__ == "__main__":
    main()
