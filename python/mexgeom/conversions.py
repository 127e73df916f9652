"""Cameras, lines and (x, y) points turned into the commands' inputs, and back.

The commands keep their conventions: 1-based (row, column) positions, one point per column,
``pluckresid``'s camera line matrices ``A`` and line basis ``T``. These functions translate what
other code holds into them, in plain NumPy:

- ``camera_line_matrices``: 3 x 4 camera matrices to ``pluckresid``'s ``A``;
- ``line_basis`` and ``line_points``: two 3D points (or a point and a direction) to the ``x`` and
  ``T`` of that line, and a solved ``x`` back to two points;
- ``xy_to_rowcol``, ``rowcol_to_xy``, ``xy_homography_to_rowcol`` and ``rowcol_homography_to_xy``:
  (x, y) points and homographies of OpenCV, scikit-image and most vision code (0-based: the first
  pixel's centre at (0, 0)) to ``patchcorr``'s and ``stripfilt``'s ``u`` and ``H``, and back.

The same functions, with the same names and the same numbers, serve MATLAB and Octave (the
``mcode`` folder of the source tree). Results are new float64 arrays; inputs are never written.
"""

from __future__ import annotations

from typing import Tuple

import numpy as np
from numpy.typing import ArrayLike, NDArray

__all__ = [
    "camera_line_matrices",
    "line_basis",
    "line_points",
    "xy_to_rowcol",
    "rowcol_to_xy",
    "xy_homography_to_rowcol",
    "rowcol_homography_to_xy",
]

Array = NDArray[np.float64]


def _real(value: ArrayLike, name: str) -> Array:
    """value as a float64 array: integers and floats are numbers, nothing else is (MATLAB's
    isnumeric)."""
    array = np.asarray(value)
    if array.dtype.kind not in "iuf":
        raise TypeError(f"{name} must be real numbers.")
    return array.astype(np.float64)


def _origin(origin: float) -> float:
    if isinstance(origin, (bool, np.bool_)) or not np.isscalar(origin):
        raise TypeError("origin must be a finite number.")
    try:
        value = float(origin)
    except (TypeError, ValueError):
        raise TypeError("origin must be a finite number.") from None
    if not np.isfinite(value):
        raise ValueError("origin must be a finite number.")
    return value


def camera_line_matrices(C: ArrayLike) -> Array:
    """pluckresid's camera line matrices A from 3 x 4 camera matrices.

    C is one 3 x 4 camera matrix, a 3 x 4 x N stack (cameras along the last axis, as A holds
    them), or N cameras of 3 x 4 (a list of them, or an N x 3 x 4 array); the two stacks cannot be
    confused. Returns the 6 x 3 x N float64 array A (Fortran order, read by pluckresid in place):
    slice i is the transpose of camera i's line projection matrix, so that A[:, :, i].T @ L is the
    image in camera i of the 3D line with the Pluecker coordinates L, the same 2D line as
    cross(C @ P, C @ Q) for two points P, Q of the line.

    pluckresid's end points E are then in the pixel frame of C, the (u, v) that C maps to: for
    most cameras (x, y) = (column, row), from 0 or 1 as C was made. Scaling a camera by a positive
    factor leaves its residuals unchanged; a negative factor negates them.

    The algebra, for C with rows c1, c2, c3: slice i is [f(c2, c3), f(c3, c1), f(c1, c2)], with
    f(a, b) = (a[:3] x b[:3], a[:3] b[3] - a[3] b[:3]) as a column of six; f(P, Q) is also the
    line L through P and Q as pluckresid forms it.

    >>> import numpy as np, mexgeom
    >>> C = [[800, 0, 320, 0], [0, 800, 240, 0], [0, 0, 1, 0]]   # sees y = 0, z = 4 as v = 240
    >>> x, T = line_basis([0, 0, 4], [1, 0, 4])
    >>> E = np.reshape([400, 240, 400, 250.0], (2, 1, 2), order="F")   # (400, 240) to (400, 250)
    >>> mexgeom.pluckresid(x, camera_line_matrices(C), T, E).ravel().tolist()
    [0.0, 10.0]
    """
    cameras = _real(C, "C")
    if cameras.shape == (3, 4):
        cameras = cameras[np.newaxis]
    elif cameras.ndim == 3 and cameras.shape[:2] == (3, 4):
        cameras = np.moveaxis(cameras, 2, 0)
    elif not (cameras.ndim == 3 and cameras.shape[1:] == (3, 4)):
        raise ValueError("C must be 3 x 4, 3 x 4 x N, or N cameras of 3 x 4.")
    n = cameras.shape[0]
    A = np.empty((6, 3, n), order="F")
    # Image line coordinate j comes from the two camera rows other than j, in cyclic order.
    for j, (p, q) in enumerate(((1, 2), (2, 0), (0, 1))):
        a, b = cameras[:, p, :], cameras[:, q, :]
        A[:3, j, :] = np.cross(a[:, :3], b[:, :3]).T
        A[3:, j, :] = (a[:, :3] * b[:, 3:] - a[:, 3:] * b[:, :3]).T
    return A


