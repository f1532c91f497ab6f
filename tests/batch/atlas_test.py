"""rdsim-batch atlas seen from outside: the classes of known points, results independent of
the thread count, the largest map streamed in little memory, split maps merged into the
unsplit files, and the refusals."""
import base64
import csv
import json
import math
import os
import signal
import struct
import tempfile
import unittest

import batch_cli
from batch_cli import SANITIZED, content, ok, run


def rows_of(path):
    with open(path, newline="") as f:
        return list(csv.DictReader(f))


def atlas(folder, *args, name="map"):
    """Runs an atlas writing NAME.csv; returns the CSV rows as dicts."""
    ok("atlas", *args, "--csv", os.path.join(folder, name + ".csv"), "--quiet")
    return rows_of(os.path.join(folder, name + ".csv"))


def outputs(d, name="map"):
    return ["--csv", os.path.join(d, name + ".csv"), "--image", os.path.join(d, name + ".png")]


def merged_parts(test, args, d, threads, whole_files):
    """Runs args whole in d and in len(threads) parts (part i on threads[i - 1]) merged in
    d/parts; the merged files must be the whole run's bit for bit."""
    ok("atlas", *args, *outputs(d, "whole"), "--jobs", "2")
    sub = os.path.join(d, "parts")
    os.mkdir(sub)
    k = len(threads)
    for i, t in enumerate(threads, 1):
        ok("atlas", *args, *outputs(sub), "--shard", f"{i}/{k}", "--jobs", "1", *t)
    test.assertFalse(os.path.exists(os.path.join(sub, "map.csv")))
    if k == 3:  # a missing part is refused by name and nothing is written
        part = os.path.join(sub, "map.part-2-of-3.json")
        os.rename(part, part + ".away")
        test.assertEqual(run("atlas", *args, *outputs(sub), "--merge")[::2], (2, (
            f'rdsim-batch atlas: --merge: a part is missing: "{part}" was not found\n')))
        test.assertEqual(len(os.listdir(sub)), 3)
        os.rename(part + ".away", part)
    test.assertEqual(run("atlas", *args, *outputs(sub), "--merge")[::2], (0, ""))
    for name in whole_files:
        test.assertEqual(content(os.path.join(sub, name)),
                         content(os.path.join(d, "whole" + name[3:])), name)


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


class StreamedMap(unittest.TestCase):
    BIG = ["--model", "gray-scott", "--x", "kA=0.01:0.08:1024", "--y", "kB=0.03:0.07:1024"]

    @unittest.skipIf(SANITIZED, "no address-space limit under sanitizers")
    def test_the_largest_map_takes_the_memory_of_its_picture_not_of_its_table(self):
        # 1024 x 1024 points: a 150 MB table, which held whole took over 600 MB.
        with tempfile.TemporaryDirectory() as d:
            out = ok("atlas", *self.BIG, "--jobs", "2", "--csv", "m.csv",
                     "--image", "m.png", cwd=d, limit=250 << 20, silent=True)
            self.assertTrue(out.startswith("1048576 points in "), out)
            with open(os.path.join(d, "m.csv"), "rb") as f:
                lines = f.read().split(b"\n")
            self.assertEqual(len(lines), 1 + 1024 * 1024 + 1)  # the header, the rows, ""
            self.assertTrue(lines[1].startswith(b"0,0,0.01,0.03,"), lines[1])
            self.assertTrue(lines[-2].startswith(b"1023,1023,0.08,0.07,"), lines[-2])
            self.assertEqual(sorted(os.listdir(d)), ["m.csv", "m.png"])

    def test_an_interrupted_map_leaves_neither_its_table_nor_a_temporary(self):
        with tempfile.TemporaryDirectory() as d:
            p = batch_cli.start("atlas", *self.BIG, "--jobs", "1", "--csv", "m.csv", "--image",
                                "m.png", cwd=d)
            # The table is written beside its target while the rows come.
            self.assertEqual(batch_cli.interrupt_at_part(p, d, "m.csv"),
                             (-signal.SIGINT, "rdsim-batch atlas: interrupted; nothing was written\n"))
            self.assertEqual(os.listdir(d), [])

    def test_the_table_has_the_columns_of_every_state_the_model_can_have(self):
        # Whatever states the map's points have: above Gray-Scott's arch only (0, 1) is left.
        cases = [("gray-scott", "kA=0.04:0.05:2", "kB=0.1:0.11:2", 3, "1"),
                 ("schnakenberg", "kA=0.025:0.05:2", "kB=1.55:1.6:2", 1, "1"),
                 ("oregonator", "kA=1:2:2", "kB=8e-4:9e-4:2", 3, "2"),
                 ("gm", "kA=0.1:0.2:2", "kB=1:1.1:2", 5, "1")]
        with tempfile.TemporaryDirectory() as d:
            for model, x, y, columns, states in cases:
                with self.subTest(model=model):
                    rows = atlas(d, "--model", model, "--x", x, "--y", y)
                    self.assertEqual(list(rows[0])[9:], [f"{c}{k}" for k in range(1, columns + 1)
                                                         for c in ("u", "v", "class")])
                    self.assertEqual(rows[0]["states"], states)
                    self.assertEqual([rows[0][f"u{k}"] for k in range(1, columns + 1)
                                      if k > int(states)], [""] * (columns - int(states)))


