"""bench_python.py [--build DIR] [--reps N] [--small] [--layouts]: the Python module against what
a NumPy user would write instead, against its own kernels called directly, and on images in
each memory order, in one run.

1. Each function of mexgeom on the standard workloads (bench/workloads.h: 1024 x 1024 images,
   20,000 points with a 15 x 15 window, 20,000 segments of 7 taps, and of 1 and 3 taps, 10,000
   cameras, 10^6 vectors and lines) against a vectorised NumPy version of the same computation (below), which must give
   the function's numbers on the data or the script stops. patchcorr and stripfilt also with
   threads="auto".
2. The binding's cost: tiny calls of each function (one point, one segment, one camera, one
   vector pair, one line) against the same call of its kernel from C++ (module mexgeom_bench,
   bench/python_kernels.cpp), and the standard workloads the same way.
3. Images in C order, and in other views, against the same images in Fortran order, each read
   where it lies: the 12,000-point patchcorr call on 512 x 512 images (a 15 x 15 window, the
   affine map), 1,000 points on 1024 x 1024 images, and the 20,000 segments of stripfilt on a
   512 x 512 one, in each element type; CPU time. The results must have the same bits or the
   script stops. --layouts runs this part alone.

Times are medians of N runs (default 7) on one thread (but the "threads" column), wall-clock,
runs of the things compared interleaved. DIR is the CMake build folder holding python/ and bench/
(default build/native). --small runs tiny workloads, to check the script itself.
"""

import argparse
import statistics
import sys
import time
from pathlib import Path

import numpy as np

ROOT = Path(__file__).resolve().parents[1]


# ---- the standard workloads, as in bench/workloads.h (NumPy's generator, so not the same numbers)

def texture(side, G, seed):
    """A smooth texture with noise seen through the inverse of G: I(s, t) = f(G^-1 (s, t))."""
    rng = np.random.default_rng(seed)
    s1, t1 = np.meshgrid(np.arange(1.0, side + 1), np.arange(1.0, side + 1), indexing="ij")
    q = np.linalg.solve(G, np.vstack([s1.ravel(), t1.ravel(), np.ones(side * side)]))
    s = (q[0] / q[2]).reshape(side, side)
    t = (q[1] / q[2]).reshape(side, side)
    v = (128 + 45 * np.sin(0.11 * s + 0.07 * t) + 35 * np.sin(0.05 * s - 0.13 * t + 1)
         + 20 * np.sin(0.31 * s + 0.23 * t + 2) + rng.uniform(-12, 12, (side, side)))
    return np.asfortranarray(np.clip(np.round(v), 0, 255))


# The images' element types: the texture's whole numbers 0 to 255 as they are, or scaled to the
# 16-bit range (Fortran order kept, so that the module reads every type in place).
KINDS = {"double": lambda a: a, "uint8": lambda a: a.astype(np.uint8),
         "float32": lambda a: a.astype(np.float32), "uint16": lambda a: (257 * a).astype(np.uint16)}

AFFINE = np.array([[0.98, 0.05, 6], [-0.04, 1.01, -4], [0, 0, 1]])
PERSPECTIVE = np.array([[0.98, 0.05, 6], [-0.04, 1.01, -4], [2e-5, -1e-5, 1]])


def window(half):
    dr, dc = np.meshgrid(np.arange(-half, half + 1.0), np.arange(-half, half + 1.0),
                         indexing="ij")
    return np.asfortranarray(np.vstack([dr.ravel(), dc.ravel(),
                                        np.exp(-(dr.ravel() ** 2 + dc.ravel() ** 2) / 32)]))


def segments(side, K, seed):
    rng = np.random.default_rng(seed)
    start = rng.uniform(1, side, (2, K))
    length, angle = rng.uniform(10, 100, K), rng.uniform(0, 2 * np.pi, K)
    return (np.asfortranarray(start),
            np.asfortranarray(start + length * np.vstack([np.cos(angle), np.sin(angle)])))


# ---- the vectorised NumPy versions --------------------------------------------------------------

def sample(flat, rows, p, q, bilinear):
    """Image elements (flat, column-major) at 0-based positions known to be inside."""
    r, c = p.astype(np.intp), q.astype(np.intp)
    k = r + c * rows
    if not bilinear:
        return flat[k]
    fr, fc = p - r, q - c
    return ((1 - fc) * ((1 - fr) * flat[k] + fr * flat[k + 1])
            + fc * ((1 - fr) * flat[k + rows] + fr * flat[k + rows + 1]))


