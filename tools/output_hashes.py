#!/usr/bin/python3
"""The SHA-256 of everything a fixed set of rdsim-batch commands writes and prints.

    tools/output_hashes.py record BATCH MANIFEST    run the commands, write the manifest
    tools/output_hashes.py compare OLD NEW          report every difference, exit 1 if any

Run it with the tool of two builds (before and after a change that must not change any
output) and compare the manifests. Every command runs in a fresh folder; the manifest holds,
per command, its exit status, the hash of every line it printed (standard output and error,
elapsed times and progress lines masked) and the hash of every file it left behind.
"""

import hashlib
import os
import re
import struct
import subprocess
import sys
import tempfile

# Runs 1D and 2D of every model, frames, kymograph, movie, sweeps with CSV, --report,
# --until steady, analyze with CSV and plot, both maps, shards and merges, replay, pictures
# in every style, and refusals. "$" starts a command that runs in the previous folder.
STYLE = ["--colormap", "viridis", "--range", "auto", "--zoom", "3", "--colorbar", "--annotate"]
COMMANDS = [
    ["--help"],
    ["analyze", "--help"],
    ["atlas", "--help"],
    ["replay", "--help"],
    ["--version"],
]
for model in ["gm", "schnakenberg", "gray-scott", "oregonator"]:
    for dim in ["1", "2"]:
        COMMANDS.append(["--model", model, "--dim", dim, "--size", "40", "--init", "random",
                         "--seed", "7", "--steps", "1500", "--save", "r", "--image", "r.png"])
COMMANDS += [
    ["--model", "gm", "--size", "48", "--init", "random", "--seed", "3", "--steps", "3000",
     "--image", "styled.png", "--save", "styled"] + STYLE,
    ["--model", "gray-scott", "--size", "48", "--set", "kA=0.035", "--set", "kB=0.062",
     "--set", "uMax=0.4", "--init", "seeded", "--seed", "1", "--steps", "2000", "--species",
     "v", "--colormap", "magma", "--range", "0:1", "--image", "gsv.png", "--report"],
    ["--model", "gm", "--size", "32", "--init", "random", "--seed", "5", "--steps", "600",
     "--every", "200", "--image", "f-%03d.png", "--colormap", "inferno", "--range", "auto"],
    ["--model", "gm", "--dim", "1", "--size", "64", "--init", "random", "--seed", "5",
     "--steps", "2000", "--every", "20", "--kymograph", "k.png", "--image", "f-%02d.bmp"],
    ["--model", "gm", "--size", "24", "--init", "random", "--seed", "9", "--steps", "400",
     "--every", "100", "--movie", "m.apng", "--zoom", "2", "--fps", "5"],
    ["--model", "gray-scott", "--size", "32", "--init", "seeded", "--seed", "2", "--steps",
     "1500", "--sweep", "kA=0.02:0.04:3", "--sweep", "kB=0.06:0.062:2", "--save", "sw/gs",
     "--image", "sw/gs.png", "--jobs", "2"],
    ["--model", "gm", "--dim", "1", "--size", "32", "--init", "random", "--seed", "12345",
     "--steps", "1000000", "--until", "steady", "--report", "--save", "settled"],
    ["--model", "gm", "--size", "40", "--init", "random", "--seed", "12345", "--steps",
     "4000", "--report"],
    ["--model", "oregonator", "--size", "32", "--init", "random", "--seed", "12345",
     "--steps", "3000", "--report", "--save", "ore"],
    ["analyze", "--csv", "d.csv", "--plot", "d.png"],
    ["analyze", "--model", "gray-scott", "--dim", "1", "--size", "64", "--set", "kA=0.046",
     "--set", "kB=0.0594", "--plot", "gs.png"],
    ["analyze", "--model", "schnakenberg", "--size", "50", "--csv", "s.csv"],
    ["analyze", "--model", "oregonator"],
    ["atlas", "--model", "gray-scott", "--x", "kA=0:0.1:60", "--y", "kB=0.03:0.08:50",
     "--image", "a.png", "--csv", "a.csv"],
    ["atlas", "--model", "gm", "--x", "kA=0:0.2:30", "--y", "kB=0.5:2:20", "--csv", "g.csv",
     "--image", "g.png", "--jobs", "2"],
    ["atlas", "--model", "gray-scott", "--size", "24", "--x", "kA=0.01:0.06:4", "--y",
     "kB=0.045:0.07:3", "--simulate", "--steps", "1500", "--init", "seeded", "--seed", "1",
     "--image", "m.png", "--csv", "m.csv", "--tile", "24"],
    # A split map and a split sweep, then their merges, in one folder.
    ["atlas", "--model", "gray-scott", "--size", "16", "--x", "kA=0.01:0.06:3", "--y",
     "kB=0.045:0.07:3", "--simulate", "--steps", "800", "--init", "seeded", "--seed", "1",
     "--image", "s.png", "--csv", "s.csv", "--tile", "16", "--shard", "1/2"],
    ["$", "atlas", "--model", "gray-scott", "--size", "16", "--x", "kA=0.01:0.06:3", "--y",
     "kB=0.045:0.07:3", "--simulate", "--steps", "800", "--init", "seeded", "--seed", "1",
     "--image", "s.png", "--csv", "s.csv", "--tile", "16", "--shard", "2/2"],
    ["$", "atlas", "--model", "gray-scott", "--size", "16", "--x", "kA=0.01:0.06:3", "--y",
     "kB=0.045:0.07:3", "--simulate", "--steps", "800", "--init", "seeded", "--seed", "1",
     "--image", "s.png", "--csv", "s.csv", "--tile", "16", "--merge"],
    ["$", "--model", "schnakenberg", "--size", "16", "--init", "random", "--seed", "4",
     "--steps", "300", "--sweep", "kA=0.1:0.2:3", "--save", "p", "--shard", "1/2"],
    ["$", "--model", "schnakenberg", "--size", "16", "--init", "random", "--seed", "4",
     "--steps", "300", "--sweep", "kA=0.1:0.2:3", "--save", "p", "--shard", "2/2"],
    ["$", "--model", "schnakenberg", "--size", "16", "--init", "random", "--seed", "4",
     "--steps", "300", "--sweep", "kA=0.1:0.2:3", "--save", "p", "--merge"],
    # A run, its replay from the record and from the PNG, then a changed saved field.
    ["--model", "gm", "--size", "32", "--init", "random", "--seed", "12345", "--steps", "800",
     "--image", "pattern.png", "--save", "pattern"],
    ["$", "replay", "pattern.json"],
    ["$", "replay", "pattern.png"],
    ["$", "@poke", "pattern-u.npy"],
    ["$", "replay", "pattern.json"],
    # Loaded fields.
    ["$", "--model", "gm", "--size", "32", "--load-u", "pattern-v.npy", "--load-v",
     "pattern-v.npy", "--steps", "100", "--save", "loaded"],
    ["$", "replay", "loaded.json"],
    # Refusals.
    ["--set", "kA=abc", "--save", "x"],
    ["--model", "nope"],
    ["--size", "5000", "--save", "x"],
    ["--sweep", "kA=1:2:0", "--save", "x"],
    ["atlas", "--x", "kA=0:1:3"],
    ["analyze", "--size", "1"],
    ["replay", "missing.json"],
    ["--model", "oregonator", "--init", "seeded", "--seed", "1", "--save", "x"],
    ["--model", "gm", "--set", "Du=1000000", "--init", "random", "--seed", "1", "--steps",
     "50", "--save", "boom"],
]

