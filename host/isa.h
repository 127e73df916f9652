// The instruction sets the kernels are built for, and the processor check that picks one at run
// time. A kernel gives the same bits on every instruction set; only its speed differs.
#pragma once

namespace mexgeom {

enum class Isa : int { kBaseline = 0, kAvx2 = 1, kAvx512 = 2 };

// Whether this processor can run code built for isa; kBaseline always can. (The compiler's check
// also asks the operating system whether it saves the wider registers.)
inline bool supported(Isa isa) {
#if defined(__x86_64__) || defined(__i386__)
    switch (isa) {
        case Isa::kBaseline:
            return true;
        case Isa::kAvx2:
            return __builtin_cpu_supports("avx2");
        case Isa::kAvx512:
            return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq");
    }
    return false;
#else
    return isa == Isa::kBaseline;
#endif
}

}  // namespace mexgeom