def patchcorr_numpy(X, Y, H, W, u, bilinear, block=100):
    """The scores in blocks of points, all window samples of a block at once (nW x K arrays). Of
    blocks of 10, 25, 50, 100, 250, 500, 1000, 2000 and 20,000 points, 100 was the fastest on the
    standard workload (261 ms, against 1314 ms for the whole workload at once)."""
    MX, NX = X.shape
    MY, NY = Y.shape
    fx, fy = X.ravel("F").astype(float), Y.ravel("F").astype(float)
    dr, dc, w = W[0][:, None], W[1][:, None], W[2][:, None]
    scores = np.empty(u.shape[1])
    for k in range(0, u.shape[1], block):
        s, t = u[0, k:k + block], u[1, k:k + block]
        g1 = H[0, 0] * s + H[0, 1] * t + H[0, 2]
        g2 = H[1, 0] * s + H[1, 1] * t + H[1, 2]
        g3 = H[2, 0] * s + H[2, 1] * t + H[2, 2]
        c1, c2 = g1 / g3, g2 / g3
        J = ((H[0, 0] - c1 * H[2, 0]) / g3, (H[1, 0] - c2 * H[2, 0]) / g3,
             (H[0, 1] - c1 * H[2, 1]) / g3, (H[1, 1] - c2 * H[2, 1]) / g3)
        pX, qX = (dr + s) - 1, (dc + t) - 1
        pY, qY = (J[0] * dr + J[2] * dc + c1) - 1, (J[1] * dr + J[3] * dc + c2) - 1
        used = ((pX >= 1) & (qX >= 1) & (pX < MX - 1) & (qX < NX - 1)
                & (pY >= 1) & (qY >= 1) & (pY < MY - 1) & (qY < NY - 1))
        x = np.zeros(used.shape)
        y = np.zeros(used.shape)
        x[used] = sample(fx, MX, pX[used], qX[used], bilinear)
        y[used] = sample(fy, MY, pY[used], qY[used], bilinear)
        wu = np.where(used, w, 0)
        Sw = wu.sum(0)
        with np.errstate(invalid="ignore", divide="ignore"):  # no samples: NaN, as it should
            mx, my = (wu * x).sum(0) / Sw, (wu * y).sum(0) / Sw
            vx = (wu * x * x).sum(0) / Sw - mx * mx
            vy = (wu * y * y).sum(0) / Sw - my * my
            cxy = (wu * x * y).sum(0) / Sw - mx * my
            score = cxy / np.sqrt(vx * vy)
        score[(used.sum(0) <= 2) | ~((vx > 1e-9) & (vy > 1e-9))] = np.nan
        scores[k:k + block] = score
    return scores[None, :]


def stripfilt_numpy(I, h, u1, u2, block=250):
    """The responses in blocks of segments of similar length, every step of a block at once. Of
    blocks of 50, 100, 250, 500, 1000, 2000, 5000 and 20,000 segments, 100 to 500 were the
    fastest on the standard workload (329 to 345 ms, against 634 ms for all at once)."""
    M, N = I.shape
    flat = I.ravel("F").astype(float)
    taps = h.ravel("F")
    m = (taps.size - 1) // 2
    a, e = u1 - 1, u2 - u1
    with np.errstate(invalid="ignore", over="ignore"):
        L = np.sqrt(e[0] ** 2 + e[1] ** 2)
        n = np.where((L > 0) & (L + 0.5 < 2 ** 31), np.floor(L + 0.5), 0).astype(np.int64)
        d1, d2 = e[0] / L, e[1] / L
    order = np.argsort(n, kind="stable")
    out = np.empty(u1.shape[1])
    for b in range(0, order.size, block):
        k = order[b:b + block]
        steps = np.arange(n[k].max(initial=0))[:, None]
        total = 0
        for i in range(-m, m + 1):
            p1 = (steps * d1[k] + (-d2[k] * i)) + a[0, k]
            p2 = (steps * d2[k] + i * d1[k]) + a[1, k]
            # Truncated toward zero; the sample is inside when both lie in [0, size - 2].
            with np.errstate(invalid="ignore"):
                t1, t2 = np.trunc(p1), np.trunc(p2)
                inside = ((steps < n[k]) & (t1 >= 0) & (t2 >= 0) & (t1 < M - 1)
                          & (t2 < N - 1))
            v = np.full(p1.shape, -1234567.0)
            r, c = t1[inside].astype(np.intp), t2[inside].astype(np.intp)
            f1, f2, j = p1[inside] - r, p2[inside] - c, r + c * M
            v[inside] = ((1 - f2) * ((1 - f1) * flat[j] + f1 * flat[j + 1])
                         + f2 * ((1 - f1) * flat[j + M] + f1 * flat[j + M + 1]))
            counted = v != -1234567
            with np.errstate(invalid="ignore", divide="ignore"):
                total = total + np.where(counted, taps[i + m] * v, 0).sum(0) / counted.sum(0)
        out[k] = total
    return out[None, :]


