#!/usr/bin/python3
"""Times kel2fram reading one weight list as a text list, as a delimited table and as a
workbook, in alternating runs, and prints the medians and their ratios.

Usage: /usr/bin/python3 bench/run_tables.py [--build DIR] [--rows N] [--runs N] [--dir DIR]
                                            [--against PROGRAM] [--no-workbook]

Writes N rows (default 1,000,000: item, description, mass [t], X, Y, Z) as a text list
(`mass x y z` a line), as a CSV file with a heading row and, with openpyxl (python3-openpyxl),
as an .xlsx workbook, into a memory file system (/dev/shm, or --dir). Then runs the tool on
each, one after the other, N times each (default 7), and prints the median wall time of each
form and the ratio of a table's median to the text list's: the figure of how much dearer a
table is than the same list as text. With --against, another kel2fram (a build of an earlier
commit) is run in the same alternation on each form, its output must be byte for byte the
tool's, and the ratio of the two medians per form is printed too: the paired before-and-after
figure of a change.
"""
import argparse
import filecmp
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def make_lists(folder, rows, workbook):
    rng = random.Random(28)
    items = [(n + 1, round(rng.uniform(0.01, 20.0), 3), round(rng.uniform(-50, 150), 3),
              round(rng.uniform(-20, 20), 3), round(rng.uniform(0, 40), 3)) for n in range(rows)]
    paths = {"text": os.path.join(folder, "list.txt"), "csv": os.path.join(folder, "list.csv")}
    with open(paths["text"], "w") as text:
        for _, m, x, y, z in items:
            text.write(f"{m} {x} {y} {z}\n")
    with open(paths["csv"], "w") as csv:
        csv.write("Item,Description,Mass [t],X [m],Y [m],Z [m]\n")
        for n, m, x, y, z in items:
            csv.write(f"{n},Item {n},{m},{x},{y},{z}\n")
    if workbook:
        import openpyxl
        wb = openpyxl.Workbook(write_only=True)
        ws = wb.create_sheet("Weights")
        ws.append(["Item", "Description", "Mass [t]", "X [m]", "Y [m]", "Z [m]"])
        for n, m, x, y, z in items:
            ws.append([n, "Item %d" % n, m, x, y, z])
        paths["xlsx"] = os.path.join(folder, "list.xlsx")
        wb.save(paths["xlsx"])
    return paths


def run(program, list_path, out_path):
    start = time.perf_counter()
    subprocess.run([program, "-u", "t", list_path, out_path], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(SOURCE, "build"))
    parser.add_argument("--rows", type=int, default=1_000_000)
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--dir", default="/dev/shm" if os.path.isdir("/dev/shm") else None)
    parser.add_argument("--against")
    parser.add_argument("--no-workbook", action="store_true")
    args = parser.parse_args()
    subprocess.run(["cmake", "--build", args.build, "--target", "kel2fram"], check=True,
                   stdout=subprocess.DEVNULL)
    tool = os.path.join(args.build, "kel2fram")
    folder = tempfile.mkdtemp(prefix="kel2fram-tables-", dir=args.dir)
    try:
        paths = make_lists(folder, args.rows, not args.no_workbook)
        programs = {"tool": tool}
        if args.against:
            programs["against"] = args.against
        times = {(p, f): [] for p in programs for f in paths}
        for _ in range(args.runs):
            for form, path in paths.items():
                for name, program in programs.items():
                    times[(name, form)].append(run(program, path, os.path.join(folder, name + ".out")))
                if args.against and not filecmp.cmp(os.path.join(folder, "tool.out"),
                                                     os.path.join(folder, "against.out"),
                                                     shallow=False):
                    sys.exit(f"{form}: the two programs' outputs differ")
        median = {key: statistics.median(value) for key, value in times.items()}
        print(f"{args.rows} rows, {args.runs} alternating runs, median wall times:")
        for form in paths:
            line = f"  {form:5} {median[('tool', form)]:.3f} s"
            if form != "text":
                line += f"  ({median[('tool', form)] / median[('tool', 'text')]:.2f} x the text list)"
            if args.against:
                line += (f"; against {median[('against', form)]:.3f} s, ratio "
                         f"{median[('tool', form)] / median[('against', form)]:.3f}")
            print(line)
    finally:
        shutil.rmtree(folder)


if __name__ == "__main__":
    main()
