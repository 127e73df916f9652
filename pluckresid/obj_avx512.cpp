// The residuals and the Jacobian in one pass, eight cameras at a time, built for AVX-512.
#include "target_avx512.h"

#include "obj_lanes.h"

namespace pluckresid {

void objJacobianAvx512(double* r, double* J, std::size_t ldJ, const double* x, const double* A,
                       const double* T, const double* first, const double* second, int32_t N) {
    objJacobianLanes<8>(r, J, ldJ, x, A, T, first, second, N);
}

}  // namespace pluckresid

#include "target_end.h"