def residuals_numpy(y, A, T, E):
    P = T[0, :, 0] + y[0] * T[1, :, 0] + y[1] * T[2, :, 0]
    Q = T[0, :, 1] + y[2] * T[1, :, 1] + y[3] * T[2, :, 1]
    L = [P[1] * Q[2] - P[2] * Q[1], P[2] * Q[0] - P[0] * Q[2], P[0] * Q[1] - P[1] * Q[0],
         P[0] * Q[3] - P[3] * Q[0], P[1] * Q[3] - P[3] * Q[1], P[2] * Q[3] - P[3] * Q[2]]
    l = A[0] * L[0]  # 3 x N: the image lines, summed over the six coordinates in order
    for k in range(1, 6):
        l = l + A[k] * L[k]
    with np.errstate(divide="ignore", invalid="ignore"):
        w = 1 / np.sqrt(l[0] * l[0] + l[1] * l[1])
    ends = [(l[0] * E[0, :, s] + l[1] * E[1, :, s] + l[2]) * w for s in (0, 1)]
    return np.stack(ends, axis=1).reshape(-1, 1)


def pluckresid_numpy(x, A, T, E, jacobian):
    x = x.ravel("F")[:4]
    r = residuals_numpy(x, A, T, E)
    if not jacobian:
        return r
    J = np.hstack([(residuals_numpy(x + 1e-8 * np.eye(4)[k], A, T, E) - r) * 1e8
                   for k in range(4)])
    return r, J


def xprod3_numpy(A, B):
    return np.cross(A, B, axis=0)


def hesseform_numpy(L):
    return L / np.sqrt(L[:, 0] ** 2 + L[:, 1] ** 2)[:, None]


# ---- timing -------------------------------------------------------------------------------------

def medians(reps, functions, clock=time.perf_counter):
    """Median seconds per call of each function (None: none), runs of each in turn, reps times
    over, by clock (wall-clock unless told)."""
    times = [[] for _ in functions]
    for _ in range(reps):
        for k, f in enumerate(functions):
            if f is not None:
                start = clock()
                f()
                times[k].append(clock() - start)
    return [statistics.median(t) if t else float("nan") for t in times]


def agree(got, want, what, tolerance=1e-9):
    """The same NaN pattern and numbers within tolerance (relative to the largest)."""
    got, want = np.asarray(got), np.asarray(want)
    if got.shape != want.shape and 1 in (got.ndim, want.ndim) and got.size == want.size:
        got, want = got.reshape(-1), want.reshape(-1)  # the module's 1-D result, a row or column
    if got.shape != want.shape or not np.array_equal(np.isnan(got), np.isnan(want)):
        sys.exit(f"bench_python: {what}: NumPy's version and the module disagree")
    ok = ~np.isnan(want)
    scale = max(1.0, float(np.max(np.abs(want[ok]), initial=0)))
    difference = float(np.max(np.abs(got[ok] - want[ok]), initial=0))
    if difference > tolerance * scale:
        sys.exit(f"bench_python: {what}: NumPy's version differs from the module by {difference}")
    return difference


