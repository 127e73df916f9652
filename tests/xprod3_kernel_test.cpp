// The xprod3 kernel called directly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "cross.h"
#include "nan.h"

namespace {

// Equal as doubles with -0 distinct from +0; a NaN must be the one NaN every host writes.
bool same(double a, double b) {
    if (std::isnan(b)) b = mexgeom::kNaN;
    return std::memcmp(&a, &b, sizeof a) == 0;
}

const double kNaN = std::nan(""), kInf = INFINITY;
// Products of t with itself round: t * t = 1 + 2^-29 + 2^-60 is stored as 1 + 2^-29, so a fused
// multiply-add would leave 2^-60 where the difference of two rounded products is exactly zero.
const double t = 1 + std::ldexp(1.0, -30);

TEST(CrossColumns, GivesTheWorkedProducts) {
    struct {
        const char* name;
        double a[3], b[3], c[3];
    } cases[] = {
        {"e1 x e2 = e3", {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
        {"e2 x e3 = e1", {0, 1, 0}, {0, 0, 1}, {1, 0, 0}},
        {"e3 x e1 = e2", {0, 0, 1}, {1, 0, 0}, {0, 1, 0}},
        {"e2 x e1 = -e3", {0, 1, 0}, {1, 0, 0}, {0, 0, -1}},
        {"(1,2,3) x (4,5,6)", {1, 2, 3}, {4, 5, 6}, {-3, 6, -3}},
        {"equal vectors", {-2.5, 7, 1e10}, {-2.5, 7, 1e10}, {0, 0, 0}},
        {"equal vectors, products that round", {t, t, t}, {t, t, t}, {0, 0, 0}},
        {"parallel vectors", {1, 2, 3}, {-2, -4, -6}, {0, 0, 0}},
        {"NaN in a1 spares the x component", {kNaN, 1, 2}, {3, 4, 5}, {-3, kNaN, kNaN}},
        {"NaN in b3", {1, 2, 3}, {4, 5, kNaN}, {kNaN, kNaN, -3}},
        {"infinite a1", {kInf, 0, 0}, {0, 1, 0}, {0, kNaN, kInf}},
        {"infinite a1 and b2", {kInf, 0, 0}, {0, -kInf, 0}, {kNaN, kNaN, -kInf}},
    };
    for (auto& c : cases) {
        double out[3] = {99, 99, 99};
        xprod3::crossColumns(c.a, c.b, out, 1);
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(same(out[i], c.c[i]))
                << c.name << ": component " << i << " is " << out[i] << ", expected " << c.c[i];
    }
}

TEST(CrossColumns, PairsColumnKWithColumnKOnly) {
    // Columns e1, e2, e3, (1,2,3) against e2, e3, e1, (4,5,6).
    const double A[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 2, 3};
    const double B[12] = {0, 1, 0, 0, 0, 1, 1, 0, 0, 4, 5, 6};
    const double expected[12] = {0, 0, 1, 1, 0, 0, 0, 1, 0, -3, 6, -3};
    struct {
        const char* name;
        int where;  // 0: a fresh array, 1: over A, 2: over B
    } cases[] = {{"separate output", 0}, {"output over A", 1}, {"output over B", 2}};
    for (auto& c : cases) {
        double a[12], b[12], fresh[13];
        std::copy(A, A + 12, a);
        std::copy(B, B + 12, b);
        fresh[12] = 42;  // guard past the last column
        double* out = c.where == 1 ? a : c.where == 2 ? b : fresh;
        xprod3::crossColumns(a, b, out, 4);
        for (int i = 0; i < 12; ++i) EXPECT_EQ(out[i], expected[i]) << c.name << ": element " << i;
        EXPECT_EQ(fresh[12], 42) << c.name << ": wrote past the last column";
    }
}

TEST(CrossColumns, WritesNothingForNoColumns) {
    const double a[3] = {1, 2, 3};
    double out[3] = {7, 7, 7};
    xprod3::crossColumns(a, a, out, 0);
    EXPECT_EQ(out[0], 7);
    EXPECT_EQ(out[2], 7);
}

// For small integer vectors every sum below is exact, so the product must be orthogonal to both
// factors and satisfy Lagrange's identity |a x b|^2 = |a|^2 |b|^2 - (a . b)^2 exactly.
TEST(CrossColumns, IsOrthogonalAndHasTheRightLength) {
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> pick(-1000, 1000);
    const size_t n = 500;
    std::vector<double> A(3 * n), B(3 * n), C(3 * n);
    for (double& v : A) v = pick(rng);
    for (double& v : B) v = pick(rng);
    xprod3::crossColumns(A.data(), B.data(), C.data(), n);
    auto dot = [](const double* x, const double* y) {
        return x[0] * y[0] + x[1] * y[1] + x[2] * y[2];
    };
    for (size_t k = 0; k < n; ++k) {
        const double *a = &A[3 * k], *b = &B[3 * k], *c = &C[3 * k];
        EXPECT_EQ(dot(a, c), 0) << "column " << k;
        EXPECT_EQ(dot(b, c), 0) << "column " << k;
        EXPECT_EQ(dot(c, c), dot(a, a) * dot(b, b) - dot(a, b) * dot(a, b)) << "column " << k;
    }
}

}  // namespace
