#include "ncc.h"

#include "ncc_lanes.h"

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

// Two lanes: SSE2 on x86, and plain vector code wherever else this is built.
void scoreAllBaseline(const Batch& b) {
    scoreAllLanes<2>(b);
}

void scoreAll(const void* X, const int32_t* sizeX, int kindX, const void* Y, const int32_t* sizeY,
              int kindY, const double* u, std::size_t K, const double* H, const double* W,
              int32_t nW, int mode, double undefined, double* scores, Isa isa) {
    const Batch b = {X, sizeX, kindX, Y, sizeY, kindY, u, K, H, W, nW, mode, undefined, scores};
    switch (isa) {
        case Isa::kAvx512:
            return scoreAllAvx512(b);
        case Isa::kAvx2:
            return scoreAllAvx2(b);
        case Isa::kBaseline:
            break;
    }
    scoreAllBaseline(b);
}

void scoreAll(const void* X, const int32_t* sizeX, int kindX, const void* Y, const int32_t* sizeY,
              int kindY, const double* u, std::size_t K, const double* H, const double* W,
              int32_t nW, int mode, double undefined, double* scores) {
    scoreAll(X, sizeX, kindX, Y, sizeY, kindY, u, K, H, W, nW, mode, undefined, scores,
             mexgeom::bestIsa());
}

double ncc(const void* X, const int32_t* sizeX, int kindX, const void* Y, const int32_t* sizeY,
           int kindY, const double* u, const double* H, const double* W, int32_t nW, int mode,
           double undefined) {
    double score;
    scoreAll(X, sizeX, kindX, Y, sizeY, kindY, u, 1, H, W, nW, mode, undefined, &score);
    return score;
}

}  // namespace patchcorr
