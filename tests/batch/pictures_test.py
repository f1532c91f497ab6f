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
from batch_cli import SANITIZED, content, ok, pixels, run

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
                        ok(*COMMON, *args, "--zoom", zoom, cwd=d)
                        pictures[zoom] = [pixels(os.path.join(d, f)) for f in files]
                    for one, three in zip(pictures["1"], pictures["3"]):
                        np.testing.assert_array_equal(three, one.repeat(3, 0).repeat(3, 1))

    def test_plain_gray_is_the_default_picture_byte_for_byte(self):
        with tempfile.TemporaryDirectory() as d:
            for name, extra in [("a.png", []), ("b.png", ["--colormap", "gray", "--zoom", "1"])]:
                ok(*COMMON, "--image", name, *extra, cwd=d)
            self.assertEqual(content(os.path.join(d, "a.png")), content(os.path.join(d, "b.png")))

    def test_the_colour_bar_is_marked_at_round_values(self):
        # A field of 256 rows: the bar's rows from white at the top through grey to black at
        # the bottom, tick marks right of its frame. The values are PictureTest.cpp's.
        with tempfile.TemporaryDirectory() as d:
            for lo_hi, ticks in (("0:1", [0, 0.2, 0.4, 0.6, 0.8, 1]),
                                 ("-0.05:0.37", [0, 0.1, 0.2, 0.3])):
                with self.subTest(lo_hi):
                    ok("--size", "64", "--zoom", "4", "--steps", "0", "--range",
                       lo_hi, "--colorbar", "--image", "bar.png", cwd=d, silent=True)
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

    def test_an_auto_range_draws_a_flat_field_flat(self):
        # Settled on the stable focus of a bistable point: u = 0.428831 within 3.3e-7, rounding
        # that an auto range would spread over the whole table.
        with tempfile.TemporaryDirectory() as d:
            ok("--model", "gray-scott", "--size", 64, "--set", "kA=0.080",
               "--set", "kB=0.050", "--init", "seeded", "--seed", 1, "--steps",
               20000, "--range", "auto", "--colormap", "viridis", "--zoom", 4,
               "--colorbar", "--image", "flat.png", "--save", "flat", cwd=d, silent=True)
            u = np.load(os.path.join(d, "flat-u.npy"))
            self.assertLess(float(u.max()) - float(u.min()), 4e-7)
            p = pixels(os.path.join(d, "flat.png"))
            rows = np.flatnonzero((p[:, 20] != 255).any(axis=1))
            self.assertEqual(len(rows), 256)
            left = np.flatnonzero((p[rows[0]] != 255).any(axis=1))[0]
            field = p[rows][:, left:left + 256]
            first = tuple(int(c) for c in field[0, 0])
            self.assertEqual(first, (68, 1, 84))  # viridis at level 0
            self.assertTrue((field == first).all())
            # The bar beside it is the same one colour from top to bottom.
            bar = np.flatnonzero((p[rows] == first).all(axis=2).all(axis=0))
            self.assertGreater(len(bar[bar > left + 256]), 4)


class PictureSizes(unittest.TestCase):
    def test_a_picture_that_cannot_be_made_is_refused_before_the_first_step(self):
        # 262,144 pixels a side: the run itself would take seconds, the picture 256 GiB.
        with tempfile.TemporaryDirectory() as d:
            for args in (["--zoom", "64", "--image", "z.png"],
                         ["--zoom", "8", "--every", "10", "--movie", "z.mp4"],
                         ["--zoom", "5", "--image", "z-%02d.png", "--every", "10"]):
                with self.subTest(args):
                    code, out, err = run("--size", 4096, "--steps", 20, "--save", "z", *args,
                                         cwd=d)
                    self.assertEqual((code, out), (2, ""))
                    self.assertRegex(err, r'^rdsim-batch: --(image|movie) "z[-%0-9d]*\.(png|mp4)": '
                                          r"the (picture|frames) would be \d+ x \d+ pixels "
                                          r"\(about \d+ MiB to hold\); .*\(choose a smaller "
                                          r"--zoom or --size\)\n$")
                    self.assertEqual(os.listdir(d), [])

    @unittest.skipIf(SANITIZED, "no address-space limit under sanitizers")
    def test_a_picture_that_fails_after_the_run_costs_only_itself(self):
        # 16384 x 16384 pixels is within the limit, but not within 700 MB of address space: the
        # fields and the record are written all the same, and the message names the picture.
        with tempfile.TemporaryDirectory() as d:
            code, out, err = run("--size", 2048, "--zoom", 8, "--steps", 1, "--init", "random",
                                 "--seed", 1, "--image", "z.png", "--save", "z", cwd=d,
                                 limit=700 << 20)
            self.assertEqual((code, out), (5, ""))
            self.assertEqual(err, 'rdsim-batch: --image "z.png": out of memory while it was '
                                  'made; written all the same: "z-u.npy", "z-v.npy", '
                                  '"z.json"\n')
            self.assertEqual(sorted(os.listdir(d)), ["z-u.npy", "z-v.npy", "z.json"])
            out = ok("replay", "z.json", cwd=d)
            self.assertTrue(out.startswith("reproduced bit for bit: 1 steps"), out)


class PicturesOnThreads(unittest.TestCase):
    def test_a_sweep_drawing_on_two_threads_ends_cleanly_every_time(self):
        # A worker that made Qt's first object became Qt's main thread; at exit the image
        # plug-ins moved there were torn down from this thread with the ended worker's data,
        # and the heap broke ("corrupted double-linked list"): without the per-thread caches
        # of freed blocks, in about one run in ten of these, so 60 runs all but always saw it.
        env = dict(os.environ, GLIBC_TUNABLES="glibc.malloc.tcache_count=0")
        args = ["--model", "gray-scott", "--size", "16", "--init", "seeded",
                "--seed", "3", "--steps", "150", "--sweep", "kA=0.02:0.04:5", "--sweep",
                "kB=0.055:0.065:2", "--save", "out/gs", "--image", "out/gs.png", "--colormap",
                "viridis", "--jobs", "2"]
        for attempt in range(60):
            with tempfile.TemporaryDirectory() as d:
                os.mkdir(os.path.join(d, "out"))
                self.assertEqual(run(*args, cwd=d, env=env)[::2], (0, ""), "attempt %d" % attempt)
                self.assertEqual(len(os.listdir(os.path.join(d, "out"))), 41)


if __name__ == "__main__":
    batch_cli.main(unittest)