def compare_numpy(reps, small):
    import mexgeom

    side, K, half, S, N, n = (64, 300, 3, 300, 50, 1000) if small else (
        1024, 20000, 7, 20000, 10000, 10 ** 6)
    X, W = texture(side, np.eye(3), 1), window(half)
    u = np.asfortranarray(np.random.default_rng(4).uniform(1, side, (2, K)))
    rows = []
    for hname, H, seed in [("affine", AFFINE, 2), ("perspective", PERSPECTIVE, 3)]:
        Y = texture(side, H, seed)
        for kind, as_kind in KINDS.items():
            Xk, Yk = as_kind(X), as_kind(Y)
            for method in ["bilinear", "nearest"]:
                # The perspective map with double bilinear alone; float32 and uint16 bilinear.
                if hname == "perspective" and (kind, method) != ("double", "bilinear"):
                    continue
                if kind in ("float32", "uint16") and method != "bilinear":
                    continue
                bilinear = method == "bilinear"
                s = mexgeom.patchcorr(Xk, Yk, H, W, u, method)
                err = agree(patchcorr_numpy(Xk, Yk, H, W, u, bilinear), s, "patchcorr")
                rows.append((f"patchcorr {method}/{kind}/{hname}", err, *medians(reps, [
                    lambda: mexgeom.patchcorr(Xk, Yk, H, W, u, method),
                    lambda: mexgeom.patchcorr(Xk, Yk, H, W, u, method, threads="auto"),
                    lambda: patchcorr_numpy(Xk, Yk, H, W, u, bilinear)])))
    I = texture(side, np.eye(3), 5)
    h = np.array([-1.0, -4, -5, 0, 5, 4, 1])
    u1, u2 = segments(side, S, 6)
    for kind, as_kind in KINDS.items():
        Ik = as_kind(I)
        err = agree(stripfilt_numpy(Ik, h, u1, u2), mexgeom.stripfilt(Ik, h, u1, u2), "stripfilt")
        rows.append((f"stripfilt {kind}", err, *medians(reps, [
            lambda: mexgeom.stripfilt(Ik, h, u1, u2),
            lambda: mexgeom.stripfilt(Ik, h, u1, u2, threads="auto"),
            lambda: stripfilt_numpy(Ik, h, u1, u2)])))
    # Short filters on the double image: a mean along the segment, a difference across it.
    for short in (np.array([1.0]), np.array([-1.0, 0, 1])):
        err = agree(stripfilt_numpy(I, short, u1, u2), mexgeom.stripfilt(I, short, u1, u2),
                    "stripfilt")
        rows.append((f"stripfilt double, {short.size} tap{'s' if short.size > 1 else ''}", err,
                     *medians(reps, [lambda: mexgeom.stripfilt(I, short, u1, u2),
                                     lambda: mexgeom.stripfilt(I, short, u1, u2, threads="auto"),
                                     lambda: stripfilt_numpy(I, short, u1, u2)])))
    rng = np.random.default_rng(7)
    x, T = rng.normal(size=4), np.asfortranarray(rng.normal(size=(3, 4, 2)))
    A = np.asfortranarray(rng.normal(size=(6, 3, N)))
    E = np.asfortranarray(rng.uniform(0, 1000, (2, N, 2)))
    for jacobian in [False, True]:
        got = pluckresid_numpy(x, A, T, E, jacobian)
        want = mexgeom.pluckresid(x, A, T, E, jacobian=jacobian)
        err = agree(got[0] if jacobian else got, want[0] if jacobian else want, "pluckresid r")
        if jacobian:
            # The differences multiply the residuals' last bits by 1e8.
            err = max(err, agree(got[1], want[1], "pluckresid J", 1e-6))
        rows.append((f"pluckresid {'residuals and Jacobian' if jacobian else 'residuals'}", err,
                     *medians(reps, [lambda: mexgeom.pluckresid(x, A, T, E, jacobian=jacobian),
                                     None, lambda: pluckresid_numpy(x, A, T, E, jacobian)])))
    V = np.asfortranarray(rng.normal(size=(3, n)))
    B = np.asfortranarray(rng.normal(size=(3, n)))
    err = agree(xprod3_numpy(V, B), mexgeom.xprod3(V, B), "xprod3")
    rows.append(("xprod3 against numpy.cross", err, *medians(reps, [
        lambda: mexgeom.xprod3(V, B), None, lambda: xprod3_numpy(V, B)])))
    L = np.asfortranarray(rng.normal(size=(n, 3)))
    err = agree(hesseform_numpy(L), mexgeom.hesseform(L), "hesseform")
    rows.append(("hesseform", err, *medians(reps, [
        lambda: mexgeom.hesseform(L), None, lambda: hesseform_numpy(L)])))
    return rows


