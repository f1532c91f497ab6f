"""rdsim-batch atlas seen from outside: the rows and classes of known points, agreement with
the analyze command, results independent of the thread count, the mosaic and the refusals."""
import csv
import io
import os
import re
import tempfile
import unittest

from PIL import Image

import batch_cli
from batch_cli import content, run


def atlas(folder, *args, name="map"):
    """Runs an atlas writing map.csv (and map.png); returns the CSV rows as dicts."""
    path = os.path.join(folder, name + ".csv")
    status, out, err = run("atlas", *args, "--csv", path, "--quiet")
    if status != 0:
        raise AssertionError(f"exit {status}: {err}")
    with open(path, newline="") as f:
        return list(csv.DictReader(f))


def analyzed_wavelength(*args):
    status, out, _ = run("analyze", *args)
    assert status == 0
    return float(re.search(r"Predicted wavelength: (\S+) cells", out).group(1))


class AnalyticMap(unittest.TestCase):
    def test_start_up_points_are_turing_unstable_with_the_analyzed_wavelength(self):
        # 3 x 3 maps around the start-up point (the centre), 2D and 1D.
        cases = [("schnakenberg", "kA=0:0.05:3", "kB=1.5:1.6:3"),
                 ("gm", "kA=0:0.2:3", "kB=1:2:3")]
        with tempfile.TemporaryDirectory() as d:
            for model, x, y in cases:
                for dim in ("2", "1"):
                    with self.subTest(model=model, dim=dim):
                        rows = atlas(d, "--model", model, "--dim", dim, "--x", x, "--y", y)
                        self.assertEqual(len(rows), 9)
                        centre = rows[4]
                        self.assertEqual((centre["x_index"], centre["y_index"]), ("1", "1"))
                        self.assertEqual(centre["class"], "turing")
                        self.assertEqual(centre["states"], "1")
                        self.assertEqual(centre["class1"], "turing")
                        want = analyzed_wavelength("--model", model, "--dim", dim)
                        self.assertEqual(float("%.4g" % float(centre["predicted_wavelength"])),
                                         want)

    def test_known_points(self):
        # (model, set, x, y, the class of the first point)
        cases = [
            ("gray-scott", [], "kA=0.04:0.05:2", "kB=0.1:0.11:2", "stable"),
            ("gray-scott", [], "kA=0.04:0.05:2", "kB=0.06:0.07:2", "marginal"),  # a fold
            ("gray-scott", [], "kA=0.03:0.04:2", "kB=0.055:0.065:2", "oscillatory"),
            ("gm", [], "Dv=30:31:2", "kA=0.1:0.2:2", "numerically-unstable"),
            ("schnakenberg", [], "kA=0.1:0.2:2", "kB=0.2:0.3:2", "oscillatory"),
            ("schnakenberg", [], "kA=-2:-1.9:2", "kB=1.55:1.6:2", "no-state"),
            ("oregonator", [], "kA=1:2:2", "kB=8e-4:9e-4:2", "uniformly-unstable"),
        ]
        with tempfile.TemporaryDirectory() as d:
            for model, sets, x, y, want in cases:
                with self.subTest(model=model, x=x, y=y):
                    rows = atlas(d, "--model", model, *sets, "--x", x, "--y", y)
                    self.assertEqual(rows[0]["class"], want)
                    turing = want == "turing"
                    self.assertEqual(rows[0]["predicted_wavelength"] != "", turing)

    def test_gray_scott_lists_the_trivial_state_as_stable_everywhere(self):
        with tempfile.TemporaryDirectory() as d:
            rows = atlas(d, "--model", "gray-scott", "--x", "kA=0.005:0.1:20",
                         "--y", "kB=0.03:0.08:20")
            self.assertEqual(len(rows), 400)
            classes = {r["class"] for r in rows}
            self.assertTrue({"stable", "turing", "bistable", "oscillatory"} <= classes, classes)
            for r in rows:
                self.assertEqual((r["u1"], r["v1"], r["class1"]), ("0", "1", "stable"))
                self.assertIn(r["states"], ("1", "3"))  # two more states come as a pair

    def test_rows_are_y_outer_and_the_same_for_any_thread_count(self):
        with tempfile.TemporaryDirectory() as d:
            args = ["--model", "gm", "--x", "kA=0:0.3:37", "--y", "Dv=5:30:23"]
            one = atlas(d, *args, "--jobs", "1", name="one")
            two = atlas(d, *args, "--jobs", "2", name="two")
            self.assertEqual(content(os.path.join(d, "one.csv")),
                             content(os.path.join(d, "two.csv")))
            self.assertEqual([(r["x_index"], r["y_index"]) for r in one[:3]],
                             [("0", "0"), ("1", "0"), ("2", "0")])
            self.assertEqual(one[37]["Dv"], "6.13636363636364")

    def test_picture_and_table_are_written_together(self):
        with tempfile.TemporaryDirectory() as d:
            png, table = os.path.join(d, "m.png"), os.path.join(d, "m.csv")
            status, _, err = run("atlas", "--model", "gray-scott", "--x", "kA=0:0.1:50",
                                 "--y", "kB=0.03:0.08:40", "--image", png, "--csv", table)
            self.assertEqual(status, 0, err)
            with Image.open(png) as im:
                self.assertEqual(im.size, (150 + 760 + 470, 100 + 760 + 110))
                # The bottom-left point (F = 0: a fold of the trivial state) is marginal yellow.
                self.assertEqual(im.convert("RGB").getpixel((152, 100 + 758)), (255, 236, 130))
            # A table that cannot be written leaves no picture either.
            os.remove(png)
            os.remove(table)
            os.mkdir(table)
            status, _, err = run("atlas", "--model", "gray-scott", "--x", "kA=0:0.1:5",
                                 "--y", "kB=0.03:0.08:4", "--image", png, "--csv", table)
            self.assertEqual(status, 4, err)
            self.assertFalse(os.path.exists(png))


    def test_progress_on_a_terminal_counts_points(self):
        with tempfile.TemporaryDirectory() as d:
            status, err = batch_cli.run_on_terminal(
                "atlas", "--model", "gray-scott", "--x", "kA=0:0.1:30", "--y", "kB=0.03:0.08:20",
                "--csv", os.path.join(d, "p.csv"))
            self.assertEqual(status, 0, err)
            self.assertRegex(err, r"\r600/600 points, \d+ points/s, 0 s left")


