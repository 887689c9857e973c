#!/usr/bin/env python3
"""Writes a weight list of N lines (default 200,000) whose values span many magnitudes.

Usage: make_wide_weight_list.py FILE [N] [SEED]
Every value can be written in a record: coordinates below 10^6 in magnitude and finite masses
from 1E-12 to 1E+12, as fixed-point numbers with 0 to 9 decimals, exponents, whole numbers,
halves that fall on a rounding tie, zeros and signs. Converting it before and after a change
to the record renderer and comparing the output files byte for byte (cmp) shows that the
change keeps every character of every record.
"""
import random
import sys

EDGE_COORDINATES = ["0", "-0", "0.0", "-0.0", "-0.0004", "0.0005", "-0.0005", "0.00049999",
                    "999.9995", "1000.0005", "999999.9994", "-999999.999"]
EDGE_MASSES = ["0", "-0", "9.99995", "9.99994999", "99999.5", "1.00005", "1.00015",
               "0.000099995", "1E-99", "9.99995E98"]


def coordinate(rng: random.Random) -> str:
    shape = rng.random()
    if shape < 0.3:
        return "%.3f" % rng.uniform(-1000, 1000)
    if shape < 0.5:
        return "%.*f" % (rng.randint(0, 9), rng.uniform(-999999, 999999) * 10.0**-rng.randint(0, 8))
    if shape < 0.6:
        return "%.4f5" % rng.uniform(-100, 100)  # a tie at the fourth decimal
    if shape < 0.7:
        return "%.*E" % (rng.randint(0, 12), rng.uniform(-9.9, 9.9) * 10.0**rng.randint(-12, 5))
    if shape < 0.8:
        return str(rng.randint(-999999, 999999))
    if shape < 0.85:
        return rng.choice(EDGE_COORDINATES)
    return "%.17G" % rng.uniform(-2e5, 2e5)


def mass(rng: random.Random) -> str:
    shape = rng.random()
    if shape < 0.4:
        return "%.4f" % rng.uniform(0.001, 99)
    if shape < 0.7:
        return "%.*E" % (rng.randint(0, 12), rng.uniform(-9.9, 9.9) * 10.0**rng.randint(-12, 12))
    if shape < 0.8:
        return str(rng.randint(-10**9, 10**9))
    if shape < 0.9:
        return "%.17G" % (rng.uniform(0, 10) * 10.0**rng.randint(-15, 15))
    return rng.choice(EDGE_MASSES)


def main() -> None:
    path = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 200_000
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 7)
    with open(path, "w", encoding="ascii", newline="\n") as out:
        for _ in range(count):
            separator = rng.choice([" ", "  ", ",", " , ", "\t"])
            out.write(separator.join([mass(rng), coordinate(rng), coordinate(rng),
                                      coordinate(rng)]) + "\n")


if __name__ == "__main__":
    main()