def binding_cost(reps, small):
    """Seconds per call of each function through the module and of its kernel called from C++:
    tiny calls (the binding's own cost), then the standard workloads. Every array is already
    column-major, as the kernels read it, so that the module copies nothing."""
    import mexgeom
    import mexgeom_bench as direct

    F = np.asfortranarray
    image, point, line = texture(8, np.eye(3), 1), F([[4.0], [4.0]]), F([[3.0, 4, 10]])
    H = F(AFFINE)
    one = F(np.ones((3, 1)))
    rng = np.random.default_rng(9)
    x, A, T, E = F(rng.normal(size=4)), F(rng.normal(size=(6, 3, 1))), F(rng.normal(
        size=(3, 4, 2))), F(rng.uniform(0, 100, (2, 1, 2)))
    def out(*shape):
        return np.empty(shape, order="F")

    tiny = [
        ("patchcorr, 1 point, 1 sample", (mexgeom.patchcorr, image, image, H, window(0), point),
         (direct.patchcorr, image, image, H, window(0), point, False, out(1, 1))),
        ("stripfilt, 1 segment, 1 tap", (mexgeom.stripfilt, image, F([1.0]), point, point + 3),
         (direct.stripfilt, image, F([1.0]), point, point + 3, out(1, 1))),
        ("pluckresid, 1 camera", (mexgeom.pluckresid, x, A, T, E),
         (direct.pluckresid, x, A, T, E, False, out(2, 1), out(0))),
        ("xprod3, 1 pair", (mexgeom.xprod3, one, one), (direct.xprod3, one, one, out(3, 1))),
        ("hesseform, 1 line", (mexgeom.hesseform, line), (direct.hesseform, line, out(1, 3))),
    ]
    loops = 200 if small else 20000
    rows = []
    for name, (call, *args), (kernel, *kargs) in tiny:
        def through_module():
            for _ in range(loops):
                call(*args)
        py, c = medians(reps, [through_module, lambda: kernel(*kargs, loops)])
        rows.append((name, py / loops, c / loops))

    side, K, S, N, n = (64, 300, 300, 50, 1000) if small else (1024, 20000, 20000, 10000, 10 ** 6)
    X, Y, W = texture(side, np.eye(3), 1), texture(side, AFFINE, 2), window(3 if small else 7)
    u = F(rng.uniform(1, side, (2, K)))
    h = F([-1.0, -4, -5, 0, 5, 4, 1])
    u1, u2 = segments(side, S, 6)
    A, E = F(rng.normal(size=(6, 3, N))), F(rng.uniform(0, 1000, (2, N, 2)))
    V, B, L = F(rng.normal(size=(3, n))), F(rng.normal(size=(3, n))), F(rng.normal(size=(n, 3)))
    scores, responses, r, J, C, Q = out(1, K), out(1, S), out(2 * N, 1), out(2 * N, 4), out(3, n), \
        out(n, 3)
    large = [
        ("patchcorr bilinear/double/affine", lambda: mexgeom.patchcorr(X, Y, H, W, u),
         lambda: direct.patchcorr(X, Y, H, W, u, False, scores, 1)),
        ("stripfilt double", lambda: mexgeom.stripfilt(X, h, u1, u2),
         lambda: direct.stripfilt(X, h, u1, u2, responses, 1)),
        ("pluckresid residuals and Jacobian", lambda: mexgeom.pluckresid(x, A, T, E,
                                                                         jacobian=True),
         lambda: direct.pluckresid(x, A, T, E, True, r, J, 1)),
        ("xprod3, 10^6 pairs" if not small else "xprod3", lambda: mexgeom.xprod3(V, B),
         lambda: direct.xprod3(V, B, C, 1)),
        ("hesseform, 10^6 lines" if not small else "hesseform", lambda: mexgeom.hesseform(L),
         lambda: direct.hesseform(L, Q, 1)),
    ]
    for name, through_module, kernel in large:
        rows.append((name, *medians(reps, [through_module, kernel])))
    return rows


def every_other(a):
    """The same values, every other element of each row of a C-order array twice as wide."""
    wide = np.zeros((a.shape[0], 2 * a.shape[1]), a.dtype)
    wide[:, ::2] = a
    return wide[:, ::2]


# The views of an image timed against its Fortran order: NumPy's default order, a view whose
# neighbours lie apart along both axes, and one read backwards.
VIEWS = {"C order": np.ascontiguousarray, "every other element": every_other,
         "reversed": lambda a: np.flip(np.flip(a).copy())}


