// The segments with 8 offset lines side by side, built for AVX-512.
#include "target_avx512.h"

#include "imgraduv_lanes.h"

namespace stripfilt {

void filterAllAvx512(const Segments& s) {
    filterAllLanes<8>(s);
}

}  // namespace stripfilt

#include "target_end.h"
