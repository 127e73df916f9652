// How many points of a patchcorr call repay a thread of their own, for every gateway that shares
// a call among threads (the MEX command and the Python module).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace patchcorr {

// A thread repays its start from about kSamplesPerThread window samples (measured by
// bench_patchcorr's threshold benchmarks); a point costs about as many samples as its window has.
constexpr std::size_t kSamplesPerThread = 40000;
inline std::size_t pointsPerThread(int32_t nW) {
    return kSamplesPerThread / std::max<std::size_t>(static_cast<std::size_t>(nW), 1);
}

}  // namespace patchcorr
