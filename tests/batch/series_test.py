#!/usr/bin/python3
"""Series of a run's fields (--save with %d) and ensembles over the seed (--sweep seed=...),
each against single runs, with their records and the progress lines for logs (--progress).

Usage: series_test.py PATH-TO-rdsim-batch
"""
import json
import os
import re
import signal
import tempfile
import unittest

import batch_cli
from batch_cli import content, ok, run

ARGS = ("--size", "16", "--init", "random", "--seed", "4")


def record_of(path):
    with open(path) as f:
        return json.load(f)


class FieldSeries(unittest.TestCase):
    def test_every_kth_state_is_saved_with_its_record_as_a_run_of_that_many_steps(self):
        with tempfile.TemporaryDirectory() as d:
            ok(*ARGS, "--steps", "25", "--every", "10", "--save", "run-%03d",
               "--image", "p-%d.png", cwd=d, silent=True)
            frames = [["run-%03d-u.npy" % k, "run-%03d-v.npy" % k, "p-%d.png" % k,
                       "run-%03d.json" % k] for k in range(3)]
            self.assertEqual(sorted(os.listdir(d)), sorted(sum(frames, []) + ["run.json"]))
            for k, (u, v, picture, record) in enumerate(frames):
                ok(*ARGS, "--steps", 10 * k, "--save", "one", cwd=d)
                for mine, theirs in ((u, "one-u.npy"), (v, "one-v.npy")):
                    self.assertEqual(content(os.path.join(d, mine)),
                                     content(os.path.join(d, theirs)))
                r = record_of(os.path.join(d, record))
                self.assertEqual((r["steps"], r["saved"]["u"]["file"], r["saved"]["v"]["file"]),
                                 (10 * k, u, v))
                self.assertEqual(r["fields"], record_of(os.path.join(d, "one.json"))["fields"])
                # The picture's record names the fields of its frame.
                self.assertEqual(json.loads(batch_cli.png_text(os.path.join(d, picture))
                                            ["rdsim-record"])["saved"], r["saved"])
            self.assertEqual(run("replay", frames[1][3], cwd=d)[:2],
                             (0, "reproduced bit for bit: 10 steps, fields SHA-256 %s\n"
                              % record_of(os.path.join(d, frames[1][3]))["fields"]["sha256"]))
            self.assertEqual(record_of(os.path.join(d, "run.json"))["steps"], 25)

    def test_a_frame_appears_whole_or_not_at_all(self):
        with tempfile.TemporaryDirectory() as d:
            os.mkdir(os.path.join(d, "s-2-v.npy"))  # frame 2 cannot be written
            code, _, err = run(*ARGS, "--steps", "50", "--every", "10", "--save", "s-%d", cwd=d)
            self.assertEqual((code, err), (4, 'rdsim-batch: cannot write "s-2-v.npy": Is a '
                                              'directory; frames 0 to 1 were written (s-0-u.npy '
                                              'to s-1.json)\n'))
            self.assertEqual(sorted(os.listdir(d)), ["s-0-u.npy", "s-0-v.npy", "s-0.json",
                                                     "s-1-u.npy", "s-1-v.npy", "s-1.json",
                                                     "s-2-v.npy"])


class Ensembles(unittest.TestCase):
    COMMON = ("--size", "16", "--init", "random", "--steps", "40")

    def test_a_sweep_over_seeds_and_a_setting_gives_the_single_runs(self):
        with tempfile.TemporaryDirectory() as d:
            ok(*self.COMMON, "--sweep", "kA=0.08:0.1:2", "--sweep", "seed=30:10:3", "--save", "e",
               cwd=d, silent=True)
            rows = content(os.path.join(d, "e-sweep.csv")).decode().splitlines()
            self.assertTrue(rows[0].startswith("run,kA,seed,status,"), rows[0])
            tags = [("0.08", "30"), ("0.08", "20"), ("0.08", "10"), ("0.1", "30"), ("0.1", "20"),
                    ("0.1", "10")]
            self.assertEqual([r.split(",")[:3] for r in rows[1:]],
                             [[str(k + 1), ka, seed] for k, (ka, seed) in enumerate(tags)])
            for ka, seed in tags:
                tag = "e-kA=%s-seed=%s" % (ka, seed)
                ok(*self.COMMON, "--seed", seed, "--set", "kA=" + ka, "--save", "one", cwd=d)
                for s in "uv":
                    self.assertEqual(content(os.path.join(d, "%s-%s.npy" % (tag, s))),
                                     content(os.path.join(d, "one-%s.npy" % s)), tag)
                self.assertEqual(record_of(os.path.join(d, tag + ".json"))["initial"],
                                 {"kind": "random", "seed": seed})



