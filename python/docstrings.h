// The help texts of the Python module. Each starts with the call's signature and "--", from which
// Python's help() and inspect.signature() read it.
#pragma once

namespace pygate {

inline constexpr const char* kModuleDoc =
    R"(Multi-view geometry and image measurement kernels, for NumPy.

The functions are the MATLAB and GNU Octave commands patchcorr, pluckresid, stripfilt, xprod3 and
hesseform, from the same kernels and with the same numbers, bit for bit: the same argument order,
the same shapes (u is 2 x K, one point per column), the same 1-based (row, column) coordinates,
the same rules, edge answers and messages. A script ported from MATLAB gets what it got there.

Arguments are read as MATLAB arrays:
  - a NumPy array keeps its element type; shape (d0, d1, ..., dk) is d0 rows by d1 * ... * dk
    columns, taken in column-major order as MATLAB takes an array of those dimensions;
    a 1-D array of n elements is an n x 1 column, a 0-D array 1 x 1;
  - Python numbers, and lists or tuples of them, are float64, as a literal is in MATLAB;
  - complex arrays are read by their real part.
Images (X and Y of patchcorr, I of stripfilt) are float64 or uint8 as in MATLAB, or float32 or
uint16; each value is used as the float64 it equals, never scaled, so an image of any of the four
types gives the bits of the float64 image of the same values. Every other argument is float64.
Arrays of either memory order and any strides are accepted. Images are read where they lie, in C
order, Fortran order or at any other strides (transposed, sliced with steps, reversed), with the
same bits in each; each function's help says what it still copies. Every other argument is used
in place when it is a column-major (Fortran order), aligned float64 array, and copied once per
call into that layout otherwise. Results are new float64 NumPy arrays of the commands' shapes, in
Fortran order.

A wrong element type is a TypeError and a wrong size a ValueError, each with the command's own
message (for example "H must be a full double matrix.", "H must be 3x3 matrix."; an image of
another type gets "X must be float64, float32, uint16 or uint8."); a wrong
number of inputs is a TypeError with the command's message; an output that cannot be made is
MemoryError("Out of memory."). The GIL is released while a kernel runs, so calls from several
Python threads run at once.
)";

inline constexpr const char* kPatchcorrDoc = R"(patchcorr(X, Y, H, W, u, method=None, *, threads=1)
--

Weighted correlation of image windows under a homography: MATLAB's patchcorr(X, Y, H, W, u,
method), with the same numbers bit for bit, the same shapes and 1-based (row, column)
coordinates, the first along the rows.

For each point (column) of u, the weighted correlation coefficient between the window W laid
about the point in image X and the corresponding window in image Y: the local affine
approximation of H at the point (the centre goes through H, the offsets through its Jacobian).

X, Y     images, float64, float32, uint16 or uint8, each of its own type; every value is used
         as the float64 it equals (uint8 as 0 to 255, uint16 as 0 to 65535, not scaled), so
         the scores are those of the float64 images of the same values. An M x N x 3 array is
         one M x 3N image.
H        3 x 3 float64: maps 1-based (row, column) of X to homogeneous positions of Y.
W        3 x nW float64: one window sample per column: row offset, column offset, weight.
u        2 x K float64, or empty: the points, 1-based coordinates of X, row first.
method   exactly "nearest" samples by truncation to the grid; anything else, or None, bilinearly.
threads  1 by default; N for up to N threads, 0 or "auto" for one per processor this process may
         run on. The scores have the same bits for every count; a call too small to repay a
         thread runs on the calling thread alone.

Returns a 1 x K float64 array. A score is NaN when fewer than three window samples fall inside
both images (1 <= position < size - 1 along both axes, 0-based) or when either window is flat
(weighted variance at most 1e-9); an empty u of 0 x K gives K zeros.

Copies: X and Y are read where they lie, in C or Fortran order or at any other strides (a
transposed, stepped or reversed view, the real part of a complex image), each of its own type.
An image is copied once, keeping its type, only when its elements are in the other byte order,
unaligned, a fraction of an element apart or 2^31 elements or more apart, or when an M x N x P
array's N x P columns do not follow one another at one stride. Two images of one order (both C,
or both Fortran) are read fastest; two of different orders, or at other strides, element by
element. H, W and u are read in place when they are Fortran-ordered, aligned float64 arrays;
otherwise each is copied once.
)";

inline constexpr const char* kPluckresidDoc = R"(pluckresid(x, A, T, E, *, jacobian=False)
--

Residuals of a four-parameter 3D line against line segments seen in N cameras: MATLAB's
r = pluckresid(x, A, T, E), or [r, J] = pluckresid(...) with jacobian=True, with the same
numbers bit for bit and the same array layouts (column-major flat positions, as in MATLAB).

