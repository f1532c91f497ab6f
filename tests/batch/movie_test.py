#!/usr/bin/python3
"""Movies seen from outside: the lossless movie holds exactly the frames the frame pictures
show, every format is made, a missing encoder or a bad request writes nothing, an encoder that
stops reading does not keep a signal waiting, and a full temporary folder is named.

Usage: movie_test.py PATH-TO-rdsim-batch
"""
import os
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

import batch_cli
from batch_cli import pixels, run

RUN = ["--init", "random", "--seed", "2", "--size", "30", "--steps", "60", "--every", "10"]


def decoded(path, size):
    """Every frame of a movie or picture sequence as raw RGB bytes, by ffmpeg."""
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-f", "rawvideo", "-pix_fmt",
                          "rgb24", "-"], capture_output=True, check=True).stdout
    frame = size[0] * size[1] * 3
    assert len(raw) % frame == 0, (len(raw), frame)
    return [raw[k:k + frame] for k in range(0, len(raw), frame)]


@unittest.skipIf(shutil.which("ffmpeg") is None, "needs ffmpeg")
class Movies(unittest.TestCase):
    def test_apng_holds_the_frame_pictures_bit_for_bit(self):
        style = ["--colormap", "magma", "--zoom", "3", "--range", "0:2", "--annotate"]
        with tempfile.TemporaryDirectory() as d:
            code, _, err = run(*RUN, *style, "--image", "f-%02d.png", "--movie", "m.apng", cwd=d)
            self.assertEqual(code, 0, err)
            size = pixels(os.path.join(d, "f-00.png")).shape[1::-1]  # (width, height)
            frames = decoded(os.path.join(d, "f-%02d.png"), size)
            self.assertEqual(len(frames), 7)
            self.assertEqual(decoded(os.path.join(d, "m.apng"), size), frames)

    def test_a_missing_or_failing_encoder_is_reported_and_leaves_nothing(self):
        # The failing encoder quits at once: writing frames to it must fail with its last
        # words, not end the program by a broken pipe.
        with tempfile.TemporaryDirectory() as d:
            failing, empty, out = (os.path.join(d, n) for n in ("bin", "empty", "out"))
            for folder in (failing, empty, out):
                os.mkdir(folder)
            with open(os.path.join(failing, "ffmpeg"), "w") as f:
                f.write("#!/bin/sh\necho first >&2\necho the encoder broke >&2\nexit 1\n")
            os.chmod(os.path.join(failing, "ffmpeg"), 0o755)
            cases = [(failing, 4, 'rdsim-batch: "m.gif": ffmpeg stopped taking frames: '
                                  "the encoder broke"),
                     (empty, 2, 'rdsim-batch: --movie "m.gif": ffmpeg was not found on the '
                                "PATH; it makes the movies (install ffmpeg)")]
            saved = os.environ["PATH"]
            for path, status, message in cases:
                with self.subTest(path):
                    os.environ["PATH"] = path
                    try:
                        code, _, err = run("--init", "random", "--seed", "1", "--size", "64",
                                           "--steps", "400", "--every", "1", "--movie",
                                           "m.gif", "--save", "f", cwd=out)
                    finally:
                        os.environ["PATH"] = saved
                    self.assertEqual((code, err.strip()), (status, message))
                    self.assertEqual(os.listdir(out), [])


class StalledEncoder(unittest.TestCase):
    """An encoder that never reads (a stopped or hung ffmpeg): a signal must still end the run
    within seconds, with the encoder ended and the temporary folder removed."""

    def test_a_signal_ends_the_run_while_a_frame_or_the_end_waits_for_the_encoder(self):
        with tempfile.TemporaryDirectory() as d:
            fake, out, tmp = (os.path.join(d, n) for n in ("bin", "out", "tmp"))
            for folder in (fake, out, tmp):
                os.mkdir(folder)
            with open(os.path.join(fake, "ffmpeg"), "w") as f:
                f.write('#!/bin/sh\necho $$ > "%s/pid"\nexec sleep 600\n' % d)
            os.chmod(os.path.join(fake, "ffmpeg"), 0o755)
            env = dict(os.environ, PATH=fake + ":" + os.environ["PATH"], TMPDIR=tmp)
            # Large frames fill the channel, and the run waits to send one; three small ones
            # fit, and it waits for the encoder to end.
            for what, size, steps in (("a frame", "64", "100000"), ("the end", "8", "2")):
                for sig in (signal.SIGINT, signal.SIGTERM):
                    with self.subTest(what, signal=sig.name):
                        pid = os.path.join(d, "pid")
                        p = subprocess.Popen(
                            [batch_cli.EXE, "--init", "random", "--seed", "1", "--size", size,
                             "--steps", steps, "--every", "1", "--movie", "m.apng"],
                            cwd=out, env=env, stderr=subprocess.PIPE, text=True)
                        while not os.path.exists(pid):
                            self.assertIsNone(p.poll(), "ended early")
                            time.sleep(0.01)
                        time.sleep(0.5)
                        p.send_signal(sig)
                        try:
                            err = p.communicate(timeout=10)[1]
                        except subprocess.TimeoutExpired:
                            p.kill()
                            p.communicate()
                            with open(pid) as f:
                                os.kill(int(f.read()), signal.SIGKILL)
                            raise AssertionError("the run did not end within 10 s of the signal")
                        self.assertEqual(p.returncode, -sig)
                        self.assertRegex(err, r"^rdsim-batch: interrupted after iteration \d+; "
                                              r"no file of the run was written\n$")
                        with open(pid) as f:
                            encoder = int(f.read())
                        os.remove(pid)
                        with self.assertRaises(ProcessLookupError):  # ended and waited for
                            os.kill(encoder, 0)
                        self.assertEqual(os.listdir(tmp), [])
                        self.assertEqual(os.listdir(out), [])


@unittest.skipIf(shutil.which("ffmpeg") is None, "needs ffmpeg")
class FullTemporaryFolder(unittest.TestCase):
    def test_the_reason_is_named(self):
        with tempfile.TemporaryDirectory() as d:
            tmp, out = os.path.join(d, "tmp"), os.path.join(d, "out")
            os.mkdir(tmp)
            os.mkdir(out)
            if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=200k", "tmpfs", tmp],
                              capture_output=True).returncode != 0:
                self.skipTest("cannot mount a tmpfs here")
            try:
                p = subprocess.run([batch_cli.EXE, "--init", "random", "--seed", "1", "--size",
                                    "64", "--steps", "200", "--every", "1", "--movie", "m.apng"],
                                   cwd=out, env=dict(os.environ, TMPDIR=tmp),
                                   capture_output=True, text=True, timeout=600)
                self.assertEqual((p.returncode, p.stderr), (4, (
                    'rdsim-batch: "m.apng": ffmpeg stopped taking frames: the temporary folder '
                    '"%s", where the movie is made, is full (No space left on device); set '
                    'TMPDIR to a folder with room\n' % tmp)))
                self.assertEqual(os.listdir(out), [])
                self.assertEqual(os.listdir(tmp), [])
            finally:
                subprocess.run(["umount", tmp])


if __name__ == "__main__":
    batch_cli.main(unittest)
