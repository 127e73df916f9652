// The standard workloads of the benchmarks, seeded so that every run times the same data.
//
//   patchcorr   1024 x 1024 image pair, 20,000 points, a 15 x 15 window, affine or perspective H
//   stripfilt   1024 x 1024 image, 20,000 segments of length 10 to 100, 7 taps
//   pluckresid  10,000 cameras
//   xprod3      10^6 column pairs;  hesseform  10^6 lines
//
// Each maker takes its size, so that the smoke test can run the same code on a small workload.
// Images hold whole numbers 0 to 255, so a double image and its uint8 copy give the same answers.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace bench {

struct Image {
    int32_t rows = 0, columns = 0;
    std::vector<double> values;  // column-major
    std::vector<uint8_t> bytes;  // the same values
};

// A smooth texture with noise, seen through the inverse of the 3 x 3 map G (column-major,
// 1-based coordinates): the image at (s, t) shows the texture at G^-1 (s, t). G = identity
// gives the texture itself; with patchcorr's H as G the second image matches the first under H.
inline Image texture(int32_t rows, int32_t columns, const double* G, uint64_t seed) {
    // Inverse of G by its adjugate; the scale does not matter for a homography.
    const double a = G[0], b = G[3], c = G[6], d = G[1], e = G[4], f = G[7], g = G[2], h = G[5],
                 i = G[8];
    const double inv[9] = {e * i - f * h, f * g - d * i, d * h - e * g,
                           c * h - b * i, a * i - c * g, b * g - a * h,
                           b * f - c * e, c * d - a * f, a * e - b * d};
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> noise(-12, 12);
    Image im;
    im.rows = rows;
    im.columns = columns;
    im.values.resize(static_cast<std::size_t>(rows) * columns);
    im.bytes.resize(im.values.size());
    for (int32_t col = 0; col < columns; ++col) {
        for (int32_t row = 0; row < rows; ++row) {
            const double s1 = row + 1.0, t1 = col + 1.0;
            const double w = inv[2] * s1 + inv[5] * t1 + inv[8];
            const double s = (inv[0] * s1 + inv[3] * t1 + inv[6]) / w;
            const double t = (inv[1] * s1 + inv[4] * t1 + inv[7]) / w;
            const double v = 128 + 45 * std::sin(0.11 * s + 0.07 * t) +
                             35 * std::sin(0.05 * s - 0.13 * t + 1) +
                             20 * std::sin(0.31 * s + 0.23 * t + 2) + noise(random);
            const std::size_t k =
                static_cast<std::size_t>(row) + static_cast<std::size_t>(col) * rows;
            im.values[k] = std::clamp(std::round(v), 0.0, 255.0);
            im.bytes[k] = static_cast<uint8_t>(im.values[k]);
        }
    }
    return im;
}

inline const double kIdentity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};

// patchcorr's two maps (column-major): a small rotation, scaling and shift, and the same with a
// perspective row.
inline const double kAffine[9] = {0.98, -0.04, 0, 0.05, 1.01, 0, 6, -4, 1};
inline const double kPerspective[9] = {0.98, -0.04, 2e-5, 0.05, 1.01, -1e-5, 6, -4, 1};

struct PatchcorrWorkload {
    Image X, Yaffine, Yperspective;
    std::vector<double> W;  // 3 x nW: row offset, column offset, weight
    std::vector<double> u;  // 2 x K, 1-based
    int32_t nW = 0;
    std::size_t K = 0;
};

// A (2 half + 1)^2 window with Gaussian weights, and K points spread over the whole image (those
// near the border lose part of their window).
inline PatchcorrWorkload patchcorrWorkload(int32_t side, std::size_t K, int32_t half) {
    PatchcorrWorkload w;
    w.X = texture(side, side, kIdentity, 1);
    w.Yaffine = texture(side, side, kAffine, 2);
    w.Yperspective = texture(side, side, kPerspective, 3);
    for (int32_t dc = -half; dc <= half; ++dc) {
        for (int32_t dr = -half; dr <= half; ++dr) {
            w.W.insert(w.W.end(), {double(dr), double(dc), std::exp(-(dr * dr + dc * dc) / 32.0)});
        }
    }
    w.nW = (2 * half + 1) * (2 * half + 1);
    std::mt19937_64 random(4);
    std::uniform_real_distribution<double> along(1, side);
    w.K = K;
    for (std::size_t k = 0; k < 2 * K; ++k) w.u.push_back(along(random));
    return w;
}

struct StripfiltWorkload {
    Image I;
    std::vector<double> h;       // the taps
    std::vector<double> u1, u2;  // 2 x K each, 1-based
    std::size_t K = 0;
    double samples = 0;  // strip samples of the whole call: taps times steps, summed over segments
};

// Segments of length 10 to 100 in every direction, starting anywhere in the image (some run
// out of it), and a 7-tap derivative filter.
inline StripfiltWorkload stripfiltWorkload(int32_t side, std::size_t K) {
    StripfiltWorkload w;
    w.I = texture(side, side, kIdentity, 5);
    w.h = {-1, -4, -5, 0, 5, 4, 1};
    std::mt19937_64 random(6);
    std::uniform_real_distribution<double> along(1, side), length(10, 100),
        angle(0, 6.283185307179586);
    w.K = K;
    for (std::size_t k = 0; k < K; ++k) {
        const double r = along(random), c = along(random), L = length(random), a = angle(random);
        w.u1.insert(w.u1.end(), {r, c});
        w.u2.insert(w.u2.end(), {r + L * std::cos(a), c + L * std::sin(a)});
        const double e1 = w.u2[2 * k] - r, e2 = w.u2[2 * k + 1] - c;
        w.samples +=
            static_cast<double>(w.h.size()) * std::floor(std::sqrt(e1 * e1 + e2 * e2) + 0.5);
    }
    return w;
}

struct PluckresidWorkload {
    std::vector<double> x, A, T, E;  // 4, 6 x 3 x N, 3 x 4 x 2, 2 x N x 2
    int32_t N = 0;
};

inline PluckresidWorkload pluckresidWorkload(int32_t N) {
    PluckresidWorkload w;
    std::mt19937_64 random(7);
    std::normal_distribution<double> normal;
    std::uniform_real_distribution<double> pixel(0, 1000);
    w.N = N;
    for (int k = 0; k < 4; ++k) w.x.push_back(normal(random));
    for (int k = 0; k < 24; ++k) w.T.push_back(normal(random));
    for (std::size_t k = 0; k < 18 * static_cast<std::size_t>(N); ++k)
        w.A.push_back(normal(random));
    for (std::size_t k = 0; k < 4 * static_cast<std::size_t>(N); ++k) w.E.push_back(pixel(random));
    return w;
}

// n standard normal numbers: the columns of xprod3 (3 x n) or the lines of hesseform (n x 3).
inline std::vector<double> normals(std::size_t n, uint64_t seed) {
    std::mt19937_64 random(seed);
    std::normal_distribution<double> normal;
    std::vector<double> v(n);
    for (double& x : v) x = normal(random);
    return v;
}

}  // namespace bench
