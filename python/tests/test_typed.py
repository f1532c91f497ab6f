"""Typed models in the package: a Model from a file or from Python goes where a model's name
goes, runs bit for bit as the command line runs it, sweeps on threads and on a cluster,
replays without its file; the scheme's constants dt and dx are settings of every model."""
import json
import os
import pathlib
import shutil

import numpy as np
import pytest

import rdsim
from conftest import batch, same_bits

MODELS = pathlib.Path(__file__).resolve().parents[2] / "models"
RATES = dict(rate_u="a - (b + 1)*u + u^2*v", rate_v="b*u - u^2*v")
FILE_SETTINGS = dict(Du=2, Dv=16, scale="0.005", uMax=9, vMax=4)


def brusselator():
    return rdsim.Model(**RATES, params={"a": 4.5, "b": "7.5"})


def test_a_model_file_and_the_same_model_from_python_run_as_the_command_line(tmp_path):
    from_file = rdsim.Model.from_file(MODELS / "brusselator.toml")
    assert (from_file.name, from_file.params, from_file.clamp) == \
        ("Brusselator", {"a": "4.5", "b": "7.5"}, True)
    assert from_file.defaults == {k: str(v) for k, v in FILE_SETTINGS.items()}
    assert from_file.setting_names == ("uMax", "vMax", "scale", "Du", "Dv", "a", "b", "dt",
                                       "dx")
    batch("--model-file", MODELS / "brusselator.toml", "--size", 30, "--init", "random",
          "--seed", 4, "--steps", 700, "--threads", 2, "--save", "cli", cwd=tmp_path)
    a = rdsim.Simulation(from_file, size=30, init="random", seed=4, threads=2)
    b = rdsim.Simulation(brusselator(), size=30, init="random", seed=4, **FILE_SETTINGS)
    for sim in (a, b):
        sim.step(300)
        sim.step(400)
        assert same_bits(sim.u, np.load(tmp_path / "cli-u.npy")) and \
            same_bits(sim.v, np.load(tmp_path / "cli-v.npy"))
    a.save(str(tmp_path / "py"))
    assert (tmp_path / "py-u.npy").read_bytes() == (tmp_path / "cli-u.npy").read_bytes()
    py, cli = (json.loads((tmp_path / f).read_text()) for f in ("py.json", "cli.json"))
    assert py["settings"] == cli["settings"]
    assert a.model is from_file and "Brusselator" in repr(a)


def test_the_restated_schnakenberg_is_the_built_in_model():
    typed = rdsim.Simulation(rdsim.Model.from_file(MODELS / "schnakenberg.toml"), dim=1,
                             size=64, init="random", seed=2)
    builtin = rdsim.Simulation("schnakenberg", dim=1, size=64, init="random", seed=2)
    for sim in (typed, builtin):
        sim.step(2500)
    assert same_bits(typed.u, builtin.u) and same_bits(typed.v, builtin.v)
    mine, theirs = typed.findings, builtin.findings
    assert (mine.predicted_class, mine.state, mine.measured) == \
        (theirs.predicted_class, theirs.state, theirs.measured)
    for name in ("predicted", "state_u", "state_v"):
        assert getattr(mine, name) == pytest.approx(getattr(theirs, name), rel=1e-9), name


def test_the_brusselator_is_analysed_as_its_closed_forms_say():
    # Steady state (a, b/a); Turing-unstable beyond b_c = (1 + a sqrt(Du/Dv))^2 = 6.71 for
    # a = 4.5, Du/Dv = 1/8; the Hopf line b = 1 + a^2 lies far above.
    analysis = rdsim.analyze(brusselator(), size=128, **FILE_SETTINGS)
    assert analysis.model == "custom" and analysis.states_complete
    assert analysis.scheme["box"] == (0, 9, 0, 4)
    (state,) = analysis.states
    assert (state.u, state.v) == (pytest.approx(4.5, rel=1e-12), pytest.approx(7.5 / 4.5, rel=1e-12))
    jacobian = [[7.5 - 1, 4.5 ** 2], [-7.5, -4.5 ** 2]]
    assert np.allclose(state.jacobian, jacobian, rtol=1e-12, atol=0)
    assert state.kind == "turing" and analysis.featured is state and state.wavelength > 2
    below = rdsim.analyze(brusselator(), size=128, b=6, **FILE_SETTINGS)
    assert [s.kind for s in below.states] == ["stable"]


def test_an_atlas_of_the_brusselator_parts_its_turing_region_where_the_threshold_lies():
    atlas = rdsim.atlas(brusselator(), x=("a", [4, 5]), y=("b", [4.5, 9.5]), size=64,
                        **FILE_SETTINGS)
    names = atlas["class"].attrs["flag_meanings"].split()
    classes = [[names[c] for c in row] for row in atlas["class"].values]
    # b_c is 5.83 for a = 4 and 7.66 for a = 5: below it stable, above it Turing-unstable.
    assert classes == [["stable", "stable"], ["turing", "turing"]]
    assert np.isnan(atlas["wavelength"].values[0]).all()
    assert (atlas["wavelength"].values[1] > 2).all()


