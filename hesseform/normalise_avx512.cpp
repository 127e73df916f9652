// The rows eight at a time, built for AVX-512 by the target pragma below (whatever the build's
// flags), so that the Octave package and build_mex.m get it too. Which instruction set runs is
// chosen at run time.
#include <cstddef>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f"))), apply_to = function)
#elif defined(__GNUC__)
#pragma GCC target("avx512f")
#endif
#endif

#include "normalise_lanes.h"

namespace hesseform {

void rowsAvx512(const double* p, double* q, std::size_t M) {
#if defined(__x86_64__) || defined(__i386__)
    rowsLanes<8>(p, q, M);
#else
    rowsBaseline(p, q, M);  // not built for AVX-512 here, and never chosen
#endif
}

}  // namespace hesseform

#if (defined(__x86_64__) || defined(__i386__)) && defined(__clang__)
#pragma clang attribute pop
#endif
