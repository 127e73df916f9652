// The stripfilt kernel called directly: against a straightforward sample-by-sample loop on random
// images and segments, on segments far longer than the image, and on non-finite positions.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "imgraduv.h"
#include "layouts.h"
#include "straightforward.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Every NaN response is one NaN (sign set, quiet, no payload), whatever NaNs met to make it.
using straightforward::oneNaN;

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The response written as plainly as the algorithm reads: every step j from 0 to n - 1 of every
// offset line is sampled and tested, nothing is skipped. Positions are truncated to 32-bit
// integers, with the most negative integer for NaN or out-of-range values.
int32_t truncated(double x) {
    if (!(x > -2147483649.0 && x < 2147483648.0)) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(x);
}

template <typename T>
double referenceSample(const std::vector<T>& I, int32_t M, int32_t N, double p1, double p2) {
    const int32_t t1 = truncated(p1), t2 = truncated(p2);
    if (t1 < 0 || t2 < 0 || t1 >= M - 1 || t2 >= N - 1) return -1234567;
    const double f1 = p1 - t1, f2 = p2 - t2;
    auto e = [&](int32_t r, int32_t c) {
        return static_cast<double>(I[static_cast<size_t>(r) + static_cast<size_t>(c) * M]);
    };
    return (1 - f2) * ((1 - f1) * e(t1, t2) + f1 * e(t1 + 1, t2)) +
           f2 * ((1 - f1) * e(t1, t2 + 1) + f1 * e(t1 + 1, t2 + 1));
}

template <typename T>
double reference(const std::vector<T>& I, int32_t M, int32_t N, const std::vector<double>& h,
                 const double a[2], const double b[2]) {
    const int32_t m = static_cast<int32_t>(h.size() - 1) / 2;
    const double L = std::sqrt((b[0] - a[0]) * (b[0] - a[0]) + (b[1] - a[1]) * (b[1] - a[1]));
    int32_t n = 0;
    if (L > 0 && L + 0.5 < 2147483648.0) n = static_cast<int32_t>(L + 0.5);
    const double d1 = (b[0] - a[0]) / L, d2 = (b[1] - a[1]) / L;
    double total = 0;
    for (int32_t i = -m; i <= m; ++i) {
        const double w = h[i + m];
        double sum = 0;
        int32_t count = 0;
        for (int32_t j = 0; j < n; ++j) {
            const double p1 = (j * d1 + (-d2 * i)) + a[0];
            const double p2 = (j * d2 + i * d1) + a[1];
            const double v = referenceSample(I, M, N, p1, p2);
            if (v != -1234567) {
                sum = sum + w * v;
                count = count + 1;
            }
        }
        total = total + sum / count;
    }
    return oneNaN(total);
}

template <typename T>
double kernel(const std::vector<T>& I, int32_t M, int32_t N, const std::vector<double>& h,
              const double a[2], const double b[2]) {
    const int32_t size[2] = {M, N};
    return stripfilt::imgraduv<T>(I.data(), size, h.data(), static_cast<int32_t>(h.size() / 2), a,
                                  b);
}

// The same on a chosen instruction set.
template <typename T>
double kernelOn(mexgeom::Isa isa, const std::vector<T>& I, int32_t M, int32_t N,
                const std::vector<double>& h, const double a[2], const double b[2]) {
    return stripfilt::imgraduv({I.data(), M, N, mexgeom::elementOf<T>()}, h.data(),
                               static_cast<int32_t>(h.size() / 2), a, b, isa);
}

const mexgeom::Isa kIsas[] = {mexgeom::Isa::kBaseline, mexgeom::Isa::kAvx2, mexgeom::Isa::kAvx512};

// Segments that cross the image border in every way: short and long, from inside, outside and on
// the border lines, axis-aligned ones on integer and half-integer positions (which put samples
// exactly on the limits -1 and size - 1), and end points far outside.
struct Segment {
    double a[2], b[2];
};

