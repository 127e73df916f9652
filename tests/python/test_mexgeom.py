"""The Python package against the commands' documented answers and messages, and what is its own:
how arrays of every layout and element type are read and converted, the shapes of its results,
thread counts, calls from Python threads. The compiled gateways' own checks, which the package's
conversions keep most calls from reaching, are called through mexgeom._core."""

import doctest
import multiprocessing
import os
import pickle
import signal
import subprocess
import sys
import threading
import time
import tracemalloc
from concurrent.futures import ProcessPoolExecutor, ThreadPoolExecutor
from pathlib import Path

import numpy as np
import pytest

import mexgeom
from mexgeom import _core

MESSAGES = Path(__file__).resolve().parents[1] / "messages.txt"
GUIDE = Path(__file__).resolve().parents[2] / "python" / "README.md"


def big(*shape):
    """A float64 array of any size that takes no memory (every element the same)."""
    return np.broadcast_to(np.zeros(1), shape)


def sparse(a):
    """A SciPy sparse matrix, made when the call is (tests/install_deps.sh installs SciPy)."""
    return lambda: pytest.importorskip("scipy.sparse").csr_matrix(a)


def made(args):
    return [value() if callable(value) else value for value in args.values()]


def varied(function, **defaults):
    """Calls of function with these arguments, some changed (the callables among them made when
    the call is)."""
    return lambda **changed: lambda: function(*made(dict(defaults, **changed)))


class Unreadable:
    """An object of which NumPy can make no array at all."""

    def __array__(self, *args):
        raise RuntimeError("no numbers here")


def same_bits(a, b):
    return a.shape == b.shape and a.dtype == b.dtype and a.tobytes("F") == b.tobytes("F")


# The worked examples of the documentation.
X5 = np.arange(25.0).reshape(5, 5, order="F")  # element (r, c), 0-based, is r + 5c
SHIFT = [[1, 0, 0.5], [0, 1, 0], [0, 0, 1]]  # half a row down
W3 = [[0, 0.5, 1], [0, 0, 0], [1, 1, 1]]
LINE = dict(
    x=[1.0, 2, 3, 4],
    A=np.stack([np.array([[1.0, -1, 0, 0, 0, 0], [0, 0, -2, 0, 0, 0], [0, 0, 0, 0, 0, -5]]).T,
                np.array([[0.0] * 6, [-1.0, 0, 0, 0, 0, 0], [0, 0, 0, -3.0, 0, 0]]).T], axis=2),
    T=np.reshape([0.0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 0, 0, 1, 0, 0],
                 (3, 4, 2), order="F"),
    E=np.reshape([1.0, 3, 7, 2, -3, 1, 0, 5], (2, 2, 2), order="F"))
EDGE = np.zeros((20, 20))
EDGE[:, 10:] = 100  # an edge between columns 10 and 11
NAN = np.nan

# Random data, for calls compared with one another.
RNG = np.random.default_rng(20)
IMAGE = np.round(255 * RNG.random((40, 50)))  # whole numbers: float64 and uint8 hold the same
WINDOW = np.vstack([np.repeat(np.arange(-3.0, 4), 7), np.tile(np.arange(-3.0, 4), 7),
                    RNG.random(49)])
AFFINE = np.array([[1.02, 0.05, -1], [-0.03, 0.98, 1.5], [0, 0, 1]])
POINTS = np.vstack([1 + 39 * RNG.random(60), 1 + 49 * RNG.random(60)])
ENDS = np.vstack([45 * RNG.random(30) - 2, 55 * RNG.random(30) - 2])
ENDS2 = ENDS + 20 * RNG.random((2, 30)) - 10
TAPS = RNG.random(7) - 0.5
LINES = (RNG.normal(size=4), RNG.normal(size=(6, 3, 9)), RNG.normal(size=(3, 4, 2)),
         100 * RNG.random((2, 9, 2)))

# Calls long enough to run in several slices.
MANY = (RNG.normal(size=4), RNG.normal(size=(6, 3, 5000)), LINES[2], 100 * RNG.random((2, 5000, 2)))
SPREAD = np.vstack([1 + 39 * RNG.random(50000), 1 + 49 * RNG.random(50000)])
VECTORS = RNG.normal(size=(3, 10 ** 6))


def cross(a, b):
    """Column k: a[:, k] x b[:, k], each component one product minus another."""
    return np.asfortranarray(np.vstack([a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
                                        a[0] * b[1] - a[1] * b[0]]))


pc = varied(mexgeom.patchcorr, X=X5, Y=X5, H=SHIFT, W=W3, u=[[3], [3]])
sf = varied(mexgeom.stripfilt, I=EDGE, h=[1, 0, -1], u1=[[18], [10.5]], u2=[[3], [10.5]])
pr = varied(mexgeom.pluckresid, **LINE)
# The same calls of the compiled gateways, which convert nothing.
pc_core = varied(_core.patchcorr, X=X5, Y=X5, H=np.array(SHIFT), W=np.array(W3), u=[[3], [3]])
sf_core = varied(_core.stripfilt, I=EDGE, h=[1, 0, -1], u1=[[18], [10.5]], u2=[[3], [10.5]])
pr_core = varied(_core.pluckresid, **LINE)
pc_random = varied(mexgeom.patchcorr, X=IMAGE, Y=IMAGE, H=AFFINE, W=WINDOW, u=POINTS)


