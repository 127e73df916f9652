"""The conversions of mexgeom (cameras to pluckresid's A, points to its x and T and back, (x, y)
points and homographies to (row, column)) as a user imports them, with the commands they feed:
what is Python's own (layouts, messages), the bits of the Octave helpers, and the limits that
python/README.md documents. tests/octave/conversions_test.m holds the full cases."""

import doctest

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
def octave_helpers(octave_eval):
    """The .m helpers' answers to a few calls, printed by Octave to the last bit."""
    calls = ("camera_line_matrices(C)", "line_basis(P, Q)", "line_basis([0.5 -2 1], [1 1 0 0])",
             "xy_homography_to_rowcol(Hxy)", "rowcol_homography_to_xy(Hxy, 0.5)",
             "xy_to_rowcol([1.25 -3; 4 5.5], 1)")
    script = ("C = [800 1 320 10; -2 790 240 -20; 1e-3 2e-3 1 4]; P = [-1 -0.5 -0.3]; "
              "Q = [1.2 0.6 0.4]; Hxy = [1.1 0.1 2.5; -0.1 1.05 -1.25; 2e-4 -1e-4 1]; "
              + " ".join(f"[~, t] = {c}; printf('%.17g ', t); printf('\\n');"
                         if c.startswith("line_basis") else f"printf('%.17g ', {c}); printf('\\n');"
                         for c in calls))
    return [np.array(line.split(), dtype=float) for line in octave_eval(script).splitlines()]


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
     [np.inf]),
    (lambda: mexgeom.stripfilt(np.full((300, 300), 1e306), [1.0, 0, -1], [[150], [10]],
                               [[150], [190]]), [np.nan]),
    (lambda: mexgeom.stripfilt(np.full((10, 10), -1234567.0), [1.0], [[5], [2]], [[5], [8]]),
     [np.nan]),
])
def test_documented_limits(call, expected):
    np.testing.assert_array_equal(call(), expected)
