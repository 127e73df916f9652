#include "hesse_rows.h"

#include "hesse_rows_lanes.h"

namespace hesseform {

using mexgeom::Isa;

// Two lanes: SSE2 on x86, and plain vector code wherever else this is built.
void rowsBaseline(const double* p, double* q, std::size_t M, std::size_t ld) {
    rowsLanes<2>(p, q, M, ld);
}

void hesseRows(const double* p, double* q, std::size_t M, std::size_t ld, Isa isa) {
    mexgeom::variantFor(isa, rowsBaseline, rowsAvx2, rowsAvx512)(p, q, M, ld);
}

void hesseRows(const double* p, double* q, std::size_t M, Isa isa) {
    hesseRows(p, q, M, M, isa);
}

void hesseRows(const double* p, double* q, std::size_t M, std::size_t ld) {
    hesseRows(p, q, M, ld, mexgeom::bestIsa());
}

void hesseRows(const double* p, double* q, std::size_t M) {
    hesseRows(p, q, M, M, mexgeom::bestIsa());
}

}  // namespace hesseform
