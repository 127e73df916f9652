#include "hesse_rows.h"

#include "hesse_rows_lanes.h"

namespace hesseform {

using mexgeom::Isa;

// Two lanes: SSE2 on x86, and plain vector code wherever else this is built.
void rowsBaseline(const double* p, double* q, std::size_t M) {
    rowsLanes<2>(p, q, M);
}

void hesseRows(const double* p, double* q, std::size_t M, Isa isa) {
    mexgeom::variantFor(isa, rowsBaseline, rowsAvx2, rowsAvx512)(p, q, M);
}

void hesseRows(const double* p, double* q, std::size_t M) {
    hesseRows(p, q, M, mexgeom::bestIsa());
}

}  // namespace hesseform
