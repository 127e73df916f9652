// The batch scorer on eight lanes, built for AVX-512.
#include "target_avx512.h"

#include "ncc_lanes.h"

namespace patchcorr {

void scoreAllAvx512(const Batch& b) {
    scoreAllLanes<8>(b);
}

}  // namespace patchcorr

#include "target_end.h"
