#!/usr/bin/python3
"""rdsim-batch's seeded start and split sweeps: the seeded field cell for cell against a
model of its rule, the refusal of settings without a stable state, K parts (one job each)
merged into the very CSV of one run on two jobs, with the same fields, pictures and records,
and merges refused with the faulty part named.

Usage: shard_test.py PATH-TO-rdsim-batch
"""
import os
import shutil
import tempfile
import unittest

import numpy as np

import batch_cli
from batch_cli import content, ok, run


def mt19937_64(seed):
    """The 64-bit Mersenne Twister, as the standard library defines it."""
    n, m, mask = 312, 156, (1 << 64) - 1
    mt = [seed & mask]
    for i in range(1, n):
        mt.append((6364136223846793005 * (mt[i - 1] ^ (mt[i - 1] >> 62)) + i) & mask)
    idx = n
    while True:
        if idx >= n:
            for i in range(n):
                x = (mt[i] & 0xFFFFFFFF80000000) | (mt[(i + 1) % n] & 0x7FFFFFFF)
                mt[i] = mt[(i + m) % n] ^ (x >> 1) ^ (0xB5026F5AA96619E9 if x & 1 else 0)
            idx = 0
        y = mt[idx]
        idx += 1
        y ^= (y >> 29) & 0x5555555555555555
        y ^= (y << 17) & 0x71D67FFFEDA60000
        y ^= (y << 37) & 0xFFF7EEE000000000
        yield (y ^ (y >> 43)) & mask


def seeded(n, one_d, seed, rest, seed_state):
    """The seeded start: rest state, centred square of n // 6 (at least 1) cells set to the
    seed state, every value times 1 + (r - 0.5) / 50 in double, stored single."""
    draws = mt19937_64(seed)
    side = max(n // 6, 1)
    first = (n - side) // 2
    shape = (n,) if one_d else (n, n)
    u, v = np.zeros(shape, np.float32), np.zeros(shape, np.float32)
    for cell in np.ndindex(shape):
        inside = all(first <= i < first + side for i in cell)
        for field, value in zip((u, v), seed_state if inside else rest):
            r = (next(draws) >> 40) / 2.0 ** 24
            field[cell] = np.float32(value * ((r - 0.5) * 0.02 + 1.0))
    return u, v


def load(d, prefix):
    return [np.load(os.path.join(d, f"{prefix}-{s}.npy")) for s in "uv"]


class SeededStart(unittest.TestCase):
    def test_fields_are_the_rule_exactly(self):
        # Schnakenberg rests at u = kA + kB, v = kB / u^2 from the stored single kA and kB.
        ka, kb = float(np.float32(0.25)), float(np.float32(1.5))
        sch = (ka + kb, kb / ((ka + kb) * (ka + kb)))
        cases = [("gray-scott", [], "2", 24, 7, (0.0, 1.0), (0.25, 0.5)),
                 ("gray-scott", [], "1", 30, 12345, (0.0, 1.0), (0.25, 0.5)),
                 ("gray-scott", [], "2", 5, 1, (0.0, 1.0), (0.25, 0.5)),
                 ("schnakenberg", ["--set", "kA=0.25", "--set", "kB=1.5"], "2", 18, 4, sch,
                  (1.5 * sch[0], 0.5 * sch[1]))]
        for model, sets, dim, size, seed, rest, square in cases:
            with tempfile.TemporaryDirectory() as d, self.subTest(model=model, size=size):
                ok("--model", model, *sets, "--dim", dim, "--size", size,
                   "--init", "seeded", "--seed", seed, "--steps", 0,
                   "--save", "s", cwd=d, silent=True)
                want = seeded(size, dim == "1", seed, rest, square)
                for got, expected in zip(load(d, "s"), want):
                    np.testing.assert_array_equal(got, expected)

    def test_settings_without_a_stable_uniform_state_are_refused(self):
        batch_cli.refused(self, ["--model", "oregonator", "--init", "seeded", "--seed", 1,
                                 "--save", "s"],
                          'rdsim-batch: --init "seeded": the Oregonator model has no stable '
                          'uniform state at these settings (2 uniform states, none decaying at '
                          'the uniform mode; see rdsim-batch analyze)\n')


SWEEP = ["--model", "gray-scott", "--size", 16, "--init", "seeded", "--seed", 3, "--steps", 150,
         "--sweep", "kA=0.02:0.04:5", "--sweep", "kB=0.055:0.065:2", "--save", "out/gs",
         "--image", "out/gs.png", "--colormap", "viridis"]


class Shards(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.whole = tempfile.mkdtemp()
        os.mkdir(os.path.join(cls.whole, "out"))
        code, _, err = run(*SWEEP, "--jobs", 2, cwd=cls.whole)
        assert (code, err) == (0, ""), err

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.whole)

    def files(self, d):
        return {f: content(os.path.join(d, "out", f)) for f in os.listdir(os.path.join(d, "out"))}

    def split(self, d, k):
        os.mkdir(os.path.join(d, "out"))
        for i in range(1, k + 1):
            self.assertEqual(run(*SWEEP, "--shard", f"{i}/{k}", "--jobs", 1, "--quiet", cwd=d), (0, "", ""))

    def test_k_parts_merged_give_the_files_of_one_run_bit_for_bit(self):
        whole = self.files(self.whole)
        for k in (1, 3, 7):
            with tempfile.TemporaryDirectory() as d, self.subTest(k=k):
                self.split(d, k)
                self.assertEqual(run(*SWEEP, "--merge", cwd=d), (0, "", ""))
                merged = self.files(d)
                parts = {f"gs-sweep.part-{i}-of-{k}.json" for i in range(1, k + 1)}
                self.assertEqual(set(merged) - set(whole), parts)
                for name, data in whole.items():
                    self.assertEqual(merged[name], data, name)

    def test_a_faulty_set_of_parts_is_refused_naming_the_part_and_writes_no_csv(self):
        part = "out/gs-sweep.part-{}-of-3.json"
        cases = [
            ("missing", lambda d: os.remove(os.path.join(d, part.format(2))),
             f'a part is missing: "{part.format(2)}" was not found'),
            ("duplicated", lambda d: shutil.copy(os.path.join(d, part.format(1)),
                                                 os.path.join(d, part.format(3))),
             f'part "{part.format(3)}" duplicates "{part.format(1)}": both hold shard 1 of 3'),
        ]
        for what, spoil, message in cases:
            with tempfile.TemporaryDirectory() as d, self.subTest(what):
                self.split(d, 3)
                spoil(d)
                self.assertEqual(run(*SWEEP, "--merge", cwd=d),
                                 (2, "", f"rdsim-batch: --merge: {message}\n"))
                self.assertFalse(os.path.exists(os.path.join(d, "out", "gs-sweep.csv")))


if __name__ == "__main__":
    batch_cli.main(unittest)
