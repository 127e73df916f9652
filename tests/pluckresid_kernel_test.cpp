// The pluckresid model called directly: the worked example, what it writes, invariances,
// degenerate cameras and the geometric meaning of the residuals.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <utility>
#include <vector>

#include "obj.h"
#include "straightforward.h"
#include "worked_examples.h"

namespace {

using Vec = std::vector<double>;

using worked::kA;
using worked::kE;
using worked::kT;
using worked::kX;

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Runs obj into a vector with two guard elements past the 2N residuals, which must stay as they
// were.
Vec run(const Vec& x, const Vec& A, const Vec& T, const Vec& E, int32_t N) {
    const double guard = -1234567;
    Vec r(2 * N + 2, guard);
    pluckresid::obj(r.data(), x.data(), A.data(), T.data(), E.data(), N);
    EXPECT_TRUE(sameBits(r[2 * N], guard) && sameBits(r[2 * N + 1], guard))
        << "wrote past the residuals";
    r.resize(2 * N);
    return r;
}

TEST(PluckresidObj, WorkedExample) {
    const Vec swapped = {-3, 1, 0, 5, 1, 3, 7, 2};
    struct {
        const char* name;
        Vec E, expected;
    } cases[] = {
        {"as given", kE, worked::kResiduals},
        {"end points exchanged", swapped, {0, 4, -2, 1}},
    };
    for (auto& c : cases) {
        Vec r = run(kX, kA, kT, c.E, 2);
        for (size_t m = 0; m < 4; ++m) EXPECT_EQ(r[m], c.expected[m]) << c.name << ", r" << m;
    }
}

TEST(PluckresidObj, NoCameraWritesNothingAndReadsNoCamera) {
    double r[2] = {7, 7};
    pluckresid::obj(r, kX.data(), nullptr, kT.data(), nullptr, 0);
    EXPECT_EQ(r[0], 7);
    EXPECT_EQ(r[1], 7);
}

// A random line with points near the finite plane and cameras whose image lines are well away
// from degenerate: no residual is tiny, huge or cancelled.
struct Problem {
    Vec x, A, T, E;
    int32_t N;
};

Problem randomProblem(unsigned seed, int32_t N) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1, 1);
    Problem p{{}, {}, {}, {}, N};
    for (int k = 0; k < 4; ++k) p.x.push_back(u(rng));
    for (int k = 0; k < 24; ++k) p.T.push_back(u(rng));
    p.T[9] = p.T[21] = 3;  // fourth coordinates near 3
    for (int k = 0; k < 18 * N; ++k) p.A.push_back(u(rng));
    for (int k = 0; k < 4 * N; ++k) p.E.push_back(10 * u(rng));
    return p;
}

// The model written from its documented flat positions, one sum at a time in the documented
// order; obj must round exactly like it.
Vec reference(const Problem& p) {
    double P[4], Q[4];
    for (int j = 0; j < 4; ++j) {
        P[j] = p.T[3 * j] + p.x[0] * p.T[3 * j + 1];
        P[j] = P[j] + p.x[1] * p.T[3 * j + 2];
        Q[j] = p.T[12 + 3 * j] + p.x[2] * p.T[13 + 3 * j];
        Q[j] = Q[j] + p.x[3] * p.T[14 + 3 * j];
    }
    const double L[6] = {P[1] * Q[2] - P[2] * Q[1], P[2] * Q[0] - P[0] * Q[2],
                         P[0] * Q[1] - P[1] * Q[0], P[0] * Q[3] - P[3] * Q[0],
                         P[1] * Q[3] - P[3] * Q[1], P[2] * Q[3] - P[3] * Q[2]};
    Vec r(2 * p.N);
    for (int32_t i = 0; i < p.N; ++i) {
        double l[3] = {0, 0, 0};
        for (int j = 0; j < 3; ++j) {
            l[j] = p.A[18 * i + 6 * j] * L[0];
            for (int k = 1; k < 6; ++k) l[j] = l[j] + p.A[18 * i + 6 * j + k] * L[k];
        }
        const double w = 1 / std::sqrt(l[0] * l[0] + l[1] * l[1]);
        for (int s = 0; s < 2; ++s) {
            const double u = p.E[2 * i + 2 * p.N * s], v = p.E[2 * i + 1 + 2 * p.N * s];
            double bracket = l[0] * u + l[1] * v;
            bracket = bracket + l[2];
            r[2 * i + s] = bracket * w;
        }
    }
    return r;
}

