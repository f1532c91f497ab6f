#!/usr/bin/python3
"""rdsim-batch on fields beyond the window's 129 cells and on several threads: the limit,
identical files for every thread count, the same first failing cell, pictures and .npy files
at the largest size, and the kymograph refused before the run when too large to hold.

Usage: scale_test.py PATH-TO-rdsim-batch
"""
import os
import struct
import tempfile
import unittest

import numpy as np

import batch_cli
from batch_cli import content, run

class Limits(unittest.TestCase):
    def test_sizes_above_4096_and_oversized_kymographs_exit_2_writing_nothing(self):
        cases = [
            (["--size", "4097"], 'rdsim-batch: --size "4097": Field Size: "4097" is out of '
                                 'range (at most 4096 cells per side).\n'),
            (["--size", "4096.5"], 'rdsim-batch: --size "4096.5": Field Size: "4096.5" is out '
                                   'of range (at most 4096 cells per side).\n'),
            (["--dim", "1", "--size", "2048", "--steps", "40000", "--every", "1",
              "--kymograph", "k.png"],
             'rdsim-batch: --kymograph "k.png": the picture would be 2048 x 40001 pixels '
             '(about 391 MiB to hold); at most 67108864 pixels (choose a larger --every or '
             'fewer --steps)\n'),
        ]
        for args, message in cases:
            with tempfile.TemporaryDirectory() as d, self.subTest(args=args):
                self.assertEqual(run(*args, "--save", "out", cwd=d), (2, "", message))
                self.assertEqual(os.listdir(d), [])

    def test_the_largest_field_gives_whole_pictures_and_fields(self):
        with tempfile.TemporaryDirectory() as d:
            code, _, err = run("--size", "4096", "--init", "random", "--seed", "4", "--steps", "1",
                               "--image", "big.png", "--save", "big", cwd=d)
            self.assertEqual((code, err), (0, ""))
            png = content(os.path.join(d, "big.png"))
            self.assertEqual(struct.unpack(">II", png[16:24]), (4096, 4096))
            u = np.load(os.path.join(d, "big-u.npy"))
            self.assertEqual((u.shape, u.dtype), ((4096, 4096), np.float32))
            self.assertTrue(np.all(np.isfinite(u)))
            # The last row moved like the first: no cell was left out of the step.
            self.assertGreater(np.count_nonzero(u[-1]), 4000)
            code, _, err = run("--dim", "1", "--size", "4096", "--init", "random", "--seed", "4",
                               "--steps", "30", "--every", "10", "--kymograph", "k.png",
                               "--image", "line.png", cwd=d)
            self.assertEqual((code, err), (0, ""))
            for name, size in (("k.png", (4096, 4)), ("line-u.png", (4096, 62)),
                               ("line-v.png", (4096, 62))):
                self.assertEqual(struct.unpack(">II", content(os.path.join(d, name))[16:24]),
                                 size, name)


class Threads(unittest.TestCase):
    def files(self, d, name, *args):
        code, _, err = run(*args, "--save", name, cwd=d)
        self.assertEqual((code, err), (0, ""), name)
        return content(os.path.join(d, name + "-u.npy")), content(os.path.join(d, name + "-v.npy"))

    def test_every_thread_count_writes_the_same_bytes(self):
        args = ("--model", "gray-scott", "--size", "256", "--init", "random", "--seed", "5",
                "--steps", "25")
        with tempfile.TemporaryDirectory() as d:
            one = self.files(d, "t1", *args, "--threads", "1")
            self.assertNotEqual(one, self.files(d, "t0", *args[:-1], "0"))  # the field moved
            for threads in ("2", "3"):
                self.assertEqual(self.files(d, "t" + threads, *args, "--threads", threads), one)
            self.assertEqual(self.files(d, "default", *args), one)
            # A line steps on one thread whatever --threads says.
            line = ("--dim", "1", "--size", "300", "--init", "random", "--seed", "5")
            self.assertEqual(self.files(d, "l3", *line, "--threads", "3"),
                             self.files(d, "l1", *line))

    def test_an_error_names_the_same_cell_for_every_thread_count(self):
        with tempfile.TemporaryDirectory() as d:
            u = np.full((256, 256), 0.5, np.float32)
            v = np.full((256, 256), 0.5, np.float32)
            # Overflowing cells past the first band of rows for 2 and 3 threads; for 3 they
            # lie in different bands.
            u[150, 7] = u[230, 9] = 3e38
            np.save(os.path.join(d, "u.npy"), u)
            np.save(os.path.join(d, "v.npy"), v)
            said = set()
            for threads in ("1", "2", "3"):
                code, _, err = run("--size", "256", "--load-u", "u.npy", "--load-v", "v.npy",
                                   "--steps", "5", "--threads", threads, "--save", "x", cwd=d)
                self.assertEqual(code, 3, err)
                said.add(err)
            self.assertEqual(len(said), 1, said)
            self.assertRegex(said.pop(), r"^rdsim-batch: iteration 1: Overflow: .*"
                                         r"\(at cell column [0-9]+, row 1(49|50|51)\)\n$")
            self.assertEqual(sorted(os.listdir(d)), ["u.npy", "v.npy"])

    def test_a_sweep_of_large_fields_matches_single_runs(self):
        base = ("--size", "260", "--init", "random", "--seed", "2", "--steps", "7")
        with tempfile.TemporaryDirectory() as d:
            code, _, err = run(*base, "--sweep", "kA=0.08:0.1:2", "--save", "s", cwd=d)
            self.assertEqual((code, err), (0, ""))
            for ka in ("0.08", "0.1"):
                self.assertEqual(self.files(d, "single", *base, "--set", "kA=" + ka),
                                 (content(os.path.join(d, "s-kA=%s-u.npy" % ka)),
                                  content(os.path.join(d, "s-kA=%s-v.npy" % ka))), ka)


if __name__ == "__main__":
    batch_cli.main(unittest)