class SplitMap(unittest.TestCase):
    ARGS = ["--model", "gray-scott", "--size", "16", "--x", "kA=0.02:0.06:3",
            "--y", "kB=0.05:0.065:2", "--simulate", "--steps", "400", "--init", "seeded",
            "--seed", "5", "--tile", "16", "--quiet"]

    def test_parts_merged_are_the_unsplit_csv_and_mosaic_bit_for_bit(self):
        for k in (2, 3):
            with self.subTest(k=k), tempfile.TemporaryDirectory() as d:
                merged_parts(self, self.ARGS, d, [[]] * k, ("map.csv", "map.png"))


class SimulatedMapMemory(unittest.TestCase):
    @unittest.skipIf(SANITIZED, "no address-space limit under sanitizers")
    def test_a_point_keeps_its_tile_and_findings_not_its_field(self):
        # 36 runs of 1024 x 1024 cells, one at a time: their final fields of u alone are 151 MB.
        args = ["--model", "gray-scott", "--size", "1024", "--x", "kA=0.02:0.05:6", "--y",
                "kB=0.05:0.06:6", "--simulate", "--steps", "1", "--init", "seeded", "--seed", "1",
                "--tile", "16", "--jobs", "1", "--quiet", "--image", "s.png", "--csv", "s.csv"]
        with tempfile.TemporaryDirectory() as d:
            ok("atlas", *args, cwd=d, limit=200 << 20, silent=True)
            self.assertEqual(len(rows_of(os.path.join(d, "s.csv"))), 36)
            self.assertEqual(batch_cli.pixels(os.path.join(d, "s.png")).shape[:2],
                             (100 + 620 + 110, 150 + 6 * 18 + 470))

    def test_a_part_carries_each_points_tile_and_range(self):
        args = ["--model", "gray-scott", "--size", "40", "--x", "kA=0.02:0.06:2", "--y",
                "kB=0.05:0.05:1", "--simulate", "--steps", "100", "--init", "seeded", "--seed",
                "5", "--tile", "20", "--quiet", "--shard", "1/1"]
        with tempfile.TemporaryDirectory() as d:
            for outputs, values in ((["--image", "p.png"], 12 * 12), (["--csv", "p.csv"], 0)):
                with self.subTest(outputs=outputs):
                    ok("atlas", *args, *outputs, cwd=d)
                    with open(os.path.join(d, "p.part-1-of-1.json")) as f:
                        rows = [json.loads(row) for _, row in json.load(f)["rows"]]
                    self.assertEqual(len(rows), 2)
                    for row in rows:
                        self.assertNotIn("u", list(row))
                        self.assertEqual(len(base64.b64decode(row["tile"])), 4 * values)
                        lo, hi = (struct.unpack(">f", bytes.fromhex(row[k].zfill(8)))[0]
                                  for k in ("lo", "hi"))
                        if values:
                            self.assertTrue(0 <= lo < hi <= 1, (lo, hi))
                        else:  # no picture: nothing of the field is kept
                            self.assertTrue(math.isnan(lo) and math.isnan(hi), (lo, hi))


