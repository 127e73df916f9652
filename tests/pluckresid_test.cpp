// pluckresid through the loader: messages in order, shapes, the worked example and the Jacobian.
#include <algorithm>
#include <cmath>
#include <cstring>  // support.h uses std::memcmp without including it
#include <random>

#include "support.h"
#include "worked_examples.h"

namespace {

using support::Inputs;
using testhost::Array;
using testhost::doubles;
using testhost::doublesNd;
using Vec = std::vector<double>;

using worked::kA;
using worked::kE;
using worked::kT;
using worked::kX;

Array x4() {
    return doubles(4, 1, kX);
}
Array A2() {
    return doublesNd({6, 3, 2}, kA);
}
Array T() {
    return doublesNd({3, 4, 2}, kT);
}
Array E2() {
    return doublesNd({2, 2, 2}, kE);
}

Inputs worked() {
    return support::make(x4, A2, T, E2);
}

// The worked inputs with one replaced.
Inputs with(size_t slot, Array a) {
    return support::replaced(worked(), 4, support::Put{slot, std::move(a)});
}

bool sameBits(const Vec& a, const Vec& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), support::sameBits);
}

// The outputs of a call that must succeed; empty vectors where a slot was left empty.
std::vector<Vec> outputs(const Inputs& in, int nlhs = 2) {
    testhost::Result r = support::call("pluckresid", nlhs, in);
    EXPECT_FALSE(r.failed) << r.error;
    std::vector<Vec> v;
    for (const Array& a : r.outputs) v.push_back(a ? testhost::values(a.get()) : Vec{});
    return v;
}

using support::MessageCase;

TEST(PluckresidGateway, ReportsTheFirstFailingTest) {
    using testhost::ofClass;
    using testhost::sparseDoubles;
    const size_t wraps = size_t{1} << 31;  // 18N and 4N are multiples of 2^32
    const MessageCase cases[] = {
        {"no inputs", [] { return Inputs{}; }, "4 inputs required."},
        {"three inputs", [] { return support::make(x4, A2, T); }, "4 inputs required."},
        {"five inputs", [] { return support::make(x4, A2, T, E2, x4); }, "4 inputs required."},
        {"three inputs, bad x too",
         [] { return support::make([] { return doubles(1, 1); }, A2, T); }, "4 inputs required."},
        {"single x",
         [] {
             return with(0, ofClass(mxSINGLE_CLASS, {4, 1}));
         },
         "x must be a full double array."},
        {"sparse x", [] { return with(0, sparseDoubles(4, 1)); }, "x must be a full double array."},
        {"text x", [] { return with(0, testhost::text("abcd")); },
         "x must be a full double array."},
        {"x 1x3",
         [] {
             return with(0, doubles(1, 3, {1, 2, 3}));
         },
         "x must have at least 4 elements."},
        {"x empty", [] { return with(0, doubles(0, 0)); }, "x must have at least 4 elements."},
        {"x 1x3, bad A too",
         [] {
             Inputs in = with(0, doubles(1, 3));
             in[1] = doubles(6, 3);
             return in;
         },
         "x must have at least 4 elements."},
        {"int32 A",
         [] {
             return with(1, ofClass(mxINT32_CLASS, {6, 3, 2}));
         },
         "A must be a full double array."},
        {"sparse A", [] { return with(1, sparseDoubles(36, 1)); },
         "A must be a full double array."},
        {"A 6x3 for two cameras", [] { return with(1, doubles(6, 3)); },
         "A must have at least 18N elements."},
        {"A one short", [] { return with(1, doubles(35, 1)); },
         "A must have at least 18N elements."},
        {"A short, bad T too",
         [] {
             Inputs in = with(1, doubles(6, 3));
             in[2] = doubles(3, 4);
             return in;
         },
         "A must have at least 18N elements."},
        {"A empty, E 0 x 2^31",
         [] {
             Inputs in = with(1, doubles(0, 0));
             in[3] = doubles(0, wraps);
             return in;
         },
         "A must have at least 18N elements."},
        {"uint8 T", [] { return with(2, testhost::uint8s(3, 8)); },
         "T must be a full double array."},
        {"sparse T", [] { return with(2, sparseDoubles(24, 1)); },
         "T must be a full double array."},
        {"T 3x4", [] { return with(2, doubles(3, 4)); }, "T must have at least 24 elements."},
        {"T 23 elements", [] { return with(2, doubles(23, 1)); },
         "T must have at least 24 elements."},
        {"single E",
         [] {
             return with(3, ofClass(mxSINGLE_CLASS, {2, 2, 2}));
         },
         "E must be a full double array."},
        {"sparse E", [] { return with(3, sparseDoubles(2, 2)); }, "E must be a full double array."},
        {"E a plain 2xN matrix",
         [] {
             return with(3, doubles(2, 2, {1, 3, 7, 2}));
         },
         "E must have at least 4N elements."},
        {"E 1x2", [] { return with(3, doubles(1, 2)); }, "E must have at least 4N elements."},
        {"no memory", [] { return worked(); }, "Out of memory.", 0, 1},
        {"no memory, no output requested", [] { return worked(); }, "Out of memory.", 0, 0},
        {"no memory for the Jacobian", [] { return worked(); }, "Out of memory.", 1, 2},
        {"no memory, bad E too", [] { return with(3, doubles(2, 2)); },
         "E must have at least 4N elements.", 0, 1},
    };
    support::expectMessages("pluckresid", cases);
}

