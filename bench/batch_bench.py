#!/usr/bin/env python3
"""Times runwarden-check over a folder of demos on one core, with one job on
all cores, and with one job per core, and prints how throughput scales from
one core to all of them.

    bench/batch_bench.py BUILD_DIR [--demos N] [--size MIB]

Makes N copies of a walk_bench demo (built in BUILD_DIR) in a temporary folder."""
import argparse
import os
import shutil
import subprocess
import tempfile
import time


def best_of(runs, cmd):
    best = None
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
        took = time.perf_counter() - start
        best = took if best is None else min(best, took)
    return best


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("build")
    ap.add_argument("--demos", type=int, default=8)
    ap.add_argument("--size", type=int, default=64)
    ap.add_argument("--runs", type=int, default=5)
    a = ap.parse_args()
    check = os.path.join(a.build, "src", "cli", "runwarden-check")
    bench = os.path.join(a.build, "bench", "walk_bench")
    cores = os.cpu_count() or 1
    with tempfile.TemporaryDirectory() as d:
        first = os.path.join(d, "d0.dem")
        subprocess.run([bench, "--size", str(a.size), "--file", first, "--repeat", "1"],
                       stdout=subprocess.DEVNULL, check=True)
        for i in range(1, a.demos):
            shutil.copy(first, os.path.join(d, "d%d.dem" % i))
        best_of(1, [check, "--json", d])  # page cache
        pin = ["taskset", "-c", "0"] if shutil.which("taskset") else []
        one_core = best_of(a.runs, pin + [check, "--jobs", "1", "--json", d])
        one = best_of(a.runs, [check, "--jobs", "1", "--json", d])
        many = best_of(a.runs, [check, "--jobs", str(cores), "--json", d])
    total = a.demos * a.size
    print("%d demos, %d MiB in all" % (a.demos, total))
    print("1 core, 1 job      %.3f s  (%.0f MiB/s)" % (one_core, total / one_core))
    print("%d cores, 1 job     %.3f s  (%.0f MiB/s)" % (cores, one, total / one))
    print("%d cores, %d jobs    %.3f s  (%.0f MiB/s)" % (cores, cores, many, total / many))
    print("speed-up     %.2f from 1 core to %d" % (one_core / many, cores))


if __name__ == "__main__":
    main()