# Beyond the guide's examples (test_the_examples_of_the_guide): what the binding itself decides.
EXAMPLES = [
    ("patchcorr method by name", lambda: mexgeom.patchcorr(X5, X5, SHIFT, W3, [3, 3],
                                                           method="nearest"), [0.5]),
    ("patchcorr 'Nearest' is bilinear",
     lambda: mexgeom.patchcorr(X5, X5, SHIFT, W3, [3, 3], "Nearest"), [1.0]),
    ("patchcorr method not text", lambda: mexgeom.patchcorr(X5, X5, SHIFT, W3, [3, 3], 7),
     [1.0]),
    ("patchcorr u 0 x 5 of another type", pc(u=np.zeros((0, 5), np.int8)), np.zeros(5)),
    ("patchcorr u 3 x 0", pc(u=np.zeros((3, 0))), np.zeros(0)),
    ("patchcorr of 3 points is 1-D", pc(u=[[3, 3, 2], [3, 3, 2]]), [1.0, 1, 1]),
    ("patchcorr X of 2^31 - 1 columns is not too large", lambda: mexgeom.patchcorr(
        np.zeros((1, 2 ** 31 - 1), np.uint8, order="F"), X5, SHIFT, W3, [3, 3]), [NAN]),
    ("pluckresid r", pr(), [4.0, 0, 1, -2]),
    ("pluckresid r with the Jacobian", lambda: mexgeom.pluckresid(**LINE, jacobian=True)[0],
     [4.0, 0, 1, -2]),
    ("pluckresid of no camera", pr(A=np.zeros((6, 3, 0)), E=np.zeros((2, 0, 2))), np.zeros(0)),
    ("stripfilt 2 x 0", lambda: mexgeom.stripfilt(EDGE, 1, np.zeros((2, 0)), np.zeros((2, 0))),
     np.zeros(0)),
    ("stripfilt I of 2^31 - 1 rows is not too large", lambda: mexgeom.stripfilt(
        np.zeros((2 ** 31 - 1, 1), np.uint8, order="F"), 1, [1, 1], [3, 1]), [NAN]),
    ("xprod3 B=None is the one-input form",
     lambda: mexgeom.xprod3([[1, 0], [0, 1], [0, 0]], B=None), [[0.0], [0], [1]]),
    ("_core.xprod3 B=None is the one-input form",
     lambda: _core.xprod3(np.array([[1.0, 0], [0, 1], [0, 0]]), B=None), [[0.0], [0], [1]]),
    ("xprod3 two 1-D vectors are columns", lambda: mexgeom.xprod3([1, 0, 0], [0, 1, 0]),
     [[0.0], [0], [1]]),
    ("xprod3 empty 0 x 5 x 2", lambda: mexgeom.xprod3(np.zeros((0, 5, 2))), np.zeros((0, 10))),
    ("xprod3 empty first, size of second not examined",
     lambda: mexgeom.xprod3(np.zeros((3, 0)), np.zeros((2, 7))), np.zeros((3, 0))),
    ("hesseform empty 5 x 0 of another type", lambda: mexgeom.hesseform(np.zeros((5, 0), int)),
     np.zeros((5, 0))),
]


@pytest.mark.parametrize("name, call, expected", EXAMPLES, ids=[e[0] for e in EXAMPLES])
def test_documented_answers(name, call, expected):
    got = call()
    expected = np.asarray(expected)
    assert got.shape == expected.shape
    np.testing.assert_allclose(got, expected, rtol=1e-12, atol=0, equal_nan=True)


def test_the_examples_of_the_guide():
    failures, tried = doctest.testfile(str(GUIDE), module_relative=False,
                                       optionflags=doctest.NORMALIZE_WHITESPACE)
    assert failures == 0 and tried >= 10


