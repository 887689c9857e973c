#!/usr/bin/env python3
"""Writes a weight list of N mass lines (default 1,000,000) for timing a conversion.

Usage: make_weight_list.py FILE [N]
Lines look like real exports: a mass and three coordinates with a few decimals, now and
then a comment line or a remark.
"""
import random
import sys


def main() -> None:
    path = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000
    rng = random.Random(20040101)
    with open(path, "w", encoding="ascii", newline="\n") as out:
        out.write("' weight list generated for timing\n")
        for n in range(count):
            if n % 1000 == 0:
                out.write("! block %d\n" % (n // 1000))
            out.write("  %.4f  %.3f  %.3f  %.3f\n" % (
                rng.uniform(0.001, 9.999), rng.uniform(-100, 100),
                rng.uniform(-100, 100), rng.uniform(-20, 40)))


if __name__ == "__main__":
    main()
