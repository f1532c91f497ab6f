#!/usr/bin/python3
"""Records and replay seen from outside: every run's record and PNGs say how it was made, a
replay reproduces it bit for bit, and a changed file or record is found and named.

Usage: replay_test.py PATH-TO-rdsim-batch
"""
import hashlib
import json
import os
import tempfile
import unittest

import numpy as np

import batch_cli
from batch_cli import content, png_text, run

RUN = ["--init", "random", "--seed", "5", "--size", "24", "--steps", "40"]


def fields_sha(prefix):
    """The SHA-256 of the saved fields as the record defines it, computed by NumPy."""
    u, v = (np.load(prefix + s).astype("<f4") for s in ("-u.npy", "-v.npy"))
    return hashlib.sha256(u.tobytes() + v.tobytes()).hexdigest()


def replay(path, cwd):
    code, out, err = run("replay", path, cwd=cwd)
    return code, out + err


def all_files(root):
    found = {}
    for folder, _, names in os.walk(root):
        for n in names:
            path = os.path.join(folder, n)
            found[os.path.relpath(path, root)] = content(path)
    return found


class Replay(unittest.TestCase):
    def test_records_name_the_state_and_replay_reproduces_it(self):
        with tempfile.TemporaryDirectory() as d:
            os.mkdir(os.path.join(d, "out"))
            self.assertEqual(run(*RUN, "--set", "kA=0.09", "--save", "out/p", "--image", "p.png",
                                 cwd=d)[0], 0)
            record = json.loads(content(os.path.join(d, "out/p.json")))
            sha = fields_sha(os.path.join(d, "out/p"))
            self.assertEqual(record["steps"], 40)
            self.assertEqual(record["fields"]["sha256"], sha)
            self.assertEqual(record["initial"], {"kind": "random", "seed": "5"})
            self.assertEqual(record["settings"]["boxes"]["kA"], "0.09")
            self.assertEqual(record["settings"]["coefficients"]["kA"], float(np.float32(0.09)))
            self.assertEqual(record["saved"]["u"], {
                "file": "p-u.npy",
                "sha256": hashlib.sha256(content(os.path.join(d, "out/p-u.npy"))).hexdigest()})
            # The picture holds the same facts, its files named from its own folder.
            in_png = json.loads(png_text(os.path.join(d, "p.png"))["rdsim-record"])
            self.assertEqual(in_png["saved"]["v"]["file"], "out/p-v.npy")
            self.assertEqual(in_png["fields"], record["fields"])
            ok = (0, "reproduced bit for bit: 40 steps, fields SHA-256 %s\n" % sha)
            self.assertEqual(replay("out/p.json", d), ok)
            self.assertEqual(replay("../p.png", os.path.join(d, "out")), ok)

    def test_a_picture_alone_replays_its_own_state(self):
        # (options, the file to replay, the steps of the state it shows)
        cases = [
            (["--image", "a.png"], "a.png", 40),
            (["--image", "fr-%d.png", "--every", "15"], "fr-2.png", 30),
            (["--dim", "1", "--kymograph", "k.png", "--every", "4"], "k.png", 40),
            (["--dim", "1", "--image", "line.png"], "line-v.png", 40),
        ]
        for args, picture, steps in cases:
            with self.subTest(args), tempfile.TemporaryDirectory() as d:
                self.assertEqual(run(*RUN, *args, cwd=d)[0], 0)
                code, out = replay(picture, d)
                self.assertEqual(code, 0, out)
                self.assertTrue(out.startswith("reproduced bit for bit: %d steps" % steps), out)

    def test_a_changed_saved_field_is_found_cell_by_cell(self):
        with tempfile.TemporaryDirectory() as d:
            self.assertEqual(run(*RUN, "--save", "p", cwd=d)[0], 0)
            path = os.path.join(d, "p-v.npy")
            v = np.load(path)
            was = v[2, 5]
            v[2, 5] = 0.75
            np.save(path, v)
            now = hashlib.sha256(content(path)).hexdigest()
            recorded = json.loads(content(os.path.join(d, "p.json")))["saved"]["v"]["sha256"]
            self.assertEqual(replay("p.json", d), (6, (
                "p-v.npy: no longer matches its record (SHA-256 %s, recorded %s)\n"
                "p-v.npy: first differing cell v[2, 5] (cell 53): saved 0.75, re-run %s\n")
                % (now, recorded, "%.9g" % was)))

    def test_an_edited_record_is_not_reproduced(self):
        with tempfile.TemporaryDirectory() as d:
            self.assertEqual(run(*RUN, "--save", "p", cwd=d)[0], 0)
            path = os.path.join(d, "p.json")
            record = json.loads(content(path))
            sha = record["fields"]["sha256"]
            edited = ("0" if sha[0] != "0" else "1") + sha[1:]
            record["fields"]["sha256"] = edited
            with open(path, "w") as f:
                json.dump(record, f)
            self.assertEqual(replay("p.json", d), (1, (
                "the re-run's fields differ from the record (SHA-256 %s, recorded %s)\n")
                % (sha, edited)))
            # A setting changed in the record changes the derived coefficients it lists.
            record["fields"]["sha256"] = sha
            record["settings"]["boxes"]["Du"] = "2"
            with open(path, "w") as f:
                json.dump(record, f)
            code, out = replay("p.json", d)
            self.assertEqual(code, 1)
            self.assertIn("the settings now give Du = 2; the record has 1\n", out)

    def test_loaded_fields_are_checked_before_the_rerun(self):
        with tempfile.TemporaryDirectory() as d:
            u = np.full((16, 16), 0.5, np.float32)
            u[4:8, 4:8] = 1.0
            np.save(os.path.join(d, "u0.npy"), u)
            np.save(os.path.join(d, "v0.npy"), np.full((16, 16), 0.25, np.float32))
            os.mkdir(os.path.join(d, "res"))
            self.assertEqual(run("--size", "16", "--steps", "30", "--load-u", "u0.npy",
                                 "--load-v", "v0.npy", "--image", "res/r.bmp", cwd=d)[0], 0)
            initial = json.loads(content(os.path.join(d, "res/r.json")))["initial"]
            self.assertEqual(initial["u"]["file"], "../u0.npy")
            self.assertEqual(replay("res/r.json", d)[0], 0)
            u[0, 0] = 0.125
            np.save(os.path.join(d, "u0.npy"), u)
            now = hashlib.sha256(content(os.path.join(d, "u0.npy"))).hexdigest()
            self.assertEqual(replay("res/r.json", d), (6, (
                "u0.npy: the initial field changed since the record (SHA-256 %s, recorded %s)\n")
                % (now, initial["u"]["sha256"])))

    def test_jobs_and_threads_leave_every_file_the_same(self):
        runs = [
            (["--sweep", "kA=0.08:0.1:3", "--jobs", "1"],
             ["--sweep", "kA=0.08:0.1:3", "--jobs", "2"]),
            (["--threads", "1"], ["--threads", "2"]),
        ]
        for first, second in runs:
            with self.subTest(first), tempfile.TemporaryDirectory() as d:
                made = []
                for args in (first, second):
                    folder = os.path.join(d, str(len(made)))
                    os.mkdir(folder)
                    code, _, err = run(*RUN, *args, "--save", "s", "--image", "s.png",
                                       "--colormap", "viridis", cwd=folder)
                    self.assertEqual(code, 0, err)
                    files = all_files(folder)
                    # The CSV names the files by their absolute paths.
                    files.pop("s-sweep.csv", None)
                    made.append(files)
                self.assertEqual(made[0], made[1])
                self.assertEqual(sum(n.endswith(".json") for n in made[0]),
                                 3 if "--sweep" in first else 1)

    def test_unusable_records_are_refused(self):
        with tempfile.TemporaryDirectory() as d:
            self.assertEqual(run("--steps", "1", "--image", "plain.bmp", cwd=d)[0], 0)
            with open(os.path.join(d, "empty.json"), "w") as f:
                f.write("{}")
            for name, message in (
                    ("plain.bmp", "not a record (illegal value)"),
                    ("empty.json", "the record's \"settings\" is missing or not valid"),
                    ("none.json", "No such file or directory")):
                with self.subTest(name):
                    self.assertEqual(replay(name, d), (
                        2, 'rdsim-batch replay: "%s": %s\n' % (name, message)))


if __name__ == "__main__":
    batch_cli.main(unittest)