x   the parameters: x1, x2 move the first point P, x3, x4 the second point Q; the first four
    numbers are read (4 x 1 or 1 x 4).
A   6 x 3 x N float64: column j of slice i gives the coefficients of L1..L6 in image line
    coordinate lj of camera i.
T   3 x 4 x 2 float64: slice 1 for P, slice 2 for Q; row 1 the constant term, rows 2 and 3 the
    coefficients of the point's two parameters.
E   2 x N x 2 float64: segment end points (u, v), slice 1 the first ends, slice 2 the second;
    N is E's second dimension.
Any shape holding enough numbers is accepted for x, A and T.

Returns r, a 2N x 1 float64 array of signed distances of the end points from the image of the
line, camera after camera (first end, then second); with jacobian=True the pair (r, J), J the
2N x 4 forward-difference Jacobian: column k is (r(x + 1e-8 e_k) - r(x)) * 1e8. A camera whose
image line has l1 = l2 = 0 gets Inf or NaN in its own rows only.

Copies: an argument that is not a Fortran-ordered, aligned float64 array is copied once.
)";

inline constexpr const char* kStripfiltDoc = R"(stripfilt(I, h, u1, u2, *, threads=1)
--

A 1-D filter applied across line segments of an image: MATLAB's stripfilt(I, h, u1, u2), with
the same numbers bit for bit, the same shapes and 1-based (row, column) coordinates.

For each segment from u1[:, k] to u2[:, k], the image is sampled bilinearly at unit steps from
u1[:, k] (n = the length rounded half up samples) on 2m + 1 lines parallel to the segment, offset
by i (-d2, d1) for i = -m..m, d the unit direction; line i takes tap h[i + m] (in column-major
order). The samples of each line inside the image are averaged, and the averages weighted by
their taps are summed.

I        M x N image, float64, float32, uint16 or uint8; every value is used as the float64 it
         equals (uint8 as 0 to 255, uint16 as 0 to 65535, not scaled), so the responses are
         those of the float64 image of the same values.
h        float64, an odd number 2m + 1 of taps, any shape.
u1, u2   2 x K float64: segment end points, 1-based (row, column), not necessarily integers.
threads  1 by default; N for up to N threads, 0 or "auto" for one per processor this process may
         run on. The responses have the same bits for every count.

Returns a 1 x K float64 array; NaN for a segment shorter than 0.5, one with an offset line that
has no sample inside the image, one that reads a NaN, and one whose end points are not finite.

Copies: I is read where it lies, in C or Fortran order or at any other strides (a transposed,
stepped or reversed view, the real part of a complex image), fastest in C or Fortran order. It is
copied once, keeping its type, only when its elements are in the other byte order, unaligned, a
fraction of an element apart or 2^31 elements or more apart. h, u1 and u2 are read in place when
they are Fortran-ordered, aligned float64 arrays; otherwise each is copied once.
)";

inline constexpr const char* kXprod3Doc = R"(xprod3(A, B=None)
--

Vector products of 3-vectors: MATLAB's xprod3(P) and xprod3(A, B), with the same numbers bit for
bit and the same shapes.

xprod3(P)     P 3 x 2 float64: returns the 3 x 1 product P[:, 0] x P[:, 1] (B=None alike).
xprod3(A, B)  A, B 3 x N float64: returns the 3 x N array whose column k is A[:, k] x B[:, k].

Each component is one product minus another, (a2 b3 - a3 b2, a3 b1 - a1 b3, a1 b2 - a2 b1), so
equal vectors give exact zeros. An empty first argument returns an empty float64 array of its own
rows and columns, and the second argument is then not examined.

Copies: an argument that is not a Fortran-ordered, aligned float64 array is copied once.
)";

inline constexpr const char* kHesseformDoc = R"(hesseform(L)
--

Normalisation of homogeneous 2D lines: MATLAB's hesseform(L), with the same numbers bit for bit
and the same shapes.

L is M x 3 float64, one line (a, b, c) per row: a x + b y + c = 0. Each row is divided by
n = sqrt(a^2 + b^2), so that (a, b) becomes a unit normal; the sign is kept. Returns the M x 3
float64 array. a = b = 0 gives (NaN, NaN, c/0), a NaN in a or b a NaN row, and the other rows are
unaffected. An empty L returns an empty float64 array of its own rows and columns. (A 1-D array of
three numbers is a 3 x 1 column, not a line: write [[a, b, c]].)

Copies: L is read in place when it is a Fortran-ordered, aligned float64 array; otherwise it is
copied once.
)";

}  // namespace pygate