class SimulatedMap(unittest.TestCase):
    def test_mosaic_rows_states_and_frames(self):
        with tempfile.TemporaryDirectory() as d:
            png = os.path.join(d, "sim.png")
            args = ["--model", "gray-scott", "--size", "32", "--x", "kA=0.01:0.07:3",
                    "--y", "kB=0.04:0.06:2", "--simulate", "--steps", "1500", "--init",
                    "random", "--seed", "3", "--tile", "20"]
            rows = atlas(d, *args, "--image", png, "--jobs", "2", name="two")
            one = atlas(d, *args, "--jobs", "1", name="one")
            self.assertEqual(content(os.path.join(d, "one.csv")),
                             content(os.path.join(d, "two.csv")))
            self.assertEqual(len(rows), 6)
            predicted = atlas(d, "--model", "gray-scott", "--size", "32",
                              "--x", "kA=0.01:0.07:3", "--y", "kB=0.04:0.06:2")
            for r, p in zip(rows, predicted):
                self.assertEqual(r["predicted_class"], p["class"])
                self.assertEqual(r["steps"], "1500")
            # F = 0.01, k = 0.04: u dies out from a random start.
            self.assertEqual(rows[0]["state"], "extinct")
            self.assertEqual(rows[0]["measured_wavelength"], "")
            with Image.open(png) as im:
                self.assertEqual(im.size, (150 + 3 * 22 + 470, 100 + 620 + 110))
                # Tile (0, 0) is the bottom-left one; its frame is the extinct grey.
                self.assertEqual(im.convert("RGB").getpixel((151, 100 + 2 * 22 - 2)),
                                 (165, 165, 165))
            self.assertEqual(one, rows)


