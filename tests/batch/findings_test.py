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
from batch_cli import content, ok, run, run_on_terminal

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
    out = ok("analyze", *settings, "--csv", table)
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
                out = ok(*settings, "--init", "random", "--seed", 3, "--steps", steps,
                         "--report", "--save", os.path.join(d, "f"), silent=True)
                state, predicted, measured, contrast = report_fields(out)
                self.assertEqual(state, "still changing after %d steps" % steps)
                self.assertEqual(predicted, "%.6g" % expected)
                self.assertIn("Class: Turing-unstable", analysis)
                self.assertIn("is Turing-unstable)", out)
                u = np.load(os.path.join(d, "f-u.npy"))
                self.assertEqual(contrast, "%.9g" % (float(u.max()) - float(u.min())))
                self.assertLess(abs(float(measured) / expected - 1), 0.1)

    def test_a_gray_scott_field_dies_out_and_says_so(self):
        out = ok("--model", "gray-scott", "--size", 32, "--init", "random", "--seed", 1,
                 "--steps", 4000, "--report")
        # The start-up point is a fold: two marginal states 6e-5 apart; the field ends at
        # neither.
        self.assertEqual(out.splitlines()[:2], [
            "Run state: extinct after 4000 steps",
            "Predicted wavelength: none (the uniform states u = 0.19997, v = 0.500075 and "
            "u = 0.20003, v = 0.499925 are both marginal; the run ended nearest to u = 0, v = 1, "
            "which is stable)"])
        self.assertTrue(out.splitlines()[2].startswith("Measured wavelength: none (u died out)"))

    def test_a_bistable_point_features_its_stable_states_never_the_saddle(self):
        # Three states: (0, 1) stable, a saddle at u = 0.186554 and a stable focus at
        # u = 0.428831, where the seeded square ends.
        point = ("--model", "gray-scott", "--set", "kA=0.080", "--set", "kB=0.050", "--init",
                 "seeded", "--seed", 1, "--report")
        out = ok(*point, "--size", 64, "--steps", 20000, silent=True)
        self.assertEqual(out.splitlines()[:2], [
            "Run state: converged after 20000 steps",
            "Predicted wavelength: none (bistable: the uniform states u = 0.428831, v = 0.30315 "
            "and u = 0, v = 1 are both stable; the run ended nearest to u = 0.428831, "
            "v = 0.30315)"])
        self.assertNotIn("0.186554", out)
        # A field that died out ends nearest to (0, 1), here at the point's other stable state.
        out = run(*point, "--size", 16, "--steps", 3000)[1]
        self.assertEqual(out.splitlines()[0], "Run state: extinct after 3000 steps")
        self.assertTrue(out.splitlines()[1].endswith("the run ended nearest to u = 0, v = 1)"),
                        out)

    def test_a_field_flat_within_the_rounding_of_its_recent_peaks_has_no_wavelength(self):
        # The Oregonator's field spikes as a whole and falls back: after 15500 steps its
        # contrast, 2.6e-7, is rounding made at the spike's height, not a pattern.
        with tempfile.TemporaryDirectory() as d:
            args = ("--model", "oregonator", "--size", 64, "--init", "random", "--seed", 12345,
                    "--steps", 15500)
            out = ok(*args, "--report", silent=True)
            self.assertEqual(out.splitlines()[2], "Measured wavelength: none (a flat field); "
                                                  "contrast of u: 2.56346539e-07")
            # The sweep's CSV says the same, "inf", with the contrast beside it.
            ok(*args, "--sweep", "kC=0.01:0.01:1", "--save",
               os.path.join(d, "o"), silent=True)
            with open(os.path.join(d, "o-sweep.csv"), newline="") as f:
                (row,) = list(csv.DictReader(f))
            self.assertEqual((row["measured_wavelength"], "%.9g" % float(row["contrast"])),
                             ("inf", "2.56346539e-07"))
            u = np.load(os.path.join(d, "o-kC=0.01-u.npy"))
            self.assertEqual(float(row["contrast"]), float(u.max()) - float(u.min()))

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
            batch_cli.refused(self, args, words, anywhere=True)


class UntilSteady(unittest.TestCase):
    def test_stops_with_the_field_of_a_run_of_exactly_that_many_steps(self):
        with tempfile.TemporaryDirectory() as d:
            common = ("--model", "gm", "--dim", "1", "--size", 32, "--init", "random",
                      "--seed", 12345)
            out = ok(*common, "--steps", 1000000, "--until", "steady",
                     "--report", "--save", os.path.join(d, "a"), silent=True)
            m = re.match(r"Run state: converged; stopped at step (\d+) of at most 1000000 "
                         r"\(--until steady\)$", out.splitlines()[0])
            self.assertIsNotNone(m, out)
            stop = int(m.group(1))
            self.assertEqual(stop % 100, 0)
            self.assertLess(stop, 1000000)

            # An untracked run: watching a run changes none of its bits.
            self.assertEqual(run(*common, "--steps", stop, "--save", os.path.join(d, "b")),
                             (0, "", ""))
            for species in "uv":
                self.assertEqual(content(os.path.join(d, "a-%s.npy" % species)),
                                 content(os.path.join(d, "b-%s.npy" % species)))
            # The check before it had not yet found the field settled.
            for steps, until, state in ((stop, [], "converged after %d steps" % stop),
                                        (stop - 100, ["--until", "steady"],
                                         "still changing after %d steps" % (stop - 100))):
                self.assertEqual(run(*common, "--steps", steps, *until, "--report")[1]
                                 .splitlines()[0], "Run state: " + state)
            code, err = run_on_terminal(*common, "--steps", 1000000, "--until", "steady",
                                        "--report")
            self.assertEqual(code, 0)
            self.assertRegex(err, r"\r%d/%d steps, \d+ steps/s, 0 s left, stopped at step %d "
                                  r"\(steady\)  \r?\n$" % (stop, stop, stop))
            self.assertEqual(run_on_terminal(*common, "--steps", 50, "--quiet", "--report"), (0, ""))


if __name__ == "__main__":
    batch_cli.main(unittest)
