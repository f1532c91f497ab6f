"""The linear analysis of a model's uniform states under our own step, the measurement of a
field, and the replay of a record: the command line's ``analyze``, ``--report`` and ``replay``
as Python objects and arrays."""

import dataclasses
import math
import os
from typing import Optional, Tuple

import numpy as np

from . import _core
from ._progress import Bar
from ._description import describe


@dataclasses.dataclass(frozen=True)
class Band:
    """Wavelengths (cells) that grow: from `shortest` to `longest` (inf: up to the uniform
    mode), and the Laplacian eigenvalues of the band's ends."""

    shortest: float
    longest: float
    lambda_low: float
    lambda_high: float


@dataclasses.dataclass(frozen=True)
class Dispersion:
    """The growth factor per step of every grid mode of a state: arrays of shape (N,) in 1D,
    (N, N) indexed [ky, kx] in 2D. ``wavenumber`` is |k| (the wavelength is 2 (N - 1) / |k|
    cells), ``eigenvalue`` the mode's Laplacian eigenvalue, ``complex`` whether the mode's
    two eigenvalues are a complex pair (it oscillates)."""

    wavenumber: np.ndarray
    eigenvalue: np.ndarray
    growth: np.ndarray
    complex: np.ndarray

    @property
    def rate(self):
        """The growth rate per step, ln(growth)."""
        with np.errstate(divide="ignore"):
            return np.log(self.growth)


@dataclasses.dataclass(frozen=True)
class SteadyState:
    """A uniform steady state and what the linear analysis of our step predicts for it.

    kind: "stable", "turing", "oscillatory", "uniformly-unstable", "marginal" or
        "numerically-unstable"; description: the same in words.
    jacobian: the 2 x 2 Jacobian of the unscaled rates, [[fu, fv], [gu, gv]].
    fold: another state lies within a hair, or the root is double.
    uniform_growth: the growth factor per step of the uniform mode (uniform_complex: as a
        complex pair). fastest_modes: the grid modes of the largest growth factor, `growth`
        ((kx, ky) pairs in 2D), of wavenumber |k|; wavelength: 2 (N - 1) / |k| cells (inf at
        the uniform mode); e_folding: steps for the fastest mode to grow e-fold (inf when it
        decays). bands: the unstable bands; expectation: what to expect, in a sentence.
    """

    u: float
    v: float
    kind: str
    description: str
    jacobian: np.ndarray
    fold: bool
    uniform_growth: float
    uniform_complex: bool
    fastest_modes: tuple
    growth: float
    wavenumber: float
    wavelength: float
    e_folding: float
    bands: Tuple[Band, ...]
    expectation: str
    _held: object = dataclasses.field(repr=False, compare=False)
    _index: int = dataclasses.field(repr=False, compare=False)

    def dispersion(self):
        """The dispersion relation of this state on the run's grid (a Dispersion)."""
        return Dispersion(**self._held.dispersion(self._index))


class Analysis:
    """Every uniform steady state of a model's settings on a grid, with its prediction.

    ``states`` (ascending in u) are SteadyState objects; ``featured`` is the state a run's
    report is about (Turing-unstable first, saddles aside), or None; ``scheme`` the step's
    coefficients widened to double (cu, cv, su, sv, the reaction gains, kA, kB, kC, uMax),
    and for a typed model the ``box`` (u low, u high, v low, v high) its states were searched
    for in. ``states_complete`` is False only for a typed model whose states could not all be
    isolated (a curve of them, or more than a list holds).
    """

    def __init__(self, held, summary):
        self._held = held
        self.scheme = summary["scheme"]
        self.model = self.scheme["model"]
        self.dim = self.scheme["dim"]
        self.size = self.scheme["n"]
        self.states = tuple(_state(held, i, s) for i, s in enumerate(summary["states"]))
        self.states_complete = summary["states_complete"]
        k = summary["featured"]
        self.featured: Optional[SteadyState] = None if k is None else self.states[k]

    def __repr__(self):
        lines = ["<rdsim.Analysis %s, %dD, %d cells a side: %d steady state%s" % (
            self.model, self.dim, self.size, len(self.states),
            "" if len(self.states) == 1 else "s")]
        for s in self.states:
            lines.append("  u = %.9g, v = %.9g: %s%s" % (
                s.u, s.v, s.description,
                ", wavelength %.4g cells" % s.wavelength
                if s.kind == "turing" and math.isfinite(s.wavelength) else ""))
        return "\n".join(lines) + ">"


def _state(held, index, s):
    bands = tuple(Band(**b) for b in s.pop("bands"))
    return SteadyState(bands=bands, fastest_modes=tuple(s.pop("fastest_modes")), _held=held,
                       _index=index, **s)


def analyze(model="gm", *, dim=2, size=128, **settings):
    """The linear stability of every uniform steady state of `model` with these settings
    (texts or numbers, as for Simulation) under our own step on the grid of `size` cells a
    side, the prediction the command line's ``analyze`` prints. Returns an Analysis. Raises
    SettingsError for settings the intake refuses or a grid of fewer than 2 cells."""
    description = describe(model, dim, size, settings)
    held = _core.Analysis(description)
    return Analysis(held, held.summary())


@dataclasses.dataclass(frozen=True)
class Measurement:
    """The dominant wavelength of a field, as ``--report`` measures it: the strongest ring of
    its cosine spectrum (the grid's own modes, the mirrored edges). ``radial_power[k]`` is the
    power of the modes whose |k| rounds to k (the mean, k = 0, left out); ``wavenumber`` the
    refined |k| of the strongest; ``wavelength`` 2 (N - 1) / |k| cells (inf for a flat field);
    ``contrast`` max - min."""

    wavelength: float
    wavenumber: float
    contrast: float
    radial_power: np.ndarray


def measure(field):
    """Measures a field (an array of shape (N,) or (N, N), N >= 2, finite values, float32 or
    float64; negative values as a model that is not clamped leaves them) and returns a
    Measurement."""
    m = _core.measure(np.asarray(field) if not isinstance(field, np.ndarray) else field)
    return Measurement(m["wavelength"], m["wavenumber"], m["contrast"], m["radial_power"])


@dataclasses.dataclass(frozen=True)
class ReplayResult:
    """What a replay found: verdict "reproduced" (the recorded fields, every saved file still
    matching), "differs" (the re-run's fields differ from the record), "file changed" (a
    file the record names no longer matches it) or "arithmetic error"; the lines say what was
    found, as ``rdsim-batch replay`` prints them."""

    verdict: str
    lines: Tuple[str, ...]
    steps: int
    fields_sha256: str

    @property
    def reproduced(self):
        """True when the verdict is "reproduced"."""
        return self.verdict == "reproduced"

    def __str__(self):
        return "\n".join(self.lines)


def replay(path, progress=None):
    """Runs again the run a record describes (a ``.json`` record, or a PNG that carries one,
    written by the command line or by this package) and compares the result bit for bit with
    the record and the saved ``.npy`` files. Returns a ReplayResult; raises RecordError for a
    file that holds no usable record. progress and Ctrl-C as for Simulation.step."""
    bar = Bar(progress, None, "step")
    try:
        r = _core.replay(os.fspath(path), bar.callback)
    finally:
        bar.close()
    return ReplayResult(r["verdict"], tuple(r["lines"]), r["steps"], r["fields_sha256"])
