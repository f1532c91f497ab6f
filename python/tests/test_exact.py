"""The package's runs are the command line's, bit for bit: every model, 1D and 2D, several
sizes and thread counts, steps split into pieces; sim.save writes the very files of
rdsim-batch --save, and the same record but for its program."""
import json
import os
import pathlib

import numpy as np
import pytest

import rdsim
from conftest import batch, same_bits

MODELS = ["gm", "schnakenberg", "gray-scott", "oregonator"]
# (dim, size, threads): two sizes a dimension, the 2D ones on 1 and 2 threads; odd sizes
# take the vector kernels' row ends.
GRIDS = [(1, 50, 1), (1, 129, 1), (2, 24, 1), (2, 37, 2), (2, 37, 1)]
STEPS = (150, 250)


def content(path):
    return pathlib.Path(path).read_bytes()


def record(path):
    return json.loads(content(path))


def without_program(record):
    return {k: v for k, v in record.items() if k != "program"}


@pytest.mark.parametrize("model", MODELS)
@pytest.mark.parametrize("dim,size,threads", GRIDS)
def test_fields_files_and_record_are_the_command_lines(tmp_path, model, dim, size, threads):
    run = ["--model", model, "--dim", dim, "--size", size, "--init", "random", "--seed", 11,
           "--threads", threads, "--steps", sum(STEPS), "--save", "cli"]
    batch(*run, cwd=tmp_path)
    sim = rdsim.Simulation(model, dim=dim, size=size, init="random", seed=11, threads=threads)
    for piece in STEPS:
        assert sim.step(piece) == piece
    assert sim.steps == sum(STEPS)
    files = sim.save(str(tmp_path / "py"))
    assert [os.path.basename(f) for f in files] == ["py-u.npy", "py-v.npy", "py.json"]
    for species, field in (("u", sim.u), ("v", sim.v)):
        saved = tmp_path / ("cli-%s.npy" % species)
        assert field.dtype == np.float32 and field.shape == (size,) * dim
        assert same_bits(field, np.load(saved))
        assert content(tmp_path / ("py-%s.npy" % species)) == content(saved)
    cli, py = record(tmp_path / "cli.json"), record(tmp_path / "py.json")
    assert py["program"] == "rdsim-python " + rdsim.__version__
    assert cli["program"] == "rdsim-batch " + rdsim.__version__
    # The saved files are named from the record's folder: py-u.npy against cli-u.npy.
    assert json.dumps(without_program(py)).replace("py-", "cli-") == \
        json.dumps(without_program(cli))
    assert py == sim.record() | {"saved": py["saved"]}


@pytest.mark.parametrize("model,settings,init", [
    ("gray-scott", {"kA": 0.035, "kB": "0.062", "uMax": 0.4}, "seeded"),
    ("schnakenberg", {"Du": "0.9", "kB": 0.8}, "random"),
    ("gm", {"kA": "0.09", "scale": 1.5}, "random"),
    ("gm", {"dt": 0.5, "dx": "0.012"}, "random"),  # the scheme's constants too
])
def test_settings_as_numbers_are_their_shortest_texts(tmp_path, model, settings, init):
    texts = {k: v if isinstance(v, str) else repr(v) for k, v in settings.items()}
    sets = [a for k, t in texts.items() for a in ("--set", "%s=%s" % (k, t))]
    batch("--model", model, "--size", 32, "--init", init, "--seed", 4, "--steps", 300,
          "--save", "cli", *sets, cwd=tmp_path)
    sim = rdsim.Simulation(model, size=32, init=init, seed=4, **settings)
    sim.step(300)
    sim.save(str(tmp_path / "py"))
    cli, py = record(tmp_path / "cli.json"), record(tmp_path / "py.json")
    assert (py["settings"], py["fields"]) == (cli["settings"], cli["fields"])
    assert {k: py["settings"]["boxes"][k] for k in texts} == texts


def test_a_float32_setting_is_its_own_shortest_text():
    sim = rdsim.Simulation("gm", size=8, kA=np.float32(0.1), kB=np.float64(0.25), kC=2)
    boxes = sim.record()["settings"]["boxes"]
    assert (boxes["kA"], boxes["kB"], boxes["kC"]) == ("0.1", "0.25", "2")
    assert sim.record()["settings"]["coefficients"]["kA"] == float(np.float32(0.1))


