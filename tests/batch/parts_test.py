#!/usr/bin/python3
"""Merges of parts that are not what --shard wrote: unreadable, special or cut-short files and
edited rows are refused at once, naming the part (exit 2), and nothing is written. Rows are
edited both plainly (their SHA-256 then no longer matches) and with the SHA-256 made again,
as someone could, so that the rows are also checked against what the command can write.

Usage: parts_test.py PATH-TO-rdsim-batch
"""
import csv
import hashlib
import json
import os
import shutil
import subprocess
import tempfile
import time
import unittest

import batch_cli
from batch_cli import run

SWEEP = ["--model", "gray-scott", "--size", "12", "--init", "seeded", "--seed", "3", "--steps",
         "60", "--sweep", "kA=0.02:0.04:3", "--save", "gs"]
PART = "gs-sweep.part-1-of-2.json"
MAP = ["atlas", "--model", "gray-scott", "--size", "8", "--x", "kA=0.02:0.04:2", "--y",
       "kB=0.05:0.06:2", "--simulate", "--steps", "30", "--init", "seeded", "--seed", "2",
       "--csv", "map.csv", "--quiet"]
MAP_PART = "map.part-1-of-2.json"


def rows_sha(rows):
    """The SHA-256 a part carries of its rows: each number and text ended by a 0."""
    h = hashlib.sha256()
    for number, text in rows:
        h.update(str(number).encode() + b"\0" + text.encode() + b"\0")
    return h.hexdigest()


def edit_rows(path, change, rehash):
    """Applies change(rows) to a part's rows; with rehash, their SHA-256 is made again."""
    with open(path) as f:
        part = json.load(f)
    change(part["rows"])
    if rehash:
        part["rows_sha256"] = rows_sha(part["rows"])
    with open(path, "w") as f:
        json.dump(part, f)


def merge(args, d, prefix):
    """Runs the merge, which must end by itself within 60 s (a FIFO once kept it waiting for
    good); returns (status, stderr without `prefix`)."""
    p = subprocess.Popen([batch_cli.EXE] + args + ["--merge"], cwd=d, stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE, text=True)
    try:
        err = p.communicate(timeout=60)[1]
    except subprocess.TimeoutExpired:
        p.kill()
        p.communicate()
        raise AssertionError("the merge did not end within 60 s")
    return p.returncode, err.removeprefix(prefix)


