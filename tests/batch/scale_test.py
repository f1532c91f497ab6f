#!/usr/bin/python3
"""rdsim-batch on fields beyond the window's 129 cells: pictures and .npy files at the largest
size. The limits and the threads' bits against the scalar path are ScaleTest.cpp's.

Usage: scale_test.py PATH-TO-rdsim-batch
"""
import os
import tempfile
import unittest

import numpy as np
from PIL import Image

import batch_cli
from batch_cli import run


class Scale(unittest.TestCase):
    def test_the_largest_field_gives_whole_pictures_and_fields(self):
        with tempfile.TemporaryDirectory() as d:
            code, _, err = run("--size", "4096", "--init", "random", "--seed", "4", "--steps", "1",
                               "--image", "big.png", "--save", "big", cwd=d)
            self.assertEqual((code, err), (0, ""))
            self.assertEqual(Image.open(os.path.join(d, "big.png")).size, (4096, 4096))
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
                self.assertEqual(Image.open(os.path.join(d, name)).size, size, name)


if __name__ == "__main__":
    batch_cli.main(unittest)
