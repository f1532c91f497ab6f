"""Run descriptions: the plain dictionaries the compiled core takes and Dask sends to its
workers, made from the keyword arguments of the public functions."""

import math
import numbers
import os

import numpy as np

from . import _core

# The command line's names of the models and settings.
MODELS = _core.MODELS
SETTINGS = _core.SETTINGS
INITS = ("zero", "random", "seeded")


def setting_text(name, value):
    """The text a panel box would hold: a str as given, a number as its shortest round-trip
    text (``0.1`` is ``"0.1"``, a float32 its own shortest text)."""
    if isinstance(value, str):
        return value
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, numbers.Real):
        raise TypeError("%s: a text or a number is needed, not %s" % (name, type(value).__name__))
    if isinstance(value, numbers.Integral):
        return str(int(value))
    if isinstance(value, np.float32):
        # NumPy's shortest text of a float32 reads back as the same float32.
        return str(value)
    return repr(float(value))


def size_text(size):
    """The field size as the size box holds it."""
    return setting_text("size", size)


def _seed(seed):
    if isinstance(seed, (bool, np.bool_)) or not isinstance(seed, numbers.Integral):
        raise TypeError("seed: a whole number is needed, not %s" % type(seed).__name__)
    if not 0 <= int(seed) < 2 ** 64:
        raise ValueError("seed=%d: 0 to 2**64 - 1" % seed)
    return int(seed)


def _whole(name, value, low, high=None):
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, numbers.Integral):
        raise TypeError("%s: a whole number is needed, not %s" % (name, type(value).__name__))
    if value < low or (high is not None and value > high):
        raise ValueError("%s=%d: %d%s" % (name, value, low,
                                          " to %d" % high if high is not None else " or more"))
    return int(value)


def _is_path(value):
    return isinstance(value, (str, os.PathLike))


def describe(model, dim, size, settings, init="zero", seed=0, threads=0, steps=0,
             until_steady=False):
    """A run description, its types checked; the intake checks the values later. The model
    is a built-in model's name or a Model."""
    from ._model import Model
    if isinstance(model, Model):
        names = model.setting_names
        model = model.description()
    elif not isinstance(model, str) or model not in MODELS:
        raise ValueError("unknown model %r (%s, or a Model)" % (model, ", ".join(MODELS)))
    else:
        names = SETTINGS
    if dim not in (1, 2) or isinstance(dim, bool):
        raise ValueError("dim=%r: 1 (a line) or 2 (a square)" % (dim,))
    texts = {}
    for name, value in settings.items():
        if name not in names:
            raise TypeError("unknown setting %r (%s)" % (name, ", ".join(names)))
        texts[name] = setting_text(name, value)
    d = {"model": model, "dim": int(dim),
         "size": None if size is None else size_text(size), "settings": texts,
         "seed": _seed(seed), "threads": _whole("threads", threads, 0),
         "steps": _whole("steps", steps, 0, 1000000), "until_steady": bool(until_steady)}
    if isinstance(init, str):
        if init not in INITS:
            raise ValueError("init=%r: zero, random, seeded, or the fields (u, v) as arrays or "
                             ".npy files" % init)
        d["init"] = init
        return d
    if not isinstance(init, (tuple, list)) or len(init) != 2:
        raise TypeError("init: zero, random, seeded, or the fields (u, v) as arrays or .npy "
                        "files")
    u, v = init
    d["init"] = "load"
    if _is_path(u) and _is_path(v):
        d["u_file"], d["v_file"] = os.fspath(u), os.fspath(v)
    elif _is_path(u) or _is_path(v):
        raise TypeError("init: both fields as arrays, or both as .npy files")
    else:
        d["u"], d["v"] = as_array(u), as_array(v)
    return d


def model_name(description):
    """The name of a description's model: a built-in model's, or a typed model's own."""
    model = description["model"]
    return model if isinstance(model, str) else model["name"]


def as_array(value):
    """Nested lists as an array; the core checks the type, order and values of arrays and
    refuses anything else."""
    return np.asarray(value) if isinstance(value, (list, tuple)) else value


def axis_texts(name, request):
    """The texts of one swept setting: (from, to, count) evenly spaced as the command line
    spaces them, or a list of values."""
    if isinstance(request, tuple):
        if len(request) != 3:
            raise ValueError("%s: (from, to, count) or a list of values" % name)
        start, stop, count = request
        for end in (start, stop):
            if not isinstance(end, numbers.Real) or isinstance(end, bool) \
                    or not math.isfinite(end):
                raise ValueError("%s: the ends must be finite numbers, not %r" % (name, end))
        return list(_core.evenly_spaced(float(start), float(stop),
                                        _whole(name + " count", count, 1)))
    if isinstance(request, (list, np.ndarray)):
        texts = [setting_text(name, v) for v in request]
        if not texts:
            raise ValueError("%s: no values" % name)
        if len(set(texts)) != len(texts):
            raise ValueError("%s: a value is given more than once" % name)
        return texts
    raise TypeError("%s: (from, to, count) or a list of values" % name)
