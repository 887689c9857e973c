#!/usr/bin/env python3
"""massplot's pictures, checked as a reader would: parsed as XML and, rendered to PNG.

Usage: plot_picture_test.py structure|render MASSPLOT DATA_DIR
  structure  the worked example's SVG is well-formed, has three views, one circle per mass at
             the position its tick labels give, and the centre-of-gravity cross-hair; the grid
             of a large file, and hostile files, give sound pictures too.
  render     rsvg-convert turns the worked example into an image that is not blank, whose
             circles and centre-of-gravity symbol sit where the scale puts them; exit 77
             (skipped) where rsvg-convert is missing.
"""
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import zlib

SVG = "{http://www.w3.org/2000/svg}"
# The worked example: x, y, z, kg of its two records, and its centre of gravity.
EXAMPLE = [(10.0, 20.0, 30.0, 1500.0), (-5.0, 0.0, 4.5, 2000.0)]
EXAMPLE_COG = (5000 / 3500, 30000 / 3500, 54000 / 3500)
# Which coordinates each view shows across and up.
AXES = {"plan": (0, 1), "elevation": (0, 2), "section": (1, 2)}

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def run(massplot, folder, *args):
    return subprocess.run([massplot, *args], cwd=folder, capture_output=True)


def views(root):
    return {g.get("id"): g for g in root.iter(SVG + "g") if g.get("class") == "view"}


def scale_of(view, cls, coordinate):
    """(px per unit, offset) fitted through the view's tick labels of one class; every label
    must lie on that line."""
    ticks = [(float(t.text), float(t.get(coordinate))) for t in view.iter(SVG + "text")
             if t.get("class") == cls]
    if not check(len(ticks) >= 2, f"{view.get('id')}: fewer than two {cls} labels"):
        return 1.0, 0.0
    (v0, p0), (v1, p1) = ticks[0], ticks[-1]
    a = (p1 - p0) / (v1 - v0)
    for v, p in ticks:
        check(abs(p0 + (v - v0) * a - p) < 0.15, f"{view.get('id')}: label {v} off the scale")
    return a, p0 - v0 * a


def mappings(view):
    """Page position of model coordinates across and up, from the tick labels. Up labels sit
    4 px below their tick (text baseline), which the offset takes away."""
    ax, bx = scale_of(view, "tick-across", "x")
    ay, by = scale_of(view, "tick-up", "y")
    return (lambda v: ax * v + bx), (lambda v: ay * v + by - 4), ax, ay


def circles(view):
    return [(float(c.get("cx")), float(c.get("cy")), float(c.get("r")))
            for c in view.iter(SVG + "circle")]


def draw(massplot, folder, name, text):
    path = os.path.join(folder, name)
    with open(path, "wb") as f:
        f.write(text)
    r = run(massplot, folder, name, "picture.svg")
    check(r.returncode == 0, f"{name!r}: status {r.returncode}, {r.stderr!r}")
    svg = os.path.join(folder, "picture.svg")
    try:
        return ET.parse(svg).getroot(), os.path.getsize(svg)
    except ET.ParseError as e:
        check(False, f"{name!r}: not well-formed XML: {e}")
        return ET.Element("svg"), 0


def title_text(root):
    return " ".join(t.text or "" for g in root.iter(SVG + "g") if g.get("class") == "title-block"
                    for t in g.iter(SVG + "text"))


def record(x, y, z, kg):
    return b" Map_Mass 1 %r %r %r %r\n" % (x, y, z, kg)