Segment randomSegment(std::mt19937& rng, int32_t M, int32_t N) {
    std::uniform_int_distribution<int> kind(0, 5);
    std::uniform_real_distribution<double> unit(0, 1);
    auto near = [&](int32_t size) { return -6 + (size + 12) * unit(rng); };
    auto grid = [&](int32_t size) { return std::floor(2 * near(size)) / 2; };
    auto far = [&]() { return (unit(rng) < 0.5 ? -1 : 1) * std::pow(10.0, 1 + 3.3 * unit(rng)); };
    Segment s{};
    switch (kind(rng)) {
        case 0:  // anywhere near the image
            s = {{near(M), near(N)}, {near(M), near(N)}};
            break;
        case 1:  // on the half-unit grid
            s = {{grid(M), grid(N)}, {grid(M), grid(N)}};
            break;
        case 2:  // along a row or a column on the grid
            if (unit(rng) < 0.5) {
                const double r = grid(M);
                s = {{r, grid(N)}, {r, grid(N)}};
            } else {
                const double c = grid(N);
                s = {{grid(M), c}, {grid(M), c}};
            }
            break;
        case 3:  // from near the image to far away, either way round
            s = {{near(M), near(N)}, {far(), far()}};
            if (unit(rng) < 0.5) std::swap(s.a, s.b);
            break;
        case 4:  // a long line through the image, from far to far
            s = {{near(M) + far(), near(N) + far()}, {near(M), near(N)}};
            s.b[0] += s.b[0] - s.a[0];
            s.b[1] += s.b[1] - s.a[1];
            break;
        default:  // a long row or column from far outside
            s = {{grid(M), -far() - 7}, {grid(M), far()}};
            if (unit(rng) < 0.5) std::swap(s.a, s.b);
            if (unit(rng) < 0.5) {
                std::swap(s.a[0], s.a[1]);
                std::swap(s.b[0], s.b[1]);
            }
            break;
    }
    return s;
}

// An image of an integer type: every value of the type.
template <typename T>
std::vector<T> randomImage(std::mt19937& rng, int32_t M, int32_t N) {
    std::uniform_int_distribution<int> value(0, std::numeric_limits<T>::max());
    std::vector<T> I(static_cast<size_t>(M) * N);
    for (T& v : I) v = static_cast<T>(value(rng));
    return I;
}

template <>
std::vector<double> randomImage<double>(std::mt19937& rng, int32_t M, int32_t N) {
    std::uniform_real_distribution<double> value(-100, 100);
    std::uniform_int_distribution<int> special(0, 399);
    std::vector<double> I(static_cast<size_t>(M) * N);
    for (double& v : I) {
        const int s = special(rng);
        v = s == 0 ? -1234567 : s == 1 ? kNaN : s == 2 ? -kNaN : value(rng);
    }
    return I;
}

// The double image's values rounded to floats, with infinities of either sign among them.
template <>
std::vector<float> randomImage<float>(std::mt19937& rng, int32_t M, int32_t N) {
    std::uniform_int_distribution<int> special(0, 1999);
    std::vector<float> I;
    for (double v : randomImage<double>(rng, M, N)) {
        const int s = special(rng);
        I.push_back(s == 0 ? INFINITY : s == 1 ? -INFINITY : static_cast<float>(v));
    }
    return I;
}

