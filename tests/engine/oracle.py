#!/usr/bin/python3
"""Independent model of the engine's arithmetic in NumPy (float32 for single, float64 for
double), used to derive the golden hashes the engine tests assert. Run it to print them:
    /usr/bin/python3 tests/engine/oracle.py
It mirrors the rules, not the C++ code: per-operation precision, operand order, the
mirrored stencil and the clamp."""
import numpy as np

f32, f64 = np.float32, np.float64

MODELS = {
    # name: (kA, kB, kC, reactGain, uMax, vMax, Du, Dv)
    "gm": (0.1, 1.5, 0.5, 0.01, 3, 3, 1, 20),
    "sch": (0.025, 1.55, 0.0, 0.01, 3, 3, 1, 20),
    "gs": (0.04, 0.06, 0.0, 1.0, 1, 1, 10, 20),
    "ore": (1.0, 8e-4, 0.01, 0.001, 1, 1, 1, 20),
}


def rates(model, c, u, v):
    kA, kB, kC, g = c
    one = f32(1)
    if model == "gm":
        t1 = (kA - kB * u).astype(f32)
        uu = (u * u).astype(f32)
        frac = uu.astype(f64) / (v.astype(f64) + 0.001)
        sat = (one + (kC * u) * u).astype(f32)
        su = (t1.astype(f64) + frac / sat.astype(f64)).astype(f32)
        sv = (u * u - v).astype(f32)
        return (su * g).astype(f32), (sv * g).astype(f32)
    if model == "sch":
        su = ((kA - u) + (u * u) * v).astype(f32)
        sv = (kB - (u * u) * v).astype(f32)
        return (su * g).astype(f32), (sv * g).astype(f32)
    if model == "gs":
        cc = f32(-(kB + kA))
        su = (cc * u + (u * u) * v).astype(f32)
        sv = (kA * (one - v) - (u * u) * v).astype(f32)
        return (su * g).astype(f32), (sv * g).astype(f32)
    su = (u * (one - u) - (kA * v) * (u - kB) / (u + kB)).astype(f32)
    sv = (u - v).astype(f32)
    return ((su * g).astype(f32) / kC).astype(f32), (sv * g).astype(f32)


def mirror_terms_2d(a, c):
    """a: (N, N) float32 grid [row, col]; returns the double diffusion term. A neighbour
    beyond an edge is the mirrored one: edges add it doubled, corners weigh their two by 2c."""
    p = np.pad(a.astype(f64), 1, mode="reflect")
    e, w, n, s = p[1:-1, 2:], p[1:-1, :-2], p[:-2, 1:-1], p[2:, 1:-1]
    t = (e + w + n + s) * c
    t[0] = (e[0] + w[0] + (s[0] + s[0])) * c
    t[-1] = (e[-1] + w[-1] + (n[-1] + n[-1])) * c
    t[:, 0] = ((e[:, 0] + e[:, 0]) + n[:, 0] + s[:, 0]) * c
    t[:, -1] = ((w[:, -1] + w[:, -1]) + n[:, -1] + s[:, -1]) * c
    c2 = c + c
    t[0, 0], t[0, -1] = (s[0, 0] + e[0, 0]) * c2, (s[0, -1] + w[0, -1]) * c2
    t[-1, 0], t[-1, -1] = (n[-1, 0] + e[-1, 0]) * c2, (n[-1, -1] + w[-1, -1]) * c2
    return t


def mirror_terms_1d(a, c):
    N = a.shape[0]
    d = a.astype(f64)
    t = np.empty_like(d)
    t[0] = (c + c) * d[1]
    t[N - 1] = (c + c) * d[N - 2]
    t[1:N - 1] = (d[2:] + d[:N - 2]) * c
    return t


def coefficients(model, dim):
    kA, kB, kC, g, uMax, vMax, Du, Dv = MODELS[model]
    dt, dx = f32(1.0), f32(0.01)
    cu = f32(f64(f32(Du)) * 1e-6 * f64(dt) / f64(dx) / f64(dx))
    cv = f32(f64(f32(Dv)) * 1e-6 * f64(dt) / f64(dx) / f64(dx))
    w = 2.0 if dim == 1 else 4.0
    su, sv = f32(1.0 - w * f64(cu)), f32(1.0 - w * f64(cv))
    react = f32(f64(g) * f64(dt))
    return (f32(kA), f32(kB), f32(kC), react), cu, cv, su, sv, f32(uMax), f32(vMax)


def start_field(n_cells, seed, uMax, vMax):
    """The test's deterministic start: an LCG on 32 bits, 24 bits per number."""
    x = seed & 0xFFFFFFFF
    vals = []
    for _ in range(2 * n_cells):
        x = (x * 1664525 + 1013904223) & 0xFFFFFFFF
        vals.append(f32((x >> 8) * 2.0 ** -24))
    r = np.array(vals, dtype=f32)
    u = (r[0::2].astype(f64) * 0.1 + 0.5) * f64(uMax)
    v = (r[1::2].astype(f64) * 0.1 + 0.5) * f64(vMax)
    # A few dips so the patterns and the clamp get exercised.
    u = u.astype(f32)
    v = v.astype(f32)
    u[::7] = f32(0.0)
    return u, v


def run(model, dim, N, steps, seed):
    c, cu, cv, su, sv, uMax, vMax = coefficients(model, dim)
    cells = N if dim == 1 else N * N
    u, v = start_field(cells, seed, uMax, vMax)
    if dim == 2:
        u, v = u.reshape(N, N), v.reshape(N, N)
    for _ in range(steps):
        ru, rv = rates(model, c, u, v)
        if dim == 2:
            tu, tv = mirror_terms_2d(u, f64(cu)), mirror_terms_2d(v, f64(cv))
        else:
            tu, tv = mirror_terms_1d(u, f64(cu)), mirror_terms_1d(v, f64(cv))
        nu = (tu + u.astype(f64) * f64(su) + ru.astype(f64)).astype(f32)
        nv = (tv + v.astype(f64) * f64(sv) + rv.astype(f64)).astype(f32)
        nu[nu < 0] = f32(0.0)
        nv[nv < 0] = f32(0.0)
        u, v = nu, nv
    return u.reshape(-1), v.reshape(-1)


def fnv1a(arrays):
    h = 0xcbf29ce484222325
    for a in arrays:
        for w in a.view(np.uint32):
            for b in int(w).to_bytes(4, "little"):
                h ^= b
                h = (h * 0x100000001b3) & 0xFFFFFFFFFFFFFFFF
    return h


if __name__ == "__main__":
    import sys
    lines = []
    with np.errstate(all="ignore"):
        for model in MODELS:
            for dim, N, steps in ((1, 64, 3000), (2, 24, 300)):
                u, v = run(model, dim, N, steps, 12345)
                lines.append(f'{{ "{model}", {dim}, {N}, {steps}, 0x{fnv1a([u, v]):016x}ull }},')
    if len(sys.argv) == 3 and sys.argv[1] == "--check":
        source = open(sys.argv[2]).read()
        missing = [l for l in lines if l not in source]
        for l in missing:
            print("not in the golden table:", l)
        sys.exit(1 if missing else 0)
    print("\n".join(lines))