TEST(PluckresidObj, RoundsLikeTheDocumentedOrderOfSums) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        const Problem p = randomProblem(100 + seed, 9);
        const Vec r = run(p.x, p.A, p.T, p.E, p.N), expected = reference(p);
        for (size_t m = 0; m < r.size(); ++m)
            EXPECT_TRUE(sameBits(r[m], expected[m])) << "seed " << seed << ", r" << m;
    }
}

struct Transform {
    const char* name;
    std::function<void(Problem&)> change;
    double sign;  // the residuals come out multiplied by it, bit for bit
};

TEST(PluckresidObj, InvariancesHoldBitForBit) {
    auto scaleT = [](double s) {
        return [s](Problem& p) {
            for (double& t : p.T) t *= s;
        };
    };
    auto scaleA = [](double s) {
        return [s](Problem& p) {
            for (double& a : p.A) a *= s;
        };
    };
    const Transform cases[] = {
        {"basis times 8", scaleT(8), 1},
        {"basis times 2^-20", scaleT(std::ldexp(1, -20)), 1},
        {"basis times -4", scaleT(-4), 1},
        {"cameras times 16", scaleA(16), 1},
        {"cameras times -1", scaleA(-1), -1},
        {"cameras times -0.5", scaleA(-0.5), -1},
        {"points exchanged",
         [](Problem& p) {
             std::swap_ranges(p.T.begin(), p.T.begin() + 12, p.T.begin() + 12);
             std::swap(p.x[0], p.x[2]);
             std::swap(p.x[1], p.x[3]);
         },
         -1},
    };
    for (unsigned seed = 1; seed <= 5; ++seed) {
        const Problem base = randomProblem(seed, 7);
        const Vec r0 = run(base.x, base.A, base.T, base.E, base.N);
        for (const Transform& c : cases) {
            Problem p = base;
            c.change(p);
            const Vec r = run(p.x, p.A, p.T, p.E, p.N);
            for (size_t m = 0; m < r.size(); ++m)
                EXPECT_TRUE(sameBits(r[m], c.sign * r0[m]))
                    << c.name << ", seed " << seed << ", r" << m << ": " << r[m] << " vs " << r0[m];
        }
    }
}

TEST(PluckresidObj, ADegenerateCameraSpoilsOnlyItsOwnResiduals) {
    // Three cameras: the worked example's two with a third placed between them. For the worked
    // line L1 = 2, so A's coefficient c of L1 in l3 gives l3 = 2c and l1 = l2 = 0.
    const double nan = std::nan("");
    struct {
        const char* name;
        double c;                     // the third line's only coefficient
        double u1, u2;                // first coordinates of its two end points
        double expected1, expected2;  // its residuals
    } cases[] = {
        {"l3 positive", 0.5, 1, 2, INFINITY, INFINITY},
        {"l3 negative", -0.5, 1, 2, -INFINITY, -INFINITY},
        {"l = 0", 0, 1, 2, nan, nan},
        {"NaN end point", 0.5, nan, 2, nan, INFINITY},
    };
    for (auto& c : cases) {
        Vec A(kA.begin(), kA.begin() + 18);
        Vec third(18, 0);
        third[12] = c.c;
        A.insert(A.end(), third.begin(), third.end());
        A.insert(A.end(), kA.begin() + 18, kA.end());
        const Vec E = {1, 3, c.u1, 0, 7, 2, -3, 1, c.u2, 0, 0, 5};
        const Vec r = run(kX, A, kT, E, 3);
        const Vec expected = {4, 0, c.expected1, c.expected2, 1, -2};
        for (size_t m = 0; m < 6; ++m) {
            if (std::isnan(expected[m])) {
                EXPECT_TRUE(std::isnan(r[m])) << c.name << ", r" << m << " = " << r[m];
            } else {
                EXPECT_EQ(r[m], expected[m]) << c.name << ", r" << m;
            }
        }
    }
}

TEST(PluckresidObj, EqualPointsSpoilEveryCamera) {
    Vec T = kT;
    std::copy(T.begin(), T.begin() + 12, T.begin() + 12);  // Q = P for equal parameters
    const Vec r = run({1, 2, 1, 2}, kA, T, kE, 2);
    for (size_t m = 0; m < 4; ++m) EXPECT_TRUE(std::isnan(r[m])) << "r" << m;
}

