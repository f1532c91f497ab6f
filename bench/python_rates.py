#!/usr/bin/python3
"""The Python package against the command line on the same run: Gierer-Meinhardt, 2D, from
the random start, STEPS steps at N = 128 and N = 1024 (the default threads: one at 128,
every hardware thread at 1024).

    python_rates.py --batch PATH-TO-rdsim-batch [--repeats R]

rdsim must be importable (installed, or its folder on PYTHONPATH). Three times:
  - rdsim-batch: the wall-clock time of the run less that of the same run with no step
    (start-up, intake, the random field and saving the fields), and the same from the
    processes' CPU time;
  - sim.step(STEPS) on a new Simulation: its wall-clock and CPU time;
  - sim.run(STEPS, every=100) on a new Simulation: the same, frames in memory.
The best of each is kept; printed are the times, sim.step against rdsim-batch and sim.run
against sim.step, by wall clock and by CPU time (which other programs on a busy machine
disturb less), with the load average before and after."""

import argparse
import os
import resource
import subprocess
import sys
import tempfile
import time

import rdsim

STEPS = 6000


def batch_seconds(batch, n, steps, folder):
    # The run must write something: its fields, as the run of no step writes them too, so
    # that the difference is the steps alone.
    args = [batch, "--size", str(n), "--init", "random", "--seed", "1", "--steps", str(steps),
            "--quiet", "--save", os.path.join(folder, "run")]
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime


def python_seconds(n, work):
    sim = rdsim.Simulation("gm", size=n, init="random", seed=1)
    start, cpu = time.perf_counter(), time.process_time()
    work(sim)
    return time.perf_counter() - start, time.process_time() - cpu


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--batch", required=True)
    parser.add_argument("--repeats", type=int, default=3)
    args = parser.parse_args()
    print("rdsim %s from %s; load average %.2f %.2f %.2f" % (
        (rdsim.__version__, os.path.dirname(rdsim.__file__)) + os.getloadavg()))
    for n in (128, 1024):
        best = {}
        for _ in range(args.repeats):
            with tempfile.TemporaryDirectory() as folder:
                wall, cpu = batch_seconds(args.batch, n, STEPS, folder)
                wall0, cpu0 = batch_seconds(args.batch, n, 0, folder)
            times = {"rdsim-batch": (wall - wall0, cpu - cpu0),
                     "sim.step": python_seconds(n, lambda s: s.step(STEPS, progress=False)),
                     "sim.run": python_seconds(
                         n, lambda s: s.run(STEPS, every=100, progress=False))}
            for name, (w, c) in times.items():
                old = best.get(name, (float("inf"), float("inf")))
                best[name] = (min(old[0], w), min(old[1], c))
        print("N = %d, %d steps, best of %d:" % (n, STEPS, args.repeats))
        for name, (w, c) in best.items():
            print("  %-12s %8.3f s wall  %8.3f s CPU  (%.0f M cell updates/s by wall clock)"
                  % (name, w, c, n * n * STEPS / w / 1e6))
        for a, b in (("sim.step", "rdsim-batch"), ("sim.run", "sim.step")):
            print("  %s against %s: %+.1f %% wall, %+.1f %% CPU" % (
                a, b, 100 * (best[a][0] / best[b][0] - 1), 100 * (best[a][1] / best[b][1] - 1)))
    print("load average %.2f %.2f %.2f" % os.getloadavg())


if __name__ == "__main__":
    sys.exit(main())
