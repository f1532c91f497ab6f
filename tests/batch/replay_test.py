#!/usr/bin/python3
"""Records and replay seen from outside: every run's record and PNGs say how it was made, a
replay reproduces it bit for bit, and a changed file or record is found and named. That
records and pictures are the same for any --jobs and --shard is shard_test.py's.

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


class Replay(unittest.TestCase):
    def test_records_name_the_state_and_replay_reproduces_it(self):
        with tempfile.TemporaryDirectory() as d:
            os.mkdir(os.path.join(d, "out"))
            self.assertEqual(run(*RUN, "--set", "kA=0.09", "--save", "out/p", "--image", "p.png",
                                 cwd=d)[0], 0)
            record = json.loads(content(os.path.join(d, "out/p.json")))
            sha = fields_sha(os.path.join(d, "out/p"))
            self.assertEqual((record["steps"], record["fields"]["sha256"], record["initial"]),
                             (40, sha, {"kind": "random", "seed": "5"}))
            self.assertEqual(record["settings"]["coefficients"]["kA"], float(np.float32(0.09)))
            # The picture holds the same facts, its files named from its own folder.
            in_png = json.loads(png_text(os.path.join(d, "p.png"))["rdsim-record"])
            self.assertEqual(in_png["saved"]["v"]["file"], "out/p-v.npy")
            ok = (0, "reproduced bit for bit: 40 steps, fields SHA-256 %s\n" % sha)
            self.assertEqual(replay("out/p.json", d), ok)
            self.assertEqual(replay("../p.png", os.path.join(d, "out")), ok)

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


if __name__ == "__main__":
    batch_cli.main(unittest)
