"""What the batch tool's command-line tests share: the tool's path and running it."""
import os
import pty
import struct
import zlib
import resource
import subprocess
import sys

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


PNG_MAGIC = b"\x89PNG\r\n\x1a\n"
TEXT_CHUNKS = (b"tEXt", b"zTXt", b"iTXt")


def png_chunks(data):
    """The (type, body, whole chunk) of every chunk of a PNG file's bytes."""
    assert data.startswith(PNG_MAGIC)
    at = len(PNG_MAGIC)
    while at < len(data):
        size, = struct.unpack(">I", data[at:at + 4])
        yield data[at + 4:at + 8], data[at + 8:at + 8 + size], data[at:at + 12 + size]
        at += 12 + size


def png_text(path):
    """A PNG's text chunks as {key: text}."""
    text = {}
    for kind, body, _ in png_chunks(content(path)):
        if kind == b"tEXt":
            key, value = body.split(b"\0", 1)
        elif kind == b"zTXt":
            key, rest = body.split(b"\0", 1)
            value = zlib.decompress(rest[1:])
        else:
            continue
        text[key.decode("latin-1")] = value.decode("latin-1")
    return text


def without_text(data):
    """A file's bytes, for a PNG without its text chunks (the picture alone)."""
    if not data.startswith(PNG_MAGIC):
        return data
    return PNG_MAGIC + b"".join(c for kind, _, c in png_chunks(data) if kind not in TEXT_CHUNKS)