def test_a_seeded_start_of_a_typed_model_rests_on_its_stable_state():
    sim = rdsim.Simulation(brusselator(), size=60, init="seeded", seed=5, b=6, **FILE_SETTINGS)
    corner = sim.u[:5, :5]
    assert np.all(np.abs(corner / 4.5 - 1) <= 0.01) and np.any(corner != np.float32(4.5))
    middle = sim.u[30, 30]
    assert abs(middle / (1.5 * 4.5) - 1) <= 0.01


def test_records_replay_without_the_model_file(tmp_path):
    shutil.copy(MODELS / "lengyel-epstein.toml", tmp_path / "le.toml")
    sim = rdsim.Simulation(rdsim.Model.from_file(tmp_path / "le.toml"), size=20,
                           init="random", seed=1, b=4.5)
    sim.step(500)
    sim.save(str(tmp_path / "run"))
    os.remove(tmp_path / "le.toml")
    assert rdsim.replay(tmp_path / "run.json").reproduced
    _, out, _ = batch("replay", "run.json", cwd=tmp_path)
    assert "reproduced bit for bit: 500 steps" in out


@pytest.mark.parametrize("call,error,message", [
    (lambda: rdsim.Model("a*u + w", "v", {"a": 1}), rdsim.ModelError,
     'rate_u="a*u + w": column 7: unknown name "w"; the names are u, v, a and the functions'),
    (lambda: rdsim.Model("u", "(v", {}), rdsim.ModelError, 'rate_v="(v": column 3: expected'),
    (lambda: rdsim.Model("u", "v", {"u": 1}), rdsim.ModelError,
     "params: \"u\": u and v are the model's variables"),
    (lambda: rdsim.Model("u", "v", {"dx": 1}), rdsim.ModelError,
     'params: "dx": dx is a setting of every model'),
    (lambda: rdsim.Model("u", "v", {"a": "x"}), rdsim.ModelError,
     'params: a="x" is not a number'),
    (lambda: rdsim.Model("u", "v", name="a\nb"), rdsim.ModelError,
     "the name holds a control character"),
    (lambda: rdsim.Model("u", "v", clamp=1), TypeError, "clamp: True or False"),
    (lambda: rdsim.Model.from_file("missing.toml"), rdsim.ModelError,
     "missing.toml: cannot be read"),
    (lambda: rdsim.Simulation(brusselator(), kA=1), TypeError,
     "unknown setting 'kA' (uMax, vMax, scale, Du, Dv, a, b, dt, dx)"),
    (lambda: rdsim.Simulation(brusselator(), b="x"), rdsim.SettingsError,
     'b="x": parameter b of custom: "x" is not a number.'),
    (lambda: rdsim.Simulation(brusselator(), init="seeded", b=30, **FILE_SETTINGS),
     rdsim.DescriptionError, "the custom model has no stable uniform state"),
    (lambda: rdsim.Simulation("gm", dx=0), rdsim.SettingsError,
     'dx="0": cell size dx: "0" must be greater than 0.'),
])
def test_mistakes_are_named(call, error, message):
    with pytest.raises(error) as e:
        call()
    assert message in str(e.value)


def test_a_sweep_over_parameters_is_the_same_on_threads_and_on_a_cluster(client):
    model = rdsim.Model.from_file(MODELS / "thomas.toml")
    kwargs = dict(steps=300, size=16, init="random", seed=3, rho=[12, 13], Dv=(10, 14, 3))
    local = rdsim.sweep(model, jobs=2, **kwargs)
    remote = rdsim.sweep(model, client=client, **kwargs)
    assert local.attrs["model"] == "Thomas"
    assert local["u"].shape == (2, 3, 16, 16)
    for name in ("u", "v", "measured", "contrast"):
        assert same_bits(local[name].values.astype(np.float32),
                         remote[name].values.astype(np.float32)), name
    one = rdsim.Simulation(model, size=16, init="random", seed=3, rho="13", Dv="12")
    one.step(300)
    assert list(local["rho_text"].values) == ["12", "13"]
    assert same_bits(local["u"].values[1, 1], one.u)
    for i, rho in enumerate((12, 13)):
        for j, dv in enumerate((10, 12, 14)):
            featured = rdsim.analyze(model, size=16, rho=rho, Dv=dv).featured
            wavelength = featured.wavelength if featured and featured.kind == "turing" \
                else np.nan
            assert np.array_equal(local["predicted"].values[i, j], wavelength, equal_nan=True)


def test_dt_and_dx_are_settings_of_every_model():
    # That they run as the command line's is a case of test_exact's settings.
    assert rdsim.SETTINGS[-2:] == ("dt", "dx")
    record = rdsim.Simulation("gm", size=20, dt=0.5, dx="0.012").record()["settings"]
    assert record["boxes"]["dt"] == "0.5" and record["coefficients"]["dt"] == 0.5
    assert "dt" not in rdsim.Simulation("gm", size=20).record()["settings"]["boxes"]


def test_unclamped_models_take_negative_fields():
    model = rdsim.Model.from_file(MODELS / "fitzhugh-nagumo.toml")
    sim = rdsim.Simulation(model, dim=1, size=32)
    field = np.linspace(-1, 1, 32)
    sim.u = field
    assert same_bits(sim.u, field.astype(np.float32))
    sim.step(10)
    clamped = rdsim.Simulation(rdsim.Model("u", "v", clamp=True), dim=1, size=32)
    with pytest.raises(rdsim.FieldError, match="element 0 is negative"):
        clamped.u = field
    assert rdsim.measure(field).wavelength > 0
