// The five mexgeom kernels called from C++, with no host: plain arrays in, numbers out. An image
// with a vertical step edge, the line along the edge, the edge measured along a segment of it, a
// window matched against itself, and the residuals of a 3D line. Prints each result and exits
// with 1 when one differs from the value worked out by hand.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include <mexgeom/hesseform/hesse_rows.h>
#include <mexgeom/patchcorr/ncc.h>
#include <mexgeom/pluckresid/obj.h>
#include <mexgeom/stripfilt/imgraduv.h>
#include <mexgeom/xprod3/cross.h>

namespace {

int failures = 0;

void report(const char* what, double got, double expected) {
    const bool ok = std::fabs(got - expected) <= 1e-9 * (1 + std::fabs(expected));
    std::printf("%-48s %12.6g  (expected %g)%s\n", what, got, expected, ok ? "" : "  WRONG");
    if (!ok) ++failures;
}

}  // namespace

int main() {
    // A 40 x 40 image, column-major, element (r, c) at r + 40 c: 0 left of column 20, 100 from it.
    const int32_t size[2] = {40, 40};
    std::vector<double> image(40 * 40);
    for (int c = 0; c < 40; ++c)
        for (int r = 0; r < 40; ++r) image[r + 40 * c] = c < 20 ? 0 : 100;

    // The line through two points on the edge, (5, 19.5) and (35, 19.5) as (row, column): their
    // vector product in homogeneous coordinates, then scaled to a unit normal.
    const double points[6] = {5, 19.5, 1, 35, 19.5, 1};
    double line[3];
    xprod3::crossColumns(points, points + 3, line, 1);
    hesseform::hesseRows(line, line, 1);
    report("xprod3 + hesseform: distance of (7, 23)", line[0] * 7 + line[1] * 23 + line[2], 3.5);

    // The edge measured along that segment (0-based positions) with the taps [1 2 0 -2 -1] / 3:
    // the walk runs down the rows, so the first taps lie at lower columns, on the dark side.
    const double taps[5] = {1.0 / 3, 2.0 / 3, 0, -2.0 / 3, -1.0 / 3};
    const double a[2] = {5, 19.5}, b[2] = {35, 19.5};
    report("stripfilt: edge along the segment",
           stripfilt::imgraduv(image.data(), size, taps, 2, a, b), -100);

    // A 5 x 5 window of unit weights about the 1-based point (20, 20), across the edge, matched
    // against the same image (element kind 0: doubles) under the identity: a perfect correlation.
    std::vector<double> window;
    for (int dc = -2; dc <= 2; ++dc)
        for (int dr = -2; dr <= 2; ++dr) window.insert(window.end(), {double(dr), double(dc), 1.0});
    const double identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    const double u[2] = {20, 20};
    report("patchcorr: window against itself",
           patchcorr::ncc(image.data(), size, 0, image.data(), size, 0, u, identity, window.data(),
                          25, patchcorr::kBilinear),
           1);

    // A 3D line seen in two cameras: P = (x1, x2, 0, 1) and Q = (x3, x4, 1, 1), with camera line
    // matrices that give the image lines (3, 4, 5) and (0, -2, 6).
    const double x[4] = {1, 2, 3, 4};
    const double T[24] = {0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 0, 0, 1, 0, 0};
    // A is 6 x 3 x 2: the coefficient of L(k) in l(j) of camera i at k + 6 j + 18 i, from 0.
    double A[36] = {};
    A[0] = 1;
    A[1] = -1;
    A[8] = -2;
    A[17] = -5;
    A[24] = -1;
    A[33] = -3;
    const double E[8] = {1, 3, 7, 2, -3, 1, 0, 5};
    double r[4];
    pluckresid::obj(r, x, A, T, E, 2);
    const double expected[4] = {4, 0, 1, -2};
    for (int i = 0; i < 4; ++i) report("pluckresid: residual", r[i], expected[i]);

    std::printf(failures ? "%d results differ\n" : "all results as expected\n", failures);
    return failures ? 1 : 0;
}
