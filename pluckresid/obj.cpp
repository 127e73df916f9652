#include "obj.h"

#include <cstddef>

#include "model.h"

namespace pluckresid {

using mexgeom::Isa;

void obj(double* r, const double* x, const double* A, const double* T, const double* first,
         const double* second, int32_t N) {
    double L[6];
    lineThrough(x, T, L);
    // Pointers advance camera by camera, so no index product can overflow the 32-bit count.
    for (int32_t i = 0; i < N; ++i, A += 18, first += 2, second += 2, r += 2) {
        residualPair(A, L, first[0], first[1], second[0], second[1], r[0], r[1]);
    }
}

void obj(double* r, const double* x, const double* A, const double* T, const double* E, int32_t N) {
    obj(r, x, A, T, E, E + 2 * static_cast<std::size_t>(N), N);
}

// In obj_avx2.cpp and obj_avx512.cpp, each built for its instruction set.
void objJacobianAvx2(double* r, double* J, std::size_t ldJ, const double* x, const double* A,
                     const double* T, const double* first, const double* second, int32_t N);
void objJacobianAvx512(double* r, double* J, std::size_t ldJ, const double* x, const double* A,
                       const double* T, const double* first, const double* second, int32_t N);

namespace {

// One evaluation per column: the model at x, then at each x + step e_k into column k, which
// becomes the difference quotient in place.
void objJacobianBaseline(double* r, double* J, std::size_t ldJ, const double* x, const double* A,
                         const double* T, const double* first, const double* second, int32_t N) {
    obj(r, x, A, T, first, second, N);
    const std::size_t rows = 2 * static_cast<std::size_t>(N);
    for (int k = 0; k < 4; ++k) {
        double y[4] = {x[0], x[1], x[2], x[3]};
        y[k] = kStep + y[k];
        double* column = J + ldJ * static_cast<std::size_t>(k);
        obj(column, y, A, T, first, second, N);
        for (std::size_t m = 0; m < rows; ++m) column[m] = differenceQuotient(column[m], r[m]);
    }
}

}  // namespace

void objJacobian(double* r, double* J, std::size_t ldJ, const double* x, const double* A,
                 const double* T, const double* first, const double* second, int32_t N, Isa isa) {
    mexgeom::variantFor(isa, objJacobianBaseline, objJacobianAvx2, objJacobianAvx512)(
        r, J, ldJ, x, A, T, first, second, N);
}

void objJacobian(double* r, double* J, std::size_t ldJ, const double* x, const double* A,
                 const double* T, const double* first, const double* second, int32_t N) {
    objJacobian(r, J, ldJ, x, A, T, first, second, N, mexgeom::bestIsa());
}

void objJacobian(double* r, double* J, const double* x, const double* A, const double* T,
                 const double* E, int32_t N, Isa isa) {
    const std::size_t rows = 2 * static_cast<std::size_t>(N);
    objJacobian(r, J, rows, x, A, T, E, E + rows, N, isa);
}

void objJacobian(double* r, double* J, const double* x, const double* A, const double* T,
                 const double* E, int32_t N) {
    objJacobian(r, J, x, A, T, E, N, mexgeom::bestIsa());
}

}  // namespace pluckresid
