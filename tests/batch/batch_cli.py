"""What the batch tool's command-line tests share: the tool's path and running it."""
import os
import pty
import resource
import subprocess
import sys

import numpy as np
from PIL import Image

EXE = None


def main(unittest):
    """Takes the tool's path from the command line, then runs the module's tests."""
    global EXE
    EXE = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=1)


def run(*args, cwd=None, limit=None):
    """Runs the tool; returns (exit status, stdout, stderr). `limit` caps its address space."""
    def cap():
        if limit:
            resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
    p = subprocess.run([EXE] + [str(a) for a in args], cwd=cwd, capture_output=True, text=True,
                       timeout=600, preexec_fn=cap)
    return p.returncode, p.stdout, p.stderr


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


def content(path):
    with open(path, "rb") as f:
        return f.read()


def pixels(path):
    """A picture's pixels as rows of RGB."""
    with Image.open(path) as im:
        return np.asarray(im.convert("RGB"))


def png_text(path):
    """A PNG's text chunks as {key: text}."""
    with Image.open(path) as im:
        return dict(im.text)
