// Opens a region built for AVX-512 (the foundation and the doubleword and quadword instructions,
// the two that isa.h asks the processor for), whatever the build's flags; target_end.h closes it.
// Include the library headers the region needs before this one: their inline functions must not
// be built for the target.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#if defined(__x86_64__) || defined(__i386__)
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f,avx512dq"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx512f,avx512dq")
#endif
#define MEXGEOM_TARGET_REGION 1
#endif
