"""What the tests of the Python package share: the command line beside it, and one local
Dask cluster of two worker processes for the whole session."""
import os
import subprocess

import numpy as np
import pytest

BATCH = os.environ.get("RDSIM_BATCH", "rdsim-batch")


def batch(*args, cwd=None, check=True):
    """Runs rdsim-batch; returns (exit status, stdout, stderr)."""
    p = subprocess.run([BATCH] + [str(a) for a in args], cwd=cwd, capture_output=True,
                       text=True, timeout=600)
    if check and p.returncode != 0:
        raise AssertionError("rdsim-batch %s: exit %d\n%s" % (" ".join(map(str, args)),
                                                             p.returncode, p.stderr))
    return p.returncode, p.stdout, p.stderr


def bits(a):
    """The bits of a float32 array, for comparisons that NaN and -0 cannot fool."""
    return np.ascontiguousarray(a, dtype=np.float32).view(np.uint32)


def same_bits(a, b):
    return a.shape == b.shape and np.array_equal(bits(a), bits(b))


@pytest.fixture(scope="session")
def client():
    """A Dask client of a local cluster of two worker processes, one thread each."""
    import distributed
    cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                       dashboard_address=None)
    c = distributed.Client(cluster)
    yield c
    c.close()
    cluster.close()
