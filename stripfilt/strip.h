// The geometry of stripfilt in one place, for one offset line or for one per lane (the kernel,
// imgraduv_lanes.h). For the segment from a to b, with n = its length rounded half up and d its
// unit direction:
//   1. offset line i (i = -m .. m) runs along the segment shifted by i along the normal (-d2, d1);
//      tap i + m belongs to it;
//   2. its samples lie at steps j = 0 .. n - 1 from a's shift, read bilinearly where they lie
//      inside the image (-1 < p < size - 1 along each axis);
//   3. each line's counted samples are averaged, the average weighted by the line's tap, and the
//      weighted averages summed; a line without a counted sample makes the sum NaN.
//
// Internal linkage: a copy built for AVX-512 must never be the one that a baseline caller gets.
#pragma once

#include <cstdint>

namespace stripfilt {
namespace {

// The sampler's value for a position outside the image. The averages leave out every sample of
// this value, so an inside sample that interpolates to exactly -1234567 is left out as well.
constexpr double kOutside = -1234567;

// Samples per offset line: the length rounded half up (2.5 gives 3, 0.49 gives 0). A NaN or
// infinite length, or one whose rounding leaves the 32-bit range, takes no samples; testing
// before converting keeps the conversion defined.
inline int32_t sampleCount(double L) {
    const double rounded = L + 0.5;
    if (!(L > 0) || !(rounded < 2147483648.0)) return 0;
    return static_cast<int32_t>(rounded);
}

// Position on one axis at step j of an offset line: (j * d + c) + a, c the line's sideways shift,
// for one step of one line, one line per lane or one step per lane. The visited range and the
// samples all go through here, so that they agree to the bit.
template <typename Step, typename Number>
[[gnu::always_inline]] inline auto position(Step j, double d, Number c, double a) {
    return (j * d + c) + a;
}

// Inside along one axis: the truncated index t satisfies 0 <= t <= size - 2, so that t and t + 1
// are both elements. With size >= 2 that is -1 < p < size - 1; an axis of fewer than two elements
// has no inside position at all (its limit is -1). False for NaN, so no undefined conversion
// follows.
inline double insideLimit(int32_t size) {
    return size >= 2 ? size - 1.0 : -1.0;
}

inline bool inside(double p, double limit) {
    return p > -1 && p < limit;
}

struct Span {
    int32_t begin, end;
};

// The first j in [0, n) for which pred holds, pred being false and then true along j; n if none.
template <typename Pred>
int32_t firstTrue(int32_t n, Pred pred) {
    int32_t lo = 0, hi = n;
    while (lo < hi) {
        const int32_t mid = lo + (hi - lo) / 2;
        if (pred(mid)) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    return lo;
}

// The steps j in [0, n) whose position on one axis is inside. Rounding preserves order, so the
// computed position is monotone in j (non-decreasing for d >= 0, non-increasing otherwise) and
// these steps form one interval, which bisection on the very same expression finds exactly. A
// long segment crossing the image thus costs its inside samples, not its length.
inline Span insideSpan(int32_t n, double d, double c, double a, double limit) {
    auto at = [&](int32_t j) { return position(j, d, c, a); };
    if (n == 0 || (inside(at(0), limit) && inside(at(n - 1), limit))) return {0, n};
    if (d >= 0) {
        return {firstTrue(n, [&](int32_t j) { return at(j) > -1; }),
                firstTrue(n, [&](int32_t j) { return at(j) >= limit; })};
    }
    return {firstTrue(n, [&](int32_t j) { return at(j) < limit; }),
            firstTrue(n, [&](int32_t j) { return at(j) <= -1; })};
}

// The segment from a to b as its offset lines share it: its start (a1, a2), its unit direction
// (d1, d2), its n steps, and the inside limits of the image along each axis. With fewer than 2 rows
// or columns (not readable) no position is inside.
struct Strip {
    double a1, a2, d1, d2;
    int32_t n;
    double limit1, limit2;
    bool readable;
};

inline Strip stripOf(const int32_t* size, const double* a, const double* b) {
    const double e1 = b[0] - a[0], e2 = b[1] - a[1];
    const double L = __builtin_sqrt(e1 * e1 + e2 * e2);
    const double limit1 = insideLimit(size[0]), limit2 = insideLimit(size[1]);
    const bool readable = size[0] >= 2 && size[1] >= 2;
    return {a[0], a[1], e1 / L, e2 / L, sampleCount(L), limit1, limit2, readable};
}

// Offset line i (i = -m .. m): its tap h[i + m], its shift i (-d2, d1) along the normal, and the
// steps whose position is inside along both axes.
struct OffsetLine {
    double w, shift1, shift2;
    Span span;
};

inline OffsetLine offsetLine(const Strip& g, const double* h, int64_t m, int64_t i) {
    const double shift1 = -g.d2 * static_cast<double>(i), shift2 = static_cast<double>(i) * g.d1;
    const Span s1 = insideSpan(g.n, g.d1, shift1, g.a1, g.limit1);
    const Span s2 = insideSpan(g.n, g.d2, shift2, g.a2, g.limit2);
    const Span both = {s1.begin > s2.begin ? s1.begin : s2.begin,
                       s1.end < s2.end ? s1.end : s2.end};
    return {h[i + m], shift1, shift2, both};
}

}  // namespace
}  // namespace stripfilt
