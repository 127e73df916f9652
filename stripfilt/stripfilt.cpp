// stripfilt(I, h, u1, u2): for each segment, from column k of u1 to column k of u2 (1-based row
// and column positions), the response of the odd-length filter h applied across the segment in
// image I and averaged along it. Returns a 1 x K row; NaN where a segment has no response.
#include <algorithm>

#include "gateway.h"
#include "imgraduv.h"
#include "threads.h"

namespace {

enum { IN_I, IN_H, IN_U1, IN_U2, IN_COUNT };

bool isTwoRowMatrix(const mxArray* u) {
    return static_cast<size_t>(mxGetNumberOfDimensions(u)) == 2 && mxIsDouble(u) &&
           static_cast<size_t>(mxGetM(u)) == 2;
}

// Runs the typed kernel over the segments, converting each end point to 0-based positions.
template <typename T>
void filterSegments(const void* image, const int32_t* size, const double* h, int32_t m,
                    const double* u1, const double* u2, size_t K, double* out) {
    const T* I = static_cast<const T*>(image);
    for (size_t k = 0; k < K; ++k) {
        const double a[2] = {u1[2 * k] - 1.0, u1[2 * k + 1] - 1.0};
        const double b[2] = {u2[2 * k] - 1.0, u2[2 * k + 1] - 1.0};
        out[k] = stripfilt::imgraduv<T>(I, size, h, m, a, b);
    }
}

// A thread repays its start from about kTapsPerThread taps of segments (measured by
// bench_stripfilt's threshold benchmarks, on segments 10 to 100 long); each tap is a line of
// samples along its segment.
constexpr size_t kTapsPerThread = 2000;
size_t segmentsPerThread(size_t taps) {
    return kTapsPerThread / std::max<size_t>(taps, 1);
}

}  // namespace

extern "C" void mexFunction(int, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    if (nrhs != IN_COUNT) gateway::fail("Bad number of input arguments.");

    const mxArray* I = prhs[IN_I];
    if (static_cast<size_t>(mxGetNumberOfDimensions(I)) != 2) gateway::fail("I must be 2D array.");
    int32_t kind;
    switch (mxGetClassID(I)) {
        case mxDOUBLE_CLASS:
            kind = stripfilt::kDouble;
            break;
        case mxUINT8_CLASS:
            kind = stripfilt::kUint8;
            break;
        default:
            gateway::fail("I must be either double or uint8.");
    }
    if (mxIsSparse(I)) gateway::fail("I must not be sparse.");
    // Larger sizes would be truncated in the kernel's 32-bit size pair.
    if (!gateway::fitsSizePair(I)) gateway::fail("I is too large.");
    const int32_t size[2] = {static_cast<int32_t>(mxGetM(I)), static_cast<int32_t>(mxGetN(I))};

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
    double* out = mxGetPr(plhs[0]);

    // The segments in batches, one per share (one for the whole call unless threads are asked
    // for): one dispatch on the element kind per batch.
    const void* image = mxGetData(I);
    const double* taps = mxGetPr(h);
    const double* first = mxGetPr(u1);
    const double* second = mxGetPr(u2);
    mexgeom::forShares(K, segmentsPerThread(T), [&](size_t begin, size_t end) {
        const double *a = first + 2 * begin, *b = second + 2 * begin;
        if (kind == stripfilt::kDouble) {
            filterSegments<double>(image, size, taps, m, a, b, end - begin, out + begin);
        } else {
            filterSegments<uint8_t>(image, size, taps, m, a, b, end - begin, out + begin);
        }
    });
}
