#include "imgraduv.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace stripfilt {

namespace {

// The sampler's value for a position outside the image. The averages leave out every sample of
// this value, so an inside sample that interpolates to exactly -1234567 is left out as well.
constexpr double kOutside = -1234567;

// Samples per offset line: the length rounded half up (2.5 gives 3, 0.49 gives 0). A NaN or
// infinite length, or one whose rounding leaves the 32-bit range, takes no samples; testing
// before converting keeps the conversion defined.
int32_t sampleCount(double L) {
    const double rounded = L + 0.5;
    if (!(L > 0) || !(rounded < 2147483648.0)) return 0;
    return static_cast<int32_t>(rounded);
}

// Position on one axis at step j of an offset line: (j * d + c) + a, c the line's sideways shift.
// The visited range and the samples both go through here, so that they agree to the bit.
inline double position(double j, double d, double c, double a) {
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
Span insideSpan(int32_t n, double d, double c, double a, double limit) {
    auto at = [&](int32_t j) { return position(j, d, c, a); };
    if (n == 0 || (inside(at(0), limit) && inside(at(n - 1), limit))) return {0, n};
    if (d >= 0) {
        return {firstTrue(n, [&](int32_t j) { return at(j) > -1; }),
                firstTrue(n, [&](int32_t j) { return at(j) >= limit; })};
    }
    return {firstTrue(n, [&](int32_t j) { return at(j) < limit; }),
            firstTrue(n, [&](int32_t j) { return at(j) <= -1; })};
}

// Bilinear value at an inside position: t = p truncated toward zero, f = p - t (negative between
// -1 and 0, which extrapolates from indexes 0 and 1), interpolated along the rows first.
template <typename T>
inline double bilinear(const T* I, std::size_t rows, double p1, double p2) {
    const int32_t t1 = static_cast<int32_t>(p1), t2 = static_cast<int32_t>(p2);
    const double f1 = p1 - t1, f2 = p2 - t2;
    const T* e = I + (static_cast<std::size_t>(t1) + static_cast<std::size_t>(t2) * rows);
    const double e00 = e[0], e10 = e[1], e01 = e[rows], e11 = e[rows + 1];
    return (1 - f2) * ((1 - f1) * e00 + f1 * e10) + f2 * ((1 - f1) * e01 + f1 * e11);
}

}  // namespace

template <typename T>
double imgraduv(const T* I, const int32_t* size, const double* h, int32_t m, const double* a,
                const double* b) {
    const std::size_t rows = static_cast<std::size_t>(size[0]);
    const double limit1 = insideLimit(size[0]), limit2 = insideLimit(size[1]);
    const double a1 = a[0], a2 = a[1];
    const double e1 = b[0] - a1, e2 = b[1] - a2;
    const double L = std::sqrt(e1 * e1 + e2 * e2);
    const int32_t n = sampleCount(L);
    const double d1 = e1 / L, d2 = e2 / L;

    // Offset i runs along the normal (-d2, d1); tap i + m belongs to it. Each line is averaged
    // over its own count, and a line without a counted sample makes the total 0 / 0, a NaN.
    double total = 0;
    for (int64_t i = -static_cast<int64_t>(m); i <= m; ++i) {
        const double w = h[i + m];
        const double shift1 = -d2 * static_cast<double>(i), shift2 = static_cast<double>(i) * d1;
        const Span s1 = insideSpan(n, d1, shift1, a1, limit1);
        const Span s2 = insideSpan(n, d2, shift2, a2, limit2);
        const int32_t begin = std::max(s1.begin, s2.begin), end = std::min(s1.end, s2.end);
        double sum = 0;
        int32_t count = 0;
        for (int32_t j = begin; j < end; ++j) {
            const double p1 = position(j, d1, shift1, a1), p2 = position(j, d2, shift2, a2);
            if (!inside(p1, limit1) || !inside(p2, limit2)) continue;
            const double v = bilinear(I, rows, p1, p2);
            if (v == kOutside) continue;
            sum = sum + w * v;
            ++count;
        }
        total = total + sum / count;
    }
    return total;
}

template double imgraduv<double>(const double*, const int32_t*, const double*, int32_t,
                                 const double*, const double*);
template double imgraduv<uint8_t>(const uint8_t*, const int32_t*, const double*, int32_t,
                                  const double*, const double*);

double imgraduv(const void* I, const int32_t* size, const double* h, int32_t m, const double* a,
                const double* b, int32_t kind) {
    if (kind == kDouble) return imgraduv(static_cast<const double*>(I), size, h, m, a, b);
    return imgraduv(static_cast<const uint8_t*>(I), size, h, m, a, b);
}

}  // namespace stripfilt
