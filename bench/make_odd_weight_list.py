#!/usr/bin/env python3
"""Writes a weight list of N lines (default 200,000) in every shape the reader knows.

Usage: make_odd_weight_list.py FILE [N] [SEED]
Besides plain decimal lines it mixes signs, commas, exponents, whole numbers beyond the
32-bit range, leading zeros, expressions, functions, names, words, remarks, tabs, lower
case, CR LF ends, over-long lines, many fields and lines with too few. Converting such a list
before and after a change to the reader and comparing the consoles and the kitdump dumps
byte for byte (cmp) shows that the change keeps every value, message and counter. (Some of
its values cannot be shown in a record, so no output file is written from it: for the
record renderer, compare the outputs of make_wide_weight_list.py's lists.)
"""
import random
import sys

SEPARATORS = [" ", "  ", ",", " , ", ", ", " ,", "\t", " \t ", ",\t"]
ODD_FIELDS = [
    "PI", "+PI", "-PI", "PI/2", "2*PI", "SIN(PI/2)", "COS(0)", "-SIN(PI/2)*2", "sin(0.5)",
    "2+3*4", "-2+3", "1/0", "1/0+2", "2**10", "2*-3", "1D3", "abc", "E5", "1A", "A_B", "1,,2",
    "12.", ".5", "+.5", "-.5", ".", "-", "+", "1.5.3", "1E", "1E+", "1E12345", "1.5E+0003",
    "1e-3", "1E-400", "1E400", "9E9999", "-0", "+0", "-0.0", "0.0", "007", "0000000000001",
    "2147483647", "2147483648", "-2147483648", "3000000000", "99999999999999999999",
    "123456789012345678901234567890.5", "0.30000000000000000001", "1.23456789012345678",
    "'", "*", "#", "%", "!", "'quote", "*star", "#hash", "%pct", ";", "\x01", "\xe9",
]


def number(rng: random.Random) -> str:
    shape = rng.random()
    if shape < 0.35:
        digits = rng.randint(0, 6)
        return "%.*f" % (digits, rng.uniform(-1e4, 1e4))
    if shape < 0.5:
        return str(rng.randint(-10**rng.randint(1, 10), 10**rng.randint(1, 10)))
    if shape < 0.6:
        return "%.*E" % (rng.randint(0, 8), rng.uniform(-1e6, 1e6) * 10.0**rng.randint(-30, 30))
    if shape < 0.65:
        return "%.*e" % (rng.randint(0, 8), rng.uniform(-1e3, 1e3))
    if shape < 0.75:
        whole = "" if rng.random() < 0.3 else str(rng.randint(0, 10**rng.randint(0, 12)))
        frac = "".join(rng.choice("0123456789") for _ in range(rng.randint(0, 25)))
        sign = rng.choice(["", "", "-", "+"])
        text = sign + whole + ("." + frac if frac or rng.random() < 0.5 else "")
        return text if any(c.isdigit() for c in text) else "1"
    if shape < 0.8:
        return rng.choice(["0", "-0", "0.0", "-0.0", "1", "1.", ".1", "9.999", "1000000"])
    return rng.choice(ODD_FIELDS)


def line(rng: random.Random) -> str:
    shape = rng.random()
    if shape < 0.02:
        return rng.choice(["", "   ", "\t", "' comment", " ' not a comment 1 2 3 4", "! remark"])
    count = rng.choice([4, 4, 4, 4, 5, 3, 2, 1, 6, 8, 20, 70])
    fields = [number(rng) for _ in range(count)]
    text = fields[0]
    for field in fields[1:]:
        text += rng.choice(SEPARATORS) + field
    text = rng.choice(["", " ", "  ", "\t", "   "]) + text
    tail = rng.random()
    if tail < 0.1:
        text += rng.choice([" ! remark", "!x", " !", "   ", ",", " ,", "\t"])
    elif tail < 0.12:
        text += " " * rng.randint(100, 200) + "5 6"
    return text


def main() -> None:
    path = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 200_000
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 11)
    with open(path, "wb") as out:
        for _ in range(count):
            end = b"\r\n" if rng.random() < 0.2 else b"\n"
            out.write(line(rng).encode("latin-1") + end)


if __name__ == "__main__":
    main()
