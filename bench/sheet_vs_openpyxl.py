#!/usr/bin/python3
"""Times kel2fram reading a workbook against Python's openpyxl reading the same workbook in
read-only mode (values only), which is what a script that exports the list would do.

Usage: /usr/bin/python3 bench/sheet_vs_openpyxl.py [--build DIR] [--rows N] [--runs N] [--dir DIR]

Writes a workbook of N rows (default 1,000,000: item, description, mass [t], X, Y, Z, with a
title row above the headings) with openpyxl in write-only mode into a memory file system
(/dev/shm, or --dir), then runs kel2fram on it and an openpyxl read-only pass that sums the
mass column, alternately, N times each (default 5), and prints the median wall times and their
ratio. Needs python3-openpyxl (Debian); run it with the system's Python, which has it.
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

READER = r"""
import sys
import openpyxl
wb = openpyxl.load_workbook(sys.argv[1], read_only=True, data_only=True)
ws = wb.worksheets[0]
total = 0.0
rows = 0
for row in ws.iter_rows(min_row=3, values_only=True):
    if row and isinstance(row[2], (int, float)):
        total += row[2]
        rows += 1
print(rows, total)
"""


def make_workbook(path, rows):
    import openpyxl
    wb = openpyxl.Workbook(write_only=True)
    ws = wb.create_sheet("Weights")
    ws.append(["Weight list for the benchmark"])
    ws.append(["Item", "Description", "Mass [t]", "X [m]", "Y [m]", "Z [m]"])
    rng = random.Random(28)
    for n in range(rows):
        ws.append([n + 1, "Item %d" % (n + 1), round(rng.uniform(0.01, 20.0), 3),
                   round(rng.uniform(-50, 150), 3), round(rng.uniform(-20, 20), 3),
                   round(rng.uniform(0, 40), 3)])
    wb.save(path)


def timed(command):
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(SOURCE, "build"))
    parser.add_argument("--rows", type=int, default=1_000_000)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--dir", default="/dev/shm" if os.path.isdir("/dev/shm") else None)
    args = parser.parse_args()
    tool = os.path.join(args.build, "kel2fram")
    work = tempfile.mkdtemp(prefix="kel2fram-sheet-bench-", dir=args.dir)
    try:
        book = os.path.join(work, "weights.xlsx")
        reader = os.path.join(work, "read_openpyxl.py")
        with open(reader, "w") as f:
            f.write(READER)
        start = time.perf_counter()
        make_workbook(book, args.rows)
        print("workbook of %d rows: %.1f MB, written in %.0f s" %
              (args.rows, os.path.getsize(book) / 1e6, time.perf_counter() - start))
        out = os.path.join(work, "out.txt")
        ours, theirs = [], []
        for _ in range(args.runs):
            ours.append(timed([tool, book, out]))
            theirs.append(timed([sys.executable, reader, book]))
        a, b = statistics.median(ours), statistics.median(theirs)
        print("kel2fram (convert to Map_Mass):  median %.3f s of %s" %
              (a, " ".join("%.3f" % t for t in ours)))
        print("openpyxl read-only (values only): median %.3f s of %s" %
              (b, " ".join("%.3f" % t for t in theirs)))
        print("openpyxl / kel2fram: %.1f" % (b / a))
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
