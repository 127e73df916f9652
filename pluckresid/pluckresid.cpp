// [r, J] = pluckresid(x, A, T, E): the residuals of the four-parameter 3D line x against the
// segments measured in N cameras (N the second dimension of E), 2N x 1, and on request their
// forward-difference Jacobian with respect to x, 2N x 4.
#include <cstddef>
#include <cstdint>

#include "gateway.h"
#include "obj.h"

namespace {

enum { IN_X, IN_A, IN_T, IN_E, IN_COUNT };

// The array holds at least perCamera * N elements, tested without forming the product, which can
// wrap around a 32-bit size for a large N.
bool holdsPerCamera(const mxArray* a, std::size_t perCamera, std::size_t N) {
    return static_cast<std::size_t>(mxGetNumberOfElements(a)) / perCamera >= N;
}

}  // namespace

extern "C" void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    if (nrhs != IN_COUNT) gateway::fail("4 inputs required.");

    const mxArray* x = prhs[IN_X];
    const mxArray* A = prhs[IN_A];
    const mxArray* T = prhs[IN_T];
    const mxArray* E = prhs[IN_E];
    // The camera count is E's second dimension (2 x N x 2); the other inputs must match it.
    const std::size_t N = static_cast<std::size_t>(mxGetDimensions(E)[1]);

    if (!gateway::isFullDouble(x)) gateway::fail("x must be a full double array.");
    if (!gateway::holdsAtLeast(x, 4)) gateway::fail("x must have at least 4 elements.");
    if (!gateway::isFullDouble(A)) gateway::fail("A must be a full double array.");
    if (!holdsPerCamera(A, 18, N)) gateway::fail("A must have at least 18N elements.");
    if (!gateway::isFullDouble(T)) gateway::fail("T must be a full double array.");
    if (!gateway::holdsAtLeast(T, 24)) gateway::fail("T must have at least 24 elements.");
    if (!gateway::isFullDouble(E)) gateway::fail("E must be a full double array.");
    if (!holdsPerCamera(E, 4, N)) gateway::fail("E must have at least 4N elements.");
    if (N > INT32_MAX) gateway::fail("E has too many columns.");

    const double* xp = mxGetPr(x);
    const double* Ap = mxGetPr(A);
    const double* Tp = mxGetPr(T);
    const double* Ep = mxGetPr(E);
    const int32_t cameras = static_cast<int32_t>(N);
    const std::size_t rows = 2 * N;

    plhs[0] = gateway::createDoubles(rows, 1);
    double* r = mxGetPr(plhs[0]);
    if (nlhs < 2) {
        pluckresid::obj(r, xp, Ap, Tp, Ep, cameras);
        return;
    }

    // The residuals and the forward-difference Jacobian (step 1e-8) in one pass over the cameras.
    plhs[1] = gateway::createDoubles(rows, 4);
    pluckresid::objJacobian(r, mxGetPr(plhs[1]), xp, Ap, Tp, Ep, cameras);
}
