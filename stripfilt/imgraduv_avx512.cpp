// The response with eight offset lines at a time, built for AVX-512 by the target pragma below
// (whatever the build's flags), so that the Octave package and build_mex.m get it too. Which
// instruction set runs is chosen at run time.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#if defined(__x86_64__) || defined(__i386__)
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f,avx512dq"))), apply_to = function)
#elif defined(__GNUC__)
#pragma GCC target("avx512f,avx512dq")
#endif
#endif

#include "imgraduv_lanes.h"

namespace stripfilt {

double segmentAvx512(const void* I, const int32_t* size, int32_t kind, const double* h, int32_t m,
                     const double* a, const double* b) {
#if defined(__x86_64__) || defined(__i386__)
    return segmentLanes<8>(I, size, kind, h, m, a, b);
#else
    return imgraduv(I, size, h, m, a, b, kind, Isa::kBaseline);  // never chosen here
#endif
}

}  // namespace stripfilt

#if (defined(__x86_64__) || defined(__i386__)) && defined(__clang__)
#pragma clang attribute pop
#endif