class UntilSteady(unittest.TestCase):
    ARGS = ["--model", "gray-scott", "--size", "32", "--x", "kA=0.03:0.06:3", "--y",
            "kB=0.05:0.062:3", "--simulate", "--steps", "4000", "--until", "steady", "--init",
            "seeded", "--seed", "1", "--tile", "16", "--quiet"]

    def test_each_run_stops_where_it_settles_and_a_picture_maps_the_steps(self):
        with tempfile.TemporaryDirectory() as d:
            self.assertEqual(run("atlas", *self.ARGS, *outputs(d), "--jobs", "2")[::2], (0, ""))
            self.assertEqual(sorted(os.listdir(d)), ["map-steps.png", "map.csv", "map.png"])
            rows = rows_of(os.path.join(d, "map.csv"))
            settled = [r for r in rows if r["state"] in ("converged", "extinct")]
            # This plane holds both: runs that settle, and runs still moving at the end.
            self.assertTrue(0 < len(settled) < len(rows), [r["state"] for r in rows])
            for r in rows:
                steps = int(r["steps"])
                if r in settled:  # checked every 100 steps, 5 quiet checks in a row at least
                    self.assertTrue(500 <= steps < 4000 and steps % 100 == 0, r)
                else:
                    self.assertEqual(steps, 4000, r)
            # The steps picture: a cell per point; the fastest settled run at the table's dark
            # end, the slowest at its bright end, a run not settled in quiet grey.
            picture = batch_cli.pixels(os.path.join(d, "map-steps.png"))
            self.assertEqual(picture.shape, (970, 1380, 3))

            def colour(r):  # off the cell's centre, clear of the mark of a run that died out
                i, j = int(r["x_index"]), int(r["y_index"])
                return tuple(picture[int(100 + 760 - (j + 0.8) * 760 / 3),
                                     int(150 + (i + 0.8) * 760 / 3)])
            steps = sorted(int(r["steps"]) for r in settled)
            for r in rows:
                want = {steps[0]: (68, 1, 84), steps[-1]: (253, 231, 37)}.get(int(r["steps"]))
                if r not in settled:
                    want = (222, 226, 232)
                if want:
                    self.assertEqual(colour(r), want, r)

    def test_a_split_map_until_steady_merges_into_the_files_of_one_run(self):
        # The parts may differ in their threads.
        with tempfile.TemporaryDirectory() as d:
            merged_parts(self, self.ARGS, d, [["--threads", "2"], ["--threads", "1"]],
                         ("map.csv", "map.png", "map-steps.png"))


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
            (base + ["--threads", "2"], "--threads: belongs to a simulated map; needs --simulate"),
            (base + ["--until", "steady"], "--until: belongs to a simulated map"),
            (base + ["--simulate", "--steps", "5", "--until", "now"], "the only condition is steady"),
            (base + ["--bogus", "1"],
             'rdsim-batch atlas: unknown option "--bogus" (see rdsim-batch atlas --help)\n'),
        ]
        for args, words in cases:
            with self.subTest(args=args):
                batch_cli.refused(self, ["atlas", *args, "--image", "r.png", "--csv", "r.csv"],
                                  words, anywhere=True)
        # The map of the steps may not be the table.
        batch_cli.refused(self, ["atlas", *base, "--simulate", "--steps", "5", "--until", "steady",
                                 "--image", "m.png", "--csv", "m-steps.png"],
                          "is also the map of the steps", anywhere=True)


if __name__ == "__main__":
    batch_cli.main(unittest)
