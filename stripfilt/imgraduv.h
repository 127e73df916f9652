// The response of a one-dimensional filter applied across a line segment: the kernel of stripfilt.
//
// Conventions: images as in image.h (element (r, c), both 0-based, at rowStride r + columnStride c,
// column-major unless the view says otherwise; every element used as the double it equals, never
// scaled). imgraduv takes an image as a view of any element type and layout of image.h, read where
// it lies, as its column-major typed storage and a size pair {rows, columns}, or as its
// storage, that size pair and an element kind: 0 for doubles, any other value for uint8. End points
// are 0-based (row, column) positions, element (r, c) sitting at the point (r, c), except in
// filterAll, which takes the host's 1-based ones.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image.h"
#include "isa.h"

namespace stripfilt {

// Response of the segment from a to b to the 2m + 1 taps h. The image is sampled bilinearly at
// steps j = 0 .. n - 1 (n = length rounded half up) on the lines a + j d + i (-d2, d1), i = -m ..
// m, d the unit direction; line i is averaged over its samples inside the image and weighted by h[i
// + m]. NaN when the segment takes no samples or any line has none inside; every NaN response is
// the one NaN of nan.h (sign set), whatever NaNs the image or the taps hold. Computed on the
// widest vector instructions this processor offers, several offset lines side by side, or on the
// given instruction set (which must be supported); every one gives the same bits.
template <typename T>
double imgraduv(const T* I, const int32_t* size, const double* h, int32_t m, const double* a,
                const double* b);

extern template double imgraduv<double>(const double*, const int32_t*, const double*, int32_t,
                                        const double*, const double*);
extern template double imgraduv<uint8_t>(const uint8_t*, const int32_t*, const double*, int32_t,
                                         const double*, const double*);
extern template double imgraduv<float>(const float*, const int32_t*, const double*, int32_t,
                                       const double*, const double*);
extern template double imgraduv<uint16_t>(const uint16_t*, const int32_t*, const double*, int32_t,
                                          const double*, const double*);

double imgraduv(const void* I, const int32_t* size, const double* h, int32_t m, const double* a,
                const double* b, int32_t kind);
double imgraduv(const void* I, const int32_t* size, const double* h, int32_t m, const double* a,
                const double* b, int32_t kind, mexgeom::Isa isa);
// The same for an image of any element type of image.h, on the given instruction set.
double imgraduv(const mexgeom::ImageView& I, const double* h, int32_t m, const double* a,
                const double* b, mexgeom::Isa isa);

// The responses of K segments with the element kind and the instruction set chosen once for all:
// segment k runs from (u1[2k], u1[2k + 1]) to (u2[2k], u2[2k + 1]), 1-based (row, column)
// positions as the host holds them, and responses[k] is imgraduv of that segment with each
// position less 1. Segments k0 .. k0 + n - 1 alone: u1 + 2 k0, u2 + 2 k0, n, responses + k0.
void filterAll(const mexgeom::ImageView& I, const double* h, int32_t m, const double* u1,
               const double* u2, std::size_t K, double* responses);
void filterAll(const mexgeom::ImageView& I, const double* h, int32_t m, const double* u1,
               const double* u2, std::size_t K, double* responses, mexgeom::Isa isa);

}  // namespace stripfilt
