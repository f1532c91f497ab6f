#!/usr/bin/python3
"""The Gierer-Meinhardt and Gray-Scott 2D steps, and the step of every shipped typed model
(models/*.toml), as a plain NumPy float32 program, the version a researcher would write
first, timed for comparison with rdsim-bench.

    numpy_step.py [--engine STEP.json] [--models DIR]

prints NumPy's M cell updates/s at N = 128 and 1024 (best of 5 timings, in process CPU
time, as rdsim-bench's one-thread figures; its threaded ones are wall-clock) and, given the
JSON output of rdsim-bench (--benchmark_out=STEP.json --benchmark_out_format=json), the
engine's best rates and their ratio to NumPy's. The constants are rdsim-bench's; the
arithmetic is NumPy's own (single precision, its own grouping), so only the speed is
comparable, not the bits."""

import argparse
import json
import pathlib
import time
import tomllib

import numpy as np

F = np.float32

# name: kA, kB, kC, reaction scale, Du, Dv (the diffusion numbers as rdsim-bench derives
# them: D * 1e-6 / 0.01 / 0.01)
MODELS = {
    "gm": (0.1, 1.5, 0.5, 0.01, 0.01, 0.2),
    "gray-scott": (0.04, 0.06, 0.0, 1.0, 0.1, 0.2),
}


def laplacian(a):
    """Five-point Laplacian with mirrored edges (an edge counts its inner neighbour twice)."""
    p = np.pad(a, 1, mode="reflect")
    return p[:-2, 1:-1] + p[2:, 1:-1] + p[1:-1, :-2] + p[1:-1, 2:] - F(4) * a


def make_step(name):
    ka, kb, kc, gain, cu, cv = (F(x) for x in MODELS[name])
    milli, one = F(0.001), F(1)

    if name == "gm":
        def rates(u, v):
            uu = u * u
            return ka - kb * u + uu / (v + milli) / (one + kc * uu), uu - v
    else:
        def rates(u, v):
            uuv = u * u * v
            return -(kb + ka) * u + uuv, ka * (one - v) - uuv

    def step(u, v):
        f, g = rates(u, v)
        u2 = u + cu * laplacian(u) + gain * f
        v2 = v + cv * laplacian(v) + gain * g
        np.maximum(u2, 0, out=u2)
        np.maximum(v2, 0, out=v2)
        return u2, v2

    return step


# The language's functions in NumPy; ^ is Python's **.
FUNCTIONS = {"sqrt": np.sqrt, "exp": np.exp, "log": np.log, "abs": np.abs,
             "min": np.minimum, "max": np.maximum, "tanh": np.tanh}


def load_typed(folder):
    """Every model file of the folder: (file stem, its TOML table)."""
    return [(path.stem, tomllib.loads(path.read_text()))
            for path in sorted(pathlib.Path(folder).glob("*.toml"))]


def make_typed_step(model):
    """The typed model's step with the file's settings (a missing one as the built-ins')."""
    settings = model.get("settings", {})
    params = {k: F(float(v)) for k, v in model.get("parameters", {}).items()}
    cu = F(float(settings.get("Du", 1)) * 0.01)
    cv = F(float(settings.get("Dv", 20)) * 0.01)
    gain = F(float(settings.get("scale", 0.01)))
    rate_u = compile(model["rate-u"].replace("^", "**"), "rate-u", "eval")
    rate_v = compile(model["rate-v"].replace("^", "**"), "rate-v", "eval")
    clamp = model["clamp"]
    scope = {"__builtins__": {}, **FUNCTIONS}

    def step(u, v):
        names = dict(params, u=u, v=v)
        f = eval(rate_u, scope, names)
        g = eval(rate_v, scope, names)
        u2 = u + cu * laplacian(u) + gain * f
        v2 = v + cv * laplacian(v) + gain * g
        if clamp:
            np.maximum(u2, 0, out=u2)
            np.maximum(v2, 0, out=v2)
        return u2, v2

    ranges = (float(settings.get("uMax", 3)), float(settings.get("vMax", 3)))
    return step, ranges


def rate(name, n, repeats=5, seconds=0.3, step=None, ranges=(1.0, 1.0)):
    """Best M cell updates/s of repeated steps from a random start."""
    rng = np.random.default_rng(7)
    u = ((rng.random((n, n), dtype=F) * F(0.1) + F(0.5))) * F(ranges[0])
    v = ((rng.random((n, n), dtype=F) * F(0.1) + F(0.5))) * F(ranges[1])
    step = step or make_step(name)
    steps = 1
    while True:  # enough steps for one timing to last about `seconds`
        t = time.process_time()
        for _ in range(steps):
            u, v = step(u, v)
        if time.process_time() - t >= seconds / 4:
            break
        steps *= 2
    best = float("inf")
    for _ in range(repeats):
        t = time.process_time()
        for _ in range(steps):
            u, v = step(u, v)
        best = min(best, (time.process_time() - t) / steps)
    return n * n / best * 1e-6


def engine_rates(path):
    """Best M cell updates/s of each rdsim-bench benchmark in its JSON output."""
    with open(path) as f:
        runs = json.load(f)["benchmarks"]
    best = {}
    for r in runs:
        if r.get("run_type") != "iteration" or "cell_updates/s" not in r:
            continue
        name = r["name"].removesuffix("/real_time")
        best[name] = max(best.get(name, 0.0), r["cell_updates/s"] * 1e-6)
    return best


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--engine", help="rdsim-bench JSON output to compare with")
    parser.add_argument("--models", default=pathlib.Path(__file__).parent.parent / "models",
                        help="folder of the typed model files (default: the shipped ones)")
    args = parser.parse_args()
    engine = engine_rates(args.engine) if args.engine else {}
    print(f"\nNumPy {np.__version__} float32 step, M cell updates/s (best of 5, CPU time)")
    for name in MODELS:
        for n in (128, 1024):
            mine = rate(name, n)
            print(f"numpy {name:<12} N = {n:<5} {mine:9.1f}")
            if n == 128:
                pairs = [("dispatched", f"Step2D/{name}/128/dispatched")]
            else:
                pairs = [(f"{t} thread{'s' if t > 1 else ''} (wall)", f"Step2D/{name}/1024/threads:{t}")
                         for t in (1, 2)]
            for label, key in pairs:
                if key in engine:
                    print(f"  rdsim {label:<17} {engine[key]:9.1f}   ratio {engine[key] / mine:6.2f}x")
    print("\nTyped models: NumPy float32 step against rdsim's typed step on one thread, "
          "M cell updates/s (CPU time)")
    for name, model in load_typed(args.models):
        step, ranges = make_typed_step(model)
        for n, key in ((128, f"Typed2D/{name}/128/dispatched"),
                       (1024, f"Typed2D/{name}/1024/dispatched")):
            with np.errstate(all="ignore"):
                mine = rate(name, n, step=step, ranges=ranges)
            line = f"numpy {name:<26} N = {n:<5} {mine:9.1f}"
            if key in engine:
                line += f"   rdsim {engine[key]:9.1f}   ratio {engine[key] / mine:6.2f}x"
            print(line)


if __name__ == "__main__":
    main()