// On every instruction set this processor can run (the default choice among them is tested by
// the other tests), each image in its turn in every layout of layouts.h.
template <typename T>
void compareWithReference(uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int32_t> size(0, 40), half(0, 5);
    std::uniform_real_distribution<double> tap(-2, 2);
    int finite = 0, total = 0;
    for (int image = 0; image < 60; ++image) {
        const int32_t M = size(rng), N = size(rng);
        const std::vector<T> I = randomImage<T>(rng, M, N);
        const int layout = image % layouts::kCount;
        const layouts::LaidOut laid =
            layouts::layOut(reinterpret_cast<const unsigned char*>(I.data()), sizeof(T), M, N,
                            mexgeom::elementOf<T>(), layout);
        std::vector<double> h(2 * half(rng) + 1);
        for (double& w : h) w = tap(rng);
        // A few filters have a NaN tap, of either sign, to meet the image's NaNs.
        if (image % 16 == 5) h[image % h.size()] = image % 32 < 16 ? kNaN : -kNaN;
        for (int k = 0; k < 50; ++k) {
            const Segment s = randomSegment(rng, M, N);
            const double expected = reference(I, M, N, h, s.a, s.b);
            for (mexgeom::Isa isa : kIsas) {
                if (!mexgeom::supported(isa)) continue;
                const double got = stripfilt::imgraduv(
                    laid.view(), h.data(), static_cast<int32_t>(h.size() / 2), s.a, s.b, isa);
                EXPECT_TRUE(sameBits(got, expected))
                    << "instruction set " << static_cast<int>(isa) << ", image " << M << " x " << N
                    << ", " << layouts::stridesOf(layout, M, N).name << ", m " << h.size() / 2
                    << ", from (" << s.a[0] << ", " << s.a[1] << ") to (" << s.b[0] << ", "
                    << s.b[1] << "): " << got << " instead of " << expected;
            }
            finite += std::isfinite(expected);
            ++total;
        }
    }
    // The draws must exercise both answers, not only NaN.
    EXPECT_GT(finite, total / 5);
    EXPECT_LT(finite, total);
}

TEST(Imgraduv, MatchesTheSampleBySampleLoopOnDoubleImages) {
    compareWithReference<double>(1);
    compareWithReference<double>(2);
}

TEST(Imgraduv, MatchesTheSampleBySampleLoopOnUint8Images) {
    compareWithReference<uint8_t>(3);
    compareWithReference<uint8_t>(4);
}

// Each value used as the double it equals: the loop reads the float and 16-bit elements as doubles.
TEST(Imgraduv, MatchesTheSampleBySampleLoopOnFloatAndUint16Images) {
    compareWithReference<float>(9);
    compareWithReference<uint16_t>(10);
}

// Segments of up to 2^31 - 1 samples per line against a short segment with the same unit
// direction and the same positions at every step that can be inside: the answers must be the
// same bits, and the long ones must not visit their samples one by one.
TEST(Imgraduv, LongSegmentsCostOnlyTheirInsideSamples) {
    const int32_t M = 23, N = 31;
    std::mt19937 rng(5);
    const std::vector<double> I = randomImage<double>(rng, M, N);
    std::vector<double> clean(I);
    for (double& v : clean)
        if (std::isnan(v) || v == -1234567) v = 1;
    // Five taps take the lanes along the steps on every instruction set, seven the lanes across
    // the lines.
    const std::vector<double> filters[] = {{0.5, -1, 2, 0.25, -0.75},
                                           {0.5, -1, 2, 0.25, -0.75, 1.5, -3}};
    const double big = 2147483647.0, t = 268435456.0;  // 2^31 - 1 and 2^28
    struct {
        const char* name;
        Segment huge, equivalent;
    } cases[] = {
        {"row, 2e9 long", {{7, 0}, {7, 2e9}}, {{7, 0}, {7, N + 3.0}}},
        {"row, 2^31 - 1 samples", {{7, 0}, {7, big}}, {{7, 0}, {7, N + 3.0}}},
        {"row, from 2e9 before the image", {{7, -2e9}, {7, 1e8}}, {{7, -5}, {7, N + 5.0}}},
        {"row, toward the image from 2e9", {{7, 2e9}, {7, 0}}, {{7, N + 5.0}, {7, 0}}},
        {"column, 2^31 - 1 samples back to row 0",
         {{big, 4.5}, {0, 4.5}},
         {{M + 6.0, 4.5}, {0, 4.5}}},
        {"3-4-5 diagonal, 2^28 units",
         {{0.25, -3}, {3 * t + 0.25, 4 * t - 3}},
         {{0.25, -3}, {3 * 32 + 0.25, 4 * 32 - 3}}},
        {"3-4-5 diagonal, up and left for 2^28 units",
         {{20, 28}, {20 - 3 * t, 28 - 4 * t}},
         {{20, 28}, {20 - 3 * 64, 28 - 4 * 64}}},
    };
    for (auto& c : cases) {
        for (const std::vector<double>& h : filters) {
            for (mexgeom::Isa isa : kIsas) {
                if (!mexgeom::supported(isa)) continue;
                for (const std::vector<double>* image :
                     {&I, static_cast<const std::vector<double>*>(&clean)}) {
                    const double expected =
                        reference(*image, M, N, h, c.equivalent.a, c.equivalent.b);
                    EXPECT_TRUE(
                        sameBits(kernelOn(isa, *image, M, N, h, c.huge.a, c.huge.b), expected))
                        << c.name << ", " << h.size() << " taps, instruction set "
                        << static_cast<int>(isa);
                }
                EXPECT_TRUE(std::isfinite(kernelOn(isa, clean, M, N, h, c.huge.a, c.huge.b)))
                    << c.name;
            }
        }
    }
    // No clock here: a kernel that visited the 2^31 samples one by one would take hours, and the
    // kernel test's timeout (tests/CMakeLists.txt) fails it.
}