// The line projection matrix of a camera M (3 x 4, row-major here): the image of the line through
// P and Q is (M P) x (M Q), whose j-th coordinate is m_a' K m_b for the next two rows a, b of M and
// K = P Q' - Q P'. K's entries above the diagonal are the line coordinates, K(s, t) = +L_index.
Vec lineProjection(const double M[3][4]) {
    const int pairs[6][2] = {{1, 2}, {2, 0}, {0, 1}, {0, 3}, {1, 3}, {2, 3}};
    Vec A(18);
    for (int j = 0; j < 3; ++j) {
        const double* a = M[(j + 1) % 3];
        const double* b = M[(j + 2) % 3];
        for (int k = 0; k < 6; ++k) {
            const int s = pairs[k][0], t = pairs[k][1];
            A[6 * j + k] = a[s] * b[t] - a[t] * b[s];
        }
    }
    return A;
}

TEST(PluckresidObj, ResidualsAreSignedImageDistancesFromTheProjectedLine) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> u(-1, 1);
    for (int trial = 0; trial < 20; ++trial) {
        // A camera looking down its third axis at points a few units away.
        double M[3][4] = {{800, 0, 320, 0}, {0, 800, 240, 0}, {0, 0, 1, 5}};
        for (auto& row : M)
            for (double& m : row) m += 0.05 * u(rng) * std::abs(m);
        Vec T(24), x(4);
        for (double& t : T) t = u(rng);
        T[9] = T[21] = 1;  // affine points: fourth coordinates exactly 1
        T[10] = T[11] = T[22] = T[23] = 0;
        for (double& v : x) v = u(rng);
        double P[4], Q[4];
        for (int j = 0; j < 4; ++j) {
            P[j] = T[3 * j] + x[0] * T[3 * j + 1] + x[1] * T[3 * j + 2];
            Q[j] = T[12 + 3 * j] + x[2] * T[13 + 3 * j] + x[3] * T[14 + 3 * j];
        }
        double p[3], q[3];
        for (int i = 0; i < 3; ++i) {
            p[i] = q[i] = 0;
            for (int j = 0; j < 4; ++j) {
                p[i] += M[i][j] * P[j];
                q[i] += M[i][j] * Q[j];
            }
        }
        const double l[3] = {p[1] * q[2] - p[2] * q[1], p[2] * q[0] - p[0] * q[2],
                             p[0] * q[1] - p[1] * q[0]};
        const double n = std::hypot(l[0], l[1]);
        // End points: images of two points of the 3D line, moved off the image line by d1, d2
        // along its unit normal (l1, l2) / n.
        // Points between P and Q, all in front of the camera.
        const double a1 = (1 + u(rng)) / 2, a2 = (1 + u(rng)) / 2;
        const double d1 = 3 * u(rng), d2 = 3 * u(rng);
        auto endPoint = [&](double a, double d, double* e) {
            double h[3];
            for (int i = 0; i < 3; ++i) h[i] = (1 - a) * p[i] + a * q[i];
            e[0] = h[0] / h[2] + d * l[0] / n;
            e[1] = h[1] / h[2] + d * l[1] / n;
        };
        Vec E(4);
        endPoint(a1, d1, &E[0]);
        endPoint(a2, d2, &E[2]);
        const Vec r = run(x, lineProjection(M), T, E, 1);
        EXPECT_NEAR(r[0], d1, 1e-8) << "trial " << trial;
        EXPECT_NEAR(r[1], d2, 1e-8) << "trial " << trial;
    }
}

