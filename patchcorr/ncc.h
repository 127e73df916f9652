// Weighted correlation of two image windows under a homography: the kernel of patchcorr.
//
// Conventions: images are column-major with element (r, c), both 0-based, at r + c * rows; a size
// pair is {rows, columns}; a kind flag is 0 for double elements and any other value for uint8
// (read as the numbers 0 to 255). Points and H use 1-based coordinates, the first along the rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

#include "isa.h"

namespace patchcorr {

enum Kind : int { kDouble = 0, kUint8 = 1 };
enum Mode : int { kNearest = 0, kBilinear = 1 };

// out = H * [s; t; 1], H column-major 3 x 3.
void Htimes(const double* H, const double* st, double* out);

// J (column-major 2 x 2) = derivative of the inhomogeneous image of (s, t) under H with respect
// to (s, t). No test of the third homogeneous coordinate against zero.
void dhom(const double* H, const double* st, double* J);

// The score of one point u. W holds nW columns (row offset, column offset, weight). Returns
// `undefined` (the host's NaN, which the caller passes in) when fewer than three samples fall
// inside both images or a window is flat, and wherever else the score is not a number.
double ncc(const void* X, const int32_t* sizeX, int kindX, const void* Y, const int32_t* sizeY,
           int kindY, const double* u, const double* H, const double* W, int32_t nW, int mode,
           double undefined = std::numeric_limits<double>::quiet_NaN());

// The instruction sets of isa.h; every one gives the same bits.
using mexgeom::Isa;
using mexgeom::supported;

// scores[k] = ncc(..., u + 2k, ...) for the K points (columns) of u, with the kinds and mode
// dispatched once for the whole batch and several points scored side by side, on the best
// instruction set this processor offers, or on the given one (which must be supported).
void scoreAll(const void* X, const int32_t* sizeX, int kindX, const void* Y, const int32_t* sizeY,
              int kindY, const double* u, std::size_t K, const double* H, const double* W,
              int32_t nW, int mode, double undefined, double* scores);
void scoreAll(const void* X, const int32_t* sizeX, int kindX, const void* Y, const int32_t* sizeY,
              int kindY, const double* u, std::size_t K, const double* H, const double* W,
              int32_t nW, int mode, double undefined, double* scores, Isa isa);

}  // namespace patchcorr
