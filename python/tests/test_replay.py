"""Records cross the front ends: a record written from Python replays with rdsim-batch replay,
one written by rdsim-batch (as JSON or inside a PNG) with rdsim.replay."""
import json

import numpy as np
import pytest

import rdsim
from conftest import batch


def test_a_python_record_replays_with_the_command_line(tmp_path):
    sim = rdsim.Simulation("oregonator", dim=1, size=64, init="random", seed=8, kA="0.03")
    sim.step(500)
    sim.save(str(tmp_path / "py"))
    sha = sim.record()["fields"]["sha256"]
    code, out, _ = batch("replay", "py.json", cwd=tmp_path)
    assert (code, out) == (0, "note: recorded by \"rdsim-python %s\", replayed by rdsim-batch %s\n"
                              "reproduced bit for bit: 500 steps, fields SHA-256 %s\n"
                           % (rdsim.__version__, rdsim.__version__, sha))


def test_a_run_from_arrays_replays_from_what_save_writes(tmp_path):
    u = np.linspace(0, 1, 32 * 32, dtype=np.float32).reshape(32, 32)
    sim = rdsim.Simulation("schnakenberg", size=32, init=(u, u[::-1].copy()))
    sim.step(300)
    sim.save(str(tmp_path / "arr"))
    code, out, _ = batch("replay", "arr.json", cwd=tmp_path)
    assert code == 0 and "reproduced bit for bit: 300 steps" in out
    assert rdsim.replay(tmp_path / "arr.json").reproduced
    # The record alone names no files for its arrays: it cannot be replayed.
    (tmp_path / "bare.json").write_text(json.dumps(sim.record()))
    with pytest.raises(rdsim.RecordError, match='"file" is missing'):
        rdsim.replay(tmp_path / "bare.json")


def test_command_line_records_replay_in_python(tmp_path):
    batch("--model", "gray-scott", "--size", 24, "--init", "seeded", "--seed", 5, "--steps", 400,
          "--set", "kA=0.03", "--save", "out", "--image", "out.png", cwd=tmp_path)
    sha = json.loads((tmp_path / "out.json").read_text())["fields"]["sha256"]
    for carrier in ("out.json", "out.png"):
        r = rdsim.replay(tmp_path / carrier)
        assert (r.verdict, r.steps, r.fields_sha256) == ("reproduced", 400, sha)
        assert r.lines == ("note: recorded by \"rdsim-batch %s\", replayed by rdsim-python %s"
                           % (rdsim.__version__, rdsim.__version__),
                           "reproduced bit for bit: 400 steps, fields SHA-256 " + sha)
    # A saved field changed since is found, cell by cell.
    v = np.load(tmp_path / "out-v.npy")
    v[2, 5] = 0.75
    np.save(tmp_path / "out-v.npy", v)
    r = rdsim.replay(tmp_path / "out.json")
    assert r.verdict == "file changed" and not r.reproduced
    assert r.lines[-1].startswith('"%s": first differing cell v[2, 5] (cell 53): saved 0.75'
                                  % (tmp_path / "out-v.npy"))


@pytest.mark.parametrize("text,error", [
    ("{}", 'the record\'s "settings" is missing or not valid'),
    ("not json", "not a record"),
])
def test_unusable_records_are_refused(tmp_path, text, error):
    (tmp_path / "r.json").write_text(text)
    with pytest.raises(rdsim.RecordError, match=error):
        rdsim.replay(tmp_path / "r.json")
    with pytest.raises(rdsim.RecordError):
        rdsim.replay(tmp_path / "missing.json")
