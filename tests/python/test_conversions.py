"""The conversions of mexgeom (cameras to pluckresid's A, points to its x and T and back, (x, y)
points and homographies to (row, column)) as a user imports them, with the commands they feed;
and the precision limits that python/README.md documents."""

import doctest
import os
import shutil
import subprocess

import numpy as np
import pytest

import mexgeom
from mexgeom import conversions


def test_the_package_offers_every_conversion():
    for name in conversions.__all__:
        assert getattr(mexgeom, name) is getattr(conversions, name), name


def test_the_examples_of_the_docstrings():
    result = doctest.testmod(conversions, extraglobs={"mexgeom": mexgeom})
    assert result.attempted > 10 and result.failed == 0


@pytest.mark.parametrize("function, args, error, message", [
    ("camera_line_matrices", ([[1.0, 2], [3, 4]],), ValueError, "C must be 3 x 4"),
    ("camera_line_matrices", (np.ones((4, 3, 2)),), ValueError, "C must be 3 x 4"),
    ("camera_line_matrices", (np.full((3, 4), "a"),), TypeError, "C must be real numbers."),
    ("line_basis", ([1, 2], [1, 2, 3]), ValueError, "P must have 3 or 4 elements."),
    ("line_basis", ([1, 2, 3], np.ones(5)), ValueError, "Q must have 3 or 4 elements."),
    ("line_basis", ([np.nan, 2, 3], [1, 2, 3]), ValueError, "P must be finite."),
    ("line_basis", ([0, 0, 0, 0], [1, 2, 3]), ValueError, "P must not be zero."),
    ("line_basis", ([1, 0, 0, 0], [0, 1, 0, 0]), ValueError,
     "P and Q must not both be directions."),
    ("line_basis", ([1, 2, 3], [2, 4, 6, 2]), ValueError, "P and Q must be distinct points."),
    ("line_basis", ([True, False, True], [1, 2, 3]), TypeError, "P must be real numbers."),
    ("line_points", ([1, 2, 3], np.zeros((3, 4, 2))), ValueError,
     "x must have at least 4 elements."),
    ("line_points", (np.zeros(4), np.zeros((3, 4))), ValueError,
     "T must have at least 24 elements."),
    ("xy_to_rowcol", ([[1], [2]],), ValueError, "xy must have 2 columns"),
    ("xy_to_rowcol", (5.0,), ValueError, "xy must have 2 columns"),
    ("xy_to_rowcol", ([1, 2], np.nan), ValueError, "origin must be a finite number."),
    ("xy_to_rowcol", ([1, 2], [0, 1]), TypeError, "origin must be a finite number."),
    ("xy_to_rowcol", ([1, 2], True), TypeError, "origin must be a finite number."),
    ("rowcol_to_xy", ([1, 2, 3],), ValueError, "u must have 2 rows"),
    ("xy_homography_to_rowcol", (np.eye(2),), ValueError, "Hxy must be a 3 x 3 matrix."),
    ("rowcol_homography_to_xy", (np.ones((3, 4)),), ValueError, "H must be a 3 x 3 matrix."),
])
def test_messages(function, args, error, message):
    with pytest.raises(error, match=message.replace("(", r"\(").replace(")", r"\)")):
        getattr(mexgeom, function)(*args)


def ring_of_cameras(n=6):
    """n cameras of 640 x 480 pixels on a ring 8 units from the origin, looking at it."""
    K = np.array([[800.0, 0, 320], [0, 800, 240], [0, 0, 1]])
    cameras = []
    for i in range(n):
        a = 2 * np.pi * i / n
        centre = np.array([8 * np.cos(a), 8 * np.sin(a), 2 + (-1) ** (i + 1)])
        z = -centre / np.linalg.norm(centre)
        x = np.cross(z, [0, 0, 1])
        x /= np.linalg.norm(x)
        R = np.array([x, np.cross(z, x), z])
        cameras.append(K @ np.hstack([R, -R @ centre[:, None]]))
    return np.array(cameras)


def segments(cameras, P, Q):
    """pluckresid's E: in each camera, the images of the 3D points P and Q (3 numbers each)."""
    ends = [np.einsum("nij,j->in", cameras, np.append(X, 1.0)) for X in (P, Q)]
    return np.stack([e[:2] / e[2] for e in ends], axis=2)


P0, Q0 = np.array([-1.0, -0.5, -0.3]), np.array([1.2, 0.6, 0.4])


