"""rdsim-batch atlas seen from outside: the classes of known points, results independent of
the thread count, split maps merged into the unsplit files, and the refusals."""
import csv
import os
import tempfile
import unittest

import batch_cli
from batch_cli import content, run


def atlas(folder, *args, name="map"):
    """Runs an atlas writing NAME.csv; returns the CSV rows as dicts."""
    path = os.path.join(folder, name + ".csv")
    status, out, err = run("atlas", *args, "--csv", path, "--quiet")
    if status != 0:
        raise AssertionError(f"exit {status}: {err}")
    with open(path, newline="") as f:
        return list(csv.DictReader(f))


class AnalyticMap(unittest.TestCase):
    def test_known_points(self):
        # (model, x, y, the class of the first point)
        cases = [
            ("gray-scott", "kA=0.04:0.05:2", "kB=0.1:0.11:2", "stable"),
            ("gray-scott", "kA=0.04:0.05:2", "kB=0.06:0.07:2", "marginal"),  # a fold
            ("gray-scott", "kA=0.03:0.04:2", "kB=0.055:0.065:2", "oscillatory"),
            ("gm", "Dv=30:31:2", "kA=0.1:0.2:2", "numerically-unstable"),
            ("schnakenberg", "kA=-2:-1.9:2", "kB=1.55:1.6:2", "no-state"),
            ("schnakenberg", "kA=0.025:0.05:2", "kB=1.55:1.6:2", "turing"),
            ("oregonator", "kA=1:2:2", "kB=8e-4:9e-4:2", "uniformly-unstable"),
        ]
        with tempfile.TemporaryDirectory() as d:
            for model, x, y, want in cases:
                with self.subTest(model=model, x=x, y=y):
                    rows = atlas(d, "--model", model, "--x", x, "--y", y)
                    self.assertEqual(rows[0]["class"], want)
                    self.assertEqual(rows[0]["predicted_wavelength"] != "", want == "turing")

    def test_rows_are_y_outer_and_the_same_for_any_thread_count(self):
        with tempfile.TemporaryDirectory() as d:
            args = ["--model", "gm", "--x", "kA=0:0.3:37", "--y", "Dv=5:30:23"]
            one = atlas(d, *args, "--jobs", "1", name="one")
            atlas(d, *args, "--jobs", "2", name="two")
            self.assertEqual(content(os.path.join(d, "one.csv")),
                             content(os.path.join(d, "two.csv")))
            self.assertEqual([(r["x_index"], r["y_index"]) for r in one[:3]],
                             [("0", "0"), ("1", "0"), ("2", "0")])
            self.assertEqual(one[37]["Dv"], "6.13636363636364")


class SplitMap(unittest.TestCase):
    ARGS = ["--model", "gray-scott", "--size", "16", "--x", "kA=0.02:0.06:3",
            "--y", "kB=0.05:0.065:2", "--simulate", "--steps", "400", "--init", "seeded",
            "--seed", "5", "--tile", "16", "--quiet"]

    def outputs(self, d, name="map"):
        return ["--csv", os.path.join(d, name + ".csv"), "--image", os.path.join(d, name + ".png")]

    def test_parts_merged_are_the_unsplit_csv_and_mosaic_bit_for_bit(self):
        with tempfile.TemporaryDirectory() as d:
            status, _, err = run("atlas", *self.ARGS, *self.outputs(d, "whole"), "--jobs", "2")
            self.assertEqual(status, 0, err)
            for k in (2, 3):
                with self.subTest(k=k):
                    sub = os.path.join(d, str(k))
                    os.mkdir(sub)
                    for i in range(1, k + 1):
                        self.assertEqual(run("atlas", *self.ARGS, *self.outputs(sub), "--shard",
                                             f"{i}/{k}", "--jobs", "1")[0], 0)
                    self.assertFalse(os.path.exists(os.path.join(sub, "map.csv")))
                    if k == 3:  # a missing part is refused by name and nothing is written
                        part = os.path.join(sub, "map.part-2-of-3.json")
                        os.rename(part, part + ".away")
                        status, _, err = run("atlas", *self.ARGS, *self.outputs(sub), "--merge")
                        self.assertEqual((status, err), (2, "rdsim-batch atlas: --merge: a part "
                                                            f'is missing: "{part}" was not found\n'))
                        self.assertEqual(len(os.listdir(sub)), 3)
                        os.rename(part + ".away", part)
                    status, _, err = run("atlas", *self.ARGS, *self.outputs(sub), "--merge")
                    self.assertEqual((status, err), (0, ""))
                    for ext in ("csv", "png"):
                        self.assertEqual(content(os.path.join(sub, "map." + ext)),
                                         content(os.path.join(d, "whole." + ext)), ext)


class Refusals(unittest.TestCase):
    def test_refusals_exit_2_and_write_nothing(self):
        base = ["--model", "gray-scott", "--x", "kA=0:0.1:5", "--y", "kB=0.03:0.08:5"]
        cases = [
            (["--model", "schnakenberg", "--x", "kC=0:1:2", "--y", "kB=0:1:2"], "no setting kC"),
            (["--model", "gray-scott", "--x", "kA=0:1:2", "--y", "kA=0:1:3"], "two different"),
            (["--model", "gray-scott", "--x", "kA=0:1:2"], "both axes"),
            (["--model", "gray-scott", "--x", "kA=0:1:0", "--y", "kB=0:1:2"], "--x"),
            (base + ["--steps", "10"], "needs --simulate"),
            (["--model", "gray-scott", "--x", "Du=1:1e40:2", "--y", "kB=0:1:2"], "Du value"),
            (base + ["--simulate", "--steps", "5", "--shard", "1/2", "--merge"], "one or the other"),
        ]
        with tempfile.TemporaryDirectory() as d:
            for args, words in cases:
                with self.subTest(args=args):
                    status, _, err = run("atlas", *args, "--image", os.path.join(d, "r.png"),
                                         "--csv", os.path.join(d, "r.csv"))
                    self.assertEqual((status, err.count("\n")), (2, 1), err)
                    self.assertIn(words, err)
                    self.assertEqual(os.listdir(d), [])


if __name__ == "__main__":
    batch_cli.main(unittest)
