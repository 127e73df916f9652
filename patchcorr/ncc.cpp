#include "ncc.h"

#include <cmath>
#include <cstddef>
#include <limits>

namespace patchcorr {

void Htimes(const double* H, const double* st, double* out) {
    const double s = st[0], t = st[1];
    out[0] = H[0] * s + H[3] * t + H[6];
    out[1] = H[1] * s + H[4] * t + H[7];
    out[2] = H[2] * s + H[5] * t + H[8];
}

void dhom(const double* H, const double* st, double* J) {
    double g[3];
    Htimes(H, st, g);
    const double c1 = g[0] / g[2], c2 = g[1] / g[2];
    J[0] = (H[0] - c1 * H[2]) / g[2];
    J[1] = (H[1] - c2 * H[2]) / g[2];
    J[2] = (H[3] - c1 * H[5]) / g[2];
    J[3] = (H[4] - c2 * H[5]) / g[2];
}

namespace {

// The value at the 0-based position (p, q), which the caller has placed inside
// 1 <= p < rows - 1, 1 <= q < columns - 1, so that all four neighbours exist.
template <typename T, bool Bilinear>
inline double sample(const T* I, std::size_t rows, double p, double q) {
    const int32_t r = static_cast<int32_t>(p), c = static_cast<int32_t>(q);
    const T* e = I + (static_cast<std::size_t>(r) + static_cast<std::size_t>(c) * rows);
    if constexpr (!Bilinear) {
        return static_cast<double>(e[0]);
    } else {
        const double fr = p - r, fc = q - c;
        return (1 - fc) * ((1 - fr) * static_cast<double>(e[0]) + fr * static_cast<double>(e[1])) +
               fc * ((1 - fr) * static_cast<double>(e[rows]) +
                     fr * static_cast<double>(e[rows + 1]));
    }
}

// Inside the readable part of an image: the limits 1 and size - 1 as the sampler needs them.
// Written as a conjunction of true comparisons so that a NaN position is never inside.
inline bool inside(double p, double q, double rowLimit, double columnLimit) {
    return p >= 1 && q >= 1 && p < rowLimit && q < columnLimit;
}

template <typename TX, typename TY, bool Bilinear>
double score(const void* Xv, const int32_t* sizeX, const void* Yv, const int32_t* sizeY,
             const double* u, const double* H, const double* W, int32_t nW) {
    const TX* X = static_cast<const TX*>(Xv);
    const TY* Y = static_cast<const TY*>(Yv);
    const std::size_t rowsX = static_cast<std::size_t>(sizeX[0]);
    const std::size_t rowsY = static_cast<std::size_t>(sizeY[0]);
    const double limitRX = sizeX[0] - 1.0, limitCX = sizeX[1] - 1.0;
    const double limitRY = sizeY[0] - 1.0, limitCY = sizeY[1] - 1.0;

    // Centre of the window in Y (1-based) and the local affine map of the offsets.
    double g[3], J[4];
    Htimes(H, u, g);
    const double c1 = g[0] / g[2], c2 = g[1] / g[2];
    dhom(H, u, J);

    int32_t n = 0;
    double Sw = 0, Sx = 0, Sy = 0, Sxx = 0, Syy = 0, Sxy = 0;
    for (int32_t j = 0; j < nW; ++j) {
        const double dr = W[3 * j], dc = W[3 * j + 1], w = W[3 * j + 2];
        const double pX = (dr + u[0]) - 1, qX = (dc + u[1]) - 1;
        const double pY = (J[0] * dr + J[2] * dc + c1) - 1;
        const double qY = (J[1] * dr + J[3] * dc + c2) - 1;
        if (!inside(pX, qX, limitRX, limitCX) || !inside(pY, qY, limitRY, limitCY)) continue;
        const double x = sample<TX, Bilinear>(X, rowsX, pX, qX);
        const double y = sample<TY, Bilinear>(Y, rowsY, pY, qY);
        ++n;
        Sw += w;
        Sx += w * x;
        Sy += w * y;
        Sxx += w * x * x;
        Syy += w * y * y;
        Sxy += w * x * y;
    }
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    if (n <= 2) return nan;
    const double mx = Sx / Sw, my = Sy / Sw;
    const double vx = Sxx / Sw - mx * mx;
    const double vy = Syy / Sw - my * my;
    const double cxy = Sxy / Sw - mx * my;
    // The flatness limit is absolute, in squared image units; a NaN variance fails it too.
    if (vx > 1e-9 && vy > 1e-9) return cxy / std::sqrt(vx * vy);
    return nan;
}

template <typename TX, typename TY>
Scorer forMode(int mode) {
    return mode == kBilinear ? &score<TX, TY, true> : &score<TX, TY, false>;
}

template <typename TX>
Scorer forKindY(int kindY, int mode) {
    return kindY == kDouble ? forMode<TX, double>(mode) : forMode<TX, uint8_t>(mode);
}

}  // namespace

Scorer scorerFor(int kindX, int kindY, int mode) {
    return kindX == kDouble ? forKindY<double>(kindY, mode) : forKindY<uint8_t>(kindY, mode);
}

double ncc(const void* X, const int32_t* sizeX, int kindX, const void* Y, const int32_t* sizeY,
           int kindY, const double* u, const double* H, const double* W, int32_t nW, int mode) {
    return scorerFor(kindX, kindY, mode)(X, sizeX, Y, sizeY, u, H, W, nW);
}

}  // namespace patchcorr
