#!/usr/bin/python3
"""rdsim-batch on fields beyond the window's 129 cells and on several threads: pictures and
.npy files at the largest size, and the same bytes for every --threads. The limits and the
threads' bits against the scalar path are ScaleTest.cpp's.

Usage: scale_test.py PATH-TO-rdsim-batch
"""
import os
import struct
import tempfile
import unittest

import numpy as np

import batch_cli
from batch_cli import content, run


def png_size(path):
    return struct.unpack(">II", content(path)[16:24])


class Scale(unittest.TestCase):
    def test_the_largest_field_gives_whole_pictures_and_fields(self):
        with tempfile.TemporaryDirectory() as d:
            code, _, err = run("--size", "4096", "--init", "random", "--seed", "4", "--steps", "1",
                               "--image", "big.png", "--save", "big", cwd=d)
            self.assertEqual((code, err), (0, ""))
            self.assertEqual(png_size(os.path.join(d, "big.png")), (4096, 4096))
            u = np.load(os.path.join(d, "big-u.npy"))
            self.assertEqual((u.shape, u.dtype), ((4096, 4096), np.float32))
            self.assertTrue(np.all(np.isfinite(u)))
            # The last row moved like the first: no cell was left out of the step.
            self.assertGreater(np.count_nonzero(u[-1]), 4000)
            code, _, err = run("--dim", "1", "--size", "4096", "--init", "random", "--seed", "4",
                               "--steps", "30", "--every", "10", "--kymograph", "k.png",
                               "--image", "line.png", cwd=d)
            self.assertEqual((code, err), (0, ""))
            for name, size in (("k.png", (4096, 4)), ("line-u.png", (4096, 62))):
                self.assertEqual(png_size(os.path.join(d, name)), size, name)

    def test_every_thread_count_writes_the_same_bytes(self):
        with tempfile.TemporaryDirectory() as d:
            def files(name, *args):
                self.assertEqual(run(*args, "--save", name, cwd=d), (0, "", ""), name)
                return [content(os.path.join(d, name + s)) for s in ("-u.npy", "-v.npy")]
            for args in (("--model", "gray-scott", "--size", "256", "--steps", "25"),
                         ("--dim", "1", "--size", "300", "--steps", "5")):
                args += ("--init", "random", "--seed", "5")
                one = files("t1", *args, "--threads", "1")
                for more in (("--threads", "3"), ()):
                    self.assertEqual(files("t", *args, *more), one, (args, more))


if __name__ == "__main__":
    batch_cli.main(unittest)