MASKS = [
    (re.compile(r"\d+(\.\d+)? s\b"), "<time> s"),
    (re.compile(r"in \d+\.\d+ s"), "in <time> s"),
]


def mask(line):
    for pattern, replacement in MASKS:
        line = pattern.sub(replacement, line)
    return line


def lines_of(data):
    # Progress lines are written with carriage returns; a line's last part is what stays.
    out = []
    for line in data.decode("utf-8", "replace").split("\n"):
        if "\r" in line:
            continue
        out.append(mask(line))
    return out


def sha(data):
    return hashlib.sha256(data).hexdigest()


def poke(path):
    # One cell of a saved field set to 0.5: the replay must name it.
    data = bytearray(open(path, "rb").read())
    data[-4:] = struct.pack("<f", 0.5)
    open(path, "wb").write(bytes(data))


def record(batch, manifest):
    batch = os.path.abspath(batch)
    entries = []
    folder = None
    with tempfile.TemporaryDirectory() as root:
        for number, command in enumerate(COMMANDS):
            if command[0] != "$" or folder is None:
                folder = os.path.join(root, "c%02d" % number)
                os.makedirs(os.path.join(folder, "sw"))
            else:
                command = command[1:]
            name = " ".join(command)
            if command[0] == "@poke":
                poke(os.path.join(folder, command[1]))
                entries.append("%s\tpoked" % name)
                continue
            before = {}
            for dirpath, _, files in os.walk(folder):
                for f in files:
                    p = os.path.join(dirpath, f)
                    before[p] = sha(open(p, "rb").read())
            r = subprocess.run([batch] + command, cwd=folder, capture_output=True,
                               env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
            entries.append("%s\texit %d" % (name, r.returncode))
            for stream, data in (("out", r.stdout), ("err", r.stderr)):
                for k, line in enumerate(lines_of(data)):
                    entries.append("%s\t%s %d\t%s\t%s" % (name, stream, k, sha(line.encode()),
                                                          line[:100]))
            for dirpath, _, files in sorted(os.walk(folder)):
                for f in sorted(files):
                    p = os.path.join(dirpath, f)
                    h = sha(open(p, "rb").read())
                    if before.get(p) != h:
                        entries.append("%s\tfile %s\t%s" % (name, os.path.relpath(p, folder), h))
    with open(manifest, "w") as out:
        out.write("\n".join(entries) + "\n")
    print("%d commands, %d entries written to %s" % (len(COMMANDS), len(entries), manifest))


def compare(old, new):
    a = open(old).read().splitlines()
    b = open(new).read().splitlines()
    key = lambda e: "\t".join(e.split("\t")[:3])
    differences = 0
    for entry in sorted(set(a) ^ set(b), key=key):
        side = "before" if entry in a else "after "
        print("%s  %s" % (side, entry))
        differences += 1
    if differences == 0:
        print("no difference: %d entries" % len(a))
        return 0
    print("%d entries differ" % differences)
    return 1


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "record":
        record(sys.argv[2], sys.argv[3])
        return 0
    if len(sys.argv) == 4 and sys.argv[1] == "compare":
        return compare(sys.argv[2], sys.argv[3])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main())
