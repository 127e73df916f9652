// The response of a segment over W lanes, two ways, each with exactly the bits of the line-by-line
// loop (imgraduv.cpp, the baseline):
//   - offset lines (strip.h) side by side: each lane walks its own line step by step and keeps
//     its own sum and count in the line's order;
//   - steps side by side, one line at a time: W steps of the line are sampled at once, and their
//     products added into the line's sum lane after lane, in the order of the steps.
// The first leaves lanes idle when the lines do not fill them (a 1-tap filter uses one lane of
// eight), the second pays for its additions in order; a batch takes the first when the lines fill
// at least 80 % of the lanes they occupy (filterAllLanes). Included by imgraduv.cpp and by one
// file per instruction set, each built for its own target: imgraduv_avx2.cpp and
// imgraduv_avx512.cpp.
//
// Every function here has internal linkage and calls no inline library function: a copy built for
// AVX-512 must never be the one that a baseline caller ends up with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "lanes.h"
#include "nan.h"
#include "sampler.h"
#include "strip.h"

#include "imgraduv.h"

namespace stripfilt {

// The arguments of one batch call (filterAll).
struct Segments {
    mexgeom::ImageView image;
    const double* h;
    int32_t m;
    const double* u1;  // 2 x K
    const double* u2;  // 2 x K
    double origin;     // what the positions count from: 1 as the host gives them, or 0
    std::size_t K;
    double* responses;  // K
};

void filterAllAvx2(const Segments& s);
void filterAllAvx512(const Segments& s);

namespace {

using mexgeom::Lanes;

// Up to N vectors of W samples of one segment's strip, placed in one pass and read in the next,
// so that the loads of a stretch do not wait on the arithmetic that places them.
template <typename T, mexgeom::Layout L, int W, int N>
struct Stretch {
    using Doubles = typename Lanes<W>::Doubles;
    using Mask = typename Lanes<W>::Mask;

    mexgeom::LaneSampler<T, W, L> sampler;
    Strip g;
    alignas(64) int64_t offset[N][W];
    Doubles f1[N], f2[N];
    Mask in[N];

    // The strip of the segment from a to b in the image of `size` (rows, columns).
    Stretch(const mexgeom::Grid<T, L>& image, const int32_t* size, const double* a, const double* b)
        : sampler{image}, g(stripOf(size, a, b)) {}

    // Vector s samples at (p1, p2) in those of the lanes `lanes` whose positions are inside the
    // image; a NaN position fails every comparison and is left out like one outside.
    [[gnu::always_inline]] inline void place(int32_t s, Doubles p1, Doubles p2, Mask lanes) {
        const Mask inside = (p1 > -1) & (p1 < g.limit1) & (p2 > -1) & (p2 < g.limit2) & lanes;
        in[s] = inside;
        sampler.locate(inside ? p1 : Doubles{}, inside ? p2 : Doubles{}, offset[s], f1[s], f2[s]);
    }

