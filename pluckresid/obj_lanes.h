// The residuals and their forward-difference Jacobian in one pass over the cameras, W cameras side
// by side in W lanes: each block of cameras has its coefficients read once and turned around (lane
// c holds camera c's coefficient k), then the model (model.h) is evaluated in every lane at x
// and at the four x + step e_k, each lane in the model's order of terms, so that every residual
// has the bits of a call of obj. Cameras left over after the last full block go one at a time.
// Included by one file per instruction set, each built for its own target: obj_avx2.cpp (W = 4) and
// obj_avx512.cpp (W = 8).
//
// Every function here has internal linkage and calls no inline library function: a copy built for
// AVX-512 must never be the one that a baseline caller ends up with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "lanes.h"
#include "model.h"
#include "obj.h"

namespace pluckresid {

void objJacobianAvx2(double* r, double* J, std::size_t ldJ, const double* x, const double* A,
                     const double* T, const double* first, const double* second, int32_t N);
void objJacobianAvx512(double* r, double* J, std::size_t ldJ, const double* x, const double* A,
                       const double* T, const double* first, const double* second, int32_t N);

namespace {

using mexgeom::Lanes;

// The W x W block of coefficients k0 .. k0 + W - 1 of the W cameras from A on, turned around:
// out[k][c] = A[18c + k0 + k]. Three rounds of shuffles (two for four lanes), no arithmetic.
template <int W>
[[gnu::always_inline]] inline void turn(const double* A, int k0, typename Lanes<W>::Doubles* out) {
    using Doubles = typename Lanes<W>::Doubles;
    Doubles v[W];
#pragma GCC unroll 8
    for (int c = 0; c < W; ++c) std::memcpy(&v[c], A + 18 * c + k0, sizeof(Doubles));
    if constexpr (W == 4) {
        const Doubles t0 = __builtin_shufflevector(v[0], v[1], 0, 4, 2, 6);
        const Doubles t1 = __builtin_shufflevector(v[0], v[1], 1, 5, 3, 7);
        const Doubles t2 = __builtin_shufflevector(v[2], v[3], 0, 4, 2, 6);
        const Doubles t3 = __builtin_shufflevector(v[2], v[3], 1, 5, 3, 7);
        out[0] = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
        out[1] = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
        out[2] = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
        out[3] = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
    } else {
        static_assert(W == 8);
        // t: pairs of cameras, coefficients 0, 2, 4, 6 (even t) or 1, 3, 5, 7 (odd t).
        Doubles t[8], u[8];
#pragma GCC unroll 4
        for (int p = 0; p < 4; ++p) {
            t[2 * p] = __builtin_shufflevector(v[2 * p], v[2 * p + 1], 0, 8, 2, 10, 4, 12, 6, 14);
            t[2 * p + 1] =
                __builtin_shufflevector(v[2 * p], v[2 * p + 1], 1, 9, 3, 11, 5, 13, 7, 15);
        }
        // u: quarters of cameras, each holding two coefficients four apart.
#pragma GCC unroll 2
        for (int h = 0; h < 2; ++h) {
            const Doubles* s = t + 4 * h;
            u[4 * h + 0] = __builtin_shufflevector(s[0], s[2], 0, 1, 8, 9, 4, 5, 12, 13);    // 0, 4
            u[4 * h + 1] = __builtin_shufflevector(s[1], s[3], 0, 1, 8, 9, 4, 5, 12, 13);    // 1, 5
            u[4 * h + 2] = __builtin_shufflevector(s[0], s[2], 2, 3, 10, 11, 6, 7, 14, 15);  // 2, 6
            u[4 * h + 3] = __builtin_shufflevector(s[1], s[3], 2, 3, 10, 11, 6, 7, 14, 15);  // 3, 7
        }
#pragma GCC unroll 4
        for (int k = 0; k < 4; ++k) {
            out[k] = __builtin_shufflevector(u[k], u[4 + k], 0, 1, 2, 3, 8, 9, 10, 11);
            out[k + 4] = __builtin_shufflevector(u[k], u[4 + k], 4, 5, 6, 7, 12, 13, 14, 15);
        }
    }
}

// Two neighbouring doubles of each of the W records `stride` doubles apart from p on, turned
// around: first[c] = p[stride c], second[c] = p[stride c + 1].
template <int W, int64_t Stride, std::size_t... L>
[[gnu::always_inline]] inline void pairs(const double* p, typename Lanes<W>::Doubles& first,
                                         typename Lanes<W>::Doubles& second,
                                         std::index_sequence<L...> lanes) {
    static constexpr int64_t offsets[W] = {static_cast<int64_t>(Stride * L)...};
    mexgeom::neighbourPairs<double, W>(p, offsets, first, second, lanes);
}

// out[2c] = a[c], out[2c + 1] = b[c] for the W lanes: the two residuals of each camera in turn.
template <int W, std::size_t... L>
[[gnu::always_inline]] inline void interleave(double* out, typename Lanes<W>::Doubles a,
                                              typename Lanes<W>::Doubles b,
                                              std::index_sequence<L...>) {
    using Doubles = typename Lanes<W>::Doubles;
    const Doubles lo = __builtin_shufflevector(a, b, (L % 2 == 0 ? L / 2 : W + L / 2)...);
    const Doubles hi =
        __builtin_shufflevector(a, b, (L % 2 == 0 ? W / 2 + L / 2 : W + W / 2 + L / 2)...);
    std::memcpy(out, &lo, sizeof lo);
    std::memcpy(out + W, &hi, sizeof hi);
}

template <int W>
void objJacobianLanes(double* r, double* J, std::size_t ldJ, const double* x, const double* A,
                      const double* T, const double* first, const double* second, int32_t N) {
    using Doubles = typename Lanes<W>::Doubles;
    constexpr auto lanes = std::make_index_sequence<W>();
    // The line at x (evaluation 0) and at x + step e_k (evaluation k).
    double L[5][6];
    for (int e = 0; e < 5; ++e) {
        double y[4] = {x[0], x[1], x[2], x[3]};
        if (e > 0) y[e - 1] = kStep + y[e - 1];
        lineThrough(y, T, L[e]);
    }

    const std::size_t n = static_cast<std::size_t>(N);
    std::size_t i = 0;
    for (; i + W <= n; i += W) {
        const double* Ai = A + 18 * i;
        Doubles a[18];
#pragma GCC unroll 4
        for (int k0 = 0; k0 + W <= 16; k0 += W) turn<W>(Ai, k0, a + k0);
        pairs<W, 18>(Ai + 16, a[16], a[17], lanes);
        Doubles u1, v1, u2, v2;
        pairs<W, 2>(first + 2 * i, u1, v1, lanes);
        pairs<W, 2>(second + 2 * i, u2, v2, lanes);
        Doubles base1, base2;
        residualPair(a, L[0], u1, v1, u2, v2, base1, base2);
        interleave<W>(r + 2 * i, base1, base2, lanes);
#pragma GCC unroll 4
        for (int k = 0; k < 4; ++k) {
            Doubles r1, r2;
            residualPair(a, L[k + 1], u1, v1, u2, v2, r1, r2);
            interleave<W>(J + ldJ * k + 2 * i, differenceQuotient(r1, base1),
                          differenceQuotient(r2, base2), lanes);
        }
    }
    // The cameras after the last full block, one at a time.
    for (; i < n; ++i) {
        const double* a = A + 18 * i;
        const double u1 = first[2 * i], v1 = first[2 * i + 1];
        const double u2 = second[2 * i], v2 = second[2 * i + 1];
        double& base1 = r[2 * i];
        double& base2 = r[2 * i + 1];
        residualPair(a, L[0], u1, v1, u2, v2, base1, base2);
        for (int k = 0; k < 4; ++k) {
            double r1, r2;
            residualPair(a, L[k + 1], u1, v1, u2, v2, r1, r2);
            J[ldJ * k + 2 * i] = differenceQuotient(r1, base1);
            J[ldJ * k + 2 * i + 1] = differenceQuotient(r2, base2);
        }
    }
}

}  // namespace
}  // namespace pluckresid
