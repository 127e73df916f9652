// The hesseform kernel called directly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

#include "hesse_rows.h"
#include "nan.h"
#include "straightforward.h"

namespace {

// Equal as doubles with -0 distinct from +0; a NaN must be the one NaN every host writes.
bool same(double a, double b) {
    if (std::isnan(b)) b = mexgeom::kNaN;
    return std::memcmp(&a, &b, sizeof a) == 0;
}

const double kNaN = std::nan(""), kInf = INFINITY;

struct Row {
    const char* name;
    double in[3], out[3];
};

// The worked rows and the degenerate ones. 3 * 0.2 is not 0.6 in double, so the first rows also
// tell a division by n = 5 from a multiplication by 1 / 5.
const Row kRows[] = {
    {"(3, 4, 10)", {3, 4, 10}, {0.6, 0.8, 2}},
    {"(3, 4, 3): c = 3 too", {3, 4, 3}, {0.6, 0.8, 0.6}},
    {"sign kept", {-3, -4, 5}, {-0.6, -0.8, 1}},
    {"unit (1, 0)", {1, 0, -7}, {1, 0, -7}},
    {"unit (0, -1)", {0, -1, 2}, {0, -1, 2}},
    {"(0, 0, 1)", {0, 0, 1}, {kNaN, kNaN, kInf}},
    {"(-0, 0, 1)", {-0.0, 0, 1}, {kNaN, kNaN, kInf}},
    {"(0, -0, -1)", {0, -0.0, -1}, {kNaN, kNaN, -kInf}},
    {"(0, 0, 0)", {0, 0, 0}, {kNaN, kNaN, kNaN}},
    {"a NaN", {kNaN, 1, 2}, {kNaN, kNaN, kNaN}},
    {"b NaN", {1, kNaN, 2}, {kNaN, kNaN, kNaN}},
    {"c NaN", {3, 4, kNaN}, {0.6, 0.8, kNaN}},
    {"a infinite", {kInf, 4, 2}, {kNaN, 0, 0}},
    {"a minus infinite, signed zeros kept", {-kInf, -4, -2}, {kNaN, -0.0, -0.0}},
    {"b infinite", {3, -kInf, -2}, {0, kNaN, -0.0}},
    {"c infinite", {3, 4, kInf}, {0.6, 0.8, kInf}},
    {"c minus infinite", {3, 4, -kInf}, {0.6, 0.8, -kInf}},
};

TEST(HesseRows, GivesTheWorkedAndDegenerateRows) {
    for (const Row& r : kRows) {
        double out[3] = {99, 99, 99};
        hesseform::hesseRows(r.in, out, 1);
        for (int j = 0; j < 3; ++j)
            EXPECT_TRUE(same(out[j], r.out[j]))
                << r.name << ": entry " << j << " is " << out[j] << ", expected " << r.out[j];
    }
    EXPECT_NE(3 * (1.0 / 5), 3.0 / 5) << "the (3, 4, 3) row no longer tells the two apart";
}

// All rows at once, in the column-major layout, separately and in place: each row must come out
// as it does alone, whatever its neighbours hold.
TEST(HesseRows, TreatsEveryRowOfAnArrayAlone) {
    const size_t M = std::size(kRows);
    std::vector<double> p(3 * M);
    for (size_t i = 0; i < M; ++i)
        for (int j = 0; j < 3; ++j) p[i + j * M] = kRows[i].in[j];
    for (bool inPlace : {false, true}) {
        std::vector<double> q(3 * M + 1, 99), pp = p;
        double* out = inPlace ? pp.data() : q.data();
        hesseform::hesseRows(pp.data(), out, M);
        for (size_t i = 0; i < M; ++i)
            for (int j = 0; j < 3; ++j)
                EXPECT_TRUE(same(out[i + j * M], kRows[i].out[j]))
                    << kRows[i].name << (inPlace ? " (in place)" : "") << ": entry " << j;
        EXPECT_EQ(q[3 * M], 99) << "wrote past the last row";
    }
}

TEST(HesseRows, WritesNothingForNoRows) {
    const double p[3] = {3, 4, 5};
    double q[3] = {7, 7, 7};
    hesseform::hesseRows(p, q, 0);
    EXPECT_EQ(q[0], 7);
    EXPECT_EQ(q[2], 7);
}

// Random lines: (a, b) comes out a unit vector, the line is the same line (the row is a positive
// multiple of the input row), and a x + b y + c is the distance of a point known to lie at a
// chosen distance from it.
TEST(HesseRows, GivesUnitNormalsAndSignedDistances) {
    std::mt19937 rng(9);
    std::uniform_real_distribution<double> angle(-std::numbers::pi, std::numbers::pi),
        scale(1e-3, 1e3), offset(-50, 50);
    const size_t M = 1000;
    std::vector<double> p(3 * M), q(3 * M), px(M), py(M), dist(M);
    for (size_t i = 0; i < M; ++i) {
        const double phi = angle(rng), s = scale(rng), c = offset(rng);
        const double a = std::cos(phi), b = std::sin(phi);
        p[i] = s * a;
        p[M + i] = s * b;
        p[2 * M + i] = s * c;
        // The point -c (a, b) lies on the line; step dist[i] along the normal.
        dist[i] = offset(rng);
        px[i] = (dist[i] - c) * a;
        py[i] = (dist[i] - c) * b;
    }
    hesseform::hesseRows(p.data(), q.data(), M);
    for (size_t i = 0; i < M; ++i) {
        const double a = q[i], b = q[M + i], c = q[2 * M + i];
        EXPECT_NEAR(a * a + b * b, 1, 1e-15) << "row " << i;
        EXPECT_NEAR(a * p[M + i] - b * p[i], 0, 1e-12 * std::fabs(p[i]) + 1e-12) << "row " << i;
        EXPECT_GT(a * p[i] + b * p[M + i], 0) << "row " << i << " changed its sign";
        EXPECT_NEAR(a * px[i] + b * py[i] + c, dist[i], 1e-12) << "row " << i;
    }
}

// On every instruction set this processor can run, against the row-by-row loop, bit for bit:
// row counts around the lane widths (so that rows are left over after the last full group), rows
// of every magnitude, the degenerate rows above mixed in, separately and in place, whole and as two
// blocks of rows addressed in the whole array (the leading-dimension form).
TEST(HesseRows, EveryInstructionSetGivesTheRowLoopsBits) {
    const mexgeom::Isa isas[] = {mexgeom::Isa::kBaseline, mexgeom::Isa::kAvx2,
                                 mexgeom::Isa::kAvx512};
    std::mt19937 rng(21);
    std::normal_distribution<double> normal;
    std::uniform_int_distribution<int> pick(0, 49);
    for (size_t M : {0, 1, 2, 3, 7, 8, 9, 15, 16, 17, 31, 33, 100, 1001}) {
        std::vector<double> p(3 * M);
        for (double& v : p) v = normal(rng) * std::pow(10.0, 60 * normal(rng) / 3);
        for (size_t i = 0; i < M; ++i) {
            if (pick(rng) < static_cast<int>(std::size(kRows))) {
                const Row& r = kRows[pick(rng) % std::size(kRows)];
                for (int j = 0; j < 3; ++j) p[i + j * M] = r.in[j];
            }
        }
        std::vector<double> expected(3 * M);
        straightforward::hesse(p.data(), expected.data(), M);
        for (mexgeom::Isa isa : isas) {
            if (!mexgeom::supported(isa)) continue;
            for (int form = 0; form < 4; ++form) {
                const bool inPlace = form % 2 == 1, blocks = form >= 2;
                std::vector<double> q(3 * M + 1, 99), pp = p;
                double* out = inPlace ? pp.data() : q.data();
                if (blocks) {
                    const size_t b = M / 3;
                    hesseform::hesseRows(pp.data(), out, b, M, isa);
                    hesseform::hesseRows(pp.data() + b, out + b, M - b, M, isa);
                } else {
                    hesseform::hesseRows(pp.data(), out, M, isa);
                }
                for (size_t k = 0; k < 3 * M; ++k)
                    EXPECT_EQ(std::memcmp(&out[k], &expected[k], sizeof(double)), 0)
                        << "instruction set " << static_cast<int>(isa) << ", M " << M
                        << (inPlace ? " in place" : "") << (blocks ? " in two blocks" : "")
                        << ", entry " << k << ": " << out[k] << " instead of " << expected[k];
                EXPECT_EQ(q[3 * M], 99) << "wrote past the last row";
            }
        }
    }
}

}  // namespace
