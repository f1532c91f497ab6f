"""One run held in Python: stepped in pieces, looked at in between, recorded and saved exactly
as ``rdsim-batch`` runs, records and saves it."""

import dataclasses
import json
import mmap
import os

import numpy as np

from . import _core
from ._progress import Bar
from ._description import as_array, describe, model_name


@dataclasses.dataclass(frozen=True)
class Findings:
    """What a run shows after its steps so far (``rdsim-batch --report``'s facts).

    state: "converged", "still changing", "oscillating", "extinct" or "arithmetic error"
        (the run is checked every 100 steps; see the README's "Why this pattern?").
    steps: the steps taken (after a failed step: the failing iteration).
    predicted: the wavelength in cells the linear analysis predicts (NaN when the featured
        uniform state, ``state_u``, ``state_v``, of class ``predicted_class``, is not
        Turing-unstable). A typed model is analysed as the built-in ones.
    measured: the dominant wavelength of the field of u in cells (inf for a flat field; NaN
        after an arithmetic error); contrast: max - min of u.
    """

    state: str
    steps: int
    predicted: float
    predicted_class: str
    state_u: float
    state_v: float
    measured: float
    contrast: float


class Simulation:
    """A run of one of the models, the command line's run bit for bit however it is stepped.

    ``Simulation("gm", dim=2, size=128, init="random", seed=3, kA="0.1")``

    model: "gm" (Gierer-Meinhardt), "schnakenberg", "gray-scott" or "oregonator", or a
        typed model, a Model (``Model.from_file("brusselator.toml")``).
    dim: 1 (a line of N cells) or 2 (a square of N x N cells); size: N, 1 to 4096 (by
        default 128, or the side of the fields given as `init`).
    init: "zero" (the default), "random" (the window's Random rule from the generator seeded
        with ``seed``), "seeded" (the model's stable state with a seeded square, ``seed`` for
        its noise), or the fields as a pair ``(u, v)`` of arrays or of ``.npy`` files, checked
        as ``rdsim-batch --load-u`` checks them.
    threads: threads of each 2D step (0: all from N = 256 on, else 1); the results are the
        same for any number.
    Settings by the panels' names, as texts exactly as typed into a panel (``kA="0.1"``) or
        as numbers, which become their shortest round-trip text (``kA=0.1`` is ``"0.1"``):
        uMax, vMax, scale, Du, Dv, kA, kB, kC, or a typed model's parameters instead of kA, kB
        and kC; and the scheme's time step dt and cell size dx (default 1 and 0.01, from which
        the step's coefficients are derived as the intake derives them). Unset ones keep the
        panel's (or the model's) start-up texts.

    Raises SettingsError (a ValueError) naming a setting the intake refuses, FieldError
    for fields that cannot be loaded, DescriptionError for a seeded start without a stable state
    (the seeded start of a typed model, which needs its analysis, is refused alike).

    ``u`` and ``v`` return new float32 arrays (copies, shape (N,) or (N, N)) of the current
    fields; assigning an array to either loads it as ``--load-u`` would (float32, or float64
    rounded to float32; C or Fortran order; finite values of at least 0) and starts the run
    afresh from the fields then held: ``steps`` returns to 0 and the record names the loaded
    fields. A simulation is used by one thread at a time; another thread that calls it while
    it steps gets a RuntimeError (``steps`` may be read at any time).
    """

    def __init__(self, model="gm", *, dim=2, size=None, init="zero", seed=0, threads=0,
                 **settings):
        self._description = describe(model, dim, size, settings, init, seed, threads)
        self._core = _core.Simulation(self._description)
        self._model = model

    @property
    def model(self):
        """The model: a built-in model's name (gm, schnakenberg, gray-scott or oregonator),
        or the Model."""
        return self._model

    @property
    def dim(self):
        """The dimension: 1 (a line) or 2 (a square)."""
        return self._description["dim"]

    @property
    def size(self):
        """N, the cells per side."""
        return self._core.n

    @property
    def shape(self):
        """The shape of a field: (N,) or (N, N)."""
        return (self._core.n,) if self._core.one_d else (self._core.n, self._core.n)

    @property
    def steps(self):
        """The whole steps taken since the start (or since fields were last assigned)."""
        return self._core.steps

    @property
    def u(self):
        """The current field of u: a new float32 array; assigning loads a field."""
        return self._core.u()

    @u.setter
    def u(self, field):
        self._core.load(as_array(field), None)

    @property
    def v(self):
        """The current field of v: a new float32 array; assigning loads a field."""
        return self._core.v()

    @v.setter
    def v(self, field):
        self._core.load(None, as_array(field))

    def step(self, n, progress=None):
        """Takes `n` more steps and returns the steps taken. A run takes at most 1,000,000
        steps in all, as on the command line, so that its record replays.

        The GIL is released while stepping, so simulations in other threads run side by side.
        progress: None shows a bar (tqdm; the notebook bar in Jupyter) once the call has lasted
        a second, True at once, False never. Ctrl-C (KeyboardInterrupt) stops after the current
        step with the state whole, ``steps`` telling where. A failed step raises StepError (an
        ArithmeticError) carrying the iteration; the fields stay those of the last whole step.
        """
        return self._advance(self._core.step, n, progress)

    def until_steady(self, max_steps, progress=None):
        """Steps until the run has converged (checked every 100 steps as ``--until steady``
        checks it: no cell of u changed by more than 1e-7 x uMax per step in 5 checks in a row)
        or `max_steps` more steps have passed; returns the steps taken. The fields are then
        those of a run of exactly ``steps`` steps. progress, Ctrl-C and errors as for step."""
        return self._advance(self._core.until_steady, max_steps, progress)

    def _advance(self, call, n, progress):
        # The bar shows the steps actually taken, however the call ends.
        start = self.steps
        bar = Bar(progress, n, "step")
        try:
            return call(n, bar.callback)
        finally:
            bar.close(self.steps - start)

    def run(self, steps, every=100, *, store=None, progress=None):
        """Steps `steps` more steps and returns the series of fields as an xarray.Dataset.

        The Dataset holds ``u`` and ``v`` over ``(t, y, x)`` (``(t, x)`` in 1D), a frame every
        `every` steps from the current one (and the last one when `steps` is not a multiple),
        ``t`` being the step; its attributes hold the record of the final state (``record``,
        JSON text) and the model, dimension and size. With ``store="series.h5"`` the frames go
        into that HDF5 file as they are made, never all in memory; the file is put in place
        once whole (nothing is left on an error or Ctrl-C) and the Dataset reads from it.
        progress, Ctrl-C and errors as for step.
        """
        if isinstance(every, bool) or not isinstance(every, int) or every < 1:
            raise ValueError("every=%r: a whole number of steps of at least 1" % (every,))
        if isinstance(steps, bool) or not isinstance(steps, int) or steps < 0:
            raise ValueError("steps=%r: a whole number of at least 0" % (steps,))
        start = self.steps
        times = list(range(start, start + steps + 1, every))
        if times[-1] != start + steps:
            times.append(start + steps)
        shape = self.shape
        dims = ("t",) + (("x",) if len(shape) == 1 else ("y", "x"))
        coords = {"t": (("t",), np.asarray(times, dtype=np.int64))}
        for axis, size in zip(dims[1:], shape):
            coords[axis] = ((axis,), np.arange(size, dtype=np.int32))
        sizes = dict(zip(dims, (len(times),) + shape))
        writer = _Frames(store, sizes, coords)
        bar = Bar(progress, steps, "step")
        try:
            writer.put(0, self._core)
            for k in range(1, len(times)):
                bar.base = times[k - 1] - start
                self._core.step(times[k] - times[k - 1], bar.callback)
                writer.put(k, self._core)
            bar.close(steps)
            return writer.finish(self._attributes())
        except BaseException:
            bar.close()
            writer.discard()
            raise

    @property
    def findings(self):
        """The run's Findings after the steps so far; the run is not touched."""
        return Findings(**self._core.findings())

    def record(self):
        """The record of the current state as a dict: the command line's record (program,
        settings as typed and derived, initial state, steps, SHA-256 of the fields)."""
        return json.loads(self._core.record())

    def save(self, prefix):
        """Writes PREFIX-u.npy, PREFIX-v.npy and the record PREFIX.json, all three or none:
        byte for byte the files of ``rdsim-batch --save PREFIX`` after the same run, the record
        differing only in its ``program``. A run started from arrays also writes them, as
        PREFIX-initial-u.npy and PREFIX-initial-v.npy, for the record to name. Returns the
        files written; raises OSError when they cannot be written."""
        return self._core.save(os.fspath(prefix))

    def _attributes(self):
        return {"model": model_name(self._description), "dimension": self.dim,
                "size": self.size, "record": self._core.record()}

    def __repr__(self):
        settings = "".join(", %s=%r" % kv for kv in self._description["settings"].items())
        return "<rdsim.Simulation %s, %dD, %d cells a side%s, %d steps>" % (
            model_name(self._description), self.dim, self.size, settings, self.steps)


