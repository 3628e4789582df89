#!/usr/bin/env python3
"""Brevonix beside the reference store loops, measured the same way.

Usage: scripts/side-by-side.py [BUILD_DIR] [--rounds N] [--cpu N]

BUILD_DIR (default: build/release in the repository) holds the Brevonix executable and the bench programs
(bench/fill_reference, built with -DBREVONIX_BENCHMARKS=ON). Each round runs `Brevonix SysMem`,
the reference loops (bench/fill_reference: the same allocation, 250 ms settle, 1000 passes over
4 MiB and millisecond clock as Brevonix), `Brevonix AGPMem` and `Brevonix VidMem`, alternating
which side goes first. It prints each median in MB/s, the ratio of Brevonix SysMem to the best
32-bit store loop, and the cost around the timed loop (process wall time minus the 250 ms settle
minus the timed fill, 4000 MB / speed).

Goals are printed and compared here only; the exit status is 0 whatever they show, and non-zero
only when the programs cannot be run or SysMem reports no speed at all.
"""

import argparse
import os
import re
import statistics
import subprocess
import sys
import time

SETTLE_MS = 250.0
MEGABYTES_WRITTEN = 4000.0  # 1000 passes of 4 MiB, MB = 1,048,576 bytes
SPEED_GOAL_RATIO = 0.95
SYSMEM_COST_GOAL_MS = 5.0
DRIVER_COST_GOAL_MS = 100.0
TIMEOUT_S = 120

COMMANDS = [
    # (command word, Brevonix's result line)
    ("SysMem", re.compile(r"^System memory set speed:  (\d+) MB/s$", re.M)),
    ("AGPMem", re.compile(r"^AGP Memory set speed:  (\d+) MB/s$", re.M)),
    ("VidMem", re.compile(r"^Video memory set speed:  (\d+) MB/s$", re.M)),
]
REFERENCE_LINE = re.compile(r"^(\w+): (\d+) MB/s$", re.M)
# Loops of fill_reference whose stores are 32-bit; FillWords is the subject, not a reference.
REFERENCE_32BIT = ["Store32x1", "Store32x2", "Store32x4"]
REFERENCE_ORDER = ["FillWords", "Store32x1", "Store32x2", "Store32x4", "Store64", "Memset"]


def run(argv, cpu):
    """Runs argv; returns (wall milliseconds, exit status, stdout, stderr)."""
    preexec = None
    if cpu is not None:
        preexec = lambda: os.sched_setaffinity(0, {cpu})  # noqa: E731
    start = time.perf_counter_ns()
    try:
        done = subprocess.run(argv, stdin=subprocess.DEVNULL, capture_output=True,
                              timeout=TIMEOUT_S, preexec_fn=preexec, check=False)
    except subprocess.TimeoutExpired as expired:
        wall = (time.perf_counter_ns() - start) / 1e6
        return wall, None, (expired.stdout or b"").decode(errors="replace"), "timed out"
    wall = (time.perf_counter_ns() - start) / 1e6
    return (wall, done.returncode, done.stdout.decode(errors="replace"),
            done.stderr.decode(errors="replace"))


def last_line(text):
    lines = [line for line in text.strip().splitlines() if line.strip()]
    return lines[-1] if lines else "(no output)"


class Samples:
    def __init__(self):
        self.speeds = []   # MB/s, one per successful round
        self.costs = []    # ms: wall - settle - fill
        self.walls = []    # ms, every round
        self.failure = None

    def median_speed(self):
        return statistics.median(self.speeds) if self.speeds else None

    def median_cost(self):
        return statistics.median(self.costs) if self.costs else None


def run_brevonix(brevonix, word, pattern, cpu, samples):
    argv = [brevonix, word] + (["-CPU", str(cpu)] if cpu is not None else [])
    wall, status, out, err = run(argv, cpu)
    samples.walls.append(wall)
    match = pattern.search(out)
    if status != 0 or match is None:
        samples.failure = "exit %s after %.0f ms: %s" % (status, wall, last_line(out + "\n" + err))
        return None
    speed = int(match.group(1))
    samples.speeds.append(speed)
    samples.costs.append(wall - SETTLE_MS - MEGABYTES_WRITTEN / speed * 1000.0)
    return speed


def run_reference(reference, cpu, samples):
    wall, status, out, err = run([reference], cpu)
    found = {name: int(speed) for name, speed in REFERENCE_LINE.findall(out)}
    for name in REFERENCE_ORDER:
        if name in found:
            samples[name].speeds.append(found[name])
        else:
            samples[name].failure = "exit %s: %s" % (status, last_line(out + "\n" + err))
    return found


def spread(samples):
    """ "  (min-max)" of the speeds, or "" with fewer than two."""
    if len(samples.speeds) < 2:
        return ""
    return "   (%d-%d)" % (min(samples.speeds), max(samples.speeds))


def load_average():
    try:
        return "%.2f %.2f %.2f" % os.getloadavg()
    except OSError:
        return "unknown"


