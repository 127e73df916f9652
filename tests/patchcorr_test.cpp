// patchcorr through the loader: messages in order, shapes, worked examples and properties.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "support.h"
#include "worked_examples.h"

namespace {

using support::Inputs;
using testhost::Array;
using testhost::doubles;

const double kNaN = std::nan("");

Array ramp5() {
    return doubles(5, 5, worked::ramp5());
}
Array identityH() {
    return doubles(3, 3, {1, 0, 0, 0, 1, 0, 0, 0, 1});
}
Array shiftH() {
    return doubles(3, 3, worked::kShiftH);
}
Array window3(double w1 = 1, double w2 = 1, double w3 = 1) {
    return doubles(3, 3, worked::window3(w1, w2, w3));
}
Array point(double u1, double u2) {
    return doubles(2, 1, {u1, u2});
}

Inputs valid() {
    Inputs in;
    in.push_back(ramp5());
    in.push_back(ramp5());
    in.push_back(shiftH());
    in.push_back(window3());
    in.push_back(point(3, 3));
    return in;
}

// Valid inputs with one or more replaced.
using support::Put;
const support::With with{valid};

std::vector<double> scores(const Inputs& in, int nlhs = 1) {
    return support::firstOutput("patchcorr", in, nlhs);
}

double score1(Inputs in) {
    std::vector<double> s = scores(in);
    return s.size() == 1 ? s[0] : -99;
}

using support::MessageCase;

TEST(PatchcorrGateway, ReportsTheFirstFailingTest) {
    using testhost::ofClass;
    using testhost::sparseDoubles;
    const size_t two31 = size_t{1} << 31;
    const MessageCase cases[] = {
        {"no inputs", [] { return Inputs{}; }, "Bad number of input parameters."},
        {"four inputs", [] { return with.count(4); }, "Bad number of input parameters."},
        {"seven inputs", [] { return with.count(7); }, "Bad number of input parameters."},
        {"four inputs, bad X too",
         [] {
             return with.count(4, Put{0, ofClass(mxSINGLE_CLASS, {5, 5})});
         },
         "Bad number of input parameters."},
        {"logical X",
         [] {
             return with(Put{0, ofClass(mxLOGICAL_CLASS, {5, 5})});
         },
         "X must be either double or uint8."},
        {"single X",
         [] {
             return with(Put{0, ofClass(mxSINGLE_CLASS, {5, 5})});
         },
         "X must be either double or uint8."},
        {"int16 X, bad Y too",
         [] {
             return with(Put{0, ofClass(mxINT16_CLASS, {5, 5})},
                         Put{1, ofClass(mxCHAR_CLASS, {1, 2})});
         },
         "X must be either double or uint8."},
        {"function handle X: class tested before the storage is asked for",
         [] {
             return with(Put{0, ofClass(mxFUNCTION_CLASS, {1, 1})});
         },
         "X must be either double or uint8."},
        {"object Y",
         [] {
             return with(Put{1, ofClass(mxUNKNOWN_CLASS, {1, 1})});
         },
         "Y must be either double or uint8."},
        {"sparse X",
         [] {
             return with(Put{0, sparseDoubles(5, 5)});
         },
         "X must not be sparse."},
        {"X with 2^31 rows, bad Y too",
         [=] {
             return with(Put{0, doubles(two31, 0)}, Put{1, sparseDoubles(5, 5)});
         },
         "X is too large."},
        {"logical Y",
         [] {
             return with(Put{1, ofClass(mxLOGICAL_CLASS, {5, 5})});
         },
         "Y must be either double or uint8."},
        {"int8 Y, bad H too",
         [] {
             return with(Put{1, ofClass(mxINT8_CLASS, {5, 5})}, Put{2, doubles(3, 4)});
         },
         "Y must be either double or uint8."},
        {"sparse Y",
         [] {
             return with(Put{1, sparseDoubles(5, 5)});
         },
         "Y must not be sparse."},
        {"uint8 Y with 2^31 columns, bad H too",
         [=] {
             return with(Put{1, ofClass(mxUINT8_CLASS, {0, two31})}, Put{2, doubles(3, 4)});
         },
         "Y is too large."},
        {"H 3x4",
         [] {
             return with(Put{2, doubles(3, 4)});
         },
         "H must be 3x3 matrix."},
        {"H 4x3",
         [] {
             return with(Put{2, doubles(4, 3)});
         },
         "H must be 3x3 matrix."},
        {"H 3x3x2",
         [] {
             return with(Put{2, testhost::doublesNd({3, 3, 2})});
         },
         "H must be 3x3 matrix."},
        {"H 4x3, bad W too",
         [] {
             return with(Put{2, doubles(4, 3)}, Put{3, doubles(2, 2)});
         },
         "H must be 3x3 matrix."},
        {"single H",
         [] {
             return with(Put{2, ofClass(mxSINGLE_CLASS, {3, 3})});
         },
         "H must be a full double matrix."},
        {"sparse H",
         [] {
             return with(Put{2, sparseDoubles(3, 3)});
         },
         "H must be a full double matrix."},
        {"W 2x3",
         [] {
             return with(Put{3, doubles(2, 3)});
         },
         "W must have 3 rows."},
        {"W 0x0",
         [] {
             return with(Put{3, doubles(0, 0)});
         },
         "W must have 3 rows."},
        {"W 4x3, bad u too",
         [] {
             return with(Put{3, doubles(4, 3)}, Put{4, doubles(3, 1)});
         },
         "W must have 3 rows."},
        {"int32 W",
         [] {
             return with(Put{3, ofClass(mxINT32_CLASS, {3, 2})});
         },
         "W must be a full double matrix."},
        {"sparse W",
         [] {
             return with(Put{3, sparseDoubles(3, 4)});
         },
         "W must be a full double matrix."},
        {"no memory", [] { return valid(); }, "Out of memory.", 0},
        {"no memory, u 3x4",
         [] {
             return with(Put{4, doubles(3, 4)});
         },
         "Out of memory.", 0},
        {"u 3x4",
         [] {
             return with(Put{4, doubles(3, 4)});
         },
         "Bad size of u."},
        {"u 1x2",
         [] {
             return with(Put{4, doubles(1, 2)});
         },
         "Bad size of u."},
        {"single u",
         [] {
             return with(Put{4, ofClass(mxSINGLE_CLASS, {2, 3})});
         },
         "u must be a full double matrix."},
        {"sparse u",
         [] {
             return with(Put{4, sparseDoubles(2, 3)});
         },
         "u must be a full double matrix."},
        {"single u 3x1",
         [] {
             return with(Put{4, ofClass(mxSINGLE_CLASS, {3, 1})});
         },
         "Bad size of u."},
    };
    support::expectMessages("patchcorr", cases);
}

struct ShapeCase {
    const char* name;
    Array u;
    std::vector<size_t> dims;
    bool zeros;  // the row keeps its zeros (no point scored)
};

TEST(PatchcorrGateway, AnswersEveryPointListWithOneRow) {
    ShapeCase cases[] = {
        {"u 0x5 keeps five zeros", doubles(0, 5), {1, 5}, true},
        {"u 3x0 is empty, its rows unchecked", doubles(3, 0), {1, 0}, true},
        {"u 0x0", doubles(0, 0), {1, 0}, true},
        {"u 2x0", doubles(2, 0), {1, 0}, true},
        {"empty single u is never read", testhost::ofClass(mxSINGLE_CLASS, {0, 4}), {1, 4}, true},
        {"two points", doubles(2, 2, {3, 3, 2, 3}), {1, 2}, false},
        {"points as a 2x1x2 array", testhost::doublesNd({2, 1, 2}, {3, 3, 2, 3}), {1, 2}, false},
    };
    for (ShapeCase& c : cases) {
        Inputs in = with(Put{4, std::move(c.u)});
        for (int nlhs : {0, 1}) {
            testhost::Result r = support::call("patchcorr", nlhs, in);
            ASSERT_FALSE(r.failed) << c.name << ": " << r.error;
            ASSERT_TRUE(r.outputs[0]) << c.name << ": first slot left empty, nlhs " << nlhs;
            EXPECT_EQ(testhost::dims(r.outputs[0].get()), c.dims) << c.name;
            std::vector<double> v = testhost::values(r.outputs[0].get());
            if (c.zeros) {
                EXPECT_TRUE(std::all_of(v.begin(), v.end(), [](double x) { return x == 0; }))
                    << c.name;
            } else {
                EXPECT_NEAR(v[0], 1.0, 1e-12) << c.name;
            }
        }
    }
}

struct ScoreCase {
    const char* name;
    double u1, u2;
    std::vector<double> weights;
    double bilinear, nearest;  // expected scores; NaN where undefined
    double tolerance = 0;      // exact unless the answer is not a double
};

TEST(PatchcorrKernelThroughHost, WorkedExamples) {
    const ScoreCase cases[] = {
        {"unit weights", 3, 3, {1, 1, 1}, 1, 0.5},
        {"weights 1 1 2", 3, 3, {1, 1, 2}, 1, 1 / std::sqrt(3.0), 3e-16},
        {"weights 1 1 0: three used, two weighted", 3, 3, {1, 1, 0}, 1, kNaN},
        {"first row position 0.9 is below 1", 1.9, 3, {1, 1, 1}, kNaN, kNaN},
        {"row position exactly 1 is used", 2, 3, {1, 1, 1}, 1, 0.5},
        {"Y row position exactly rows-1 is skipped", 3.5, 3, {1, 1, 1}, kNaN, kNaN},
        {"zero weights sum to zero", 3, 3, {0, 0, 0}, kNaN, kNaN},
        {"weights cancel", 3, 3, {1, 1, -2}, kNaN, kNaN},
        {"NaN point is skipped, not read", kNaN, 3, {1, 1, 1}, kNaN, kNaN},
        {"infinite point", INFINITY, 3, {1, 1, 1}, kNaN, kNaN},
    };
    for (const ScoreCase& c : cases) {
        const double w[3] = {c.weights[0], c.weights[1], c.weights[2]};
        for (bool nearest : {false, true}) {
            Inputs in = support::make(
                ramp5, ramp5, shiftH, [&] { return window3(w[0], w[1], w[2]); },
                [&] { return point(c.u1, c.u2); });
            if (nearest) in.push_back(testhost::text("nearest"));
            double expected = nearest ? c.nearest : c.bilinear;
            double got = score1(std::move(in));
            if (std::isnan(expected)) {
                // The host's own NaN, not one the command makes.
                EXPECT_TRUE(support::sameBits(got, mxGetNaN()))
                    << c.name << (nearest ? " (nearest)" : "") << ": " << got;
            } else {
                EXPECT_NEAR(got, expected, c.tolerance) << c.name << (nearest ? " (nearest)" : "");
            }
        }
    }
}

TEST(PatchcorrGateway, OnlyTheExactTextNearestSelectsNearest) {
    struct {
        const char* name;
        std::function<Array()> method;
        bool nearest;
    } cases[] = {
        {"nearest", [] { return testhost::text("nearest"); }, true},
        {"Nearest", [] { return testhost::text("Nearest"); }, false},
        {"NEAREST", [] { return testhost::text("NEAREST"); }, false},
        {"nearestx", [] { return testhost::text("nearestx"); }, false},
        {"trailing blank", [] { return testhost::text("nearest "); }, false},
        {"near", [] { return testhost::text("near"); }, false},
        {"empty text", [] { return testhost::text(""); }, false},
        {"30 characters", [] { return testhost::text("nearestnearestnearestnearest12"); }, false},
        {"a number", [] { return doubles(1, 1, {0}); }, false},
        {"uint8 bytes of nearest",
         [] {
             Array a = testhost::uint8s(1, 8, {'n', 'e', 'a', 'r', 'e', 's', 't', 0});
             return a;
         },
         false},
    };
    for (auto& c : cases) {
        Inputs in = valid();
        in.push_back(c.method());
        EXPECT_NEAR(score1(std::move(in)), c.nearest ? 0.5 : 1.0, 4e-15) << c.name;
    }
}

// A linear image: bilinear interpolation of it is exact, so every window of it under an affine
// map correlates perfectly with the mapped window.
Array linearImage(size_t rows, size_t cols, double a, double b, double c) {
    std::vector<double> v(rows * cols);
    for (size_t j = 0; j < cols; ++j)
        for (size_t i = 0; i < rows; ++i) v[i + j * rows] = a * i + b * j + c;
    return doubles(rows, cols, v);
}

Array affineH() {
    return doubles(3, 3, {1.1, 0.2, 0, -0.1, 0.9, 0, 1.5, -0.5, 1});
}

// The image Y(q) = X(A^-1 (q - t)) for the affine H = [A t; 0 0 1] of affineH() and the linear
// image X of linearImage(rows, cols, a, b, c), in 1-based coordinates.
Array warpedLinear(size_t rows, size_t cols, double a, double b, double c) {
    const double A[4] = {1.1, 0.2, -0.1, 0.9}, t[2] = {1.5, -0.5};  // column-major A
    const double det = A[0] * A[3] - A[2] * A[1];
    const double inv[4] = {A[3] / det, -A[1] / det, -A[2] / det, A[0] / det};
    std::vector<double> v(rows * cols);
    for (size_t j = 0; j < cols; ++j)
        for (size_t i = 0; i < rows; ++i) {
            const double q1 = i + 1.0 - t[0], q2 = j + 1.0 - t[1];
            const double s1 = inv[0] * q1 + inv[2] * q2, s2 = inv[1] * q1 + inv[3] * q2;
            v[i + j * rows] = a * (s1 - 1) + b * (s2 - 1) + c;
        }
    return doubles(rows, cols, v);
}

Array squareWindow(int half) {
    std::vector<double> v;
    for (int dc = -half; dc <= half; ++dc)
        for (int dr = -half; dr <= half; ++dr) {
            v.push_back(dr);
            v.push_back(dc);
            v.push_back(1);
        }
    return doubles(3, v.size() / 3, v);
}

TEST(PatchcorrProperties, ScoresOneAndMinusOneWhereTheyMust) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> pick(8, 22);
    std::vector<double> pts;
    for (int k = 0; k < 40; ++k) pts.push_back(pick(rng));
    struct {
        const char* name;
        Array X, Y, H;
        double expected;
    } cases[] = {
        {"identity, equal images", linearImage(30, 30, 1, 3, 0), linearImage(30, 30, 1, 3, 0),
         identityH(), 1},
        {"Y = 2X + 5", linearImage(30, 30, 1, 3, 0), linearImage(30, 30, 2, 6, 5), identityH(), 1},
        {"Y = -X + 100", linearImage(30, 30, 1, 3, 0), linearImage(30, 30, -1, -3, 100),
         identityH(), -1},
        {"Y is X warped by an affine H", linearImage(30, 30, 1, 3, 0),
         warpedLinear(30, 30, 1, 3, 0), affineH(), 1},
    };
    for (auto& c : cases) {
        Inputs in;
        in.push_back(std::move(c.X));
        in.push_back(std::move(c.Y));
        in.push_back(std::move(c.H));
        in.push_back(squareWindow(2));
        in.push_back(doubles(2, 20, pts));
        for (double s : scores(in)) {
            EXPECT_NEAR(s, c.expected, 1e-9) << c.name;
        }
    }
}

