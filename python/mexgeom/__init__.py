"""Multi-view geometry and image measurement kernels, for NumPy.

The functions are the MATLAB and GNU Octave commands patchcorr, pluckresid, stripfilt, xprod3 and
hesseform, from the same kernels and with the same numbers, bit for bit: the same argument order,
the same layouts (u is 2 x K, one point per column), the same 1-based (row, column) coordinates,
the same rules and edge answers. Where Python users expect otherwise, they get what NumPy and
SciPy give them instead:

  - Arguments are converted as NumPy converts them. Coordinates, homographies, windows, filters,
    cameras and lines may be any real array-like (lists, integers, float32, ...), taken as
    np.asarray(value, dtype=np.float64) gives them; a complex, object or text array, or a masked
    array (whose mask would be ignored), is a TypeError naming the argument and the fix. Images
    (X and Y of patchcorr, I of stripfilt) keep their element type, float64, float32, uint16 or
    uint8, each value used as the float64 it equals, never scaled; an image must be 2-D (a colour
    image is a ValueError: convert it to one channel first).
  - One value per point or segment comes back 1-D: patchcorr and stripfilt return shape (K,),
    pluckresid r of shape (2N,) and J of shape (2N, 4), as scipy.optimize.least_squares wants
    them; xprod3 (3 x N) and hesseform (M x 3) keep their shapes.
  - They are ordinary Python functions: named parameters, annotations, pickled by reference, so
    that process pools and Dask send them to other processes as they are.
  - A long call answers Ctrl-C with KeyboardInterrupt within a fraction of a second.

An array's shape reads as a MATLAB array of those dimensions: shape (d0, d1, ..., dk) is d0 rows
by d1 * ... * dk columns in column-major order, a 1-D array of n numbers an n x 1 column, a 0-D
array 1 x 1 (so [3, 3] is one point of u). Once converted, an argument that fails a command's
own test gets the command's message (a wrong size is a ValueError, such as "H must be 3x3
matrix."), and an output that cannot be made is MemoryError("Out of memory."). The GIL is
released while a kernel runs, so calls from several Python threads run at once; threads= shares
one large patchcorr or stripfilt call among threads.
"""

from __future__ import annotations

from typing import Literal, Optional, Tuple, Union, overload

import numpy as np
import numpy.typing as npt

from . import _core
from .conversions import (camera_line_matrices, line_basis, line_points, rowcol_homography_to_xy,
                          rowcol_to_xy, xy_homography_to_rowcol, xy_to_rowcol)

__version__: str = _core.__version__
__all__ = ["patchcorr", "pluckresid", "stripfilt", "xprod3", "hesseform", "camera_line_matrices",
           "line_basis", "line_points", "xy_to_rowcol", "rowcol_to_xy", "xy_homography_to_rowcol",
           "rowcol_homography_to_xy"]

Floats = npt.NDArray[np.float64]
Threads = Union[int, Literal["auto"], None]

# The element types an image is read as, each in place when its layout allows.
_IMAGE_TYPES = frozenset(np.dtype(t) for t in (np.float64, np.float32, np.uint16, np.uint8))
_FLOAT64 = np.dtype(np.float64)


def _is_sparse(value: object) -> bool:
    return type(value).__module__.startswith("scipy.sparse")


def _refuse_masked(value: object, name: str) -> None:
    if isinstance(value, np.ma.MaskedArray):
        raise TypeError(f"{name} is a masked array, whose mask would be ignored: pass "
                        f"{name}.filled(value) with the value you mean, or the unmasked part.")


def _array(value: object, message: str) -> np.ndarray:
    """np.asarray(value), or TypeError(message) when NumPy can make no array of it (lists of
    unequal lengths, an object that refuses)."""
    try:
        return np.asarray(value)
    except Exception as error:
        raise TypeError(message) from error


def _refuse_complex(a: np.ndarray, name: str) -> None:
    if a.dtype.kind == "c":
        raise TypeError(f"{name} must be real, not {a.dtype}: pass {name}.real or "
                        f"np.abs({name}), whichever you mean.")