class Parts(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.parts = tempfile.mkdtemp()
        for i in (1, 2):
            assert run(*SWEEP, "--shard", f"{i}/2", "--quiet", cwd=cls.parts) == (0, "", "")
            assert run(*MAP, "--shard", f"{i}/2", cwd=cls.parts)[0] == 0

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.parts)

    def fresh(self, d):
        for name in os.listdir(self.parts):
            if name.endswith(".json") and ".part-" in name:
                shutil.copy(os.path.join(self.parts, name), d)

    def refused(self, args, prefix, part, spoil, why):
        with tempfile.TemporaryDirectory() as d:
            self.fresh(d)
            path = os.path.join(d, part)
            spoil(path)
            before = sorted(os.listdir(d))
            self.assertEqual(merge(args, d, prefix), (2, f'part "{part}" {why}\n'))
            self.assertEqual(sorted(os.listdir(d)), before)

    def test_a_part_that_cannot_be_read_is_refused_at_once_by_name(self):
        def replace(make):
            def spoil(path):
                os.remove(path)
                make(path)
            return spoil
        cases = [
            ("a folder", os.mkdir, "could not be read: a folder, not a regular file"),
            ("a FIFO", os.mkfifo, "could not be read: a FIFO, not a regular file"),
            ("endless", lambda p: os.symlink("/dev/zero", p),
             "could not be read: a device, not a regular file"),
            ("a read error", lambda p: os.symlink("/proc/self/mem", p),
             "could not be read: Input/output error"),
        ]
        for what, make, why in cases:
            for args, prefix, part in ((SWEEP, "rdsim-batch: --merge: ", PART),
                                       (MAP, "rdsim-batch atlas: --merge: ", MAP_PART)):
                with self.subTest(what, command=args[0]):
                    self.refused(args, prefix, part, replace(make), why)

    def test_a_part_cut_short_or_larger_than_the_command_can_hold_is_refused(self):
        def cut(n):
            def spoil(path):
                with open(path, "rb+") as f:
                    f.truncate(n)
            return spoil
        def grow(path):  # sparse: the size alone must refuse it
            with open(path, "rb+") as f:
                f.truncate(1 << 34)
        size = os.path.getsize(os.path.join(self.parts, PART))
        for spoil, why in ((cut(size // 2), f"is damaged: it ends early, after {size // 2} bytes"),
                           (cut(40), "is damaged: it ends early, after 40 bytes")):
            self.refused(SWEEP, "rdsim-batch: --merge: ", PART, spoil, why)
        with tempfile.TemporaryDirectory() as d:
            self.fresh(d)
            grow(os.path.join(d, PART))
            status, err = merge(SWEEP, d, "rdsim-batch: --merge: ")
            self.assertEqual(status, 2)
            self.assertRegex(err, rf'^part "{PART}" could not be read: larger than \d+ bytes, '
                                  r"more than a part of this command can hold\n$")

    def test_edited_rows_of_a_sweep_are_refused(self):
        def first(change):
            return lambda rows: rows[0].__setitem__(1, change(rows[0][1]))
        injected = first(lambda r: r + "INJECTED\n99,evil,row\n")
        cases = [
            ("a row added", injected, 1),
            ("a row emptied", first(lambda r: ""), 1),
            ("a NUL", first(lambda r: r.replace("ok", "o\0k")), 1),
            ("an escape", first(lambda r: r.replace("ok", "\x1b[2Jok")), 1),
            ("a status it cannot have", first(lambda r: r.replace(",ok,", ",fine,")), 1),
            ("steps beyond --steps", first(lambda r: r.replace(",60,", ",61,")), 1),
            ("a value of another combination", first(lambda r: r.replace("0.02", "0.03", 1)), 1),
            ("a wavelength that is not a number", first(lambda r: r[:-2] + "x\n"), 1),
            ("a field quoted needlessly", first(lambda r: r.replace(",ok,", ',"ok",')), 1),
        ]
        for what, change, combination in cases:
            with self.subTest(what):
                self.refused(SWEEP, "rdsim-batch: --merge: ", PART,
                             lambda p: edit_rows(p, change, rehash=True),
                             f"is damaged: the row of combination {combination} is malformed")
        self.refused(SWEEP, "rdsim-batch: --merge: ", PART,
                     lambda p: edit_rows(p, injected, rehash=False),
                     "is damaged: its rows do not match their SHA-256, so they were changed "
                     "after it was written")

    def test_edited_points_of_a_map_are_refused(self):
        def point(change):
            def edit(rows):
                p = json.loads(rows[0][1])
                change(p)
                rows[0][1] = json.dumps(p, separators=(",", ":"))
            return edit
        cases = [
            ("negative steps", point(lambda p: p.update(steps=-5))),
            ("steps beyond any run", point(lambda p: p.update(steps=1e300))),
            ("steps beyond --steps", point(lambda p: p.update(steps=31))),
            ("steps not whole", point(lambda p: p.update(steps=2.5))),
            ("a line break in the message", point(lambda p: p.update(message="a\n9,9,x"))),
            ("an escape in the message", point(lambda p: p.update(message="\x1b]0;x\x07"))),
        ]
        for what, change in cases:
            with self.subTest(what):
                self.refused(MAP, "rdsim-batch atlas: --merge: ", MAP_PART,
                             lambda p: edit_rows(p, change, rehash=True),
                             "is damaged: the row of combination 1 is malformed")

    def test_a_map_message_is_written_as_csv_requires(self):
        # A message holding a quote (and a comma, which the map's CSV gives as ";") reads
        # back as one field.
        def change(rows):
            p = json.loads(rows[0][1])
            p.update(message='iteration 3: "odd", text')
            rows[0][1] = json.dumps(p, separators=(",", ":"))
        with tempfile.TemporaryDirectory() as d:
            self.fresh(d)
            edit_rows(os.path.join(d, MAP_PART), change, rehash=True)
            self.assertEqual(merge(MAP, d, ""), (0, ""))
            with open(os.path.join(d, "map.csv"), newline="") as f:
                text = f.read()
            self.assertTrue(text.splitlines()[1].endswith(',"iteration 3: ""odd""; text"'))
            rows = list(csv.DictReader(text.splitlines()))
            self.assertEqual([r["message"] for r in rows],
                             ['iteration 3: "odd"; text', "", "", ""])


if __name__ == "__main__":
    batch_cli.main(unittest)
