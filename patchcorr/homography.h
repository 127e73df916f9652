// The homography step of patchcorr in one place, written once over the number type: a double for
// one point (Htimes, dhom, the prefetch plan) or a vector of lanes for one point per lane (the
// batch scorer), each forming its terms in the order written here.
//
// Internal linkage: a copy built for AVX-512 must never be the one that a baseline caller gets.
#pragma once

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

}  // namespace
}  // namespace patchcorr
