"""Errors as Python users expect them: refused settings are ValueErrors naming the setting in
the command line's words, failed steps ArithmeticErrors carrying the iteration, bad arrays
TypeErrors and ValueErrors; nothing crashes the interpreter."""
import numpy as np
import pytest

import rdsim
from conftest import batch, same_bits


@pytest.mark.parametrize("model,settings,setting,message", [
    ("gm", {"kA": "abc"}, "kA",
     'kA="abc": constant production of u of Gierer-Meinhardt: "abc" is not a number.'),
    ("gm", {"size": 5000}, "size",
     'size="5000": Field Size: "5000" is out of range (at most 4096 cells per side).'),
    ("schnakenberg", {"kC": 1}, "kC", 'kC="1": the Schnakenberg model has no setting kC'),
    ("gm", {"kA": float("nan")}, "kA",
     'kA="nan": constant production of u of Gierer-Meinhardt: "nan" is not a number.'),
])
def test_refused_settings_name_the_setting(tmp_path, model, settings, setting, message):
    with pytest.raises(rdsim.SettingsError) as e:
        rdsim.Simulation(model, **settings)
    assert isinstance(e.value, ValueError)
    assert (str(e.value), e.value.setting) == (message, setting)
    # The command line says the same after its own option.
    value = settings[setting]
    option = ("--size", value) if setting == "size" else ("--set", "%s=%s" % (setting, value))
    code, _, err = batch("--model", model, *option, "--steps", 0, "--report", cwd=tmp_path,
                         check=False)
    assert code == 2 and message.split(": ", 1)[1] in err


@pytest.mark.parametrize("call,error,message", [
    (lambda: rdsim.Simulation("brusselator"), ValueError, "unknown model 'brusselator'"),
    (lambda: rdsim.Simulation(dim=3), ValueError, "dim=3: 1 (a line) or 2 (a square)"),
    (lambda: rdsim.Simulation(init="noise"), ValueError, "init='noise'"),
    (lambda: rdsim.Simulation(kX=1), TypeError, "unknown setting 'kX'"),
    (lambda: rdsim.Simulation(kA=True), TypeError, "kA: a text or a number is needed"),
    (lambda: rdsim.Simulation(seed=-1), ValueError, "seed=-1"),
    (lambda: rdsim.Simulation("oregonator", init="seeded"), rdsim.DescriptionError, "no"),
    (lambda: rdsim.analyze("gm", size=1), rdsim.SettingsError, "at least 2 cells"),
    (lambda: rdsim.analyze("oregonator", kC=0), rdsim.SettingsError, 'kC="0"'),
    (lambda: rdsim.measure(np.zeros((4, 5))), ValueError, "shape (4, 5) is not a field"),
    (lambda: rdsim.measure(np.zeros(1)), ValueError, "shape (1,) is not a field"),
    (lambda: rdsim.measure(np.array([1.0, np.inf])), ValueError, "element 1 is infinite"),
])
def test_arguments_that_are_not_a_run(call, error, message):
    with pytest.raises(error) as e:
        call()
    assert message in str(e.value)


@pytest.mark.parametrize("field,error,message", [
    (np.zeros((16, 16), np.int32), TypeError,
     "u: dtype int32 is not a field's (float32, or float64, which is rounded to float32)"),
    (np.zeros((16, 16), np.float16), TypeError, "u: dtype float16 is not a field's"),
    (np.zeros((16, 16), np.complex64), TypeError, "u: dtype complex64 is not a field's"),
    (np.zeros((16, 8), np.float32), rdsim.FieldError,
     "the field of u: shape (16, 8) does not match the run, which needs (16, 16)"),
    (np.zeros(256, np.float32), rdsim.FieldError, "shape (256,) does not match"),
    (np.zeros((32, 32), np.float32)[::2, ::2], ValueError,
     "u: the array is not contiguous (a strided view)"),
    (np.full((16, 16), np.nan, np.float32), rdsim.FieldError,
     "the field of u: element 0 is NaN; a field holds finite values of at least 0"),
    (np.pad(np.full((1, 1), -0.5), ((3, 12), (4, 11))), rdsim.FieldError,
     "element 52 is negative (-0.5)"),
    (np.full((16, 16), 1e39), rdsim.FieldError,
     "the field of u: element 0 is 1e+39, beyond single precision; a field holds finite "
     "values of at least 0"),
    (np.pad(np.full((1, 1), -0.5), ((3, 12), (4, 11))).T, rdsim.FieldError,
     "element 67 is negative (-0.5)"),
    (np.full((16, 16), np.inf), rdsim.FieldError, "element 0 is infinite"),
    ("u.npy", TypeError, "u: a NumPy array is needed, not str"),
])
def test_bad_arrays_are_refused_and_change_nothing(field, error, message):
    sim = rdsim.Simulation("gm", size=16, init="random", seed=1)
    sim.step(10)
    u, v = sim.u, sim.v
    with pytest.raises(error) as e:
        sim.u = field
    assert message in str(e.value)
    assert sim.steps == 10 and same_bits(sim.u, u) and same_bits(sim.v, v)


def test_a_failed_step_is_an_arithmetic_error_leaving_the_last_whole_step(tmp_path):
    code, _, err = batch("--set", "Du=1000000", "--init", "random", "--seed", 1, "--steps", 50,
                         "--save", "boom", cwd=tmp_path, check=False)
    assert code == 3
    sim = rdsim.Simulation("gm", Du=1000000, init="random", seed=1)
    with pytest.raises(rdsim.StepError) as e:
        sim.step(50)
    assert isinstance(e.value, ArithmeticError)
    iteration = e.value.iteration
    assert str(e.value) in err and str(e.value).startswith("iteration %d: " % iteration)
    assert sim.steps == iteration - 1
    f = sim.findings
    assert (f.state, f.steps) == ("arithmetic error", iteration)
    # What is left is the run of the whole steps, which its record replays.
    before = rdsim.Simulation("gm", Du=1000000, init="random", seed=1)
    before.step(iteration - 1)
    assert same_bits(sim.u, before.u) and same_bits(sim.v, before.v)
    sim.save(str(tmp_path / "left"))
    assert rdsim.replay(tmp_path / "left.json").reproduced


def test_steps_out_of_range_are_refused():
    sim = rdsim.Simulation("gm", size=4)
    with pytest.raises(ValueError, match="at least 0|0 or more"):
        sim.step(-1)
    with pytest.raises(ValueError, match="at most 1000000 steps in all"):
        sim.step(1000001)
    with pytest.raises(TypeError):
        sim.step("10")
    assert sim.steps == 0
