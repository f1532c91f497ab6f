#!/usr/bin/python3
"""Records and replay seen from outside: every run's record and PNGs say how it was made, a
replay reproduces it bit for bit, and a changed file or record is found and named. That
records and pictures are the same for any --jobs and --shard is shard_test.py's.

Usage: replay_test.py PATH-TO-rdsim-batch
"""
import hashlib
import json
import os
import shutil
import signal
import subprocess
import tempfile
import time
import unittest
import zlib

import numpy as np

import batch_cli
from batch_cli import content, ok, png_text, read, run, write

RUN = ["--init", "random", "--seed", "5", "--size", "24", "--steps", "40"]


def fields_sha(prefix):
    """The SHA-256 of the saved fields as the record defines it, computed by NumPy."""
    u, v = (np.load(prefix + s).astype("<f4") for s in ("-u.npy", "-v.npy"))
    return hashlib.sha256(u.tobytes() + v.tobytes()).hexdigest()


class Replay(unittest.TestCase):
    def test_records_name_the_state_and_replay_reproduces_it(self):
        with tempfile.TemporaryDirectory() as d:
            os.mkdir(os.path.join(d, "out"))
            ok(*RUN, "--set", "kA=0.09", "--save", "out/p", "--image", "p.png", cwd=d)
            record = json.loads(content(os.path.join(d, "out/p.json")))
            sha = fields_sha(os.path.join(d, "out/p"))
            self.assertEqual((record["steps"], record["fields"]["sha256"], record["initial"]),
                             (40, sha, {"kind": "random", "seed": "5"}))
            self.assertEqual(record["settings"]["coefficients"]["kA"], float(np.float32(0.09)))
            # The picture holds the same facts, its files named from its own folder.
            in_png = json.loads(png_text(os.path.join(d, "p.png"))["rdsim-record"])
            self.assertEqual(in_png["saved"]["v"]["file"], "out/p-v.npy")
            same = (0, "reproduced bit for bit: 40 steps, fields SHA-256 %s\n" % sha)
            self.assertEqual(replay_within("out/p.json", d), same)
            self.assertEqual(replay_within("../p.png", os.path.join(d, "out")), same)

    def test_a_changed_saved_field_is_found_cell_by_cell(self):
        with tempfile.TemporaryDirectory() as d:
            ok(*RUN, "--save", "p", cwd=d)
            path = os.path.join(d, "p-v.npy")
            v = np.load(path)
            was = v[2, 5]
            v[2, 5] = 0.75
            np.save(path, v)
            now = hashlib.sha256(content(path)).hexdigest()
            recorded = json.loads(content(os.path.join(d, "p.json")))["saved"]["v"]["sha256"]
            self.assertEqual(replay_within("p.json", d), (6, (
                '"p-v.npy": no longer matches its record (SHA-256 %s, recorded %s)\n'
                '"p-v.npy": first differing cell v[2, 5] (cell 53): saved 0.75, re-run %s\n')
                % (now, recorded, "%.9g" % was)))


def edited(d, change, name="p.json"):
    """Applies change(record) to the record p.json in d, written as `name`."""
    with open(os.path.join(d, "p.json")) as f:
        record = json.load(f)
    change(record)
    with open(os.path.join(d, name), "w") as f:
        json.dump(record, f)
    return name


def replay_within(path, cwd, seconds=60):
    """Replays; the replay must end by itself within `seconds` (a FIFO once kept it waiting
    for good)."""
    p = batch_cli.start("replay", path, cwd=cwd, stdout=subprocess.PIPE)
    out, err = batch_cli.ended_within(p, seconds, "the replay")
    return p.returncode, out + err


def png_chunk(kind, data):
    return (len(data).to_bytes(4, "big") + kind + data
            + zlib.crc32(kind + data).to_bytes(4, "big"))


def with_record_text(png, text):
    """The PNG's bytes with its record replaced by `text` (a compressed zTXt)."""
    chunks, at = [png[:8]], 8
    while at < len(png):
        n = int.from_bytes(png[at:at + 4], "big")
        kind, data = png[at + 4:at + 8], png[at + 8:at + 8 + n]
        if kind == b"zTXt" and data.startswith(b"rdsim-record\0"):
            data = b"rdsim-record\0\0" + zlib.compress(text.encode())
        chunks.append(png_chunk(kind, data))
        at += 12 + n
    return b"".join(chunks)


