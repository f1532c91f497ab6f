#!/usr/bin/python3
"""rdsim-batch analyze on the largest grids: a want of memory said as such, a large table
announced with its size and written as it is made, in little memory, whole or not at all.

Usage: analyze_test.py PATH-TO-rdsim-batch
"""
import os
import re
import signal
import tempfile
import unittest

import batch_cli
from batch_cli import SANITIZED, ok, run


class LargeGrids(unittest.TestCase):
    @unittest.skipIf(SANITIZED, "no address-space limit under sanitizers")
    def test_too_little_memory_for_the_analysis_ends_with_exit_5_and_says_so(self):
        # 4096 x 4096 grid modes: their table alone is 134 MB.
        for args in (["--size", "4096"], ["--size", "4096", "--plot", "p.png"]):
            with self.subTest(args=args), tempfile.TemporaryDirectory() as d:
                self.assertEqual(run("analyze", *args, cwd=d, limit=200 << 20),
                                 (5, "", "rdsim-batch analyze: out of memory\n"))
                self.assertEqual(os.listdir(d), [])

    @unittest.skipIf(SANITIZED, "no address-space limit under sanitizers")
    def test_a_large_table_is_announced_and_written_as_it_is_made(self):
        # 1000 x 1000 modes: 70 MB of table, which held whole (twice) took over 150 MB.
        with tempfile.TemporaryDirectory() as d:
            status, out, err = run("analyze", "--size", "1000", "--csv", "t.csv", cwd=d,
                                   limit=150 << 20)
            self.assertEqual(status, 0, err)
            self.assertIn("Steady state 1 of 1", out)
            said = re.fullmatch(r'rdsim-batch analyze: --csv "t\.csv": 1000000 rows \(1 state '
                                r'x 1000 x 1000 grid modes\), about ([0-9.]+) MB\n', err)
            self.assertTrue(said, err)
            size = os.path.getsize(os.path.join(d, "t.csv"))
            self.assertLess(abs(float(said.group(1)) * 1e6 / size - 1), 0.02, size)
            with open(os.path.join(d, "t.csv"), "rb") as f:
                lines = f.read().split(b"\n")
            self.assertEqual(len(lines), 1 + 1000 * 1000 + 1)
            self.assertTrue(lines[-2].startswith(b"1,999,999,1412.7993488"), lines[-2])

    def test_a_small_table_is_written_without_a_word(self):
        with tempfile.TemporaryDirectory() as d:
            ok("analyze", "--size", "999", "--csv", "t.csv", cwd=d, silent=True)

    def test_outputs_are_checked_before_the_report(self):
        # A missing folder is output_test.py's (AnalyzeOutputs).
        batch_cli.refused(self, ["analyze", "--csv", "same.png", "--plot", "same.png"],
                          "is also the --csv file", anywhere=True)

    def test_an_interrupted_table_leaves_neither_itself_nor_a_temporary(self):
        with tempfile.TemporaryDirectory() as d:
            p = batch_cli.start("analyze", "--size", "4096", "--csv", "t.csv", cwd=d)
            code, err = batch_cli.interrupt_at_part(p, d, "t.csv")
            self.assertEqual(code, -signal.SIGINT)
            self.assertTrue(err.endswith("rdsim-batch analyze: interrupted; nothing was written\n"),
                            err)
            self.assertEqual(os.listdir(d), [])


if __name__ == "__main__":
    batch_cli.main(unittest)
