// The response of a one-dimensional filter applied across a line segment: the kernel of stripfilt.
//
// Conventions: the image is column-major with element (r, c), both 0-based, at r + c * rows; the
// size pair is {rows, columns}; a kind flag is 0 for double elements and any other value for uint8
// (read as the numbers 0 to 255, never scaled). End points are 0-based (row, column) positions:
// element (r, c) sits at the point (r, c).
#pragma once

#include <cstddef>
#include <cstdint>

#include "isa.h"

namespace stripfilt {

enum Kind : int32_t { kDouble = 0, kUint8 = 1 };

// Response of the segment from a to b to the 2m + 1 taps h. The image is sampled bilinearly at
// steps j = 0 .. n - 1 (n = length rounded half up) on the lines a + j d + i (-d2, d1), i = -m ..
// m, d the unit direction; line i is averaged over its samples inside the image and weighted by h[i
// + m]. NaN when the segment takes no samples or any line has none inside; every NaN response is
// the one NaN of host/nan.h (sign set), whatever NaNs the image or the taps hold.
template <typename T>
double imgraduv(const T* I, const int32_t* size, const double* h, int32_t m, const double* a,
                const double* b);

extern template double imgraduv<double>(const double*, const int32_t*, const double*, int32_t,
                                        const double*, const double*);
extern template double imgraduv<uint8_t>(const uint8_t*, const int32_t*, const double*, int32_t,
                                         const double*, const double*);

// The same response with the element kind as an argument (dispatches on every call).
double imgraduv(const void* I, const int32_t* size, const double* h, int32_t m, const double* a,
                const double* b, int32_t kind);

// Both compute on the widest vector instructions this processor offers, several offset lines
// side by side, on any of the instruction sets of isa.h; every one gives the same bits.
using mexgeom::Isa;
using mexgeom::supported;

// The response on the given instruction set, which must be supported.
double imgraduv(const void* I, const int32_t* size, const double* h, int32_t m, const double* a,
                const double* b, int32_t kind, Isa isa);

// The responses of K segments with the element kind and the instruction set chosen once for all:
// segment k runs from (u1[2k], u1[2k + 1]) to (u2[2k], u2[2k + 1]), 1-based (row, column)
// positions as the host holds them, and responses[k] is imgraduv of that segment with each
// position less 1. Segments k0 .. k0 + n - 1 alone: u1 + 2 k0, u2 + 2 k0, n, responses + k0.
void filterAll(const void* I, const int32_t* size, int32_t kind, const double* h, int32_t m,
               const double* u1, const double* u2, std::size_t K, double* responses);
void filterAll(const void* I, const int32_t* size, int32_t kind, const double* h, int32_t m,
               const double* u1, const double* u2, std::size_t K, double* responses, Isa isa);

}  // namespace stripfilt
