#!/usr/bin/env python3
"""massplot's pictures, checked as a reader would: parsed as XML, and rendered to PNG.

Usage: plot_picture_test.py structure|render|chromium MASSPLOT DATA_DIR [timed]
  structure  the worked example's SVG is well-formed, has three views, one circle per mass at
             the position its tick labels give with its details on hover, the centre-of-gravity
             cross-hair, a weight curve whose area is the mass, and the tables; large, hostile
             and odd models give sound pictures and lists too; the moments of inertia are the
             exact sums; a weight list is named by its own lines.
  render     rsvg-convert's PNG of the worked example has its circles and centre-of-gravity
             symbol where the scale puts them; evenly spread masses give evenly shaded cells up
             to the edges; circle radii go as the square roots of the masses; a negative mass in
             a heavy cell shows; one mass in millimetres leaves the model filling the views with
             tick labels apart; evenly spaced masses (a floor of slab strips, ten masses) give a
             flat weight curve; 1 % negatives leave a module's shading and its centre of
             gravity visible. With `timed` (an optimised build) the random masses are
             1,000,000, drawn in under 1 s of processor time; else 250,000.
  chromium   the same checks on headless Chromium's screenshots, and the two renderers agree;
             the whole picture shows in windows 1,280 and 1,920 pixels wide, and prints on one
             page.
  A renderer that cannot be had ends the test with status 77 (skipped).
"""
import math
import os
import random
import re
import resource
import shutil
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import zlib
from fractions import Fraction

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


# ---- Models, generated here rather than kept as megabytes of data -------------------------

def record(x, y, z, kg):
    return " Map_Mass     1%12.3f%12.3f%12.3f%13.4E\n" % (x, y, z, kg)


def hull():
    """3,003 masses of a hull (plates of 0.1 to 0.5 t) among which 18 heavy items; answers
    the text and the heavy items as (kg, x, y, z, line)."""
    heavy = [(850e3, 22, 0, 3), (210e3, 10, 0, 18), (180e3, 40, -6, 2), (180e3, 40, 6, 2),
             (120e3, 70, 6, 16), (95e3, 30, 0, 2.5), (60e3, 100, 0, 1), (45e3, 15, -5, 4),
             (45e3, 15, 0, 4), (45e3, 15, 5, 4), (35e3, 50, 0, 12.5), (35e3, 62, 0, 12.5),
             (35e3, 74, 0, 12.5), (35e3, 86, 0, 12.5), (28e3, 112, 0, 13), (22e3, 1, 0, 2.5),
             (18e3, -2, 0, 3), (12e3, 116, 0, 8)]
    rng = random.Random(3)
    at = sorted(rng.sample(range(3003), len(heavy)))
    lines, items = ["# hull\n"], []
    for n in range(3003):
        if at and n == at[0]:
            at.pop(0)
            kg, x, y, z = heavy[len(items)]
            items.append((kg, x, y, z, len(lines) + 1))
        else:
            x, side = rng.uniform(0, 120), rng.random()
            y, z = ((rng.uniform(-10, 10), 0.0) if side < 0.35 else
                    (rng.choice((-10.0, 10.0)), rng.uniform(0, 12)) if side < 0.7 else
                    (rng.uniform(-10, 10), 12.0))
            kg = rng.uniform(100, 500)
        lines.append(record(x, y, z, kg))
    return "".join(lines), items


def deck():
    """A uniform deck: 1 t every 0.5 m, 204 by 100 masses at Z = 20."""
    return "".join(record(i * 0.5, -24.75 + j * 0.5, 20.0, 1000.0)
                   for i in range(204) for j in range(100))


def uniform(count):
    """`count` masses of 1 t spread uniformly over a box."""
    rng = random.Random(5)
    u = rng.uniform
    return "".join([record(u(0, 200), u(-15, 15), u(0, 30), 1000.0) for _ in range(count)])


# The ship's hatch cover taken off (a negative mass among the heavy masses of its coaming) and
# its one coordinate in millimetres: x, y, z, kg and line number.
SHIP_NEGATIVE = (80.0, 0.0, 25.0, -35000.0, 100001)
SHIP_OUTLIER = (45000.0, 3.0, 12.0, 1000.0, 66667)


def ship():
    """200,000 masses in a ship's shape, with the negative mass and the outlier above."""
    rng = random.Random(7)
    out = []
    for _ in range(200_000 - 52):
        x = rng.uniform(0, 200)
        out.append(record(x, rng.uniform(-15, 15) * (1 - (x / 200) ** 4), rng.uniform(0, 25),
                          rng.uniform(50, 2000)))
    for _ in range(50):
        out.append(record(80 + rng.uniform(-0.3, 0.3), rng.uniform(-0.3, 0.3), 25.0, 5000.0))
    for x, y, z, kg, line in sorted((SHIP_OUTLIER, SHIP_NEGATIVE), key=lambda m: m[4]):
        out.insert(line - 1, record(x, y, z, kg))
    return "".join(out)