def _real(value: object, name: str) -> object:
    """An argument of real numbers as the float64 array np.asarray(value, np.float64) gives;
    one converted from another type is made Fortran-ordered (the kernels' layout) in the same
    copy. A SciPy sparse matrix is passed on as it is, for the command's own message."""
    if type(value) is np.ndarray and value.dtype is _FLOAT64:  # the common case, at once
        return value
    _refuse_masked(value, name)
    if _is_sparse(value):
        return value
    a = _array(value, f"{name} must be an array of real numbers, which NumPy cannot make of it.")
    _refuse_complex(a, name)
    if a.dtype.kind not in "biuf":
        raise TypeError(f"{name} must hold real numbers, not {a.dtype}: convert it with "
                        f"np.asarray({name}, dtype=float).")
    if a.dtype == np.float64:
        return a  # laid out by the compiled part, once the command's tests have passed
    return np.asarray(a, dtype=np.float64, order="F")


def _image(value: object, name: str) -> object:
    """An image as it is, when it is a 2-D array of one of the four element types (Python
    numbers and lists of them are float64); else the error that says what to do."""
    if type(value) is np.ndarray and value.ndim == 2 and value.dtype in _IMAGE_TYPES:
        return value  # the common case, at once
    _refuse_masked(value, name)
    if _is_sparse(value):
        return value
    types = f"{name} must be float64, float32, uint16 or uint8."
    if isinstance(value, np.ndarray):
        a = value
    else:
        a = _array(value, types)
        if isinstance(value, (list, tuple)) and a.dtype.kind in "iu":
            a = a.astype(np.float64)
    _refuse_complex(a, name)
    if a.dtype.newbyteorder("=") not in _IMAGE_TYPES:
        raise TypeError(types)
    if a.ndim > 2:
        raise ValueError(f"{name} must be a 2-D image, not of shape {a.shape}: convert it to "
                         f"one channel first, for example {name}.mean(axis=2) or "
                         f"cv2.cvtColor({name}, cv2.COLOR_BGR2GRAY) for a colour image.")
    if a.ndim < 2:
        raise ValueError(f"{name} must be a 2-D image, not of shape {a.shape}: give it its rows "
                         f"and columns, for example np.atleast_2d({name}).")
    return a


def _threads(threads: Threads) -> dict:
    """threads= for the compiled part, left out when it is the default (which saves the keyword's
    parsing in a short call)."""
    return {} if type(threads) is int and threads == 1 else {"threads": threads}


def patchcorr(X: npt.ArrayLike, Y: npt.ArrayLike, H: npt.ArrayLike, W: npt.ArrayLike,
              u: npt.ArrayLike, method: Optional[str] = None, *,
              threads: Threads = 1) -> Floats:
    """Weighted correlation of image windows under a homography: MATLAB's
    patchcorr(X, Y, H, W, u, method), with the same numbers bit for bit and 1-based (row, column)
    coordinates, the first along the rows.

    For each point (column) of u, the weighted correlation coefficient between the window W laid
    about the point in image X and the corresponding window in image Y: the local affine
    approximation of H at the point (the centre goes through H, the offsets through its Jacobian).

    X, Y     2-D images, float64, float32, uint16 or uint8, each of its own type; every value is
             used as the float64 it equals (uint8 as 0 to 255, uint16 as 0 to 65535, not scaled),
             so the scores are those of the float64 images of the same values.
    H        3 x 3: maps 1-based (row, column) of X to homogeneous positions of Y.
    W        3 x nW: one window sample per column: row offset, column offset, weight.
    u        2 x K, or empty: the points, 1-based coordinates of X, row first.
    method   exactly "nearest" samples by truncation to the grid; anything else, or None,
             bilinearly.
    threads  1 by default; N for up to N threads, 0 or "auto" for one per processor this process
             may run on. The scores have the same bits for every count; a call too small to repay
             a thread runs on the calling thread alone.
    H, W and u are any real array-likes, converted to float64.

    Returns the K scores, a float64 array of shape (K,). A score is NaN when fewer than three
    window samples fall inside both images (1 <= position < size - 1 along both axes, 0-based) or
    when either window is flat (weighted variance at most 1e-9); an empty u of 0 x K gives K
    zeros.

    Points and homographies of (x, y) tools (OpenCV, scikit-image): mexgeom.xy_to_rowcol(xy) and
    mexgeom.xy_homography_to_rowcol(Hxy) convert them (0-based by default).

    Precision: each variance is a mean of squares less a squared mean, so a score is off by about
    2e-16 (m/s)^2, m a window's mean and s its standard deviation: on images offset by 1e5 the
    largest error measured was 0.034 and scores exceeded 1, by 1e6 the scores are noise. Subtract
    a constant from each image first (X - np.median(X)). A spread above about 1e77 scores 0,
    values above about 2e153 NaN, a spread below about 3e-5 is a flat window (python/README.md).

    Copies: X and Y are read where they lie, in C or Fortran order or at any other strides (a
    transposed, stepped or reversed view), each of its own type; an image is copied once per call,
    keeping its type, only when its elements are in the other byte order, unaligned, or a fraction
    of an element or 2^31 elements or more apart. Two images in one order (both C, or both
    Fortran) are read fastest; two in different orders, or at other strides, element by element.
    The other arguments are converted once per call to Fortran-ordered float64 arrays, which
    copies none that already is one.
    """
    method_ = () if method is None else (method,)  # None is the five-input call
    return _core.patchcorr(_image(X, "X"), _image(Y, "Y"), _real(H, "H"), _real(W, "W"),
                           _real(u, "u"), *method_, **_threads(threads)).reshape(-1)


