#!/usr/bin/python3
"""rdsim-batch seen from outside: exit statuses, messages, files NumPy reads and writes,
sweeps against single runs, frames and kymographs (the progress line is findings_test.py's).
Series of fields and ensembles over the seed are series_test.py's.

Usage: cli_test.py PATH-TO-rdsim-batch
"""
import json
import os
import tempfile
import unittest

import numpy as np

import batch_cli
from batch_cli import content, ok, pixels, run

def files_in(folder):
    return sorted(os.listdir(folder))


def grey_levels(u, u_max):
    """The window's grey mapping: round-half-even(single(u * single(255 / uMax))), clipped."""
    scale = np.float32(255.0 / np.float64(np.float32(u_max)))
    product = (u.astype(np.float32) * scale).astype(np.float32)
    return np.clip(np.rint(product), 0, 255).astype(np.uint8)


class Basics(unittest.TestCase):
    def test_bad_arguments_exit_2_with_one_line_and_write_nothing(self):
        cases = [
            (["--steps", "ten"], 'rdsim-batch: --steps "ten": not a whole number from 0 to 1000000'),
            (["--set", "kA=0.1x"], 'rdsim-batch: --set "kA=0.1x": constant production of u of '
                                   'Gierer-Meinhardt: "0.1x" is not a number.'),
            (["--sweep", "uMax=0:1:2"], 'rdsim-batch: --sweep uMax value "0": u range of '
                                        'Gierer-Meinhardt: "0" must not be 0.'),
            (["--load-u", "nothere.npy", "--load-v", "nothere.npy"],
             'rdsim-batch: --load-u "nothere.npy": No such file or directory'),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                batch_cli.refused(self, args + ["--save", "out", "--steps", "3"], message)

    def test_a_run_with_nothing_to_write_is_refused_as_the_other_commands_refuse_it(self):
        refused = ("rdsim-batch: nothing to write; give --save PREFIX, --image FILE, "
                   "--kymograph FILE, --movie FILE or --report\n")
        # the run's options, exit status, what it leaves in the folder
        cases = [([], 2, []),
                 (["--init", "random", "--seed", "1"], 2, []),
                 (["--report"], 0, []),
                 (["--sweep", "kA=0.1:0.2:2"], 0, ["sweep.csv"]),
                 (["--save", "x"], 0, ["x-u.npy", "x-v.npy", "x.json"])]
        for args, code, files in cases:
            with self.subTest(args=args), tempfile.TemporaryDirectory() as d:
                status, out, err = run("--size", "8", "--steps", "3", *args, cwd=d)
                self.assertEqual(status, code, err)
                self.assertEqual(err, refused if code == 2 else "")
                self.assertEqual(files_in(d), files)

    def test_h_is_help_for_every_command(self):
        # Each command's help, with what it must name.
        for command, names in (([], ["5 out of memory"]), (["analyze"], []),
                               (["atlas"], ["--init zero|random|seeded", "--until steady",
                                            "--threads N"]), (["replay"], [])):
            with self.subTest(command=command):
                long = run(*command, "--help")
                self.assertEqual((long[0], long[2]), (0, ""))
                for name in ["-h, --help"] + names:
                    self.assertIn(name, long[1])
                self.assertEqual(run(*command, "-h"), long)


class NumpyFiles(unittest.TestCase):
    def test_files_numpy_writes_go_through_a_zero_step_run_bit_for_bit(self):
        rng = np.random.default_rng(7)
        u = rng.random((16, 16), dtype=np.float32) * 3
        v = rng.random((16, 16), dtype=np.float32)
        u[0, 0], u[1, 1] = 0.0, np.float32(1e-45)
        with tempfile.TemporaryDirectory() as d:
            for version in ((1, 0), (2, 0), (3, 0)):
                for order in ("<f4", ">f4"):
                    with self.subTest(version=version, dtype=order):
                        for name, a in (("u", u), ("v", v)):
                            with open(os.path.join(d, name + ".npy"), "wb") as f:
                                np.lib.format.write_array(f, a.astype(order), version=version)
                        ok("--size", "16", "--load-u", "u.npy", "--load-v", "v.npy",
                           "--steps", "0", "--save", "out", cwd=d, silent=True)
                        self.assertEqual(np.load(os.path.join(d, "out-u.npy")).tobytes(), u.tobytes())
                        self.assertEqual(np.load(os.path.join(d, "out-v.npy")).tobytes(), v.tobytes())

    def test_doubles_are_rounded_to_nearest_single_in_either_order_and_give_the_size(self):
        rng = np.random.default_rng(5)
        # the dimension, u and v as NumPy holds them; the size comes from u
        cases = [("2", rng.random((12, 12)) * 3, np.asfortranarray(rng.random((12, 12)))),
                 ("2", np.asfortranarray(rng.random((9, 9), dtype=np.float32)),
                  rng.random((9, 9)).astype(">f8")),
                 ("1", rng.random(20), rng.random(20).astype(np.float32))]
        for dim, u, v in cases:
            with self.subTest(dim=dim, u=u.dtype.str, v=v.dtype.str), \
                    tempfile.TemporaryDirectory() as d:
                np.save(os.path.join(d, "u.npy"), u)
                np.save(os.path.join(d, "v.npy"), v)
                ok("--dim", dim, "--load-u", "u.npy", "--load-v", "v.npy",
                   "--steps", "0", "--save", "out", cwd=d, silent=True)
                for name, a in (("u", u), ("v", v)):
                    saved = np.load(os.path.join(d, "out-%s.npy" % name))
                    # NumPy's conversion rounds to nearest, ties to even.
                    self.assertEqual(saved.tobytes(), np.ascontiguousarray(a, np.float32).tobytes())
                with open(os.path.join(d, "out.json")) as f:
                    record = json.load(f)
                self.assertEqual(record["settings"]["size"], str(u.shape[0]))
                for name, a in (("u", u), ("v", v)):
                    entry = record["initial"][name]
                    self.assertEqual(entry.get("dtype"), a.dtype.str if a.itemsize == 8 else None)
                    self.assertEqual("rounded" in entry, a.itemsize == 8)
                ok("replay", "out.json", cwd=d)

    def test_refused_files_say_what_is_wrong(self):
        good = np.full((8, 8), 0.5, np.float32)

        def with_value(index, value, dtype=np.float32, order="C"):
            a = np.array(good, dtype, order=order)
            a.flat[index] = value  # an index in C order, whatever the array's
            return a
        # the case, u, --size given, the message
        cases = [
            ("int", good.astype(np.int32), True,
             "unsupported dtype '<i4' (float '<f4' or '<f8' is needed, or big-endian '>f4' "
             "or '>f8')"),
            ("half", good.astype(np.float16), True, "unsupported dtype '<f2'"),
            ("shape", np.full((8,), 0.5, np.float32), True,
             "shape (8,) does not match --size 8 --dim 2, which need (8, 8)"),
            ("line for a square", np.full((8,), 0.5, np.float32), False,
             "shape (8,) is not a square (N, N), which --dim 2 needs"),
            ("oblong", np.full((8, 6), 0.5, np.float32), False,
             "shape (8, 6) is not a square (N, N), which --dim 2 needs"),
            ("negative", with_value(19, -0.25), True, "element 19 is negative (-0.25)"),
            ("nan", with_value(63, np.nan), True, "element 63 is NaN"),
            ("inf", with_value(1, np.inf), True, "element 1 is infinite"),
            ("negative double", with_value(10, -1e-300, np.float64, "F"), False,
             "element 10 is negative (-1e-300)"),
            ("huge double", with_value(9, 3.5e38, np.float64), False,
             "element 9 is 3.5e+38, beyond single precision"),
        ]
        with tempfile.TemporaryDirectory() as d:
            np.save(os.path.join(d, "v.npy"), good)
            for label, array, sized, message in cases:
                with self.subTest(label):
                    np.save(os.path.join(d, "u.npy"), array)
                    code, _, err = run(*(["--size", "8"] if sized else []), "--load-u", "u.npy",
                                       "--load-v", "v.npy", "--save", "out", cwd=d)
                    self.assertEqual(code, 2)
                    self.assertTrue(err.startswith('rdsim-batch: --load-u "u.npy": ' + message), err)
                    self.assertEqual(files_in(d), ["u.npy", "v.npy"])
            # Without --size, v must have u's shape.
            np.save(os.path.join(d, "u.npy"), np.full((6, 6), 0.5))
            self.assertEqual(run("--load-u", "u.npy", "--load-v", "v.npy", "--save", "out", cwd=d),
                             (2, "", 'rdsim-batch: --load-v "v.npy": shape (8, 8) does not match '
                                     'the shape (6, 6) of --load-u\n'))


class Failures(unittest.TestCase):
    def test_an_unwritable_output_exits_4_naming_the_file_and_the_reason(self):
        with tempfile.TemporaryDirectory() as d:
            batch_cli.write(os.path.join(d, "plain"), "")
            os.mkdir(os.path.join(d, "taken.png"))
            for option, target, file, reason in (
                    ("--save", "missing/out", "missing/out-u.npy", 'the folder "missing" does not '
                     'exist'),
                    ("--save", "plain/out", "plain/out-u.npy", '"plain" is not a folder'),
                    ("--image", "taken.png", "taken.png", "Is a directory")):
                self.assertEqual(run("--size", "8", "--steps", "2", option, target, cwd=d)[::2],
                                 (4, 'rdsim-batch: cannot write "%s": %s\n' % (file, reason)))
            self.assertEqual(files_in(d), ["plain", "taken.png"])


class Pictures(unittest.TestCase):
    def test_frames_and_kymograph_rows_are_the_states_every_k_steps(self):
        # settings, steps, every, the pictures, picture k's grey levels, uMax
        cases = [(("--size", "20", "--init", "random", "--seed", "3"), 25, 10,
                  ("--image", "fr-%03d.bmp"), lambda d, k: pixels(os.path.join(d, "fr-%03d.bmp" % k))[:, :, 0], 3),
                 (("--dim", "1", "--size", "30", "--init", "random", "--seed", "8", "--set", "uMax=2.5"),
                  40, 8, ("--kymograph", "k.bmp"), lambda d, k: pixels(os.path.join(d, "k.bmp"))[k, :, 1], 2.5)]
        for args, steps, every, pictures, picture, u_max in cases:
            with self.subTest(pictures), tempfile.TemporaryDirectory() as d:
                ok(*args, "--steps", steps, "--every", every, *pictures, cwd=d, silent=True)
                frames = steps // every + 1
                self.assertEqual(len(files_in(d)), (frames if pictures[0] == "--image" else 1) + 1)
                for k in range(frames):
                    ok(*args, "--steps", every * k, "--save", "r", cwd=d)
                    u = np.load(os.path.join(d, "r-u.npy"))
                    self.assertTrue(np.array_equal(picture(d, k), grey_levels(u, u_max)), k)
                self.assertRaises((IndexError, FileNotFoundError), picture, d, frames)  # no more


class Sweeps(unittest.TestCase):
    ARGS = ("--size", "24", "--init", "random", "--seed", "11", "--steps", "60")

    # The same files for any --jobs and --shard are shard_test.py's.
    def test_rows_match_single_runs(self):
        with tempfile.TemporaryDirectory() as d:
            one = os.path.join(d, "1")
            os.mkdir(one)
            s = os.path.join(one, "s")
            code, _, _ = run(*self.ARGS, "--sweep", "kA=0.08:0.12:3", "--sweep",
                             "scale=0.01:3e36:2", "--jobs", "2", "--save", s, "--image", s + ".png")
            self.assertEqual(code, 3)  # the overflowing combinations are reported
            rows = content(os.path.join(one, "s-sweep.csv")).decode().splitlines()
            self.assertEqual(len(rows), 7)
            for run_no, row in enumerate(rows[1:], 1):
                line = row.rsplit(",", 5)[0]  # the findings columns are OptionsTest.cpp's
                _, ka, scale, status, iteration = line.split(",", 5)[:5]
                single = os.path.join(d, "single")
                code, _, err = run(*self.ARGS, "--set", "kA=" + ka, "--set", "scale=" + scale,
                                   "--save", single, "--image", single + ".png")
                tag = os.path.join(one, "s-kA=%s-scale=%s" % (ka, scale))
                if scale == "0.01":
                    files = [tag + "-u.npy", tag + "-v.npy", tag + ".png", tag + ".json"]
                    self.assertEqual((line, code), ("%d,%s,%s,ok,,,%s" % (run_no, ka, scale, ";".join(files)), 0))
                    # The pictures' records name their own run's files; the pixels are equal.
                    for mine, theirs in zip(files, [single + "-u.npy", single + "-v.npy"]):
                        self.assertEqual(content(mine), content(theirs))
                    np.testing.assert_array_equal(pixels(files[2]), pixels(single + ".png"))
                else:
                    message = line.split(',"', 1)[1][:-2]
                    self.assertEqual((status, code, err), ("arithmetic error", 3, "rdsim-batch: " + message + "\n"))
                    self.assertTrue(message.startswith("iteration %s: Overflow" % iteration), message)
                    self.assertFalse(os.path.exists(tag + "-u.npy"))


if __name__ == "__main__":
    batch_cli.main(unittest)