def _homogeneous_point(p: ArrayLike, name: str) -> Array:
    """A 3D point as 4 numbers: finite points with w = 1, directions (w = 0) of unit length."""
    point = _real(p, name).ravel()
    if point.size not in (3, 4):
        raise ValueError(f"{name} must have 3 or 4 elements.")
    if point.size == 3:
        point = np.append(point, 1.0)
    if not np.all(np.isfinite(point)):
        raise ValueError(f"{name} must be finite.")
    if point[3] != 0:
        return point / point[3]
    if not np.any(point[:3]):
        raise ValueError(f"{name} must not be zero.")
    return np.append(_unit(point[:3]), 0.0)


def _unit(v: Array) -> Array:
    """v / |v|, summed in the order that every host sums it."""
    return v / np.sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2])


def line_basis(P: ArrayLike, Q: ArrayLike) -> Tuple[Array, Array]:
    """pluckresid's parameters x and line basis T for the 3D line through two points.

    P and Q are 3D points, each of 3 numbers (x, y, z) or 4 homogeneous numbers (x, y, z, w); a
    homogeneous point with w = 0 is a direction, so line_basis(P, [*D, 0]) is the line through P
    with the direction D. Returns (x, T): x = zeros(4) and the 3 x 4 x 2 float64 line basis T
    (Fortran order) that together give that line, the starting point of a line fit.

    Each point moves in the plane through it across the line: T[:, :, 0] is [P; B1 0; B2 0] and
    T[:, :, 1] is [Q; B1 0; B2 0] (rows), with B1, B2 two unit vectors perpendicular to the line
    and to each other (B1 = D x E / |D x E|, E the axis along which the direction D is smallest,
    B2 = D / |D| x B1). So x[0:2] moves P and x[2:4] moves Q, in the units of the points'
    coordinates, and every line that crosses both planes has parameters. A finite point is scaled
    to w = 1; a direction to unit length, whose moves then tilt the line about the other point.
    Exchanging P and Q negates the residuals. line_points turns a solved x back into two points.

    Raises ValueError for a point of another size, a point that is not finite or is zero, two
    directions, or two equal points; TypeError for a point that is not numbers.

    >>> x, T = line_basis([0, 0, 4], [1, 0, 4])          # the line y = 0, z = 4
    >>> x.tolist(), T[0, :, 0].tolist(), T[0, :, 1].tolist()
    ([0.0, 0.0, 0.0, 0.0], [0.0, 0.0, 4.0, 1.0], [1.0, 0.0, 4.0, 1.0])
    >>> T[1:, :, 0].tolist()                             # the moves across it
    [[0.0, 0.0, 1.0, 0.0], [0.0, -1.0, 0.0, 0.0]]
    """
    p = _homogeneous_point(P, "P")
    q = _homogeneous_point(Q, "Q")
    if p[3] == 0 and q[3] == 0:
        raise ValueError("P and Q must not both be directions.")
    if p[3] == 0:
        d = p[:3]
    elif q[3] == 0:
        d = q[:3]
    else:
        d = q[:3] - p[:3]
    if not np.any(d):
        raise ValueError("P and Q must be distinct points.")
    # Two unit vectors across the line, from the axis least aligned with it: never a degenerate
    # cross product, and the same vectors wherever this runs.
    e = np.zeros(3)
    e[np.argmin(np.abs(d))] = 1.0
    b1 = _unit(np.cross(d, e))
    b2 = _unit(np.cross(_unit(d), b1))
    T = np.zeros((3, 4, 2), order="F")
    for k, point in enumerate((p, q)):
        T[0, :, k] = point
        T[1, :3, k] = b1
        T[2, :3, k] = b2
    return np.zeros(4), T


