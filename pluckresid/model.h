// The pluckresid model in one place, written once over the number type: a double for one camera
// (obj and the tail of the fused pass), or a vector of lanes for one camera per lane (the fused
// pass of obj_lanes.h). Every lane forms its terms in the order written here, so each residual
// has the same bits on every path.
//
// Internal linkage: a copy built for AVX-512 must never be the one that a baseline caller gets.
#pragma once

#include <type_traits>

#include "lanes.h"
#include "nan.h"
#include "obj.h"

namespace pluckresid {
namespace {

// The line L (Plücker coordinates) through the two points that the parameters y place. Each
// point's coordinate is its constant term, plus the first parameter's term, plus the second's.
// (L1, L2, L3) = P(1:3) x Q(1:3) and (L4, L5, L6) = Q4 P(1:3) - P4 Q(1:3): exchanging P and Q
// negates every one of them.
inline void lineThrough(const double* y, const double* T, double* L) {
    double P[4], Q[4];
    for (int j = 0; j < 4; ++j) {
        const double* p = T + 3 * j;
        const double* q = T + 12 + 3 * j;
        P[j] = (p[0] + y[0] * p[1]) + y[1] * p[2];
        Q[j] = (q[0] + y[2] * q[1]) + y[3] * q[2];
    }
    L[0] = P[1] * Q[2] - P[2] * Q[1];
    L[1] = P[2] * Q[0] - P[0] * Q[2];
    L[2] = P[0] * Q[1] - P[1] * Q[0];
    L[3] = P[0] * Q[3] - P[3] * Q[0];
    L[4] = P[1] * Q[3] - P[3] * Q[1];
    L[5] = P[2] * Q[3] - P[3] * Q[2];
}

// The correctly rounded square root of a double or of every lane.
template <typename Number>
[[gnu::always_inline]] inline Number squareRoot(Number s) {
    if constexpr (std::is_same_v<Number, double>) {
        return __builtin_sqrt(s);
    } else {
        return mexgeom::root<sizeof(Number) / sizeof(double)>(s);
    }
}

// The two residuals of a camera: its image line l_j = sum over k of a[6j + k] L_k, and the
// signed distances of the end points (u1, v1) and (u2, v2) from it, (l1 u + l2 v + l3) w with
// one reciprocal w = 1 / |(l1, l2)| for both. (l1, l2) = 0 makes w infinite, and the residuals
// infinite or NaN (0 * Inf) by IEEE arithmetic; every NaN comes out as the one of nan.h.
template <typename Number>
[[gnu::always_inline]] inline void residualPair(const Number* a, const double* L, Number u1,
                                                Number v1, Number u2, Number v2, Number& r1,
                                                Number& r2) {
    Number l[3];
#pragma GCC unroll 3
    for (int j = 0; j < 3; ++j) {
        const Number* c = a + 6 * j;
        l[j] = c[0] * L[0] + c[1] * L[1] + c[2] * L[2] + c[3] * L[3] + c[4] * L[4] + c[5] * L[5];
    }
    const Number w = 1 / squareRoot(l[0] * l[0] + l[1] * l[1]);
    r1 = mexgeom::canonical(((l[0] * u1 + l[1] * v1) + l[2]) * w);
    r2 = mexgeom::canonical(((l[0] * u2 + l[1] * v2) + l[2]) * w);
}

// A forward difference quotient: (stepped - base) times the reciprocal of the step.
template <typename Number>
[[gnu::always_inline]] inline Number differenceQuotient(Number stepped, Number base) {
    return mexgeom::canonical((stepped - base) * kInverseStep);
}

}  // namespace
}  // namespace pluckresid