    // The values of vector s; `take` holds the lanes whose sample counts: placed inside, and of
    // another value than the outside marker.
    [[gnu::always_inline]] inline Doubles read(int32_t s, Mask& take) const {
        const Doubles v = sampler.bilinear(offset[s], f1[s], f2[s]);
        take = in[s] & (v != kOutside);
        return v;
    }
};

// The response of the segment from a to b, with W offset lines at a time side by side.
template <int W, typename T, mexgeom::Layout L>
double segmentLanes(const mexgeom::Grid<T, L>& image, const int32_t* size, const double* h,
                    int32_t m, const double* a, const double* b) {
    using Doubles = typename Lanes<W>::Doubles;
    using Mask = typename Lanes<W>::Mask;
    constexpr int32_t kStretch = 32;
    Stretch<T, L, W, kStretch> stretch(image, size, a, b);
    const Strip& g = stretch.g;

    // Offset i runs along the normal (-d2, d1); tap i + m belongs to it. Each line is averaged
    // over its own count, and a line without a counted sample makes the total 0 / 0, a NaN.
    const int64_t lines = 2 * static_cast<int64_t>(m) + 1;
    double total = 0;
    for (int64_t first = 0; first < lines; first += W) {
        // Lane l holds line i = first + l - m; lanes past the last line take no sample.
        Doubles shift1 = {}, shift2 = {}, w = {};
        Mask used = {};
        int32_t begin = g.n, end = 0;
        for (int l = 0; l < W && first + l < lines; ++l) {
            const OffsetLine line = offsetLine(g, h, m, first + l - m);
            w[l] = line.w;
            shift1[l] = line.shift1;
            shift2[l] = line.shift2;
            used[l] = -1;
            // Only the steps inside the image along both axes can count; the lanes' union of
            // them is walked, and each lane tests its own positions again.
            if (line.span.begin < line.span.end) {
                begin = line.span.begin < begin ? line.span.begin : begin;
                end = line.span.end > end ? line.span.end : end;
            }
        }
        // Lanes left out of a step read the elements about (0, 0) instead, which must exist.
        if (!g.readable) end = begin;

        // Lanes left out of a step add zeros, which change no sum: a sum that starts at +0 never
        // becomes -0, and x + 0 = x for every other x, NaN and infinities included.
        Doubles sum = {};
        Mask count = {};
        // 64-bit steps: a stretch may end past the last 32-bit step of a long segment.
        for (int64_t j0 = begin; j0 < end; j0 += kStretch) {
            const int32_t vectors = static_cast<int32_t>(end - j0 < kStretch ? end - j0 : kStretch);
            for (int32_t s = 0; s < vectors; ++s) {
                const double j = static_cast<double>(j0 + s);
                stretch.place(s, position(j, g.d1, shift1, g.a1), position(j, g.d2, shift2, g.a2),
                              used);
            }
            for (int32_t s = 0; s < vectors; ++s) {
                Mask take;
                const Doubles v = stretch.read(s, take);
                sum += (Doubles)((Mask)(w * v) & take);
                count -= take;
            }
        }
        for (int l = 0; l < W && first + l < lines; ++l) {
            total = total + sum[l] / static_cast<int32_t>(count[l]);
        }
    }
    return mexgeom::canonical(total);
}

// The response of the segment from a to b, one offset line at a time with W steps side by side.
template <int W, typename T, mexgeom::Layout L>
double segmentSteps(const mexgeom::Grid<T, L>& image, const int32_t* size, const double* h,
                    int32_t m, const double* a, const double* b) {
    using Doubles = typename Lanes<W>::Doubles;
    using Mask = typename Lanes<W>::Mask;
    constexpr int32_t kStretch = 16;  // vectors of W steps
    Stretch<T, L, W, kStretch> stretch(image, size, a, b);
    const Strip& g = stretch.g;
    Doubles lane = {};
    for (int l = 0; l < W; ++l) lane[l] = l;

    double total = 0;
    for (int64_t i = -static_cast<int64_t>(m); i <= m; ++i) {
        const OffsetLine line = offsetLine(g, h, m, i);
        // Lanes left out of a step read the elements about (0, 0) instead, which must exist.
        const int32_t end = g.readable ? line.span.end : line.span.begin;
        const double last = end;
        // Steps past the span's end take no sample; the lanes of a step that is not inside add
        // zeros, which change no sum (as in segmentLanes).
        double sum = 0;
        Mask count = {};
        for (int64_t j0 = line.span.begin; j0 < end; j0 += W * kStretch) {
            const int64_t vectors = (end - j0 + W - 1) / W;
            const int32_t placed = static_cast<int32_t>(vectors < kStretch ? vectors : kStretch);
            for (int32_t s = 0; s < placed; ++s) {
                const Doubles j = static_cast<double>(j0 + s * W) + lane;
                stretch.place(s, position(j, g.d1, line.shift1, g.a1),
                              position(j, g.d2, line.shift2, g.a2), j < last);
            }
            for (int32_t s = 0; s < placed; ++s) {
                Mask take;
                const Doubles v = stretch.read(s, take);
                const Doubles products = (Doubles)((Mask)(line.w * v) & take);
                for (int l = 0; l < W; ++l) sum = sum + products[l];
                count -= take;
            }
        }
        int32_t counted = 0;
        for (int l = 0; l < W; ++l) counted += static_cast<int32_t>(count[l]);
        total = total + sum / counted;
    }
    return mexgeom::canonical(total);
}

// Each segment of a batch in turn, its end points turned 0-based, by segment(image, size, a, b),
// image a Grid: the layout and the element type dispatched once.
template <typename Segment>
void forEachSegment(const Segments& s, Segment segment) {
    mexgeom::withLayout(mexgeom::layoutOf(s.image), [&](auto layout) {
        mexgeom::withGrid<decltype(layout)::value>(s.image, [&](const auto& image) {
            const int32_t size[2] = {s.image.rows, s.image.columns};
            for (std::size_t k = 0; k < s.K; ++k) {
                const double a[2] = {s.u1[2 * k] - s.origin, s.u1[2 * k + 1] - s.origin};
                const double b[2] = {s.u2[2 * k] - s.origin, s.u2[2 * k + 1] - s.origin};
                s.responses[k] = segment(image, size, a, b);
            }
        });
    });
}

// The batch with W offset lines side by side when they fill at least 80 % of the lanes they
// occupy, else with W steps side by side. Measured on the standard workload's segments with 1 to
// 21 taps: the steps side by side took a third of the time of the lines for 1 tap and 60 to 90 %
// for 3, 5 and 9 taps; the lines were 10 to 30 % faster for 7 and 15 taps on eight lanes, and
// about as fast for 7 and 11 taps on four.
template <int W>
void filterAllLanes(const Segments& s) {
    const int64_t lines = 2 * static_cast<int64_t>(s.m) + 1;
    const int64_t occupied = (lines + W - 1) / W * W;
    if (5 * lines >= 4 * occupied) {
        forEachSegment(
            s, [&](const auto& image, const int32_t* size, const double* a, const double* b) {
                return segmentLanes<W>(image, size, s.h, s.m, a, b);
            });
    } else {
        forEachSegment(
            s, [&](const auto& image, const int32_t* size, const double* a, const double* b) {
                return segmentSteps<W>(image, size, s.h, s.m, a, b);
            });
    }
}

}  // namespace
}  // namespace stripfilt