TEST(PluckresidGateway, FillsTheRequestedSlots) {
    struct {
        const char* name;
        Inputs inputs;
        int nlhs;
        std::vector<std::vector<size_t>> dims;  // of each slot; empty where left empty
    } cases[] = {
        {"no output requested", worked(), 0, {{4, 1}}},
        {"one output", worked(), 1, {{4, 1}}},
        {"two outputs", worked(), 2, {{4, 1}, {4, 4}}},
        {"three outputs: the third slot stays empty", worked(), 3, {{4, 1}, {4, 4}, {}}},
        {"no camera, one output", with(3, doublesNd({2, 0, 2})), 1, {{0, 1}}},
        {"no camera, two outputs", with(3, doublesNd({2, 0, 2})), 2, {{0, 1}, {0, 4}}},
        {"no camera, A and E 0x0",
         support::make(
             x4, [] { return doubles(0, 0); }, T, [] { return doubles(0, 0); }),
         2,
         {{0, 1}, {0, 4}}},
    };
    for (auto& c : cases) {
        testhost::Result r = support::call("pluckresid", c.nlhs, c.inputs);
        ASSERT_FALSE(r.failed) << c.name << ": " << r.error;
        ASSERT_EQ(r.outputs.size(), c.dims.size()) << c.name;
        for (size_t i = 0; i < c.dims.size(); ++i) {
            if (c.dims[i].empty()) {
                EXPECT_FALSE(r.outputs[i]) << c.name << ", slot " << i;
            } else {
                ASSERT_TRUE(r.outputs[i]) << c.name << ", slot " << i;
                EXPECT_EQ(testhost::dims(r.outputs[i].get()), c.dims[i]) << c.name << ", " << i;
            }
        }
    }
    // Exactly one array is needed for the residuals alone.
    EXPECT_FALSE(support::call("pluckresid", 1, worked(), 1).failed);
}

TEST(PluckresidGateway, AcceptsAnyShapeHoldingEnoughNumbers) {
    const Vec expected = worked::kResiduals;
    struct {
        const char* name;
        size_t slot;
        std::function<Array()> input;
    } cases[] = {
        {"x 1x4", 0, [] { return doubles(1, 4, kX); }},
        {"x 2x3, only the first four read", 0,
         [] {
             return doubles(2, 3, {1, 2, 3, 4, 9, 9});
         }},
        {"A 36x1", 1, [] { return doubles(36, 1, kA); }},
        {"A 18x2", 1, [] { return doubles(18, 2, kA); }},
        {"A for three cameras", 1, [] { return doubles(18, 3, kA); }},
        {"T 24x1", 2, [] { return doubles(24, 1, kT); }},
        {"T 1x25", 2, [] { return doubles(1, 25, kT); }},
        {"E 1x2x4", 3,
         [] {
             return doublesNd({1, 2, 4}, kE);
         }},
        {"E 2x2x3, extra end points unread", 3,
         [] {
             Vec e = kE;
             e.insert(e.end(), {99, 99, 99, 99});
             return doublesNd({2, 2, 3}, e);
         }},
        {"complex x, real part read", 0, [] { return testhost::complexDoubles(4, 1, kX, kX); }},
        {"complex E 4x2, real part read", 3,
         [] { return testhost::complexDoubles(4, 2, kE, Vec(8, 5)); }},
    };
    for (auto& c : cases) {
        Inputs in = with(c.slot, c.input());
        std::vector<Vec> out = outputs(in, 1);
        ASSERT_EQ(out.size(), 1u) << c.name;
        EXPECT_TRUE(sameBits(out[0], expected)) << c.name;
    }
}

