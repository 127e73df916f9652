#include "imgraduv.h"

#include <cstddef>

#include "imgraduv_lanes.h"

namespace stripfilt {

using mexgeom::ImageView;
using mexgeom::Isa;

namespace {

// The line-by-line loop: the baseline path. It stays scalar rather than being the two-lane
// instance of imgraduv_lanes.h because a filter has an odd number of taps, so two lanes leave one
// idle for the last line: on SSE2 they took 1.6 times this loop's time for one tap, 1.2 times for
// three and 1.05 times for seven, on a double image (bytes gain back a little from converting two
// lanes at once). Two lanes along the steps of one line come within 10 % of this loop's time,
// either way, for 1 to 15 taps.
template <typename T, mexgeom::Layout L>
double segmentBaseline(const mexgeom::Grid<T, L>& I, const int32_t* size, const double* h,
                       int32_t m, const double* a, const double* b) {
    const Strip g = stripOf(size, a, b);

    // Offset i runs along the normal (-d2, d1); tap i + m belongs to it. Each line is averaged
    // over its own count, and a line without a counted sample makes the total 0 / 0, a NaN.
    double total = 0;
    for (int64_t i = -static_cast<int64_t>(m); i <= m; ++i) {
        const OffsetLine line = offsetLine(g, h, m, i);
        double sum = 0;
        int32_t count = 0;
        for (int32_t j = line.span.begin; j < line.span.end; ++j) {
            const double p1 = position(j, g.d1, line.shift1, g.a1);
            const double p2 = position(j, g.d2, line.shift2, g.a2);
            if (!inside(p1, g.limit1) || !inside(p2, g.limit2)) continue;
            const double v = mexgeom::bilinearAt(I, p1, p2);
            if (v == kOutside) continue;
            sum = sum + line.w * v;
            ++count;
        }
        total = total + sum / count;
    }
    return mexgeom::canonical(total);
}

void filterAllBaseline(const Segments& s) {
    forEachSegment(s,
                   [&](const auto& image, const int32_t* size, const double* a, const double* b) {
                       return segmentBaseline(image, size, s.h, s.m, a, b);
                   });
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
double imgraduv(const ImageView& I, const double* h, int32_t m, const double* a, const double* b,
                Isa isa) {
    double response;
    run({I, h, m, a, b, 0.0, 1, &response}, isa);
    return response;
}

double imgraduv(const void* I, const int32_t* size, const double* h, int32_t m, const double* a,
                const double* b, int32_t kind, Isa isa) {
    return imgraduv({I, size[0], size[1], mexgeom::elementOfKind(kind)}, h, m, a, b, isa);
}

double imgraduv(const void* I, const int32_t* size, const double* h, int32_t m, const double* a,
                const double* b, int32_t kind) {
    return imgraduv(I, size, h, m, a, b, kind, mexgeom::bestIsa());
}

template <typename T>
double imgraduv(const T* I, const int32_t* size, const double* h, int32_t m, const double* a,
                const double* b) {
    return imgraduv({I, size[0], size[1], mexgeom::elementOf<T>()}, h, m, a, b, mexgeom::bestIsa());
}

template double imgraduv<double>(const double*, const int32_t*, const double*, int32_t,
                                 const double*, const double*);
template double imgraduv<uint8_t>(const uint8_t*, const int32_t*, const double*, int32_t,
                                  const double*, const double*);
#if !defined(MEXGEOM_MEX_ELEMENTS)
template double imgraduv<float>(const float*, const int32_t*, const double*, int32_t, const double*,
                                const double*);
template double imgraduv<uint16_t>(const uint16_t*, const int32_t*, const double*, int32_t,
                                   const double*, const double*);
#endif

}  // namespace stripfilt
