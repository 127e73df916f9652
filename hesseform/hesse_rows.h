// Hesse normal form of homogeneous 2D lines: the kernel of hesseform.
//
// The lines are the rows of a column-major M x 3 array: row i is (a, b, c) at p[i], p[M + i] and
// p[2M + i], the line a x + b y + c = 0. Each row is divided by n = sqrt(a * a + b * b), so that
// (a, b) becomes a unit normal and a x + b y + c the signed distance of (x, y) from the line; the
// sign of the row is kept. Each entry is divided by n (not multiplied by 1 / n), one correctly
// rounded quotient per entry.
//
// n is formed in double and never tested: a = b = 0 divides by +0 and gives (NaN, NaN, c / 0);
// a NaN in a or b gives a NaN row; an infinite a or b gives n = Inf, NaN in its own place and
// signed zeros elsewhere. Rows with |a| or |b| beyond about 1.3e154 (or below about 1.5e-154)
// overflow (underflow) in the squares and come out as zeros, NaN, infinities or less precise.
// Every NaN written is the one NaN of nan.h, whatever NaN the row held: processors differ in the
// sign of the NaN that 0 / 0 gives, and this keeps every host's bits the same.
#pragma once

#include <cstddef>

#include "isa.h"

namespace hesseform {

// q = p with every row divided by its n. q may be p itself (each row is read whole before it is
// written), but must not overlap it otherwise. Several rows are done at once, on the widest
// vector instructions this processor offers; every row comes out as it would alone.
void hesseRows(const double* p, double* q, std::size_t M);

// The same for the first M rows of column-major arrays whose columns lie ld >= M apart: row i is
// (p[i], p[ld + i], p[2 ld + i]), and likewise in q. So hesseRows(p + b, q + b, n, M) does rows b
// to b + n - 1 of an M x 3 array, in place in the array.
void hesseRows(const double* p, double* q, std::size_t M, std::size_t ld);

// hesseRows on the given instruction set of isa.h, which must be supported; every one gives the
// same bits.
void hesseRows(const double* p, double* q, std::size_t M, mexgeom::Isa isa);
void hesseRows(const double* p, double* q, std::size_t M, std::size_t ld, mexgeom::Isa isa);

}  // namespace hesseform