class Refusals(unittest.TestCase):
    def test_series_ensembles_and_progress_lines_refused_with_one_line_and_nothing_written(self):
        seeds = Ensembles.COMMON + ("--save", "x")
        for args, message in (
                (("--save", "s-%d"), '--save "s-%d": a name with %d saves the fields and needs '
                                     '--every K'),
                (("--save", "s-%d-%d", "--every", "2"), '--save "s-%d-%d": holds more than one %d'),
                (("--every", "2", "--save", "s"), '--every "2": needs --image or --save with %d '
                                                  'in its name, --kymograph or --movie'),
                (seeds + ("--sweep", "seed=1:20:4"), '--sweep "seed=1:20:4": does not give whole '
                 'numbers: the ends are 19 apart, not a multiple of the 3 gaps between the values'),
                (seeds + ("--sweep", "seed=1.5:3:2"), '--sweep "seed=1.5:3:2": the seeds FROM and '
                 'TO are whole numbers from 0 to 18446744073709551615'),
                (seeds + ("--sweep", "seed=1:2:2", "--seed", "3"),
                 '--seed "3": the seed is also swept (--sweep seed=1:2:2)'),
                (seeds + ("--sweep", "seed=1:2:2", "--sweep", "seed=3:4:2"),
                 '--sweep "seed=3:4:2": the seed is swept more than once'),
                (("--sweep", "seed=1:2:2", "--save", "x"),
                 '--sweep "seed=1:2:2": sweeps the seed of --init random or --init seeded'),
                (("--quiet", "--progress", "--save", "x"),
                 "--quiet: cannot be combined with --progress")):
            with self.subTest(args):
                batch_cli.refused(self, args, "rdsim-batch: %s\n" % message)


LINE = r"(\d+)/(\d+) steps(, \d+/\d+ runs)?, \d+ steps/s, \d+ s left \((\d+) s elapsed\)"


class ProgressLines(unittest.TestCase):
    def test_plain_lines_off_a_terminal_at_the_start_every_5_seconds_and_at_the_end(self):
        with tempfile.TemporaryDirectory() as d:
            code, _, err = run("--size", "16", "--steps", "300", "--progress", "--save", "x", cwd=d)
            self.assertEqual(code, 0)
            lines = err.split("\n")
            self.assertEqual(len(lines), 3, err)  # the start, the end, and nothing after it
            self.assertRegex(lines[0], "^" + LINE + "$")
            self.assertEqual(re.match(LINE, lines[1]).group(1, 2), ("300", "300"))
            # A long run: a line every 5 seconds, whatever the machine's speed.
            p = batch_cli.start("--size", "64", "--steps", "1000000", "--progress", "--save", "y",
                                cwd=d)
            first, second = p.stderr.readline(), p.stderr.readline()
            p.send_signal(signal.SIGTERM)
            rest = p.communicate()[1]
            self.assertNotIn("\r", first + second + rest)
            self.assertEqual(re.match(LINE, first).group(2), "1000000")
            self.assertGreaterEqual(int(re.match(LINE, second).group(4)), 5)
            # Interrupted: the last line counts the steps taken, not the steps asked.
            last, message = rest.splitlines()[-2:]
            taken = int(re.search(r"interrupted after iteration (\d+)", message).group(1))
            self.assertEqual(int(re.match(LINE, last).group(1)), taken)


if __name__ == "__main__":
    batch_cli.main(unittest)
