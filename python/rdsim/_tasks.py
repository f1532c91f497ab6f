"""The pure tasks of maps and sweeps: a plain description in, arrays and numbers out. Dask
ships them to its workers by name; nothing holds state between two of them, so any worker
in any order gives the same bits."""


def run_point(description, fields=False):
    """One run to its end: its findings, and its final fields when `fields` is true."""
    from . import _core
    return _core.run_point(description, fields)


def classify_rows(base, x_name, x_texts, y_name, y_texts):
    """Rows of an analytic map: every point's class, wavelength and mode."""
    from . import _core
    return _core.classify_map(base, x_name, x_texts, y_name, y_texts, 1)