def line_points(x: ArrayLike, T: ArrayLike) -> Tuple[Array, Array]:
    """Two points of the 3D line that pluckresid's parameters x give in the line basis T.

    Forms the two homogeneous points as pluckresid does, from the first 4 numbers of x and the
    first 24 of T in column-major order (T as 3 x 4 x 2):
    P = T[0, :, 0] + x[0] T[1, :, 0] + x[1] T[2, :, 0] and
    Q = T[0, :, 1] + x[2] T[1, :, 1] + x[3] T[2, :, 1], and returns (P, Q), each of 4 numbers,
    scaled to w = 1 when it is finite (w not 0), so that P[:3] and Q[:3] are then the points'
    coordinates; a point with w = 0 is a direction.

    Raises ValueError when x holds fewer than 4 numbers or T fewer than 24.

    >>> x, T = line_basis([0, 0, 0], [0, 0, 1])
    >>> x[0] = 2                                    # P moves 2 units across the line
    >>> [point.tolist() for point in line_points(x, T)]
    [[0.0, 2.0, 0.0, 1.0], [0.0, 0.0, 1.0, 1.0]]
    """
    params = _real(x, "x").ravel(order="F")
    basis = _real(T, "T").ravel(order="F")
    if params.size < 4:
        raise ValueError("x must have at least 4 elements.")
    if basis.size < 24:
        raise ValueError("T must have at least 24 elements.")
    basis = basis[:24].reshape((3, 4, 2), order="F")
    points = []
    for k in range(2):
        point = basis[0, :, k] + params[2 * k] * basis[1, :, k] + params[2 * k + 1] * basis[2, :, k]
        points.append(point / point[3] if point[3] != 0 else point)
    return points[0], points[1]


def xy_to_rowcol(xy: ArrayLike, origin: float = 0) -> Array:
    """(x, y) points of other tools as the 1-based (row, column) points of the commands.

    xy holds one (x, y) point per row, K x 2, as OpenCV, scikit-image and most vision code hold
    them (x along the columns, y down the rows); any shape (..., 2) is read as its points in
    order (OpenCV's K x 1 x 2 included), and 2 numbers are one point. Returns the 2 x K float64
    array u of patchcorr and stripfilt (Fortran order): one point per column, row first, the
    centre of the first element at (1, 1): u = [y, x] + 1 - origin.

    origin is the coordinate of the first pixel's centre in the (x, y) frame: 0 (the default) for
    OpenCV, scikit-image and NumPy indexing, 1 for MATLAB's (x, y), 0.5 where pixel corners lie on
    whole numbers. 0 by default because (x, y) points mostly come from 0-based tools, and there
    the wrong frame fails quietly: one pixel off, a homography still scored 0.9926 where the
    right frame scored 0.9986 (doc/conversions.md), so no one can tell from the answer.

    The scores of patchcorr and stripfilt come in the order of the points: they need no
    conversion back. rowcol_to_xy turns positions back.

    >>> xy_to_rowcol([[10, 20], [3.5, 0]]).tolist()
    [[21.0, 1.0], [11.0, 4.5]]
    >>> xy_to_rowcol([10, 20], origin=1).tolist()
    [[20.0], [10.0]]
    """
    shift = 1.0 - _origin(origin)
    points = _real(xy, "xy")
    if points.ndim == 0 or points.shape[-1] != 2:
        raise ValueError("xy must have 2 columns, one (x, y) point per row.")
    points = points.reshape(-1, 2)
    u = np.empty((2, points.shape[0]), order="F")
    u[0] = points[:, 1] + shift
    u[1] = points[:, 0] + shift
    return u