TEST(PatchcorrProperties, Uint8AndDoubleImagesHoldingTheSameNumbersScoreAlike) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<uint8_t> bx(40 * 30), by(40 * 30);
    for (auto& v : bx) v = static_cast<uint8_t>(byte(rng));
    for (auto& v : by) v = static_cast<uint8_t>(byte(rng));
    std::vector<double> dx(bx.begin(), bx.end()), dy(by.begin(), by.end());
    std::uniform_real_distribution<double> pick(-2, 42);
    std::vector<double> pts;
    for (int k = 0; k < 400; ++k) pts.push_back(pick(rng));
    auto H = [] { return doubles(3, 3, {1.02, 0.03, 1e-3, -0.04, 0.97, -2e-3, 0.7, -0.4, 1}); };
    for (const char* method : {"bilinear", "nearest"}) {
        std::vector<std::vector<double>> results;
        for (int kinds = 0; kinds < 4; ++kinds) {
            Inputs in;
            in.push_back(kinds & 1 ? testhost::uint8s(40, 30, bx) : doubles(40, 30, dx));
            in.push_back(kinds & 2 ? testhost::uint8s(40, 30, by) : doubles(40, 30, dy));
            in.push_back(H());
            in.push_back(squareWindow(3));
            in.push_back(doubles(2, 200, pts));
            in.push_back(testhost::text(method));
            results.push_back(scores(in));
        }
        for (int kinds = 1; kinds < 4; ++kinds)
            for (size_t k = 0; k < results[0].size(); ++k)
                EXPECT_TRUE(support::sameBits(results[kinds][k], results[0][k]))
                    << method << " kinds " << kinds << " point " << k;
    }
}