def test_cameras_see_the_line_of_two_points():
    cameras = ring_of_cameras()
    A = mexgeom.camera_line_matrices(cameras)
    assert A.shape == (6, 3, 6) and A.flags.f_contiguous
    L = np.concatenate([np.cross(P0, Q0), P0 - Q0])
    for i, C in enumerate(cameras):
        line = np.cross(C @ np.append(P0, 1), C @ np.append(Q0, 1))
        np.testing.assert_allclose(A[:, :, i].T @ L, line, rtol=0, atol=1e-12 * np.abs(line).max())
    # every layout of the same cameras, alike to the bit
    for layout in (list(cameras), np.moveaxis(cameras, 0, 2), np.asfortranarray(cameras)):
        assert np.array_equal(mexgeom.camera_line_matrices(layout), A)
    assert np.array_equal(mexgeom.camera_line_matrices(cameras[2]), A[:, :, 2:3])
    assert mexgeom.camera_line_matrices(np.zeros((0, 3, 4))).shape == (6, 3, 0)


@pytest.mark.parametrize("name, P, Q, start_P, start_Q", [
    ("two points", P0, Q0, np.append(P0, 1), np.append(Q0, 1)),
    ("homogeneous, any w", -2 * np.append(P0, 1), 0.5 * np.append(Q0, 1), np.append(P0, 1),
     np.append(Q0, 1)),
    ("a point and a direction", P0, np.append(3 * (Q0 - P0), 0), np.append(P0, 1),
     np.append((Q0 - P0) / np.linalg.norm(Q0 - P0), 0)),
    ("a direction and a point", np.append(P0 - Q0, 0), Q0,
     np.append((P0 - Q0) / np.linalg.norm(Q0 - P0), 0), np.append(Q0, 1)),
    ("along the z axis", [1, 2, 3.0], [0, 0, -2.0, 0], [1, 2, 3.0, 1], [0, 0, -1.0, 0]),
])
def test_x_zero_of_line_basis_is_the_line(name, P, Q, start_P, start_Q):
    cameras = ring_of_cameras()
    start_P, start_Q = np.asarray(start_P, float), np.asarray(start_Q, float)
    x, T = mexgeom.line_basis(P, Q)
    assert np.array_equal(x, np.zeros(4)) and T.shape == (3, 4, 2) and T.flags.f_contiguous
    np.testing.assert_allclose(T[0].T, [start_P, start_Q], atol=4e-16)
    B = T[1:, :3, 0]
    np.testing.assert_allclose(B @ B.T, np.eye(2), atol=4e-16)
    finite = start_P if start_P[3] else start_Q
    if start_P[3] and start_Q[3]:
        along = start_Q[:3] - start_P[:3]
    else:
        along = (start_Q if start_P[3] else start_P)[:3]
    np.testing.assert_allclose(B @ along, 0, atol=1e-15)
    assert np.array_equal(T[1:, :, 1], T[1:, :, 0]) and not T[1:, 3].any()
    E = segments(cameras, finite[:3] + 0.3 * along, finite[:3] - 0.2 * along)
    r = mexgeom.pluckresid(x, mexgeom.camera_line_matrices(cameras), T, E)
    np.testing.assert_allclose(r, 0, atol=1e-9)
    # and line_points gives the points back
    for got, want in zip(mexgeom.line_points(x, T), (start_P, start_Q)):
        np.testing.assert_allclose(got, want, atol=4e-16)


def test_a_line_fit_from_cameras_and_two_rough_points():
    cameras = ring_of_cameras()
    A = mexgeom.camera_line_matrices(cameras)
    E = segments(cameras, 0.9 * P0 + 0.1 * Q0, 0.3 * P0 + 0.7 * Q0)
    x, T = mexgeom.line_basis(P0 + [0.3, -0.2, 0.25], Q0 + [-0.25, 0.3, -0.2])
    r0, _ = mexgeom.pluckresid(x, A, T, E, jacobian=True)
    assert np.linalg.norm(r0) > 10
    for _ in range(8):
        r, J = mexgeom.pluckresid(x, A, T, E, jacobian=True)
        x = x - np.linalg.lstsq(J, r, rcond=None)[0].ravel()
    assert np.linalg.norm(mexgeom.pluckresid(x, A, T, E)) < 1e-6
    d = (Q0 - P0) / np.linalg.norm(Q0 - P0)
    for point in mexgeom.line_points(x, T):
        assert point[3] == 1 and np.linalg.norm(np.cross(point[:3] - P0, d)) < 1e-8