@overload
def pluckresid(x: npt.ArrayLike, A: npt.ArrayLike, T: npt.ArrayLike, E: npt.ArrayLike, *,
               jacobian: Literal[False] = ...) -> Floats: ...


@overload
def pluckresid(x: npt.ArrayLike, A: npt.ArrayLike, T: npt.ArrayLike, E: npt.ArrayLike, *,
               jacobian: Literal[True]) -> Tuple[Floats, Floats]: ...


@overload
def pluckresid(x: npt.ArrayLike, A: npt.ArrayLike, T: npt.ArrayLike, E: npt.ArrayLike, *,
               jacobian: bool) -> Union[Floats, Tuple[Floats, Floats]]: ...


def pluckresid(x: npt.ArrayLike, A: npt.ArrayLike, T: npt.ArrayLike, E: npt.ArrayLike, *,
               jacobian: bool = False) -> Union[Floats, Tuple[Floats, Floats]]:
    """Residuals of a four-parameter 3D line against line segments seen in N cameras: MATLAB's
    r = pluckresid(x, A, T, E), or [r, J] = pluckresid(...) with jacobian=True, with the same
    numbers bit for bit and the same array layouts (column-major flat positions, as in MATLAB).

    x   the parameters: x1, x2 move the first point P, x3, x4 the second point Q; the first four
        numbers are read.
    A   6 x 3 x N: column j of slice i gives the coefficients of L1..L6 in image line coordinate
        lj of camera i.
    T   3 x 4 x 2: slice 1 for P, slice 2 for Q; row 1 the constant term, rows 2 and 3 the
        coefficients of the point's two parameters.
    E   2 x N x 2: segment end points (u, v), slice 1 the first ends, slice 2 the second; N is
        E's second dimension.
    Each is any real array-like, converted to float64; any shape holding enough numbers is
    accepted for x, A and T.

    Returns r, the 2N signed distances of the end points from the image of the line, shape
    (2N,), camera after camera (first end, then second); with jacobian=True the pair (r, J), J of
    shape (2N, 4) the forward-difference Jacobian: column k is (r(x + 1e-8 e_k) - r(x)) * 1e8.
    So fun = lambda x: pluckresid(x, A, T, E) and jac = lambda x: pluckresid(x, A, T, E,
    jacobian=True)[1] are ready for scipy.optimize.least_squares(fun, x0, jac=jac). A camera
    whose image line has l1 = l2 = 0 gets Inf or NaN in its own rows only.

    mexgeom.camera_line_matrices(C) makes A from 3 x 4 camera matrices, mexgeom.line_basis(P, Q)
    x and T for the line through two points, and mexgeom.line_points(x, T) two points back.

    Copies: each argument is converted once per call to a Fortran-ordered float64 array, which
    copies none that already is one.
    """
    x, A, T, E = _real(x, "x"), _real(A, "A"), _real(T, "T"), _real(E, "E")
    if jacobian:
        r, J = _core.pluckresid(x, A, T, E, jacobian=True)
        return r.reshape(-1), J
    return _core.pluckresid(x, A, T, E).reshape(-1)