def test_loaded_fields_from_files_and_arrays_run_as_load_u(tmp_path, monkeypatch):
    u0, v0 = np.random.default_rng(5).uniform(0, 1, (2, 40, 40)).astype(np.float32)
    np.save(tmp_path / "u0.npy", u0)
    np.save(tmp_path / "v0.npy", v0)
    # Without a size the run takes the fields', on both sides.
    batch("--model", "gray-scott", "--load-u", "u0.npy", "--load-v", "v0.npy",
          "--steps", 400, "--save", "cli", cwd=tmp_path)
    cli = record(tmp_path / "cli.json")
    assert cli["settings"]["size"] == "40"
    monkeypatch.chdir(tmp_path)
    by_file = rdsim.Simulation("gray-scott", init=("u0.npy", "v0.npy"))
    # float64 and Fortran order are read as --load-u reads the float32 file.
    by_array = rdsim.Simulation("gray-scott",
                                init=(np.asfortranarray(u0.astype(np.float64)),
                                      v0.astype(">f4")))
    assert by_file.size == by_array.size == 40
    for sim in (by_file, by_array):
        sim.step(400)
        assert same_bits(sim.u, np.load("cli-u.npy")) and same_bits(sim.v, np.load("cli-v.npy"))
    by_file.save("py")
    py = record("py.json")
    assert (py["initial"], py["settings"]) == (cli["initial"], cli["settings"])
    # Arrays have no file to name: the record holds their SHA-256 as .npy files, which save
    # writes beside the fields for the record to name.
    assert by_array.record()["initial"] == {
        "kind": "load", "u": {"sha256": cli["initial"]["u"]["sha256"]},
        "v": {"sha256": cli["initial"]["v"]["sha256"]}}
    files = by_array.save("arr")
    assert files[:2] == ["arr-initial-u.npy", "arr-initial-v.npy"]
    assert content("arr-initial-u.npy") == content("u0.npy")
    assert record("arr.json")["initial"]["u"] == {"file": "arr-initial-u.npy",
                                      "sha256": cli["initial"]["u"]["sha256"]}


def test_assigning_a_field_starts_the_run_afresh_from_the_fields_held(tmp_path):
    sim = rdsim.Simulation("gm", size=30, init="random", seed=2)
    sim.step(120)
    v_then = sim.v
    u_new = np.full((30, 30), 0.5, np.float32)
    sim.u = u_new
    assert sim.steps == 0 and same_bits(sim.u, u_new) and same_bits(sim.v, v_then)
    sim.step(200)
    np.save(tmp_path / "u.npy", u_new)
    np.save(tmp_path / "v.npy", v_then)
    batch("--size", 30, "--load-u", "u.npy", "--load-v", "v.npy", "--steps", 200, "--save",
          "cli", cwd=tmp_path)
    assert same_bits(sim.u, np.load(tmp_path / "cli-u.npy")) and \
        same_bits(sim.v, np.load(tmp_path / "cli-v.npy"))


@pytest.mark.parametrize("model,dim", [("gm", 1), ("gray-scott", 2)])
def test_until_steady_stops_where_the_command_line_stops(tmp_path, model, dim):
    run = ["--model", model, "--dim", dim, "--size", 32, "--init", "random", "--seed", 12345]
    _, out, _ = batch(*run, "--steps", 1000000, "--until", "steady", "--report", "--save",
                      "cli", cwd=tmp_path)
    steps = record(tmp_path / "cli.json")["steps"]
    sim = rdsim.Simulation(model, dim=dim, size=32, init="random", seed=12345)
    assert sim.until_steady(1000000) == steps
    assert sim.steps == steps and sim.findings.state in out
    assert same_bits(sim.u, np.load(tmp_path / "cli-u.npy"))


def test_findings_are_the_reports(tmp_path):
    _, out, _ = batch("--size", 40, "--init", "random", "--seed", 12345, "--steps", 4000,
                      "--report", cwd=tmp_path)
    sim = rdsim.Simulation("gm", size=40, init="random", seed=12345)
    sim.step(4000)
    f = sim.findings
    assert "Run state: %s after 4000 steps" % f.state in out
    assert "Predicted wavelength: %.6g cells" % f.predicted in out
    assert "Measured wavelength: %.6g cells" % f.measured in out
    assert "contrast of u: %.9g" % f.contrast in out
    assert (f.steps, f.predicted_class) == (4000, "Turing-unstable")
    assert f.measured == rdsim.measure(sim.u).wavelength


def test_a_file_of_doubles_is_recorded_as_the_command_line_records_it(tmp_path, monkeypatch):
    u0 = np.linspace(0, 1, 24, dtype=np.float64) / 3
    np.save(tmp_path / "u.npy", u0)
    np.save(tmp_path / "v.npy", np.asfortranarray(np.ones(24)))
    batch("--dim", 1, "--load-u", "u.npy", "--load-v", "v.npy", "--steps", 50, "--save", "cli",
          cwd=tmp_path)
    monkeypatch.chdir(tmp_path)
    sim = rdsim.Simulation("gm", dim=1, init=("u.npy", "v.npy"))
    sim.step(50)
    sim.save("py")
    cli = record("cli.json")
    assert cli["initial"]["u"]["dtype"] == "<f8"
    assert without_program(record("py.json")) == \
        json.loads(json.dumps(without_program(cli)).replace("cli-", "py-"))
    assert content("py-u.npy") == content("cli-u.npy")