def slab_floor():
    """A floor of 674 identical slab strips 1 m wide, two abreast: 15 t per metre along X."""
    return "".join(record(0.5 + i, y, 3.0, 7500.0) for i in range(337) for y in (-2.0, 2.0))


def ten():
    """10 masses of 1 t, 3 m apart along X."""
    return "".join(record(3.0 * i, 0.0, 0.0, 1000.0) for i in range(10))


def module():
    """200,000 masses of a module with 1 % negatives (deductions) spread over it."""
    rng = random.Random(11)
    u = rng.uniform
    return "".join(record(u(0, 60), u(-10, 10), u(0, 20),
                          -u(100, 2000) if n % 100 == 37 else u(100, 2000))
                   for n in range(200_000))


# ---- Reading the SVG -----------------------------------------------------------------------

def run(massplot, folder, *args):
    return subprocess.run([massplot, *args], cwd=folder, capture_output=True)


def draw(massplot, folder, name, text):
    """Writes `text` as the file `name`, draws it; answers the SVG's root, its path and size."""
    path = os.path.join(folder, name)
    with open(path, "wb") as f:
        f.write(text if isinstance(text, bytes) else text.encode())
    svg = os.path.join(folder, os.path.splitext(os.path.basename(name))[0] + ".svg")
    r = run(massplot, folder, name, svg)
    check(r.returncode == 0, f"{name!r}: status {r.returncode}, {r.stderr!r}")
    try:
        return ET.parse(svg).getroot(), svg, os.path.getsize(svg)
    except (ET.ParseError, OSError) as e:
        check(False, f"{name!r}: no well-formed picture: {e}")
        return ET.Element("svg"), svg, 0


def views(root):
    return {g.get("id"): g for g in root.iter(SVG + "g") if g.get("class") == "view"}


def of_class(root, tag, cls):
    return [e for e in root.iter(SVG + tag) if e.get("class") == cls]


def scale_of(view, cls, coordinate):
    """(px per unit, offset) fitted through the view's tick labels of one class; every label
    must lie on that line."""
    ticks = [(float(t.text.replace(",", "")), float(t.get(coordinate)))
             for t in of_class(view, "text", cls)]
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


def page_size(root):
    """The page's width and height in pixels: its viewBox (the picture takes its window's width)."""
    _, _, width, height = map(float, root.get("viewBox").split())
    return width, height


def frame(view):
    r = of_class(view, "rect", "frame")[0]
    return tuple(float(r.get(k)) for k in ("x", "y", "width", "height"))


def mass_circles(view, groups=("masses", "negative-masses")):
    return [(float(c.get("cx")), float(c.get("cy")), float(c.get("r")),
             c.findtext(SVG + "title"))
            for g in view.iter(SVG + "g") if g.get("class") in groups
            for c in g.iter(SVG + "circle")]


def title_text(root):
    return " ".join("".join(t.itertext()) for g in of_class(root, "g", "title-block")
                    for t in g.iter(SVG + "text"))


def table(root, cls):
    return [[s.text for s in t.iter(SVG + "tspan")]
            for g in of_class(root, "g", cls) for t in of_class(g, "text", "table-row")]


def curve_mass(root):
    """The area under the weight curve in kg, from its path and its panel's tick labels."""
    panel = [g for g in root.iter(SVG + "g") if g.get("id") == "weight-curve"][0]
    _, _, ax, ay = mappings(panel)
    d = of_class(panel, "path", "weight-curve")[0].get("d")
    points, x, y = [], 0.0, 0.0
    for op, value in re.findall(r"([MVHZ])([-\d. ]*)", d):
        if op == "M":
            x, y = map(float, value.split())
        elif op == "V":
            y = float(value)
        elif op == "H":
            x = float(value)
        points.append((x, y))
    area = sum(x0 * y1 - x1 * y0 for (x0, y0), (x1, y1) in zip(points, points[1:] + points[:1]))
    return abs(area / 2 / (ax * ay))


def near(a, b, tolerance):
    return abs(a - b) <= tolerance * max(abs(a), abs(b))


