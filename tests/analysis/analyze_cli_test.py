"""rdsim-batch analyze seen from outside: refusals, the report, the CSV and the plot."""
import csv
import os
import subprocess
import sys
import tempfile

from PIL import Image

EXE = sys.argv[1]
failures = []


def run(*args):
    return subprocess.run([EXE, "analyze", *args], capture_output=True, text=True)


def check(condition, what):
    if not condition:
        failures.append(what)


with tempfile.TemporaryDirectory() as tmp:
    refusals = [
        (["--size", "1"], 2, "at least 2 cells"),
        (["--plot", os.path.join(tmp, "p.jpg")], 2, ".png"),
        (["--set", "Du=x"], 2, "Du"),
        (["--csv", os.path.join(tmp, "missing", "d.csv")], 4, "cannot write"),
        (["--model", "oregonator", "--set", "kC=0"], 2, "division by zero"),
    ]
    for args, status, words in refusals:
        r = run(*args)
        check(r.returncode == status, f"{args}: exit {r.returncode}, expected {status}")
        check(words in r.stderr, f"{args}: stderr {r.stderr!r} lacks {words!r}")

    table, plot = os.path.join(tmp, "d.csv"), os.path.join(tmp, "d.png")
    r = run("--model", "schnakenberg", "--dim", "1", "--size", "16", "--csv", table,
            "--plot", plot)
    check(r.returncode == 0, f"analyze: exit {r.returncode}: {r.stderr}")
    check("Class: Turing-unstable" in r.stdout, "report lacks the class")
    check("Expect: peaks about" in r.stdout, "report lacks what to expect")
    with open(table, newline="") as f:
        rows = list(csv.DictReader(f))
    check(len(rows) == 16, f"{len(rows)} CSV rows for 16 modes")
    check([int(row["kx"]) for row in rows] == list(range(16)), "modes out of order")
    check(float(rows[0]["eigenvalue"]) == 0.0 and float(rows[15]["eigenvalue"]) == -4.0,
          "eigenvalues of the ends")
    fastest = max(rows, key=lambda row: float(row["growth_factor"]))
    check(float(fastest["growth_factor"]) > 1.0, "no growing mode in a Turing-unstable state")
    check(f"Fastest grid mode: {fastest['kx']}," in r.stdout, "report and CSV disagree")
    with open(plot, "rb") as f:
        check(f.read(8) == b"\x89PNG\r\n\x1a\n", "the plot is not a PNG")
    check(sorted(os.listdir(tmp)) == ["d.csv", "d.png"], f"files left: {os.listdir(tmp)}")

    # A bistable point: the plot is of a stable state, never the saddle between them, and
    # names every state with its class, in its picture and in its text.
    plot = os.path.join(tmp, "gs.png")
    r = run("--model", "gray-scott", "--dim", "1", "--size", "64", "--set", "kA=0.046",
            "--set", "kB=0.0594", "--plot", plot)
    check(r.returncode == 0, f"analyze: exit {r.returncode}: {r.stderr}")
    with Image.open(plot) as im:
        text = dict(im.text)
    check(text.get("Title") == "Gray-Scott, 1D, N = 64: u* = 0.25845, v* = 0.40782 (stable)",
          f"title {text.get('Title')!r}")
    check(text.get("Description", "").split("\n") == [
        "Uniform states (the point is bistable, saddles aside):",
        "state 1: u* = 0, v* = 1, stable: also gives the point its class",
        "state 2: u* = 0.177987, v* = 0.592177, unstable at the uniform mode (a saddle)",
        "state 3: u* = 0.258445, v* = 0.407823, stable: plotted"],
        f"states {text.get('Description')!r}")

for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
