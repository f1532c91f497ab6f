"""What the batch tool's command-line tests share: the tool's path and running it."""
import contextlib
import glob
import os
import pty
import resource
import signal
import subprocess
import sys
import tempfile
import time

import numpy as np
from PIL import Image

EXE = None
SANITIZED = bool(os.environ.get("RDSIM_SANITIZED"))


def main(unittest):
    """Takes the tool's path from the command line, then runs the module's tests."""
    global EXE
    EXE = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=1)


def run(*args, cwd=None, limit=None, env=None):
    """Runs the tool; returns (exit status, stdout, stderr). `limit` caps its address space."""
    def cap():
        if limit:
            resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
    p = subprocess.run([EXE] + [str(a) for a in args], cwd=cwd, capture_output=True, text=True,
                       timeout=600, preexec_fn=cap, env=env)
    return p.returncode, p.stdout, p.stderr


def ok(*args, silent=False, **kwargs):
    """Runs the tool, which must succeed (and say nothing if `silent`); returns its stdout."""
    code, out, err = run(*args, **kwargs)
    if code != 0 or (silent and err):
        raise AssertionError("exit %d: %s" % (code, err))
    return out


def refused(test, args, message, code=2, anywhere=False, cwd=None, left=()):
    """Runs the tool in cwd (or a new folder): it must exit `code` with nothing on stdout, one
    line on stderr starting with (or, `anywhere`, holding) `message`, and leave only `left`."""
    with tempfile.TemporaryDirectory() as d:
        status, out, err = run(*args, cwd=cwd or d)
        test.assertEqual((status, out, err.count("\n")), (code, "", 1), err)
        test.assertTrue(message in err if anywhere else err.startswith(message), err)
        test.assertEqual(sorted(os.listdir(cwd or d)), list(left))


def start(*args, cwd=None, env=None, stdout=subprocess.DEVNULL):
    """Starts the tool with stderr piped as text."""
    return subprocess.Popen([EXE] + [str(a) for a in args], cwd=cwd, env=env, stdout=stdout,
                            stderr=subprocess.PIPE, text=True)


def wait_until(p, done, seconds=600):
    """Waits for done() while p runs; fails if p ends first."""
    deadline = time.monotonic() + seconds
    while not done():
        if p.poll() is not None or time.monotonic() > deadline:
            raise AssertionError("ended early" if p.poll() is not None else "waited in vain")
        time.sleep(0.002)


def interrupt_at_part(p, d, name):
    """Sends SIGINT once the temporary of `name` is in d; returns (exit status, stderr)."""
    wait_until(p, lambda: glob.glob(os.path.join(d, ".%s.part-*" % name)), 120)
    p.send_signal(signal.SIGINT)
    err = p.communicate(timeout=120)[1]
    return p.returncode, err


def ended_within(p, seconds, what):
    """p's (stdout, stderr); p must end by itself within `seconds`."""
    try:
        return p.communicate(timeout=seconds)
    except subprocess.TimeoutExpired:
        p.kill()
        p.communicate()
        raise AssertionError("%s did not end within %d s" % (what, seconds))


@contextlib.contextmanager
def tmpfs(test, folder, size, options=""):
    """A small tmpfs mounted on folder for the block; skips the test where it cannot be."""
    if subprocess.run(["mount", "-t", "tmpfs", "-o", options + "size=" + size, "tmpfs", folder],
                      capture_output=True).returncode != 0:
        test.skipTest("cannot mount a tmpfs here")
    try:
        yield
    finally:
        subprocess.run(["umount", folder])


def content(path):
    with open(path, "rb") as f:
        return f.read()


def read(path):
    with open(path) as f:
        return f.read()


def write(path, data):
    with open(path, "wb" if isinstance(data, bytes) else "w") as f:
        f.write(data)


def pixels(path):
    """A picture's pixels as rows of RGB."""
    with Image.open(path) as im:
        return np.asarray(im.convert("RGB"))


def png_text(path):
    """A PNG's text chunks as {key: text}."""
    with Image.open(path) as im:
        return dict(im.text)


def run_on_terminal(*args, cwd=None):
    """Runs the tool with standard error on a terminal; returns (exit status, stderr)."""
    master, slave = pty.openpty()
    p = subprocess.Popen([EXE] + [str(a) for a in args], cwd=cwd, stdout=subprocess.DEVNULL,
                         stderr=slave)
    os.close(slave)
    chunks = []
    while True:
        try:
            data = os.read(master, 4096)
        except OSError:
            break
        if not data:
            break
        chunks.append(data)
    os.close(master)
    return p.wait(timeout=300), b"".join(chunks).decode()
