// Weighted correlation of two image windows under a homography: the kernel of patchcorr.
//
// Conventions: images as in image.h (element (r, c), both 0-based, at rowStride r + columnStride c,
// column-major unless the view says otherwise; every element used as the double it equals, never
// scaled). scoreAll takes images of any element type and layout of image.h as views, each read
// where it lies (two images of different layouts more slowly than two of one); ncc takes an image
// as its column-major storage, a size pair {rows, columns} and an element kind: 0 for doubles, any
// other value for uint8. Points and H use 1-based coordinates, the first along the rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

#include "image.h"
#include "isa.h"

namespace patchcorr {

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

// scores[k] = ncc(..., u + 2k, ...) for the K points (columns) of u, with the element types and
// the mode dispatched once for the whole batch and several points scored side by side, on the best
// instruction set this processor offers, or on the given one (which must be supported). Points
// k0 .. k0 + n - 1 alone: u + 2 k0, n, scores + k0.
void scoreAll(const mexgeom::ImageView& X, const mexgeom::ImageView& Y, const double* u,
              std::size_t K, const double* H, const double* W, int32_t nW, int mode,
              double undefined, double* scores);
void scoreAll(const mexgeom::ImageView& X, const mexgeom::ImageView& Y, const double* u,
              std::size_t K, const double* H, const double* W, int32_t nW, int mode,
              double undefined, double* scores, mexgeom::Isa isa);

}  // namespace patchcorr