def structure(massplot, data, folder):
    with open(os.path.join(data, "worked_example.txt"), "rb") as f:
        example = f.read()
    root, _, _ = draw(massplot, folder, "out.txt", example)
    found = views(root)
    check(sorted(found) == ["elevation", "plan", "section"], f"views: {sorted(found)}")
    scales = []
    hover = {"record 1 (line 17 of out.txt): 1,500.0 kg at X 10.000, Y 20.000, Z 30.000",
             "record 2 (line 18 of out.txt): 2,000.0 kg at X -5.000, Y 0.000, Z 4.500"}
    for name, (across, up) in AXES.items():
        view = found.get(name)
        if view is None:
            continue
        px, py, ax, ay = mappings(view)
        # Positions are written to 0.1 px, which bounds how well the scales can agree.
        check(abs(ax + ay) < 1e-3 * abs(ax), f"{name}: across and up scales differ")
        scales.append(ax)
        drawn = mass_circles(view)
        check(len(drawn) == len(EXAMPLE), f"{name}: {len(drawn)} circles")
        check({c[3] for c in drawn} == hover, f"{name}: hover details {[c[3] for c in drawn]}")
        for m in EXAMPLE:
            x, y = px(m[across]), py(m[up])
            check(any(abs(cx - x) < 0.15 and abs(cy - y) < 0.15 for cx, cy, _, _ in drawn),
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
    for part in ["Masses of out.txt", "2 masses drawn", "Total mass 3,500.0 kg = 3.5000 t",
                 "Centre of gravity: X 1.429, Y 8.571, Z 15.429"]:
        check(part in title, f"title block lacks {part!r}: {title!r}")
    check(near(curve_mass(root), 3500, 0.005), f"weight curve holds {curve_mass(root)} kg")
    check(table(root, "heaviest") == [["2", "18", "2,000.0", "-5.000", "0.000", "4.500"],
                                      ["1", "17", "1,500.0", "10.000", "20.000", "30.000"]],
          f"heaviest masses: {table(root, 'heaviest')}")

    # A large file: shaded cells instead of circles, a legend, a small file, a weight curve
    # with all the mass.
    rng = random.Random(13)
    masses = []
    for n in range(120_000):
        deck_mass = n % 3 == 0  # a third of the masses on one deck, the rest spread about
        masses.append((rng.uniform(-80, 80), rng.uniform(-15, 15),
                       12.0 if deck_mass else rng.uniform(0, 30), 10 ** rng.uniform(0, 4)))
    root, _, size = draw(massplot, folder, "large.txt", "".join(record(*m) for m in masses))
    check(size < 3_000_000, f"grid picture of {size} bytes")
    for name, view in views(root).items():
        check(not mass_circles(view), f"{name}: circles in a grid view")
        check(len(of_class(view, "path", "cells")) >= 3, f"{name}: too few shades of cells")
        check(of_class(view, "line", "cog-up"), f"{name}: no cross-hair on the grid")
    check(len(of_class(root, "rect", "shade-swatch")) == 6, "not six shades in the legend")
    check("120000 masses drawn" in title_text(root), "grid title lacks the count")
    total = sum(float("%.4E" % m[3]) for m in masses)
    check(near(curve_mass(root), total, 0.005), f"weight curve {curve_mass(root)} of {total} kg")

    # Hostile files: each gives a well-formed picture with one circle per mass in each view.
    hostile = [
        ("one mass", [(0, 0, 0, 5)], None),
        ("one point", [(2, 2, 2, 1), (2, 2, 2, 3)], None),
        ("one line", [(0, 5, 1, 1), (10, 5, 1, 2), (40, 5, 1, 3)], None),
        ("absurd", [(-1e300, 0, 0, 1), (1e300, 1, 1, 1e300), (0, 0, 1e-300, 2)], None),
        ("negative", [(0, 0, 0, 5), (3, 4, 5, -2)], "1 negative (\u2296)"),
        ("zero total", [(0, 0, 0, 5), (3, 4, 5, -5)], "Centre of gravity: none"),
    ]
    for what, hostile_masses, says in hostile:
        text = "".join(b" Map_Mass 1 %r %r %r %r\n".decode() % m for m in hostile_masses)
        root, _, _ = draw(massplot, folder, what + ".txt", text + " Map_Mass 1 inf 0 0 1\r\n")
        for name, view in views(root).items():
            check(len(mass_circles(view)) == len(hostile_masses), f"{what}, {name}: circles")
            negative = sum(m[3] < 0 for m in hostile_masses)
            check(len(mass_circles(view, ("negative-masses",))) == negative,
                  f"{what}, {name}: negative rings")
            check(len(mass_circles(view, ("negative-marks",))) == negative,
                  f"{what}, {name}: negative marks")
        title = title_text(root)
        check("1 record not drawn" in title, f"{what}: title lacks the skipped record")
        check(says is None or says in title, f"{what}: title lacks {says!r}: {title!r}")
    # A file name with markup characters and bytes that are not UTF-8.
    root, _, _ = draw(massplot, folder, os.fsdecode(b"a&b<c>'\"\xff.txt"), record(1, 2, 3, 4))
    check("Masses of a&b<c>'\"?.txt" in title_text(root), "file name not escaped")

    # The hull's heaviest items in the table, with the lines of their records.
    text, items = hull()
    root, _, _ = draw(massplot, folder, "hull.txt", text)
    listed = [(int(row[1]), float(row[2].replace(",", ""))) for row in table(root, "heaviest")]
    check(listed == [(line, kg) for kg, _, _, _, line in items[:15]], f"heaviest: {listed}")

    # The ship: its negative mass and its outlier listed with their lines.
    root, _, size = draw(massplot, folder, "ship.txt", ship())
    check(size < 3_000_000, f"grid picture of {size} bytes")
    title = title_text(root)
    x, y, z, kg, line = SHIP_OUTLIER
    for part in ["1 mass lies outside the views",
                 f"record {line} (line {line} of ship.txt): 1,000.0 kg at X 45,000.000, Y 3.000, "
                 "Z 12.000"]:
        check(part in title, f"title block lacks {part!r}")
    check(table(root, "negatives") == [[str(SHIP_NEGATIVE[4])] * 2 + ["-35,000.0", "80.000", "0.000",
                                        "25.000"]], f"negatives: {table(root, 'negatives')}")

    # The moments of inertia and radii of gyration of the hull against exact sums of the
    # records' decimal numbers.
    root, _, _ = draw(massplot, folder, "hull.txt", text)
    masses = [tuple(Fraction(v) for v in line.split()[2:]) for line in text.splitlines()[1:]]
    total = sum(m[3] for m in masses)
    centre = [sum(m[a] * m[3] for m in masses) / total for a in range(3)]
    spread = [sum(m[3] * (m[a] - centre[a]) ** 2 for m in masses) for a in range(3)]
    shown = [float(v.replace(",", "")) for v in
             re.findall(r"[IK][xyz]{2} ([-\d,.]+)", title_text(root).replace("k", "K"))]
    exact = [spread[1] + spread[2], spread[0] + spread[2], spread[0] + spread[1]]
    exact += [math.sqrt(i / total) for i in exact]
    check(len(shown) == 6 and all(abs(a - float(b)) <= (0.05 if k < 3 else 0.0005)
                                  for k, (a, b) in enumerate(zip(shown, exact))),
          f"inertia {shown}, exactly {[float(v) for v in exact]}")

    # A weight list, read as kel2fram reads it: its own lines named, the lines it leaves out told.
    listing = "' deck\n\n1.5 10 20 30\n2.0 -5 0 4.5\n3 1 1\n2*3 PI/2 SIN(0.5) 1\n"
    with open(os.path.join(folder, "w.txt"), "w") as f:
        f.write(listing)
    r = run(massplot, folder, "--unit", "kg", "-x", "-9,9", "w.txt", "w.svg")
    check(r.returncode == 0 and b"w.txt: 1 line left out" in r.stderr and b": line 5" in r.stderr,
          f"weight list: status {r.returncode}, {r.stderr!r}")
    root = ET.parse(os.path.join(folder, "w.svg")).getroot()
    titles = {c[3] for c in mass_circles(views(root)["plan"])}
    check(titles == {"line 4: 2.0 kg at X -5.000, Y 0.000, Z 4.500",
                     "line 6: 6.0 kg at X 1.571, Y 0.479, Z 1.000"}, f"weight list: {titles}")
    check("(weight list, masses in kg, X from -9 to 9; 1 mass outside the ranges left out)"
          in title_text(root), f"weight list: {title_text(root)!r}")
    check(table(root, "heaviest")[0][:2] == ["6", "6.0"], f"weight list: {table(root, 'heaviest')}")

    # The module's 2,000 negative masses are counted and the most negative listed.
    root, _, _ = draw(massplot, folder, "module.txt", module())
    check("2000 negative" in title_text(root), "module: the negatives not counted")
    check(len(table(root, "negatives")) == 20, "module: not 20 most negative listed")


# ---- Reading the PNG -----------------------------------------------------------------------

class Image:
    """An 8-bit RGB or RGBA PNG. Rows filtered "up" (most of them) are undone with whole-row
    integer arithmetic, which keeps pure Python fast enough for page-sized images."""

    def __init__(self, path):
        with open(path, "rb") as f:
            data = f.read()
        pos, idat = 8, []
        while pos < len(data):
            length, kind = struct.unpack(">I4s", data[pos:pos + 8])
            body = data[pos + 8:pos + 8 + length]
            if kind == b"IHDR":
                self.width, self.height, depth, colour = struct.unpack(">IIBB", body[:10])
            elif kind == b"IDAT":
                idat.append(body)
            pos += 12 + length
        assert depth == 8 and colour in (2, 6), (depth, colour)
        bpp = self.bpp = 4 if colour == 6 else 3
        raw = zlib.decompress(b"".join(idat))
        stride = self.width * bpp
        low7 = int.from_bytes(b"\x7f" * stride, "little")
        high = int.from_bytes(b"\x80" * stride, "little")
        self.rows, previous = [], bytes(stride)
        for y in range(self.height):
            kind = raw[y * (stride + 1)]
            line = raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)]
            if kind == 2:  # bytewise sums without carries between the bytes
                a, b = int.from_bytes(line, "little"), int.from_bytes(previous, "little")
                line = (((a & low7) + (b & low7)) ^ ((a ^ b) & high)).to_bytes(stride, "little")
            elif kind != 0:
                line = bytearray(line)
                for i in range(stride):
                    left = line[i - bpp] if i >= bpp else 0
                    up, corner = previous[i], previous[i - bpp] if i >= bpp else 0
                    if kind == 1:
                        line[i] = (line[i] + left) & 255
                    elif kind == 3:
                        line[i] = (line[i] + (left + up) // 2) & 255
                    else:
                        p = left + up - corner
                        pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                        line[i] = (line[i] + (left if pa <= pb and pa <= pc else
                                              up if pb <= pc else corner)) & 255
                line = bytes(line)
            self.rows.append(line)
            previous = line

    def pixel(self, x, y):
        x = min(max(int(round(x)), 0), self.width - 1)
        at = x * self.bpp
        return tuple(self.rows[min(max(int(round(y)), 0), self.height - 1)][at:at + 3])


def luminance(rgb):
    return 0.299 * rgb[0] + 0.587 * rgb[1] + 0.114 * rgb[2]


def is_blue(rgb):
    return rgb[2] > rgb[0] + 40


def with_rsvg(svg):
    png = svg[:-4] + ".png"
    subprocess.run(["rsvg-convert", "--background-color=white", "-o", png, svg], check=True)
    return Image(png)


def check_example(image, root, who):
    """The worked example's circles and centre-of-gravity symbol where the scale puts them."""
    check((image.width, image.height) == tuple(round(v) for v in page_size(root)),
          f"{who}: image of {image.width}x{image.height}")
    for name, (across, up) in AXES.items():
        view = views(root)[name]
        px, py, _, _ = mappings(view)
        radii = {round(c[0]): c[2] for c in mass_circles(view)}
        for m in EXAMPLE:
            x, y = px(m[across]), py(m[up])
            centre = image.pixel(x, y)
            # The fill: blue over white, dark enough to show in black and white.
            check(is_blue(centre) and luminance(centre) < 170,
                  f"{who}, {name}: pixel {centre} at the circle of {m} is not its fill")
            r = radii.get(round(x), 0)
            inside, outside = image.pixel(x - r + 3, y), image.pixel(x - r - 3, y)
            check(is_blue(inside) and luminance(outside) > 200,
                  f"{who}, {name}: circle of {m} not {r:.1f} px: {inside}, {outside}")
        # The centre-of-gravity symbol: upper right quarter shaded, upper left clear.
        x, y = px(EXAMPLE_COG[across]), py(EXAMPLE_COG[up])
        shaded, clear = luminance(image.pixel(x + 3, y - 3)), luminance(image.pixel(x - 3, y - 3))
        check(shaded < 150 and clear > 200, f"{who}, {name}: symbol {shaded:.0f}, {clear:.0f}")
        # The cross-hair: dark red dashes on its lines away from the symbol.
        for dx, dy in [(1, 0), (0, 1)]:
            red = [image.pixel(x + d * dx + e * dy, y + d * dy + e * dx)
                   for d in range(16, 30) for e in (-1, 0, 1)]
            check(any(p[0] > p[1] + 60 for p in red), f"{who}, {name}: no cross-hair {dx}, {dy}")


def cell_shades(image, root, overlaid=False):
    """Per view, the shade (0 darkest .. 5) of each cell measured at its centre, as
    {(i, j): shade}; the shades' greys are measured on the legend's swatches. With `overlaid`
    the picture has its cross-hairs, and the cells under them are left out."""
    swatches = [image.pixel(float(r.get("x")) + 20, float(r.get("y")) + 7)
                for r in of_class(root, "rect", "shade-swatch")]
    found = {}
    for name, view in views(root).items():
        # Cells under the cross-hair and the symbol drawn over them are left out.
        up, across = of_class(view, "line", "cog-up"), of_class(view, "line", "cog-across")
        cog_x = float(up[0].get("x1")) if up and overlaid else -1e9
        cog_y = float(across[0].get("y1")) if across and overlaid else -1e9
        shades = found[name] = {}
        for path in of_class(view, "path", "cells"):
            tx, ty, sx, sy = map(float, re.findall(r"[-\d.]+", path.get("transform")))
            for i, j, run in re.findall(r"M(\d+) (\d+)h(\d+)", path.get("d")):
                for k in range(int(run)):
                    x, y = tx + (int(i) + k + 0.5) * sx, ty + (int(j) + 0.5) * sy
                    if min(abs(x - cog_x), abs(y - cog_y)) < 3 or max(
                            abs(x - cog_x), abs(y - cog_y)) < 12:
                        continue
                    rgb = image.pixel(x, y)
                    shades[(int(i) + k, int(j))] = min(
                        range(len(swatches)),
                        key=lambda s: sum((a - b) ** 2 for a, b in zip(rgb, swatches[s])))
    return found


def without_overlays(svg):
    """A copy of the picture without what is drawn over the masses (cross-hairs, markers)."""
    tree = ET.parse(svg)
    for parent in tree.getroot().iter():
        for child in list(parent):
            if child.get("class") in ("cog", "cog-symbol", "negative-marks", "negative-bars"):
                parent.remove(child)
    alone = svg[:-4] + "-alone.svg"
    tree.write(alone)
    return alone


def check_even(image, root, what, steps):
    """Every cell of each view within `steps` shades of every other, the edge cells too."""
    for name, shades in cell_shades(image, root).items():
        if not check(len(shades) > 50, f"{what}, {name}: only {len(shades)} cells"):
            continue
        columns = max(i for i, _ in shades)
        rows = max(j for _, j in shades)
        edge = [s for (i, j), s in shades.items() if i in (0, columns) or j in (0, rows)]
        spread = max(shades.values()) - min(shades.values())
        check(spread <= steps and edge, f"{what}, {name}: shades differ by {spread} "
              f"(edges {min(edge, default=None)} to {max(edge, default=None)})")


def check_labels_apart(image, root, what):
    """Between each two neighbouring tick labels a blank column (across) or row (up)."""
    for view in list(views(root).values()):
        for cls, across in (("tick-across", True), ("tick-up", False)):
            labels = sorted((float(t.get("x")), float(t.get("y")))
                            for t in of_class(view, "text", cls))
            if not across:
                labels.sort(key=lambda p: p[1])
            for (x0, y0), (x1, y1) in zip(labels, labels[1:]):
                if across:
                    gap = any(all(luminance(image.pixel(x, y)) > 200
                                  for y in range(int(y0) - 11, int(y0) + 4))
                              for x in range(int(x0) + 1, int(x1)))
                else:
                    gap = any(all(luminance(image.pixel(x, y)) > 200
                                  for x in range(int(x0) - 40, int(x0)))
                              for y in range(int(y0) + 1, int(y1) - 9))
                check(gap, f"{what}, {view.get('id')}: {cls} labels at {x0:.0f},{y0:.0f} and "
                           f"{x1:.0f},{y1:.0f} touch")


def check_negative_shows(image, root, who):
    """The ship's negative mass, inside its heavy cell, shows as a white disc with a bar."""
    x, y, z = SHIP_NEGATIVE[:3]
    for name, (across, up) in AXES.items():
        px, py, _, _ = mappings(views(root)[name])
        cx, cy = px((x, y, z)[across]), py((x, y, z)[up])
        bar, disc = luminance(image.pixel(cx, cy)), [luminance(image.pixel(cx, cy + d))
                                                      for d in (-3, 3)]
        check(bar < 100 and min(disc) > 200, f"{who}, {name}: no marker: {bar:.0f}, {disc}")


def check_flat_curve(image, root, what, width):
    """The weight curve's bins are `width` wide, as its caption says, and its top on the image
    stands at one height (within 5 % and a pixel) over the list's extent."""
    panel = [g for g in root.iter(SVG + "g") if g.get("id") == "weight-curve"][0]
    caption = "".join(of_class(panel, "text", "curve-caption")[0].itertext())
    check(f" {width} wide" in caption, f"{what}: caption {caption!r}")
    d = of_class(panel, "path", "weight-curve")[0].get("d")
    edges = [float(x) for x in re.findall(r"H([-\d.]+)", d)]
    zero = float(re.match(r"M[-\d.]+ ([-\d.]+)", d).group(1))
    left, top, _, height = frame(panel)
    heights = []
    for x0, x1 in zip([float(re.match(r"M([-\d.]+)", d).group(1))] + edges, edges):
        x = (x0 + x1) / 2
        dark = [y for y in range(int(top) + 1, int(zero)) if luminance(image.pixel(x, y)) < 230]
        heights.append(zero - dark[0] if dark else 0)
    check(heights and min(heights) >= 0.95 * max(heights) - 1 and max(heights) > 0.5 * height,
          f"{what}: curve heights {min(heights, default=0)} to {max(heights, default=0)} px")


def check_cog_shows(image, root, what):
    """The centre-of-gravity symbol in each view: its white halo and black ring unbroken."""
    for name, view in views(root).items():
        symbol = [g for g in view.iter(SVG + "g") if g.get("class") == "cog-symbol"]
        if not check(symbol, f"{what}, {name}: no symbol"):
            continue
        ring = symbol[0].find(SVG + "circle")
        x, y = float(ring.get("cx")), float(ring.get("cy"))
        angles = [a * math.pi / 8 for a in range(16)]
        def at(a, radii, pick):
            return pick(luminance(image.pixel(x + r * math.cos(a), y + r * math.sin(a)))
                        for r in radii)
        halo = [at(a, (8.2, 8.6, 9), max) for a in angles]
        black = [at(a, (6.2, 6.6, 7, 7.4, 7.8), min) for a in angles]
        check(min(halo) > 180 and max(black) < 110,
              f"{what}, {name}: symbol covered: halo {min(halo):.0f}, ring {max(black):.0f}")


def radius_in(image, x, y):
    """A circle's radius on the image: where the mean luminance over a ring about its centre
    rises most steeply, from its fill to the background (small circles about it average out)."""
    rings = []
    for k in range(241):
        r = k / 4
        rings.append(sum(luminance(image.pixel(x + r * math.cos(a / 36 * math.pi),
                                               y + r * math.sin(a / 36 * math.pi)))
                         for a in range(72)) / 72)
    rise = max(range(4, 237), key=lambda k: rings[k + 4] - rings[k - 4])
    return rise / 4


def render(massplot, data, folder, timed):
    if shutil.which("rsvg-convert") is None:
        print("rsvg-convert not found: rendering check skipped")
        sys.exit(77)
    with open(os.path.join(data, "worked_example.txt"), "rb") as f:
        root, svg, _ = draw(massplot, folder, "out.txt", f.read())
    image = with_rsvg(svg)
    check_example(image, root, "rsvg")
    check_labels_apart(image, root, "worked example")
    dark = sum(luminance(image.pixel(x, y)) < 200
               for y in range(0, image.height, 3) for x in range(0, image.width, 3))
    check(0.005 < dark / (image.width * image.height / 9) < 0.5, f"{dark} dark pixels")

    # The data under the centre-of-gravity symbol shows through it.
    root, svg, _ = draw(massplot, folder, "one.txt", record(1, 2, 3, 4))
    image = with_rsvg(svg)
    px, py, _, _ = mappings(views(root)["plan"])
    check(is_blue(image.pixel(px(1) - 3, py(2) - 3)), "the symbol hides the mass under it")

    # Evenly spread masses, evenly shaded: exactly for the regular deck, within one shade for
    # random masses; the deck's one Z drawn on that Z.
    root, svg, _ = draw(massplot, folder, "deck.txt", deck())
    image = with_rsvg(without_overlays(svg))
    check_even(image, root, "deck", 0)
    elevation = views(root)["elevation"]
    _, py, _, _ = mappings(elevation)
    left, top, width, height = frame(elevation)
    band = [y for y in range(int(top) + 2, int(top + height) - 2)
            if luminance(image.pixel(left + width / 4, y)) < 128]
    check(band and abs((band[0] + band[-1]) / 2 - py(20)) <= 1,
          f"deck at Z 20 (y {py(20):.1f}) drawn over y {band[:1]} to {band[-1:]}")
    # A million in an optimised build, where the processor time is measured too; a quarter of
    # that under the sanitizers, which take ten times as long.
    count = 1_000_000 if timed else 250_000
    started = resource.getrusage(resource.RUSAGE_CHILDREN)
    root, svg, size = draw(massplot, folder, "uniform.txt", uniform(count))
    ended = resource.getrusage(resource.RUSAGE_CHILDREN)
    seconds = ended.ru_utime + ended.ru_stime - started.ru_utime - started.ru_stime
    check(not timed or seconds < 1.0, f"{count} records took {seconds:.2f} s")
    check(size < 3_000_000, f"grid picture of {size} bytes")
    check_even(with_rsvg(without_overlays(svg)), root, "uniform", 1)

    # The hull: the radii of its heavy items on the image go as the square roots of their
    # masses (each to a pixel), none at the least size.
    text, items = hull()
    root, svg, _ = draw(massplot, folder, "hull.txt", text)
    image = with_rsvg(without_overlays(svg))
    check_labels_apart(image, root, "hull")
    px, py, _, _ = mappings(views(root)["plan"])
    largest = radius_in(image, px(items[0][1]), py(items[0][2]))
    # Items that no other circle of their size touches in the plan.
    for kg, x, y, _, line in [items[k] for k in (1, 2, 3, 4, 5, 6, 10, 12, 14)]:
        r = radius_in(image, px(x), py(y))
        expected = largest * (kg / items[0][0]) ** 0.5
        check(abs(r - expected) <= 1 and r > 3, f"hull line {line}: radius {r} for {expected:.1f}")

    # Evenly spaced masses give a flat weight curve, its bins as wide as their spacing.
    for what, text, width, total in (("slab floor", slab_floor(), "1.000", 674 * 7500.0),
                                     ("ten", ten(), "3.000", 10 * 1000.0)):
        root, svg, _ = draw(massplot, folder, what.replace(" ", "_") + ".txt", text)
        check_flat_curve(with_rsvg(svg), root, what, width)
        check(near(curve_mass(root), total, 0.005), f"{what}: curve holds {curve_mass(root)} kg")

    # 1 % negative masses spread over a module leave the grid's shading as it was (markers only
    # where a cell's net mass is negative, and at the most negative), under the centre of
    # gravity's symbol.
    root, svg, _ = draw(massplot, folder, "module.txt", module())
    image = with_rsvg(svg)
    check_cog_shows(image, root, "module")
    marked, alone = cell_shades(image, root, True), cell_shades(with_rsvg(without_overlays(svg)), root)
    for name in marked:
        same = sum(marked[name][c] == alone[name].get(c) for c in marked[name])
        check(same >= 0.97 * len(marked[name]), f"module, {name}: {same} of {len(marked[name])} "
              "cells keep their shade under the negative markers")

    # The ship: the negative mass shows in its heavy cell; one mass in millimetres leaves the
    # model filling the views, with a marker at the edge and tick labels apart.
    root, svg, _ = draw(massplot, folder, "ship.txt", ship())
    image = with_rsvg(svg)
    check_negative_shows(image, root, "rsvg")
    check_labels_apart(image, root, "ship")
    for name in ("plan", "elevation"):
        view = views(root)[name]
        left, top, width, height = frame(view)
        shaded = [x for x in range(int(left), int(left + width))
                  if luminance(image.pixel(x, top + height / 2 + 5)) < 200]
        check(shaded and shaded[-1] - shaded[0] > 0.9 * width, f"ship, {name}: model shrunk")
        _, py, _, _ = mappings(view)
        marker = image.pixel(left + width - 3, py(SHIP_OUTLIER[AXES[name][1]]))
        check(luminance(marker) < 100, f"ship, {name}: no marker for the mass far out")


def chromium(massplot, data, folder):
    browser = shutil.which("chromium-headless-shell") or shutil.which("chromium")
    if browser is None or shutil.which("rsvg-convert") is None:
        print("headless Chromium or rsvg-convert not found: check skipped")
        sys.exit(77)

    def screenshot(svg, root):
        png = svg[:-4] + "-chromium.png"
        size = ",".join(str(round(v)) for v in page_size(root))
        # No network, no services, a fresh profile: only the file is loaded.
        subprocess.run([browser, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                        "--no-first-run", "--disable-background-networking",
                        "--disable-component-update", "--disable-sync", "--hide-scrollbars",
                        "--force-device-scale-factor=1", f"--user-data-dir={folder}/profile",
                        f"--window-size={size}", f"--screenshot={png}", "file://" + svg],
                       check=True, capture_output=True, timeout=120)
        return Image(png)

    with open(os.path.join(data, "worked_example.txt"), "rb") as f:
        root, svg, _ = draw(massplot, folder, "out.txt", f.read())
    seen, drawn = screenshot(svg, root), with_rsvg(svg)
    check_example(seen, root, "chromium")
    check_labels_apart(seen, root, "chromium, worked example")
    differ = sum(abs(luminance(seen.pixel(x, y)) - luminance(drawn.pixel(x, y))) > 80
                 for y in range(0, seen.height, 2) for x in range(0, seen.width, 2))
    check(differ < 0.01 * seen.width * seen.height / 4, f"renderers differ in {differ} pixels")

    root, svg, _ = draw(massplot, folder, "ship.txt", ship())
    seen, drawn = screenshot(svg, root), with_rsvg(svg)
    check_negative_shows(seen, root, "chromium")
    ours, theirs = cell_shades(seen, root, True), cell_shades(drawn, root, True)
    for name in ours:
        same = sum(ours[name][c] == theirs[name].get(c) for c in ours[name])
        check(same >= 0.99 * len(ours[name]), f"{name}: {same} of {len(ours[name])} cells alike")

    # In a browser window 1,280 and 1,920 pixels wide the whole picture shows, scaled to fit
    # the window and centred across it: the title block's left and right edges and the
    # section's right edge are where that scale puts them, inside the window.
    for window in ((1280, 800), (1920, 1080)):
        png = svg[:-4] + f"-{window[0]}.png"
        subprocess.run([browser, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                        "--disable-background-networking", "--disable-component-update",
                        "--hide-scrollbars", "--force-device-scale-factor=1",
                        f"--user-data-dir={folder}/profile", f"--window-size={window[0]},{window[1]}",
                        f"--screenshot={png}", "file://" + svg], check=True, capture_output=True,
                       timeout=120)
        seen = Image(png)
        page_width, page_height = page_size(root)
        scale = min(window[0] / page_width, window[1] / page_height)
        shift = (window[0] - page_width * scale) / 2
        block = [r for g in of_class(root, "g", "title-block") for r in g.iter(SVG + "rect")][0]
        left, top, width, height = frame(views(root)["section"])
        edges = [(float(block.get("x")), float(block.get("y")) + 40),
                 (float(block.get("x")) + float(block.get("width")), float(block.get("y")) + 40),
                 (left + width, top + height / 3)]
        for x, y in edges:
            x, y = x * scale + shift, y * scale
            check(2 < x < window[0] - 2 and
                  min(luminance(seen.pixel(x + d, y)) for d in (-2, -1, 0, 1, 2)) < 180,
                  f"{window[0]} px window: no edge at {x:.0f}, {y:.0f}")

    # Printed, the picture fills one landscape page.
    pdf = os.path.join(folder, "ship.pdf")
    subprocess.run([browser, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                    f"--user-data-dir={folder}/profile", "--no-pdf-header-footer",
                    f"--print-to-pdf={pdf}", "file://" + svg], check=True, capture_output=True,
                   timeout=120)
    with open(pdf, "rb") as f:
        pages = len(re.findall(rb"/Type\s*/Page(?![s\w])", f.read()))
    check(pages == 1, f"printed on {pages} pages")


def main():
    mode, massplot, data = sys.argv[1], os.path.abspath(sys.argv[2]), sys.argv[3]
    with tempfile.TemporaryDirectory() as folder:
        if mode == "render":
            render(massplot, data, folder, sys.argv[4:] == ["timed"])
        else:
            {"structure": structure, "chromium": chromium}[mode](massplot, data, folder)
    for message in failures:
        print("FAIL:", message)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
