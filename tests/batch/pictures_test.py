#!/usr/bin/python3
"""The styled field pictures seen from outside: zoom repeats every cell, plain grey is the
default picture and the colour bar is marked at round values.

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

    def test_the_colour_bar_is_marked_at_round_values(self):
        # A field of 256 rows: the bar's rows from white at the top through grey to black at
        # the bottom, tick marks right of its frame. The values are PictureTest.cpp's.
        with tempfile.TemporaryDirectory() as d:
            for lo_hi, ticks in (("0:1", [0, 0.2, 0.4, 0.6, 0.8, 1]),
                                 ("-0.05:0.37", [0, 0.1, 0.2, 0.3])):
                with self.subTest(lo_hi):
                    code, _, err = run("--size", "64", "--zoom", "4", "--steps", "0", "--range",
                                       lo_hi, "--colorbar", "--image", "bar.png", cwd=d)
                    self.assertEqual((code, err), (0, ""))
                    p = pixels(os.path.join(d, "bar.png"))[:, :, 0].astype(int)
                    rows = np.flatnonzero(p[:, 20] != 255)  # the field's rows
                    top = rows[0]
                    self.assertEqual(len(rows), 256)
                    bar = np.flatnonzero((p[top] == 255) & (abs(p[top + 128] - 128) < 4)
                                         & (p[top + 255] == 0))
                    marks = np.flatnonzero(p[top - 2:top + 258, bar[-1] + 2] == 0) - 2
                    lo, hi = map(float, lo_hi.split(":"))
                    self.assertEqual(list(marks), [round(255 * (hi - v) / (hi - lo)) for v in
                                                   reversed(ticks)])

if __name__ == "__main__":
    batch_cli.main(unittest)