# The commands' messages, through the package where a call reaches them, else through _core.
ERRORS = [
    ("patchcorr", lambda: _core.patchcorr(X5, X5, SHIFT, W3), TypeError,
     "Bad number of input parameters."),
    ("patchcorr", lambda: _core.patchcorr(X5, X5, SHIFT, W3, method="nearest"), TypeError,
     "Bad number of input parameters."),
    ("patchcorr", pc(X=X5.astype(np.float16)), TypeError,
     "X must be float64, float32, uint16 or uint8."),
    ("patchcorr", pc(X="abc"), TypeError, "X must be float64, float32, uint16 or uint8."),
    ("patchcorr", pc(X=sparse(X5)), TypeError, "X must not be sparse."),
    ("patchcorr", pc(X=big(2 ** 31, 1)), ValueError, "X is too large."),
    ("patchcorr", pc(Y=[[True]]), TypeError, "Y must be float64, float32, uint16 or uint8."),
    ("patchcorr", pc(Y=sparse(X5)), TypeError, "Y must not be sparse."),
    ("patchcorr", pc(Y=big(3, 2 ** 31)), ValueError, "Y is too large."),
    ("patchcorr", pc(H=np.eye(2)), ValueError, "H must be 3x3 matrix."),
    ("patchcorr", pc_core(H=np.eye(3, dtype=np.float32)), TypeError,
     "H must be a full double matrix."),
    ("patchcorr", pc(W=W3[:2]), ValueError, "W must have 3 rows."),
    ("patchcorr", pc_core(W=np.array(W3, np.int64)), TypeError, "W must be a full double matrix."),
    ("patchcorr", pc(W=big(3, 2 ** 31)), ValueError, "W has too many columns."),
    ("patchcorr", pc(u=big(3, 2 ** 40)), MemoryError, "Out of memory."),
    ("patchcorr", pc(u=[[3], [3], [3]]), ValueError, "Bad size of u."),
    ("patchcorr", pc_core(u=np.array([[3], [3]], np.int32)), TypeError,
     "u must be a full double matrix."),
    ("pluckresid", lambda: _core.pluckresid(LINE["x"], LINE["A"], LINE["T"]), TypeError,
     "4 inputs required."),
    ("pluckresid", pr_core(x=np.arange(4)), TypeError, "x must be a full double array."),
    ("pluckresid", pr(x=[1.0, 2, 3]), ValueError, "x must have at least 4 elements."),
    ("pluckresid", pr_core(A=LINE["A"].astype(np.float32)), TypeError,
     "A must be a full double array."),
    ("pluckresid", pr(A=LINE["A"][:, :, :1]), ValueError, "A must have at least 18N elements."),
    ("pluckresid", pr(T=sparse(np.ones((3, 8)))), TypeError, "T must be a full double array."),
    ("pluckresid", pr(T=LINE["T"].ravel()[:23]), ValueError, "T must have at least 24 elements."),
    ("pluckresid", pr_core(E=LINE["E"].astype(np.uint8)), TypeError,
     "E must be a full double array."),
    ("pluckresid", pr(E=np.zeros((2, 2))), ValueError, "E must have at least 4N elements."),
    ("pluckresid", pr(A=big(6, 3, 2 ** 31), E=big(2, 2 ** 31, 2)), ValueError,
     "E has too many columns."),
    ("stripfilt", lambda: _core.stripfilt(EDGE, 1, [1, 1]), TypeError,
     "Bad number of input arguments."),
    ("stripfilt", sf_core(I=np.zeros((4, 4, 2))), ValueError, "I must be 2D array."),
    ("stripfilt", sf(I=EDGE.astype(np.int16)), TypeError,
     "I must be float64, float32, uint16 or uint8."),
    ("stripfilt", sf(I=Unreadable()), TypeError, "I must be float64, float32, uint16 or uint8."),
    ("stripfilt", sf(I=sparse(EDGE)), TypeError, "I must not be sparse."),
    ("stripfilt", sf(I=big(2 ** 31, 2)), ValueError, "I is too large."),
    ("stripfilt", sf_core(h=np.array([1, 0, -1])), TypeError, "h must be double vector."),
    ("stripfilt", sf(h=[1, -1]), ValueError, "Vector h must have odd length."),
    ("stripfilt", sf(h=sparse([[1.0, 0, -1]])), TypeError, "h must not be sparse."),
    ("stripfilt", sf(h=big(2 ** 31 + 1)), ValueError, "h is too long."),
    ("stripfilt", sf(u1=np.zeros((2, 1, 2))), ValueError, "Bad size(s) of u1, u2."),
    ("stripfilt", sf_core(u2=np.array([[3], [10]])), TypeError, "Bad size(s) of u1, u2."),
    ("stripfilt", sf(u1=[[18], [10.5], [1]]), ValueError, "Bad size(s) of u1, u2."),
    ("stripfilt", sf(u2=[[3, 3], [10.5, 5]]), ValueError, "Bad size(s) of u1, u2."),
    ("stripfilt", sf(u1=sparse([[18], [10.5]])), TypeError, "u1 must not be sparse."),
    ("stripfilt", sf(u2=sparse([[3], [10.5]])), TypeError, "u2 must not be sparse."),
    ("stripfilt", sf(u1=big(2, 2 ** 40), u2=big(2, 2 ** 40)), MemoryError, "Out of memory."),
    ("xprod3", lambda: _core.xprod3(), TypeError, "One or two input arguments required."),
    ("xprod3", lambda: _core.xprod3(np.eye(3), np.eye(3), np.eye(3)), TypeError,
     "One or two input arguments required."),
    ("xprod3", lambda: mexgeom.xprod3(np.zeros((2, 3))), ValueError, "Input must be 3x2 vector."),
    ("xprod3", lambda: _core.xprod3(np.zeros((3, 2), np.int64)), TypeError,
     "Input must be a full double matrix."),
    ("xprod3", lambda: mexgeom.xprod3(np.zeros((3, 4)), np.zeros((3, 5))), ValueError,
     "Wrong size of input vectors."),
    ("xprod3", lambda: _core.xprod3(np.zeros((3, 4), np.float32), np.zeros((3, 4))), TypeError,
     "A must be a full double matrix."),
    ("xprod3", lambda: mexgeom.xprod3(np.zeros((3, 4)), sparse(np.zeros((3, 4)))()), TypeError,
     "B must be a full double matrix."),
    ("xprod3", lambda: mexgeom.xprod3(big(3, 2 ** 40), big(3, 2 ** 40)), MemoryError,
     "Out of memory."),
    ("hesseform", lambda: _core.hesseform(), TypeError, "One input required."),
    ("hesseform", lambda: mexgeom.hesseform([3.0, 4, 10]), ValueError, "Input must be Mx3 matrix."),
    ("hesseform", lambda: _core.hesseform(np.zeros((2, 3), np.uint8)), TypeError,
     "Input must be a full double matrix."),
    ("hesseform", lambda: mexgeom.hesseform(big(2 ** 40, 3)), MemoryError, "Out of memory."),
]

IMAGE_TYPES = "{} must be float64, float32, uint16 or uint8."


def refused_images(dtype):
    """An image of a type no command takes, as X, Y and I."""
    image, name = np.zeros((8, 8), dtype), np.dtype(dtype).name
    return [(f"patchcorr X of {name}", pc_random(X=image), TypeError, IMAGE_TYPES.format("X")),
            (f"patchcorr Y of {name}", pc_random(Y=image), TypeError, IMAGE_TYPES.format("Y")),
            (f"stripfilt I of {name}", lambda: mexgeom.stripfilt(image, TAPS, ENDS, ENDS),
             TypeError, IMAGE_TYPES.format("I"))]


def bad_threads(threads, kind):
    message = "threads must be a non-negative integer or 'auto'."
    return [(f"patchcorr threads={threads!r}",
             lambda: mexgeom.patchcorr(X5, X5, SHIFT, W3, [3, 3], threads=threads), kind, message),
            (f"stripfilt threads={threads!r}",
             lambda: mexgeom.stripfilt(EDGE, 1, [1, 1], [1, 5], threads=threads), kind, message)]


# The binding's own errors: Python's argument errors, the element types it refuses, threads.
BINDING_ERRORS = [
    ("patchcorr", lambda: mexgeom.patchcorr(X5, X5, SHIFT, W3, [3, 3], threads_=2), TypeError,
     "patchcorr() got an unexpected keyword argument 'threads_'"),
    ("hesseform", lambda: mexgeom.hesseform(np.eye(3), L=np.eye(3)), TypeError,
     "hesseform() got multiple values for argument 'L'"),
    ("patchcorr", lambda: mexgeom.patchcorr(X5, X5, SHIFT, W3), TypeError,
     "patchcorr() missing 1 required positional argument: 'u'"),
    ("pluckresid", lambda: mexgeom.pluckresid(LINE["x"], LINE["A"], LINE["T"]), TypeError,
     "pluckresid() missing 1 required positional argument: 'E'"),
    ("stripfilt", lambda: mexgeom.stripfilt(EDGE, 1, [1, 1], [1, 1], 2), TypeError,
     "stripfilt() takes 4 positional arguments but 5 were given"),
    ("xprod3", lambda: mexgeom.xprod3(np.eye(3), np.eye(3), np.eye(3)), TypeError,
     "xprod3() takes from 1 to 2 positional arguments but 3 were given"),
    *(row for dtype in [np.int8, np.int16, np.int32, np.int64, np.uint32, np.uint64, np.float16,
                        np.longdouble, np.bool_, object, "U3", "V8"]
      for row in refused_images(dtype)),
    *(row for threads, kind in [(-1, ValueError), (-10 ** 30, ValueError), ("all", ValueError),
                                ("", ValueError), (1.5, TypeError), (True, TypeError),
                                ([2], TypeError)]
      for row in bad_threads(threads, kind)),
]