TEST(PatchcorrProperties, AColourImageIsScoredAsOneWideImage) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> value(0, 1);
    std::vector<double> pixels(12 * 10 * 3);
    for (auto& v : pixels) v = value(rng);
    std::vector<double> pts;
    for (int k = 0; k < 30; ++k) {
        pts.push_back(2 + k % 9);
        pts.push_back(2 + k);
    }
    auto run = [&](bool nd) {
        Inputs in;
        in.push_back(nd ? testhost::doublesNd({12, 10, 3}, pixels) : doubles(12, 30, pixels));
        in.push_back(doubles(12, 30, pixels));
        in.push_back(shiftH());
        in.push_back(squareWindow(1));
        in.push_back(doubles(2, 30, pts));
        return scores(in);
    };
    std::vector<double> wide = run(false), colour = run(true);
    ASSERT_EQ(wide.size(), colour.size());
    for (size_t k = 0; k < wide.size(); ++k)
        EXPECT_TRUE(support::sameBits(wide[k], colour[k])) << "point " << k;
}

TEST(PatchcorrProperties, SmallImagesAndEmptyWindowsScoreNaN) {
    struct {
        const char* name;
        size_t rows, cols, windowColumns;
    } cases[] = {
        {"2 rows", 2, 9, 9},
        {"2 columns", 9, 2, 9},
        {"empty image", 0, 0, 9},
        {"no window sample", 9, 9, 0},
    };
    for (auto& c : cases) {
        Inputs in;
        in.push_back(doubles(c.rows, c.cols, std::vector<double>(c.rows * c.cols, 1)));
        in.push_back(linearImage(9, 9, 1, 2, 0));
        in.push_back(identityH());
        in.push_back(c.windowColumns ? squareWindow(1) : doubles(3, 0));
        in.push_back(doubles(2, 3, {2, 2, 5, 5, 1.5, 1.5}));
        for (double s : scores(in)) EXPECT_TRUE(support::sameBits(s, mxGetNaN())) << c.name;
    }
}

