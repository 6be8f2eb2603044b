#!/usr/bin/python3
"""Makes the program's pictures from nothing but code: the first skin (1040 x 551), the
add-skin placeholder (800 x 557), the operation-tip picture (396 x 168), the QR code of the
push account's link (430 x 430, by libqrencode through the qrencode command), the three
navigation icons (76 x 51) and the two navigation backgrounds (76 x 71).
Needs Debian's python3-pil, qrencode and fonts-noto-cjk. Run it from this folder."""
import io
import math
import random
import subprocess

from PIL import Image, ImageDraw, ImageFilter, ImageFont

CJK = "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc"
CJK_BOLD = "/usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc"
PUSH_LINK = "https://www.example.com/skylark/push"


def font(size, bold=False):
    return ImageFont.truetype(CJK_BOLD if bold else CJK, size, index=2)  # the SC face


def vertical_gradient(size, top, bottom):
    width, height = size
    image = Image.new("RGB", size)
    draw = ImageDraw.Draw(image)
    for y in range(height):
        t = y / max(1, height - 1)
        colour = tuple(int(a + (b - a) * t) for a, b in zip(top, bottom))
        draw.line([(0, y), (width, y)], fill=colour)
    return image


def cloud(draw, x, y, scale, alpha):
    for dx, dy, r in [(0, 0, 28), (30, -14, 34), (66, -4, 30), (92, 6, 22), (40, 10, 30)]:
        draw.ellipse([x + dx * scale - r * scale, y + dy * scale - r * scale,
                      x + dx * scale + r * scale, y + dy * scale + r * scale],
                     fill=(255, 255, 255, alpha))


def plane(draw, cx, cy, size, angle, colour):
    points = [(0, -1), (0.09, -0.8), (0.09, -0.25), (0.9, 0.15), (0.9, 0.32), (0.09, 0.1),
              (0.09, 0.55), (0.32, 0.72), (0.32, 0.85), (0, 0.76), (-0.32, 0.85), (-0.32, 0.72),
              (-0.09, 0.55), (-0.09, 0.1), (-0.9, 0.32), (-0.9, 0.15), (-0.09, -0.25),
              (-0.09, -0.8)]
    a = math.radians(angle)
    turned = [(cx + size * (x * math.cos(a) - y * math.sin(a)),
               cy + size * (x * math.sin(a) + y * math.cos(a))) for x, y in points]
    draw.polygon(turned, fill=colour)


def first_skin():
    random.seed(2026)
    width, height = 1040, 551
    sky = vertical_gradient((width, height), (18, 98, 196), (150, 205, 245)).convert("RGBA")
    glow = Image.new("RGBA", sky.size, (0, 0, 0, 0))
    g = ImageDraw.Draw(glow)
    g.ellipse([780, 20, 980, 220], fill=(255, 236, 180, 120))
    g.ellipse([835, 75, 925, 165], fill=(255, 248, 220, 255))
    sky = Image.alpha_composite(sky, glow.filter(ImageFilter.GaussianBlur(18)))
    clouds = Image.new("RGBA", sky.size, (0, 0, 0, 0))
    c = ImageDraw.Draw(clouds)
    for _ in range(9):
        cloud(c, random.randint(-40, width), random.randint(140, 470), random.uniform(0.7, 1.8),
              random.randint(120, 200))
    sky = Image.alpha_composite(sky, clouds.filter(ImageFilter.GaussianBlur(6)))
    hills = Image.new("RGBA", sky.size, (0, 0, 0, 0))
    h = ImageDraw.Draw(hills)
    for layer, (base, colour) in enumerate([(470, (88, 150, 200, 255)), (505, (60, 120, 176, 255))]):
        points = [(0, height)]
        for x in range(0, width + 40, 40):
            points.append((x, base - 30 * math.sin(x / (90 + 40 * layer) + layer) - 14 * math.sin(x / 37)))
        points.append((width, height))
        h.polygon(points, fill=colour)
    sky = Image.alpha_composite(sky, hills)
    trail = Image.new("RGBA", sky.size, (0, 0, 0, 0))
    t = ImageDraw.Draw(trail)
    t.line([(120, 420), (420, 250), (640, 170)], fill=(255, 255, 255, 110), width=5, joint="curve")
    plane(t, 660, 160, 34, 62, (255, 255, 255, 245))
    sky = Image.alpha_composite(sky, trail)
    # The band under the title bar where the navigation buttons sit, and the page area.
    band = Image.new("RGBA", sky.size, (0, 0, 0, 0))
    b = ImageDraw.Draw(band)
    b.rectangle([0, 104, width, height], fill=(255, 255, 255, 205))
    sky = Image.alpha_composite(sky, band)
    return sky.convert("RGB")