# The package's own refusals: what it cannot convert, and images it cannot read as one channel.
# Each message names the argument and says what to pass instead; the table gives its beginning.
MASKED = np.ma.masked_invalid([[3.0], [NAN]])
PACKAGE_ERRORS = [
    ("H complex", pc(H=np.eye(3) + 0j), TypeError, "H must be real, not complex128: pass H.real"),
    ("u complex", pc(u=[[3 + 1j], [3]]), TypeError, "u must be real, not complex128: pass u.real"),
    ("x complex", pr(x=[1j, 2, 3, 4]), TypeError, "x must be real, not complex128"),
    ("h complex64", sf(h=np.ones(3, np.complex64)), TypeError, "h must be real, not complex64"),
    ("L complex", lambda: mexgeom.hesseform([[1j, 1, 1]]), TypeError, "L must be real"),
    ("B complex", lambda: mexgeom.xprod3(np.eye(3), np.eye(3) * 1j), TypeError, "B must be real"),
    ("X complex", pc(X=X5 + 1j), TypeError, "X must be real, not complex128: pass X.real"),
    ("I complex256", sf(I=EDGE.astype(np.clongdouble)), TypeError, "I must be real, not complex256"),
    ("W of objects", pc(W=np.array(W3, dtype=object)), TypeError,
     "W must hold real numbers, not object: convert it with np.asarray(W, dtype=float)."),
    ("T of text", pr(T="abc"), TypeError, "T must hold real numbers, not <U3"),
    ("E of dates", pr(E=np.zeros((2, 2, 2), "datetime64[s]")), TypeError,
     "E must hold real numbers, not datetime64[s]"),
    ("u1 ragged", sf(u1=[[18, 1], [10.5]]), TypeError,
     "u1 must be an array of real numbers, which NumPy cannot make of it."),
    ("A unreadable", pr(A=Unreadable()), TypeError, "A must be an array of real numbers"),
    ("u masked", pc(u=MASKED), TypeError,
     "u is a masked array, whose mask would be ignored: pass u.filled(value)"),
    ("X masked", pc(X=np.ma.masked_greater(X5, 20)), TypeError, "X is a masked array"),
    ("I masked", sf(I=np.ma.masked_array(EDGE)), TypeError, "I is a masked array"),
    ("X colour", pc(X=np.zeros((5, 5, 3))), ValueError,
     "X must be a 2-D image, not of shape (5, 5, 3): convert it to one channel first"),
    ("Y of one channel, 3-D", pc(Y=np.zeros((5, 5, 1), np.uint8)), ValueError,
     "Y must be a 2-D image, not of shape (5, 5, 1): convert it to one channel first"),
    ("I with an alpha channel", sf(I=np.zeros((20, 20, 4), np.float32)), ValueError,
     "I must be a 2-D image, not of shape (20, 20, 4): convert it to one channel first"),
    ("I of 4 x 4 x 2", sf(I=np.zeros((4, 4, 2))), ValueError, "I must be a 2-D image"),
    ("X 1-D", pc(X=np.zeros(25)), ValueError,
     "X must be a 2-D image, not of shape (25,): give it its rows and columns"),
    ("Y 0-D", pc(Y=5.0), ValueError, "Y must be a 2-D image, not of shape ()"),
]


@pytest.mark.parametrize("name, call, kind, message", PACKAGE_ERRORS,
                         ids=[e[0] for e in PACKAGE_ERRORS])
def test_the_package_refuses_what_it_cannot_convert(name, call, kind, message):
    with pytest.raises(kind) as raised:
        call()
    assert str(raised.value).startswith(message)


@pytest.mark.parametrize("name, call, kind, message", ERRORS + BINDING_ERRORS,
                         ids=[f"{e[0]}: {e[3]}" for e in ERRORS + BINDING_ERRORS])
def test_messages(name, call, kind, message):
    with pytest.raises(kind) as raised:
        call()
    assert str(raised.value) == message


# The images' class messages, which name the four element types that images take here.
IMAGE_CLASS = {f"{name} must be either double or uint8.": IMAGE_TYPES.format(name)
               for name in "XYI"}


def test_every_message_is_in_the_table():
    """The messages are the commands' own, but for the images' class, and the table reaches each
    one (but an output of pluckresid, whose largest size NumPy may well allocate)."""
    documented = {}
    for entry in MESSAGES.read_text().splitlines():
        command, message = entry.split(": ", 1)
        documented.setdefault(command, set()).add(IMAGE_CLASS.get(message, message))
    documented["pluckresid"].discard("Out of memory.")
    tested = {}
    for command, _, _, message in ERRORS:
        tested.setdefault(command, set()).add(message)
    assert tested == documented


# ---- element types and layouts ---------------------------------------------------------------

def along_two_rows(apart):
    """stripfilt along a 2 x 50 uint8 image between its rows, whose rows lie `apart` bytes apart
    in memory that NumPy leaves unwritten but for them (None: in Fortran order)."""
    rows = IMAGE[:2].astype(np.uint8)
    image = np.asfortranarray(rows)
    if apart is not None:
        image = np.lib.stride_tricks.as_strided(np.zeros(apart + 50, np.uint8), (2, 50), (apart, 1))
        image[...] = rows
    return mexgeom.stripfilt(image, 1.0, [[1.5, 1.25], [1, 3]], [[1.5, 1.75], [50, 40]])


