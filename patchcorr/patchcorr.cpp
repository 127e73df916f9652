// patchcorr(X, Y, H, W, u [, method]): for each point (column) of u, the weighted correlation of
// the window W about the point in image X with the window about its image under the homography H
// in image Y. Returns a 1 x K row; NaN where a score is undefined.
#include <cstring>

#include "gateway.h"
#include "ncc.h"
#include "ncc_shares.h"
#include "threads.h"

namespace {

enum { IN_X, IN_Y, IN_H, IN_W, IN_U, IN_METHOD };

// Nearest sampling is chosen by exactly the text "nearest". The buffer starts cleared: the host
// writes nothing into it when input 6 is not text or is too long, and that must read as bilinear.
int readMode(int nrhs, const mxArray* prhs[]) {
    if (nrhs <= IN_METHOD) return patchcorr::kBilinear;
    char text[19] = {};
    mxGetString(prhs[IN_METHOD], text, sizeof text);
    return std::memcmp(text, "nearest", 8) == 0 ? patchcorr::kNearest : patchcorr::kBilinear;
}

}  // namespace

extern "C" void mexFunction(int, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    if (nrhs < 5 || nrhs > 6) gateway::fail("Bad number of input parameters.");

    const mexgeom::ImageView X = gateway::readImage(
        prhs[IN_X],
        {"X must be either double or uint8.", "X must not be sparse.", "X is too large."});
    const mexgeom::ImageView Y = gateway::readImage(
        prhs[IN_Y],
        {"Y must be either double or uint8.", "Y must not be sparse.", "Y is too large."});

    const mxArray* H = prhs[IN_H];
    if (mxGetM(H) != 3 || mxGetN(H) != 3) gateway::fail("H must be 3x3 matrix.");
    if (!gateway::isFullDouble(H)) gateway::fail("H must be a full double matrix.");

    const mxArray* W = prhs[IN_W];
    if (mxGetM(W) != 3) gateway::fail("W must have 3 rows.");
    if (!gateway::isFullDouble(W)) gateway::fail("W must be a full double matrix.");
    if (mxGetN(W) > INT32_MAX) gateway::fail("W has too many columns.");
    const int32_t nW = static_cast<int32_t>(mxGetN(W));

    const mxArray* u = prhs[IN_U];
    const size_t K = mxGetN(u);
    const int mode = readMode(nrhs, prhs);

    plhs[0] = gateway::createDoubles(1, K);
    double* scores = mxGetPr(plhs[0]);

    // An empty point list keeps its row of zeros; its row count is never looked at.
    if (mxIsEmpty(u)) return;
    if (mxGetM(u) != 2) gateway::fail("Bad size of u.");
    if (!gateway::isFullDouble(u)) gateway::fail("u must be a full double matrix.");

    // The points in batches, one per share (one for the whole call unless threads are asked
    // for): the element types and the mode are dispatched once per batch. An undefined score is
    // the host's own NaN, fetched here, on the calling thread.
    const double *points = mxGetPr(u), *homography = mxGetPr(H), *window = mxGetPr(W);
    const double undefined = mxGetNaN();
    mexgeom::forShares(K, patchcorr::pointsPerThread(nW), [&](size_t begin, size_t end) {
        patchcorr::scoreAll(X, Y, points + 2 * begin, end - begin, homography, window, nW, mode,
                            undefined, scores + begin);
    });
}