def structure(massplot, data, folder):
    with open(os.path.join(data, "worked_example.txt"), "rb") as f:
        example = f.read()
    root, _ = draw(massplot, folder, "out.txt", example)
    found = views(root)
    check(sorted(found) == ["elevation", "plan", "section"], f"views: {sorted(found)}")
    scales = []
    for name, (across, up) in AXES.items():
        view = found.get(name)
        if view is None:
            continue
        px, py, ax, ay = mappings(view)
        # Positions are written to 0.1 px, which bounds how well the scales can agree.
        check(abs(ax + ay) < 1e-3 * abs(ax), f"{name}: across and up scales differ")
        scales.append(ax)
        drawn = circles(view)
        check(len(drawn) == len(EXAMPLE), f"{name}: {len(drawn)} circles")
        for m in EXAMPLE:
            x, y = px(m[across]), py(m[up])
            check(any(abs(cx - x) < 0.15 and abs(cy - y) < 0.15 for cx, cy, _ in drawn),
                  f"{name}: no circle at ({x:.1f}, {y:.1f}) for {m}")
        if len(drawn) == 2:
            big, small = sorted(drawn, key=lambda c: -c[2])
            check(abs(small[2] ** 2 / big[2] ** 2 - 0.75) < 0.02, f"{name}: areas not 3:4")
        lines = {ln.get("class"): ln for ln in view.iter(SVG + "line")}
        cog_x, cog_y = px(EXAMPLE_COG[across]), py(EXAMPLE_COG[up])
        if check("cog-up" in lines and "cog-across" in lines, f"{name}: no cross-hair"):
            check(abs(float(lines["cog-up"].get("x1")) - cog_x) < 0.15
                  and abs(float(lines["cog-up"].get("x2")) - cog_x) < 0.15,
                  f"{name}: vertical cross-hair not at {cog_x:.1f}")
            check(abs(float(lines["cog-across"].get("y1")) - cog_y) < 0.15,
                  f"{name}: horizontal cross-hair not at {cog_y:.1f}")
    check(len(scales) == 3 and max(scales) < min(scales) * (1 + 1e-3),
          f"views at different scales: {scales}")
    title = title_text(root)
    for part in ["Masses of out.txt", "2 masses drawn", "Total mass 3500.0 kg = 3.500 t",
                 "Centre of gravity: X 1.429, Y 8.571, Z 15.429"]:
        check(part in title, f"title block lacks {part!r}: {title!r}")

    # A large file: shaded cells instead of circles, a legend, and a small file.
    rng = random.Random(13)
    lines = []
    for n in range(120_000):
        deck = n % 3 == 0  # a third of the masses on one deck, the rest spread about
        lines.append(record(rng.uniform(-80, 80), rng.uniform(-15, 15),
                            12.0 if deck else rng.uniform(0, 30), 10 ** rng.uniform(0, 4)))
    root, size = draw(massplot, folder, "large.txt", b"".join(lines))
    check(size < 5_000_000, f"grid picture of {size} bytes")
    for name, view in views(root).items():
        check(not circles(view), f"{name}: circles in a grid view")
        cells = [p for p in view.iter(SVG + "path") if p.get("class") == "cells"]
        check(len(cells) >= 3, f"{name}: {len(cells)} shades of cells")
        check(any(ln.get("class") == "cog-up" for ln in view.iter(SVG + "line")),
              f"{name}: no cross-hair on the grid")
    swatches = [r for r in root.iter(SVG + "rect") if r.get("class") == "shade-swatch"]
    check(len(swatches) == 6, f"{len(swatches)} shades in the legend")
    check("120000 masses drawn" in title_text(root), "grid title lacks the count")

    # Hostile files: each gives a well-formed picture with one circle per mass in each view.
    hostile = [
        ("one mass", [(0, 0, 0, 5)], None),
        ("one point", [(2, 2, 2, 1), (2, 2, 2, 3)], None),
        ("one line", [(0, 5, 1, 1), (10, 5, 1, 2), (40, 5, 1, 3)], None),
        ("absurd", [(-1e300, 0, 0, 1), (1e300, 1, 1, 1e300), (0, 0, 1e-300, 2)], None),
        ("negative", [(0, 0, 0, 5), (3, 4, 5, -2)], "1 negative (drawn hollow)"),
        ("zero total", [(0, 0, 0, 5), (3, 4, 5, -5)], "Centre of gravity: none"),
    ]
    for what, masses, says in hostile:
        text = b"".join(record(*m) for m in masses) + b" Map_Mass 1 inf 0 0 1\r\n"
        root, _ = draw(massplot, folder, what + ".txt", text)
        for name, view in views(root).items():
            check(len(circles(view)) == len(masses), f"{what}, {name}: circle count")
            hollow = [c for g in view.iter(SVG + "g") if g.get("class") == "negative-masses"
                      for c in g.iter(SVG + "circle")]
            check(len(hollow) == sum(m[3] < 0 for m in masses), f"{what}, {name}: hollow count")
        title = title_text(root)
        check("1 record not drawn" in title, f"{what}: title lacks the skipped record")
        check(says is None or says in title, f"{what}: title lacks {says!r}: {title!r}")
    # A file name with markup characters and bytes that are not UTF-8.
    root, _ = draw(massplot, folder, os.fsdecode(b"a&b<c>'\"\xff.txt"), record(1, 2, 3, 4))
    check("Masses of a&b<c>'\"?.txt" in title_text(root), "file name not escaped")