def stripfilt(I: npt.ArrayLike, h: npt.ArrayLike, u1: npt.ArrayLike, u2: npt.ArrayLike, *,
              threads: Threads = 1) -> Floats:
    """A 1-D filter applied across line segments of an image: MATLAB's
    stripfilt(I, h, u1, u2), with the same numbers bit for bit and 1-based (row, column)
    coordinates.

    For each segment from u1[:, k] to u2[:, k], the image is sampled bilinearly at unit steps
    from u1[:, k] (n = the length rounded half up samples) on 2m + 1 lines parallel to the
    segment, offset by i (-d2, d1) for i = -m..m, d the unit direction; line i takes tap h[i + m]
    (in column-major order). The samples of each line inside the image are averaged, and the
    averages weighted by their taps are summed.

    I        M x N image, float64, float32, uint16 or uint8; every value is used as the float64 it
             equals (uint8 as 0 to 255, uint16 as 0 to 65535, not scaled), so the responses are
             those of the float64 image of the same values.
    h        an odd number 2m + 1 of taps, any shape.
    u1, u2   2 x K: segment end points, 1-based (row, column), not necessarily integers.
    threads  1 by default; N for up to N threads, 0 or "auto" for one per processor this process
             may run on. The responses have the same bits for every count.
    h, u1 and u2 are any real array-likes, converted to float64.

    Returns the K responses, a float64 array of shape (K,); NaN for a segment shorter than 0.5,
    one with an offset line that has no sample inside the image, one that reads a NaN, and one
    whose end points are not finite.

    Precision: a line's sum overflows past 1.8e308 (inf, or nan with [1, 0, -1]): scale such an
    image down; large offsets cost digits (9.1e-7 at an offset of 1e9 along 180 samples): subtract
    a constant first. A sample of exactly -1234567 is left out like one outside the image.
    (x, y) end points: mexgeom.xy_to_rowcol.

    Copies: I is read where it lies, in C or Fortran order or at any other strides (a transposed,
    stepped or reversed view), fastest in C or Fortran order; it is copied once per call, keeping
    its type, only when its elements are in the other byte order, unaligned, or a fraction of an
    element or 2^31 elements or more apart. The other arguments are converted once per call to
    Fortran-ordered float64 arrays, which copies none that already is one.
    """
    return _core.stripfilt(_image(I, "I"), _real(h, "h"), _real(u1, "u1"), _real(u2, "u2"),
                           **_threads(threads)).reshape(-1)


def xprod3(A: npt.ArrayLike, B: Optional[npt.ArrayLike] = None) -> Floats:
    """Vector products of 3-vectors: MATLAB's xprod3(P) and xprod3(A, B), with the same numbers
    bit for bit and the same shapes.

    xprod3(P)     P 3 x 2: returns the 3 x 1 product P[:, 0] x P[:, 1].
    xprod3(A, B)  A, B 3 x N: returns the 3 x N array whose column k is A[:, k] x B[:, k].
    A and B are any real array-likes, converted to float64.

    Each component is one product minus another, (a2 b3 - a3 b2, a3 b1 - a1 b3, a1 b2 - a2 b1), so
    equal vectors give exact zeros. An empty A returns an empty float64 array of its own rows and
    columns, whatever the size of B.

    Copies: each argument is converted once per call to a Fortran-ordered float64 array, which
    copies none that already is one.
    """
    if B is None:
        return _core.xprod3(_real(A, "A"))
    return _core.xprod3(_real(A, "A"), _real(B, "B"))


def hesseform(L: npt.ArrayLike) -> Floats:
    """Normalisation of homogeneous 2D lines: MATLAB's hesseform(L), with the same numbers bit for
    bit and the same shapes.

    L is M x 3, one line (a, b, c) per row: a x + b y + c = 0, any real array-like, converted to
    float64. Each row is divided by n = sqrt(a^2 + b^2), so that (a, b) becomes a unit normal; the
    sign is kept. Returns the M x 3 float64 array. a = b = 0 gives (NaN, NaN, c/0), a NaN in a or
    b a NaN row, and the other rows are unaffected. An empty L returns an empty float64 array of
    its own rows and columns. (A 1-D array of three numbers is a 3 x 1 column, not a line: write
    [[a, b, c]].)

    Precision: a^2 + b^2 is formed in doubles: [[1e200, 1e200, 1]] gives [[0, 0, 0]] and
    [[1e-200, 1e-200, 1]] gives inf; scale the rows first:
    hesseform(L / np.abs(L[:, :2]).max(axis=1, keepdims=True)) gives the same lines.

    Copies: each argument is converted once per call to a Fortran-ordered float64 array, which
    copies none that already is one.
    """
    return _core.hesseform(_real(L, "L"))
