// The patchcorr kernel called directly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "layouts.h"
#include "ncc.h"
#include "straightforward.h"
#include "worked_examples.h"

namespace {

// What a host's mxGetNaN might return: a NaN unlike the compiler's, so that the tests see every
// undefined score take it.
const double kUndefined = -std::nan("0x5eed");

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
    const std::vector<double> X = worked::ramp5(), W = worked::window3();
    const std::vector<uint8_t> Xb(X.begin(), X.end());
    const int32_t size[2] = {5, 5};
    const double* H = worked::kShiftH.data();
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
        const void* x = c.kindX == 0 ? static_cast<const void*>(X.data()) : Xb.data();
        const void* y = c.kindY == 0 ? static_cast<const void*>(X.data()) : Xb.data();
        EXPECT_NEAR(patchcorr::ncc(x, size, c.kindX, y, size, c.kindY, u, H, W.data(), 3, c.mode),
                    c.expected, 4e-15)
            << c.name;
    }
}

// Both modes score the double images X and Y under the identity map with the three offsets of W
// at u: 1 when `scores`, else the bits of `undefined`.
void expectScoresInBothModes(const std::vector<double>& X, const int32_t sizeX[2],
                             const std::vector<double>& Y, const int32_t sizeY[2],
                             const double u[2], const double W[9], bool scores,
                             const std::string& name, double undefined) {
    const double H[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    for (int mode : {patchcorr::kNearest, patchcorr::kBilinear}) {
        const double score =
            patchcorr::ncc(X.data(), sizeX, 0, Y.data(), sizeY, 0, u, H, W, 3, mode, undefined);
        if (scores) {
            EXPECT_NEAR(score, 1, 1e-12) << name;
        } else {
            EXPECT_EQ(std::memcmp(&score, &undefined, sizeof score), 0) << name;
        }
    }
}

// A window is flat at a weighted variance of 1e-9 or less, in squared image units. The samples at
// rows 1, 2 and 3 of column 2 hold s, -s and 0 with the weights 1, 1 and 0: their mean is exactly 0
// and their variance the square of s as a double.
TEST(Ncc, FlatWindowsScoreUndefined) {
    // A value whose square is 1e-9 exactly, as a double: the variance at the limit.
    double atLimit = std::nextafter(std::sqrt(1e-9), 0.0);
    for (int k = 0; k < 4 && atLimit * atLimit != 1e-9; ++k) atLimit = std::nextafter(atLimit, 1.0);
    ASSERT_EQ(atLimit * atLimit, 1e-9);
    const double W[9] = {-1, 0, 1, 0, 0, 1, 1, 0, 0};
    const double u[2] = {3, 3};
    const int32_t size[2] = {5, 5};
    struct {
        const char* name;
        double sX, sY;
        bool flat;
    } cases[] = {
        {"variances 2e-9", std::sqrt(2e-9), std::sqrt(2e-9), false},
        {"variances 1.1e-9", std::sqrt(1.1e-9), std::sqrt(1.1e-9), false},
        {"X at the limit", atLimit, 1, true},
        {"Y at the limit", 1, atLimit, true},
        {"X variance 0.9e-9", std::sqrt(0.9e-9), 1, true},
        {"Y variance 0.9e-9", 1, std::sqrt(0.9e-9), true},
        {"variances 1e-12", 1e-6, 1e-6, true},
    };
    for (const auto& c : cases) {
        std::vector<double> X(25, 7), Y(25, 7);
        for (auto [image, s] : {std::pair{&X, c.sX}, std::pair{&Y, c.sY}}) {
            (*image)[1 + 2 * 5] = s;
            (*image)[2 + 2 * 5] = -s;
            (*image)[3 + 2 * 5] = 0;
        }
        expectScoresInBothModes(X, size, Y, size, u, W, !c.flat, c.name, kUndefined);
    }
}

// Samples are inside an image from row (column) 1 up to but not including its last, so that 3 rows
// or columns are the fewest that score: row (column) 1 alone. A window of three whose third sample
// falls on row (column) 0 or on the last keeps two: too few. X = Y, element (r, c) = r + 10 c; then
// either one against the same ramp a row and a column larger, so that each image's own bounds
// count. The undefined score is the one ncc gives when the caller passes none.
TEST(Ncc, ThreeRowsOrColumnsAreTheFewestThatScore) {
    struct {
        const char* name;
        int32_t rows, columns;
        double u[2], W[9];
        bool scores;
    } cases[] = {
        {"3 rows, along row 1", 3, 9, {2, 5}, {0, -1, 1, 0, 0, 1, 0, 1, 1}, true},
        {"3 columns, along column 1", 9, 3, {5, 2}, {-1, 0, 1, 0, 0, 1, 1, 0, 1}, true},
        {"2 rows", 2, 9, {2, 5}, {0, -1, 1, 0, 0, 1, 0, 1, 1}, false},
        {"2 columns", 9, 2, {5, 2}, {-1, 0, 1, 0, 0, 1, 1, 0, 1}, false},
        {"4 rows, one sample on the last", 4, 9, {3, 5}, {0, -1, 1, 0, 0, 1, 1, 0, 1}, false},
        {"4 columns, one sample on the last", 9, 4, {5, 3}, {-1, 0, 1, 0, 0, 1, 0, 1, 1}, false},
        {"4 rows, one sample on row 0", 4, 9, {2, 5}, {-1, 0, 1, 0, -1, 1, 0, 0, 1}, false},
        {"4 columns, one sample on column 0", 9, 4, {5, 2}, {0, -1, 1, -1, 0, 1, 0, 0, 1}, false},
    };
    auto ramp = [](const int32_t size[2]) {
        std::vector<double> X;
        for (int32_t col = 0; col < size[1]; ++col)
            for (int32_t row = 0; row < size[0]; ++row) X.push_back(row + 10.0 * col);
        return X;
    };
    const double undefined = std::numeric_limits<double>::quiet_NaN();
    for (const auto& c : cases) {
        const int32_t size[2] = {c.rows, c.columns}, larger[2] = {c.rows + 1, c.columns + 1};
        const std::vector<double> X = ramp(size), Z = ramp(larger);
        const std::string name = c.name;
        expectScoresInBothModes(X, size, X, size, c.u, c.W, c.scores, name, undefined);
        expectScoresInBothModes(X, size, Z, larger, c.u, c.W, c.scores, name + ", Y larger",
                                undefined);
        expectScoresInBothModes(Z, larger, X, size, c.u, c.W, c.scores, name + ", X larger",
                                undefined);
    }
}

// The batch scorer on every instruction set this processor can run, against the point-by-point
// loop on double images holding the same values, bit for bit: random images of every small size
// (below 3 rows or columns none can be sampled), every element type and every layout of layouts.h
// in either image (the two in one layout or in two), both modes,
// windows and points reaching over the borders, a few NaN and infinite values among them (in
// double and float images), and point counts that leave the last group of lanes partly empty.
struct Draw {
    std::mt19937 rng;
    double uniform(double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(rng);
    }
    int integer(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    // Now and then a NaN of either sign or an infinity instead of the value.
    double sometimes(double v, int oneIn) {
        const int k = integer(0, oneIn);
        if (k == 0)
            return std::copysign(std::numeric_limits<double>::quiet_NaN(), integer(0, 1) - 0.5);
        if (k == 1) return std::numeric_limits<double>::infinity();
        return v;
    }
};

// An image of any element type: its values as doubles (column-major), for the point loop, and its
// elements, column-major and as laid out in one of the layouts of layouts.h.
struct Image {
    int32_t size[2];
    mexgeom::Element element;
    std::vector<double> values;
    std::vector<unsigned char> elements;
    layouts::LaidOut laid{};
    int layout = 0;

    mexgeom::ImageView view() const { return laid.view(); }
    void layOut(int k) {
        layout = k;
        const std::size_t bytes = values.empty() ? 0 : elements.size() / values.size();
        laid = layouts::layOut(elements.data(), bytes, size[0], size[1], element, k);
    }
};

// n random values of T (now and then NaN or Inf when T is a floating type and special is small),
// as doubles and as elements of T.
template <typename T>
void fill(Image& im, Draw& d, std::size_t n, int special) {
    im.element = mexgeom::elementOf<T>();
    im.elements.resize(n * sizeof(T));
    for (std::size_t k = 0; k < n; ++k) {
        T e;
        if constexpr (std::is_integral_v<T>) {
            e = static_cast<T>(d.integer(0, std::numeric_limits<T>::max()));
        } else {
            e = static_cast<T>(d.sometimes(d.uniform(-100, 100), special));
        }
        im.values.push_back(e);
        std::memcpy(&im.elements[k * sizeof(T)], &e, sizeof e);
    }
}

// An image of the given size, or of a random size (below 0), of a random element type.
Image randomImage(Draw& d, int32_t rows = -1, int32_t columns = -1) {
    const int32_t sizes[] = {0, 1, 2, 3, 4, 5, 9, 17};
    auto size = [&] { return d.integer(0, 3) == 0 ? sizes[d.integer(0, 7)] : 40; };
    if (rows < 0) rows = size();
    if (columns < 0) columns = size();
    Image im{{rows, columns}, {}, {}, {}};
    const std::size_t n = static_cast<std::size_t>(rows) * columns;
    const int special = d.integer(0, 4) == 0 ? 100 : 1 << 30;  // one image in five has NaN, Inf
    const decltype(&fill<double>) fills[] = {fill<double>, fill<uint8_t>, fill<float>,
                                             fill<uint16_t>};
    fills[d.integer(0, 3)](im, d, n, special);
    im.layOut(d.integer(0, 1) == 0 ? 0 : d.integer(0, layouts::kCount - 1));
    return im;
}

const mexgeom::Isa kIsas[] = {mexgeom::Isa::kBaseline, mexgeom::Isa::kAvx2, mexgeom::Isa::kAvx512};

TEST(ScoreAll, EveryInstructionSetGivesThePointLoopsBits) {
    Draw d{std::mt19937(11)};
    int scored = 0, total = 0;
    for (int trial = 0; trial < 1500; ++trial) {
        // Y: X itself, another image of its size, or any image.
        const Image X = randomImage(d);
        const int y = d.integer(0, 5);
        const Image Y = y == 0 ? X : y == 1 ? randomImage(d) : randomImage(d, X.size[0], X.size[1]);
        // A perspective map near the identity, or an affine one, or now and then a broken one.
        double H[9] = {d.uniform(0.8, 1.2),  d.uniform(-0.2, 0.2), 0,
                       d.uniform(-0.2, 0.2), d.uniform(0.8, 1.2),  0,
                       d.uniform(-3, 3),     d.uniform(-3, 3),     1};
        if (d.integer(0, 1) == 0) {
            H[2] = d.uniform(-0.01, 0.01);
            H[5] = d.uniform(-0.01, 0.01);
        }
        if (d.integer(0, 20) == 0) H[d.integer(0, 8)] = d.sometimes(0, 1);
        // A grid window with random weights, or scattered fractional offsets.
        const int32_t nWs[] = {0, 1, 2, 3, 5, 9, 25, 25, 49, 49, 49, 49};
        const int32_t nW = nWs[d.integer(0, 11)];
        const bool grid = d.integer(0, 1) == 0;
        std::vector<double> W;
        for (int32_t j = 0; j < nW; ++j) {
            const double dr = grid ? j % 7 - 3 : d.uniform(-4, 4);
            const double dc = grid ? j / 7 - 3 : d.uniform(-4, 4);
            const double w = d.integer(0, 5) == 0 ? 0 : d.uniform(d.integer(0, 9) == 0 ? -1 : 0, 2);
            W.insert(W.end(), {d.sometimes(dr, 1000), d.sometimes(dc, 1000), d.sometimes(w, 1000)});
        }
        const std::size_t Ks[] = {0, 1, 2, 7, 8, 9, 17, 33};
        const std::size_t K = Ks[d.integer(0, 7)];
        std::vector<double> u;
        for (std::size_t k = 0; k < 2 * K; ++k) {
            u.push_back(d.sometimes(d.uniform(-3, (k % 2 == 0 ? X.size[0] : X.size[1]) + 3), 200));
        }
        // Storage of exactly 2K doubles, so that the sanitizer builds catch a read past the points.
        u.shrink_to_fit();
        const int modes[] = {patchcorr::kNearest, patchcorr::kBilinear, 5};
        const int mode = modes[d.integer(0, 2)];

        std::vector<double> expected(K);
        for (std::size_t k = 0; k < K; ++k) {
            expected[k] = straightforward::ncc(X.values.data(), X.size, 0, Y.values.data(), Y.size,
                                               0, &u[2 * k], H, W.data(), nW, mode, kUndefined);
            scored += !std::isnan(expected[k]);
            ++total;
        }
        for (mexgeom::Isa isa : kIsas) {
            if (!mexgeom::supported(isa)) continue;
            std::vector<double> got(K + 1, 7.0);
            patchcorr::scoreAll(X.view(), Y.view(), u.data(), K, H, W.data(), nW, mode, kUndefined,
                                got.data(), isa);
            for (std::size_t k = 0; k < K; ++k) {
                EXPECT_EQ(std::memcmp(&got[k], &expected[k], sizeof(double)), 0)
                    << "trial " << trial << ", instruction set " << static_cast<int>(isa)
                    << ", elements " << static_cast<int>(X.element) << " and "
                    << static_cast<int>(Y.element) << ", layouts "
                    << layouts::stridesOf(X.layout, 1, 1).name << " and "
                    << layouts::stridesOf(Y.layout, 1, 1).name << ", point " << k << " of " << K
                    << ": " << got[k] << " instead of " << expected[k];
            }
            EXPECT_EQ(got[K], 7.0) << "trial " << trial << ": wrote past the last score";
        }
    }
    // The draws must reach both answers.
    EXPECT_GT(scored, total / 10);
    EXPECT_LT(scored, total);
}

// Images of 1 MB and more, where the scorer fetches the next points' windows ahead: the plan must
// stay inside the images and bounded whatever H does (a rank-deficient Jacobian flattens the
// window onto a line across the whole of Y), and the scores keep the point loop's bits.
TEST(ScoreAll, PrefetchingLargeImagesKeepsThePointLoopsBits) {
    Draw d{std::mt19937(23)};
    const double big = 1e6;
    const struct {
        const char* name;
        double H[9];
    } maps[] = {
        {"near the identity", {1.02, 0.01, 0, -0.01, 0.98, 0, 1.5, -2.5, 1}},
        {"perspective", {1, 0.02, 1e-4, -0.02, 1, -2e-4, 3, 1, 1}},
        {"rank 1: rows of Y only", {big, 0, 0, big, 0, 0, 0, 200, 1}},
        {"rank 1: columns of Y only", {0, big, 0, 0, big, 0, 200, 0, 1}},
        {"rank 0: every offset to the centre", {0, 0, 0, 0, 0, 0, 100, 100, 1}},
        {"centre at infinity", {1, 0, 1, 0, 1, 0, 0, 0, 0}},
    };
    Image images[] = {randomImage(d, 400, 400), randomImage(d, 1100, 1000)};
    const Image& X = images[images[0].element == mexgeom::Element::kDouble ? 0 : 1];
    std::vector<double> W;
    for (int j = 0; j < 49; ++j) W.insert(W.end(), {j % 7 - 3.0, j / 7 - 3.0, 1.0 + j % 3});
    const std::size_t K = 37;
    std::vector<double> u;
    for (std::size_t k = 0; k < K; ++k) {
        u.push_back(d.uniform(-5, X.size[0] + 5));
        u.push_back(d.uniform(-5, X.size[1] + 5));
    }
    // Both images column-major, both row-major, both reversed: each layout fetches its own way.
    for (int layout : {0, 1, 6}) {
        for (Image& image : images) image.layOut(layout);
        for (const Image& Y : images) {
            for (const auto& m : maps) {
                for (int mode : {patchcorr::kNearest, patchcorr::kBilinear}) {
                    for (mexgeom::Isa isa : kIsas) {
                        if (!mexgeom::supported(isa)) continue;
                        std::vector<double> got(K);
                        patchcorr::scoreAll(X.view(), Y.view(), u.data(), K, m.H, W.data(), 49,
                                            mode, kUndefined, got.data(), isa);
                        for (std::size_t k = 0; k < K; ++k) {
                            const double expected = straightforward::ncc(
                                X.values.data(), X.size, 0, Y.values.data(), Y.size, 0, &u[2 * k],
                                m.H, W.data(), 49, mode, kUndefined);
                            EXPECT_TRUE(std::memcmp(&got[k], &expected, sizeof(double)) == 0)
                                << m.name << ", Y " << Y.size[0] << " x " << Y.size[1]
                                << ", layout " << layout << ", mode " << mode
                                << ", instruction set " << static_cast<int>(isa) << ", point " << k
                                << ": " << got[k] << " instead of " << expected;
                        }
                    }
                }
            }
        }
    }
}

}  // namespace
