#!/usr/bin/python3
"""The C++ example runs, says what it found, and its files replay with the command line."""

import os
import subprocess
import sys
import tempfile

import numpy as np


def main():
    example, batch = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as folder:
        r = subprocess.run([example, os.path.join(folder, "gm")], capture_output=True, text=True)
        assert r.returncode == 0, r.stderr
        lines = r.stdout.splitlines()
        assert lines[0] == "run state: still changing after 20000 steps", lines
        # The start-up settings with kA = 0.1 are Turing-unstable: a wavelength, and a
        # measured one near it.
        predicted = float(lines[1].split()[2])
        measured = float(lines[2].split()[2])
        assert "Turing-unstable" in lines[1], lines[1]
        assert abs(measured - predicted) < 0.25 * predicted, (predicted, measured)
        u = np.load(os.path.join(folder, "gm-u.npy"))
        assert u.shape == (128, 128) and u.dtype == np.float32
        assert u.max() - u.min() > 0.1  # a pattern, not a flat field
        # The same run from the command line gives the same bytes.
        r = subprocess.run([batch, "--init", "random", "--seed", "12345", "--set", "kA=0.1",
                            "--steps", "20000", "--save", os.path.join(folder, "cli")],
                           capture_output=True, text=True)
        assert r.returncode == 0, r.stderr
        for species in "uv":
            a = open(os.path.join(folder, "gm-%s.npy" % species), "rb").read()
            b = open(os.path.join(folder, "cli-%s.npy" % species), "rb").read()
            assert a == b, species
        r = subprocess.run([batch, "replay", os.path.join(folder, "gm.json")],
                           capture_output=True, text=True)
        assert r.returncode == 0, r.stdout + r.stderr
        assert r.stdout.splitlines()[-1].startswith("reproduced bit for bit: 20000 steps"), r.stdout
    print("ok")


if __name__ == "__main__":
    main()
