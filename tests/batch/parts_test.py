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
import tempfile
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
# (the command, the prefix of its merge's refusals, the part spoilt)
SWEEP_MERGE = (SWEEP, "rdsim-batch: --merge: ", PART)
MAP_MERGE = (MAP, "rdsim-batch atlas: --merge: ", MAP_PART)


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


def first_point(fields):
    """An edit of a map part's rows: the first point's `fields` changed."""
    def edit(rows):
        p = json.loads(rows[0][1])
        p.update(fields)
        rows[0][1] = json.dumps(p, separators=(",", ":"))
    return edit


def merge(args, d, prefix):
    """Runs the merge, which must end by itself within 60 s (a FIFO once kept it waiting for
    good); returns (status, stderr without `prefix`)."""
    p = batch_cli.start(*args, "--merge", cwd=d)
    err = batch_cli.ended_within(p, 60, "the merge")[1]
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
            for args, prefix, part in (SWEEP_MERGE, MAP_MERGE):
                with self.subTest(what, command=args[0]):
                    self.refused(args, prefix, part, replace(make), why)

    def test_a_part_cut_short_or_larger_than_the_command_can_hold_is_refused(self):
        for n in (os.path.getsize(os.path.join(self.parts, PART)) // 2, 40):
            self.refused(*SWEEP_MERGE, lambda p: os.truncate(p, n),
                         f"is damaged: it ends early, after {n} bytes")
        with tempfile.TemporaryDirectory() as d:
            self.fresh(d)
            os.truncate(os.path.join(d, PART), 1 << 34)  # sparse: the size alone must refuse it
            status, err = merge(SWEEP, d, "rdsim-batch: --merge: ")
            self.assertEqual(status, 2)
            self.assertRegex(err, rf'^part "{PART}" could not be read: larger than \d+ bytes, '
                                  r"more than a part of this command can hold\n$")

    def test_edited_rows_of_a_sweep_are_refused(self):
        def first(change):
            return lambda rows: rows[0].__setitem__(1, change(rows[0][1]))
        injected = first(lambda r: r + "INJECTED\n99,evil,row\n")
        cases = [
            ("a row added", injected),
            ("a row emptied", first(lambda r: "")),
            ("a NUL", first(lambda r: r.replace("ok", "o\0k"))),
            ("an escape", first(lambda r: r.replace("ok", "\x1b[2Jok"))),
            ("a status it cannot have", first(lambda r: r.replace(",ok,", ",fine,"))),
            ("steps beyond --steps", first(lambda r: r.replace(",60,", ",61,"))),
            ("a value of another combination", first(lambda r: r.replace("0.02", "0.03", 1))),
            ("a wavelength that is not a number", first(lambda r: r[:-2] + "x\n")),
            ("a field quoted needlessly", first(lambda r: r.replace(",ok,", ',"ok",'))),
        ]
        for what, change in cases:
            with self.subTest(what):
                self.refused(*SWEEP_MERGE, lambda p: edit_rows(p, change, rehash=True),
                             "is damaged: the row of combination 1 is malformed")
        self.refused(*SWEEP_MERGE, lambda p: edit_rows(p, injected, rehash=False),
                     "is damaged: its rows do not match their SHA-256, so they were changed "
                     "after it was written")

    def test_edited_points_of_a_map_are_refused(self):
        for what, change in (("negative steps", {"steps": -5}),
                             ("steps beyond any run", {"steps": 1e300}),
                             ("steps beyond --steps", {"steps": 31}),
                             ("steps not whole", {"steps": 2.5}),
                             ("a line break in the message", {"message": "a\n9,9,x"}),
                             ("an escape in the message", {"message": "\x1b]0;x\x07"})):
            with self.subTest(what):
                self.refused(*MAP_MERGE, lambda p: edit_rows(p, first_point(change), rehash=True),
                             "is damaged: the row of combination 1 is malformed")

    def test_a_map_message_is_written_as_csv_requires(self):
        # A message holding a quote (and a comma, which the map's CSV gives as ";") reads
        # back as one field.
        change = first_point({"message": 'iteration 3: "odd", text'})
        with tempfile.TemporaryDirectory() as d:
            self.fresh(d)
            edit_rows(os.path.join(d, MAP_PART), change, rehash=True)
            self.assertEqual(merge(MAP, d, ""), (0, ""))
            text = batch_cli.read(os.path.join(d, "map.csv"))
            self.assertTrue(text.splitlines()[1].endswith(',"iteration 3: ""odd""; text"'))
            rows = list(csv.DictReader(text.splitlines()))
            self.assertEqual([r["message"] for r in rows],
                             ['iteration 3: "odd"; text', "", "", ""])


if __name__ == "__main__":
    batch_cli.main(unittest)
