"""Atlases and sweeps as labelled arrays: the command line's classes, findings and fields,
the same bits on local threads and on a Dask cluster of two worker processes."""
import csv
import io
import json
import math

import numpy as np
import pytest

import rdsim
from conftest import batch, same_bits

X, Y = ("kA", 0.01, 0.06, 5), ("kB", 0.045, 0.07, 4)


def cli_rows(path):
    return list(csv.DictReader(io.StringIO(path.read_text())))


def same_cell(value, text):
    """value is the number of a CSV cell, where "" stands for NaN; NaN equals NaN."""
    other = math.nan if text == "" else float(text)
    return value == other or (math.isnan(value) and math.isnan(other))


def test_the_analytic_atlas_is_the_command_lines(tmp_path):
    batch("atlas", "--model", "gray-scott", "--size", 64, "--x", "kA=0:0.1:40",
          "--y", "kB=0.03:0.08:30", "--csv", "a.csv", cwd=tmp_path)
    a = rdsim.atlas("gray-scott", x=("kA", 0, 0.1, 40), y=("kB", 0.03, 0.08, 30), size=64)
    assert a["class"].dims == ("kB", "kA") and a["class"].shape == (30, 40)
    names = a["class"].attrs["flag_meanings"].split()
    assert names == ["numerically-unstable", "turing", "oscillatory", "uniformly-unstable",
                     "bistable", "marginal", "stable", "no-state"]
    rows = cli_rows(tmp_path / "a.csv")
    assert len(rows) == 1200
    for r in rows:
        j, i = int(r["y_index"]), int(r["x_index"])
        p = a.isel(kB=j, kA=i)
        assert (str(p.kA_text.values), str(p.kB_text.values)) == (r["kA"], r["kB"])
        assert (float(p.kA), float(p.kB)) == (float(r["kA"]), float(r["kB"]))
        assert names[int(p["class"])] == r["class"]
        assert same_cell(float(p.wavelength), r["predicted_wavelength"])
        if r["kx"]:
            assert (int(p.kx), int(p.ky)) == (int(r["kx"]), int(r["ky"]))
    assert "turing" in {r["class"] for r in rows}
    assert json.loads(a.attrs["start_up"]) == [0.04, 0.06]


def test_a_simulated_atlas_is_the_command_lines_and_the_clusters(tmp_path, client):
    batch("atlas", "--model", "gray-scott", "--size", 24, "--x", "kA=0.01:0.06:5",
          "--y", "kB=0.045:0.07:4", "--simulate", "--steps", 600, "--init", "seeded",
          "--seed", 1, "--csv", "s.csv", cwd=tmp_path)
    run = dict(size=24, simulate=True, steps=600, init="seeded", seed=1, fields=True,
               progress=False)
    local = rdsim.atlas("gray-scott", x=X, y=Y, jobs=2, **run)
    one = rdsim.atlas("gray-scott", x=X, y=Y, jobs=1, **run)
    on_cluster = rdsim.atlas("gray-scott", x=X, y=Y, client=client, **run)
    for other in (one, on_cluster):
        identical(local, other)
    states = local.state.attrs["flag_meanings"].split()
    for r in cli_rows(tmp_path / "s.csv"):
        p = local.isel(kB=int(r["y_index"]), kA=int(r["x_index"]))
        assert states[int(p.state)] == r["state"].replace(" ", "-")
        assert int(p.steps) == int(r["steps"])
        assert same_cell(float(p.measured), r["measured_wavelength"])
        assert float(p.contrast) == float(r["contrast"])
    # Each tile is the run of its settings.
    sim = rdsim.Simulation("gray-scott", size=24, init="seeded", seed=1,
                           kA=str(local.kA_text.values[2]), kB=str(local.kB_text.values[1]))
    sim.step(600)
    assert same_bits(local.u.values[1, 2], sim.u) and same_bits(local.v.values[1, 2], sim.v)


def identical(a, b):
    assert set(a.variables) == set(b.variables)
    for name in a.variables:
        x, y = a[name].values, b[name].values
        if x.dtype.kind == "f":
            assert np.array_equal(x.view(np.uint32 if x.itemsize == 4 else np.uint64),
                                  y.view(np.uint32 if y.itemsize == 4 else np.uint64)), name
        else:
            assert np.array_equal(x, y), name
    assert a.attrs == b.attrs


