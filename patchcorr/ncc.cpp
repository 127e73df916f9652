#include "ncc.h"

#include "ncc_lanes.h"

namespace patchcorr {

using mexgeom::ImageView;
using mexgeom::Isa;

void Htimes(const double* H, const double* st, double* out) {
    homographyStep(H, st[0], st[1], out);
}

void dhom(const double* H, const double* st, double* J) {
    const LocalMap<double> map = localMap(H, st[0], st[1]);
    for (int k = 0; k < 4; ++k) J[k] = map.J[k];
}

// Two lanes: SSE2 on x86, and plain vector code wherever else this is built.
void scoreAllBaseline(const Batch& b) {
    scoreAllLanes<2>(b);
}

void scoreAll(const ImageView& X, const ImageView& Y, const double* u, std::size_t K,
              const double* H, const double* W, int32_t nW, int mode, double undefined,
              double* scores, Isa isa) {
    const Batch b = {X, Y, u, K, H, W, nW, mode, undefined, scores};
    mexgeom::variantFor(isa, scoreAllBaseline, scoreAllAvx2, scoreAllAvx512)(b);
}

void scoreAll(const ImageView& X, const ImageView& Y, const double* u, std::size_t K,
              const double* H, const double* W, int32_t nW, int mode, double undefined,
              double* scores) {
    scoreAll(X, Y, u, K, H, W, nW, mode, undefined, scores, mexgeom::bestIsa());
}

double ncc(const void* X, const int32_t* sizeX, int kindX, const void* Y, const int32_t* sizeY,
           int kindY, const double* u, const double* H, const double* W, int32_t nW, int mode,
           double undefined) {
    double score;
    scoreAll({X, sizeX[0], sizeX[1], mexgeom::elementOfKind(kindX)},
             {Y, sizeY[0], sizeY[1], mexgeom::elementOfKind(kindY)}, u, 1, H, W, nW, mode,
             undefined, &score);
    return score;
}

}  // namespace patchcorr
