// The batch scorer on four lanes, built for AVX2.
#include "target_avx2.h"

#include "ncc_lanes.h"

namespace patchcorr {

void scoreAllAvx2(const Batch& b) {
    scoreAllLanes<4>(b);
}

}  // namespace patchcorr

#include "target_end.h"