class _Frames:
    """The frames of a series: in memory, or streamed into an HDF5 file."""

    def __init__(self, store, sizes, coords):
        self._sizes, self._coords = sizes, coords
        shape = tuple(sizes.values())
        if store is None:
            self._store = None
            self._u = _frames(shape)
            self._v = _frames(shape)
        else:
            from ._store import FieldStore
            self._store = FieldStore(store, sizes, coords, ("u", "v"), len(shape) - 1)
            # One frame at a time passes through these on its way to the file.
            self._u = np.empty((1,) + shape[1:], np.float32)
            self._v = np.empty((1,) + shape[1:], np.float32)

    def put(self, k, core):
        """The simulation's current fields as frame k, copied straight into place."""
        if self._store is None:
            core.copy_into(self._u[k], self._v[k])
        else:
            core.copy_into(self._u[0], self._v[0])
            self._store.put("u", (k,), self._u[0])
            self._store.put("v", (k,), self._v[0])

    def finish(self, attrs):
        import xarray as xr
        if self._store is not None:
            return self._store.commit(attrs=attrs)
        dims = tuple(self._sizes)
        return xr.Dataset({"u": (dims, self._u), "v": (dims, self._v)},
                          coords={k: (on, values) for k, (on, values) in self._coords.items()},
                          attrs=attrs)

    def discard(self):
        if self._store is not None:
            self._store.discard()


def _frames(shape):
    """An uninitialised float32 array for a series, its memory mapped in at once.

    The frames are written one by one between steps; memory that is first touched there costs
    a page fault per page, and NumPy's large arrays ask for huge pages, which the kernel may
    compact memory for on every fault. Mapped in one go the same memory costs a fraction of
    that, and none of it falls between the steps."""
    size = int(np.prod(shape)) * 4
    populate = getattr(mmap, "MAP_POPULATE", 0)
    if size == 0 or not populate:
        return np.empty(shape, np.float32)
    buffer = mmap.mmap(-1, size, flags=mmap.MAP_PRIVATE | mmap.MAP_ANONYMOUS | populate)
    return np.frombuffer(buffer, np.float32).reshape(shape)
