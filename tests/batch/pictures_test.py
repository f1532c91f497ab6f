#!/usr/bin/python3
"""The styled field pictures seen from outside: zoom repeats every cell and plain grey is the
default picture.

Usage: pictures_test.py PATH-TO-rdsim-batch
"""
import os
import tempfile
import unittest

import numpy as np

import batch_cli
from batch_cli import content, pixels, run

COMMON = ["--init", "random", "--seed", "3", "--size", "20", "--steps", "40"]


class Pictures(unittest.TestCase):
    def test_zoom_repeats_every_cell(self):
        cases = [
            (["--dim", "2", "--image", "p.bmp", "--colormap", "magma"], ["p.bmp"]),
            (["--dim", "1", "--image", "p.bmp"], ["p-u.bmp", "p-v.bmp"]),
            (["--dim", "1", "--kymograph", "k.bmp", "--every", "4", "--range", "0:2",
              "--colormap", "cividis"], ["k.bmp"]),
        ]
        with tempfile.TemporaryDirectory() as d:
            for args, files in cases:
                with self.subTest(args):
                    pictures = {}
                    for zoom in ["1", "3"]:
                        code, _, err = run(*COMMON, *args, "--zoom", zoom, cwd=d)
                        self.assertEqual(code, 0, err)
                        pictures[zoom] = [pixels(os.path.join(d, f)) for f in files]
                    for one, three in zip(pictures["1"], pictures["3"]):
                        np.testing.assert_array_equal(three, one.repeat(3, 0).repeat(3, 1))

    def test_plain_gray_is_the_default_picture_byte_for_byte(self):
        with tempfile.TemporaryDirectory() as d:
            for name, extra in [("a.png", []), ("b.png", ["--colormap", "gray", "--zoom", "1"])]:
                code, _, err = run(*COMMON, "--image", name, *extra, cwd=d)
                self.assertEqual(code, 0, err)
            self.assertEqual(content(os.path.join(d, "a.png")), content(os.path.join(d, "b.png")))


if __name__ == "__main__":
    batch_cli.main(unittest)
