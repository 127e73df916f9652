// xprod3(P): the vector product of the two columns of the 3 x 2 array P, as a 3 x 1 column.
// xprod3(A, B): the 3 x N array whose column k is A(:, k) x B(:, k).
// An empty first input is answered with an empty double array of its own size (rows by the
// product of the trailing dimensions), before any other input is looked at.
#include "cross.h"
#include "gateway.h"

namespace {

enum { IN_A, IN_B };

}  // namespace

extern "C" void mexFunction(int, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    if (nrhs != 1 && nrhs != 2) gateway::fail("One or two input arguments required.");

    const mxArray* A = prhs[IN_A];
    const size_t M = mxGetM(A), N = mxGetN(A);
    if (M == 0 || N == 0) {
        plhs[0] = gateway::createDoubles(M, N);
        return;
    }

    if (nrhs == 1) {
        if (M != 3 || N != 2) gateway::fail("Input must be 3x2 vector.");
        if (!gateway::isFullDouble(A)) gateway::fail("Input must be a full double matrix.");
        const double* p = mxGetPr(A);
        plhs[0] = gateway::createDoubles(3, 1);
        xprod3::crossColumns(p, p + 3, mxGetPr(plhs[0]), 1);
        return;
    }

    const mxArray* B = prhs[IN_B];
    if (M != 3 || mxGetM(B) != 3 || mxGetN(B) != N) gateway::fail("Wrong size of input vectors.");
    if (!gateway::isFullDouble(A)) gateway::fail("A must be a full double matrix.");
    if (!gateway::isFullDouble(B)) gateway::fail("B must be a full double matrix.");
    const double* a = mxGetPr(A);
    const double* b = mxGetPr(B);
    plhs[0] = gateway::createDoubles(3, N);
    xprod3::crossColumns(a, b, mxGetPr(plhs[0]), N);
}