TEST(PluckresidJacobian, WorkedExample) {
    std::vector<Vec> out = outputs(worked());
    ASSERT_EQ(out.size(), 2u);
    EXPECT_TRUE(sameBits(out[0], worked::kResiduals));
    ASSERT_EQ(out[1].size(), 16u);
    // x4 moves neither L1 nor L4, the only coordinates camera 2 sees.
    EXPECT_TRUE(support::sameBits(out[1][14], 0)) << "J(3,4)";
    EXPECT_TRUE(support::sameBits(out[1][15], 0)) << "J(4,4)";
}

TEST(PluckresidJacobian, ColumnsThatCannotMoveAreExactlyZero) {
    struct {
        const char* name;
        Vec x, T;
        int column;  // 0-based
    } cases[] = {
        // The worked line with x2 (or x3) moved into the constant term: the same residuals.
        {"x2 has no coefficient", kX,
         [] {
             Vec t = kT;
             t[2] = t[5] = t[8] = t[11] = 0;
             t[3] = 2;
             return t;
         }(),
         1},
        {"x3 has no coefficient", kX,
         [] {
             Vec t = kT;
             t[13] = t[16] = t[19] = t[22] = 0;
             t[12] = 3;
             return t;
         }(),
         2},
        {"x1 = 2^27 absorbs the step", {std::ldexp(1, 27), 2, 3, 4}, kT, 0},
        {"x4 = 2^40 absorbs the step", {1, 2, 3, std::ldexp(1, 40)}, kT, 3},
    };
    for (auto& c : cases) {
        const Vec x = c.x, t = c.T;
        Inputs in = support::make([&] { return doubles(4, 1, x); }, A2,
                                  [&] { return doubles(24, 1, t); }, E2);
        std::vector<Vec> out = outputs(in);
        ASSERT_EQ(out.size(), 2u) << c.name;
        for (int k = 0; k < 4; ++k) {
            for (size_t m = 0; m < 4; ++m) {
                const double J = out[1][m + 4 * k];
                if (k == c.column) {
                    EXPECT_TRUE(support::sameBits(J, 0)) << c.name << ", J" << m << k << " " << J;
                } else {
                    EXPECT_TRUE(std::isfinite(J)) << c.name << ", J" << m << k;
                }
            }
        }
    }
}

// A random well-conditioned problem: affine points, cameras whose image lines keep a normal of
// length at least a fifth of the line's size, end points within ten units.
struct Problem {
    Vec x, A, T, E;
    size_t N;
};

// The line coordinates of the line through the points P and Q.
void plucker(const double* P, const double* Q, double* L) {
    L[0] = P[1] * Q[2] - P[2] * Q[1];
    L[1] = P[2] * Q[0] - P[0] * Q[2];
    L[2] = P[0] * Q[1] - P[1] * Q[0];
    L[3] = P[0] * Q[3] - P[3] * Q[0];
    L[4] = P[1] * Q[3] - P[3] * Q[1];
    L[5] = P[2] * Q[3] - P[3] * Q[2];
}

void points(const Problem& p, double* P, double* Q) {
    for (int j = 0; j < 4; ++j) {
        P[j] = p.T[3 * j] + p.x[0] * p.T[3 * j + 1] + p.x[1] * p.T[3 * j + 2];
        Q[j] = p.T[12 + 3 * j] + p.x[2] * p.T[13 + 3 * j] + p.x[3] * p.T[14 + 3 * j];
    }
}

