"""The exceptions of rdsim, each a subclass of the built-in one a Python user expects."""


class SettingsError(ValueError):
    """A setting the intake refuses, exactly as a model panel or ``rdsim-batch --set`` would.

    The message names the setting and the text given (``kA="abc": ...``) and says why, in the
    command line's words. ``setting`` is the name (``"kA"``, ``"size"``, ...), ``text`` the
    text the intake read.
    """

    setting: str = ""
    text: str = ""


class DescriptionError(ValueError):
    """A run that does not hold together: no stable uniform state for a seeded start, too few
    cells for an analysis, and the like."""


class ModelError(DescriptionError):
    """A typed model that cannot be used: a rate that does not parse (the message gives the
    column and what was expected), an unknown name (the message lists the names there are), a
    parameter whose name is taken or whose default is not a number, or a model file that
    cannot be read."""


class FieldError(DescriptionError):
    """A field that cannot be loaded: a wrong shape, a negative, NaN or infinite value, a
    strided array, or a file that cannot be read.

    ``species`` is ``"u"`` or ``"v"``, ``file`` the file given (None for an array); for a wrong
    shape ``shape`` and ``wanted`` are the field's and the run's (else None).
    """

    species: str = ""
    file = None
    shape = None
    wanted = None


class RecordError(ValueError):
    """A record that cannot be replayed: unreadable, or without what a run needs."""


class StepError(ArithmeticError):
    """A step that failed (an overflow, an invalid operation or a division by zero).

    ``iteration`` is the failing iteration, counted from the run's start (1 is the first step).
    The simulation keeps the fields after the last whole step, ``iteration - 1``: those
    ``sim.save`` writes and a replay of its record reproduces.
    """

    iteration: int = 0
