// Opens a region built for AVX2, whatever the build's flags (so that the Octave package and
// build_mex.m get it too); target_end.h closes it. Include the library headers the region needs
// before this one: their inline functions must not be built for the target.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#if defined(__x86_64__) || defined(__i386__)
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
#define MEXGEOM_TARGET_REGION 1
#endif
