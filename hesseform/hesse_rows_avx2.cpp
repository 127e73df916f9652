// The rows four at a time, built for AVX2.
#include "target_avx2.h"

#include "hesse_rows_lanes.h"

namespace hesseform {

void rowsAvx2(const double* p, double* q, std::size_t M, std::size_t ld) {
    rowsLanes<4>(p, q, M, ld);
}

}  // namespace hesseform

#include "target_end.h"