def read_png(path):
    """Width, height and rows of (r, g, b) of an 8-bit RGB or RGBA PNG."""
    with open(path, "rb") as f:
        data = f.read()
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    assert depth == 8 and colour in (2, 6), (depth, colour)
    bpp = 4 if colour == 6 else 3
    raw = zlib.decompress(idat)
    stride = width * bpp
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = previous[i]
            c = previous[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([tuple(line[x * bpp:x * bpp + 3]) for x in range(width)])
        previous = line
    return width, height, rows


def luminance(rgb):
    return 0.299 * rgb[0] + 0.587 * rgb[1] + 0.114 * rgb[2]


def render(massplot, data, folder):
    converter = shutil.which("rsvg-convert")
    if converter is None:
        print("rsvg-convert not found: rendering check skipped")
        sys.exit(77)
    shutil.copy(os.path.join(data, "worked_example.txt"), os.path.join(folder, "out.txt"))
    r = run(massplot, folder, "out.txt")
    check(r.returncode == 0, f"status {r.returncode}")
    root = ET.parse(os.path.join(folder, "out.svg")).getroot()
    png = os.path.join(folder, "out.png")
    subprocess.run([converter, "--background-color=white", "-o", png,
                    os.path.join(folder, "out.svg")], check=True)
    width, height, rows = read_png(png)
    check((width, height) == (round(float(root.get("width"))), round(float(root.get("height")))),
          f"image of {width}x{height}")
    pixel = lambda x, y: rows[int(round(y))][int(round(x))]  # noqa: E731
    dark = sum(luminance(p) < 200 for row in rows for p in row)
    check(0.005 < dark / (width * height) < 0.5, f"{dark} dark pixels: blank or flooded")
    for name, (across, up) in AXES.items():
        px, py, _, _ = mappings(views(root)[name])
        for m in EXAMPLE:
            x, y = px(m[across]), py(m[up])
            centre = pixel(x, y)
            # The fill: blue over white, dark enough to show in black and white.
            check(centre[2] > centre[0] + 40 and luminance(centre) < 170,
                  f"{name}: pixel {centre} at the circle of {m} is not its fill")
            r = 16 * (m[3] / 2000) ** 0.5
            outside = pixel(x - r - 4, y)
            check(luminance(outside) > 200, f"{name}: {outside} beyond the circle of {m}")
        # The centre-of-gravity symbol: upper right quarter black, upper left white.
        x, y = px(EXAMPLE_COG[across]), py(EXAMPLE_COG[up])
        check(luminance(pixel(x + 3, y - 3)) < 60, f"{name}: no black quarter at the centre")
        check(luminance(pixel(x - 3, y - 3)) > 200, f"{name}: no white quarter at the centre")


def main():
    mode, massplot, data = sys.argv[1], os.path.abspath(sys.argv[2]), sys.argv[3]
    with tempfile.TemporaryDirectory() as folder:
        {"structure": structure, "render": render}[mode](massplot, data, folder)
    for message in failures:
        print("FAIL:", message)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
