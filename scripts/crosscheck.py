#!/usr/bin/env python3
"""Runs two builds of a fitting program on the same data sets and compares
what they print, line ends aside: the Linux and the Windows build must give
the same figures.

usage: crosscheck.py [--batch] COUNT "COMMAND A" "COMMAND B"

The data sets are the fixed cases of the fit tests and COUNT random ones
(numbers 0 to COUNT-1, the same on every run): valid data as a shooter enters
it, six rows of distinct ranges in 1..200, 3 to 6 of them ticked, clicks
from a plausible model with a few clicks of noise. Each set is a line of
vantorel-fit arguments ("[--metric] R:C R:C R:C:off ...").

Without --batch each command runs once per set with the set's words added
to it (vantorel-fit --json, say); with --batch each runs once and reads
every set on standard input, one a line (fit_report). Lines that begin with
"raw" hold unrounded intermediate values: a difference there is counted
and reported but is not a failure. Exit status 1 when any other line
differs."""
import concurrent.futures
import math
import random
import shlex
import subprocess
import sys

FIXED = [
    "10:52 20:0 30:0 40:12 50:28 55:44",
    "--metric 10:52 20:0 30:0 40:12 50:28 55:44",
    "10:52 20:1 30:1 40:12 50:28 55:44",
    "5:1 20:3 30:4 40:12 50:28 55:44",
    "10:0 20:5 30:0 40:12 50:0:off 55:44",
    "10:52 20:0 30:0 40:12:off 50:28 55:44",
    "40:12 3:-2:off 30:5 50:9 60:2 70:20",
]


def clicks_to_dial(metric, mv, bc, sh, zr, cpm, r):
    """The click model in floating point, close enough to make plausible data."""
    yd = 1.0936133 if metric else 1.0
    zy, ry = zr * yd, r * yd
    mvf = mv * 3.2808398 if metric else mv
    shi = sh * 0.39370078740157477 if metric else sh
    term = lambda x: (math.exp(x / (bc * 11500.0)) - 1.0) * (bc * 34500.0)
    tz, tr = term(zy) / mvf, term(ry) / mvf
    slope = (193.0 * tz * tz + shi) / zy
    inches = slope * ry - 193.0 * tr * tr - shi
    return -math.atan(inches / ((r + 0.5) * yd * 36.0)) * 180.0 / math.pi * 60.0 * cpm


def random_set(number):
    rng = random.Random(number)
    metric = rng.random() < 0.3
    mv = rng.uniform(170, 300) if metric else rng.uniform(550, 1000)
    bc = rng.uniform(0.012, 0.045)
    sh = rng.uniform(3, 7) if metric else rng.uniform(1.2, 2.8)
    zr = rng.randint(12, 45)
    cpm = rng.choice([2, 3, 4, 5, 6, 8, 10])
    far = 200 if rng.random() < 0.2 else rng.choice([60, 80, 100])
    ranges = rng.sample(range(1, far + 1), 6)
    if rng.random() < 0.6:
        ranges.sort()
    ticked = set(rng.sample(range(6), rng.randint(3, 6)))
    rows = []
    for i, r in enumerate(ranges):
        c = clicks_to_dial(metric, mv, bc, sh, zr, cpm, r) + rng.randint(-3, 3)
        c = max(-999, min(3000, int(c)))
        rows.append(f"{r}:{c}" + ("" if i in ticked else ":off"))
    return ("--metric " if metric else "") + " ".join(rows)


def run_batch(command, sets):
    out = subprocess.run(shlex.split(command), input="\n".join(sets) + "\n", capture_output=True, text=True, check=False)
    if out.returncode != 0:
        sys.exit(f"crosscheck: {command} failed ({out.returncode}): {out.stderr.strip()}")
    return out.stdout.replace("\r\n", "\n")


def run_each(command, sets):
    def one(s):
        out = subprocess.run(shlex.split(command) + s.split(), capture_output=True, text=True, check=False)
        return f"status {out.returncode}\n" + out.stdout.replace("\r\n", "\n")
    with concurrent.futures.ThreadPoolExecutor(2) as pool:
        return list(pool.map(one, sets))


def main():
    args = sys.argv[1:]
    batch = bool(args) and args[0] == "--batch"
    if batch:
        args = args[1:]
    if len(args) != 3 or not args[0].isdigit():
        sys.exit(__doc__.split("\n\n")[1])
    count, a, b = int(args[0]), args[1], args[2]
    sets = FIXED + [random_set(n) for n in range(count)]
    if batch:
        # fit_report prints the same number of lines for every set.
        outs = []
        for command in (a, b):
            lines = run_batch(command, sets).splitlines()
            per = len(lines) // len(sets)
            if per * len(sets) != len(lines):
                sys.exit(f"crosscheck: {command} printed {len(lines)} lines for {len(sets)} sets")
            outs.append(["\n".join(lines[k * per:(k + 1) * per]) for k in range(len(sets))])
    else:
        outs = [run_each(command, sets) for command in (a, b)]

    differ = raw_differ = 0
    for s, x, y in zip(sets, outs[0], outs[1]):
        xl, yl = x.splitlines(), y.splitlines()
        figures = [(p, q) for p, q in zip(xl, yl) if not p.startswith("raw")]
        if len(xl) != len(yl) or any(p != q for p, q in figures):
            differ += 1
            if differ <= 5:
                print(f"differs: {s}")
                for p, q in figures:
                    if p != q:
                        print(f"  A: {p[:200]}\n  B: {q[:200]}")
        elif x != y:
            raw_differ += 1
    print(f"crosscheck: {len(sets)} sets ({len(FIXED)} fixed, {count} random), {differ} with different figures, "
          f"{raw_differ} more with different raw doubles only")
    print(f"crosscheck: the figures of {len(sets) - differ} of {len(sets)} sets agree")
    sys.exit(1 if differ else 0)


if __name__ == "__main__":
    main()
