#include "imgraduv.h"

#include <cstddef>

#include "imgraduv_lanes.h"

namespace stripfilt {

using mexgeom::ImageView;
using mexgeom::Isa;

namespace {

// Two offset lines side by side: SSE2 on x86, and plain vector code wherever else this is built.
void filterAllBaseline(const Segments& s) {
    filterAllLanes<2>(s);
}

void run(const Segments& s, Isa isa) {
    mexgeom::variantFor(isa, filterAllBaseline, filterAllAvx2, filterAllAvx512)(s);
}

}  // namespace

void filterAll(const ImageView& I, const double* h, int32_t m, const double* u1, const double* u2,
               std::size_t K, double* responses, Isa isa) {
    run({I, h, m, u1, u2, 1.0, K, responses}, isa);
}

void filterAll(const ImageView& I, const double* h, int32_t m, const double* u1, const double* u2,
               std::size_t K, double* responses) {
    run({I, h, m, u1, u2, 1.0, K, responses}, mexgeom::bestIsa());
}

// One segment is a batch of one whose positions count from 0 (a - 0 is a, to the bit).
double imgraduv(const void* I, const int32_t* size, const double* h, int32_t m, const double* a,
                const double* b, int32_t kind, Isa isa) {
    double response;
    run({{I, size[0], size[1], mexgeom::elementOfKind(kind)}, h, m, a, b, 0.0, 1, &response}, isa);
    return response;
}

double imgraduv(const void* I, const int32_t* size, const double* h, int32_t m, const double* a,
                const double* b, int32_t kind) {
    return imgraduv(I, size, h, m, a, b, kind, mexgeom::bestIsa());
}

template <typename T>
double imgraduv(const T* I, const int32_t* size, const double* h, int32_t m, const double* a,
                const double* b) {
    double response;
    run({{I, size[0], size[1], mexgeom::elementOf<T>()}, h, m, a, b, 0.0, 1, &response},
        mexgeom::bestIsa());
    return response;
}

template double imgraduv<double>(const double*, const int32_t*, const double*, int32_t,
                                 const double*, const double*);
template double imgraduv<uint8_t>(const uint8_t*, const int32_t*, const double*, int32_t,
                                  const double*, const double*);

}  // namespace stripfilt
