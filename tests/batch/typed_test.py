#!/usr/bin/python3
"""Typed models and the scheme's constants from the command line: the restated model files
give the built-ins' fields byte for byte, a model by name, by file and typed on the command
line are one model, records replay without the model file, mistakes are named by their
option, and dt and dx reach the record and the analysis.

Usage: typed_test.py PATH-TO-rdsim-batch
"""
import json
import os
import shutil
import struct
import tempfile
import unittest

import numpy as np

import batch_cli
from batch_cli import content, ok, pixels, read, run, write

MODELS = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                       "models"))
BRUSSELATOR = ["--rate-u", "a - (b + 1)*u + u^2*v", "--rate-v", "b*u - u^2*v",
               "--param", "a=4.5", "--param", "b=7.5", "--set", "Du=2", "--set", "Dv=16",
               "--set", "scale=0.005", "--set", "uMax=9", "--set", "vMax=4"]
START = ["--init", "random", "--seed", "7"]


def model(name):
    return os.path.join(MODELS, name)


def f32_bits(x):
    return struct.unpack("<I", struct.pack("<f", x))[0]


class Typed(unittest.TestCase):
    def test_restated_model_files_give_the_built_in_fields_byte_for_byte(self):
        # Gray-Scott from seeded squares (a random start dies out), Schnakenberg from Random.
        squares = ["--load-u", "u%s.npy", "--load-v", "v%s.npy"]
        # Pulses in a line live at a lower feed and removal than spots in a square.
        cases = [("schnakenberg.toml", ["--model", "schnakenberg"], START, {}),
                 ("gray-scott.toml", ["--model", "gray-scott", "--set", "uMax=0.4"], squares,
                  {"1": ("0.025", "0.055"), "2": ("0.035", "0.065")})]
        with tempfile.TemporaryDirectory() as d:
            for dim in (1, 2):
                u = np.zeros((40,) * dim, np.float32)
                v = np.ones((40,) * dim, np.float32)
                for at in ((5, 9), (20, 25), (31, 12))[:3 if dim == 2 else 2]:
                    where = tuple(slice(a, a + 4) for a in at[:dim])
                    u[where], v[where] = 0.5, 0.25
                np.save(os.path.join(d, "u%d.npy" % dim), u)
                np.save(os.path.join(d, "v%d.npy" % dim), v)
            for file, builtin, start, values in cases:
                for dim, threads in (("1", "1"), ("2", "1"), ("2", "3")):
                    common = [a.replace("%s", dim) for a in start] + [
                        "--dim", dim, "--size", "40", "--steps", "3000", "--threads", threads]
                    feed = ["--set", "kA=%s" % values[dim][0], "--set",
                            "kB=%s" % values[dim][1]] if values else []
                    ok(*builtin, *feed, *common, "--save", "a", "--image", "a.png", cwd=d)
                    feed = [a.replace("kA", "F").replace("kB", "k") for a in feed]
                    ok("--model-file", model(file), *feed, *common, "--save", "b", "--image",
                       "b.png", cwd=d)
                    for suffix in ("-u.npy", "-v.npy"):
                        self.assertEqual(content(os.path.join(d, "a" + suffix)),
                                         content(os.path.join(d, "b" + suffix)),
                                         (file, dim, threads, suffix))
                    picture = "a.png" if dim == "2" else "a-u.png"
                    self.assertTrue(np.array_equal(pixels(os.path.join(d, picture)),
                                                   pixels(os.path.join(d, "b" + picture[1:]))))
                    self.assertGreater(np.load(os.path.join(d, "a-u.npy")).std(), 1e-3)

    def test_a_model_by_name_by_file_and_on_the_command_line_is_one_model(self):
        with tempfile.TemporaryDirectory() as d:
            run_ = START + ["--size", "32", "--steps", "1500"]
            ok("--model", "brusselator", *run_, "--save", "name", cwd=d)
            ok("--model-file", model("brusselator.toml"), *run_, "--save", "file", cwd=d)
            ok(*BRUSSELATOR, *run_, "--save", "typed", cwd=d)
            # A folder of one's own models, by the environment variable.
            mine = os.path.join(d, "mine")
            os.mkdir(mine)
            shutil.copy(model("brusselator.toml"), os.path.join(mine, "my-model.toml"))
            env = dict(os.environ, RDSIM_MODELS=mine)
            ok("--model", "my-model", *run_, "--save", "env", cwd=d, env=env)
            for prefix in ("file", "typed", "env"):
                self.assertEqual(content(os.path.join(d, "name-u.npy")),
                                 content(os.path.join(d, prefix + "-u.npy")), prefix)
            record = json.loads(read(os.path.join(d, "typed.json")))
            self.assertEqual(record["settings"]["model"],
                             {"name": "custom", "rate-u": "a - (b + 1)*u + u^2*v",
                              "rate-v": "b*u - u^2*v", "clamp": True,
                              "parameters": [{"name": "a", "default": "4.5"},
                                             {"name": "b", "default": "7.5"}]})
            code, _, err = run("--model", "my-model", "--save", "x", cwd=d,
                               env=dict(os.environ, RDSIM_MODELS=d))
            self.assertEqual(code, 2)
            self.assertIn('--model "my-model": unknown model (the built-in gm, schnakenberg, '
                          'gray-scott or oregonator; no shipped models in', err)

    def test_records_replay_without_the_model_file_and_whatever_it_became(self):
        with tempfile.TemporaryDirectory() as d:
            mine = os.path.join(d, "b.toml")
            shutil.copy(model("brusselator.toml"), mine)
            ok("--model-file", mine, *START, "--size", "24", "--steps", "800", "--save", "r",
               "--image", "r.png", cwd=d)
            write(mine, read(mine).replace("b = 7.5", "b = 9"))
            ok("--model-file", mine, *START, "--size", "24", "--steps", "800", "--save", "s",
               cwd=d)
            self.assertNotEqual(content(os.path.join(d, "r-u.npy")),
                                content(os.path.join(d, "s-u.npy")))
            os.remove(mine)
            for record in ("r.json", "r.png"):
                self.assertIn("reproduced bit for bit: 800 steps", ok("replay", record, cwd=d))

    def test_mistakes_are_named_by_their_option(self):
        typed = ["--rate-u", "a - u", "--rate-v", "v", "--param", "a=1"]
        cases = [
            (["--rate-u", "a - (b + 1)*u + u^2*w", "--rate-v", "b*u - u^2*v", "--param", "a=1",
              "--param", "b=2"],
             '--rate-u "a - (b + 1)*u + u^2*w": column 21: unknown name "w"; the names are u, '
             'v, a, b and the functions sqrt, exp, log, abs, min, max, tanh'),
            (["--rate-u", "u*(v + ", "--rate-v", "v"], '--rate-u "u*(v + ": column 8: '),
            (["--rate-u", "u", "--rate-v", "-v^2.5"], '--rate-v "-v^2.5": column 4: expected a '
             'whole-number exponent'),
            (typed + ["--param", "u=1"], "--param \"u=1\": u and v are the model's variables"),
            (typed + ["--param", "Du=1"], '--param "Du=1": Du is a setting of every model'),
            (typed + ["--param", "dt=1"], '--param "dt=1": dt is a setting of every model'),
            (typed + ["--param", "seed=1"], '--param "seed=1": seed is a setting of every model'),
            (typed + ["--param", "exp=1"], '--param "exp=1": exp is a function of the language'),
            (typed + ["--param", "b=x"], '--param "b=x": "x" is not a number'),
            (typed + ["--param", "a=2"], '--param "a=2": the parameter a is given more than once'),
            (["--rate-u", "u"], '--rate-u "u": a typed model needs both rates'),
            (["--param", "a=1"], '--param "a=1": belongs to a model typed with --rate-u'),
            (["--no-clamp"], "--no-clamp: belongs to a model typed with --rate-u"),
            (["--model", "gm", "--model-file", model("thomas.toml")],
             "cannot be combined with --model"),
            (["--model", "nope"], '--model "nope": unknown model (the built-in gm, '
             'schnakenberg, gray-scott or oregonator, or a shipped model: '
             'barrio-varea-aragon-maini, brusselator, fitzhugh-nagumo, lengyel-epstein, '
             'thomas; see rdsim-batch models)'),
            (["--model", "../models/thomas"], "unknown model"),
            (["--model", "brusselator", "--set", "kA=1"],
             '--set "kA=1": unknown setting "kA" (uMax, vMax, scale, Du, Dv, a, b, dt or dx)'),
            (["--model", "brusselator", "--set", "b=x"],
             '--set "b=x": parameter b of Brusselator: "x" is not a number.'),
            (["--model", "brusselator", "--set", "b=30", "--init", "seeded", "--seed", "1"],
             '--init "seeded": the Brusselator model has no stable uniform state at these '
             'settings'),
            (["atlas", "--model", "thomas", "--x", "dt=1:2:2", "--y", "b=1:2:2", "--csv",
              "a.csv", "--simulate", "--steps", "1"],
             '--x "dt=1:2:2": the time step and the cell size change every coefficient'),
        ]
        with tempfile.TemporaryDirectory() as d:
            bad = os.path.join(d, "bad.toml")
            write(bad, 'name = "Bad"\nrate-u = "a*u"\nrate-v = "v*"\nclamp = true\n'
                  '[parameters]\na = 1\n')
            cases.append((["--model-file", bad], 'bad.toml:3: rate of v, column 3: the '
                          'expression ends where'))
            for args, message in cases:
                if args[0] not in ("analyze", "atlas"):
                    args = args + ["--save", "x"]
                with self.subTest(args):
                    batch_cli.refused(self, args, message, anywhere=True, cwd=d,
                                      left=["bad.toml"])

    def test_sweeps_shards_and_maps_run_over_a_typed_models_parameters(self):
        with tempfile.TemporaryDirectory() as d:
            sweep = ["--model", "lengyel-epstein", *START, "--size", "24", "--steps", "600",
                     "--sweep", "b=3:5:3", "--sweep", "Dv=20:28:2", "--save", "sw"]
            ok(*sweep, "--until", "steady", cwd=d)
            whole = read(os.path.join(d, "sw-sweep.csv"))
            rows = whole.splitlines()
            self.assertEqual(rows[0], "run,b,Dv,status,iteration,message,files,state,steps,"
                                      "predicted_wavelength,measured_wavelength,contrast")
            self.assertEqual(len(rows), 7)
            for row in rows[1:]:
                fields = row.split(",")
                self.assertEqual(fields[3], "ok")
                self.assertTrue(fields[9] == "" or float(fields[9]) > 2, row)
                self.assertNotEqual(fields[10], "")
            for k in ("1/2", "2/2"):
                ok(*sweep, "--until", "steady", "--shard", k, cwd=d)
            os.remove(os.path.join(d, "sw-sweep.csv"))
            ok(*sweep, "--until", "steady", "--merge", cwd=d)
            self.assertEqual(read(os.path.join(d, "sw-sweep.csv")), whole)
            # A part written with another model file is refused at the merge.
            other = os.path.join(d, "le.toml")
            shutil.copy(model("lengyel-epstein.toml"), other)
            swept = ["--model-file", other] + sweep[2:]
            ok(*swept, "--shard", "1/2", cwd=d)
            write(other, read(other).replace("b = 4", "b = 4.5"))
            ok(*swept, "--shard", "2/2", cwd=d)
            code, _, err = run(*swept, "--merge", cwd=d)
            self.assertEqual(code, 2, err)
            plane = ["atlas", "--model", "brusselator", "--size", "16", "--x", "a=4:5:2", "--y",
                     "b=7:8:2"]
            ok(*plane, "--simulate", "--steps", "300", *START, "--csv", "m.csv", "--image",
               "m.png", cwd=d)
            rows = read(os.path.join(d, "m.csv")).splitlines()
            self.assertEqual(len(rows), 5)
            # The simulated map's prediction is the analytic map's, point by point.
            ok(*plane, "--csv", "a.csv", cwd=d)
            analytic = read(os.path.join(d, "a.csv")).splitlines()
            column = analytic[0].split(",").index("class")
            self.assertEqual([r.split(",")[8] for r in rows[1:]],
                             [r.split(",")[column] for r in analytic[1:]])

    def test_a_typed_model_is_analysed_as_its_closed_forms_say(self):
        # The Brusselator rests at (a, b/a); with Du/Dv = 1/8 it is Turing-unstable beyond
        # b_c = (1 + a sqrt(Du/Dv))^2: 6.71 for a = 4.5, 5.83 for a = 4 and 7.66 for a = 5.
        with tempfile.TemporaryDirectory() as d:
            out = ok("analyze", "--model", "brusselator", cwd=d)
            self.assertTrue(out.startswith("Brusselator, 2D, 128 x 128 cells:"), out)
            for line in ("Uniform states searched for where 0 <= u <= 9 and 0 <= v <= 4\n",
                         "Steady state 1 of 1: u = 4.5, v = 1.66666667\n",
                         "  Jacobian of the rates: [[6.5, 20.25], [-7.5, -20.25]]\n",
                         "  Class: Turing-unstable"):
                self.assertIn(line, out)
            below = ok("analyze", "--model", "brusselator", "--set", "b=6", cwd=d)
            self.assertIn("  Class: stable", below)
            report = ok("--model", "brusselator", "--size", "64", *START, "--steps", "3000",
                        "--report", cwd=d)
            self.assertIn("Predicted wavelength: ", report)
            self.assertNotIn("Predicted wavelength: none", report)
            ok("atlas", "--model", "brusselator", "--size", "64", "--x", "a=4:5:2", "--y",
               "b=4.5:9.5:2", "--csv", "t.csv", "--image", "t.png", cwd=d)
            table = read(os.path.join(d, "t.csv")).splitlines()
            column = table[0].split(",").index("class")
            self.assertEqual([r.split(",")[column] for r in table[1:]],
                             ["stable", "stable", "turing", "turing"])
            self.assertGreater(os.path.getsize(os.path.join(d, "t.png")), 1000)

    def test_models_lists_the_shipped_files(self):
        out = ok("models", cwd=MODELS)
        for name in ("barrio-varea-aragon-maini", "brusselator", "fitzhugh-nagumo", "gray-scott",
                     "lengyel-epstein", "schnakenberg", "thomas"):
            self.assertIn("\n%s: " % name, out)
        for line in ("  parameters: a = 4.5, b = 7.5\n", "  f(u, v) = a - (b + 1)*u + u^2*v\n",
                     "  | Brusselator: I. Prigogine and R. Lefever",
                     "fitzhugh-nagumo: FitzHugh-Nagumo (not clamped",
                     "restates the built-in model, which --model schnakenberg chooses"):
            self.assertIn(line, out)
        with tempfile.TemporaryDirectory() as d:
            code, _, err = run("models", env=dict(os.environ, RDSIM_MODELS=d))
            self.assertEqual(code, 2)
            self.assertIn("no model files in", err)

    def test_unclamped_fields_go_negative_load_and_replay(self):
        with tempfile.TemporaryDirectory() as d:
            ok("--model", "fitzhugh-nagumo", *START, "--size", "24", "--steps", "3000", "--save",
               "f", cwd=d)
            u = np.load(os.path.join(d, "f-u.npy"))
            self.assertLess(u.min(), 0)
            self.assertIn("reproduced bit for bit", ok("replay", "f.json", cwd=d))
            ok("--model", "fitzhugh-nagumo", "--load-u", "f-u.npy", "--load-v", "f-v.npy",
               "--steps", "10", "--save", "g", cwd=d)
            code, _, err = run("--model", "brusselator", "--load-u", "f-u.npy", "--load-v",
                               "f-v.npy", "--save", "h", cwd=d)
            self.assertEqual(code, 2)
            self.assertIn("is negative", err)

    def test_dt_and_dx_derive_the_coefficients_and_reach_the_record_and_analysis(self):
        with tempfile.TemporaryDirectory() as d:
            ok("--set", "dt=0.5", "--set", "dx=0.02", *START, "--size", "16", "--steps", "20",
               "--save", "s", cwd=d)
            c = json.loads(read(os.path.join(d, "s.json")))["settings"]
            self.assertEqual((c["boxes"]["dt"], c["boxes"]["dx"]), ("0.5", "0.02"))
            # Du 1: 1e-6 * 0.5 / dx / dx in double from the single dx, then rounded once.
            dx = struct.unpack("<f", struct.pack("<f", 0.02))[0]
            self.assertEqual(f32_bits(c["coefficients"]["cu"]), f32_bits(1e-6 * 0.5 / dx / dx))
            self.assertEqual(f32_bits(c["coefficients"]["reactGain"]), f32_bits(0.01 * 0.5))
            self.assertIn("reproduced bit for bit", ok("replay", "s.json", cwd=d))
            ok(*START, "--size", "16", "--steps", "20", "--save", "plain", cwd=d)
            boxes = json.loads(read(os.path.join(d, "plain.json")))["settings"]["boxes"]
            self.assertEqual(sorted(boxes), ["Du", "Dv", "kA", "kB", "kC", "scale", "uMax",
                                             "vMax"])
            out = ok("analyze", "--set", "dt=0.5", cwd=d)
            self.assertIn("cu = 0.00500000035", out)
            self.assertIn("Class: Turing-unstable", out)
            for setting in ("dt=40", "dx=0.002"):
                self.assertIn("Class: numerically unstable", ok("analyze", "--set", setting, cwd=d))
            ok(*START, "--size", "16", "--steps", "20", "--sweep", "dt=0.5:1:2", "--save", "w",
               cwd=d)
            self.assertEqual(content(os.path.join(d, "w-dt=1-u.npy")),
                             content(os.path.join(d, "plain-u.npy")))


if __name__ == "__main__":
    batch_cli.main(unittest)