// Lengths and positions that no 32-bit integer holds: no samples, or samples outside; never an
// undefined conversion.
TEST(Imgraduv, NonFiniteAndHugeValuesGiveNaN) {
    const int32_t M = 9, N = 9;
    std::vector<double> I(M * N, 3);
    const double two31 = 2147483648.0, inf = INFINITY;
    struct {
        const char* name;
        Segment s;
    } cases[] = {
        {"NaN start", {{kNaN, 3}, {4, 3}}},
        {"NaN end", {{3, 3}, {3, kNaN}}},
        {"infinite end", {{3, 3}, {inf, 3}}},
        {"both ends infinite", {{-inf, 3}, {inf, 3}}},
        {"1e300 end: infinite length", {{3, 3}, {3, 1e300}}},
        {"-1e300 start", {{-1e300, 3}, {3, 3}}},
        {"both ends at 1e300: positions beyond 32 bits", {{1e300, 3}, {1e300, 8}}},
        {"both ends at -1e300", {{3, -1e300}, {8, -1e300}}},
        {"row 2^31", {{two31, 3}, {two31, 8}}},
        {"column -2^31 - 1", {{3, -two31 - 1}, {8, -two31 - 1}}},
        {"column 2^31 - 0.5, inside the 32-bit range", {{3, two31 - 0.5}, {8, two31 - 0.5}}},
        {"length 2^31 - 0.5 rounds to 2^31 samples", {{3, 3}, {3, 3 + two31 - 0.5}}},
        {"length 1e15", {{3, 3}, {3, 1e15}}},
        {"length 0.49", {{3, 3}, {3.49, 3}}},
        {"no length", {{3, 3}, {3, 3}}},
    };
    for (auto& c : cases) {
        for (const std::vector<double>& h : {std::vector<double>{1}, std::vector<double>{1, 2, 3},
                                             std::vector<double>{1, 2, 3, 4, 5, 6, 7}}) {
            EXPECT_TRUE(std::isnan(kernel(I, M, N, h, c.s.a, c.s.b))) << c.name;
        }
    }
    // A start 2^31 - 48 before the image still reaches it with its last samples.
    const Segment through = {{4, -2147483600.5}, {4, 20.5}};
    const Segment shortThrough = {{4, -5.5}, {4, 20.5}};
    EXPECT_EQ(kernel(I, M, N, {1}, through.a, through.b), 3);
    EXPECT_TRUE(sameBits(kernel(I, M, N, {1, 2, 3}, through.a, through.b),
                         reference(I, M, N, {1, 2, 3}, shortThrough.a, shortThrough.b)));
}

