// The batch scorer of patchcorr, written once over W lanes: W points are scored side by side, one
// window sample at a time, each lane keeping its own point's sums in the window's order and
// forming each step as correlation.h writes it, so that every score has exactly the bits of the
// one-point loop. The prefetching of the next points' windows sits beside it. Included by one file
// per instruction set, each built for its own target: ncc.cpp (the baseline: SSE2 on x86),
// ncc_avx2.cpp and ncc_avx512.cpp.
//
// Every function here has internal linkage and calls no inline library function: a copy built for
// AVX-512 must never be the one that a baseline caller ends up with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "correlation.h"
#include "lanes.h"
#include "sampler.h"

#include "ncc.h"

namespace patchcorr {

// The arguments of one batch call.
struct Batch {
    mexgeom::ImageView X, Y;
    const double* u;  // 2 x K
    std::size_t K;
    const double* H;
    const double* W;  // 3 x nW
    int32_t nW;
    int mode;
    double undefined;  // the score where it is undefined: the host's NaN
    double* scores;    // K
};

void scoreAllBaseline(const Batch& b);
void scoreAllAvx2(const Batch& b);
void scoreAllAvx512(const Batch& b);

namespace {

using mexgeom::Lanes;

// A block of an image to be fetched ahead of its use: `lines` lines (the image's columns or rows)
// `stride` bytes apart, `span` bytes of each from `first` on.
struct Box {
    const char* first = nullptr;
    int64_t stride = 0;
    int64_t lines = 0;
    int64_t span = 0;
};

// Asks the memory system for the next group's windows a few lines at a time, spread over the
// current group's work, so that the requests neither come in one burst nor too late.
template <int N>
struct Prefetcher {
    Box boxes[N];
    int count = 0, current = 0;
    int64_t line = 0;

    void add(const Box& b) {
        if (b.lines > 0 && count < N) boxes[count++] = b;
    }

    void step(int64_t lines) {
        for (; current < count && lines > 0; --lines) {
            const Box& b = boxes[current];
            const char* at = b.first + line * b.stride;
            for (int64_t k = 0; k < b.span; k += 64) __builtin_prefetch(at + k, 0, 2);
            __builtin_prefetch(at + b.span, 0, 2);
            if (++line == b.lines) {
                line = 0;
                ++current;
            }
        }
    }