class CraftedRecords(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp()
        code, _, err = run(*RUN, "--save", "p", "--image", "p.png", cwd=cls.dir)
        assert code == 0, err

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir)

    def test_records_asking_what_the_command_line_refuses_or_naming_no_usable_file(self):
        unusable = ('the record\'s "saved" names no usable saved file (it needs the "file" and '
                    '"sha256" of u and of v)')
        cases = [
            (lambda r: r.update(steps=1000001), 'the record\'s "steps" is not valid'),
            (lambda r: r.update(steps=2 ** 31 - 1), 'the record\'s "steps" is not valid'),
            (lambda r: r["settings"].update(every=1000001), 'the record\'s "every" is not valid'),
        ] + [(lambda r, saved=saved: r.update(saved=saved), unusable) for saved in (
            "x", "", [], {}, {"u": {"file": "p-u.npy", "sha256": "0" * 64}},
            {"u": {"file": "", "sha256": "0" * 64}, "v": {"file": "p-v.npy"}})]
        for k, (change, why) in enumerate(cases):
            with self.subTest(k, why=why):
                name = edited(self.dir, change, "crafted.json")
                self.assertEqual(replay_within(name, self.dir),
                                 (2, 'rdsim-batch replay: "crafted.json": %s\n' % why))

    def test_texts_of_a_record_are_quoted_and_escaped(self):
        forged = "x\nreproduced bit for bit: 40 steps\x1b[2J"
        shown = '"x\\nreproduced bit for bit: 40 steps\\x1b[2J"'
        sha = fields_sha(os.path.join(self.dir, "p"))
        cases = [
            (lambda r: r.update(program=forged), 0,
             'note: recorded by %s, replayed by rdsim-batch ' % shown),
            (lambda r: r["settings"].update(model=forged), 2,
             'rdsim-batch replay: "crafted.json": the record\'s model %s is unknown\n' % shown),
            (lambda r: r["settings"]["boxes"].update({forged: "1"}), 2,
             'rdsim-batch replay: "crafted.json": the record\'s setting %s is unknown\n' % shown),
            (lambda r: r["saved"]["u"].update(file=forged), 0,
             '%s: not found, not compared\n' % shown),
            (lambda r: r["fields"].update(sha256=forged), 2,
             'rdsim-batch replay: "crafted.json": the record\'s "sha256" is not a SHA-256\n'),
        ]
        for change, code, line in cases:
            with self.subTest(line):
                status, text = replay_within(edited(self.dir, change, "crafted.json"), self.dir)
                self.assertEqual(status, code, text)
                self.assertIn(line, text)
                self.assertNotIn("\x1b", text)
                self.assertEqual([l for l in text.splitlines() if l.startswith("reproduced")],
                                 ["reproduced bit for bit: 40 steps, fields SHA-256 %s" % sha]
                                 if code == 0 else [])

    def test_one_size_cap_for_records_in_files_and_pictures(self):
        record = read(os.path.join(self.dir, "p.json"))
        big = record[:-2] + ', "padding": "%s"}' % ("x" * (3 << 20))
        png = content(os.path.join(self.dir, "p.png"))
        write(os.path.join(self.dir, "big.json"), big)
        write(os.path.join(self.dir, "big.png"), with_record_text(png, big))
        write(os.path.join(self.dir, "fits.png"), with_record_text(png, record))
        for name in ("big.json", "big.png"):
            with self.subTest(name):
                self.assertEqual(replay_within(name, self.dir), (2, (
                    'rdsim-batch replay: "%s": too large for a record (more than 1048576 '
                    'bytes)\n' % name)))
        self.assertEqual(replay_within("fits.png", self.dir)[0], 0)

    def test_a_damaged_picture_is_said_so_without_the_png_library_s_words(self):
        png = content(os.path.join(self.dir, "p.png"))
        record_at = png.index(b"zTXtrdsim-record") - 4
        spoilt = bytearray(png)
        spoilt[record_at + 30] ^= 0xFF
        cases = [
            (png[:20], 'the picture is cut short, after 8 bytes'),
            (png[:record_at + 20], 'the picture is cut short, after %d bytes' % record_at),
            (bytes(spoilt), 'the picture is damaged: its record fails its CRC'),
        ]
        for data, why in cases:
            with self.subTest(why):
                write(os.path.join(self.dir, "cut.png"), data)
                self.assertEqual(replay_within("cut.png", self.dir),
                                 (2, 'rdsim-batch replay: "cut.png": %s\n' % why))


class SpecialFiles(unittest.TestCase):
    def test_a_fifo_in_place_of_a_file_is_refused_at_once(self):
        with tempfile.TemporaryDirectory() as d:
            np.save(os.path.join(d, "u0.npy"), np.full((24, 24), 0.5, np.float32))
            np.save(os.path.join(d, "v0.npy"), np.full((24, 24), 0.5, np.float32))
            ok(*RUN[4:], "--load-u", "u0.npy", "--load-v", "v0.npy", "--save", "p", cwd=d)
            os.mkfifo(os.path.join(d, "fifo.json"))
            self.assertEqual(replay_within("fifo.json", d), (
                2, 'rdsim-batch replay: "fifo.json": a FIFO, not a regular file\n'))
            for species, key, line in (
                    ("u", "initial", 'initial state: the field of u "%s": a FIFO, not a '
                                     'regular file\n'),
                    ("v", "saved", '"%s": no longer matches its record (a FIFO, not a regular '
                                   'file)\n')):
                with self.subTest(key):
                    fifo = key + "-fifo.npy"
                    os.mkfifo(os.path.join(d, fifo))
                    name = edited(d, lambda r: r[key][species].update(file=key + "-fifo.npy"),
                                  "crafted.json")
                    self.assertEqual(replay_within(name, d), (6, line % fifo))


class Interrupt(unittest.TestCase):
    def test_a_signal_stops_a_replay_at_the_next_step_and_ends_it_by_the_signal(self):
        with tempfile.TemporaryDirectory() as d:
            ok("--size", "256", "--steps", "0", "--save", "p", cwd=d)
            edited(d, lambda r: r.update(steps=1000000), "long.json")
            for sig in (signal.SIGINT, signal.SIGTERM):
                with self.subTest(sig.name):
                    p = batch_cli.start("replay", "long.json", cwd=d, stdout=subprocess.PIPE)
                    time.sleep(0.5)
                    p.send_signal(sig)
                    out, err = batch_cli.ended_within(p, 20, "the replay")
                    self.assertEqual((p.returncode, out, err), (-sig, "", (
                        'rdsim-batch replay: "long.json": interrupted; nothing was compared\n')))


if __name__ == "__main__":
    batch_cli.main(unittest)