// The residuals and the Jacobian in one pass, on every instruction set this processor can run,
// against five separate evaluations, bit for bit, with the camera counts around the lane widths
// and the degenerate cases among the draws: cameras whose image line vanishes or has no normal,
// NaN and infinite inputs, and parameters so large that the step is lost in rounding.
TEST(PluckresidObjJacobian, EveryInstructionSetGivesFiveEvaluationsBits) {
    const mexgeom::Isa isas[] = {mexgeom::Isa::kBaseline, mexgeom::Isa::kAvx2,
                                 mexgeom::Isa::kAvx512};
    std::mt19937 rng(17);
    std::uniform_int_distribution<int> pick(0, 39);
    int finite = 0, total = 0;
    for (unsigned trial = 0; trial < 800; ++trial) {
        const int32_t counts[] = {0, 1, 2, 3, 7, 8, 9, 40};
        Problem p = randomProblem(1000 + trial, counts[trial % 8]);
        const size_t rows = 2 * static_cast<size_t>(p.N);
        // End points in pixels, as cameras give them: the difference quotients then keep enough
        // bits for a division by the step to round differently from the product with 1e8.
        if (trial % 2 == 0)
            for (double& e : p.E) e = 1000 * e + 500;
        if (trial % 5 == 1) p.x[pick(rng) % 4] = std::ldexp(1.5, 27 + pick(rng) % 3);
        for (int32_t i = 0; i < p.N; ++i) {
            switch (pick(rng)) {
                case 0:  // no normal: l1 = l2 = 0
                    for (int k = 0; k < 12; ++k) p.A[18 * i + k] = 0;
                    break;
                case 1:  // no image line at all
                    for (int k = 0; k < 18; ++k) p.A[18 * i + k] = 0;
                    break;
                case 2:  // NaNs of either sign, to meet each other
                case 4:
                    p.A[18 * i + pick(rng) % 18] = std::copysign(NAN, pick(rng) - 19.5);
                    break;
                case 3:
                    p.E[2 * i + pick(rng) % 2] = INFINITY;
                    break;
                case 5:
                case 6:
                    p.E[2 * i + pick(rng) % 2 + (pick(rng) % 2) * rows] =
                        std::copysign(NAN, pick(rng) - 19.5);
                    break;
            }
        }
        if (trial % 37 == 3) p.T[pick(rng) % 24] = std::copysign(NAN, pick(rng) - 19.5);
        Vec expectedR(rows), expectedJ(4 * rows);
        straightforward::residuals(expectedR.data(), expectedJ.data(), p.x.data(), p.A.data(),
                                   p.T.data(), p.E.data(), p.N);
        for (double j : expectedJ) finite += std::isfinite(j) && j != 0;
        total += static_cast<int>(expectedJ.size());
        // The residuals alone, as a call without the Jacobian gets them.
        const Vec alone = run(p.x, p.A, p.T, p.E, p.N);
        for (size_t m = 0; m < rows; ++m)
            EXPECT_TRUE(sameBits(alone[m], expectedR[m]))
                << "trial " << trial << ", residuals alone, r" << m << ": " << alone[m]
                << " instead of " << expectedR[m];
        for (mexgeom::Isa isa : isas) {
            if (!mexgeom::supported(isa)) continue;
            Vec r(rows + 1, 7.0), J(4 * rows + 1, 7.0);
            pluckresid::objJacobian(r.data(), J.data(), p.x.data(), p.A.data(), p.T.data(),
                                    p.E.data(), p.N, isa);
            for (size_t m = 0; m < rows; ++m)
                EXPECT_TRUE(sameBits(r[m], expectedR[m]))
                    << "trial " << trial << ", instruction set " << static_cast<int>(isa) << ", r"
                    << m << ": " << r[m] << " instead of " << expectedR[m];
            for (size_t m = 0; m < 4 * rows; ++m)
                EXPECT_TRUE(sameBits(J[m], expectedJ[m]))
                    << "trial " << trial << ", instruction set " << static_cast<int>(isa) << ", J("
                    << m % rows << ", " << m / rows << "): " << J[m] << " instead of "
                    << expectedJ[m];
            EXPECT_EQ(r[rows], 7.0) << "wrote past the residuals";
            EXPECT_EQ(J[4 * rows], 7.0) << "wrote past the Jacobian";
            // The same in two blocks of cameras, each filling its rows of r and J in place.
            const size_t n = static_cast<size_t>(p.N), b = n / 3;
            Vec r2(rows, 7.0), J2(4 * rows, 7.0), rAlone(rows, 7.0);
            for (auto [begin, end] : {std::pair{size_t{0}, b}, std::pair{b, n}}) {
                const double* first = p.E.data() + 2 * begin;
                const double* second = p.E.data() + rows + 2 * begin;
                const auto count = static_cast<int32_t>(end - begin);
                pluckresid::objJacobian(r2.data() + 2 * begin, J2.data() + 2 * begin, rows,
                                        p.x.data(), p.A.data() + 18 * begin, p.T.data(), first,
                                        second, count, isa);
                pluckresid::obj(rAlone.data() + 2 * begin, p.x.data(), p.A.data() + 18 * begin,
                                p.T.data(), first, second, count);
            }
            for (size_t m = 0; m < rows; ++m)
                EXPECT_TRUE(sameBits(r2[m], expectedR[m]) && sameBits(rAlone[m], expectedR[m]))
                    << "trial " << trial << ", two blocks, r" << m;
            for (size_t m = 0; m < 4 * rows; ++m)
                EXPECT_TRUE(sameBits(J2[m], expectedJ[m]))
                    << "trial " << trial << ", two blocks, J(" << m % rows << ", " << m / rows
                    << ")";
        }
    }
    EXPECT_GT(finite, total / 2);
}

}  // namespace