class SplitMap(unittest.TestCase):
    ARGS = ["--model", "gray-scott", "--size", "16", "--x", "kA=0.02:0.06:3",
            "--y", "kB=0.05:0.065:2", "--simulate", "--steps", "400", "--init", "seeded",
            "--seed", "5", "--tile", "16"]

    def split(self, d, k, name="map", merge=True):
        """Runs parts 1 to K into d/NAME.part-I-of-K.json; returns the merge's outcome."""
        outputs = ["--csv", os.path.join(d, name + ".csv"), "--image",
                   os.path.join(d, name + ".png")]
        for i in range(1, k + 1):
            status, out, err = run("atlas", *self.ARGS, *outputs, "--shard",
                                   f"{i}/{k}", "--jobs", "1", "--quiet")
            self.assertEqual((status, err), (0, ""))
            self.assertRegex(out, rf"^part {i} of {k}: \d of 6 points in ")
        self.assertFalse(os.path.exists(os.path.join(d, name + ".csv")))
        return run("atlas", *self.ARGS, *outputs, "--merge", "--quiet") if merge else None

    def test_parts_merged_are_the_unsplit_csv_and_mosaic_bit_for_bit(self):
        with tempfile.TemporaryDirectory() as d:
            whole = [os.path.join(d, "whole." + e) for e in ("csv", "png")]
            status, _, err = run("atlas", *self.ARGS, "--csv", whole[0], "--image", whole[1],
                                 "--quiet")
            self.assertEqual(status, 0, err)
            for k in (1, 2, 3):
                with self.subTest(k=k):
                    sub = os.path.join(d, str(k))
                    os.mkdir(sub)
                    status, _, err = self.split(sub, k)
                    self.assertEqual((status, err), (0, ""))
                    for want, ext in zip(whole, ("csv", "png")):
                        self.assertEqual(content(os.path.join(sub, "map." + ext)),
                                         content(want), ext)

    def test_a_missing_foreign_or_damaged_part_is_refused_by_name(self):
        with tempfile.TemporaryDirectory() as d:
            self.split(d, 3, merge=False)
            part = os.path.join(d, "map.part-2-of-3.json")
            os.rename(part, part + ".away")
            status, _, err = run("atlas", *self.ARGS, "--csv", os.path.join(d, "map.csv"),
                                 "--image", os.path.join(d, "map.png"), "--merge")
            self.assertEqual(status, 2, err)
            self.assertIn(f'a part is missing: "{part}" was not found', err)
            self.assertEqual(sorted(os.listdir(d)), ["map.part-1-of-3.json",
                                                     "map.part-2-of-3.json.away",
                                                     "map.part-3-of-3.json"])
            # A part of a run with another seed.
            other = self.ARGS[:-3] + ["7", "--tile", "16"]
            run("atlas", *other, "--csv", os.path.join(d, "map.csv"), "--image",
                os.path.join(d, "map.png"), "--shard", "2/3", "--quiet")
            status, _, err = run("atlas", *self.ARGS, "--csv", os.path.join(d, "map.csv"),
                                 "--image", os.path.join(d, "map.png"), "--merge")
            self.assertEqual(status, 2, err)
            self.assertIn(f'part "{part}" was written by a different command (this command '
                          'has "--seed 5" where the part\'s has "--seed 7")', err)
            # A field cut short.
            os.replace(part + ".away", part)
            with open(part) as f:
                text = f.read()
            with open(part, "w") as f:
                f.write(re.sub(r'\\"u\\":\\"[A-Za-z0-9+/]{8}', r'\\"u\\":\\"', text, 1))
            status, _, err = run("atlas", *self.ARGS, "--csv", os.path.join(d, "map.csv"),
                                 "--image", os.path.join(d, "map.png"), "--merge")
            self.assertEqual(status, 2, err)
            self.assertIn(f'part "{part}" is damaged: the row of combination 2 is malformed',
                          err)
            self.assertFalse(os.path.exists(os.path.join(d, "map.csv")))


class Refusals(unittest.TestCase):
    def test_refusals_exit_2_and_write_nothing(self):
        base = ["--model", "gray-scott", "--x", "kA=0:0.1:5", "--y", "kB=0.03:0.08:5"]
        cases = [
            (["--model", "gray-scott", "--x", "kZ=0:1:2", "--y", "kB=0:1:2"], "unknown setting"),
            (["--model", "schnakenberg", "--x", "kC=0:1:2", "--y", "kB=0:1:2"], "no setting kC"),
            (["--model", "gray-scott", "--x", "kA=0:1:2", "--y", "kA=0:1:3"], "two different"),
            (["--model", "gray-scott", "--x", "kA=0:1:2"], "both axes"),
            (["--model", "gray-scott", "--x", "kA=0:1:0", "--y", "kB=0:1:2"], "--x"),
            (["--model", "gray-scott", "--x", "kA=0:1:2", "--y", "kB=0:x:2"], "--y"),
            (base + ["--steps", "10"], "needs --simulate"),
            (base + ["--simulate"], "needs --steps"),
            (base + ["--size", "1"], "at least 2 cells"),
            (base + ["--set", "Du=abc"], "--set"),
            (["--model", "gray-scott", "--x", "Du=1:1e40:2", "--y", "kB=0:1:2"], "Du value"),
            (["--model", "oregonator", "--x", "kC=0:0.01:3", "--y", "kA=1:2:2"], "kC"),
            (base + ["--simulate", "--steps", "5", "--tile", "4"], "--tile"),
            (base + ["--shard", "1/2"], "needs --simulate"),
            (base + ["--simulate", "--steps", "5", "--shard", "3/2"], "--shard"),
            (base + ["--simulate", "--steps", "5", "--shard", "1/2", "--merge"], "one or the other"),
            (["--model", "gray-scott", "--x", "kA=0:1:1025", "--y", "kB=0:1:1025"], "at most"),
            (base + ["--bogus"], "unknown option"),
        ]
        with tempfile.TemporaryDirectory() as d:
            png, table = os.path.join(d, "r.png"), os.path.join(d, "r.csv")
            for args, words in cases:
                with self.subTest(args=args):
                    status, _, err = run("atlas", *args, "--image", png, "--csv", table)
                    self.assertEqual(status, 2, err)
                    self.assertIn(words, err)
                    self.assertEqual(err.count("\n"), 1, err)
                    self.assertEqual(os.listdir(d), [])
            status, _, err = run("atlas", *base, "--image", os.path.join(d, "r.jpg"))
            self.assertEqual(status, 2, err)
            status, _, err = run("atlas", *base)
            self.assertEqual(status, 2, err)

    def test_help(self):
        status, out, _ = run("atlas", "--help")
        self.assertEqual(status, 0)
        self.assertIn("--simulate", out)
        status, out, _ = run("--help")
        self.assertIn("atlas", out)


if __name__ == "__main__":
    batch_cli.main(unittest)