def layouts(reps, small):
    """CPU seconds per call (one thread: the load of a shared machine does not stretch them as it
    does wall-clock time) on images in Fortran order and on each view of VIEWS of them: the
    12,000-point patchcorr call on 512 x 512 images, 1,000 points on 1024 x 1024 ones (where
    copying the images would cost most of the call), and stripfilt's 20,000 segments."""
    import mexgeom

    side, K, S, half = (64, 300, 300, 3) if small else (512, 12000, 20000, 7)
    X, Y, W = texture(side, np.eye(3), 1), texture(side, AFFINE, 2), window(half)
    u = np.asfortranarray(np.random.default_rng(4).uniform(1, side, (2, K)))
    big = 2 * side
    X2, Y2 = texture(big, np.eye(3), 1), texture(big, AFFINE, 2)
    u2k = np.asfortranarray(np.random.default_rng(5).uniform(1, big, (2, K // 12)))
    I, h = texture(side, np.eye(3), 5), np.array([-1.0, -4, -5, 0, 5, 4, 1])
    u1, u2 = segments(side, S, 6)
    rows = []
    for kind, as_kind in KINDS.items():
        for name, call, images in [
                (f"patchcorr {K} points, {side}^2", lambda a, b: mexgeom.patchcorr(
                    a, b, AFFINE, W, u), (as_kind(X), as_kind(Y))),
                (f"patchcorr {K // 12} points, {big}^2", lambda a, b: mexgeom.patchcorr(
                    a, b, AFFINE, W, u2k), (as_kind(X2), as_kind(Y2))),
                (f"stripfilt {S} segments", lambda a: mexgeom.stripfilt(a, h, u1, u2),
                 (as_kind(I),))]:
            viewed = [tuple(view(image) for image in images) for view in VIEWS.values()]
            fortran = call(*images)
            if not all(call(*v).tobytes() == fortran.tobytes() for v in viewed):
                sys.exit(f"bench_python: {name}, {kind}: a view gives other bits than Fortran order")
            times = medians(reps, [lambda: call(*images)] + [lambda v=v: call(*v) for v in viewed],
                            clock=time.process_time)
            rows += [(f"{name}, {kind}, {view}", times[0], t)
                     for view, t in zip(VIEWS, times[1:])]
    return rows


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=str(ROOT / "build" / "native"))
    parser.add_argument("--reps", type=int, default=7)
    parser.add_argument("--small", action="store_true")
    parser.add_argument("--layouts", action="store_true")
    options = parser.parse_args()
    build = Path(options.build)
    sys.path[:0] = [str(build / "python"), str(build / "bench")]
    import mexgeom

    print(f"mexgeom {mexgeom.__version__} from {mexgeom.__file__}")
    print(f"Python {sys.version.split()[0]}, NumPy {np.__version__}; medians of {options.reps}")
    if not options.layouts:
        compare(options)
    print("\n== images in another order or view against Fortran order (ratio: view / Fortran)")
    print(f"{'call, element type, view':60} {'Fortran ms':>10} {'view ms':>10} {'ratio':>7}")
    for name, fortran, view in layouts(options.reps, options.small):
        print(f"{name:60} {1e3 * fortran:10.3f} {1e3 * view:10.3f} {view / fortran:7.3f}")


def compare(options):
    """Parts 1 and 2."""
    print("\n== each function against a vectorised NumPy version (ratio: NumPy time / module "
          "time)")
    print(f"{'workload':42} {'module ms':>10} {'threads ms':>11} {'NumPy ms':>10} {'ratio':>7} "
          f"{'threads':>8}  max |difference|")
    for name, err, module, threads, numpy_ in compare_numpy(options.reps, options.small):
        print(f"{name:42} {1e3 * module:10.3f} {1e3 * threads:11.3f} {1e3 * numpy_:10.3f} "
              f"{numpy_ / module:7.1f} {numpy_ / threads:8.1f}  {err:.2g}")

    print("\n== the module's call against its kernel called from C++ (ratio: module / kernel)")
    print(f"{'call':42} {'module us':>10} {'kernel us':>10} {'overhead us':>12} {'ratio':>7}")
    for name, module, kernel in binding_cost(options.reps, options.small):
        print(f"{name:42} {1e6 * module:10.3f} {1e6 * kernel:10.3f} "
              f"{1e6 * (module - kernel):12.3f} {module / kernel:7.3f}")


if __name__ == "__main__":
    main()
