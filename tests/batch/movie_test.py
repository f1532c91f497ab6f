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
from batch_cli import ok, pixels, run

RUN = ["--init", "random", "--seed", "2", "--size", "30", "--steps", "60", "--every", "10"]


def decoded(path, size):
    """Every frame of a movie or picture sequence as raw RGB bytes, by ffmpeg."""
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-f", "rawvideo", "-pix_fmt",
                          "rgb24", "-"], capture_output=True, check=True).stdout
    frame = size[0] * size[1] * 3
    assert len(raw) % frame == 0, (len(raw), frame)
    return [raw[k:k + frame] for k in range(0, len(raw), frame)]


def folders(d, *names):
    """Makes the folders d/NAME; returns their paths."""
    paths = [os.path.join(d, n) for n in names]
    for path in paths:
        os.mkdir(path)
    return paths


def fake_ffmpeg(folder, script):
    """Puts an ffmpeg that runs the shell `script` in folder."""
    batch_cli.write(os.path.join(folder, "ffmpeg"), "#!/bin/sh\n" + script)
    os.chmod(os.path.join(folder, "ffmpeg"), 0o755)


def movie(size, steps, every, name):
    return ["--init", "random", "--seed", "1", "--size", size, "--steps", steps, "--every", every,
            "--movie", name]


@unittest.skipIf(shutil.which("ffmpeg") is None, "needs ffmpeg")
class Movies(unittest.TestCase):
    def test_apng_holds_the_frame_pictures_bit_for_bit(self):
        style = ["--colormap", "magma", "--zoom", "3", "--range", "0:2", "--annotate"]
        with tempfile.TemporaryDirectory() as d:
            ok(*RUN, *style, "--image", "f-%02d.png", "--movie", "m.apng", cwd=d)
            size = pixels(os.path.join(d, "f-00.png")).shape[1::-1]  # (width, height)
            frames = decoded(os.path.join(d, "f-%02d.png"), size)
            self.assertEqual(len(frames), 7)
            self.assertEqual(decoded(os.path.join(d, "m.apng"), size), frames)

    def test_a_missing_or_failing_encoder_is_reported_and_leaves_nothing(self):
        # (the encoder's script, alone on the PATH, --every, exit status, message, files left)
        # Quitting at once, writing frames to it must fail with its last words, not end the
        # program by a broken pipe; failing at the end it costs only the movie.
        cases = [
            ("echo first >&2\necho the encoder broke >&2\nexit 1\n", True, 1, 4,
             'rdsim-batch: "m.gif": ffmpeg stopped taking frames: the encoder broke\n', []),
            (None, True, 1, 2, 'rdsim-batch: --movie "m.gif": ffmpeg was not found on the '
             "PATH; it makes the movies (install ffmpeg)\n", []),
            ("cat > /dev/null\necho the encoder broke at the end >&2\nexit 1\n", False, 100, 4,
             'rdsim-batch: --movie "m.gif": ffmpeg failed: the encoder broke at the end; '
             'written all the same: "f-u.npy", "f-v.npy", "f.json"\n',
             ["f-u.npy", "f-v.npy", "f.json"]),
        ]
        for script, alone, every, status, message, files in cases:
            with self.subTest(message), tempfile.TemporaryDirectory() as d:
                fake, out = folders(d, "bin", "out")
                if script:
                    fake_ffmpeg(fake, script)
                env = dict(os.environ, PATH=fake if alone else fake + ":" + os.environ["PATH"])
                self.assertEqual(run(*movie("64", "400", every, "m.gif"), "--save", "f", cwd=out,
                                     env=env)[::2], (status, message))
                self.assertEqual(sorted(os.listdir(out)), files)


class StalledEncoder(unittest.TestCase):
    """An encoder that never reads (a stopped or hung ffmpeg): a signal must still end the run
    within seconds, with the encoder ended and the temporary folder removed."""

    def test_a_signal_ends_the_run_while_a_frame_or_the_end_waits_for_the_encoder(self):
        with tempfile.TemporaryDirectory() as d:
            fake, out, tmp = folders(d, "bin", "out", "tmp")
            pid = os.path.join(d, "pid")
            fake_ffmpeg(fake, 'echo $$ > "%s"\nexec sleep 600\n' % pid)
            env = dict(os.environ, PATH=fake + ":" + os.environ["PATH"], TMPDIR=tmp)
            # Large frames fill the channel, and the run waits to send one; three small ones
            # fit, and it waits for the encoder to end.
            for what, size, steps in (("a frame", "64", "100000"), ("the end", "8", "2")):
                for sig in (signal.SIGINT, signal.SIGTERM):
                    with self.subTest(what, signal=sig.name):
                        p = batch_cli.start(*movie(size, steps, "1", "m.apng"), cwd=out, env=env)
                        batch_cli.wait_until(p, lambda: os.path.exists(pid))
                        time.sleep(0.5)
                        p.send_signal(sig)
                        try:
                            err = batch_cli.ended_within(p, 10, "the run")[1]
                        except AssertionError:
                            os.kill(int(batch_cli.read(pid)), signal.SIGKILL)
                            raise
                        encoder = int(batch_cli.read(pid))
                        os.remove(pid)
                        self.assertEqual(p.returncode, -sig)
                        self.assertRegex(err, r"^rdsim-batch: interrupted after iteration \d+; "
                                              r"no file of the run was written\n$")
                        with self.assertRaises(ProcessLookupError):  # ended and waited for
                            os.kill(encoder, 0)
                        self.assertEqual(os.listdir(tmp), [])
                        self.assertEqual(os.listdir(out), [])


@unittest.skipIf(shutil.which("ffmpeg") is None, "needs ffmpeg")
class FullTemporaryFolder(unittest.TestCase):
    def test_the_reason_is_named(self):
        with tempfile.TemporaryDirectory() as d:
            tmp, out = folders(d, "tmp", "out")
            with batch_cli.tmpfs(self, tmp, "200k"):
                self.assertEqual(run(*movie("64", "200", "1", "m.apng"), cwd=out,
                                     env=dict(os.environ, TMPDIR=tmp))[::2], (4, (
                    'rdsim-batch: "m.apng": ffmpeg stopped taking frames: the temporary folder '
                    '"%s", where the movie is made, is full (No space left on device); set '
                    'TMPDIR to a folder with room\n' % tmp)))
                self.assertEqual(os.listdir(out), [])
                self.assertEqual(os.listdir(tmp), [])

if __name__ == "__main__":
    batch_cli.main(unittest)
