"""The analysis as Python objects and arrays: every state, its Jacobian, class, modes,
wavelength, band and e-folding time as the command line's analyze reports them, and the
dispersion relation as its table lists it."""
import csv
import io
import math

import numpy as np
import pytest

import rdsim
from conftest import batch


def test_the_readme_analysis_of_gierer_meinhardt():
    a = rdsim.analyze("gm", dim=2, size=128)
    assert len(a.states) == 1 and a.featured is a.states[0]
    s = a.featured
    assert ("%.9g" % s.u, "%.9g" % s.v) == ("0.623426916", "0.388661119")
    assert [["%.6g" % x for x in row] for row in s.jacobian] == \
        [["0.743259", "-2.14325"], ["1.24685", "-1"]]
    assert (s.kind, s.description, s.fold) == ("turing", "Turing-unstable", False)
    assert ("%.9g" % s.uniform_growth, s.uniform_complex) == ("0.998812032", True)
    assert s.fastest_modes == ((9, 21), (21, 9)) and "%.9g" % s.growth == "1.00065457"
    assert ("%.4g" % s.wavelength, "%.4g" % s.e_folding) == ("11.12", "1528")
    assert [("%.3g" % b.shortest, "%.3g" % b.longest) for b in s.bands] == [("8.69", "14.2")]
    assert s.expectation == "spots or stripes about 11.1 cells apart"
    assert ("%.9g" % a.scheme["cu"], "%.9g" % a.scheme["sv"]) == ("0.0100000007", "0.199999988")


@pytest.mark.parametrize("model,dim,size,settings", [
    ("schnakenberg", 2, 20, {}),
    ("gray-scott", 1, 64, {"kA": "0.046", "kB": "0.0594"}),
    ("gm", 1, 33, {"kA": 0.2}),
])
def test_states_and_dispersion_are_the_command_lines(tmp_path, model, dim, size, settings):
    sets = [x for k, v in settings.items() for x in ("--set", "%s=%s" % (k, v))]
    _, out, _ = batch("analyze", "--model", model, "--dim", dim, "--size", size, *sets,
                      "--csv", "d.csv", cwd=tmp_path)
    a = rdsim.analyze(model, dim=dim, size=size, **settings)
    assert out.count("\nSteady state ") == len(a.states)
    for s in a.states:
        assert "u = %.9g, v = %.9g" % (s.u, s.v) in out
    rows = list(csv.DictReader(io.StringIO((tmp_path / "d.csv").read_text())))
    for i, s in enumerate(a.states):
        d = s.dispersion()
        shape = (size,) if dim == 1 else (size, size)
        assert d.growth.shape == d.eigenvalue.shape == d.wavenumber.shape == shape
        mine = [r for r in rows if r["state"] == str(i + 1)]
        assert len(mine) == d.growth.size
        for r in mine:
            at = (int(r["kx"]),) if dim == 1 else (int(r["ky"]), int(r["kx"]))
            assert (d.growth[at], d.eigenvalue[at], d.wavenumber[at], d.complex[at]) == \
                (float(r["growth_factor"]), float(r["eigenvalue"]), float(r["wavenumber"]),
                 r["complex"] == "1")
        assert d.growth.max() == s.growth


def test_measure_finds_a_planted_wavelength():
    n = 65
    x = np.arange(n)
    # A cosine of the grid's own mode k = 8: wavelength 2 (N - 1) / 8 = 16 cells.
    stripes = (1 + np.cos(np.pi * 8 * x / (n - 1)))[None, :] * np.ones((n, 1))
    m = rdsim.measure(stripes.astype(np.float32))
    assert (m.wavenumber, m.wavelength) == (8.0, 16.0)
    assert m.radial_power.argmax() == 8 and m.radial_power[0] == 0
    assert m.contrast == pytest.approx(2.0, abs=1e-6)
    flat = rdsim.measure(np.full(40, 0.5))
    assert (flat.wavelength, flat.contrast) == (math.inf, 0.0)