def fmt(value, spec="%6.0f"):
    return (spec % value) if value is not None else "   n/a"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    repo = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser.add_argument("build_dir", nargs="?", default=os.path.join(repo, "build", "release"),
                        help="default: build/release in the repository")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--cpu", type=int, default=None,
                        help="pin every run to this CPU (Brevonix through -CPU)")
    args = parser.parse_args()

    brevonix = os.path.join(args.build_dir, "Brevonix")
    reference = None
    for candidate in ("bench/fill_reference", "fill_reference"):
        path = os.path.join(args.build_dir, candidate)
        if os.access(path, os.X_OK):
            reference = path
            break
    if not os.access(brevonix, os.X_OK):
        sys.exit("side-by-side: no executable %s" % brevonix)
    if reference is None:
        sys.exit("side-by-side: no bench/fill_reference in %s "
                 "(configure with -DBREVONIX_BENCHMARKS=ON)" % args.build_dir)

    brevonix_samples = {word: Samples() for word, _ in COMMANDS}
    reference_samples = {name: Samples() for name in REFERENCE_ORDER}
    launch = Samples()  # `Brevonix` alone: usage text, the bare cost of starting the program

    print("Brevonix side by side with the reference loops: %d rounds, build dir %s%s"
          % (args.rounds, args.build_dir, "" if args.cpu is None else ", CPU %d" % args.cpu))
    print("Load average before: %s (%d CPUs); other work on the machine skews every number"
          % (load_average(), os.cpu_count() or 0))
    print("%-6s %8s %8s %8s | %9s %9s %9s %9s %9s %9s" %
          ("round", "SysMem", "AGPMem", "VidMem", *REFERENCE_ORDER))
    for round_number in range(1, args.rounds + 1):
        launch.walls.append(run([brevonix], args.cpu)[0])
        row = {}

        def brevonix_side():
            for word, pattern in COMMANDS:
                row[word] = run_brevonix(brevonix, word, pattern, args.cpu,
                                         brevonix_samples[word])

        def reference_side():
            row.update(run_reference(reference, args.cpu, reference_samples))

        # Alternate which side goes first, so neither always runs on a warmer machine.
        sides = [brevonix_side, reference_side]
        if round_number % 2 == 0:
            sides.reverse()
        for side in sides:
            side()
        print("%-6d %8s %8s %8s | %s" % (
            round_number, *(fmt(row.get(word), "%8d") for word, _ in COMMANDS),
            " ".join(fmt(row.get(name), "%9d") for name in REFERENCE_ORDER)))

    print()
    print("Medians (MB/s, MB = 1,048,576 bytes), with (min-max) of the rounds:")
    for word, _ in COMMANDS:
        samples = brevonix_samples[word]
        note = spread(samples) + ("" if samples.failure is None
                                  else "   (failed: %s)" % samples.failure)
        print("  %-46s %8s%s" % ("Brevonix " + word, fmt(samples.median_speed(), "%8.0f"), note))
    for name in REFERENCE_ORDER:
        samples = reference_samples[name]
        label = "reference %s%s" % (
            name, " (project loop, ref. harness)" if name == "FillWords"
            else " (32-bit)" if name in REFERENCE_32BIT else "")
        note = spread(samples) + ("" if samples.failure is None
                                  else "   (failed: %s)" % samples.failure)
        print("  %-46s %8s%s" % (label, fmt(samples.median_speed(), "%8.0f"), note))

    print("Load average after: %s" % load_average())

    status = 0
    sysmem = brevonix_samples["SysMem"].median_speed()
    best_name, best = None, None
    for name in REFERENCE_32BIT:
        speed = reference_samples[name].median_speed()
        if speed is not None and (best is None or speed > best):
            best_name, best = name, speed
    print()
    if sysmem is None or best is None:
        print("Speed goal: cannot compare (SysMem %s, best 32-bit reference %s)" %
              (fmt(sysmem), fmt(best)))
        status = 1
    else:
        ratio = sysmem / best
        print("Brevonix SysMem / best 32-bit reference (%s): %.0f / %.0f = %.3f   goal >= %.2f: %s"
              % (best_name, sysmem, best, ratio, SPEED_GOAL_RATIO,
                 "MET" if ratio >= SPEED_GOAL_RATIO else "MISSED"))
        fill_ref = reference_samples["FillWords"].median_speed()
        if fill_ref is not None:
            print("  (FillWords in the reference harness / best 32-bit reference: %.3f)" %
                  (fill_ref / best))

    print()
    print("Cost around the timed loop (wall - %.0f ms settle - 4000 MB / speed), median ms;"
          " +-1 ms from the ms clock:" % SETTLE_MS)
    launch_ms = statistics.median(launch.walls) if launch.walls else None
    for word, goal in (("SysMem", SYSMEM_COST_GOAL_MS), ("AGPMem", DRIVER_COST_GOAL_MS),
                       ("VidMem", DRIVER_COST_GOAL_MS)):
        samples = brevonix_samples[word]
        cost = samples.median_cost()
        if cost is None:
            print("  %-7s n/a (%s)" % (word, samples.failure or "no speed"))
            continue
        print("  %-7s %7.1f ms  goal < %3.0f ms: %-6s  (of it, bare launch of `Brevonix` with no"
              " arguments: %.1f ms; per round: %s)" % (
                  word, cost, goal, "MET" if cost < goal else "MISSED", launch_ms,
                  " ".join("%.1f" % c for c in samples.costs)))
    return status


if __name__ == "__main__":
    sys.exit(main())
