// The rows eight at a time, built for AVX-512.
#include "target_avx512.h"

#include "hesse_rows_lanes.h"

namespace hesseform {

void rowsAvx512(const double* p, double* q, std::size_t M, std::size_t ld) {
    rowsLanes<8>(p, q, M, ld);
}

}  // namespace hesseform

#include "target_end.h"
