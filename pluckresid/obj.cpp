#include "obj.h"

#include <cmath>
#include <cstddef>

#include "nan.h"

namespace pluckresid {

using mexgeom::canonical;

void obj(double* r, const double* x, const double* A, const double* T, const double* E, int32_t N) {
    // The two points: constant term, plus the first parameter's term, plus the second's.
    double P[4], Q[4];
    for (int j = 0; j < 4; ++j) {
        const double* p = T + 3 * j;
        const double* q = T + 12 + 3 * j;
        P[j] = (p[0] + x[0] * p[1]) + x[1] * p[2];
        Q[j] = (q[0] + x[2] * q[1]) + x[3] * q[2];
    }

    // Plücker coordinates of the line through P and Q: (L1, L2, L3) = P(1:3) x Q(1:3) and
    // (L4, L5, L6) = Q4 P(1:3) - P4 Q(1:3). Exchanging P and Q negates every one of them.
    const double L[6] = {
        P[1] * Q[2] - P[2] * Q[1], P[2] * Q[0] - P[0] * Q[2], P[0] * Q[1] - P[1] * Q[0],
        P[0] * Q[3] - P[3] * Q[0], P[1] * Q[3] - P[3] * Q[1], P[2] * Q[3] - P[3] * Q[2],
    };

    // Pointers advance camera by camera, so no index product can overflow the 32-bit count.
    const double* first = E;
    const double* second = E + 2 * static_cast<std::size_t>(N);
    for (int32_t i = 0; i < N; ++i, A += 18, first += 2, second += 2, r += 2) {
        double l[3];
        for (int j = 0; j < 3; ++j) {
            const double* a = A + 6 * j;
            l[j] =
                a[0] * L[0] + a[1] * L[1] + a[2] * L[2] + a[3] * L[3] + a[4] * L[4] + a[5] * L[5];
        }
        // One reciprocal per camera, multiplied into both residuals. (l1, l2) = 0 makes it
        // infinite, and the residuals infinite or NaN (0 * Inf) by IEEE arithmetic.
        const double w = 1 / std::sqrt(l[0] * l[0] + l[1] * l[1]);
        r[0] = canonical(((l[0] * first[0] + l[1] * first[1]) + l[2]) * w);
        r[1] = canonical(((l[0] * second[0] + l[1] * second[1]) + l[2]) * w);
    }
}

// In obj_avx2.cpp and obj_avx512.cpp, each built for its instruction set.
void objJacobianAvx2(double* r, double* J, const double* x, const double* A, const double* T,
                     const double* E, int32_t N);
void objJacobianAvx512(double* r, double* J, const double* x, const double* A, const double* T,
                       const double* E, int32_t N);

namespace {

// One evaluation per column: the model at x, then at each x + step e_k into column k, which
// becomes the difference quotient in place.
void objJacobianBaseline(double* r, double* J, const double* x, const double* A, const double* T,
                         const double* E, int32_t N) {
    obj(r, x, A, T, E, N);
    const std::size_t rows = 2 * static_cast<std::size_t>(N);
    for (int k = 0; k < 4; ++k) {
        double y[4] = {x[0], x[1], x[2], x[3]};
        y[k] = kStep + y[k];
        double* column = J + rows * static_cast<std::size_t>(k);
        obj(column, y, A, T, E, N);
        for (std::size_t m = 0; m < rows; ++m) {
            column[m] = canonical((column[m] - r[m]) * kInverseStep);
        }
    }
}

}  // namespace

void objJacobian(double* r, double* J, const double* x, const double* A, const double* T,
                 const double* E, int32_t N, Isa isa) {
    switch (isa) {
        case Isa::kAvx512:
            return objJacobianAvx512(r, J, x, A, T, E, N);
        case Isa::kAvx2:
            return objJacobianAvx2(r, J, x, A, T, E, N);
        case Isa::kBaseline:
            break;
    }
    objJacobianBaseline(r, J, x, A, T, E, N);
}

void objJacobian(double* r, double* J, const double* x, const double* A, const double* T,
                 const double* E, int32_t N) {
    objJacobian(r, J, x, A, T, E, N, mexgeom::bestIsa());
}

}  // namespace pluckresid
