// The instruction sets the kernels are built for, and the processor check that picks one at run
// time. A kernel gives the same bits on every instruction set; only its speed differs.
//
// A kernel's vector code is written once over its lane count and built once per instruction set
// by a file of a few lines that opens a target region (target_avx2.h or target_avx512.h, where
// each target string is spelled), includes the code and closes the region (target_end.h). Off
// x86 the regions set nothing, the files build plain vector code, and only kBaseline is ever
// chosen.
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

// The widest instruction set this processor runs. Asked at every call, which costs a few loads
// of what the compiler's processor check recorded when the module was loaded; a static kept here
// would need the C++ library's guard, which a MEX file cannot count on finding in its host.
inline Isa bestIsa() {
    return supported(Isa::kAvx512) ? Isa::kAvx512
           : supported(Isa::kAvx2) ? Isa::kAvx2
                                   : Isa::kBaseline;
}

// Of a kernel's three builds, the one for isa.
template <typename F>
F variantFor(Isa isa, F baseline, F avx2, F avx512) {
    return isa == Isa::kAvx512 ? avx512 : isa == Isa::kAvx2 ? avx2 : baseline;
}

}  // namespace mexgeom
