# Type stubs of the public interface of rdsim (see each name's docstring).
import os
from typing import Any, Callable, Literal, Mapping, Optional, Sequence, Tuple, Union

import numpy as np
import numpy.typing as npt
import xarray as xr

__version__: str
MODELS: Tuple[str, ...]
SETTINGS: Tuple[str, ...]

Setting = Union[str, int, float, np.floating]
Field = npt.ArrayLike
Init = Union[Literal["zero", "random", "seeded"], Tuple[Field, Field],
             Tuple[Union[str, os.PathLike], Union[str, os.PathLike]]]
Progress = Optional[bool]
Axis = Union[Tuple[str, float, float, int], Tuple[str, Sequence[Setting]]]
Swept = Union[Setting, Tuple[float, float, int], Sequence[Setting]]

class SettingsError(ValueError):
    setting: str
    text: str

class DescriptionError(ValueError): ...

class ModelError(DescriptionError): ...

class FieldError(DescriptionError):
    species: str
    file: Optional[str]
    shape: Optional[Tuple[int, ...]]
    wanted: Optional[Tuple[int, ...]]

class RecordError(ValueError): ...

class StepError(ArithmeticError):
    iteration: int

class Model:
    def __init__(self, rate_u: str, rate_v: str,
                 params: Optional[Union[Mapping[str, Setting],
                                        Sequence[Tuple[str, Setting]]]] = ...,
                 clamp: bool = ..., *, name: str = ...) -> None: ...
    @classmethod
    def from_file(cls, path: Union[str, os.PathLike]) -> "Model": ...
    @property
    def name(self) -> str: ...
    @property
    def rate_u(self) -> str: ...
    @property
    def rate_v(self) -> str: ...
    @property
    def params(self) -> dict[str, str]: ...
    @property
    def clamp(self) -> bool: ...
    @property
    def defaults(self) -> dict[str, str]: ...
    @property
    def setting_names(self) -> Tuple[str, ...]: ...
    def description(self) -> dict: ...

ModelLike = Union[str, Model]

class Findings:
    state: str
    steps: int
    predicted: float
    predicted_class: str
    state_u: float
    state_v: float
    measured: float
    contrast: float

class Simulation:
    def __init__(self, model: ModelLike = ..., *, dim: int = ...,
                 size: Optional[Union[int, str]] = ..., init: Init = ..., seed: int = ...,
                 threads: int = ..., **settings: Setting) -> None: ...
    @property
    def model(self) -> ModelLike: ...
    @property
    def dim(self) -> int: ...
    @property
    def size(self) -> int: ...
    @property
    def shape(self) -> Tuple[int, ...]: ...
    @property
    def steps(self) -> int: ...
    @property
    def u(self) -> npt.NDArray[np.float32]: ...
    @u.setter
    def u(self, field: Field) -> None: ...
    @property
    def v(self) -> npt.NDArray[np.float32]: ...
    @v.setter
    def v(self, field: Field) -> None: ...
    def step(self, n: int, progress: Progress = ...) -> int: ...
    def until_steady(self, max_steps: int, progress: Progress = ...) -> int: ...
    def run(self, steps: int, every: int = ..., *, store: Optional[Union[str, os.PathLike]] = ...,
            progress: Progress = ...) -> xr.Dataset: ...
    @property
    def findings(self) -> Findings: ...
    def record(self) -> dict: ...
    def save(self, prefix: Union[str, os.PathLike]) -> list[str]: ...

class Band:
    shortest: float
    longest: float
    lambda_low: float
    lambda_high: float

class Dispersion:
    wavenumber: npt.NDArray[np.float64]
    eigenvalue: npt.NDArray[np.float64]
    growth: npt.NDArray[np.float64]
    complex: npt.NDArray[np.bool_]
    @property
    def rate(self) -> npt.NDArray[np.float64]: ...

class SteadyState:
    u: float
    v: float
    kind: str
    description: str
    jacobian: npt.NDArray[np.float64]
    fold: bool
    uniform_growth: float
    uniform_complex: bool
    fastest_modes: Tuple[Any, ...]
    growth: float
    wavenumber: float
    wavelength: float
    e_folding: float
    bands: Tuple[Band, ...]
    expectation: str
    def dispersion(self) -> Dispersion: ...

class Analysis:
    model: str
    dim: int
    size: int
    scheme: Mapping[str, Any]
    states: Tuple[SteadyState, ...]
    states_complete: bool
    featured: Optional[SteadyState]

def analyze(model: ModelLike = ..., *, dim: int = ..., size: Optional[Union[int, str]] = ...,
            **settings: Setting) -> Analysis: ...

class Measurement:
    wavelength: float
    wavenumber: float
    contrast: float
    radial_power: npt.NDArray[np.float64]

def measure(field: Field) -> Measurement: ...

class ReplayResult:
    verdict: str
    lines: Tuple[str, ...]
    steps: int
    fields_sha256: str
    @property
    def reproduced(self) -> bool: ...

def replay(path: Union[str, os.PathLike], progress: Progress = ...) -> ReplayResult: ...

def atlas(model: ModelLike, x: Axis, y: Axis, *, dim: int = ..., size: Optional[Union[int, str]] = ...,
          simulate: bool = ..., steps: Optional[int] = ..., until_steady: bool = ...,
          init: Init = ..., seed: int = ..., fields: bool = ...,
          store: Optional[Union[str, os.PathLike]] = ..., client: Any = ...,
          jobs: Optional[int] = ..., progress: Progress = ...,
          **settings: Setting) -> xr.Dataset: ...

def sweep(model: ModelLike = ..., *, steps: int, dim: int = ..., size: Optional[Union[int, str]] = ...,
          until_steady: bool = ..., init: Init = ..., seed: int = ...,
          store: Optional[Union[str, os.PathLike]] = ..., client: Any = ...,
          jobs: Optional[int] = ..., progress: Progress = ...,
          **settings: Swept) -> xr.Dataset: ...