# Two calls that must give the same bits: how shapes read as host arrays.
SAME = [
    ("u of 2 x 6 x 10 is 2 x 60", pc_random(u=POINTS.reshape(2, 6, 10, order="F")), pc_random()),
    ("a 1-D u is one point", pc_random(u=[7.5, 9]), pc_random(u=[[7.5], [9]])),
    ("x, A, T of any shape", lambda: mexgeom.pluckresid(
        LINES[0].reshape(2, 2, order="F"), LINES[1].reshape(18, 9, order="F"), LINES[2].ravel("F"),
        LINES[3]), lambda: mexgeom.pluckresid(*LINES)),
    ("h of any shape", lambda: mexgeom.stripfilt(IMAGE, TAPS.reshape(1, 7, 1), ENDS, ENDS2),
     lambda: mexgeom.stripfilt(IMAGE, TAPS, ENDS, ENDS2)),
    ("hesseform of 1 x 3 x 1 is 1 x 3", lambda: mexgeom.hesseform(WINDOW[:, :1].reshape(1, 3, 1)),
     lambda: mexgeom.hesseform(WINDOW[:, :1].T)),
    # Conversions: what np.asarray(value, np.float64) makes of the argument.
    ("H, W, u of integers, float32, lists", pc_random(
        H=np.round(10 * AFFINE).astype(np.int32).tolist(), W=WINDOW.astype(np.float32),
        u=np.round(POINTS).astype(np.int64)), pc_random(
        H=np.round(10 * AFFINE), W=WINDOW.astype(np.float32).astype(np.float64),
        u=np.round(POINTS))),
    ("an image of integer lists is float64", lambda: mexgeom.patchcorr(
        X5.astype(int).tolist(), X5, SHIFT, W3, [3, 3]), lambda: mexgeom.patchcorr(
        X5, X5, SHIFT, W3, [3, 3])),
    ("x, A, T, E of int, float32, uint8, bool", lambda: mexgeom.pluckresid(
        [1, 2, 3, 4], LINES[1].astype(np.float32), LINES[2] > 0, LINES[3].astype(np.uint8),
        jacobian=True)[1], lambda: mexgeom.pluckresid(
        [1.0, 2, 3, 4], LINES[1].astype(np.float32).astype(np.float64),
        (LINES[2] > 0).astype(np.float64), LINES[3].astype(np.uint8).astype(np.float64),
        jacobian=True)[1]),
    ("h, u1, u2 of int16, float32, big-endian", lambda: mexgeom.stripfilt(
        IMAGE, np.array([1, 0, -1], np.int16), ENDS.astype(np.float32), ENDS2.astype(">f8")),
     lambda: mexgeom.stripfilt(IMAGE, [1.0, 0, -1], ENDS.astype(np.float32).astype(np.float64),
                               ENDS2)),
    ("xprod3 of int64 and uint8", lambda: mexgeom.xprod3(
        np.arange(-9, 9).reshape(3, 6), np.arange(18, dtype=np.uint8).reshape(3, 6)),
     lambda: mexgeom.xprod3(np.arange(-9.0, 9).reshape(3, 6), np.arange(18.0).reshape(3, 6))),
    ("hesseform of int lists", lambda: mexgeom.hesseform([[3, 4, 10], [0, 0, 1]]),
     lambda: mexgeom.hesseform(np.array([[3.0, 4, 10], [0, 0, 1]]))),
    # Shapes: the commands' values, one per point, segment or residual made 1-D.
    ("patchcorr is the command's row", pc_random(), lambda: _core.patchcorr(
        IMAGE, IMAGE, AFFINE, WINDOW, POINTS).reshape(-1)),
    ("stripfilt is the command's row", lambda: mexgeom.stripfilt(IMAGE, TAPS, ENDS, ENDS2),
     lambda: _core.stripfilt(IMAGE, TAPS, ENDS, ENDS2).reshape(-1)),
    ("pluckresid r is the command's column", lambda: mexgeom.pluckresid(*LINES),
     lambda: _core.pluckresid(*LINES).reshape(-1)),
    ("pluckresid J is the command's 2N x 4", lambda: mexgeom.pluckresid(*LINES, jacobian=True)[1],
     lambda: _core.pluckresid(*LINES, jacobian=True)[1]),
    # Long calls run in slices (to answer Ctrl-C between them): each item as it is alone.
    ("pluckresid of 5000 cameras, camera by camera", lambda: np.hstack(
        [*mexgeom.pluckresid(*MANY, jacobian=True)[1].T, mexgeom.pluckresid(*MANY)]),
     lambda: np.hstack([*np.vstack([mexgeom.pluckresid(
         MANY[0], MANY[1][:, :, i], MANY[2], MANY[3][:, i:i + 1], jacobian=True)[1]
         for i in range(5000)]).T, np.hstack([mexgeom.pluckresid(
             MANY[0], MANY[1][:, :, i], MANY[2], MANY[3][:, i:i + 1]) for i in range(5000)])])),
    ("patchcorr of 50000 points, 1000 at a time", lambda: mexgeom.patchcorr(
        IMAGE, IMAGE, AFFINE, WINDOW, SPREAD), lambda: np.hstack([mexgeom.patchcorr(
            IMAGE, IMAGE, AFFINE, WINDOW, SPREAD[:, k:k + 1000]) for k in range(0, 50000, 1000)])),
    ("stripfilt of 50000 segments, 1000 at a time", lambda: mexgeom.stripfilt(
        IMAGE, TAPS, SPREAD, SPREAD[::-1]), lambda: np.hstack([mexgeom.stripfilt(
            IMAGE, TAPS, SPREAD[:, k:k + 1000], SPREAD[::-1, k:k + 1000])
            for k in range(0, 50000, 1000)])),
    ("xprod3 of 10^6 pairs is the formula", lambda: mexgeom.xprod3(VECTORS, VECTORS[::-1]),
     lambda: cross(VECTORS, VECTORS[::-1])),
    ("hesseform of 10^6 lines is the formula", lambda: mexgeom.hesseform(VECTORS.T),
     lambda: VECTORS.T / np.sqrt(VECTORS[0] ** 2 + VECTORS[1] ** 2)[:, np.newaxis]),
    # Every parameter by name.
    ("patchcorr by name", lambda: mexgeom.patchcorr(
        u=POINTS, W=WINDOW, H=AFFINE, Y=IMAGE, X=IMAGE, method="nearest", threads=2),
     lambda: mexgeom.patchcorr(IMAGE, IMAGE, AFFINE, WINDOW, POINTS, "nearest")),
    ("pluckresid by name", lambda: mexgeom.pluckresid(
        E=LINES[3], T=LINES[2], A=LINES[1], x=LINES[0]), lambda: mexgeom.pluckresid(*LINES)),
    ("stripfilt by name", lambda: mexgeom.stripfilt(u2=ENDS2, u1=ENDS, h=TAPS, I=IMAGE),
     lambda: mexgeom.stripfilt(IMAGE, TAPS, ENDS, ENDS2)),
    ("xprod3 by name", lambda: mexgeom.xprod3(B=WINDOW, A=WINDOW[::-1]),
     lambda: mexgeom.xprod3(WINDOW[::-1], WINDOW)),
    ("hesseform by name", lambda: mexgeom.hesseform(L=WINDOW.T),
     lambda: mexgeom.hesseform(WINDOW.T)),
    ("an image of rows 2^31 - 1 elements apart is read", lambda: along_two_rows(2 ** 31 - 1),
     lambda: along_two_rows(None)),
    ("an image of rows 2^31 elements apart is copied", lambda: along_two_rows(2 ** 31),
     lambda: along_two_rows(None)),
]


