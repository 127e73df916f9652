// Vector products of 3-vectors: the kernel of xprod3.
//
// A 3-vector is three consecutive doubles (x, y, z); column k of a column-major 3 x n array
// starts at index 3k. For a = (a1, a2, a3) and b = (b1, b2, b3):
//   a x b = (a2 b3 - a3 b2, a3 b1 - a1 b3, a1 b2 - a2 b1),
// each component one product minus the other in exactly that order, with no rescaling and no
// fused multiply-add, so that equal vectors give exact zeros. NaN and infinities follow IEEE 754,
// except that every NaN written is the one NaN of nan.h: processors differ in the sign of the NaN
// that an invalid operation (Inf * 0, Inf - Inf) gives, and this keeps every host's bits the same.
#pragma once

#include <cstddef>

namespace xprod3 {

// C(:, k) = A(:, k) x B(:, k) for k = 0 .. n - 1, in increasing k. C may be A or B itself (each
// column is read whole before it is written), but must not overlap them otherwise.
void crossColumns(const double* A, const double* B, double* C, std::size_t n);

}  // namespace xprod3
