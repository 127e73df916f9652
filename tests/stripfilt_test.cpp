// stripfilt through the loader: messages in order, shapes, worked responses and properties.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "support.h"

namespace {

using support::Inputs;
using testhost::Array;
using testhost::doubles;

const double kNaN = std::nan("");

// The test image, 1-based: element (r, c) = 3r^2 + 7c + rc, so rows and columns all differ.
double px(int r, int c) {
    return 3.0 * r * r + 7.0 * c + r * c;
}
std::vector<double> pixels(int M, int N) {
    std::vector<double> v(static_cast<size_t>(M) * N);
    for (int c = 1; c <= N; ++c)
        for (int r = 1; r <= M; ++r) v[(r - 1) + (c - 1) * M] = px(r, c);
    return v;
}
Array image(int M = 6, int N = 7) {
    return doubles(M, N, pixels(M, N));
}
// The same image with one element replaced.
Array imageWith(int r, int c, double value) {
    std::vector<double> v = pixels(6, 7);
    v[(r - 1) + (c - 1) * 6] = value;
    return doubles(6, 7, v);
}
// Mean of row r over columns c0 to c1 of the test image.
double meanRow(int r, int c0, int c1) {
    double s = 0;
    for (int c = c0; c <= c1; ++c) s += px(r, c);
    return s / (c1 - c0 + 1);
}
// A linear image, which bilinear sampling reproduces exactly: the mean along a line is the value
// at its mean position.
double lin(double r, double c) {
    return 2 * r - 3 * c + 5;
}
Array linearImage() {
    std::vector<double> v(20 * 20);
    for (int c = 1; c <= 20; ++c)
        for (int r = 1; r <= 20; ++r) v[(r - 1) + (c - 1) * 20] = lin(r, c);
    return doubles(20, 20, v);
}
Array row(std::vector<double> h) {
    return doubles(1, h.size(), h);
}
Array point(double r, double c) {
    return doubles(2, 1, {r, c});
}

Inputs valid() {
    return support::make([] { return image(); },
                         [] {
                             return row({1, 0, -1});
                         },
                         [] { return point(3, 2); }, [] { return point(3, 5); });
}

using support::Put;
const support::With with{valid};

std::vector<double> responses(const Inputs& in, int nlhs = 1) {
    return support::firstOutput("stripfilt", in, nlhs);
}

using support::MessageCase;

TEST(StripfiltGateway, ReportsTheFirstFailingTest) {
    using testhost::doublesNd;
    using testhost::ofClass;
    using testhost::sparseDoubles;
    const size_t two31 = size_t{1} << 31;
    const MessageCase cases[] = {
        {"no inputs", [] { return Inputs{}; }, "Bad number of input arguments."},
        {"three inputs", [] { return with.count(3); }, "Bad number of input arguments."},
        {"five inputs", [] { return with.count(5); }, "Bad number of input arguments."},
        {"three inputs, bad I too",
         [] {
             return with.count(3, Put{0, ofClass(mxSINGLE_CLASS, {2, 2, 3})});
         },
         "Bad number of input arguments."},
        {"RGB image",
         [] {
             return with(Put{0, doublesNd({6, 7, 3})});
         },
         "I must be 2D array."},
        {"single RGB image, dimensions first",
         [] {
             return with(Put{0, ofClass(mxSINGLE_CLASS, {6, 7, 3})});
         },
         "I must be 2D array."},
        {"single I",
         [] {
             return with(Put{0, ofClass(mxSINGLE_CLASS, {6, 7})});
         },
         "I must be either double or uint8."},
        {"int16 I, bad h too",
         [] {
             return with(Put{0, ofClass(mxINT16_CLASS, {6, 7})}, Put{1, row({1, 2})});
         },
         "I must be either double or uint8."},
        {"logical I",
         [] {
             return with(Put{0, ofClass(mxLOGICAL_CLASS, {6, 7})});
         },
         "I must be either double or uint8."},
        {"char I",
         [] {
             return with(Put{0, testhost::text("image")});
         },
         "I must be either double or uint8."},
        {"sparse I, bad h too",
         [] {
             return with(Put{0, sparseDoubles(6, 7)}, Put{1, row({})});
         },
         "I must not be sparse."},
        {"I with 2^31 rows",
         [=] {
             return with(Put{0, doubles(two31, 0)});
         },
         "I is too large."},
        {"uint8 I with 2^31 columns",
         [=] {
             return with(Put{0, ofClass(mxUINT8_CLASS, {0, two31})});
         },
         "I is too large."},
        {"single h",
         [] {
             return with(Put{1, ofClass(mxSINGLE_CLASS, {1, 3})});
         },
         "h must be double vector."},
        {"uint8 h of even length",
         [] {
             return with(Put{1, ofClass(mxUINT8_CLASS, {1, 2})});
         },
         "h must be double vector."},
        {"char h",
         [] {
             return with(Put{1, testhost::text("abc")});
         },
         "h must be double vector."},
        {"empty h",
         [] {
             return with(Put{1, doubles(0, 0)});
         },
         "Vector h must have odd length."},
        {"h 1x0",
         [] {
             return with(Put{1, doubles(1, 0)});
         },
         "Vector h must have odd length."},
        {"h of 2",
         [] {
             return with(Put{1, row({1, 2})});
         },
         "Vector h must have odd length."},
        {"h 2x2, bad u1 too",
         [] {
             return with(Put{1, doubles(2, 2)}, Put{2, doubles(3, 1)});
         },
         "Vector h must have odd length."},
        {"sparse h of 2",
         [] {
             return with(Put{1, sparseDoubles(1, 2)});
         },
         "Vector h must have odd length."},
        {"sparse h of 3",
         [] {
             return with(Put{1, sparseDoubles(1, 3)});
         },
         "h must not be sparse."},
        {"u1 of 3 rows",
         [] {
             return with(Put{2, doubles(3, 1)});
         },
         "Bad size(s) of u1, u2."},
        {"u1 0x0",
         [] {
             return with(Put{2, doubles(0, 0)});
         },
         "Bad size(s) of u1, u2."},
        {"u1 2x1x2",
         [] {
             return with(Put{2, doublesNd({2, 1, 2})});
         },
         "Bad size(s) of u1, u2."},
        {"single u1",
         [] {
             return with(Put{2, ofClass(mxSINGLE_CLASS, {2, 1})});
         },
         "Bad size(s) of u1, u2."},
        {"u2 of 1 row",
         [] {
             return with(Put{3, doubles(1, 2)});
         },
         "Bad size(s) of u1, u2."},
        {"u2 2x1x2",
         [] {
             return with(Put{3, doublesNd({2, 1, 2})});
         },
         "Bad size(s) of u1, u2."},
        {"int32 u2",
         [] {
             return with(Put{3, ofClass(mxINT32_CLASS, {2, 1})});
         },
         "Bad size(s) of u1, u2."},
        {"column counts differ",
         [] {
             return with(Put{3, doubles(2, 2)});
         },
         "Bad size(s) of u1, u2."},
        {"sparse u1 of 3 rows",
         [] {
             return with(Put{2, sparseDoubles(3, 1)});
         },
         "Bad size(s) of u1, u2."},
        {"sparse u1",
         [] {
             return with(Put{2, sparseDoubles(2, 1)});
         },
         "u1 must not be sparse."},
        {"sparse u2",
         [] {
             return with(Put{3, sparseDoubles(2, 1)});
         },
         "u2 must not be sparse."},
        {"no memory", [] { return valid(); }, "Out of memory.", 0},
        {"no memory for a 1x0 row",
         [] {
             return with(Put{2, doubles(2, 0)}, Put{3, doubles(2, 0)});
         },
         "Out of memory.", 0},
        {"no memory, u2 bad",
         [] {
             return with(Put{3, doubles(3, 1)});
         },
         "Bad size(s) of u1, u2.", 0},
    };
    support::expectMessages("stripfilt", cases);
}

struct ResponseCase {
    const char* name;
    std::function<Array()> I, h;
    double u1[2], u2[2];
    double expected;  // NaN where the response is undefined
    double tolerance = 1e-12;
};

Array one(double w) {
    return row({w});
}

// The documented cases, each through the host with 1-based end points.
std::vector<ResponseCase> responseCases() {
    auto h101 = [] { return row({1, 0, -1}); };
    auto def = [] { return image(); };
    auto uniform200 = [] { return testhost::uint8s(10, 10, std::vector<uint8_t>(100, 200)); };
    // The unit direction of (3, 4) and its normal (-0.8, 0.6); the mean step along 5 samples is 2.
    const double r0 = 5, c0 = 5;
    auto onLine = [=](double i) { return lin(r0 + 2 * 0.6 - 0.8 * i, c0 + 2 * 0.8 + 0.6 * i); };
    const double nine[9] = {1, -2, 0.5, 3, -1, 2, 0.25, -4, 1.5};
    double nineTaps = 0;
    for (int k = 0; k < 9; ++k) nineTaps += nine[k] * meanRow(6 - (k - 4), 3, 5);
    return {
        {"row 3, columns 2 to 5: rows 4 minus 2",
         def,
         h101,
         {3, 2},
         {3, 5},
         meanRow(4, 2, 4) - meanRow(2, 2, 4)},
        {"reversed: columns 5 to 2, rows 2 minus 4",
         def,
         h101,
         {3, 5},
         {3, 2},
         meanRow(2, 3, 5) - meanRow(4, 3, 5)},
        {"h as a column",
         def,
         [] {
             return doubles(3, 1, {1, 0, -1});
         },
         {3, 2},
         {3, 5},
         meanRow(4, 2, 4) - meanRow(2, 2, 4)},
        {"column 3, rows 2 to 5: columns 2 minus 4",
         def,
         h101,
         {2, 3},
         {5, 3},
         (px(2, 2) + px(3, 2) + px(4, 2)) / 3 - (px(2, 4) + px(3, 4) + px(4, 4)) / 3},
        {"length 0.5: one sample per line", def, h101, {3, 3}, {3, 3.5}, px(4, 3) - px(2, 3)},
        {"length 0.49: no sample", def, h101, {3, 3}, {3, 3.49}, kNaN},
        {"u1 equal to u2, one tap", def, [] { return one(1); }, {3, 3}, {3, 3}, kNaN},
        {"u1 equal to u2, three taps", def, h101, {3, 3}, {3, 3}, kNaN},
        {"first row, three taps: row 0 is outside", def, h101, {1, 2}, {1, 5}, kNaN},
        {"first row, one tap", def, [] { return one(2); }, {1, 2}, {1, 5}, 2 * meanRow(1, 2, 4)},
        {"row before last is inside", def, [] { return one(1); }, {5, 2}, {5, 5}, meanRow(5, 2, 4)},
        {"last row is outside", def, [] { return one(1); }, {6, 2}, {6, 5}, kNaN},
        {"last column is outside", def, [] { return one(1); }, {2, 7}, {5, 7}, kNaN},
        {"row 0.5 extrapolates from rows 1 and 2",
         def,
         [] { return one(1); },
         {0.5, 3},
         {0.5, 4},
         1.5 * px(1, 3) - 0.5 * px(2, 3)},
        {"row 0 is outside", def, [] { return one(1); }, {0, 3}, {0, 4}, kNaN},
        {"linear image, 3-4-5 diagonal, one tap",
         linearImage,
         [] { return one(2.5); },
         {r0, c0},
         {r0 + 3, c0 + 4},
         2.5 * onLine(0)},
        {"linear image, 3-4-5 diagonal, taps along the normal",
         linearImage,
         [] {
             return row({1, 0.5, -2});
         },
         {r0, c0},
         {r0 + 3, c0 + 4},
         onLine(-1) + 0.5 * onLine(0) - 2 * onLine(1)},
        {"3x3 h is nine taps in storage order",
         [] { return image(12, 9); },
         [=] { return doubles(3, 3, std::vector<double>(nine, nine + 9)); },
         {6, 3},
         {6, 6},
         nineTaps},
        {"uniform uint8 200 gives exactly 200",
         uniform200,
         [] { return one(1); },
         {5, 2},
         {5, 8},
         200,
         0},
        {"uniform uint8 200, taps 1/4 1/2 1/4",
         uniform200,
         [] {
             return row({0.25, 0.5, 0.25});
         },
         {5, 2},
         {5, 8},
         200,
         0},
        {"NaN element read with zero weight",
         [] { return imageWith(4, 3, kNaN); },
         [] { return one(1); },
         {3, 2},
         {3, 5},
         kNaN},
        {"element -1234567 is left out",
         [] { return imageWith(3, 3, -1234567); },
         [] { return one(1); },
         {3, 2},
         {3, 5},
         (px(3, 2) + px(3, 4)) / 2},
        {"complex image: real part",
         [] { return testhost::complexDoubles(6, 7, pixels(6, 7), std::vector<double>(42, 1e6)); },
         [] { return one(1); },
         {5, 2},
         {5, 5},
         meanRow(5, 2, 4)},
        {"one-row image, row 0.5",
         [] { return image(1, 7); },
         [] { return one(1); },
         {0.5, 2},
         {0.5, 5},
         kNaN},
        {"one-column image, column 0.5",
         [] { return image(6, 1); },
         [] { return one(1); },
         {2, 0.5},
         {5, 0.5},
         kNaN},
        {"empty uint8 image",
         [] { return testhost::uint8s(0, 0); },
         [] { return one(1); },
         {0.5, 0.5},
         {0.5, 3},
         kNaN},
        {"image of 2^31 - 1 rows and no column",
         [] { return doubles((size_t{1} << 31) - 1, 0); },
         [] { return one(1); },
         {2, 2},
         {2, 5},
         kNaN},
    };
}

TEST(StripfiltGateway, DocumentedResponses) {
    for (const ResponseCase& c : responseCases()) {
        Inputs in = support::make(
            c.I, c.h, [&] { return point(c.u1[0], c.u1[1]); },
            [&] { return point(c.u2[0], c.u2[1]); });
        std::vector<double> got = responses(in);
        ASSERT_EQ(got.size(), 1u) << c.name;
        if (std::isnan(c.expected)) {
            EXPECT_TRUE(std::isnan(got[0])) << c.name << ": " << got[0];
        } else {
            EXPECT_NEAR(got[0], c.expected, c.tolerance * std::max(1.0, std::fabs(c.expected)))
                << c.name;
        }
    }
}

// Several segments in one call: each column is its own segment, answered in order.
TEST(StripfiltGateway, SegmentsAreTheColumnsInOrder) {
    const std::vector<double> u1 = {3, 2, 3, 5, 3, 3, 1, 2, 0.5, 3, 2, 3, 3, 3};
    const std::vector<double> u2 = {3, 5, 3, 2, 3, 3.5, 1, 5, 0.5, 4, 5, 3, 3, 3.49};
    const size_t K = u1.size() / 2;
    std::vector<double> all = responses(with(Put{2, doubles(2, K, u1)}, Put{3, doubles(2, K, u2)}));
    ASSERT_EQ(all.size(), K);
    for (size_t k = 0; k < K; ++k) {
        std::vector<double> one = responses(
            with(Put{2, point(u1[2 * k], u1[2 * k + 1])}, Put{3, point(u2[2 * k], u2[2 * k + 1])}));
        ASSERT_EQ(one.size(), 1u);
        EXPECT_TRUE(support::sameBits(all[k], one[0])) << "segment " << k;
    }
    EXPECT_NE(all[0], all[1]);
}

TEST(StripfiltGateway, AnswersEverySegmentListWithOneRow) {
    struct {
        const char* name;
        size_t K;
        int nlhs;
    } cases[] = {
        {"no segment", 0, 1},
        {"no segment, no output requested", 0, 0},
        {"three segments, no output requested", 3, 0},
        {"three segments", 3, 1},
    };
    for (auto& c : cases) {
        std::vector<double> ends(2 * c.K, 3);
        for (size_t k = 0; k < c.K; ++k) ends[2 * k + 1] = 5;
        Inputs in = with(Put{3, doubles(2, c.K, ends)},
                         Put{2, doubles(2, c.K, std::vector<double>(2 * c.K, 3))});
        testhost::Result r = support::call("stripfilt", c.nlhs, in);
        ASSERT_FALSE(r.failed) << c.name << ": " << r.error;
        ASSERT_TRUE(r.outputs[0]) << c.name << ": first slot left empty";
        EXPECT_EQ(testhost::dims(r.outputs[0].get()), (std::vector<size_t>{1, c.K})) << c.name;
        for (double v : testhost::values(r.outputs[0].get()))
            EXPECT_NEAR(v, meanRow(4, 3, 4) - meanRow(2, 3, 4), 1e-12) << c.name;
    }
}

TEST(StripfiltProperties, Uint8AndDoubleImagesHoldingTheSameNumbersAgree) {
    std::mt19937 rng(9);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_real_distribution<double> pos(-3, 33);
    std::vector<uint8_t> bytes(25 * 30);
    for (uint8_t& v : bytes) v = static_cast<uint8_t>(byte(rng));
    std::vector<double> ends(4 * 300);
    for (double& v : ends) v = pos(rng);
    std::vector<double> results[2];
    for (int kind = 0; kind < 2; ++kind) {
        Inputs in;
        in.push_back(kind ? testhost::uint8s(25, 30, bytes)
                          : doubles(25, 30, std::vector<double>(bytes.begin(), bytes.end())));
        in.push_back(row({0.5, -1, 2, 1, -0.25}));
        in.push_back(doubles(2, 300, std::vector<double>(ends.begin(), ends.begin() + 600)));
        in.push_back(doubles(2, 300, std::vector<double>(ends.begin() + 600, ends.end())));
        results[kind] = responses(in);
    }
    ASSERT_EQ(results[0].size(), 300u);
    ASSERT_EQ(results[1].size(), 300u);
    int finite = 0;
    for (size_t k = 0; k < 300; ++k) {
        EXPECT_TRUE(support::sameBits(results[0][k], results[1][k])) << "segment " << k;
        finite += std::isfinite(results[0][k]);
    }
    EXPECT_GT(finite, 100);
}

// Every thread count gives the bytes of one thread, on segments inside, across the border of and
// outside the image, 10 to 100 long. 3000 segments of 7 taps are enough work for 7 threads.
TEST(StripfiltThreads, EveryThreadCountGivesTheSameBytes) {
    std::mt19937 rng(13);
    std::uniform_real_distribution<double> pos(-30, 180), length(10, 100), angle(0, 6.3);
    std::vector<double> u1, u2;
    for (int k = 0; k < 3000; ++k) {
        const double r = pos(rng), c = pos(rng), L = length(rng), a = angle(rng);
        u1.insert(u1.end(), {r, c});
        u2.insert(u2.end(), {r + L * std::cos(a), c + L * std::sin(a)});
    }
    for (bool uint8 : {false, true}) {
        std::vector<double> v = pixels(150, 150);
        for (double& x : v) x = std::fmod(x, 256);
        Inputs in;
        in.push_back(uint8 ? testhost::uint8s(150, 150, std::vector<uint8_t>(v.begin(), v.end()))
                           : doubles(150, 150, v));
        in.push_back(row({-1, -4, -5, 0, 5, 4, 1}));
        in.push_back(doubles(2, 3000, u1));
        in.push_back(doubles(2, 3000, u2));
        const auto one = support::withThreads(nullptr, [&] { return responses(in); });
        ASSERT_EQ(one.size(), 3000u);
        const auto finite =
            std::count_if(one.begin(), one.end(), [](double s) { return std::isfinite(s); });
        EXPECT_GT(finite, 1000) << uint8;
        EXPECT_GT(3000 - finite, 500) << uint8;
        support::expectSameBytesOnEveryThreadCount(
            one, [&] { return responses(in); }, uint8 ? "uint8" : "double");
    }
}

}  // namespace