@pytest.mark.parametrize("name, one, other", SAME, ids=[s[0] for s in SAME])
def test_shapes_read_as_host_arrays(name, one, other):
    got = one()
    assert same_bits(got, other()) and np.isfinite(got).any()


def typed_images():
    """An image of each element type, in Fortran order (read in place): fractions, NaN and
    infinities in float32, the whole range of uint16 and uint8."""
    rng = np.random.default_rng(18)
    f32 = (200 * rng.random((40, 50)) - 100).astype(np.float32)
    f32.flat[rng.choice(f32.size, 6, replace=False)] = [NAN, -NAN, np.inf, -np.inf, NAN, np.inf]
    return {"float64": IMAGE, "uint8": IMAGE.astype(np.uint8), "float32": f32,
            "uint16": rng.integers(0, 65536, (40, 50)).astype(np.uint16)}


TYPED = {name: np.asfortranarray(image) for name, image in typed_images().items()}


@pytest.mark.parametrize("y", TYPED)
@pytest.mark.parametrize("x", TYPED)
def test_images_of_every_element_type_give_the_bits_of_float64(x, y):
    """Each value is used as the double it equals: the float64 images of the same values give the
    same bits, in X and Y of any two types and in I."""
    X, Y = TYPED[x], TYPED[y]
    X64, Y64 = X.astype(np.float64), Y.astype(np.float64)
    for method in (None, "nearest"):
        got = mexgeom.patchcorr(X, Y, AFFINE, WINDOW, POINTS, method)
        assert same_bits(got, mexgeom.patchcorr(X64, Y64, AFFINE, WINDOW, POINTS, method))
        assert np.isfinite(got).sum() > POINTS.shape[1] // 2
    got = mexgeom.stripfilt(Y, TAPS, ENDS, ENDS2)
    assert same_bits(got, mexgeom.stripfilt(Y64, TAPS, ENDS, ENDS2))
    assert np.isfinite(got).sum() > ENDS.shape[1] // 4


def strided(a):
    """The same values, every other element of a larger array."""
    wide = np.zeros(a.shape + (2,), a.dtype)
    wide[..., 0] = a
    return wide[..., 0]


def stepped(order, *steps):
    """The same values, every steps[0]-th row and steps[1]-th column of a larger array in that
    order."""
    def lay(a):
        steps_ = steps[:a.ndim]
        wide = np.zeros(tuple(n * k for n, k in zip(a.shape, steps_)) + a.shape[len(steps_):],
                        a.dtype, order=order)
        view = wide[tuple(slice(None, None, k) for k in steps_)]
        view[...] = a
        return view
    return lay


def read_only(a):
    a = a.copy(order="F")
    a.flags.writeable = False
    return a


def unaligned(a):
    raw = np.zeros(a.nbytes + 1, np.uint8)
    b = raw[1:].view(a.dtype).reshape(a.shape, order="F")
    b[...] = a
    return b


# Images are read where they lie in each but big-endian and unaligned; the other arguments are
# copied.
LAYOUTS = {"C order": np.ascontiguousarray, "strided": strided,
           "reversed": lambda a: np.flip(np.flip(a).copy()),
           "C order, rows 2 apart": stepped("C", 2, 1),
           "Fortran order, columns 3 apart": stepped("F", 1, 3),
           "every other element": stepped("C", 2, 2),
           "Fortran order, rows reversed": lambda a: np.asfortranarray(a[::-1])[::-1],
           "C order, columns reversed": lambda a: np.ascontiguousarray(a[..., ::-1])[..., ::-1],
           "big-endian": lambda a: a.astype(a.dtype.newbyteorder(">")),
           "read-only": read_only, "unaligned": unaligned, "lists": lambda a: a.tolist()}


def both_methods(*args):
    return np.hstack([mexgeom.patchcorr(*args, method) for method in (None, "nearest")])


CALLS = [
    ("patchcorr", lambda p: both_methods(p(IMAGE), p(IMAGE.astype(np.uint8)), p(AFFINE),
                                         p(WINDOW), p(POINTS))),
    ("patchcorr float32 uint16", lambda p: both_methods(
        p(TYPED["float32"]), p(TYPED["uint16"]), p(AFFINE), p(WINDOW), p(POINTS))),
    ("patchcorr X laid out, Y in Fortran order", lambda p: both_methods(
        p(TYPED["uint16"]), TYPED["float32"], AFFINE, WINDOW, POINTS)),
    ("pluckresid", lambda p: mexgeom.pluckresid(*map(p, LINES), jacobian=True)[1]),
    ("stripfilt", lambda p: np.hstack([
        mexgeom.stripfilt(p(image), p(TAPS.reshape(7, 1)), p(ENDS), p(ENDS[::-1]))
        for image in TYPED.values()])),
    ("xprod3", lambda p: mexgeom.xprod3(p(WINDOW), p(WINDOW[::-1]))),
    ("hesseform", lambda p: mexgeom.hesseform(p(WINDOW.T))),
]


