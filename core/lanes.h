// What the kernels' vector paths share: the compiler's vector types over W lanes of doubles, the
// square root of every lane, and the loads of image elements for W lanes at once, one way for each
// element type of image.h.
// Included by one file per instruction set, each built for its own target; everything here has
// internal linkage, so that a copy built for AVX-512 is never the one a baseline caller gets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#include "image.h"

#if defined(__x86_64__) || defined(__i386__)
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12 warns about the deliberately undefined upper halves inside its own AVX-512 headers.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop
#else
#include <immintrin.h>
#endif
#endif

namespace mexgeom {
namespace {

template <int W>
struct Lanes {
    typedef double Doubles __attribute__((vector_size(8 * W)));
    typedef int64_t Mask __attribute__((vector_size(8 * W)));     // comparisons: all ones or zero
    typedef int64_t Offsets __attribute__((vector_size(8 * W)));  // element offsets
    typedef int32_t Int32s __attribute__((vector_size(4 * W)));
    typedef uint32_t Uint32s __attribute__((vector_size(4 * W)));
    typedef float Floats __attribute__((vector_size(4 * W)));
    typedef float FloatPairs __attribute__((vector_size(8 * W)));  // two floats per lane
    typedef double HalfDoubles __attribute__((vector_size(4 * W)));
};

// The square root in every lane, by the instruction of the set that this width is built for:
// eight lanes for AVX-512, four for AVX2, two for SSE2. Correctly rounded like the scalar one.
template <int W>
[[gnu::always_inline]] inline typename Lanes<W>::Doubles root(typename Lanes<W>::Doubles s) {
#if defined(__x86_64__) || defined(__i386__)
    using Doubles = typename Lanes<W>::Doubles;
    if constexpr (W == 8) return (Doubles)_mm512_sqrt_pd((__m512d)s);
    if constexpr (W == 4) return (Doubles)_mm256_sqrt_pd((__m256d)s);
#if defined(__SSE2__)
    if constexpr (W == 2) return (Doubles)_mm_sqrt_pd((__m128d)s);
#endif
#endif
    for (int l = 0; l < W; ++l) s[l] = __builtin_sqrt(s[l]);
    return s;
}

// Two neighbouring elements of a byte or 16-bit type as one unsigned word of twice their width,
// the first in the low half.
template <typename T>
using PairWord = std::conditional_t<sizeof(T) == 1, uint16_t, uint32_t>;

template <typename T>
[[gnu::always_inline]] inline PairWord<T> pairWord(const T* e) {
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    PairWord<T> w;
    std::memcpy(&w, e, sizeof w);
    return w;
#else
    return static_cast<PairWord<T> >(e[0] | static_cast<PairWord<T> >(e[1]) << (8 * sizeof(T)));
#endif
}

// Eight bytes from e: two neighbouring floats, kept in memory order when the lanes' words are read
// back as floats.
[[gnu::always_inline]] inline int64_t eightBytes(const float* e) {
    int64_t w;
    std::memcpy(&w, e, sizeof w);
    return w;
}

// Fails to build for a type that has no loads here.
template <typename T>
inline constexpr bool kNoLoads = false;

// The element at e + offset[l] for each lane l, as doubles. Bytes and 16-bit words are gathered as
// 32-bit integers and floats as floats, each set converted together (exactly: every one of their
// values is a double).
template <typename T, int W, std::size_t... L>
[[gnu::always_inline]] inline typename Lanes<W>::Doubles elementsAt(const T* e,
                                                                    const int64_t* offset,
                                                                    std::index_sequence<L...>) {
    static_assert(isElement<T>, "not an element type of image.h");
    using Doubles = typename Lanes<W>::Doubles;
    if constexpr (std::is_same_v<T, uint8_t> || std::is_same_v<T, uint16_t>) {
        const typename Lanes<W>::Int32s words = {static_cast<int32_t>(e[offset[L]])...};
        return __builtin_convertvector(words, Doubles);
    } else if constexpr (std::is_same_v<T, float>) {
        const typename Lanes<W>::Floats floats = {e[offset[L]]...};
        return __builtin_convertvector(floats, Doubles);
    } else if constexpr (std::is_same_v<T, double>) {
        return Doubles{e[offset[L]]...};
    } else {
        static_assert(kNoLoads<T>, "an element type without its loads in lanes.h");
    }
}

// The element at e + offset[l] (upper) and the one after it (lower) for each lane l, in lane
// order, as doubles. Bytes and 16-bit words are read as one word of twice their width per lane,
// then masked and shifted apart; floats as one 64-bit word per lane, read back as pairs of floats
// whose first and second members are taken apart and widened; doubles as pairs of neighbours, the
// pairs taken apart.
template <typename T, int W, std::size_t... L>
[[gnu::always_inline]] inline void neighbourPairs(const T* e, const int64_t* offset,
                                                  typename Lanes<W>::Doubles& upper,
                                                  typename Lanes<W>::Doubles& lower,
                                                  std::index_sequence<L...>) {
    static_assert(isElement<T>, "not an element type of image.h");
    using Doubles = typename Lanes<W>::Doubles;
    if constexpr (std::is_same_v<T, uint8_t> || std::is_same_v<T, uint16_t>) {
        using Int32s = typename Lanes<W>::Int32s;
        using Uint32s = typename Lanes<W>::Uint32s;
        typedef PairWord<T> Words __attribute__((vector_size(sizeof(PairWord<T>) * W)));
        constexpr int bits = 8 * sizeof(T);
        const Words words = {pairWord(e + offset[L])...};
        const Uint32s both = __builtin_convertvector(words, Uint32s);
        // Both halves are below 2^16: as signed integers they convert like the unsigned ones.
        upper = __builtin_convertvector((Int32s)(both & ((1u << bits) - 1)), Doubles);
        lower = __builtin_convertvector((Int32s)(both >> bits), Doubles);
    } else if constexpr (std::is_same_v<T, float>) {
        using FloatPairs = typename Lanes<W>::FloatPairs;
        const typename Lanes<W>::Offsets words = {eightBytes(e + offset[L])...};
        const FloatPairs pairs = (FloatPairs)words;
        upper = __builtin_convertvector(__builtin_shufflevector(pairs, pairs, (2 * L)...), Doubles);
        lower =
            __builtin_convertvector(__builtin_shufflevector(pairs, pairs, (2 * L + 1)...), Doubles);
    } else if constexpr (std::is_same_v<T, double>) {
        // The even lanes' pairs side by side, and the odd lanes'; then the first element of
        // each pair and the second, interleaved back into lane order.
#if defined(__x86_64__) || defined(__i386__)
        if constexpr (W == 8) {
            auto two = [&](int a, int b) {
                return _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(e + offset[a])),
                                            _mm_loadu_pd(e + offset[b]), 1);
            };
            const __m512d even =
                _mm512_insertf64x4(_mm512_castpd256_pd512(two(0, 2)), two(4, 6), 1);
            const __m512d odd = _mm512_insertf64x4(_mm512_castpd256_pd512(two(1, 3)), two(5, 7), 1);
            upper = (Doubles)_mm512_unpacklo_pd(even, odd);
            lower = (Doubles)_mm512_unpackhi_pd(even, odd);
            return;
        }
        if constexpr (W == 4) {
            auto two = [&](int a, int b) {
                return _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(e + offset[a])),
                                            _mm_loadu_pd(e + offset[b]), 1);
            };
            const __m256d even = two(0, 2), odd = two(1, 3);
            upper = (Doubles)_mm256_unpacklo_pd(even, odd);
            lower = (Doubles)_mm256_unpackhi_pd(even, odd);
            return;
        }
