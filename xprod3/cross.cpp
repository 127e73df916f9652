#include "cross.h"

#include "nan.h"

namespace xprod3 {

void crossColumns(const double* A, const double* B, double* C, std::size_t n) {
    for (std::size_t k = 0; k < n; ++k, A += 3, B += 3, C += 3) {
        const double a1 = A[0], a2 = A[1], a3 = A[2];
        const double b1 = B[0], b2 = B[1], b3 = B[2];
        C[0] = mexgeom::canonical(a2 * b3 - a3 * b2);
        C[1] = mexgeom::canonical(a3 * b1 - a1 * b3);
        C[2] = mexgeom::canonical(a1 * b2 - a2 * b1);
    }
}

}  // namespace xprod3