@pytest.mark.parametrize("layout", LAYOUTS.values(), ids=LAYOUTS.keys())
@pytest.mark.parametrize("name, call", CALLS, ids=[c[0] for c in CALLS])
def test_every_layout_gives_the_bits_of_fortran_order(name, call, layout):
    assert same_bits(call(layout), call(np.asfortranarray))


@pytest.mark.parametrize("layout, dtype, copied", [
    (np.asfortranarray, np.float64, False), (np.asfortranarray, np.uint8, False),
    (np.asfortranarray, np.float32, False), (np.asfortranarray, np.uint16, False),
    (np.ascontiguousarray, np.float64, False), (np.ascontiguousarray, np.uint8, False),
    (np.ascontiguousarray, np.float32, False), (np.ascontiguousarray, np.uint16, False),
    (lambda a: np.asfortranarray(a)[:, ::2], np.float64, False),
    (lambda a: a[::-2, ::3], np.uint16, False),
    (lambda a: unaligned(np.asfortranarray(a)), np.float64, True),
    (lambda a: a.astype(a.dtype.newbyteorder(">")), np.float32, True),
])
def test_an_image_is_copied_only_when_the_kernels_cannot_read_it_in_place(layout, dtype, copied):
    image = layout(np.round(255 * RNG.random((1000, 1200))).astype(dtype))
    tracemalloc.start()
    try:
        mexgeom.stripfilt(image, 1.0, [[10], [10]], [[20], [20]])
        peak = tracemalloc.get_traced_memory()[1]
    finally:
        tracemalloc.stop()
    assert (peak >= image.nbytes) == copied


# ---- threads -----------------------------------------------------------------------------------

def threaded_calls(threads):
    """Calls large enough to be shared among threads (more than twice the points or segments of
    one thread's share)."""
    rng = np.random.default_rng(3)
    X = np.round(255 * rng.random((300, 300)))
    u = 1 + 299 * rng.random((2, 5000))
    ends = 310 * rng.random((2, 3000)) - 5
    F, U = np.asfortranarray(X, np.float32), np.asfortranarray(257 * X, np.uint16)
    return [mexgeom.patchcorr(X, X.T, AFFINE, WINDOW, u, threads=threads),
            mexgeom.patchcorr(X.astype(np.uint8), X, AFFINE, WINDOW, u, "nearest", threads=threads),
            mexgeom.patchcorr(F, U, AFFINE, WINDOW, u, threads=threads),
            mexgeom.stripfilt(X, TAPS, ends, ends[::-1] + 40, threads=threads),
            mexgeom.stripfilt(F, TAPS, ends, ends[::-1] + 40, threads=threads),
            mexgeom.stripfilt(U, TAPS, ends, ends[::-1] + 40, threads=threads)]


@pytest.mark.parametrize("threads", [2, 3, 0, "auto", 1024, 10 ** 30, np.int64(2), None])
def test_every_thread_count_gives_the_bits_of_one(threads):
    assert all(map(same_bits, threaded_calls(1), threaded_calls(threads)))


def long_calls():
    """One call of each function that runs for some milliseconds."""
    rng = np.random.default_rng(5)
    X = np.round(255 * rng.random((500, 500)))
    u = 1 + 499 * rng.random((2, 40000))
    ends = 500 * rng.random((2, 20000))
    N = 100000
    A, T, E = rng.normal(size=(6, 3, N)), rng.normal(size=(3, 4, 2)), rng.random((2, N, 2))
    V = rng.normal(size=(3, 10 ** 6))
    return {"patchcorr": lambda: mexgeom.patchcorr(X, X, AFFINE, WINDOW, u),
            "pluckresid": lambda: mexgeom.pluckresid([1.0, 2, 3, 4], A, T, E, jacobian=True)[1],
            "stripfilt": lambda: mexgeom.stripfilt(X, TAPS, ends, ends[::-1]),
            "xprod3": lambda: mexgeom.xprod3(V, V[::-1]),
            "hesseform": lambda: mexgeom.hesseform(V.T)}


def test_calls_from_python_threads_give_the_sequential_results():
    calls = list(long_calls().values()) * 3
    expected = [call() for call in calls]
    with ThreadPoolExecutor(max_workers=4) as pool:
        results = list(pool.map(lambda call: call(), calls))
    assert all(same_bits(a, b) for a, b in zip(results, expected))


@pytest.mark.parametrize("name", ["patchcorr", "pluckresid", "stripfilt", "xprod3", "hesseform"])
def test_the_gil_is_released_while_a_kernel_runs(name):
    """With the interpreter's own switching put off, this thread can run while another is inside
    a call only if the call lets go of the GIL."""
    call = long_calls()[name]
    interval = sys.getswitchinterval()
    sys.setswitchinterval(100)
    try:
        for _ in range(20):
            started, done = threading.Event(), []
            worker = threading.Thread(target=lambda: (started.set(), call(), done.append(1)))
            worker.start()
            started.wait()
            ran_meanwhile = not done
            worker.join()
            if ran_meanwhile:
                return
    finally:
        sys.setswitchinterval(interval)
    pytest.fail(f"{name} held the GIL in 20 calls")


# ---- Ctrl-C --------------------------------------------------------------------------------------

# Under the sanitizers (their runtimes preloaded) calloc touches every page, so the memory-bound
# calls, which need gigabytes to run for seconds, are left out there.
SANITIZED = "libasan" in os.environ.get("LD_PRELOAD", "")


