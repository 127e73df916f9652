// The batch scorer on eight lanes, built for AVX-512 by the target pragma below (whatever the
// build's flags), so that the Octave package and build_mex.m get it too. Which instruction set runs
// is chosen at run time.
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

#include "ncc_lanes.h"

namespace patchcorr {

void scoreAllAvx512(const Batch& b) {
#if defined(__x86_64__) || defined(__i386__)
    scoreAllLanes<8>(b);
#else
    scoreAllBaseline(b);  // not built for AVX-512 here, and never chosen
#endif
}

}  // namespace patchcorr

#if (defined(__x86_64__) || defined(__i386__)) && defined(__clang__)
#pragma clang attribute pop
#endif
