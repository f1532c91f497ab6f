"""rdsim: reaction-diffusion patterns with the exact engine of the rdsim window and command
line, in NumPy, xarray, Jupyter and Dask.

    >>> import rdsim
    >>> sim = rdsim.Simulation("gm", size=64, init="random", seed=3, kA=0.1)
    >>> sim.step(2000)
    2000
    >>> rdsim.analyze("gm", size=64, kA=0.1).featured.wavelength

Simulation      one run, stepped in pieces, bit for bit the command line's run
Model           a typed model: your own rates and parameters, from a file or from Python
analyze         the linear stability of every uniform steady state (Analysis)
measure         the dominant wavelength and radial spectrum of a field (Measurement)
replay          runs a record again (from this package, rdsim-batch or a PNG) and compares
atlas           a model over two settings: the analysis, and simulated runs (xarray)
sweep           runs over one or more settings, fields and findings stacked (xarray)

Errors: SettingsError (ValueError), FieldError, ModelError and DescriptionError (ValueError),
RecordError (ValueError), StepError (ArithmeticError). Every function's help says more.
"""

from ._errors import (DescriptionError, FieldError, ModelError, RecordError, SettingsError,
                      StepError)
from . import _core
from ._analysis import (Analysis, Band, Dispersion, Measurement, ReplayResult, SteadyState,
                        analyze, measure, replay)
from ._maps import atlas, sweep
from ._model import Model
from ._simulation import Findings, Simulation

__version__ = _core.__version__

#: The names of the built-in models and of their settings, as the command line takes them.
MODELS = _core.MODELS
SETTINGS = _core.SETTINGS

__all__ = [
    "Analysis", "Band", "DescriptionError", "Dispersion", "FieldError", "Findings", "MODELS",
    "Measurement", "Model", "ModelError", "RecordError", "ReplayResult", "SETTINGS",
    "SettingsError", "Simulation", "SteadyState", "StepError", "analyze", "atlas", "measure",
    "replay", "sweep",
]
