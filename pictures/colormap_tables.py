#!/usr/bin/python3
"""Writes the C++ header of the colour tables from the system's plotting library, so that the
tables are the published ones and never typed by hand.

Usage: colormap_tables.py OUTPUT.h
"""
import os
import sys

from matplotlib import colormaps

NAMES = ["viridis", "magma", "inferno", "cividis"]


def byte(x):
    # Half to even, as the published 8-bit renderings of the tables round.
    return int(round(x * 255.0))


def main(path):
    lines = ["// Written at build time by colormap_tables.py; do not edit.", "#pragma once",
             "#include <array>", "#include <cstdint>", "namespace rd::pictures::tables {"]
    for name in NAMES:
        cmap = colormaps[name]
        assert cmap.N == 256, name
        entries = []
        for k in range(256):
            r, g, b, _ = cmap(k)
            entries.append("0x%02x%02x%02xu" % (byte(r), byte(g), byte(b)))
        lines.append("inline constexpr std::array<std::uint32_t, 256> k%s {" % name.capitalize())
        for k in range(0, 256, 8):
            lines.append("    " + ", ".join(entries[k:k + 8]) + ",")
        lines.append("};")
    lines.append("} // namespace rd::pictures::tables")
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    with open(path + ".tmp", "w") as f:
        f.write("\n".join(lines) + "\n")
    os.replace(path + ".tmp", path)


if __name__ == "__main__":
    main(sys.argv[1])