// Every thread count gives the bytes of one thread, on points inside, across the border of and
// far outside the images (cheap points, which must not unbalance the shares). 4000 points of a
// 15 x 15 window are enough work for more than 7 threads.
TEST(PatchcorrThreads, EveryThreadCountGivesTheSameBytes) {
    std::mt19937 rng(12);
    std::uniform_real_distribution<double> pixel(0, 255), pos(-40, 190);
    std::vector<double> x(160 * 140);
    std::vector<uint8_t> y(150 * 170);
    for (double& v : x) v = pixel(rng);
    for (uint8_t& v : y) v = static_cast<uint8_t>(pixel(rng));
    std::vector<double> u(2 * 4000);
    for (double& v : u) v = pos(rng);
    for (const char* mode : {"bilinear", "nearest"}) {
        Inputs in;
        in.push_back(doubles(160, 140, x));
        in.push_back(testhost::uint8s(150, 170, y));
        in.push_back(affineH());
        in.push_back(squareWindow(7));
        in.push_back(doubles(2, 4000, u));
        in.push_back(testhost::text(mode));
        const auto one = support::withThreads(nullptr, [&] { return scores(in); });
        ASSERT_EQ(one.size(), 4000u);
        const auto finite =
            std::count_if(one.begin(), one.end(), [](double s) { return std::isfinite(s); });
        EXPECT_GT(finite, 1000) << mode;
        EXPECT_GT(4000 - finite, 1000) << mode;
        support::expectSameBytesOnEveryThreadCount(
            one, [&] { return scores(in); }, mode);
    }
}

TEST(PatchcorrGateway, ReadsOnlyTheRealPartOfComplexInputs) {
    Inputs plain = valid();
    Inputs complexH = with(Put{2, testhost::complexDoubles(3, 3, {1, 0, 0, 0, 1, 0, 0.5, 0, 1},
                                                           std::vector<double>(9, 7))});
    EXPECT_TRUE(support::sameBits(score1(std::move(plain)), score1(std::move(complexH))));
}

}  // namespace
