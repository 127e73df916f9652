// Reading an image between its elements, for patchcorr and stripfilt: one position, or one per
// lane for W lanes at once, in any layout of image.h. Positions are 0-based (row, column); the
// caller has checked that the elements read exist.
//
// Lanes sample in two steps, so that the loads of a stretch of samples do not wait on the
// arithmetic that places them: locate() turns the lanes' positions into element offsets and
// fractions, nearest() or bilinear() reads the elements and blends them.
//
// Internal linkage, as in lanes.h: a copy built for AVX-512 must never be the one that a baseline
// caller gets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "lanes.h"

namespace mexgeom {
namespace {

// The bilinear blend of the four neighbours e(row, column) of a position whose fractions past
// the element (0, 0) are fr along the rows and fc along the columns: first along the rows (in
// column 0, then in column 1), then along the columns. For a double or for lanes.
template <typename Number>
[[gnu::always_inline]] inline Number blend(Number fr, Number fc, Number e00, Number e10, Number e01,
                                           Number e11) {
    return (1 - fc) * ((1 - fr) * e00 + fr * e10) + fc * ((1 - fr) * e01 + fr * e11);
}

// The bilinear value at one position (p, q) with -1 < p < rows - 1 and -1 < q < columns - 1:
// t = the position truncated toward zero (0 between -1 and 0, where the negative fraction
// extrapolates from elements 0 and 1).
template <typename T, Layout L>
inline double bilinearAt(const Grid<T, L>& image, double p, double q) {
    static_assert(isElement<T>, "not an element type of image.h");
    const int32_t r = static_cast<int32_t>(p), c = static_cast<int32_t>(q);
    const T* e = image.first + image.offset(r, c);
    const std::ptrdiff_t down = image.down(), right = image.right();
    return blend<double>(p - r, q - c, e[0], e[down], e[right], e[down + right]);
}

// An image of elements of type T in layout L (image.h), read W lanes at a time.
template <typename T, int W, Layout L>
struct LaneSampler {
    static_assert(isElement<T>, "not an element type of image.h");
    using Doubles = typename Lanes<W>::Doubles;
    using Offsets = typename Lanes<W>::Offsets;
    using Int32s = typename Lanes<W>::Int32s;

    Grid<T, L> image;

    // Each lane's position (p, q), -1 < p < rows - 1 and -1 < q < columns - 1 (rows and columns
    // below 2^31): the offset of the element at its truncation toward zero, and the fractions past
    // it.
    [[gnu::always_inline]] inline void locate(Doubles p, Doubles q, int64_t* offset, Doubles& fr,
                                              Doubles& fc) const {
#if defined(__x86_64__) || defined(__i386__)
        if constexpr (W == 8) {
            // Straight to 64-bit integers and back, which AVX-512 does in one instruction each.
            const Offsets r = (Offsets)_mm512_cvttpd_epi64((__m512d)p);
            const Offsets c = (Offsets)_mm512_cvttpd_epi64((__m512d)q);
            const Offsets o = offsets(r, c);
            std::memcpy(offset, &o, sizeof o);
            fr = p - (Doubles)_mm512_cvtepi64_pd((__m512i)r);
            fc = q - (Doubles)_mm512_cvtepi64_pd((__m512i)c);
            return;
        }
#endif
        const Int32s r = __builtin_convertvector(p, Int32s), c = __builtin_convertvector(q, Int32s);
        const Offsets o =
            offsets(__builtin_convertvector(r, Offsets), __builtin_convertvector(c, Offsets));
        std::memcpy(offset, &o, sizeof o);
        fr = p - __builtin_convertvector(r, Doubles);
        fc = q - __builtin_convertvector(c, Doubles);
    }

    // The offsets of the elements (r, c), 0 to 2^31 - 1 each.
    [[gnu::always_inline]] inline Offsets offsets(Offsets r, Offsets c) const {
        if constexpr (L == Layout::kColumns) {
            return r + times(c, image.right());
        } else if constexpr (L == Layout::kRows) {
            return c + times(r, image.down());
        } else {
            return times(r, image.down()) + times(c, image.right());
        }
    }

    // x * stride for the indices x that locate() meets, 0 to 2^31 - 1, and a stride below 2^31 in
    // magnitude (of either sign in kStrided alone): the low halves' product is the whole product,
    // which x86 forms in one instruction for two, four or eight lanes (signed ones from AVX2 on).
    // Below AVX-512 its vector units have no 64-bit multiply, which the compiler would otherwise
    // build from three.
    [[gnu::always_inline]] static inline Offsets times(Offsets x, int64_t stride) {
#if defined(__x86_64__) || defined(__i386__)
        if constexpr (L != Layout::kStrided) {
            if constexpr (W == 2)
                return (Offsets)_mm_mul_epu32((__m128i)x, _mm_set1_epi64x(stride));
            if constexpr (W == 4) {
                return (Offsets)_mm256_mul_epu32((__m256i)x, _mm256_set1_epi64x(stride));
            }
            if constexpr (W == 8)
                return (Offsets)_mm512_mul_epu32((__m512i)x, _mm512_set1_epi64(stride));
        } else {
            if constexpr (W == 4) {
                return (Offsets)_mm256_mul_epi32((__m256i)x, _mm256_set1_epi64x(stride));
            }
            if constexpr (W == 8)
                return (Offsets)_mm512_mul_epi32((__m512i)x, _mm512_set1_epi64(stride));
        }
#endif
        return x * stride;
    }

    // The elements at the lanes' offsets, as doubles: truncation to the grid.
    [[gnu::always_inline]] inline Doubles nearest(const int64_t* offset) const {
        return elementsAt<T, W>(image.first, offset, std::make_index_sequence<W>());
    }

    // The bilinear blend of the four neighbours of each lane's located position: two elements side
    // by side at a time where the layout has them so, else one by one.
    [[gnu::always_inline]] inline Doubles bilinear(const int64_t* offset, Doubles fr,
                                                   Doubles fc) const {
        constexpr auto lanes = std::make_index_sequence<W>();
        const T* e = image.first;
        Doubles e00, e10, e01, e11;
        if constexpr (L == Layout::kColumns) {
            neighbourPairs<T, W>(e, offset, e00, e10, lanes);
            neighbourPairs<T, W>(e + image.right(), offset, e01, e11, lanes);
        } else if constexpr (L == Layout::kRows) {
            neighbourPairs<T, W>(e, offset, e00, e01, lanes);
            neighbourPairs<T, W>(e + image.down(), offset, e10, e11, lanes);
        } else {
            e00 = elementsAt<T, W>(e, offset, lanes);
            e10 = elementsAt<T, W>(e + image.down(), offset, lanes);
            e01 = elementsAt<T, W>(e + image.right(), offset, lanes);
            e11 = elementsAt<T, W>(e + image.down() + image.right(), offset, lanes);
        }
        return blend(fr, fc, e00, e10, e01, e11);
    }
};

}  // namespace
}  // namespace mexgeom
