// The segments with 4 offset lines side by side, built for AVX2.
#include "target_avx2.h"

#include "imgraduv_lanes.h"

namespace stripfilt {

void filterAllAvx2(const Segments& s) {
    filterAllLanes<4>(s);
}

}  // namespace stripfilt

#include "target_end.h"
