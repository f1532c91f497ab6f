"""Progress bars (tqdm; the notebook bar in Jupyter) for long steps, replays and maps."""

import time

# Without progress=True a bar appears only once the work has lasted this long.
AUTO_DELAY = 1.0


def _tqdm():
    """tqdm's notebook bar in Jupyter where ipywidgets can draw it (7 and later; the notebook
    bar of tqdm 4.64 fails on the ipywidgets 6 of Debian 12), else its text bar, which
    Jupyter shows in the cell's output and a terminal on standard error."""
    try:
        import ipywidgets
        widgets = ipywidgets.version_info >= (7,)
    except (ImportError, AttributeError):
        widgets = False
    if widgets:
        from tqdm.auto import tqdm
    else:
        from tqdm.std import tqdm
    return tqdm


class Bar:
    """A bar over `total` units, shown at once (progress=True), once the work has lasted
    AUTO_DELAY seconds (None) or never (False). Called with the units done so far."""

    def __init__(self, progress, total, unit, desc=None):
        if progress not in (None, True, False):
            raise TypeError("progress: None (a bar for long work), True or False")
        self._mode = progress
        self._total = total
        self._unit = unit
        self._desc = desc
        self._start = time.monotonic()
        self._bar = None
        self.base = 0  # units done before the current piece of work
        if progress is True:
            self._open()

    def _open(self):
        self._bar = _tqdm()(total=self._total, unit=self._unit, desc=self._desc,
                            dynamic_ncols=True, leave=True)

    @property
    def callback(self):
        """What the core calls with the units of the current piece, or None for no bar."""
        return None if self._mode is False else self

    def __call__(self, done):
        n = self.base + done
        if self._bar is None:
            if time.monotonic() - self._start < AUTO_DELAY:
                return
            self._open()
        self._bar.update(n - self._bar.n)

    def close(self, done=None):
        if self._bar is not None:
            if done is not None:
                self._bar.update(done - self._bar.n)
            self._bar.close()
            self._bar = None
