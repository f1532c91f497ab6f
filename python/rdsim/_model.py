"""Typed models: a model's own reaction terms, from a model file or from Python, run by the
same engine as the built-in models, bit for bit."""

import os

from . import _core
from ._description import setting_text


class Model:
    """A two-species model typed as text: two rate expressions f(u, v) and g(u, v), named
    parameters with default values, and whether negative results are clamped to 0 after
    each step. It goes wherever a model's name goes (Simulation, analyze, atlas, sweep).

    ``Model(rate_u="a - (b + 1)*u + u^2*v", rate_v="b*u - u^2*v", params={"a": 4.5,
    "b": 7.5})``, or ``Model.from_file("brusselator.toml")`` for a model file (the command
    line's ``--model-file``; ``rdsim-batch models`` lists the shipped ones).

    The expressions take numbers, u, v, the parameters, ``+ - * /``, unary minus, whole
    powers ``u^2``, parentheses and sqrt, exp, log, abs, min, max, tanh; each number is
    rounded to single precision and every operation done in single precision as written (see
    the README's "Your own model"). params: the parameters' names and default values in
    order (a dict, or pairs), each a text or a number as a setting is. A parameter may not be
    named u, v, a function, or a setting of every model (uMax, vMax, scale, Du, Dv, dt, dx,
    seed). clamp: True (the default, as the built-in models) sets negative results to 0
    after each step; False lets u and v go negative. name: what captions and records call it.

    Raises ModelError (a ValueError) for a rate that does not parse (with the column and what
    was expected), an unknown name (listing the names there are), or a bad parameter.

    A run's settings (``Simulation(model, a=4)``, ``sweep(model, b=(7, 8, 3))``) are the
    model's parameters, ``uMax``, ``vMax``, ``scale``, ``Du``, ``Dv``, ``dt`` and ``dx``; those
    not given keep the model's defaults (a file's ``[settings]``, else uMax 1, vMax 1, scale
    0.01, Du 1, Dv 20, dt 1, dx 0.01). The record of a run holds the model's whole text, so
    that it replays without the model file.
    """

    def __init__(self, rate_u, rate_v, params=None, clamp=True, *, name="custom"):
        for key, value in (("rate_u", rate_u), ("rate_v", rate_v), ("name", name)):
            if not isinstance(value, str):
                raise TypeError("%s: a text is needed, not %s" % (key, type(value).__name__))
        if not isinstance(clamp, bool):
            raise TypeError("clamp: True or False, not %s" % type(clamp).__name__)
        pairs = list((params or {}).items()) if isinstance(params, dict) or params is None \
            else list(params)
        texts = []
        for pair in pairs:
            if not isinstance(pair, (tuple, list)) or len(pair) != 2 \
                    or not isinstance(pair[0], str):
                raise TypeError("params: a dict of names and values, or (name, value) pairs")
            texts.append((pair[0], setting_text(pair[0], pair[1])))
        self._d = _core.check_model({"name": name, "rate_u": rate_u, "rate_v": rate_v,
                                     "params": texts, "clamp": clamp, "settings": {},
                                     "bounds": None})

    @classmethod
    def from_file(cls, path):
        """The model of a model file (TOML, as ``rdsim-batch --model-file`` reads it), with
        its settings' start-up texts and the analysis's box where it gives them. Raises
        ModelError naming the file and line of a mistake, or why it cannot be read."""
        return cls._of(_core.model_from_file(os.fspath(path)))

    @classmethod
    def _of(cls, description):
        model = cls.__new__(cls)
        model._d = _core.check_model(description)
        return model

    @property
    def name(self):
        """The model's name."""
        return self._d["name"]

    @property
    def rate_u(self):
        """f(u, v), the rate of u, as typed."""
        return self._d["rate_u"]

    @property
    def rate_v(self):
        """g(u, v), the rate of v, as typed."""
        return self._d["rate_v"]

    @property
    def params(self):
        """The parameters' default texts by name, in the model's order."""
        return dict(self._d["params"])

    @property
    def clamp(self):
        """Whether negative results are set to 0 after each step."""
        return self._d["clamp"]

    @property
    def defaults(self):
        """The start-up texts of the settings the model file gives (uMax, vMax, scale, Du,
        Dv); the others take the typed models' defaults."""
        return dict(self._d["settings"])

    @property
    def setting_names(self):
        """Every setting a run of the model takes, in the intake's order."""
        return tuple(_core.setting_names(self._d))

    def description(self):
        """The model as a plain dict (what a run description carries to a Dask worker)."""
        return {k: (list(v) if k == "params" else dict(v) if k == "settings" else v)
                for k, v in self._d.items()}

    def __eq__(self, other):
        return isinstance(other, Model) and self.description() == other.description()

    def __hash__(self):
        return hash((self.name, self.rate_u, self.rate_v, tuple(self._d["params"]), self.clamp))

    def __repr__(self):
        params = ", ".join("%s=%s" % p for p in self._d["params"])
        return "<rdsim.Model %s: f = %s, g = %s%s%s>" % (
            self.name, self.rate_u, self.rate_v, "; " + params if params else "",
            "" if self.clamp else "; not clamped")
