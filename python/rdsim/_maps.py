"""Atlases and sweeps: many runs or analyses over a grid of settings, as labelled arrays, on
local threads or as tasks of a Dask cluster, with the same bits either way."""

import concurrent.futures
import json
import os

import numpy as np

from . import _core, _tasks
from ._progress import Bar
from ._description import axis_texts, describe, model_name

# Final fields an atlas or sweep keeps in memory at most; beyond it they must go to a file
# (store=...).
FIELDS_IN_MEMORY = 1 << 30

_RUN_STATE_WORDS = " ".join(s.replace(" ", "-") for s in _core.RUN_STATES)


def _axis(arg, which):
    if not isinstance(arg, tuple) or len(arg) not in (2, 4) or not isinstance(arg[0], str):
        raise TypeError("%s: (name, from, to, count) or (name, [values])" % which)
    name = arg[0]
    return name, axis_texts(name, tuple(arg[1:]) if len(arg) == 4 else arg[1])


def _share(jobs, points, dim):
    """Runs at once and threads of each, as the command line shares the cores."""
    cores = os.cpu_count() or 1
    if jobs is None:
        jobs = cores
    if isinstance(jobs, bool) or not isinstance(jobs, int) or jobs < 1:
        raise ValueError("jobs=%r: a whole number of at least 1" % (jobs,))
    jobs = max(1, min(jobs, points))
    return jobs, (max(1, cores // jobs) if dim == 2 else 1)


def _point(base, values, threads):
    d = dict(base)
    d["settings"] = dict(base["settings"], **values)
    d["threads"] = threads
    return d


def _check_all(descriptions, combos):
    for d, values in zip(descriptions, combos):
        try:
            _core.check(d)
        except ValueError as e:
            # The point's settings first, as the command line names a sweep's combination.
            where = ", ".join("%s=%s" % kv for kv in values.items())
            e.args = ("%s: %s" % (where, e.args[0]),) + e.args[1:]
            raise


def _run_all(descriptions, fields, client, jobs, progress, accept):
    """Runs every description; calls accept(index, result) as each ends (in the caller's
    thread). Ctrl-C stops the runs still going."""
    bar = Bar(progress, len(descriptions), "run")
    done = 0
    try:
        if client is None:
            stop = _core.Stop()
            pool = concurrent.futures.ThreadPoolExecutor(max_workers=jobs)
            try:
                futures = {pool.submit(_core.run_point, d, fields, stop): k
                           for k, d in enumerate(descriptions)}
                for f in concurrent.futures.as_completed(futures):
                    accept(futures[f], f.result())
                    done += 1
                    bar(done)
            except BaseException:
                stop.set()
                raise
            finally:
                pool.shutdown(wait=True, cancel_futures=True)
        else:
            import distributed
            futures = client.map(_tasks.run_point, descriptions, fields=fields)
            index = {f.key: k for k, f in enumerate(futures)}
            try:
                for f, result in distributed.as_completed(futures, with_results=True):
                    accept(index[f.key], result)
                    done += 1
                    bar(done)
            except BaseException:
                client.cancel(futures)
                raise
        bar.close(done)
    finally:
        bar.close()


def _refuse_large(points, cells):
    size = points * cells * 4 * 2
    if size > FIELDS_IN_MEMORY:
        raise ValueError("the final fields would take %.3g GiB of memory, more than the %d GiB "
                         "held at most; give store=\"FILE.h5\" to write them to a file"
                         % (size / 2 ** 30, FIELDS_IN_MEMORY >> 30))


class _Results:
    """The findings of many runs over a grid, and their final fields in memory or a file."""

    def __init__(self, axes, n, dim, fields, store):
        self.axes = axes  # [(name, texts, values)]
        self.grid = tuple(len(texts) for _, texts, _ in axes)
        count = int(np.prod(self.grid))
        self.state = np.zeros(count, np.int8)
        self.steps = np.zeros(count, np.int32)
        self.measured = np.full(count, np.nan)
        self.contrast = np.full(count, np.nan)
        self.predicted = np.full(count, np.nan)
        self.message = [""] * count
        self.cells = ("x",) if dim == 1 else ("y", "x")
        self.field_shape = (n,) * dim
        self.fields = fields
        self.store = None
        self.u = self.v = None
        if fields and store is not None:
            from ._store import FieldStore
            sizes = {name: len(texts) for name, texts, _ in axes}
            sizes.update({c: n for c in self.cells})
            self.store = FieldStore(store, sizes, self.coords(), ("u", "v"), dim)
        elif fields:
            _refuse_large(count, n ** dim)
            self.u = np.empty((count,) + self.field_shape, np.float32)
            self.v = np.empty((count,) + self.field_shape, np.float32)

    def coords(self):
        c = {}
        for name, texts, values in self.axes:
            c[name] = ((name,), np.asarray(values, dtype=np.float64))
            c[name + "_text"] = ((name,), np.asarray(texts))
        if self.fields:
            for axis in self.cells:
                c[axis] = ((axis,), np.arange(self.field_shape[0], dtype=np.int32))
        return c

    def accept(self, k, r):
        self.state[k], self.steps[k] = r["state"], r["steps"]
        self.measured[k], self.contrast[k] = r["measured"], r["contrast"]
        self.predicted[k] = r["predicted"]
        self.message[k] = r["message"]
        if self.store is not None:
            at = np.unravel_index(k, self.grid)
            self.store.put("u", at, r["u"])
            self.store.put("v", at, r["v"])
        elif self.fields:
            self.u[k], self.v[k] = r["u"], r["v"]

    def variables(self, predicted=True):
        dims = tuple(name for name, _, _ in self.axes)
        g = self.grid
        v = {"state": (dims, self.state.reshape(g), {
                 "flag_values": np.arange(len(_core.RUN_STATES), dtype=np.int8),
                 "flag_meanings": _RUN_STATE_WORDS,
                 "long_name": "the state each run ended in"}),
             "steps": (dims, self.steps.reshape(g), {
                 "long_name": "steps taken (the failing iteration after an arithmetic "
                              "error)"}),
             "measured": (dims, self.measured.reshape(g), {
                 "units": "cells", "long_name": "dominant wavelength of the final u"}),
             "contrast": (dims, self.contrast.reshape(g), {
                 "long_name": "max - min of the final u"})}
        if predicted:
            v["predicted"] = (dims, self.predicted.reshape(g), {
                "units": "cells", "long_name": "wavelength the linear analysis predicts"})
        if any(self.message):
            v["message"] = (dims, np.asarray(self.message, dtype=object).reshape(g), {})
        return v

    def dataset(self, extra, attrs):
        import xarray as xr
        variables = dict(extra)
        if self.store is not None:
            # Strings go to the file as attributes would not: the messages stay in memory.
            small = {k: val for k, val in variables.items() if k != "message"}
            ds = self.store.commit(small, attrs)
            if "message" in variables:
                on, values, a = variables["message"]
                ds["message"] = (on, values, a)
            return ds
        data = {k: (on, values, a) for k, (on, values, a) in variables.items()}
        if self.fields:
            dims = tuple(name for name, _, _ in self.axes) + self.cells
            data["u"] = (dims, self.u.reshape(self.grid + self.field_shape))
            data["v"] = (dims, self.v.reshape(self.grid + self.field_shape))
        return xr.Dataset(data, coords={k: (on, val) for k, (on, val) in self.coords().items()},
                          attrs=attrs)

    def discard(self):
        if self.store is not None:
            self.store.discard()


def _attributes(base, extra=None):
    a = {"model": model_name(base), "dimension": base["dim"], "size": _core.cells(base),
         "settings": json.dumps(base["settings"], sort_keys=True),
         "init": base["init"], "seed": str(base["seed"])}
    a.update(extra or {})
    return a


def atlas(model, x, y, *, dim=2, size=None, simulate=False, steps=None, until_steady=False,
          init="zero", seed=0, fields=False, store=None, client=None, jobs=None,
          progress=None, **settings):
    """A model over two of its settings, as ``rdsim-batch atlas`` maps it.

    ``atlas("gray-scott", x=("kA", 0, 0.1, 400), y=("kB", 0.03, 0.08, 400))``: each axis is
    (name, from, to, count), evenly spaced as the command line spaces them, or (name,
    [values]). The other settings are texts or numbers, as for Simulation.

    Returns an xarray.Dataset over the dimensions named after the two settings (y first),
    with the coordinates' values and their texts (``kA_text``): ``class``, the linear
    analysis's class of every point (int8 codes; ``class.attrs["flag_meanings"]`` names them
    in order: numerically-unstable, turing, oscillatory, uniformly-unstable, bistable,
    marginal, stable, no-state), ``wavelength`` (cells, NaN unless Turing-unstable) and the
    fastest grid mode ``kx``, ``ky``.

    With ``simulate=True, steps=S`` every point is also run for S steps (``until_steady``:
    at most S, stopping once converged) from `init` and `seed`, adding each run's findings:
    ``state`` (codes named in ``state.attrs["flag_meanings"]``: still-changing, converged,
    oscillating, extinct, arithmetic-error), ``steps``, ``measured`` and ``contrast``. The
    final fields ``u`` and ``v`` over (y setting, x setting, y, x) are added only with
    ``fields=True``: held in memory up to 1 GiB (a larger map is refused before it runs), or
    streamed into the HDF5 file ``store`` as the runs end.

    client: a ``dask.distributed.Client``; each run (each block of rows of the analysis) is
    then a task on its workers. Without one the points run on local threads (``jobs`` at
    once, by default one per core). The results are the same bit for bit either way.
    progress: a bar over the runs (None: once they last a second; True; False).
    """
    x_name, x_texts = _axis(x, "x")
    y_name, y_texts = _axis(y, "y")
    if x_name == y_name:
        raise ValueError("x and y: the two axes need two different settings, not %s twice"
                         % x_name)
    for name in (x_name, y_name):
        if name in settings:
            raise ValueError("%s: given as an axis and as a setting" % name)
    if not simulate:
        for name, value in (("steps", steps), ("store", store)):
            if value is not None:
                raise ValueError("%s: belongs to a simulated map; needs simulate=True" % name)
        if fields or until_steady:
            raise ValueError("fields, until_steady: belong to a simulated map; needs "
                             "simulate=True")
    elif steps is None:
        raise ValueError("simulate=True: needs steps=S, the steps of every run")
    if store is not None and not fields:
        raise ValueError("store: holds the final fields; needs fields=True")
    base = describe(model, dim, size, settings, init, seed, steps=steps or 0,
                    until_steady=until_steady)
    if client is None:
        jobs_now, _ = _share(jobs, len(y_texts), dim)
        m = _core.classify_map(base, x_name, x_texts, y_name, y_texts, jobs_now)
    else:
        m = _classify_on(client, base, x_name, x_texts, y_name, y_texts)
    dims = (y_name, x_name)
    analytic = {
        "class": (dims, m["class"], {
            "flag_values": np.arange(len(_core.POINT_CLASSES), dtype=np.int8),
            "flag_meanings": " ".join(_core.POINT_CLASSES),
            "long_name": "class of the point by the linear analysis of its uniform states"}),
        "wavelength": (dims, m["wavelength"], {
            "units": "cells", "long_name": "wavelength of the fastest Turing mode"}),
        "kx": (dims, m["kx"], {"long_name": "fastest grid mode, x"}),
        "ky": (dims, m["ky"], {"long_name": "fastest grid mode, y"})}
    attrs = _attributes(base, {"start_up": json.dumps([m["x_start"], m["y_start"]])})
    axes = [(y_name, y_texts, m["y_values"]), (x_name, x_texts, m["x_values"])]
    if simulate:
        attrs["steps"] = steps
        attrs["until_steady"] = int(bool(until_steady))
    else:
        import xarray as xr
        return xr.Dataset({k: (on, v, a) for k, (on, v, a) in analytic.items()},
                          coords=_Results(axes, 0, dim, False, None).coords(), attrs=attrs)
    combos = [{y_name: yt, x_name: xt} for yt in y_texts for xt in x_texts]
    return _simulate(base, combos, axes, fields, store, client, jobs, progress, analytic,
                     attrs, predicted=False)


def _classify_on(client, base, x_name, x_texts, y_name, y_texts):
    # A task per block of rows: a point's result depends on its own settings only.
    workers = max(1, len(client.scheduler_info().get("workers", {})))
    block = max(1, -(-len(y_texts) // (4 * workers)))
    blocks = [y_texts[i:i + block] for i in range(0, len(y_texts), block)]
    futures = client.map(_tasks.classify_rows, [base] * len(blocks), [x_name] * len(blocks),
                         [x_texts] * len(blocks), [y_name] * len(blocks), blocks)
    parts = client.gather(futures)
    m = dict(parts[0])
    for key in ("class", "wavelength", "kx", "ky"):
        m[key] = np.concatenate([p[key] for p in parts])
    m["y_values"] = [v for p in parts for v in p["y_values"]]
    return m


def _simulate(base, combos, axes, fields, store, client, jobs, progress, extra, attrs,
              predicted):
    jobs_now, threads = _share(jobs, len(combos), base["dim"])
    descriptions = [_point(base, values, 1 if client is not None else threads)
                    for values in combos]
    _check_all(descriptions, combos)
    n = _core.check(descriptions[0])
    # The texts have passed the intake, which reads them as Python does.
    axes = [(name, texts, [float(t) for t in texts] if values is None else values)
            for name, texts, values in axes]
    results = _Results(axes, n, base["dim"], fields, store)
    try:
        _run_all(descriptions, fields, client, jobs_now, progress, results.accept)
        variables = dict(extra)
        variables.update(results.variables(predicted))
        return results.dataset(variables, attrs)
    except BaseException:
        results.discard()
        raise


def sweep(model="gm", *, steps, dim=2, size=None, until_steady=False, init="zero", seed=0,
          store=None, client=None, jobs=None, progress=None, **settings):
    """Runs every combination of the swept settings, as ``rdsim-batch --sweep`` does, and
    returns their final fields and findings stacked over the swept settings.

    ``sweep("gray-scott", kA=(0.02, 0.04, 9), kB=[0.06, 0.062], uMax="0.4", steps=10000,
    init="seeded", seed=1)``: a setting given as (from, to, count) (evenly spaced as the
    command line spaces them) or as a list of values is swept, in the order given (the last
    varies fastest); the others are texts or numbers as for Simulation. Every combination is
    checked before anything runs.

    Returns an xarray.Dataset over the swept settings' dimensions (with their values and texts,
    ``kA_text``): ``u`` and ``v`` (over the swept settings, then (y, x) or (x,)), and each
    run's ``state`` (codes named in ``state.attrs["flag_meanings"]``), ``steps``,
    ``measured``, ``contrast`` and ``predicted`` (cells). The fields are held in memory up to
    1 GiB (beyond that the sweep is refused before it runs) or streamed into the HDF5 file
    ``store``. client, jobs and progress as for atlas; the results are the same bit for bit
    with or without a cluster and for any number of workers.
    """
    swept, fixed = {}, {}
    for name, value in settings.items():
        if isinstance(value, (tuple, list, np.ndarray)):
            swept[name] = axis_texts(name, value)
        else:
            fixed[name] = value
    if not swept:
        raise ValueError("sweep: no setting to sweep; give one as (from, to, count) or a list")
    base = describe(model, dim, size, fixed, init, seed, steps=steps, until_steady=until_steady)
    names = list(swept)
    combos = [{}]
    for name in names:
        combos = [dict(c, **{name: t}) for c in combos for t in swept[name]]
    axes = [(name, swept[name], None) for name in names]
    attrs = _attributes(base, {"steps": steps, "until_steady": int(bool(until_steady))})
    return _simulate(base, combos, axes, True, store, client, jobs, progress, {}, attrs,
                     predicted=True)
