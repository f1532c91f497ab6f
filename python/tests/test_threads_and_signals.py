"""Stepping releases the GIL, so simulations in two threads run side by side; Ctrl-C stops a
long step after the current step with the state whole; a simulation busy in one thread is
refused to another."""
import signal
import threading
import time

import pytest

import rdsim
from conftest import same_bits

LONG = 1000000  # far more steps than any test lets run


def wait_for(condition, timeout=60):
    end = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > end:
            raise AssertionError("timed out")
        time.sleep(0.001)


def stepped(steps=0, model="gm", size=64, seed=3):
    # The usual run (gm, 64 cells, seed 3) after `steps` whole steps.
    sim = rdsim.Simulation(model, size=size, init="random", seed=seed)
    sim.step(steps)
    return sim


def interrupted(call, meanwhile):
    # call() here must be stopped by the Ctrl-C that another thread sends after meanwhile().
    def helper():
        meanwhile()
        signal.pthread_kill(threading.main_thread().ident, signal.SIGINT)

    thread = threading.Thread(target=helper)
    thread.start()
    with pytest.raises(KeyboardInterrupt):
        call()
    thread.join()


def test_ctrl_c_stops_after_a_whole_step_and_a_second_simulation_steps_meanwhile():
    long = stepped()
    other = rdsim.Simulation("gray-scott", size=32, init="seeded", seed=1)
    seen = {}

    def meanwhile():
        # Runs only if the main thread's step has let go of the GIL.
        wait_for(lambda: long.steps > 0)
        seen["before"] = long.steps
        seen["other"] = other.step(300, progress=False)
        seen["after"] = long.steps

    interrupted(lambda: long.step(LONG, progress=False), meanwhile)
    stopped = long.steps
    assert 0 < seen["before"] <= seen["after"] <= stopped < LONG
    assert seen["other"] == 300 and other.steps == 300
    # The state is that of exactly `stopped` whole steps, and the run goes on from it.
    again = stepped(stopped)
    assert same_bits(long.u, again.u) and same_bits(long.v, again.v)
    assert long.record()["fields"] == again.record()["fields"]
    long.step(10)
    again.step(10)
    assert same_bits(long.u, again.u)


def test_two_simulations_in_two_threads_give_their_own_results():
    sims = [rdsim.Simulation(m, size=48, init="random", seed=9) for m in ("gm", "oregonator")]
    threads = [threading.Thread(target=s.step, args=(700,), kwargs={"progress": False})
               for s in sims]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for s in sims:
        alone = stepped(700, s.model, size=48, seed=9)
        assert s.steps == 700 and same_bits(s.u, alone.u) and same_bits(s.v, alone.v)


def test_a_simulation_stepping_in_one_thread_is_refused_to_another():
    sim = stepped()
    errors = []

    def poke():
        wait_for(lambda: sim.steps > 0)
        for call in (lambda: sim.u, lambda: sim.step(1), sim.record, lambda: sim.findings):
            try:
                call()
            except RuntimeError as e:
                errors.append(str(e))

    interrupted(lambda: sim.step(LONG, progress=False), poke)
    assert errors == ["the simulation is in use by another thread"] * 4
    assert sim.u.shape == (64, 64)  # free again


def bars(monkeypatch, broken=False):
    # A recording bar in place of tqdm's; a broken one fails on update.
    import rdsim._progress as progress
    made = []

    class Recorder:
        def __init__(self, total, unit, **kw):
            self.n, self.total, self.closed = 0, total, False
            made.append(self)

        def update(self, k):
            if broken:
                raise OSError("the terminal went away")
            self.n += k

        def close(self):
            self.closed = True

    monkeypatch.setattr(progress, "_tqdm", lambda: Recorder)
    return made


def test_an_error_in_a_progress_bar_stops_the_steps_whole(monkeypatch):
    bars(monkeypatch, broken=True)
    sim = stepped()
    with pytest.raises(OSError, match="terminal went away"):
        sim.step(LONG, progress=True)
    stopped = sim.steps
    assert 0 < stopped < LONG
    assert same_bits(sim.u, stepped(stopped).u)


def test_the_bar_shows_the_steps(monkeypatch):
    made = bars(monkeypatch)
    sim = stepped(size=16)
    sim.step(500, progress=True)
    sim.step(20)  # short: no bar
    sim.run(300, every=100, progress=True)
    assert [(b.total, b.n, b.closed) for b in made] == [(500, 500, True), (300, 300, True)]


def test_ctrl_c_stops_a_sweep_on_local_threads():
    start = time.monotonic()
    # Each run would take minutes: the interrupt must stop them, not wait for them.
    interrupted(lambda: rdsim.sweep("gm", size=256, steps=LONG, init="random", seed=1,
                                    kA=[0.1, 0.11, 0.12], jobs=2, progress=False),
                lambda: time.sleep(0.3))
    assert time.monotonic() - start < 30