void imageLine(const double* A, const double* L, double* l) {
    for (int j = 0; j < 3; ++j) {
        l[j] = 0;
        for (int k = 0; k < 6; ++k) l[j] += A[6 * j + k] * L[k];
    }
}

Problem randomProblem(unsigned seed, size_t N) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1, 1);
    Problem p{{}, {}, {}, {}, N};
    for (int k = 0; k < 4; ++k) p.x.push_back(u(rng));
    for (int k = 0; k < 24; ++k) p.T.push_back(u(rng));
    p.T[9] = p.T[21] = 1;
    p.T[10] = p.T[11] = p.T[22] = p.T[23] = 0;
    double P[4], Q[4], L[6];
    points(p, P, Q);
    plucker(P, Q, L);
    for (size_t i = 0; i < N; ++i) {
        double a[18], l[3];
        do {
            for (double& v : a) v = u(rng);
            imageLine(a, L, l);
        } while (std::hypot(l[0], l[1]) < 0.2 * std::hypot(l[0], l[1], l[2]));
        p.A.insert(p.A.end(), a, a + 18);
    }
    for (size_t k = 0; k < 4 * N; ++k) p.E.push_back(10 * u(rng));
    return p;
}

Inputs inputsOf(const Problem& p) {
    return support::make([&] { return doubles(4, 1, p.x); },
                         [&] {
                             return doublesNd({6, 3, p.N}, p.A);
                         },
                         [&] {
                             return doublesNd({3, 4, 2}, p.T);
                         },
                         [&] {
                             return doublesNd({2, p.N, 2}, p.E);
                         });
}

TEST(PluckresidJacobian, AgreesWithTheAnalyticDerivative) {
    for (unsigned seed = 1; seed <= 10; ++seed) {
        const Problem p = randomProblem(seed, 6);
        std::vector<Vec> out = outputs(inputsOf(p));
        ASSERT_EQ(out.size(), 2u);
        const size_t rows = 2 * p.N;
        ASSERT_EQ(out[1].size(), 4 * rows);

        // Derivatives of the points: each parameter moves one point along a direction of T.
        double P[4], Q[4], L[6];
        points(p, P, Q);
        plucker(P, Q, L);
        for (int k = 0; k < 4; ++k) {
            double dP[4] = {}, dQ[4] = {}, a[6], b[6], dL[6];
            for (int j = 0; j < 4; ++j) {
                if (k < 2)
                    dP[j] = p.T[3 * j + 1 + k];
                else
                    dQ[j] = p.T[12 + 3 * j + k - 1];
            }
            plucker(dP, Q, a);
            plucker(P, dQ, b);
            for (int n = 0; n < 6; ++n) dL[n] = a[n] + b[n];
            for (size_t i = 0; i < p.N; ++i) {
                double l[3], dl[3];
                imageLine(&p.A[18 * i], L, l);
                imageLine(&p.A[18 * i], dL, dl);
                const double s = std::hypot(l[0], l[1]);
                const double ds = (l[0] * dl[0] + l[1] * dl[1]) / s;
                for (int end = 0; end < 2; ++end) {
                    const double* e = &p.E[2 * i + 2 * p.N * end];
                    const double n = l[0] * e[0] + l[1] * e[1] + l[2];
                    const double dn = dl[0] * e[0] + dl[1] * e[1] + dl[2];
                    const double derivative = dn / s - n * ds / (s * s);
                    const size_t m = 2 * i + end;
                    // A forward step of 1e-8 gives about eight correct digits.
                    EXPECT_NEAR(out[1][m + rows * k], derivative,
                                1e-6 * (1 + std::abs(out[0][m]) + std::abs(derivative)))
                        << "seed " << seed << ", J(" << m + 1 << "," << k + 1 << ")";
                }
            }
        }
    }
}