def rowcol_to_xy(u: ArrayLike, origin: float = 0) -> Array:
    """The commands' 1-based (row, column) points as (x, y) points of other tools.

    u is 2 x K, one point per column as patchcorr and stripfilt take them (2 numbers are one
    point). Returns the K x 2 float64 array of (x, y) points, one per row, whose first pixel has
    its centre at (origin, origin): xy = [column, row] - 1 + origin. The inverse of xy_to_rowcol
    with the same origin.

    >>> rowcol_to_xy([[21, 1], [11, 4.5]]).tolist()
    [[10.0, 20.0], [3.5, 0.0]]
    """
    shift = 1.0 - _origin(origin)
    points = _real(u, "u")
    if points.shape == (2,):
        points = points.reshape(2, 1)
    if points.ndim != 2 or points.shape[0] != 2:
        raise ValueError("u must have 2 rows, one (row, column) point per column.")
    xy = np.empty((points.shape[1], 2))
    xy[:, 0] = points[1] - shift
    xy[:, 1] = points[0] - shift
    return xy


def _homography(H: ArrayLike, name: str) -> Array:
    matrix = _real(H, name)
    if matrix.shape != (3, 3):
        raise ValueError(f"{name} must be a 3 x 3 matrix.")
    return matrix


def xy_homography_to_rowcol(Hxy: ArrayLike, origin: float = 0) -> Array:
    """An (x, y) homography of other tools as patchcorr's H.

    Hxy maps (x, y, 1) of one image to homogeneous (x, y, w) of the other, with the first pixel's
    centre at (origin, origin) in both: 0 (the default, as in OpenCV and scikit-image; see
    xy_to_rowcol for why), 1 for MATLAB's (x, y), 0.5 where pixel corners lie on whole numbers.
    Returns patchcorr's H, 3 x 3 float64, which maps 1-based (row, column, 1) of X to homogeneous
    (row, column, w) of Y; xy_to_rowcol turns the points likewise. H keeps the scale of Hxy.

    The algebra: with S the exchange of x and y and B = [[1, 0, t], [0, 1, t], [0, 0, 1]],
    t = 1 - origin, H = B S Hxy S B^-1; computed entry by entry, the same numbers in every host.

    >>> xy_homography_to_rowcol([[1, 0, 2], [0, 1, 0.5], [0, 0, 1]]).tolist()
    [[1.0, 0.0, 0.5], [0.0, 1.0, 2.0], [0.0, 0.0, 1.0]]
    """
    shift = 1.0 - _origin(origin)
    H = np.array(_homography(Hxy, "Hxy")[np.ix_([1, 0, 2], [1, 0, 2])], order="F")
    # B H: rows 0 and 1 gain t times row 2; then H B^-1: column 2 loses t times columns 0 and 1.
    H[:2] = H[:2] + shift * H[2]
    H[:, 2] = H[:, 2] - shift * (H[:, 0] + H[:, 1])
    return H


def rowcol_homography_to_xy(H: ArrayLike, origin: float = 0) -> Array:
    """patchcorr's H as an (x, y) homography of other tools.

    The inverse of xy_homography_to_rowcol with the same origin: H maps 1-based (row, column, 1)
    of X to homogeneous (row, column, w) of Y; returns the 3 x 3 float64 homography between
    (x, y) frames whose first pixel has its centre at (origin, origin), Hxy = S B^-1 H B S.

    >>> rowcol_homography_to_xy([[1, 0, 0.5], [0, 1, 2], [0, 0, 1]]).tolist()
    [[1.0, 0.0, 2.0], [0.0, 1.0, 0.5], [0.0, 0.0, 1.0]]
    """
    shift = 1.0 - _origin(origin)
    Hxy = np.array(_homography(H, "H"), order="F")
    # B^-1 H: rows 0 and 1 lose t times row 2; then H B: column 2 gains t times columns 0 and 1.
    Hxy[:2] = Hxy[:2] - shift * Hxy[2]
    Hxy[:, 2] = Hxy[:, 2] + shift * (Hxy[:, 0] + Hxy[:, 1])
    return np.array(Hxy[np.ix_([1, 0, 2], [1, 0, 2])], order="F")
