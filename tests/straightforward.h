// The kernels written as plainly as their algorithms read: one point, camera, column or line at a
// time, every sum in its documented order, no specialisation and no vector instructions. The
// optimised kernels must give exactly these bits (kernel tests), and the benchmarks time them as
// the baseline of their speed-ups.
#pragma once

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace straightforward {

// patchcorr: the weighted correlation of the window W about the point u of X with the window
// about the image of u under H (through its local affine approximation) in Y; `undefined` where
// the score is undefined or not a number.
inline double element(const void* I, int kind, std::size_t index) {
    return kind == 0 ? static_cast<const double*>(I)[index]
                     : static_cast<double>(static_cast<const uint8_t*>(I)[index]);
}

inline double sample(const void* I, const int32_t* size, int kind, double p, double q, int mode) {
    const int32_t r = static_cast<int32_t>(p), c = static_cast<int32_t>(q);
    const std::size_t rows = static_cast<std::size_t>(size[0]);
    const std::size_t at = static_cast<std::size_t>(r) + static_cast<std::size_t>(c) * rows;
    if (mode != 1) return element(I, kind, at);
    const double fr = p - r, fc = q - c;
    return (1 - fc) * ((1 - fr) * element(I, kind, at) + fr * element(I, kind, at + 1)) +
           fc * ((1 - fr) * element(I, kind, at + rows) + fr * element(I, kind, at + rows + 1));
}

inline double ncc(const void* X, const int32_t* sizeX, int kindX, const void* Y,
                  const int32_t* sizeY, int kindY, const double* u, const double* H,
                  const double* W, int32_t nW, int mode, double undefined) {
    const double g1 = H[0] * u[0] + H[3] * u[1] + H[6];
    const double g2 = H[1] * u[0] + H[4] * u[1] + H[7];
    const double g3 = H[2] * u[0] + H[5] * u[1] + H[8];
    const double c1 = g1 / g3, c2 = g2 / g3;
    const double J[4] = {(H[0] - c1 * H[2]) / g3, (H[1] - c2 * H[2]) / g3, (H[3] - c1 * H[5]) / g3,
                         (H[4] - c2 * H[5]) / g3};
    int32_t n = 0;
    double Sw = 0, Sx = 0, Sy = 0, Sxx = 0, Syy = 0, Sxy = 0;
    for (int32_t j = 0; j < nW; ++j) {
        const double dr = W[3 * j], dc = W[3 * j + 1], w = W[3 * j + 2];
        const double pX = (dr + u[0]) - 1, qX = (dc + u[1]) - 1;
        const double pY = (J[0] * dr + J[2] * dc + c1) - 1;
        const double qY = (J[1] * dr + J[3] * dc + c2) - 1;
        if (!(pX >= 1 && qX >= 1 && pX < sizeX[0] - 1.0 && qX < sizeX[1] - 1.0)) continue;
        if (!(pY >= 1 && qY >= 1 && pY < sizeY[0] - 1.0 && qY < sizeY[1] - 1.0)) continue;
        const double x = sample(X, sizeX, kindX, pX, qX, mode);
        const double y = sample(Y, sizeY, kindY, pY, qY, mode);
        n = n + 1;
        Sw = Sw + w;
        Sx = Sx + w * x;
        Sy = Sy + w * y;
        Sxx = Sxx + w * x * x;
        Syy = Syy + w * y * y;
        Sxy = Sxy + w * x * y;
    }
    if (n <= 2) return undefined;
    const double mx = Sx / Sw, my = Sy / Sw;
    const double vx = Sxx / Sw - mx * mx, vy = Syy / Sw - my * my, cxy = Sxy / Sw - mx * my;
    if (!(vx > 1e-9 && vy > 1e-9)) return undefined;
    const double score = cxy / std::sqrt(vx * vy);
    return std::isnan(score) ? undefined : score;
}

// pluckresid and stripfilt write one NaN (sign set, quiet, no payload) wherever a result is not a
// number, whatever NaNs met to make it.
inline double oneNaN(double x) {
    return std::isnan(x) ? std::bit_cast<double>(UINT64_C(0xFFF8000000000000)) : x;
}

// pluckresid: the residuals r (2N) of the line x, and when J is not null the forward-difference
// Jacobian (2N x 4), each column from its own evaluation at x + 1e-8 e_k.
inline void obj(double* r, const double* x, const double* A, const double* T, const double* E,
                int32_t N) {
    double P[4], Q[4];
    for (int j = 0; j < 4; ++j) {
        P[j] = (T[3 * j] + x[0] * T[3 * j + 1]) + x[1] * T[3 * j + 2];
        Q[j] = (T[12 + 3 * j] + x[2] * T[13 + 3 * j]) + x[3] * T[14 + 3 * j];
    }
    const double L[6] = {P[1] * Q[2] - P[2] * Q[1], P[2] * Q[0] - P[0] * Q[2],
                         P[0] * Q[1] - P[1] * Q[0], P[0] * Q[3] - P[3] * Q[0],
                         P[1] * Q[3] - P[3] * Q[1], P[2] * Q[3] - P[3] * Q[2]};
    for (std::size_t i = 0; i < static_cast<std::size_t>(N); ++i) {
        double l[3];
        for (int j = 0; j < 3; ++j) {
            l[j] = 0;
            for (int k = 0; k < 6; ++k) {
                const double term = A[18 * i + 6 * j + k] * L[k];
                l[j] = k == 0 ? term : l[j] + term;
            }
        }
        const double w = 1 / std::sqrt(l[0] * l[0] + l[1] * l[1]);
        r[2 * i] = oneNaN(((l[0] * E[2 * i] + l[1] * E[2 * i + 1]) + l[2]) * w);
        r[2 * i + 1] = oneNaN(((l[0] * E[2 * N + 2 * i] + l[1] * E[2 * N + 2 * i + 1]) + l[2]) * w);
    }
}

inline void residuals(double* r, double* J, const double* x, const double* A, const double* T,
                      const double* E, int32_t N) {
    obj(r, x, A, T, E, N);
    if (J == nullptr) return;
    const std::size_t rows = 2 * static_cast<std::size_t>(N);
    for (int k = 0; k < 4; ++k) {
        double y[4] = {x[0], x[1], x[2], x[3]};
        y[k] = 1e-8 + y[k];
        obj(J + rows * k, y, A, T, E, N);
        for (std::size_t m = 0; m < rows; ++m)
            J[rows * k + m] = oneNaN((J[rows * k + m] - r[m]) * 1e8);
    }
}

// xprod3: C(:, k) = A(:, k) x B(:, k).
inline void cross(const double* A, const double* B, double* C, std::size_t n) {
    for (std::size_t k = 0; k < n; ++k) {
        const double* a = A + 3 * k;
        const double* b = B + 3 * k;
        C[3 * k] = oneNaN(a[1] * b[2] - a[2] * b[1]);
        C[3 * k + 1] = oneNaN(a[2] * b[0] - a[0] * b[2]);
        C[3 * k + 2] = oneNaN(a[0] * b[1] - a[1] * b[0]);
    }
}

// hesseform: each row (a, b, c) of the column-major M x 3 array divided by sqrt(a^2 + b^2).
inline void hesse(const double* p, double* q, std::size_t M) {
    for (std::size_t i = 0; i < M; ++i) {
        const double n = std::sqrt(p[i] * p[i] + p[M + i] * p[M + i]);
        for (int col = 0; col < 3; ++col) q[col * M + i] = oneNaN(p[col * M + i] / n);
    }
}

}  // namespace straightforward