def placeholder():
    image = vertical_gradient((800, 557), (236, 242, 250), (214, 226, 242))
    d = ImageDraw.Draw(image)
    d.rounded_rectangle([250, 130, 550, 400], radius=28, outline=(120, 150, 190), width=6)
    d.line([(400, 190), (400, 340)], fill=(120, 150, 190), width=14)
    d.line([(325, 265), (475, 265)], fill=(120, 150, 190), width=14)
    d.text((400, 450), "添加皮肤", font=font(40, True), fill=(90, 120, 160), anchor="mm")
    return image


def tip_picture():
    image = vertical_gradient((396, 168), (255, 255, 255), (228, 240, 252))
    d = ImageDraw.Draw(image)
    d.rounded_rectangle([12, 12, 384, 156], radius=14, outline=(0, 136, 255), width=3)
    plane(d, 60, 84, 34, 45, (0, 136, 255))
    d.text((112, 34), "关闭窗口后，软件在托盘继续监控", font=font(17), fill=(30, 30, 30))
    d.text((112, 70), "右键点击托盘图标可以退出软件", font=font(17), fill=(30, 30, 30))
    d.text((112, 106), "右键点击航线可删除或搜索", font=font(17), fill=(200, 40, 40))
    return image


def qr_code():
    png = subprocess.run(["qrencode", "-t", "PNG", "-s", "10", "-m", "2", "-o", "-", PUSH_LINK],
                         check=True, capture_output=True).stdout
    code = Image.open(io.BytesIO(png)).convert("RGB")
    return code.resize((430, 430), Image.NEAREST)


def navigation_icon(kind):
    image = Image.new("RGBA", (76, 51), (0, 0, 0, 0))
    d = ImageDraw.Draw(image)
    white = (255, 255, 255, 255)
    if kind == "home":
        d.polygon([(38, 6), (62, 26), (14, 26)], fill=white)
        d.rectangle([20, 26, 56, 46], fill=white)
        d.rectangle([33, 32, 43, 46], fill=(0, 0, 0, 0))
    elif kind == "monitor":
        plane(d, 38, 26, 20, 45, white)
    else:  # the log
        for i, y in enumerate([10, 20, 30, 40]):
            d.rounded_rectangle([16, y - 3, 60 - 8 * (i % 2), y + 3], radius=3, fill=white)
    return image


def navigation_background(selected):
    image = Image.new("RGBA", (76, 71), (0, 0, 0, 0))
    d = ImageDraw.Draw(image)
    fill = (255, 255, 255, 90) if selected else (255, 255, 255, 36)
    d.rounded_rectangle([2, 2, 73, 68], radius=8, fill=fill,
                        outline=(255, 255, 255, 160 if selected else 0), width=2)
    return image


if __name__ == "__main__":
    first_skin().save("01.jpg", quality=90)
    placeholder().save("add-skin.jpg", quality=90)
    tip_picture().save("tip.jpg", quality=92)
    qr_code().save("qrcode.jpg", quality=95)
    for name in ["home", "monitor", "log"]:
        navigation_icon(name).save(f"nav-{name}.png")
    navigation_background(False).save("nav-back.png")
    navigation_background(True).save("nav-back-selected.png")
