#!/usr/bin/python3
"""Movies seen from outside: the lossless movie holds exactly the frames the frame pictures
show, every format is made, and a missing encoder or a bad request writes nothing.

Usage: movie_test.py PATH-TO-rdsim-batch
"""
import os
import shutil
import subprocess
import tempfile
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


if __name__ == "__main__":
    batch_cli.main(unittest)