def test_a_sweep_is_the_command_lines_and_the_clusters(tmp_path, client):
    (tmp_path / "sw").mkdir()
    batch("--model", "gray-scott", "--size", 24, "--dim", 1, "--init", "seeded", "--seed", 2,
          "--steps", 500, "--sweep", "kA=0.02:0.04:3", "--sweep", "kB=0.06:0.062:2",
          "--set", "uMax=0.4", "--save", "sw/gs", cwd=tmp_path)
    run = dict(dim=1, size=24, steps=500, init="seeded", seed=2, uMax=0.4, progress=False,
               kA=(0.02, 0.04, 3), kB=["0.06", 0.062])
    local = rdsim.sweep("gray-scott", **run)
    on_cluster = rdsim.sweep("gray-scott", client=client, **run)
    identical(local, on_cluster)
    assert local.u.dims == ("kA", "kB", "x") and local.u.shape == (3, 2, 24)
    rows = {(r["kA"], r["kB"]): r for r in cli_rows(tmp_path / "sw" / "gs-sweep.csv")}
    for i, ka in enumerate(local.kA_text.values):
        for j, kb in enumerate(local.kB_text.values):
            tag = "kA=%s-kB=%s" % (ka, kb)
            for species in "uv":
                saved = np.load(tmp_path / "sw" / ("gs-%s-%s.npy" % (tag, species)))
                assert same_bits(local[species].values[i, j], saved)
            r = rows[(ka, kb)]
            assert local.state.attrs["flag_meanings"].split()[int(local.state[i, j])] == \
                r["state"].replace(" ", "-")
            assert int(local.steps[i, j]) == int(r["steps"])


def test_stored_sweep_fields_and_the_memory_limit(tmp_path, monkeypatch):
    run = dict(size=16, steps=100, init="random", seed=3, progress=False)
    held = rdsim.sweep("gm", kA=[0.08, 0.1], **run)
    stored = rdsim.sweep("gm", kA=[0.08, 0.1], store=str(tmp_path / "f.h5"), **run)
    assert same_bits(held.u.values, stored.u.values)
    assert same_bits(held.v.values, stored.v.values)
    assert list(stored.kA_text.values) == ["0.08", "0.1"]
    assert stored.state.attrs["flag_meanings"] == held.state.attrs["flag_meanings"]
    import rdsim._maps as maps
    monkeypatch.setattr(maps, "FIELDS_IN_MEMORY", 2 * 16 * 16 * 4 * 2 - 1)
    with pytest.raises(ValueError, match="give store="):
        rdsim.sweep("gm", kA=[0.08, 0.1], **run)
    with pytest.raises(ValueError, match="give store="):
        rdsim.atlas("gm", x=("kA", [0.08, 0.1]), y=("kB", [1]), simulate=True, fields=True,
                    **run)


@pytest.mark.parametrize("call,error,message", [
    (lambda: rdsim.atlas("gm", x=("kA", 0, 1, 3), y=("kA", 0, 1, 3)), ValueError,
     "two different settings"),
    (lambda: rdsim.atlas("gm", x=("kA", 0, 1, 3), y=("kB", 0, 1, 3), steps=10), ValueError,
     "needs simulate=True"),
    (lambda: rdsim.atlas("gm", x=("kA", 0, 1, 3), y=("kB", 0, 1, 3), simulate=True),
     ValueError, "needs steps="),
    (lambda: rdsim.atlas("gm", x=("kX", 0, 1, 3), y=("kB", 0, 1, 3)), rdsim.SettingsError,
     'unknown setting "kX"'),
    (lambda: rdsim.atlas("gm", x=("kA", ["0.1", "x"]), y=("kB", [1])), rdsim.SettingsError,
     'kA="x"'),
    (lambda: rdsim.atlas("gm", x=("kA", 0, 1, 0), y=("kB", [1])), ValueError, "kA count=0"),
    (lambda: rdsim.sweep("gm", steps=10), ValueError, "no setting to sweep"),
    (lambda: rdsim.sweep("gm", steps=10, kA=["0.1", "bad"]), rdsim.SettingsError,
     'kA=bad: kA="bad"'),
    (lambda: rdsim.sweep("gm", steps=10, init="seeded", scale=1.5, kA=["0.09"]),
     rdsim.DescriptionError, "kA=0.09: the Gierer-Meinhardt model has no stable uniform state"),
])
def test_bad_maps_and_sweeps_are_refused_before_anything_runs(call, error, message):
    with pytest.raises(error) as e:
        call()
    assert message in str(e.value)