    int64_t total() const {
        int64_t n = 0;
        for (int k = 0; k < count; ++k) n += boxes[k].lines;
        return n;
    }
};

// The elements of rows r0..r1 in columns c0..c1 of an image of `rows` by `columns`, clamped to
// it, as a box for the prefetcher: its lines along the axis whose neighbours lie nearer each other
// (the columns in kColumns, the rows in kRows), each from its lowest address; empty when the box
// misses the image or a bound is NaN.
template <typename T, mexgeom::Layout L>
Box boxOf(const mexgeom::Grid<T, L>& image, int32_t rows, int32_t columns, double r0, double r1,
          double c0, double c1) {
    const double lastRow = rows - 1.0, lastColumn = columns - 1.0;
    if (!(r0 <= r1 && c0 <= c1 && r1 >= 0 && c1 >= 0 && r0 <= lastRow && c0 <= lastColumn)) {
        return {};
    }
    const int64_t top = static_cast<int64_t>(r0 < 0 ? 0 : r0);
    const int64_t bottom = static_cast<int64_t>(r1 > lastRow ? lastRow : r1);
    const int64_t left = static_cast<int64_t>(c0 < 0 ? 0 : c0);
    const int64_t right = static_cast<int64_t>(c1 > lastColumn ? lastColumn : c1);
    const int64_t down = image.down(), across = image.right();
    bool columnLines = L == mexgeom::Layout::kColumns;
    if constexpr (L == mexgeom::Layout::kStrided) {
        columnLines = (down < 0 ? -down : down) <= (across < 0 ? -across : across);
    }
    // Along a line, `steps` steps of `step` elements; from one line to the next, `apart` elements.
    const int64_t step = columnLines ? down : across, apart = columnLines ? across : down;
    const int64_t steps = columnLines ? bottom - top : right - left;
    const int64_t lines = columnLines ? right - left + 1 : bottom - top + 1;
    const T* lowest = image.first + image.offset(top, left) + (step < 0 ? step * steps : 0);
    constexpr int64_t size = sizeof(T);
    return {reinterpret_cast<const char*>(lowest), size * apart, lines,
            size * (step < 0 ? -step : step) * steps};
}

// The window's extent: the least and greatest row and column offsets of its samples.
struct Extent {
    double dr0, dr1, dc0, dc1;
};

inline Extent extentOf(const double* Wp, int32_t nW) {
    Extent e = {0, 0, 0, 0};
    for (std::size_t j = 0; j < static_cast<std::size_t>(nW); ++j) {
        const double dr = Wp[3 * j], dc = Wp[3 * j + 1];
        if (j == 0 || dr < e.dr0) e.dr0 = dr;
        if (j == 0 || dr > e.dr1) e.dr1 = dr;
        if (j == 0 || dc < e.dc0) e.dc0 = dc;
        if (j == 0 || dc > e.dc1) e.dc1 = dc;
    }
    return e;
}

inline double magnitude(double x) {
    return x < 0 ? -x : x;
}

// The batch with X's elements in x and Y's in y, each of its own element type, both in one layout.
template <bool Bilinear, int W, typename TX, typename TY, mexgeom::Layout L>
void scoreLanes(const Batch& b, const mexgeom::Grid<TX, L>& x, const mexgeom::Grid<TY, L>& y) {
    using Doubles = typename Lanes<W>::Doubles;
    using Mask = typename Lanes<W>::Mask;
    const mexgeom::LaneSampler<TX, W, L> X = {x};
    const mexgeom::LaneSampler<TY, W, L> Y = {y};
    const double limitRX = b.X.rows - 1.0, limitCX = b.X.columns - 1.0;
    const double limitRY = b.Y.rows - 1.0, limitCY = b.Y.columns - 1.0;
    const double* H = b.H;
    const double* Wp = b.W;

    // With fewer than 3 rows or columns in an image no sample is ever inside; and the lanes left
    // out of a sample read element (1, 1), which then exists.
    if (b.X.rows < 3 || b.X.columns < 3 || b.Y.rows < 3 || b.Y.columns < 3) {
        for (std::size_t k = 0; k < b.K; ++k) b.scores[k] = b.undefined;
        return;
    }

    // Prefetching the next group's windows pays when the images do not fit in a core's cache
    // (1 MB or more) and the window is compact: a sparse window spread over a large extent
    // would fetch mostly elements it never reads.
    const Extent e = extentOf(Wp, b.nW);
    const double box = (e.dr1 - e.dr0 + 1) * (e.dc1 - e.dc0 + 1);
    const double bytes = static_cast<double>(sizeof(TX)) * b.X.rows * b.X.columns +
                         static_cast<double>(sizeof(TY)) * b.Y.rows * b.Y.columns;
    const bool prefetch = bytes >= (1 << 20) && b.nW > 0 && box <= 4.0 * b.nW + 64;
    const double reachR = magnitude(e.dr0) > magnitude(e.dr1) ? magnitude(e.dr0) : magnitude(e.dr1);
    const double reachC = magnitude(e.dc0) > magnitude(e.dc1) ? magnitude(e.dc0) : magnitude(e.dc1);

    // The points of a group, as lanes: the last group repeats its last point in the unused
    // lanes, whose scores are not stored.
    auto point = [&](std::size_t k, int coordinate) {
        return b.u[2 * (k < b.K ? k : b.K - 1) + coordinate];
    };
    auto plan = [&](Prefetcher<2 * W>& ahead, std::size_t k0) {
        ahead = {};
        for (std::size_t k = k0; k < k0 + W && k < b.K; ++k) {
            const double u1 = point(k, 0), u2 = point(k, 1);
            ahead.add(boxOf(x, b.X.rows, b.X.columns, u1 + e.dr0 - 1, u1 + e.dr1, u2 + e.dc0 - 1,
                            u2 + e.dc1));
            const LocalMap<double> map = localMap(H, u1, u2);
            const double c1 = map.c1, c2 = map.c2;
            // The offsets' images under the Jacobian stay within these reaches of the centre. The
            // box about them is fetched only when it is about as compact as the window in X: a
            // Jacobian that stretches or flattens the window (rank-deficient: one reach 0, the
            // other as wide as Y) would fetch mostly elements the window never reads.
            const double rr = magnitude(map.J[0]) * reachR + magnitude(map.J[2]) * reachC;
            const double rc = magnitude(map.J[1]) * reachR + magnitude(map.J[3]) * reachC;
            if ((2 * rr + 2) * (2 * rc + 2) <= 4 * box + 64) {
                ahead.add(
                    boxOf(y, b.Y.rows, b.Y.columns, c1 - rr - 1, c1 + rr, c2 - rc - 1, c2 + rc));
            }
        }
    };

    // Where each lane samples, for a stretch of the window at a time.
    constexpr int32_t kStretch = 32;
    const int64_t stretches = (static_cast<int64_t>(b.nW) + kStretch - 1) / kStretch;
    alignas(64) int64_t offsetX[kStretch][W], offsetY[kStretch][W];
    Doubles frX[kStretch], fcX[kStretch], frY[kStretch], fcY[kStretch];
    Mask inside[kStretch];

    const Doubles one = Doubles{} + 1;
    Prefetcher<2 * W> ahead;
    int64_t perStretch = 0;
    for (std::size_t k0 = 0; k0 < b.K; k0 += W) {
        ahead.step(INT64_MAX);  // whatever is left of this group's
        if (prefetch && k0 + W < b.K) {
            plan(ahead, k0 + W);
            perStretch = ahead.total() / stretches + 1;
        }

        Doubles u1 = {}, u2 = {};
        for (int l = 0; l < W; ++l) {
            u1[l] = point(k0 + l, 0);
            u2[l] = point(k0 + l, 1);
        }
        // Centre in Y (1-based) and the Jacobian there, as Htimes and dhom form them.
        const LocalMap<Doubles> map = localMap(H, u1, u2);

        // Lanes left out of a sample add zeros, which change no sum: a sum that starts at +0
        // never becomes -0, and x + 0 = x for every other x, NaN and infinities included.
        Mask n = {};
        Doubles Sw = {}, Sx = {}, Sy = {}, Sxx = {}, Syy = {}, Sxy = {};
        for (int64_t j0 = 0; j0 < b.nW; j0 += kStretch) {
            const int32_t stretch =
                static_cast<int32_t>(b.nW - j0 < kStretch ? b.nW - j0 : kStretch);
            for (int32_t s = 0; s < stretch; ++s) {
                const double* column = Wp + 3 * (static_cast<std::size_t>(j0) + s);
                const auto [pX, qX, pY, qY] = samplePositions(map, u1, u2, column[0], column[1]);
                // A NaN position fails every comparison and is left out like one outside.
                const Mask in = (pX >= 1) & (qX >= 1) & (pX < limitRX) & (qX < limitCX) &
                                (pY >= 1) & (qY >= 1) & (pY < limitRY) & (qY < limitCY);
                inside[s] = in;
                // Lanes left out read element (1, 1) instead.
                X.locate(in ? pX : one, in ? qX : one, offsetX[s], frX[s], fcX[s]);
                Y.locate(in ? pY : one, in ? qY : one, offsetY[s], frY[s], fcY[s]);
            }
            ahead.step(perStretch);
            for (int32_t s = 0; s < stretch; ++s) {
                const double w = Wp[3 * (static_cast<std::size_t>(j0) + s) + 2];
                Doubles x, y;
                if constexpr (Bilinear) {
                    x = X.bilinear(offsetX[s], frX[s], fcX[s]);
                    y = Y.bilinear(offsetY[s], frY[s], fcY[s]);
                } else {
                    x = X.nearest(offsetX[s]);
                    y = Y.nearest(offsetY[s]);
                }
                const Mask in = inside[s];
                const Doubles wx = w * x, wy = w * y;
                n -= in;
                Sw += (Doubles)((Mask)(Doubles{} + w) & in);
                Sx += (Doubles)((Mask)wx & in);
                Sy += (Doubles)((Mask)wy & in);
                Sxx += (Doubles)((Mask)(wx * x) & in);
                Syy += (Doubles)((Mask)(wy * y) & in);
                Sxy += (Doubles)((Mask)(wx * y) & in);
            }
        }
        for (int l = 0; l < W && k0 + l < b.K; ++l) {
            b.scores[k0 + l] =
                scoreFromSums(n[l], Sw[l], Sx[l], Sy[l], Sxx[l], Syy[l], Sxy[l], b.undefined);
        }
    }
}

// The images' layout, the element types of the two and the mode, dispatched once for the whole
// batch.
template <int W>
void scoreAllLanes(const Batch& b) {
    mexgeom::withLayout(mexgeom::layoutOf(b.X, b.Y), [&](auto layout) {
        constexpr mexgeom::Layout L = decltype(layout)::value;
        mexgeom::withGrid<L>(b.X, [&](const auto& x) {
            mexgeom::withGrid<L>(b.Y, [&](const auto& y) {
                b.mode == kBilinear ? scoreLanes<true, W>(b, x, y) : scoreLanes<false, W>(b, x, y);
            });
        });
    });
}

}  // namespace
}  // namespace patchcorr
