// hesseform(L): the lines (a, b, c), one per row of the M x 3 array L, each divided by
// sqrt(a^2 + b^2) so that (a, b) is a unit normal. Returns the M x 3 double array of the scaled
// lines; rows with a = b = 0 or non-finite entries come out as IEEE 754 gives them (NaN, Inf).
// An empty L is answered with an empty double array of its own size (rows by the product of the
// trailing dimensions), before its width is tested.
#include "gateway.h"
#include "hesse_rows.h"

namespace {

enum { IN_L };

}  // namespace

extern "C" void mexFunction(int, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    if (nrhs != 1) gateway::fail("One input required.");

    const mxArray* L = prhs[IN_L];
    const size_t M = mxGetM(L), N = mxGetN(L);
    if (M == 0 || N == 0) {
        plhs[0] = gateway::createDoubles(M, N);
        return;
    }
    if (N != 3) gateway::fail("Input must be Mx3 matrix.");
    if (!gateway::isFullDouble(L)) gateway::fail("Input must be a full double matrix.");

    const double* p = mxGetPr(L);
    plhs[0] = gateway::createDoubles(M, 3);
    hesseform::hesseRows(p, mxGetPr(plhs[0]), M);
}
