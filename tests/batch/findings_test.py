#!/usr/bin/python3
"""What a run says beside its files: --report against `analyze` and against the saved field,
and --until steady against a run of exactly that many steps.

Usage: findings_test.py PATH-TO-rdsim-batch
"""
import csv
import math
import os
import re
import tempfile
import unittest

import numpy as np

import batch_cli
from batch_cli import content, run, run_on_terminal

def report_fields(text):
    """The numbers of --report's three lines."""
    state = re.search(r"^Run state: (.*)$", text, re.M).group(1)
    predicted = re.search(r"^Predicted wavelength: (\S+)", text, re.M).group(1)
    measured = re.search(r"^Measured wavelength: (\S+)", text, re.M).group(1)
    contrast = re.search(r"contrast of u: (\S+)$", text, re.M)
    return state, predicted, measured, contrast and contrast.group(1)


def analyzed_wavelength(tmp, *settings):
    """2 (N - 1) / |k| of the fastest mode in analyze's table, for its only steady state."""
    table = os.path.join(tmp, "dispersion.csv")
    code, out, err = run("analyze", *settings, "--csv", table)
    assert code == 0, err
    with open(table, newline="") as f:
        rows = list(csv.DictReader(f))
    assert {row["state"] for row in rows} == {"1"}, "one steady state expected"
    fastest = max(rows, key=lambda row: float(row["growth_factor"]))
    n = int(settings[settings.index("--size") + 1])
    return 2 * (n - 1) / math.hypot(int(fastest["kx"]), int(fastest["ky"])), out


class Report(unittest.TestCase):
    def test_a_gierer_meinhardt_pattern_against_the_analysis_and_its_field(self):
        for dim, size, steps in (("1", "64", 20000), ("2", "48", 19999)):
            with self.subTest(dim=dim), tempfile.TemporaryDirectory() as d:
                settings = ("--model", "gm", "--dim", dim, "--size", size)
                expected, analysis = analyzed_wavelength(d, *settings)
                code, out, err = run(*settings, "--init", "random", "--seed", 3, "--steps", steps,
                                     "--report", "--save", os.path.join(d, "f"))
                self.assertEqual((code, err), (0, ""))
                state, predicted, measured, contrast = report_fields(out)
                self.assertEqual(state, "still changing after %d steps" % steps)
                self.assertEqual(predicted, "%.6g" % expected)
                self.assertIn("Class: Turing-unstable", analysis)
                self.assertIn("is Turing-unstable)", out)
                u = np.load(os.path.join(d, "f-u.npy"))
                self.assertEqual(contrast, "%.9g" % (float(u.max()) - float(u.min())))
                self.assertLess(abs(float(measured) / expected - 1), 0.1)

    def test_a_gray_scott_field_dies_out_and_says_so(self):
        code, out, _ = run("--model", "gray-scott", "--size", 32, "--init", "random", "--seed", 1,
                           "--steps", 4000, "--report")
        self.assertEqual(code, 0)
        self.assertEqual(out.splitlines()[:2], [
            "Run state: extinct after 4000 steps",
            "Predicted wavelength: none (the uniform state u = 0.19997, v = 0.500075 is marginal)"])
        self.assertTrue(out.splitlines()[2].startswith("Measured wavelength: none (u died out)"))

    def test_an_arithmetic_error_and_the_refusals(self):
        code, out, err = run("--size", 8, "--init", "random", "--seed", 1, "--set", "scale=1e37",
                             "--report")
        self.assertEqual(code, 3)
        iteration = re.match(r"rdsim-batch: iteration (\d+): Overflow", err).group(1)
        self.assertEqual(report_fields(out)[::2], (
            "ended by an arithmetic error in iteration " + iteration, "none"))
        for args, words in ((["--size", "1", "--report"], "needs at least 2 cells"),
                            (["--until", "forever"], "the only condition is steady"),
                            (["--report=yes"], "takes no value")):
            code, out, err = run(*args)
            self.assertEqual((code, out), (2, ""), args)
            self.assertIn(words, err)


class UntilSteady(unittest.TestCase):
    def test_stops_with_the_field_of_a_run_of_exactly_that_many_steps(self):
        with tempfile.TemporaryDirectory() as d:
            common = ("--model", "gm", "--dim", "1", "--size", 32, "--init", "random",
                      "--seed", 12345)
            code, out, err = run(*common, "--steps", 1000000, "--until", "steady",
                                 "--report", "--save", os.path.join(d, "a"))
            self.assertEqual((code, err), (0, ""))
            m = re.match(r"Run state: converged; stopped at step (\d+) of at most 1000000 "
                         r"\(--until steady\)$", out.splitlines()[0])
            self.assertIsNotNone(m, out)
            stop = int(m.group(1))
            self.assertEqual(stop % 100, 0)
            self.assertLess(stop, 1000000)

            # An untracked run: watching a run changes none of its bits.
            self.assertEqual(run(*common, "--steps", stop, "--save", os.path.join(d, "b")),
                             (0, "", ""))
            code, out, _ = run(*common, "--steps", stop, "--report")
            self.assertEqual(out.splitlines()[0], "Run state: converged after %d steps" % stop)
            for species in "uv":
                self.assertEqual(content(os.path.join(d, "a-%s.npy" % species)),
                                 content(os.path.join(d, "b-%s.npy" % species)))
            # The check before it had not yet found the field settled.
            code, out, _ = run(*common, "--steps", stop - 100, "--until", "steady",
                               "--report")
            self.assertEqual(out.splitlines()[0],
                             "Run state: still changing after %d steps" % (stop - 100))
            code, err = run_on_terminal(*common, "--steps", 1000000, "--until", "steady",
                                        "--report")
            self.assertEqual(code, 0)
            self.assertRegex(err, r"\r%d/%d steps, \d+ steps/s, 0 s left, stopped at step %d "
                                  r"\(steady\)  \r?\n$" % (stop, stop, stop))
            self.assertEqual(run_on_terminal(*common, "--steps", 50, "--quiet", "--report"), (0, ""))


if __name__ == "__main__":
    batch_cli.main(unittest)
