"""sim.run: frames every so many steps as an xarray.Dataset, in memory or streamed into an
HDF5 file that appears whole or not at all."""
import json
import os

import h5py
import numpy as np
import pytest

import rdsim
from conftest import same_bits


@pytest.mark.parametrize("dim,steps,every,times", [
    (2, 300, 100, [0, 100, 200, 300]),
    (1, 250, 100, [0, 100, 200, 250]),
    (2, 0, 100, [0]),
])
def test_frames_are_the_states_at_their_steps(dim, steps, every, times):
    sim = rdsim.Simulation("gray-scott", dim=dim, size=20, init="seeded", seed=2)
    sim.step(40)
    ds = sim.run(steps, every=every)
    assert list(ds.t.values) == [40 + t for t in times]
    assert ds.u.dims == (("t", "y", "x") if dim == 2 else ("t", "x"))
    assert ds.u.dtype == np.float32 and ds.u.shape == (len(times),) + (20,) * dim
    assert json.loads(ds.attrs["record"]) == sim.record()
    assert (ds.attrs["model"], ds.attrs["dimension"], ds.attrs["size"]) == ("gray-scott", dim, 20)
    for k, t in enumerate(ds.t.values):
        alone = rdsim.Simulation("gray-scott", dim=dim, size=20, init="seeded", seed=2)
        alone.step(int(t))
        assert same_bits(ds.u.values[k], alone.u) and same_bits(ds.v.values[k], alone.v)


def test_a_stored_series_is_the_one_in_memory(tmp_path):
    a, b = (rdsim.Simulation("gm", size=24, init="random", seed=6) for _ in range(2))
    in_memory = a.run(500, every=100)
    path = tmp_path / "series.h5"
    stored = b.run(500, every=100, store=str(path))
    for name in ("u", "v"):
        assert same_bits(stored[name].values, in_memory[name].values), name
    assert (list(stored.t.values), stored.attrs["record"]) == \
        (list(in_memory.t.values), in_memory.attrs["record"])
    # An HDF5 file that h5py reads as well, frame by frame.
    with h5py.File(path, "r") as f:
        assert f["u"].shape == (6, 24, 24) and f["u"].chunks == (1, 24, 24)
        assert same_bits(f["v"][3], in_memory.v.values[3])
    assert os.listdir(tmp_path) == ["series.h5"]


def test_a_failed_series_leaves_no_file_and_the_old_one_whole(tmp_path):
    path = tmp_path / "series.h5"
    path.write_bytes(b"an earlier series")
    sim = rdsim.Simulation("gm", size=128, Du=1000000, init="random", seed=1)
    with pytest.raises(rdsim.StepError):
        sim.run(50, every=5, store=str(path))
    assert os.listdir(tmp_path) == ["series.h5"]
    assert path.read_bytes() == b"an earlier series"
    with pytest.raises(OSError):
        sim.run(10, every=5, store=str(tmp_path / "no-such-folder" / "s.h5"))


@pytest.mark.parametrize("steps,every", [(10, 0), (10, 2.5), (-1, 10)])
def test_bad_periods_are_refused(steps, every):
    with pytest.raises(ValueError):
        rdsim.Simulation("gm", size=8).run(steps, every=every)
