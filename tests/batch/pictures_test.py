#!/usr/bin/python3
"""The styled field pictures seen from outside: colour tables entry by entry against the
plotting library's, value ranges, zoom, species and the decorated picture's field.

Usage: pictures_test.py PATH-TO-rdsim-batch
"""
import os
import tempfile
import unittest

import numpy as np
from matplotlib import colormaps

import batch_cli
from batch_cli import content, run
from cli_test import read_bmp


def field_run(folder, u, v, *args):
    """A 0-step 2D run from the fields u and v; returns the BMP picture's pixels."""
    np.save(os.path.join(folder, "u.npy"), u.astype("<f4"))
    np.save(os.path.join(folder, "v.npy"), v.astype("<f4"))
    code, _, err = run("--size", u.shape[0], "--steps", "0", "--load-u", "u.npy", "--load-v",
                       "v.npy", "--image", "p.bmp", *args, cwd=folder)
    assert code == 0, err
    return read_bmp(os.path.join(folder, "p.bmp"))


def levels_of(cells, lo, hi):
    """The tool's level rule in single precision: (u - lo) * (255 / (hi - lo)), half to even."""
    scale = np.float32(255.0 / (float(hi) - float(lo)))
    product = (cells.astype(np.float32) - np.float32(lo)) * scale
    return np.clip(np.rint(product), 0, 255).astype(np.uint8)


class Pictures(unittest.TestCase):
    def test_every_table_entry_is_the_published_one(self):
        # 16 x 16 cells holding 0..255: with the range 0:255 cell k shows entry k.
        ramp = np.arange(256, dtype=np.float32).reshape(16, 16)
        with tempfile.TemporaryDirectory() as d:
            for name in ["viridis", "magma", "inferno", "cividis", "gray"]:
                with self.subTest(name):
                    got = field_run(d, ramp, ramp, "--colormap", name, "--range", "0:255")
                    if name == "gray":
                        want = np.repeat(np.arange(256, dtype=np.uint8), 3).reshape(16, 16, 3)
                    else:
                        rgba = colormaps[name](np.arange(256))
                        want = np.rint(rgba[:, :3] * 255).astype(np.uint8).reshape(16, 16, 3)
                    np.testing.assert_array_equal(got, want)

    def test_ranges_and_species_map_values_to_levels(self):
        rng = np.random.default_rng(7)
        u = rng.uniform(0.2, 1.4, (12, 12)).astype(np.float32)
        v = rng.uniform(0.0, 5.0, (12, 12)).astype(np.float32)
        cases = [
            (["--range", "auto"], u, u.min(), u.max()),
            (["--range", "auto", "--species", "v"], v, v.min(), v.max()),
            (["--range", "0.5:1"], u, 0.5, 1.0),
            (["--species", "v"], v, 0.0, 3.0),  # the panel's vMax
        ]
        with tempfile.TemporaryDirectory() as d:
            for args, cells, lo, hi in cases:
                with self.subTest(args):
                    got = field_run(d, u, v, *args)
                    want = levels_of(cells, np.float32(lo), np.float32(hi))
                    np.testing.assert_array_equal(got[:, :, 0], want)
                    np.testing.assert_array_equal(got[:, :, 2], want)

    def test_zoom_repeats_every_cell(self):
        common = ["--init", "random", "--seed", "3", "--size", "20", "--steps", "40"]
        cases = [
            (["--dim", "2", "--image", "p.bmp", "--colormap", "magma"], ["p.bmp"]),
            (["--dim", "1", "--image", "p.bmp"], ["p-u.bmp", "p-v.bmp"]),
            (["--dim", "1", "--kymograph", "k.bmp", "--every", "4", "--range", "auto"],
             ["k.bmp"]),
            (["--dim", "1", "--kymograph", "k.bmp", "--every", "4", "--range", "0:2",
              "--colormap", "cividis"], ["k.bmp"]),
        ]
        with tempfile.TemporaryDirectory() as d:
            for args, files in cases:
                with self.subTest(args):
                    pictures = {}
                    for zoom in ["1", "3"]:
                        code, _, err = run(*common, *args, "--zoom", zoom, cwd=d)
                        self.assertEqual(code, 0, err)
                        pictures[zoom] = [read_bmp(os.path.join(d, f)) for f in files]
                    for one, three in zip(pictures["1"], pictures["3"]):
                        np.testing.assert_array_equal(three, one.repeat(3, 0).repeat(3, 1))

    def test_colour_bar_and_caption_leave_the_field_whole(self):
        rng = np.random.default_rng(1)
        u = rng.uniform(0.0, 2.0, (32, 32)).astype(np.float32)
        with tempfile.TemporaryDirectory() as d:
            field = field_run(d, u, u, "--colormap", "inferno", "--zoom", "2")
            for extra in [["--colorbar"], ["--annotate"], ["--colorbar", "--annotate"]]:
                with self.subTest(extra):
                    got = field_run(d, u, u, "--colormap", "inferno", "--zoom", "2", *extra)
                    self.assertGreater(got.shape[0] * got.shape[1], 64 * 64)
                    self.assertTrue(any(
                        np.array_equal(got[y:y + 64, x:x + 64], field)
                        for y in range(0, 24) for x in range(0, 24)), "field not found whole")
                    self.assertEqual(got.shape[1] > 64 + 24, "--colorbar" in extra)
                    self.assertEqual(got.shape[0] > 64 + 24, "--annotate" in extra)

    def test_plain_gray_is_the_default_picture_byte_for_byte(self):
        common = ["--init", "random", "--seed", "5", "--size", "24", "--steps", "30"]
        with tempfile.TemporaryDirectory() as d:
            for name, extra in [("a.png", []), ("b.png", ["--colormap", "gray", "--zoom", "1"])]:
                code, _, err = run(*common, "--image", name, *extra, cwd=d)
                self.assertEqual(code, 0, err)
            self.assertEqual(content(os.path.join(d, "a.png")), content(os.path.join(d, "b.png")))

    def test_refusals(self):
        cases = [
            (["--colormap", "jet", "--image", "p.png"],
             'rdsim-batch: --colormap "jet": unknown colour table '
             "(gray, viridis, magma, inferno or cividis)"),
            (["--range", "2:1", "--image", "p.png"], 'rdsim-batch: --range "2:1": LO must be below HI'),
            (["--range", "0:inf", "--image", "p.png"],
             'rdsim-batch: --range "0:inf": expected auto or LO:HI with two finite numbers'),
            (["--zoom", "0", "--image", "p.png"],
             'rdsim-batch: --zoom "0": not a whole number from 1 to 64'),
            (["--species", "w", "--image", "p.png"], 'rdsim-batch: --species "w": the species is u or v'),
            (["--dim", "1", "--species", "v", "--image", "p.png"],
             "rdsim-batch: --species: a 1D run's pictures show both species already"),
            (["--colorbar"], "rdsim-batch: --colorbar: styles the pictures; needs --image, --kymograph or --movie"),
        ]
        with tempfile.TemporaryDirectory() as d:
            for args, message in cases:
                with self.subTest(args):
                    code, out, err = run(*args, cwd=d)
                    self.assertEqual((code, err.strip()), (2, message))
                    self.assertEqual(os.listdir(d), [])


if __name__ == "__main__":
    batch_cli.main(unittest)
