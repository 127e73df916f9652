"""bench_alternatives.py [--build DIR] [--reps N] [--window N] [--small]: the Python module
against what a Python user picks instead (OpenCV, SciPy), on the same data in one run.

1. patchcorr against OpenCV: the homography check a user writes with it, second image warped into
   the first one's frame by H (cv2.warpPerspective), then windowed NCC by box filters (one score
   at every pixel, read at the points); and cv2.matchTemplate per point, on the second image's
   window warped through H. From 1,000 points to every pixel's worth of points, on a 512 x 512
   and a 1024 x 1024 image, float32 (matchTemplate takes no float64), in C order as
   cv2.imread and NumPy give it; the module also on Fortran-order copies made beforehand. Window:
   N x N samples (default 15) of weight 1 (a box filter's weights). Prints the crossover: the
   point count above which the dense OpenCV pipeline is faster.
2. stripfilt against scipy.ndimage.map_coordinates: the strip's lines sampled (order=1,
   bilinear), each line averaged, the averages weighted by the taps; all segments in one call of
   map_coordinates, and one call per segment.
3. pluckresid fitting a 3D line with scipy.optimize.least_squares: the module's residuals with its
   Jacobian, against the same residuals with least_squares' own differences ("2-point"), and
   against residuals in NumPy (bench_python.py's) with its differences.

Every pair compared must give the same answers within these tolerances, or the script stops:
OpenCV's scores within 1e-3 of the module's at half of the points and within 1e-2 at 99 % of them
(its bilinear interpolation places samples on a grid of 1/32 pixel), the same NaN scores,
map_coordinates' responses within 1e-9 relative, the fits within 1e-6 in each parameter and 1e-9
relative in the final cost. The largest and median differences are printed.

Times are medians of N runs (default 7), the things compared interleaved; everything on one
thread (cv2.setNumThreads(1)) and timed by the process's CPU time, which other programs on a
shared machine do not stretch as they do wall-clock time, but the "threads" columns: wall-clock,
OpenCV on its default thread count and the module with threads="auto". DIR is the CMake build
folder holding python/ (default build/native). --small runs tiny workloads, to check the script
itself.
"""

import argparse
import sys
import time
from pathlib import Path

import numpy as np

from bench_python import PERSPECTIVE, ROOT, agree, medians, residuals_numpy, texture


def window_points(side, H, half):
    """Every whole-pixel point (2 x K, 1-based (row, column), in raster order) whose window of
    half-width half lies inside the image and, mapped through H, inside the second image, with
    room to spare, so that no method leaves a sample out."""
    r, c = np.meshgrid(np.arange(1.0, side + 1), np.arange(1.0, side + 1), indexing="ij")
    g = H @ np.vstack([r.ravel(), c.ravel(), np.ones(r.size)])
    room = half + 3
    inside = np.ones(r.size, bool)
    for a in (r.ravel(), c.ravel(), g[0] / g[2], g[1] / g[2]):
        inside &= (a > room) & (a < side - room)
    return np.vstack([r.ravel()[inside], c.ravel()[inside]])


# ---- OpenCV: what a Python user writes to check a homography -----------------------------------

# 1-based (row, column, 1) to OpenCV's 0-based (x, y, 1): x = column - 1, y = row - 1.
TO_CV = np.array([[0.0, 1, -1], [1, 0, -1], [0, 0, 1]])


def opencv_dense(cv2, X, Y, Hcv, n, u):
    """Y warped into X's frame (Yw(x, y) = Y(H (x, y))), then the correlation of the n x n windows
    of X and Yw about every pixel from five box filters; the scores read at the points u."""
    Yw = cv2.warpPerspective(Y, Hcv, (X.shape[1], X.shape[0]),
                             flags=cv2.INTER_LINEAR | cv2.WARP_INVERSE_MAP)
    def box(a):
        return cv2.boxFilter(a, -1, (n, n))

    mx, my = box(X), box(Yw)
    with np.errstate(invalid="ignore", divide="ignore"):  # flat windows beyond Y's border
        score = (box(X * Yw) - mx * my) / np.sqrt((box(X * X) - mx * mx) * (box(Yw * Yw) - my * my))
    r, c = u.astype(np.intp) - 1
    return score[r, c]