def endless_calls():
    """For each function, a call that would run for seconds, as (function, inputs, options); the
    large inputs take little memory until read (np.zeros maps its pages when they are first
    touched): 20,000 windows of 10^5 samples, segments 2,800 pixels long, 10^7 cameras, 10^8
    vector pairs or lines."""
    rng = np.random.default_rng(8)
    X = np.asfortranarray(np.round(255 * rng.random((300, 300))))
    s = np.repeat(np.arange(-158.0, 158) / 32, 316)
    W = np.vstack([s, np.tile(np.arange(-158.0, 158) / 32, 316), np.ones(s.size)])
    u = 1 + 298 * rng.random((2, 20000))
    I = np.zeros((2000, 2000), np.uint8, order="F")
    ends = np.ones((2, 10 ** 6))
    N, V = 10 ** 7, 10 ** 8
    zeros = lambda *shape: np.zeros(shape, order="F")
    return {"patchcorr": (mexgeom.patchcorr, lambda: (X, X, AFFINE, W, u), {}),
            "patchcorr, 2 threads": (mexgeom.patchcorr, lambda: (X, X, AFFINE, W, u),
                                     {"threads": 2}),
            "stripfilt": (mexgeom.stripfilt, lambda: (I, TAPS, ends, ends + 1998), {}),
            "stripfilt, 2 threads": (mexgeom.stripfilt, lambda: (I, TAPS, ends, ends + 1998),
                                     {"threads": 2}),
            "pluckresid": (mexgeom.pluckresid, lambda: (
                np.arange(4.0), zeros(6, 3, N), LINE["T"], zeros(2, N, 2)), {"jacobian": True}),
            "xprod3": (mexgeom.xprod3, lambda: (zeros(3, V), zeros(3, V)), {}),
            "hesseform": (mexgeom.hesseform, lambda: (zeros(V + V // 2, 3),), {})}


def threads_of_this_process():
    return len(os.listdir("/proc/self/task"))


@pytest.mark.skipif(not os.path.isdir("/proc/self/task"), reason="counts threads in /proc")
@pytest.mark.parametrize("name", endless_calls().keys())
def test_ctrl_c_interrupts_a_long_call(name):
    """SIGINT during a call that would run for seconds: KeyboardInterrupt well before its end (the
    bound here is loose for a busy machine; the design answers in about 50 ms), with every worker
    thread ended and the inputs as they were (those small enough to copy)."""
    function, make, options = endless_calls()[name]
    if SANITIZED and function in (mexgeom.pluckresid, mexgeom.xprod3, mexgeom.hesseform):
        pytest.skip("gigabytes under the sanitizers")
    inputs = make()
    small = [(a, a.copy()) for a in inputs if a.size <= 10 ** 7]
    threads = threads_of_this_process()
    sent = []
    timer = threading.Timer(0.3, lambda: (sent.append(time.monotonic()),
                                          os.kill(os.getpid(), signal.SIGINT)))
    timer.start()
    try:
        function(*inputs, **options)
        timer.cancel()
        pytest.fail("the call ran to its end")
    except KeyboardInterrupt:
        assert time.monotonic() - sent[0] < 1.0
    finally:
        timer.join()
    assert threads_of_this_process() == threads
    assert all(same_bits(a, before) for a, before in small)


# ---- other processes, type checkers ----------------------------------------------------------

TRAVELLERS = [(mexgeom.patchcorr, (IMAGE, IMAGE, AFFINE, WINDOW, POINTS)),
              (mexgeom.stripfilt, (IMAGE, TAPS, ENDS, ENDS2)),
              (mexgeom.pluckresid, LINES),
              (mexgeom.xprod3, (WINDOW, WINDOW[::-1])),
              (mexgeom.hesseform, (WINDOW.T,))]


def test_the_functions_travel_to_other_processes():
    """Pickled by reference, the functions run in a process pool of new interpreters (spawned,
    not forked) and give the bits of calls made here."""
    assert all(pickle.loads(pickle.dumps(f)) is f for f, _ in TRAVELLERS)
    with ProcessPoolExecutor(2, mp_context=multiprocessing.get_context("spawn")) as pool:
        futures = [pool.submit(f, *args) for f, args in TRAVELLERS]
        assert all(same_bits(future.result(timeout=120), f(*args))
                   for future, (f, args) in zip(futures, TRAVELLERS))


# Calls as a user's code makes them, each with the error mypy must report for it (None: none).
TYPED_CALLS = [
    ("s = mexgeom.patchcorr(X, X, H, W, [[3.0], [3.0]], 'nearest', threads='auto')", None),
    ("r: np.ndarray = mexgeom.pluckresid(x, A, T, E)", None),
    ("r, J = mexgeom.pluckresid(x=x, A=A, T=T, E=E, jacobian=True)", None),
    ("v: float = mexgeom.stripfilt(X, [1, 0, -1], u1=[[1], [1]], u2=[[5], [5]])[0]", None),
    ("C = mexgeom.xprod3(A, B=None) + mexgeom.hesseform([[3, 4, 10]])", None),
    ("mexgeom.patchcorr(X, X, H, W, [[3.0], [3.0]], threads='all')", "arg-type"),
    ("mexgeom.hesseform(L=[[3, 4, 10]], threads=2)", "call-arg"),
    ("r2: np.ndarray = mexgeom.pluckresid(x, A, T, E, jacobian=True)", "assignment"),
    ("mexgeom.xprod3()", "call-arg"),
]


def test_a_type_checker_reads_the_annotations(tmp_path):
    """mypy (Debian's python3-mypy) finds the package's py.typed, accepts the right calls and
    reports each wrong one."""
    pytest.importorskip("mypy")
    assert (Path(mexgeom.__file__).parent / "py.typed").is_file()
    lines = ["import numpy as np", "import mexgeom",
             "X = H = W = x = A = T = E = np.eye(3)"] + [code for code, _ in TYPED_CALLS]
    (tmp_path / "use.py").write_text("\n".join(lines) + "\n")
    # An installed package mypy finds by itself; one on PYTHONPATH (a build tree) through MYPYPATH,
    # which must not name a site-packages folder.
    home = Path(mexgeom.__file__).parents[1]
    env = dict(os.environ, **({} if home.name == "site-packages" else {"MYPYPATH": str(home)}))
    run = subprocess.run([sys.executable, "-m", "mypy", "--no-incremental", "--show-error-codes",
                          "--cache-dir", str(tmp_path / "cache"), "use.py"],
                         cwd=tmp_path, env=env, capture_output=True, text=True, timeout=600)
    reported = {}
    for line in run.stdout.splitlines():
        if line.startswith("use.py:") and ": error: " in line:
            reported[int(line.split(":")[1]) - 3] = line.rsplit("[", 1)[1].rstrip("]")
    expected = {k + 1: error for k, (_, error) in enumerate(TYPED_CALLS) if error}
    assert reported == expected, run.stdout + run.stderr
