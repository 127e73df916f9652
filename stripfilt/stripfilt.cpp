// stripfilt(I, h, u1, u2): for each segment, from column k of u1 to column k of u2 (1-based row
// and column positions), the response of the odd-length filter h applied across the segment in
// image I and averaged along it. Returns a 1 x K row; NaN where a segment has no response.

#include "gateway.h"
#include "imgraduv.h"
#include "imgraduv_shares.h"
#include "threads.h"

namespace {

enum { IN_I, IN_H, IN_U1, IN_U2, IN_COUNT };

bool isTwoRowMatrix(const mxArray* u) {
    return static_cast<size_t>(mxGetNumberOfDimensions(u)) == 2 && mxIsDouble(u) &&
           static_cast<size_t>(mxGetM(u)) == 2;
}

}  // namespace

extern "C" void mexFunction(int, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    if (nrhs != IN_COUNT) gateway::fail("Bad number of input arguments.");

    const mxArray* I = prhs[IN_I];
    if (static_cast<size_t>(mxGetNumberOfDimensions(I)) != 2) gateway::fail("I must be 2D array.");
    const mexgeom::ImageView image = gateway::readImage(
        I, {"I must be either double or uint8.", "I must not be sparse.", "I is too large."});

    const mxArray* h = prhs[IN_H];
    if (!mxIsDouble(h)) gateway::fail("h must be double vector.");
    const size_t T = static_cast<size_t>(mxGetNumberOfElements(h));
    if (T % 2 == 0) gateway::fail("Vector h must have odd length.");
    if (mxIsSparse(h)) gateway::fail("h must not be sparse.");
    // The kernel counts taps and offsets in 32 bits.
    if (T > INT32_MAX) gateway::fail("h is too long.");
    const int32_t m = static_cast<int32_t>((T - 1) / 2);

    const mxArray* u1 = prhs[IN_U1];
    const mxArray* u2 = prhs[IN_U2];
    if (!isTwoRowMatrix(u1) || !isTwoRowMatrix(u2) || mxGetN(u1) != mxGetN(u2))
        gateway::fail("Bad size(s) of u1, u2.");
    if (mxIsSparse(u1)) gateway::fail("u1 must not be sparse.");
    if (mxIsSparse(u2)) gateway::fail("u2 must not be sparse.");
    const size_t K = static_cast<size_t>(mxGetN(u1));

    plhs[0] = gateway::createDoubles(1, K);

    // The segments in batches, one per share (one for the whole call unless threads are asked
    // for): the element type and the instruction set are chosen once per batch.
    const double* taps = mxGetPr(h);
    const double* first = mxGetPr(u1);
    const double* second = mxGetPr(u2);
    double* out = mxGetPr(plhs[0]);
    mexgeom::forShares(K, stripfilt::segmentsPerThread(T), [&](size_t begin, size_t end) {
        stripfilt::filterAll(image, taps, m, first + 2 * begin, second + 2 * begin, end - begin,
                             out + begin);
    });
}
