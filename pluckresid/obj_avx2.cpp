// The residuals and the Jacobian in one pass, four cameras at a time, built for AVX2 by the
// target pragma below (whatever the build's flags), so that the Octave package and build_mex.m get
// it too. Which instruction set runs is chosen at run time.
#include <cstddef>
#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#elif defined(__GNUC__)
#pragma GCC target("avx2")
#endif
#endif

#include "obj_lanes.h"

namespace pluckresid {

void objJacobianAvx2(double* r, double* J, const double* x, const double* A, const double* T,
                     const double* E, int32_t N) {
#if defined(__x86_64__) || defined(__i386__)
    objJacobianLanes<4>(r, J, x, A, T, E, N);
#else
    objJacobian(r, J, x, A, T, E, N, Isa::kBaseline);  // never chosen here
#endif
}

}  // namespace pluckresid

#if (defined(__x86_64__) || defined(__i386__)) && defined(__clang__)
#pragma clang attribute pop
#endif