def opencv_per_point(cv2, X, Y, Hcv, n, u):
    """For each point, Y's n x n window warped through H (cv2.warpPerspective of the point's own
    patch) and scored against X's by cv2.matchTemplate (TM_CCOEFF_NORMED: the correlation)."""
    half = n // 2
    scores = np.empty(u.shape[1])
    for k, (r, c) in enumerate(u.astype(np.intp).T - 1):
        corner = np.array([[1.0, 0, c - half], [0, 1, r - half], [0, 0, 1]])
        patch = cv2.warpPerspective(Y, Hcv @ corner, (n, n),
                                    flags=cv2.INTER_LINEAR | cv2.WARP_INVERSE_MAP)
        template = X[r - half:r + half + 1, c - half:c + half + 1]
        scores[k] = cv2.matchTemplate(patch, template, cv2.TM_CCOEFF_NORMED)[0, 0]
    return scores


def close(got, want, what):
    """The largest and the median |difference| of two score lists, which must have the same NaN
    pattern and differ by at most 1e-3 at half of the points and 1e-2 at 99 % of them. (OpenCV's
    sampling error moves a score the more, the smaller and flatter the window: a few of 7 x 7
    windows move by more than 1e-2, while H half a pixel off moves the median score by 4e-3 to
    2e-2.)"""
    got, want = np.ravel(got), np.ravel(want)
    if not np.array_equal(np.isnan(got), np.isnan(want)):
        sys.exit(f"bench_alternatives: {what}: the NaN scores differ")
    difference = np.abs(got - want)[~np.isnan(want)]
    if difference.size == 0:
        return 0.0, 0.0
    median, most = np.percentile(difference, [50, 99])
    if median > 1e-3 or most > 1e-2:
        sys.exit(f"bench_alternatives: {what}: the scores differ by {median} (median) and "
                 f"{most} (99th percentile)")
    return float(np.max(difference)), float(median)


