#include "normalise.h"

#include <cmath>

namespace hesseform {

void hesseRows(const double* p, double* q, std::size_t M) {
    const double* pa = p;
    const double* pb = p + M;
    const double* pc = p + 2 * M;
    double* qa = q;
    double* qb = q + M;
    double* qc = q + 2 * M;
    for (std::size_t i = 0; i < M; ++i) {
        const double a = pa[i], b = pb[i], c = pc[i];
        const double n = std::sqrt(a * a + b * b);
        qa[i] = a / n;
        qb[i] = b / n;
        qc[i] = c / n;
    }
}

}  // namespace hesseform
