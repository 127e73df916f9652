// The computation of patchcorr in one place, written once over the number type: a double for one
// point (Htimes, dhom, the prefetch plan) or a vector of lanes for one point per lane (the batch
// scorer, ncc_lanes.h), each forming its terms in the order written here. For a point u:
//   1. the local map of H at u: the centre c = (g1 / g3, g2 / g3), g = H [u; 1], and the Jacobian
//      J of the inhomogeneous image there;
//   2. for each window column (dr, dc, w): the sample positions u + (dr, dc) in X and
//      c + J (dr, dc) in Y, used when both lie inside their images (ncc_lanes.h reads them);
//   3. the weighted moments of the used samples, and from them the score.
//
// Internal linkage: a copy built for AVX-512 must never be the one that a baseline caller gets.
#pragma once

#include <cstdint>

namespace patchcorr {
namespace {

// g = H [s; t; 1], H column-major 3 x 3.
template <typename Number>
[[gnu::always_inline]] inline void homographyStep(const double* H, Number s, Number t, Number* g) {
    g[0] = H[0] * s + H[3] * t + H[6];
    g[1] = H[1] * s + H[4] * t + H[7];
    g[2] = H[2] * s + H[5] * t + H[8];
}

// The local affine approximation of H at (s, t): the centre (c1, c2) = (g1 / g3, g2 / g3) and the
// Jacobian J (column-major 2 x 2) of the inhomogeneous image with respect to (s, t). No test of
// g3 against zero.
template <typename Number>
struct LocalMap {
    Number c1, c2;
    Number J[4];
};

template <typename Number>
[[gnu::always_inline]] inline LocalMap<Number> localMap(const double* H, Number s, Number t) {
    Number g[3];
    homographyStep(H, s, t, g);
    const Number c1 = g[0] / g[2], c2 = g[1] / g[2];
    return {c1,
            c2,
            {(H[0] - c1 * H[2]) / g[2], (H[1] - c2 * H[2]) / g[2], (H[3] - c1 * H[5]) / g[2],
             (H[4] - c2 * H[5]) / g[2]}};
}

// The 0-based positions of the window sample at the offsets (dr, dc): (pX, qX) in X about the
// point u, (pY, qY) in Y about the centre of the local map.
template <typename Number>
struct SamplePositions {
    Number pX, qX, pY, qY;
};

template <typename Number>
[[gnu::always_inline]] inline SamplePositions<Number> samplePositions(const LocalMap<Number>& map,
                                                                      Number u1, Number u2,
                                                                      double dr, double dc) {
    return {(dr + u1) - 1, (dc + u2) - 1, (map.J[0] * dr + map.J[2] * dc + map.c1) - 1,
            (map.J[1] * dr + map.J[3] * dc + map.c2) - 1};
}

// Fewer used samples than this leave a score undefined: the coefficient of two samples is always
// +1 or -1, whatever the windows hold.
constexpr int64_t kMinimumSamples = 3;

// A window is flat, and its score undefined, when the weighted variance of its values is at most
// this. Absolute, in squared image units (0 to 255 for bytes): it keeps a window of equal values,
// whose variance rounding leaves a little above or below 0, from scoring noise.
constexpr double kFlatness = 1e-9;

// The score from the sums over the n used samples of w, w x, w y, w x^2, w y^2 and w x y:
// `undefined` for too few samples, a flat window or a score that is not a number. A NaN variance
// counts as flat.
inline double scoreFromSums(int64_t n, double Sw, double Sx, double Sy, double Sxx, double Syy,
                            double Sxy, double undefined) {
    if (n < kMinimumSamples) return undefined;
    const double mx = Sx / Sw, my = Sy / Sw;
    const double vx = Sxx / Sw - mx * mx;
    const double vy = Syy / Sw - my * my;
    const double cxy = Sxy / Sw - mx * my;
    if (!(vx > kFlatness && vy > kFlatness)) return undefined;
    const double score = cxy / __builtin_sqrt(vx * vy);
    return score == score ? score : undefined;
}

}  // namespace
}  // namespace patchcorr
