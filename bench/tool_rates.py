#!/usr/bin/python3
"""The speed of the two programs as a user meets them, beside rdsim-bench's engine figures.

    tool_rates.py --batch PATH-TO-rdsim-batch [--window-bench PATH-TO-rdsim-window-bench]

1. rdsim-batch at N = 1024 on 1 and 2 threads: the wall-clock time of a run of STEPS steps
   less that of the same run with no step (start-up, the random field, its saved fields in a
   temporary folder: a run must write something), best of three, as M cell updates/s, and
   the ratio of two threads to one; beside it the same from the processes' CPU time (user +
   system), which a busy machine changes less, and the load average, which says how busy it
   was.
2. The window's run rate, its ratio to the bare engine and the time each iteration costs
   beyond the engine's step (1/window rate - 1/engine rate), from rdsim-window-bench under
   an Xvfb display started here on a free display number and stopped afterwards. Skipped
   with a note when Xvfb is not installed."""

import argparse
import os
import re
import resource
import shutil
import subprocess
import sys
import tempfile
import time

N = 1024
STEPS = 200


def run_seconds(batch, steps, threads):
    """Wall-clock and CPU seconds of one run."""
    with tempfile.TemporaryDirectory() as d:
        args = [batch, "--size", str(N), "--init", "random", "--seed", "1", "--steps",
                str(steps), "--threads", str(threads), "--quiet", "--save", os.path.join(d, "f")]
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        subprocess.run(args, check=True, stdout=subprocess.DEVNULL)
        wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime
    return wall, cpu


def batch_rate(batch, threads, repeats=3):
    """Best M cell updates/s of the steps alone, by wall-clock and by CPU time."""
    best_wall = best_cpu = None
    for _ in range(repeats):
        wall, cpu = run_seconds(batch, STEPS, threads)
        wall0, cpu0 = run_seconds(batch, 0, threads)
        best_wall = wall - wall0 if best_wall is None else min(best_wall, wall - wall0)
        best_cpu = cpu - cpu0 if best_cpu is None else min(best_cpu, cpu - cpu0)
    updates = N * N * STEPS / 1e6
    return updates / max(best_wall, 1e-9), updates / max(best_cpu, 1e-9)


def free_display():
    for n in range(90, 200):
        if not os.path.exists("/tmp/.X%d-lock" % n) and \
                not os.path.exists("/tmp/.X11-unix/X%d" % n):
            return n
    return None


def window_figures(window_bench, seconds):
    xvfb = shutil.which("Xvfb")
    if xvfb is None:
        print("window: skipped, Xvfb is not installed (apt-get install xvfb)")
        return
    display = free_display()
    if display is None:
        print("window: skipped, no free display number between :90 and :199")
        return
    server = subprocess.Popen([xvfb, ":%d" % display, "-screen", "0", "1280x1024x24",
                               "-nolisten", "tcp"], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    try:
        socket = "/tmp/.X11-unix/X%d" % display
        for _ in range(100):
            if os.path.exists(socket) or server.poll() is not None:
                break
            time.sleep(0.05)
        if not os.path.exists(socket):
            print("window: skipped, Xvfb did not start on :%d" % display)
            return
        env = dict(os.environ, DISPLAY=":%d" % display, QT_QPA_PLATFORM="xcb")
        out = subprocess.run([window_bench, str(seconds)], env=env, capture_output=True,
                             text=True, timeout=120 + 3 * seconds).stdout
        m = re.search(r"window run: ([0-9.]+) it/s; bare engine: ([0-9.]+) steps/s", out)
        if m is None:
            print("window: rdsim-window-bench printed no rates:\n" + out)
            return
        window, engine = float(m.group(1)), float(m.group(2))
        overhead = (1 / window - 1 / engine) * 1e6 if window > 0 and engine > 0 else float("nan")
        print("window (2D, N = 128, Gierer-Meinhardt, %g s under Xvfb :%d): %.0f it/s; bare "
              "engine %.0f steps/s; ratio %.3f; %.2f us per iteration beyond the step"
              % (seconds, display, window, engine, window / engine, overhead))
    finally:
        server.terminate()
        try:
            server.wait(timeout=10)
        except subprocess.TimeoutExpired:
            server.kill()
            server.wait()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--batch", required=True)
    parser.add_argument("--window-bench")
    parser.add_argument("--seconds", type=float, default=5.0)
    a = parser.parse_args()

    (one, one_cpu), (two, two_cpu) = batch_rate(a.batch, 1), batch_rate(a.batch, 2)
    print("rdsim-batch, N = %d, %d steps less a run of none, best of 3 (load average %.1f "
          "on %d hardware threads):" % (N, STEPS, os.getloadavg()[0], os.cpu_count()))
    print("  1 thread:  %8.1f M cell updates/s wall-clock, %8.1f per CPU second"
          % (one, one_cpu))
    print("  2 threads: %8.1f M cell updates/s wall-clock, %8.1f per CPU second"
          % (two, two_cpu))
    print("  2 threads / 1 thread, wall-clock: %.2f" % (two / one))
    if a.window_bench:
        window_figures(a.window_bench, a.seconds)
    return 0


if __name__ == "__main__":
    sys.exit(main())
