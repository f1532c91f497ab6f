#!/usr/bin/python3
"""Movies seen from outside: the lossless movie holds exactly the frames the frame pictures
show, every format is made, and a missing encoder or a bad request writes nothing.

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
from batch_cli import run

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
            probe = subprocess.run(["ffprobe", "-v", "error", "-show_entries", "stream=width,height",
                                    "-of", "csv=p=0", os.path.join(d, "f-00.png")],
                                   capture_output=True, text=True, check=True).stdout
            size = tuple(int(x) for x in probe.strip().split(","))
            frames = decoded(os.path.join(d, "f-%02d.png"), size)
            self.assertEqual(len(frames), 7)
            self.assertEqual(decoded(os.path.join(d, "m.apng"), size), frames)

    def test_every_format_gives_all_frames(self):
        cases = [("m.mp4", "h264"), ("m.webm", "vp9"), ("m.gif", "gif"), ("m.apng", "apng")]
        with tempfile.TemporaryDirectory() as d:
            for name, codec in cases:
                with self.subTest(name):
                    code, _, err = run(*RUN, "--colormap", "viridis", "--fps", "5", "--movie",
                                       name, cwd=d)
                    self.assertEqual(code, 0, err)
                    out = subprocess.run(["ffprobe", "-v", "error", "-count_frames",
                                          "-show_entries", "stream=codec_name,nb_read_frames",
                                          "-of", "csv=p=0", os.path.join(d, name)],
                                         capture_output=True, text=True, check=True).stdout
                    self.assertEqual(out.strip(), codec + ",7")
            self.assertEqual(sorted(os.listdir(d)), sorted([n for n, _ in cases] + ["m.json"]))

    def test_a_sweep_makes_a_movie_for_each_combination(self):
        with tempfile.TemporaryDirectory() as d:
            code, _, err = run(*RUN, "--movie", "s.gif", "--sweep", "kA=0.01:0.02:2", "--jobs",
                               "2", cwd=d)
            self.assertEqual(code, 0, err)
            self.assertEqual(sorted(os.listdir(d)),
                             ["s-kA=0.01.gif", "s-kA=0.01.json", "s-kA=0.02.gif",
                              "s-kA=0.02.json", "s-sweep.csv"])

    def test_an_encoder_that_fails_is_reported_and_leaves_nothing(self):
        # The encoder quits at once: writing frames to it must fail with its last words,
        # not end the program by a broken pipe.
        with tempfile.TemporaryDirectory() as d:
            bin_dir = os.path.join(d, "bin")
            os.mkdir(bin_dir)
            fake = os.path.join(bin_dir, "ffmpeg")
            with open(fake, "w") as f:
                f.write("#!/bin/sh\necho first >&2\necho the encoder broke >&2\nexit 1\n")
            os.chmod(fake, 0o755)
            out = os.path.join(d, "out")
            os.mkdir(out)
            saved = os.environ["PATH"]
            os.environ["PATH"] = bin_dir + os.pathsep + saved
            try:
                code, _, err = run("--init", "random", "--seed", "1", "--size", "64", "--steps",
                                   "400", "--every", "1", "--movie", "m.gif", "--save", "f",
                                   cwd=out)
            finally:
                os.environ["PATH"] = saved
            self.assertEqual((code, err.strip()), (4, 'rdsim-batch: "m.gif": ffmpeg stopped '
                                                      "taking frames: the encoder broke"))
            self.assertEqual(os.listdir(out), [])

    def test_an_interrupt_from_the_terminal_ends_the_run_as_an_interrupt(self):
        # A terminal's interrupt reaches the whole process group, the encoder included.
        with tempfile.TemporaryDirectory() as d:
            p = subprocess.Popen([batch_cli.EXE, "--init", "random", "--seed", "1", "--size",
                                  "32", "--steps", "1000000", "--every", "1", "--image",
                                  "fr-%06d.bmp", "--movie", "m.gif"],
                                 cwd=d, stderr=subprocess.PIPE, text=True,
                                 start_new_session=True)
            while not os.path.exists(os.path.join(d, "fr-000002.bmp")):
                self.assertIsNone(p.poll(), "ended early")
                time.sleep(0.01)
            os.killpg(p.pid, signal.SIGINT)
            err = p.communicate()[1]
            self.assertEqual(p.returncode, -signal.SIGINT)
            names = sorted(os.listdir(d))  # no movie and no record
            self.assertEqual(names, ["fr-%06d.bmp" % k for k in range(len(names))])
            last = len(names) - 1
            self.assertEqual(err, "rdsim-batch: interrupted after iteration %d; frames 0 to %d "
                                  "were written (fr-000000.bmp to fr-%06d.bmp)\n"
                             % (last, last, last))

    def test_refusals_write_nothing(self):
        empty = tempfile.mkdtemp()
        cases = [
            (RUN + ["--movie", "m.avi"], None,
             'rdsim-batch: --movie "m.avi": the file name must end in .mp4, .webm, .gif or .apng'),
            (["--movie", "m.gif"], None,
             'rdsim-batch: --movie "m.gif": needs --every K, the steps between its frames'),
            (RUN + ["--dim", "1", "--movie", "m.gif"], None,
             'rdsim-batch: --movie "m.gif": a movie shows a 2D field; a 1D run has --kymograph'),
            (RUN + ["--movie", "m.gif"], empty,
             'rdsim-batch: --movie "m.gif": ffmpeg was not found on the PATH; it makes the '
             "movies (install ffmpeg)"),
        ]
        with tempfile.TemporaryDirectory() as d:
            for args, path, message in cases:
                with self.subTest(args):
                    saved = os.environ["PATH"]
                    os.environ["PATH"] = path or saved
                    try:
                        code, _, err = run(*args, cwd=d)
                    finally:
                        os.environ["PATH"] = saved
                    self.assertEqual((code, err.strip()), (2, message))
                    self.assertEqual(os.listdir(d), [])
        os.rmdir(empty)


if __name__ == "__main__":
    batch_cli.main(unittest)