TEST(Imgraduv, KindFlagSelectsTheElementType) {
    std::mt19937 rng(6);
    const int32_t M = 12, N = 15, size[2] = {M, N};
    const std::vector<uint8_t> bytes = randomImage<uint8_t>(rng, M, N);
    const std::vector<double> numbers(bytes.begin(), bytes.end());
    const double h[3] = {1, -0.5, 2};
    std::uniform_real_distribution<double> pos(-2, 15);
    for (int k = 0; k < 200; ++k) {
        const double a[2] = {pos(rng), pos(rng)}, b[2] = {pos(rng), pos(rng)};
        const double expected = reference(numbers, M, N, {1, -0.5, 2}, a, b);
        for (int32_t kind : {1, 7, -1}) {
            EXPECT_TRUE(
                sameBits(stripfilt::imgraduv(bytes.data(), size, h, 1, a, b, kind), expected))
                << "kind " << kind;
        }
        EXPECT_TRUE(sameBits(stripfilt::imgraduv(numbers.data(), size, h, 1, a, b, 0), expected));
    }
}

// The batch the command runs: each segment of host (1-based) positions gives the response of
// its end points less 1, on every instruction set, whole or from any first segment on, and
// writes nothing past its count.
TEST(FilterAll, EverySegmentGivesItsOwnResponse) {
    std::mt19937 rng(8);
    const int32_t M = 21, N = 17, size[2] = {M, N};
    const std::vector<double> I = randomImage<double>(rng, M, N);
    const std::vector<uint8_t> bytes = randomImage<uint8_t>(rng, M, N);
    const std::vector<double> h = {0.25, -1, 0.5};
    std::vector<double> u1, u2;
    for (int k = 0; k < 40; ++k) {
        const Segment s = randomSegment(rng, M, N);
        u1.insert(u1.end(), {s.a[0], s.a[1]});
        u2.insert(u2.end(), {s.b[0], s.b[1]});
    }
    const std::size_t K = u1.size() / 2, first = 13;
    // Each image as the batch sees it, and its kind flag for the single-segment call.
    const struct {
        mexgeom::ImageView view;
        int32_t kind;
    } images[] = {{{I.data(), M, N, mexgeom::Element::kDouble}, 0},
                  {{bytes.data(), M, N, mexgeom::Element::kUint8}, 1}};
    for (const auto& [view, kind] : images) {
        for (mexgeom::Isa isa : kIsas) {
            if (!mexgeom::supported(isa)) continue;
            std::vector<double> all(K + 1, 7.0), part(K + 1, 7.0);
            stripfilt::filterAll(view, h.data(), 1, u1.data(), u2.data(), K, all.data(), isa);
            stripfilt::filterAll(view, h.data(), 1, u1.data() + 2 * first, u2.data() + 2 * first,
                                 K - first, part.data() + first, isa);
            for (std::size_t k = 0; k < K; ++k) {
                const double a[2] = {u1[2 * k] - 1, u1[2 * k + 1] - 1};
                const double b[2] = {u2[2 * k] - 1, u2[2 * k + 1] - 1};
                const double expected =
                    stripfilt::imgraduv(view.elements, size, h.data(), 1, a, b, kind, isa);
                EXPECT_TRUE(sameBits(all[k], expected)) << "segment " << k;
                if (k >= first) {
                    EXPECT_TRUE(sameBits(part[k], expected)) << "segment " << k;
                }
            }
            EXPECT_EQ(all[K], 7.0) << "wrote past the last response";
            EXPECT_EQ(part[K], 7.0) << "wrote past the last response";
            EXPECT_EQ(part[first - 1], 7.0) << "wrote before the first segment";
        }
    }
}

}  // namespace