#endif
        typedef double Pair __attribute__((vector_size(16)));
        Pair p[W];
        ((std::memcpy(&p[L], e + offset[L], sizeof(Pair))), ...);
        Doubles even, odd;
        if constexpr (W == 2) {
            even = p[0];
            odd = p[1];
        } else if constexpr (W == 4) {
            even = __builtin_shufflevector(p[0], p[2], 0, 1, 2, 3);
            odd = __builtin_shufflevector(p[1], p[3], 0, 1, 2, 3);
        } else {
            using HalfDoubles = typename Lanes<W>::HalfDoubles;
            const HalfDoubles e0 = __builtin_shufflevector(p[0], p[2], 0, 1, 2, 3);
            const HalfDoubles e1 = __builtin_shufflevector(p[4], p[6], 0, 1, 2, 3);
            const HalfDoubles o0 = __builtin_shufflevector(p[1], p[3], 0, 1, 2, 3);
            const HalfDoubles o1 = __builtin_shufflevector(p[5], p[7], 0, 1, 2, 3);
            even = __builtin_shufflevector(e0, e1, 0, 1, 2, 3, 4, 5, 6, 7);
            odd = __builtin_shufflevector(o0, o1, 0, 1, 2, 3, 4, 5, 6, 7);
        }
        upper = __builtin_shufflevector(even, odd, (L % 2 == 0 ? L : W + L - 1)...);
        lower = __builtin_shufflevector(even, odd, (L % 2 == 0 ? L + 1 : W + L)...);
    } else {
        static_assert(kNoLoads<T>, "an element type without its loads in lanes.h");
    }
}

}  // namespace
}  // namespace mexgeom