def compare_opencv(reps, small, n):
    import cv2
    import mexgeom

    per_point_limit = 10000
    rows = []
    for side in ([64] if small else [512, 1024]):
        X = np.ascontiguousarray(texture(side, np.eye(3), 1), np.float32)
        Y = np.ascontiguousarray(texture(side, PERSPECTIVE, 2), np.float32)
        XF, YF = np.asfortranarray(X), np.asfortranarray(Y)
        Hcv = TO_CV @ PERSPECTIVE @ np.linalg.inv(TO_CV)
        dr, dc = np.meshgrid(np.arange(n) - n // 2.0, np.arange(n) - n // 2.0, indexing="ij")
        W = np.vstack([dr.ravel(), dc.ravel(), np.ones(n * n)])
        valid = window_points(side, PERSPECTIVE, n // 2)
        every = valid.shape[1]
        rng = np.random.default_rng(side)
        counts = [100, 300] if small else [k for k in [1000, 3000, 10000, 30000, 100000]
                                           if k < every]
        for K in counts + [every]:
            # K points of those in random order, or all of them in raster order.
            u = valid if K == every else valid[:, rng.choice(every, K, replace=False)]
            scores = mexgeom.patchcorr(X, Y, PERSPECTIVE, W, u)
            errors = [close(opencv_dense(cv2, X, Y, Hcv, n, u), scores, "warp and box filters")]
            if K <= per_point_limit:
                errors.append(close(opencv_per_point(cv2, X, Y, Hcv, n, u), scores,
                                    "matchTemplate per point"))
            cv2.setNumThreads(1)
            one = medians(reps, [
                lambda: mexgeom.patchcorr(X, Y, PERSPECTIVE, W, u),
                lambda: mexgeom.patchcorr(XF, YF, PERSPECTIVE, W, u),
                lambda: opencv_dense(cv2, X, Y, Hcv, n, u),
                (lambda: opencv_per_point(cv2, X, Y, Hcv, n, u)) if K <= per_point_limit else None],
                time.process_time)
            cv2.setNumThreads(-1)  # OpenCV's default
            threads = medians(reps, [
                lambda: mexgeom.patchcorr(X, Y, PERSPECTIVE, W, u, threads="auto"),
                lambda: opencv_dense(cv2, X, Y, Hcv, n, u)])
            rows.append((side, K, K == every, errors, one, threads, cv2.getNumThreads()))
    cv2.setNumThreads(1)
    return rows


def crossover(K, module, dense):
    """The point count at which the dense pipeline's time over the module's falls through 1,
    interpolated between the two measured counts about it on logarithmic scales (None when it
    does not fall through 1 between the first count and the last)."""
    ratio = np.log(np.array(dense) / np.array(module))
    below = np.flatnonzero(ratio < 0)
    if below.size == 0 or below[0] == 0:
        return None
    i = below[0]
    lo, hi = np.log(K[i - 1]), np.log(K[i])
    return float(np.exp(lo + (hi - lo) * ratio[i - 1] / (ratio[i - 1] - ratio[i])))


# ---- SciPy: what a Python user writes for a strip filter ---------------------------------------

def strip_positions(u1, u2, m):
    """The 0-based sample positions of every segment's 2m + 1 lines, as the module takes them:
    steps 0 to n - 1 along the segment (n its length rounded, halves up), lines 1 apart along the
    normal (-d2, d1). Returns rows and columns ((2m + 1) x total steps), and each segment's step
    count. Every segment has at least one step here."""
    a, e = u1 - 1, u2 - u1
    L = np.hypot(e[0], e[1])
    n = np.floor(L + 0.5).astype(np.intp)
    d1, d2 = e[0] / L, e[1] / L
    segment = np.repeat(np.arange(n.size), n)
    step = np.arange(segment.size) - np.repeat(np.cumsum(n) - n, n)
    i = np.arange(-m, m + 1.0)[:, None]
    p1 = (step * d1[segment] + (-d2[segment] * i)) + a[0, segment]
    p2 = (step * d2[segment] + i * d1[segment]) + a[1, segment]
    return p1, p2, n


def stripfilt_scipy(I, h, u1, u2):
    """All segments' samples in one call of map_coordinates, each line's samples averaged by
    np.add.reduceat, the averages weighted by the taps."""
    from scipy.ndimage import map_coordinates

    taps = np.ravel(h)
    p1, p2, n = strip_positions(u1, u2, taps.size // 2)
    v = map_coordinates(I, [p1.ravel(), p2.ravel()], order=1).reshape(p1.shape)
    return taps @ (np.add.reduceat(v, np.cumsum(n) - n, axis=1) / n)


def stripfilt_scipy_loop(I, h, u1, u2):
    """One call of map_coordinates per segment, as a first version is written."""
    from scipy.ndimage import map_coordinates

    taps = np.ravel(h)
    out = np.empty(u1.shape[1])
    for k in range(u1.shape[1]):
        p1, p2, _ = strip_positions(u1[:, k:k + 1], u2[:, k:k + 1], taps.size // 2)
        v = map_coordinates(I, [p1.ravel(), p2.ravel()], order=1).reshape(p1.shape)
        out[k] = taps @ v.mean(axis=1)
    return out


def inside_segments(side, K, margin, rng):
    """K segments of 10 to 100 pixels in random directions, all of their strips' samples inside
    the image (the module leaves outside samples out of its averages, map_coordinates does
    not)."""
    start = np.empty((2, 0))
    end = np.empty((2, 0))
    while start.shape[1] < K:
        a = rng.uniform(1 + margin, side - margin, (2, K))
        length, angle = rng.uniform(10, 100, K), rng.uniform(0, 2 * np.pi, K)
        b = a + length * np.vstack([np.cos(angle), np.sin(angle)])
        keep = np.all((b >= 1 + margin) & (b <= side - margin), axis=0)
        start, end = np.hstack([start, a[:, keep]]), np.hstack([end, b[:, keep]])
    return start[:, :K], end[:, :K]


def compare_scipy(reps, small):
    import mexgeom

    side, S = (64, 300) if small else (1024, 20000)
    I = np.ascontiguousarray(texture(side, np.eye(3), 5))
    IF = np.asfortranarray(I)
    u1, u2 = inside_segments(side, S, 5, np.random.default_rng(6))
    rows = []
    for h in (np.array([-1.0, -4, -5, 0, 5, 4, 1]), np.array([-1.0, 0, 1])):
        want = mexgeom.stripfilt(I, h, u1, u2)
        err = max(agree(np.ravel(stripfilt_scipy(I, h, u1, u2)), np.ravel(want),
                        "map_coordinates"),
                  agree(np.ravel(stripfilt_scipy_loop(I, h, u1, u2)), np.ravel(want),
                        "map_coordinates per segment"))
        module, fortran, one_call, loop = medians(reps, [
            lambda: mexgeom.stripfilt(I, h, u1, u2),
            lambda: mexgeom.stripfilt(IF, h, u1, u2),
            lambda: stripfilt_scipy(I, h, u1, u2),
            lambda: stripfilt_scipy_loop(I, h, u1, u2)], time.process_time)
        # With threads, wall-clock time, against SciPy's one call timed alike.
        threads, one_call_wall = medians(reps, [
            lambda: mexgeom.stripfilt(I, h, u1, u2, threads="auto"),
            lambda: stripfilt_scipy(I, h, u1, u2)])
        rows.append((f"stripfilt, {h.size} taps", err, module, fortran, one_call, loop, threads,
                     one_call_wall))
    return rows, side, S


# ---- pluckresid in a least-squares fit ---------------------------------------------------------

def line_matrix(C):
    """The 3 x 6 matrix taking the line coordinates L of the line through the points P and Q
    (L1..3 = P x Q, L4..6 = Q4 P - P4 Q, of their first three coordinates) to the image line
    (C P) x (C Q) of the camera C (3 x 4): the coefficient of the coordinate Pi Qj - Pj Qi in
    image coordinate k is the 2 x 2 minor of C's two other rows, in columns i and j."""
    M = np.empty((3, 6))
    for k, (a, b) in enumerate([(1, 2), (2, 0), (0, 1)]):
        def minor(i, j):
            return C[a, i] * C[b, j] - C[a, j] * C[b, i]
        M[k] = [minor(1, 2), -minor(0, 2), minor(0, 1), minor(0, 3), minor(1, 3), minor(2, 3)]
    return M


def line_problem(N, rng):
    """N cameras about the origin, 10 units away, looking at it, each seeing the segment of a
    3D line between two random points of it (pixel noise 0.5); the line basis moves the line's
    two points P and Q in their own y and z, so that x = 0 is the true line. Returns A, T, E and
    a start 0.1 units off, and the residuals' rms at the true line (the noise, if the model and
    the cameras agree)."""
    P, Q = np.array([-1.0, 0.2, 0.3, 1]), np.array([1.2, -0.1, -0.2, 1])
    K = np.array([[800.0, 0, 320], [0, 800, 240], [0, 0, 1]])
    A, E = np.empty((6, 3, N)), np.empty((2, N, 2))
    for i in range(N):
        centre = rng.normal(size=3)
        centre *= 10 / np.linalg.norm(centre)
        z = -centre / 10
        x = np.cross(z, rng.normal(size=3))
        x /= np.linalg.norm(x)
        R = np.vstack([x, np.cross(z, x), z])
        C = K @ np.hstack([R, -R @ centre[:, None]])
        A[:, :, i] = line_matrix(C).T
        for s, t in enumerate(rng.uniform(-0.5, 1.5, 2)):
            seen = C @ (P + t * (Q - P))
            E[:, i, s] = seen[:2] / seen[2] + rng.normal(0, 0.5, 2)
    T = np.zeros((3, 4, 2))
    T[0, :, 0], T[0, :, 1] = P, Q
    T[1, 1, 0] = T[2, 2, 0] = T[1, 1, 1] = T[2, 2, 1] = 1
    return A, T, E, rng.normal(0, 0.1, 4)


def compare_least_squares(reps, small):
    import mexgeom
    from scipy.optimize import least_squares

    rows = []
    for N in ([10, 100] if small else [10, 100, 1000, 10000]):
        A, T, E, x0 = line_problem(N, np.random.default_rng(N))
        truth = np.ravel(mexgeom.pluckresid(np.zeros(4), A, T, E))
        rms = float(np.sqrt(np.mean(truth ** 2)))
        if not 0.3 < rms < 0.8:
            sys.exit(f"bench_alternatives: the residuals at the true line are {rms} pixels (rms), "
                     "not the noise's 0.5")

        def residuals(x, A, T, E):
            return np.ravel(mexgeom.pluckresid(x, A, T, E))

        def jacobian(x, A, T, E):
            return np.reshape(mexgeom.pluckresid(x, A, T, E, jacobian=True)[1], (-1, 4))

        def numpy_residuals(x, A, T, E):
            return residuals_numpy(x, A, T, E).ravel()

        # The arrays as NumPy makes them (C order), and Fortran-order copies made beforehand.
        given, fortran = (A, T, E), tuple(np.asfortranarray(a) for a in (A, T, E))
        fits = [lambda: least_squares(residuals, x0, jac=jacobian, args=given),
                lambda: least_squares(residuals, x0, jac=jacobian, args=fortran),
                lambda: least_squares(residuals, x0, args=given),
                lambda: least_squares(numpy_residuals, x0, args=given)]
        results = [fit() for fit in fits]
        dx = max(float(np.max(np.abs(r.x - results[0].x))) for r in results)
        dcost = max(abs(r.cost - results[0].cost) / results[0].cost for r in results)
        if not all(r.success for r in results) or dx > 1e-6 or dcost > 1e-9:
            sys.exit(f"bench_alternatives: the fits of {N} cameras differ: {dx} in x, "
                     f"{dcost} in the cost")
        rows.append((N, rms, dx, dcost, [(r.nfev, r.njev) for r in results],
                     medians(reps, fits, time.process_time)))
    return rows


# ---- the report ---------------------------------------------------------------------------------

def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=str(ROOT / "build" / "native"))
    parser.add_argument("--reps", type=int, default=7)
    parser.add_argument("--window", type=int, default=15)
    parser.add_argument("--small", action="store_true")
    options = parser.parse_args()
    sys.path.insert(0, str(Path(options.build) / "python"))
    import cv2
    import mexgeom
    import scipy

    print(f"mexgeom {getattr(mexgeom, '__version__', '')} from {mexgeom.__file__}")
    print(f"Python {sys.version.split()[0]}, NumPy {np.__version__}, OpenCV {cv2.__version__}, "
          f"SciPy {scipy.__version__}; medians of {options.reps}")

    print("\n== patchcorr against OpenCV (ratio: OpenCV's time / the module's on C-order "
          "images; the\n   module's \"F\" column on Fortran-order copies made beforehand; "
          "CPU time, but wall-clock after the |)")
    rows = compare_opencv(options.reps, options.small, options.window | 1)
    print(f"window: {options.window | 1} x {options.window | 1} samples of weight 1")
    print(f"{'image':>9} {'points':>8} {'module ms':>10} {'F ms':>8} {'dense ms':>9} "
          f"{'per pt ms':>10} {'dense':>7} {'per pt':>7} | {'threads: module':>15} "
          f"{'dense':>8} {'ratio':>7}  max, median |difference|")
    for side, K, every, errors, one, threads, _ in rows:
        timed = one[3] == one[3]  # matchTemplate per point is not timed on the most points
        print(f"{side:4} x {side:<4}{K:8d}{'*' if every else ' '}{1e3 * one[0]:9.2f} "
              f"{1e3 * one[1]:8.2f} {1e3 * one[2]:9.2f} "
              f"{f'{1e3 * one[3]:10.2f}' if timed else '':10} {one[2] / one[0]:7.2f} "
              f"{f'{one[3] / one[0]:7.1f}' if timed else '':7} | {1e3 * threads[0]:12.2f} ms "
              f"{1e3 * threads[1]:5.2f} ms {threads[1] / threads[0]:6.2f}  "
              + "; ".join(f"{a:.1e}, {b:.1e}" for a, b in errors))
    print(f"(* every pixel whose window lies inside both images; \"dense\": warp and box filters, "
          f"\"per pt\": matchTemplate per point; OpenCV's threads: {rows[0][6]})")
    for side in sorted({row[0] for row in rows}):
        same = [row for row in rows if row[0] == side]
        K = [row[1] for row in same]
        for label, module, dense in [
                ("one thread", [row[4][0] for row in same], [row[4][2] for row in same]),
                ("one thread, Fortran order", [row[4][1] for row in same],
                 [row[4][2] for row in same]),
                ("threads", [row[5][0] for row in same], [row[5][1] for row in same])]:
            at = crossover(K, module, dense)
            print(f"crossover, {side} x {side}, {label}: " + (
                f"the dense pipeline is faster above {at:,.0f} points "
                f"({100 * at / side ** 2:.1f} % of the pixels)" if at else
                "the ratio does not fall through 1 between the first point count and the last"))

    print("\n== stripfilt against scipy.ndimage.map_coordinates (ratio: SciPy's time / the "
          "module's; CPU time,\n   but wall-clock for the module's threads and their ratio to "
          "SciPy's one call)")
    rows, side, S = compare_scipy(options.reps, options.small)
    print(f"{S} segments of 10 to 100 pixels inside a {side} x {side} float64 image")
    print(f"{'workload':20} {'module ms':>10} {'F ms':>8} {'threads ms':>11} {'one call ms':>12} "
          f"{'per seg ms':>11} {'ratio':>7} {'per seg':>8} {'threads':>8}  max |difference|")
    for name, err, module, fortran, one_call, loop, threads, one_call_wall in rows:
        print(f"{name:20} {1e3 * module:10.2f} {1e3 * fortran:8.2f} {1e3 * threads:11.2f} "
              f"{1e3 * one_call:12.1f} {1e3 * loop:11.1f} {one_call / module:7.1f} "
              f"{loop / module:8.1f} {one_call_wall / threads:8.1f}  {err:.2g}")

    print("\n== pluckresid in scipy.optimize.least_squares (ratio: time of the fit with "
          "least_squares'\n   own differences / with the module's Jacobian; CPU time)")
    print(f"{'cameras':>8} {'our J ms':>9} {'F ms':>7} {'2-point ms':>11} {'NumPy ms':>9} "
          f"{'ratio':>7} {'NumPy':>7}  (nfev, njev): ours, 2-point, NumPy  rms at truth  "
          f"max |dx|, |dcost|")
    for N, rms, dx, dcost, evaluations, (ours, fortran, differences, numpy_) in \
            compare_least_squares(options.reps, options.small):
        print(f"{N:8d} {1e3 * ours:9.3f} {1e3 * fortran:7.3f} {1e3 * differences:11.3f} "
              f"{1e3 * numpy_:9.3f} {differences / ours:7.2f} {numpy_ / ours:7.2f}  "
              f"{' '.join(str(evaluations[i]) for i in (0, 2, 3)):35} {rms:12.3f}  "
              f"{dx:.1e}, {dcost:.1e}")


if __name__ == "__main__":
    main()
