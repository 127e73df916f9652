// How many segments of a stripfilt call repay a thread of their own, for every gateway that
// shares a call among threads (the MEX command and the Python module).
#pragma once

#include <algorithm>
#include <cstddef>

namespace stripfilt {

// A thread repays its start from about kTapsPerThread taps of segments (measured by
// bench_stripfilt's threshold benchmarks, on segments 10 to 100 long); each tap is a line of
// samples along its segment.
constexpr std::size_t kTapsPerThread = 2000;
inline std::size_t segmentsPerThread(std::size_t taps) {
    return kTapsPerThread / std::max<std::size_t>(taps, 1);
}

}  // namespace stripfilt
