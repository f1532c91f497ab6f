#!/usr/bin/python3
"""rdsim-batch's outputs under stress: full disks, signals, want of memory, huge inputs,
colliding names, permissions, links and standard output that cannot be written.

Usage: output_test.py PATH-TO-rdsim-batch
"""
import fcntl
import hashlib
import json
import os
import signal
import subprocess
import tempfile
import time
import unittest

import numpy as np

import batch_cli
from batch_cli import SANITIZED, content, start, wait_until


def run(*args, **kwargs):
    """(exit status, stderr): these tests never read standard output."""
    code, _, err = batch_cli.run(*args, **kwargs)
    return code, err


class FullDisk(unittest.TestCase):
    def test_a_pair_that_does_not_fit_leaves_the_earlier_pair_whole(self):
        with tempfile.TemporaryDirectory() as d, batch_cli.tmpfs(self, d, "100k"):
            batch_cli.ok("--size", "8", "--steps", "3", "--save", "pair", cwd=d)
            before = {n: content(os.path.join(d, n)) for n in os.listdir(d)}
            code, err = run("--size", "128", "--init", "random", "--seed", "1", "--steps", "3",
                            "--save", "pair", cwd=d)
            self.assertEqual((code, err), (4, 'rdsim-batch: cannot write "pair-v.npy": '
                                              'No space left on device\n'))
            self.assertEqual({n: content(os.path.join(d, n)) for n in os.listdir(d)}, before)


class Signals(unittest.TestCase):
    FRAMES = ("--size", "64", "--init", "random", "--seed", "1", "--every", "1",
              "--image", "fr-%06d.bmp")

    def test_a_signal_removes_temporaries_keeps_frames_and_ends_the_process_by_it(self):
        for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            with self.subTest(sig.name), tempfile.TemporaryDirectory() as d:
                p = start(*self.FRAMES, "--steps", "1000000", cwd=d)
                wait_until(p, lambda: os.path.exists(os.path.join(d, "fr-000002.bmp")))
                p.send_signal(sig)
                err = p.communicate()[1]
                self.assertEqual(p.returncode, -sig)
                names = sorted(os.listdir(d))
                self.assertEqual(names, ["fr-%06d.bmp" % k for k in range(len(names))])
                last = len(names) - 1
                self.assertEqual(err, "rdsim-batch: interrupted after iteration %d; frames 0 to %d "
                                      "were written (fr-000000.bmp to fr-%06d.bmp)\n"
                                 % (last, last, last))

    def test_an_interrupted_sweep_writes_its_csv(self):
        with tempfile.TemporaryDirectory() as d:
            p = start("--size", "32", "--steps", "1000000", "--jobs", "1", "--sweep",
                      "kA=0.05:0.1:3", "--every", "1", "--image", "s-%d.png", cwd=d)
            wait_until(p, lambda: os.path.exists(os.path.join(d, "s-1-kA=0.05.png")))
            p.send_signal(signal.SIGTERM)
            err = p.communicate()[1]
            self.assertEqual(p.returncode, -signal.SIGTERM)
            self.assertEqual(err, 'rdsim-batch: interrupted; 0 of 3 runs finished, the rest are '
                                  'marked "interrupted" in s-sweep.csv\n')
            self.assertNotIn(".part-", "".join(os.listdir(d)))
            rows = content(os.path.join(d, "s-sweep.csv")).decode().splitlines()
            self.assertRegex(rows[1], r'^1,0.05,interrupted,,interrupted after iteration (\d+); '
                                      r'frames 0 to \1 were written \(s-0-kA=0.05.png to ')
            self.assertEqual(rows[2:], ["2,0.075,interrupted,,interrupted before the run started,,,,,,",
                                        "3,0.1,interrupted,,interrupted before the run started,,,,,,"])