def smooth_texture(x, y):
    """tests/octave/smooth_texture.m: bumps of radius about 2 on a jittered grid of 4 units."""
    v = np.zeros(np.shape(x))
    k = 0
    for i in range(18):
        for j in range(18):
            k += 1
            cx = 4 * i - 2 + (k * 37 % 7) / 3
            cy = 4 * j - 2 + (k * 53 % 5) / 2
            a = (k * 7919 % 97) / 97 - 0.5
            v = v + a / (1 + ((x - cx) ** 2 + (y - cy) ** 2) / 3)
    return v


def test_xy_frames_the_documented_scores_of_each_mistake():
    rows, cols = np.mgrid[0:64, 0:64].astype(float)            # 0-based: y, x
    X = np.asfortranarray(smooth_texture(cols, rows))
    Hxy = np.array([[1.1, 0.1, 2.5], [-0.1, 1.05, -1.25], [2e-4, -1e-4, 1]])
    g = np.linalg.solve(Hxy, np.vstack([cols.ravel(order="F"), rows.ravel(order="F"),
                                        np.ones(64 * 64)]))
    Y = np.asfortranarray(smooth_texture(g[0] / g[2], g[1] / g[2]).reshape(64, 64, order="F"))
    gx, gy = np.meshgrid(np.arange(8.0, 53, 4), np.arange(8.0, 53, 4), indexing="ij")
    xy = np.column_stack([gx.ravel(order="F"), gy.ravel(order="F")])
    dr, dc = np.meshgrid(np.arange(-3.0, 4), np.arange(-3.0, 4), indexing="ij")
    W = np.vstack([dr.ravel(order="F"), dc.ravel(order="F"), np.ones(49)])
    right = mexgeom.patchcorr(X, Y, mexgeom.xy_homography_to_rowcol(Hxy), W,
                              mexgeom.xy_to_rowcol(xy))
    one_based = mexgeom.patchcorr(X, Y, mexgeom.xy_homography_to_rowcol(Hxy, 1), W,
                                  mexgeom.xy_to_rowcol(xy, 1))
    unswapped = mexgeom.patchcorr(X, Y, Hxy, W, np.ascontiguousarray(xy.T))
    medians = [np.median(s) for s in (right, one_based, unswapped)]
    assert np.round(np.multiply(medians, 1e4)).tolist() == [9986, 9926, -2494]


@pytest.mark.parametrize("origin", [0, 1, 0.5, -3])
def test_xy_conversions_against_the_algebra(origin):
    S = np.array([[0.0, 1, 0], [1, 0, 0], [0, 0, 1]])
    B = np.array([[1, 0, 1 - origin], [0, 1, 1 - origin], [0, 0, 1.0]])
    Hxy = np.array([[1.1, 0.1, 2.5], [-0.1, 1.05, -1.25], [2e-4, -1e-4, 1]])
    H = mexgeom.xy_homography_to_rowcol(Hxy, origin)
    np.testing.assert_allclose(H, B @ S @ Hxy @ S @ np.linalg.inv(B), rtol=1e-14, atol=1e-14)
    np.testing.assert_allclose(mexgeom.rowcol_homography_to_xy(H, origin), Hxy, atol=1e-14)
    xy = np.array([[0, 0], [10.25, 3], [-1, 7.5]])
    u = mexgeom.xy_to_rowcol(xy, origin)
    assert u.shape == (2, 3) and u.flags.f_contiguous
    assert np.array_equal(u, xy[:, ::-1].T + 1 - origin)
    np.testing.assert_allclose(mexgeom.rowcol_to_xy(u, origin), xy, atol=1e-15)
    g = Hxy @ np.vstack([xy.T, np.ones(3)])
    h = H @ np.vstack([u, np.ones(3)])
    np.testing.assert_allclose(h[:2] / h[2], mexgeom.xy_to_rowcol((g[:2] / g[2]).T, origin),
                               rtol=1e-12)
    # OpenCV's K x 1 x 2 point arrays, and one point
    assert np.array_equal(mexgeom.xy_to_rowcol(xy[:, None, :], origin), u)
    assert mexgeom.xy_to_rowcol([4, 2]).tolist() == [[3.0], [5.0]]