// Moves every end point to within about 1e-3 of its camera's image line: with small residuals the
// differences keep all their digits, so that each way of rounding the quotient shows.
void nearTheLines(Problem& p) {
    double P[4], Q[4], L[6];
    points(p, P, Q);
    plucker(P, Q, L);
    std::mt19937 rng(1);
    std::uniform_real_distribution<double> u(-1e-3, 1e-3);
    for (size_t i = 0; i < p.N; ++i) {
        double l[3];
        imageLine(&p.A[18 * i], L, l);
        const double n2 = l[0] * l[0] + l[1] * l[1];
        for (int end = 0; end < 2; ++end) {
            double* e = &p.E[2 * i + 2 * p.N * end];
            const double t = (l[0] * e[0] + l[1] * e[1] + l[2]) / n2;
            e[0] -= t * l[0] - u(rng);
            e[1] -= t * l[1];
        }
    }
}

// Column k is (r at x + 1e-8 e_k, minus r at x) times 1e8, the difference rounded first.
TEST(PluckresidJacobian, IsTheForwardDifferenceOfTheResiduals) {
    for (unsigned seed = 1; seed <= 5; ++seed) {
        Problem p = randomProblem(40 + seed, 4);
        p.x[1] = 1e3;  // where the step added is not exactly 1e-8
        nearTheLines(p);
        std::vector<Vec> out = outputs(inputsOf(p));
        ASSERT_EQ(out.size(), 2u);
        const size_t rows = 2 * p.N;
        for (size_t k = 0; k < 4; ++k) {
            Problem moved = p;
            moved.x[k] = 1e-8 + moved.x[k];
            const Vec r = outputs(inputsOf(moved), 1)[0];
            for (size_t m = 0; m < rows; ++m)
                EXPECT_TRUE(support::sameBits(out[1][m + rows * k], (r[m] - out[0][m]) * 1e8))
                    << "seed " << seed << ", J(" << m + 1 << "," << k + 1 << ")";
        }
    }
}

TEST(PluckresidJacobian, FollowsTheResidualsUnderExactTransforms) {
    const Problem base = randomProblem(21, 5);
    std::vector<Vec> out0 = outputs(inputsOf(base));
    ASSERT_EQ(out0.size(), 2u);
    const size_t rows = 2 * base.N;

    Problem scaled = base;
    for (double& t : scaled.T) t *= 0.25;
    std::vector<Vec> out = outputs(inputsOf(scaled));
    EXPECT_TRUE(sameBits(out[0], out0[0])) << "T times 1/4: residuals";
    EXPECT_TRUE(sameBits(out[1], out0[1])) << "T times 1/4: Jacobian";

    // Exchanging the points negates the residuals and exchanges the columns of x1, x2 with those
    // of x3, x4, negated.
    Problem swapped = base;
    std::swap_ranges(swapped.T.begin(), swapped.T.begin() + 12, swapped.T.begin() + 12);
    std::swap(swapped.x[0], swapped.x[2]);
    std::swap(swapped.x[1], swapped.x[3]);
    out = outputs(inputsOf(swapped));
    for (size_t m = 0; m < rows; ++m) {
        EXPECT_TRUE(support::sameBits(out[0][m], -out0[0][m])) << "r" << m;
        for (size_t k = 0; k < 4; ++k)
            EXPECT_TRUE(support::sameBits(out[1][m + rows * k], -out0[1][m + rows * (k ^ 2)]))
                << "J" << m << k;
    }
}

TEST(PluckresidJacobian, ADegenerateCameraSpoilsOnlyItsOwnRows) {
    Problem p = randomProblem(8, 4);
    std::vector<Vec> out0 = outputs(inputsOf(p));
    std::fill(p.A.begin() + 18, p.A.begin() + 36, 0);  // camera 2 sees l = 0
    std::vector<Vec> out = outputs(inputsOf(p));
    ASSERT_EQ(out.size(), 2u);
    for (size_t m = 0; m < 8; ++m) {
        const bool spoilt = m == 2 || m == 3;
        for (size_t k = 0; k < 5; ++k) {
            const double v = k == 0 ? out[0][m] : out[1][m + 8 * (k - 1)];
            const double v0 = k == 0 ? out0[0][m] : out0[1][m + 8 * (k - 1)];
            if (spoilt) {
                EXPECT_TRUE(std::isnan(v)) << "row " << m << ", output column " << k;
            } else {
                EXPECT_TRUE(support::sameBits(v, v0)) << "row " << m << ", output column " << k;
            }
        }
    }
}

}  // namespace
