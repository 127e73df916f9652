// The documented worked examples, defined once for the kernel tests and the gateway tests.
#pragma once

#include <vector>

namespace worked {

// patchcorr: the 5 x 5 image whose element (r, c), 0-based, is r + 5c; H shifts by half a row; a
// window of three samples, half a row apart, with the given weights. At u = (3, 3) the bilinear
// score is 1 and the nearest one 0.5.
inline std::vector<double> ramp5() {
    std::vector<double> v(25);
    for (int i = 0; i < 25; ++i) v[i] = i;
    return v;
}
const std::vector<double> kShiftH = {1, 0, 0, 0, 1, 0, 0.5, 0, 1};
inline std::vector<double> window3(double w1 = 1, double w2 = 1, double w3 = 1) {
    return {0, 0, w1, 0.5, 0, w2, 1, 0, w3};
}

// pluckresid: P = (x1, x2, 0, 1), Q = (x3, x4, 1, 1), two cameras with image lines (3, 4, 5) and
// (0, -2, 6); the residuals are kResiduals.
const std::vector<double> kX = {1, 2, 3, 4};
const std::vector<double> kT = {0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0,
                                0, 1, 0, 0, 0, 1, 1, 0, 0, 1, 0, 0};
const std::vector<double> kA = {1, -1, 0, 0, 0, 0, 0,  0, -2, 0, 0, 0, 0, 0, 0, 0,  0, -5,
                                0, 0,  0, 0, 0, 0, -1, 0, 0,  0, 0, 0, 0, 0, 0, -3, 0, 0};
const std::vector<double> kE = {1, 3, 7, 2, -3, 1, 0, 5};
const std::vector<double> kResiduals = {4, 0, 1, -2};

}  // namespace worked