@pytest.fixture(scope="module")
def octave_helpers(tmp_path_factory):
    """The .m helpers' answers to a few calls, printed by Octave to the last bit."""
    octave_dir = os.environ.get("MEXGEOM_OCTAVE_DIR", "")
    octave = shutil.which("octave-cli")
    if not octave_dir or not octave:
        pytest.skip("no Octave build named by MEXGEOM_OCTAVE_DIR, or no octave-cli")
    calls = ("camera_line_matrices(C)", "line_basis(P, Q)", "line_basis([0.5 -2 1], [1 1 0 0])",
             "xy_homography_to_rowcol(Hxy)", "rowcol_homography_to_xy(Hxy, 0.5)",
             "xy_to_rowcol([1.25 -3; 4 5.5], 1)")
    script = ("C = [800 1 320 10; -2 790 240 -20; 1e-3 2e-3 1 4]; P = [-1 -0.5 -0.3]; "
              "Q = [1.2 0.6 0.4]; Hxy = [1.1 0.1 2.5; -0.1 1.05 -1.25; 2e-4 -1e-4 1]; "
              + " ".join(f"[~, t] = {c}; printf('%.17g ', t); printf('\\n');"
                         if c.startswith("line_basis") else f"printf('%.17g ', {c}); printf('\\n');"
                         for c in calls))
    out = subprocess.run([octave, "-q", "--norc", "--no-window-system", "--eval",
                          f"addpath('{octave_dir}'); {script}"],
                         check=True, capture_output=True, text=True).stdout.splitlines()
    return [np.array(line.split(), dtype=float) for line in out]


def test_the_same_numbers_as_the_octave_helpers(octave_helpers):
    C = [[800, 1, 320, 10], [-2, 790, 240, -20], [1e-3, 2e-3, 1, 4]]
    P, Q = [-1, -0.5, -0.3], [1.2, 0.6, 0.4]
    Hxy = [[1.1, 0.1, 2.5], [-0.1, 1.05, -1.25], [2e-4, -1e-4, 1]]
    ours = [mexgeom.camera_line_matrices(C), mexgeom.line_basis(P, Q)[1],
            mexgeom.line_basis([0.5, -2, 1], [1, 1, 0, 0])[1],
            mexgeom.xy_homography_to_rowcol(Hxy), mexgeom.rowcol_homography_to_xy(Hxy, 0.5),
            mexgeom.xy_to_rowcol([[1.25, -3], [4, 5.5]], 1)]
    assert len(octave_helpers) == len(ours)
    for k, (theirs, mine) in enumerate(zip(octave_helpers, ours)):
        assert np.array_equal(theirs, mine.ravel(order="F")), f"call {k + 1}"


# The limits of python/README.md, which the doc pages measure in full.
@pytest.mark.parametrize("call, expected", [
    (lambda: mexgeom.hesseform([[1e200, 1e200, 1]]), [[0.0, 0.0, 0.0]]),
    (lambda: mexgeom.hesseform([[1e-200, 1e-200, 1]]), [[np.inf, np.inf, np.inf]]),
    (lambda: mexgeom.stripfilt(np.full((300, 300), 1e306), [1.0], [[150], [10]], [[150], [190]]),
     [[np.inf]]),
    (lambda: mexgeom.stripfilt(np.full((300, 300), 1e306), [1.0, 0, -1], [[150], [10]],
                               [[150], [190]]), [[np.nan]]),
    (lambda: mexgeom.stripfilt(np.full((10, 10), -1234567.0), [1.0], [[5], [2]], [[5], [8]]),
     [[np.nan]]),
])
def test_documented_limits(call, expected):
    np.testing.assert_array_equal(call(), expected)


def test_documented_patchcorr_offsets():
    rows, cols = np.mgrid[1:65, 1:65].astype(float)

    def image(p, q):
        return np.asfortranarray(0.5 + 0.25 * smooth_texture(q - 1, p - 1))

    A = image(rows, cols)
    B = image(rows - 0.125 * (cols + 2.25) - 1.5, cols + 2.25)
    H = [[1, 0.125, 1.5], [0, 1, -2.25], [0, 0, 1]]
    k = np.arange(1, 2001)
    a, b = k * 0.6180339887498949, k * 0.7548776662466927
    u = 8 + 48 * np.vstack([a - np.floor(a), b - np.floor(b)])
    dr, dc = np.meshgrid(np.arange(-3.0, 4), np.arange(-3.0, 4), indexing="ij")
    W = np.vstack([dr.ravel(order="F"), dc.ravel(order="F"), np.ones(49)])
    s0 = mexgeom.patchcorr(A, B, H, W, u)
    s = mexgeom.patchcorr(A + 1e5, B + 1e5, H, W, u)
    assert (f"{np.abs(s - s0).max():.1e}", int((s > 1).sum()), f"{s.max():.4g}") == \
        ("3.4e-02", 906, "1.025")
    assert (mexgeom.patchcorr(A * 1e100, B * 1e100, H, W, u) == 0).all()
    offset = mexgeom.patchcorr((A + 1e5) - 1e5, (B + 1e5) - 1e5, H, W, u)
    assert f"{np.abs(offset - s0).max():.1e}" == "7.5e-12"