class Limits(unittest.TestCase):
    @unittest.skipIf(SANITIZED, "an address-space limit leaves a sanitizer no shadow memory")
    def test_a_want_of_memory_exits_5(self):
        with tempfile.TemporaryDirectory() as d:
            code, err = run("--dim", "1", "--size", "129", "--steps", "65535", "--kymograph",
                            "k.png", "--init", "random", "--seed", "1", cwd=d,
                            limit=110000 * 1024)
            # The rows fit; their picture, after the run, does not, and there is nothing else
            # to write (not even the record, which would describe nothing).
            self.assertEqual(code, 5, err)
            self.assertEqual(err, 'rdsim-batch: --kymograph "k.png": out of memory while it was '
                                  'made; nothing else was to be written\n')
            self.assertEqual(os.listdir(d), [])  # --help names exit 5: cli_test.py's

    def test_a_field_file_larger_endless_or_a_fifo_is_refused_before_it_is_read(self):
        with tempfile.TemporaryDirectory() as d:
            np.save(os.path.join(d, "v.npy"), np.zeros((8, 8), np.float32))
            with open(os.path.join(d, "big.npy"), "wb") as f:
                f.write(content(os.path.join(d, "v.npy")))
                f.truncate(1 << 30)
            os.mkfifo(os.path.join(d, "fifo.npy"))  # opening it must not wait for a writer
            # With less memory than the file, reading it whole would fail.
            for name, why in (("big.npy", "1073741440 bytes after the data of shape (8, 8)"),
                              ("/dev/zero", "a device, not a regular file"),
                              ("fifo.npy", "a FIFO, not a regular file")):
                with self.subTest(name):
                    code, err = run("--size", "8", "--load-u", name, "--load-v", "v.npy", "--save",
                                    "x", cwd=d, limit=None if SANITIZED else 512 << 20)
                    self.assertEqual((code, err),
                                     (2, 'rdsim-batch: --load-u "%s": %s\n' % (name, why)))


class Names(unittest.TestCase):
    def test_refused_before_the_run_with_nothing_written(self):
        long_name = "n" * 300
        for args, code, message in (
                (("--dim", "1", "--image", "k.png", "--kymograph", "k-u.png"), 2,
                 '--kymograph "k-u.png": names the same file as --image "k.png"'),
                (("--dim", "1", "--image", "f-%d.png", "--every", "2", "--kymograph", "./f-3-v.png"),
                 2, '--image "f-%d.png": names the same file as --kymograph "./f-3-v.png"'),
                (("--save", "a", "--size", "8", "--save", "b"), 2,
                 '--save "b": this option is given more than once'),
                (("--save", "a%b"), 2,
                 '--save "a%b": a % must start %d, %0Nd or %% (for example frame-%05d.png)'),
                (("--image", "short.png", "--save", long_name), 4,
                 'cannot write "%s-u.npy": File name too long' % long_name)):
            with self.subTest(args):
                batch_cli.refused(self, args, "rdsim-batch: %s\n" % message, code)

    def test_an_arithmetic_error_names_the_frames_written(self):
        with tempfile.TemporaryDirectory() as d:
            code, err = run("--size", "32", "--init", "random", "--seed", "2", "--set", "scale=1e37",
                            "--steps", "100", "--every", "1", "--image", "f-%02d.png", cwd=d)
            self.assertEqual(code, 3)
            names = sorted(os.listdir(d))
            self.assertRegex(err, r"^rdsim-batch: iteration %d: Overflow: .*; frames 0 to %d were "
                             r"written \(f-00.png to %s\), showing the run up to the error\n$"
                             % (len(names), len(names) - 1, names[-1]))
            self.assertEqual(names, ["f-%02d.png" % k for k in range(len(names))])


