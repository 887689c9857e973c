#!/usr/bin/env python3
"""Writes a weight list of N mass lines (default 1,000,000) for timing a conversion.

Usage: make_weight_list.py [--mixed] FILE [N]
Lines look like real exports: a mass and three coordinates with a few decimals, now and
then a comment line or a remark. With --mixed the list looks hand-edited: one line in ten
holds tabs and a remark, one in ten an expression and commas ("12.5*2, 10.5, -3.25, 7"),
the rest are plain, and a blank line and a comment line stand between blocks.
"""
import random
import sys


def plain_line(rng) -> str:
    return "  %.4f  %.3f  %.3f  %.3f\n" % (
        rng.uniform(0.001, 9.999), rng.uniform(-100, 100),
        rng.uniform(-100, 100), rng.uniform(-20, 40))


def mixed_line(rng, n) -> str:
    if n % 10 == 3:
        return "\t%.4f\t%.3f\t%.3f\t%.3f\t! item %d\n" % (
            rng.uniform(0.001, 9.999), rng.uniform(-100, 100),
            rng.uniform(-100, 100), rng.uniform(-20, 40), n)
    if n % 10 == 7:
        return "%.1f*2, %.1f, %.2f, %d\n" % (
            rng.uniform(0.1, 5.0), rng.uniform(-100, 100),
            rng.uniform(-100, 100), rng.randint(-20, 40))
    return plain_line(rng)


def main() -> None:
    args = sys.argv[1:]
    mixed = "--mixed" in args
    args = [a for a in args if a != "--mixed"]
    if not args or args[0] in ("-h", "--help"):
        print(__doc__)
        sys.exit(0 if args else 1)
    if args[0].startswith("-"):
        sys.exit("unknown option %s\n%s" % (args[0], __doc__))
    path = args[0]
    count = int(args[1]) if len(args) > 1 else 1_000_000
    rng = random.Random(20040101)
    with open(path, "w", encoding="ascii", newline="\n") as out:
        out.write("' weight list generated for timing\n")
        for n in range(count):
            if n % 1000 == 0:
                if mixed and n > 0:
                    out.write("\n' block %d\n" % (n // 1000))
                else:
                    out.write("! block %d\n" % (n // 1000))
            out.write(mixed_line(rng, n) if mixed else plain_line(rng))


if __name__ == "__main__":
    main()
