#!/usr/bin/env python3
"""Times the conversion of a generated weight list against a plain C conversion and the I/O floor.

Usage: bench/run_conversion.py [--build DIR] [--runs N] [--lines N] [--dir DIR] [--mixed]
                               [--against PROGRAM]

Builds kel2fram in the build folder (default: build), and bench/plain_convert.c and
bench/io_floor.c beside it, writes a weight list of 1,000,000 lines (bench/make_weight_list.py;
with --mixed one that looks hand-edited: tabs and remarks, expressions and commas) into a
memory file system (/dev/shm, or --dir for a disk), then runs the tool, the plain conversion
and the I/O floor (a program that only reads the list and writes as many bytes as the tool's
output to a temporary file beside it, synced and renamed as the tool does) one after the
other, N times each (default 11), and prints the medians of their wall times, both ratios and
the tool's peak memory. With --against, another kel2fram program (a build of an earlier
version, say) is run in the same alternation on the same list; its output must be byte for
byte the tool's, and the ratio of the two medians is printed too. The files are removed at
the end.
"""
import argparse
import filecmp
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def timed(command, stdin_path=None):
    """Runs a command; answers its wall time and processor time (user + system) in seconds
    and its peak memory in MB."""
    with open(stdin_path or os.devnull, "rb") as stdin, open(os.devnull, "wb") as sink:
        start = time.perf_counter()
        child = subprocess.Popen(command, stdin=stdin, stdout=sink, stderr=sink)
        _, status, usage = os.wait4(child.pid, 0)
        wall = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("%s ended with status %d" % (command[0], os.waitstatus_to_exitcode(status)))
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024.0


def write_answers(work, name, weights, output):
    """Writes the dialogue's answers for converting `weights` into `output` (the defaults for
    the rest) to a file in `work`; answers its path."""
    path = os.path.join(work, name)
    with open(path, "w", encoding="ascii") as f:
        f.write("%s\n%s\n\n\n\n\n\n" % (weights, output))
    return path


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(SOURCE, "build"))
    parser.add_argument("--runs", type=int, default=11)
    parser.add_argument("--lines", type=int, default=1_000_000)
    parser.add_argument("--dir", default="/dev/shm" if os.path.isdir("/dev/shm") else None)
    parser.add_argument("--mixed", action="store_true",
                        help="a hand-edited list: tabs and remarks, expressions and commas")
    parser.add_argument("--against", metavar="PROGRAM",
                        help="another kel2fram to time alternately and compare with")
    args = parser.parse_args()

    build = os.path.abspath(args.build)
    if not os.path.exists(os.path.join(build, "CMakeCache.txt")):
        subprocess.run(["cmake", "-S", SOURCE, "-B", build], check=True,
                       stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build, "--target", "kel2fram"], check=True,
                   stdout=subprocess.DEVNULL)
    tool = os.path.join(build, "kel2fram")
    plain = os.path.join(build, "plain_convert")
    floor = os.path.join(build, "io_floor")
    for program, source in ((plain, "plain_convert.c"), (floor, "io_floor.c")):
        subprocess.run([os.environ.get("CC", "cc"), "-O2", "-o", program,
                        os.path.join(SOURCE, "bench", source)], check=True)

    work = tempfile.mkdtemp(prefix="kel2fram-bench-", dir=args.dir)
    try:
        weights = os.path.join(work, "weights.txt")
        subprocess.run([sys.executable, os.path.join(SOURCE, "bench", "make_weight_list.py")]
                       + (["--mixed"] if args.mixed else []) + [weights, str(args.lines)],
                       check=True)
        tool_out = os.path.join(work, "tool.out")
        answers = write_answers(work, "answers", weights, tool_out)
        plain_command = [plain, weights, os.path.join(work, "plain.out")]
        subprocess.run(plain_command, check=True, stderr=subprocess.DEVNULL)  # warm the cache
        timed([tool], answers)  # the tool's output size is the floor's
        floor_command = [floor, weights, os.path.join(work, "floor.out"),
                         str(os.path.getsize(tool_out))]

        programs = [("kel2fram", [tool], answers), ("plain C", plain_command, None),
                    ("I/O floor", floor_command, None)]
        if args.against:
            against = os.path.abspath(args.against)
            against_out = os.path.join(work, "against.out")
            against_answers = write_answers(work, "against-answers", weights, against_out)
            timed([against], against_answers)
            if not filecmp.cmp(tool_out, against_out, shallow=False):
                sys.exit("%s writes another output than %s" % (against, tool))
            programs.append(("against", [against], against_answers))
        walls = {name: [] for name, _, _ in programs}
        cpus = {name: [] for name, _, _ in programs}
        peaks = []
        for _ in range(args.runs):
            for name, command, stdin_path in programs:
                wall, cpu, peak = timed(command, stdin_path)
                walls[name].append(wall)
                cpus[name].append(cpu)
                if name == "kel2fram":
                    peaks.append(peak)
        size_in = os.path.getsize(weights) / 1e6
        size_out = os.path.getsize(tool_out) / 1e6
        print("%d %s lines (%.1f MB in, %.1f MB out) in %s, %d runs each, alternating"
              % (args.lines, "mixed" if args.mixed else "plain", size_in, size_out,
                 args.dir or tempfile.gettempdir(), args.runs))
        median = {name: statistics.median(walls[name]) for name in walls}
        for name, _, _ in programs:
            print("%-15s median %.3f s wall (min %.3f, max %.3f), %.3f s processor"
                  % (name, median[name], min(walls[name]), max(walls[name]),
                     statistics.median(cpus[name])))
        print("ratio           kel2fram / plain C = %.3f (plain C is %.2f times the time)"
              % (median["kel2fram"] / median["plain C"], median["plain C"] / median["kel2fram"]))
        print("ratio           kel2fram / I/O floor = %.2f"
              % (median["kel2fram"] / median["I/O floor"]))
        if args.against:
            print("ratio           kel2fram / against = %.3f (output identical)"
                  % (median["kel2fram"] / median["against"]))
        print("peak memory     kel2fram %.1f MB" % max(peaks))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
