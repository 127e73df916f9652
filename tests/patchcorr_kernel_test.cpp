// The patchcorr kernel called directly.
#include <gtest/gtest.h>

#include <cmath>

#include "ncc.h"

namespace {

TEST(Htimes, IsTheHostMatrixProduct) {
    const double H[9] = {2, 0, 0.1, 0, 1, 0.2, 1, 0, 1};  // [2 0 1; 0 1 0; 0.1 0.2 1]
    const double st[2] = {1, 2};
    double g[3];
    patchcorr::Htimes(H, st, g);
    EXPECT_EQ(g[0], 3);
    EXPECT_EQ(g[1], 2);
    EXPECT_EQ(g[2], 1.5);
}

TEST(Dhom, MatchesTheWorkedJacobianAndFiniteDifferences) {
    const double H[9] = {2, 0, 0.1, 0, 1, 0.2, 1, 0, 1};
    const double st[2] = {1, 2};
    double J[4];
    patchcorr::dhom(H, st, J);
    EXPECT_DOUBLE_EQ(J[0], 6.0 / 5);
    EXPECT_DOUBLE_EQ(J[1], -4.0 / 45);
    EXPECT_DOUBLE_EQ(J[2], -4.0 / 15);
    EXPECT_DOUBLE_EQ(J[3], 22.0 / 45);

    // Central differences of the inhomogeneous map at a perspective H.
    const double P[9] = {0.9, 0.1, 1e-3, -0.2, 1.1, 2e-3, 3, -4, 1};
    const double at[2] = {17, 23}, h = 1e-5;
    auto map = [&](double s, double t, double* c) {
        double g[3], p[2] = {s, t};
        patchcorr::Htimes(P, p, g);
        c[0] = g[0] / g[2];
        c[1] = g[1] / g[2];
    };
    double a[2], b[2], c[2], d[2];
    map(at[0] + h, at[1], a);
    map(at[0] - h, at[1], b);
    map(at[0], at[1] + h, c);
    map(at[0], at[1] - h, d);
    patchcorr::dhom(P, at, J);
    EXPECT_NEAR(J[0], (a[0] - b[0]) / (2 * h), 1e-8);
    EXPECT_NEAR(J[1], (a[1] - b[1]) / (2 * h), 1e-8);
    EXPECT_NEAR(J[2], (c[0] - d[0]) / (2 * h), 1e-8);
    EXPECT_NEAR(J[3], (c[1] - d[1]) / (2 * h), 1e-8);
}

TEST(Ncc, KindAndModeFlagsFollowTheirConventions) {
    // The 5 x 5 ramp r + 5c, shifted by half a row under H; worked example 2.
    double X[25];
    uint8_t Xb[25];
    for (int i = 0; i < 25; ++i) X[i] = Xb[i] = static_cast<uint8_t>(i);
    const int32_t size[2] = {5, 5};
    const double H[9] = {1, 0, 0, 0, 1, 0, 0.5, 0, 1};
    const double W[9] = {0, 0, 1, 0.5, 0, 1, 1, 0, 1};
    const double u[2] = {3, 3};
    struct {
        const char* name;
        int kindX, kindY, mode;
        double expected;
    } cases[] = {
        {"double, bilinear", 0, 0, 1, 1},
        {"double, nearest", 0, 0, 0, 0.5},
        {"uint8, bilinear", 1, 1, 1, 1},
        {"any nonzero kind is uint8", 7, 7, 0, 0.5},
        {"any other mode is nearest", 0, 1, 5, 0.5},
    };
    for (auto& c : cases) {
        const void* x = c.kindX == 0 ? static_cast<const void*>(X) : Xb;
        const void* y = c.kindY == 0 ? static_cast<const void*>(X) : Xb;
        EXPECT_NEAR(patchcorr::ncc(x, size, c.kindX, y, size, c.kindY, u, H, W, 3, c.mode),
                    c.expected, 4e-15)
            << c.name;
    }
}

}  // namespace
