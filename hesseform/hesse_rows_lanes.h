// The rows of hesseform W at a time, written once over W lanes and included by one file per
// instruction set, each built for its own target: hesse_rows.cpp (the baseline: SSE2 on x86),
// hesse_rows_avx2.cpp and hesse_rows_avx512.cpp. Square roots and quotients are correctly rounded
// in every lane, so each row has the bits it has alone; every NaN written is the one of nan.h.
//
// Every function here has internal linkage and calls no inline library function: a copy built for
// AVX-512 must never be the one that a baseline caller ends up with.
#pragma once

#include <cstddef>
#include <cstring>

#include "lanes.h"
#include "nan.h"

namespace hesseform {

void rowsBaseline(const double* p, double* q, std::size_t M, std::size_t ld);
void rowsAvx2(const double* p, double* q, std::size_t M, std::size_t ld);
void rowsAvx512(const double* p, double* q, std::size_t M, std::size_t ld);

namespace {

using mexgeom::canonical;
using mexgeom::Lanes;
using mexgeom::root;

template <int W>
void rowsLanes(const double* p, double* q, std::size_t M, std::size_t ld) {
    using Doubles = typename Lanes<W>::Doubles;
    const double* pa = p;
    const double* pb = p + ld;
    const double* pc = p + 2 * ld;
    double* qa = q;
    double* qb = q + ld;
    double* qc = q + 2 * ld;
    std::size_t i = 0;
    for (; i + W <= M; i += W) {
        Doubles a, b, c;
        std::memcpy(&a, pa + i, sizeof a);
        std::memcpy(&b, pb + i, sizeof b);
        std::memcpy(&c, pc + i, sizeof c);
        const Doubles n = root<W>(a * a + b * b);
        const Doubles x = canonical(a / n), y = canonical(b / n), z = canonical(c / n);
        std::memcpy(qa + i, &x, sizeof x);
        std::memcpy(qb + i, &y, sizeof y);
        std::memcpy(qc + i, &z, sizeof z);
    }
    for (; i < M; ++i) {
        const double a = pa[i], b = pb[i], c = pc[i];
        const double n = __builtin_sqrt(a * a + b * b);
        qa[i] = canonical(a / n);
        qb[i] = canonical(b / n);
        qc[i] = canonical(c / n);
    }
}

}  // namespace
}  // namespace hesseform
