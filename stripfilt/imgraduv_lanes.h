// The response of a segment over W lanes, with its offset lines (strip.h) side by side: each lane
// walks its own line step by step and keeps its own sum and count in the line's order, so that the
// response has exactly the bits of the line-by-line loop (imgraduv.cpp, the baseline). Included by
// imgraduv.cpp and by one file per instruction set, each built for its own target:
// imgraduv_avx2.cpp and imgraduv_avx512.cpp.
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

// The response of the segment from a to b, with W offset lines at a time side by side.
template <int W, typename T>
double segmentLanes(const T* image, const int32_t* size, const double* h, int32_t m,
                    const double* a, const double* b) {
    using Doubles = typename Lanes<W>::Doubles;
    using Mask = typename Lanes<W>::Mask;
    const mexgeom::LaneSampler<T, W> sampler = {image, size[0]};
    const double limit1 = insideLimit(size[0]), limit2 = insideLimit(size[1]);
    const double a1 = a[0], a2 = a[1];
    const double e1 = b[0] - a1, e2 = b[1] - a2;
    const double L = __builtin_sqrt(e1 * e1 + e2 * e2);
    const int32_t n = sampleCount(L);
    const double d1 = e1 / L, d2 = e2 / L;
    // With fewer than 2 rows or columns no position is inside; and the lanes left out of a step
    // read the elements about (0, 0) instead, which then exist.
    const bool readable = size[0] >= 2 && size[1] >= 2;

    constexpr int32_t kStretch = 32;
    alignas(64) int64_t offset[kStretch][W];
    Doubles f1[kStretch], f2[kStretch];
    Mask in[kStretch];

    // Offset i runs along the normal (-d2, d1); tap i + m belongs to it. Each line is averaged
    // over its own count, and a line without a counted sample makes the total 0 / 0, a NaN.
    const int64_t lines = 2 * static_cast<int64_t>(m) + 1;
    double total = 0;
    for (int64_t first = 0; first < lines; first += W) {
        // Lane l holds line i = first + l - m; lanes past the last line take no sample.
        Doubles shift1 = {}, shift2 = {}, w = {};
        Mask used = {};
        int32_t begin = n, end = 0;
        for (int l = 0; l < W && first + l < lines; ++l) {
            const double i = static_cast<double>(first + l - m);
            w[l] = h[first + l];
            shift1[l] = -d2 * i;
            shift2[l] = i * d1;
            used[l] = -1;
            // Only the steps inside the image along both axes can count; the lanes' union of
            // them is walked, and each lane tests its own positions again.
            const Span s1 = insideSpan(n, d1, shift1[l], a1, limit1);
            const Span s2 = insideSpan(n, d2, shift2[l], a2, limit2);
            const int32_t b0 = s1.begin > s2.begin ? s1.begin : s2.begin;
            const int32_t e0 = s1.end < s2.end ? s1.end : s2.end;
            if (b0 < e0) {
                begin = b0 < begin ? b0 : begin;
                end = e0 > end ? e0 : end;
            }
        }
        if (!readable) end = begin;

        // Lanes left out of a step add zeros, which change no sum: a sum that starts at +0 never
        // becomes -0, and x + 0 = x for every other x, NaN and infinities included.
        Doubles sum = {};
        Mask count = {};
        // 64-bit steps: a stretch may end past the last 32-bit step of a long segment.
        for (int64_t j0 = begin; j0 < end; j0 += kStretch) {
            const int32_t stretch = static_cast<int32_t>(end - j0 < kStretch ? end - j0 : kStretch);
            for (int32_t s = 0; s < stretch; ++s) {
                const double j = static_cast<double>(j0 + s);
                const Doubles p1 = position(j, d1, shift1, a1), p2 = position(j, d2, shift2, a2);
                // A NaN position fails every comparison and is left out like one outside.
                const Mask inside = (p1 > -1) & (p1 < limit1) & (p2 > -1) & (p2 < limit2) & used;
                in[s] = inside;
                sampler.locate(inside ? p1 : Doubles{}, inside ? p2 : Doubles{}, offset[s], f1[s],
                               f2[s]);
            }
            for (int32_t s = 0; s < stretch; ++s) {
                const Doubles v = sampler.bilinear(offset[s], f1[s], f2[s]);
                const Mask take = in[s] & (v != kOutside);
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

// Each segment of a batch in turn, its end points turned 0-based, by segment(image, size, a, b),
// the element type dispatched once.
template <typename Segment>
void forEachSegment(const Segments& s, Segment segment) {
    mexgeom::withElements(s.image, [&](const auto* image) {
        const int32_t size[2] = {s.image.rows, s.image.columns};
        for (std::size_t k = 0; k < s.K; ++k) {
            const double a[2] = {s.u1[2 * k] - s.origin, s.u1[2 * k + 1] - s.origin};
            const double b[2] = {s.u2[2 * k] - s.origin, s.u2[2 * k + 1] - s.origin};
            s.responses[k] = segment(image, size, a, b);
        }
    });
}

// The batch with W offset lines side by side.
template <int W>
void filterAllLanes(const Segments& s) {
    forEachSegment(s,
                   [&](const auto* image, const int32_t* size, const double* a, const double* b) {
                       return segmentLanes<W>(image, size, s.h, s.m, a, b);
                   });
}

}  // namespace
}  // namespace stripfilt
