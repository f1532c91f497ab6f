#!/usr/bin/python3
"""rdsim-batch on fields beyond the window's 129 cells: pictures and .npy files at the largest
size, and one run on several threads. The limits are ScaleTest.cpp's; the threaded step against
the scalar path on every vector path, ThreadedStepTest.cpp's.

Usage: scale_test.py PATH-TO-rdsim-batch
"""
import os
import tempfile
import unittest

import numpy as np
from PIL import Image

import batch_cli
from batch_cli import content, ok, run


class Scale(unittest.TestCase):
    def test_the_largest_field_gives_whole_pictures_and_fields(self):
        with tempfile.TemporaryDirectory() as d:
            ok("--size", "4096", "--init", "random", "--seed", "4", "--steps", "1",
               "--image", "big.png", "--save", "big", cwd=d, silent=True)
            self.assertEqual(Image.open(os.path.join(d, "big.png")).size, (4096, 4096))
            u = np.load(os.path.join(d, "big-u.npy"))
            self.assertEqual((u.shape, u.dtype), ((4096, 4096), np.float32))
            self.assertTrue(np.all(np.isfinite(u)))
            # The last row moved like the first: no cell was left out of the step.
            self.assertGreater(np.count_nonzero(u[-1]), 4000)
            ok("--dim", "1", "--size", "4096", "--init", "random", "--seed", "4",
               "--steps", "30", "--every", "10", "--kymograph", "k.png",
               "--image", "line.png", cwd=d, silent=True)
            for name, size in (("k.png", (4096, 4)), ("line-u.png", (4096, 62))):
                self.assertEqual(Image.open(os.path.join(d, name)).size, size, name)

    def test_every_thread_count_gives_the_same_fields_and_the_same_error(self):
        with tempfile.TemporaryDirectory() as d:
            for scale in ("0.5", "1e37"):  # the second overflows part-way
                said = {run("--size", 512, "--init", "random", "--seed", 9, "--steps", 31,
                            "--set", "scale=" + scale, "--threads", t, "--save", f"{scale}-{t}",
                            cwd=d) for t in (1, 2, 3)}
                self.assertEqual(len(said), 1, said)
                code, _, err = said.pop()
                self.assertEqual(code, 0 if scale == "0.5" else 3, err)
                self.assertTrue(scale == "0.5" or "Overflow" in err, err)
            for s in "uv":
                self.assertTrue(all(content(os.path.join(d, f"0.5-1-{s}.npy")) ==
                                    content(os.path.join(d, f"0.5-{t}-{s}.npy")) for t in (2, 3)))


if __name__ == "__main__":
    batch_cli.main(unittest)