class Permissions(unittest.TestCase):
    def test_a_protected_file_is_kept_and_a_link_is_written_through(self):
        with tempfile.TemporaryDirectory() as d:
            os.mkdir(os.path.join(d, "real"))
            with open(os.path.join(d, "real", "x-u.npy"), "wb") as f:
                f.write(b"old")
            os.symlink("real/x-u.npy", os.path.join(d, "x-u.npy"))
            self.assertEqual(run("--size", "4", "--steps", "1", "--save", "x", cwd=d), (0, ""))
            self.assertTrue(os.path.islink(os.path.join(d, "x-u.npy")))
            self.assertEqual(np.load(os.path.join(d, "real", "x-u.npy")).shape, (4, 4))
            os.chmod(os.path.join(d, "real", "x-u.npy"), 0o444)
            kept = content(os.path.join(d, "real", "x-u.npy"))
            self.assertEqual(run("--size", "5", "--steps", "1", "--save", "x", cwd=d),
                             (4, 'rdsim-batch: cannot write "x-u.npy": Permission denied\n'))
            self.assertEqual(content(os.path.join(d, "real", "x-u.npy")), kept)
            self.assertEqual(np.load(os.path.join(d, "x-v.npy")).shape, (4, 4))

    def test_help_fails_when_standard_output_cannot_be_written(self):
        with open("/dev/full", "w") as full:
            p = subprocess.run([batch_cli.EXE, "--help"], stdout=full, stderr=subprocess.PIPE, text=True)
        self.assertEqual((p.returncode, p.stderr),
                         (4, "rdsim-batch: standard output: No space left on device\n"))


class AnalyzeOutputs(unittest.TestCase):
    def test_an_output_that_cannot_be_written_is_refused_before_the_report(self):
        def refused(folder, why):
            for option, name in (("--csv", "d.csv"), ("--plot", "d.png")):
                target = folder + "/" + name
                self.assertEqual(batch_cli.run("analyze", option, target, cwd=d), (
                    4, "", 'rdsim-batch analyze: cannot write "%s": %s\n' % (target, why)))
        with tempfile.TemporaryDirectory() as d:
            refused("missing", 'the folder "missing" does not exist')
            os.mkdir(os.path.join(d, "ro"))
            with batch_cli.tmpfs(self, os.path.join(d, "ro"), "16k", "ro,"):
                refused("ro", 'the folder "ro" takes no new files (Read-only file system)')


class TwoWriters(unittest.TestCase):
    """Two processes writing the same outputs: each set is renamed into place under an
    advisory lock on its folder, so the files left are always one run's."""

    RUN = ("--size", "16", "--steps", "5", "--init", "random", "--save", "c", "--image", "c.png")
    NAMES = ["c-u.npy", "c-v.npy", "c.json", "c.png"]

    def test_a_set_waits_for_the_lock_of_its_folder(self):
        with tempfile.TemporaryDirectory() as d:
            folder = os.open(d, os.O_RDONLY)
            try:
                fcntl.flock(folder, fcntl.LOCK_EX)
                p = start(*self.RUN, "--seed", "1", cwd=d)
                # Every temporary written: the set is ready for its renames.
                wait_until(p, lambda: len([n for n in os.listdir(d) if ".part-" in n])
                           >= len(self.NAMES))
                time.sleep(0.5)
                self.assertIsNone(p.poll())
                self.assertEqual([n for n in os.listdir(d) if ".part-" not in n], [])
            finally:
                os.close(folder)
            self.assertEqual((p.wait(timeout=60), p.stderr.read()), (0, ""))
            self.assertEqual(sorted(os.listdir(d)), self.NAMES)

    def test_two_processes_leave_one_whole_set(self):
        def sha(path):
            return hashlib.sha256(content(path)).hexdigest()
        with tempfile.TemporaryDirectory() as d:
            for round in range(12):
                runs = [start(*self.RUN, "--seed", seed, cwd=d) for seed in (1, 2)]
                self.assertEqual([(p.wait(timeout=60), p.stderr.read()) for p in runs],
                                 [(0, "")] * 2)
                with open(os.path.join(d, "c.json")) as f:
                    record = json.load(f)
                in_png = json.loads(batch_cli.png_text(os.path.join(d, "c.png"))["rdsim-record"])
                self.assertEqual(in_png["initial"], record["initial"], round)
                for s in "uv":
                    self.assertEqual(sha(os.path.join(d, f"c-{s}.npy")),
                                     record["saved"][s]["sha256"], round)
                self.assertEqual(sorted(os.listdir(d)), self.NAMES)


if __name__ == "__main__":
    batch_cli.main(unittest)
