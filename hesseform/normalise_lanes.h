// The rows of hesseform W at a time, written once over W lanes and included by one file per
// instruction set, each built for its own target: normalise.cpp (the baseline: SSE2 on x86),
// normalise_avx2.cpp and normalise_avx512.cpp. Square roots and quotients are correctly rounded
// in every lane, so each row has the bits it has alone.
//
// Every function here has internal linkage and calls no inline library function: a copy built for
// AVX-512 must never be the one that a baseline caller ends up with.
#pragma once

#include <cstddef>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12 warns about the deliberately undefined inputs inside its own AVX-512 headers.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop
#else
#include <immintrin.h>
#endif
#endif

namespace hesseform {

void rowsBaseline(const double* p, double* q, std::size_t M);
void rowsAvx2(const double* p, double* q, std::size_t M);
void rowsAvx512(const double* p, double* q, std::size_t M);

namespace {

template <int W>
struct Lanes {
    typedef double V __attribute__((vector_size(8 * W)));
};

// The square root in every lane, by the instruction of the set that this width is built for:
// eight lanes for AVX-512, four for AVX2, two for SSE2.
template <int W>
[[gnu::always_inline]] inline typename Lanes<W>::V root(typename Lanes<W>::V s) {
    using V = typename Lanes<W>::V;
#if defined(__x86_64__) || defined(__i386__)
    if constexpr (W == 8) return (V)_mm512_sqrt_pd((__m512d)s);
    if constexpr (W == 4) return (V)_mm256_sqrt_pd((__m256d)s);
#if defined(__SSE2__)
    if constexpr (W == 2) return (V)_mm_sqrt_pd((__m128d)s);
#endif
#endif
    for (int l = 0; l < W; ++l) s[l] = __builtin_sqrt(s[l]);
    return s;
}

template <int W>
void rowsLanes(const double* p, double* q, std::size_t M) {
    using V = typename Lanes<W>::V;
    const double* pa = p;
    const double* pb = p + M;
    const double* pc = p + 2 * M;
    double* qa = q;
    double* qb = q + M;
    double* qc = q + 2 * M;
    std::size_t i = 0;
    for (; i + W <= M; i += W) {
        V a, b, c;
        std::memcpy(&a, pa + i, sizeof a);
        std::memcpy(&b, pb + i, sizeof b);
        std::memcpy(&c, pc + i, sizeof c);
        const V n = root<W>(a * a + b * b);
        const V x = a / n, y = b / n, z = c / n;
        std::memcpy(qa + i, &x, sizeof x);
        std::memcpy(qb + i, &y, sizeof y);
        std::memcpy(qc + i, &z, sizeof z);
    }
    for (; i < M; ++i) {
        const double a = pa[i], b = pb[i], c = pc[i];
        const double n = __builtin_sqrt(a * a + b * b);
        qa[i] = a / n;
        qb[i] = b / n;
        qc[i] = c / n;
    }
}

}  // namespace
}  // namespace hesseform
