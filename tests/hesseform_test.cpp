// hesseform through the loader: messages in order, the empty answers, the scaled rows.
#include <cmath>
#include <cstring>
#include <functional>

#include "support.h"

namespace {

using support::Inputs;
using support::one;
using testhost::Array;
using testhost::doubles;

Array lines() {
    return doubles(2, 3, {3, -3, 4, -4, 10, 5});  // rows (3, 4, 10) and (-3, -4, 5)
}

using support::MessageCase;

TEST(HesseformGateway, ReportsTheFirstFailingTest) {
    const char* count = "One input required.";
    const char* width = "Input must be Mx3 matrix.";
    const char* notDouble = "Input must be a full double matrix.";
    std::vector<MessageCase> cases = {
        {"no inputs", [] { return Inputs{}; }, count},
        {"two inputs, first valid",
         [] {
             Inputs in = one(lines());
             in.push_back(lines());
             return in;
         },
         count},
        {"two inputs, first empty",
         [] {
             Inputs in = one(doubles(0, 0));
             in.push_back(lines());
             return in;
         },
         count},
        {"text of three characters is 1x3, then not double",
         [] { return one(testhost::text("abc")); }, notDouble},
        {"single 2x4",
         [] {
             return one(testhost::ofClass(mxSINGLE_CLASS, {2, 4}));
         },
         width},
        {"no memory", [] { return one(lines()); }, "Out of memory.", 0},
        {"no memory, empty input", [] { return one(doubles(5, 0)); }, "Out of memory.", 0},
        {"no memory, 2x4", [] { return one(doubles(2, 4)); }, width, 0},
    };
    // A 2x3x2 array counts as 2x6.
    support::addShapeRows(cases, "L", one, {{2, 4}, {5, 2}, {3, 5}, {1, 1}, {2, 3, 2}}, width);
    support::addClassRows(cases, "L", one, {{2, 3}, {4, 3}, {1, 3}}, notDouble);
    support::expectMessages("hesseform", cases);
}

struct AnswerCase {
    const char* name;
    std::function<Array()> input;
    std::vector<size_t> dims;
    std::vector<double> values;  // exact; NaN matches NaN
};

TEST(HesseformGateway, AnswersEveryInputOfRightWidthOrEmpty) {
    const double nan = std::nan(""), inf = INFINITY;
    const AnswerCase cases[] = {
        {"0x0", [] { return doubles(0, 0); }, {0, 0}, {}},
        {"0x3", [] { return doubles(0, 3); }, {0, 3}, {}},
        {"0x7", [] { return doubles(0, 7); }, {0, 7}, {}},
        {"5x0", [] { return doubles(5, 0); }, {5, 0}, {}},
        {"2x0x3 counts as 2x0",
         [] {
             return testhost::doublesNd({2, 0, 3});
         },
         {2, 0},
         {}},
        {"empty single",
         [] {
             return testhost::ofClass(mxSINGLE_CLASS, {0, 3});
         },
         {0, 3},
         {}},
        {"empty sparse", [] { return testhost::sparseDoubles(4, 0); }, {4, 0}, {}},
        {"empty text", [] { return testhost::text(""); }, {0, 0}, {}},
        {"1x3",
         [] {
             return doubles(1, 3, {3, 4, 10});
         },
         {1, 3},
         {0.6, 0.8, 2}},
        {"2x3, sign kept", lines, {2, 3}, {0.6, -0.6, 0.8, -0.8, 2, 1}},
        {"3x3 is three lines",
         [] {
             return doubles(3, 3, {1, 0, 3, 0, -1, 4, -7, 2, 10});
         },
         {3, 3},
         {1, 0, 0.6, 0, -1, 0.8, -7, 2, 2}},
        {"degenerate row among others",
         [] {
             return doubles(3, 3, {3, 0, -3, 4, 0, -4, 10, 1, 5});
         },
         {3, 3},
         {0.6, nan, -0.6, 0.8, nan, -0.8, 2, inf, 1}},
        {"2x1x3 counts as 2x3",
         [] {
             return testhost::doublesNd({2, 1, 3}, {3, -3, 4, -4, 10, 5});
         },
         {2, 3},
         {0.6, -0.6, 0.8, -0.8, 2, 1}},
        {"complex: its real part",
         [] {
             return testhost::complexDoubles(1, 3, {3, 4, 10}, {1, 2, 3});
         },
         {1, 3},
         {0.6, 0.8, 2}},
    };
    for (const AnswerCase& c : cases) {
        for (int nlhs : {0, 1}) {
            testhost::Result r = support::call("hesseform", nlhs, one(c.input()));
            ASSERT_FALSE(r.failed) << c.name << ": " << r.error;
            ASSERT_TRUE(r.outputs[0]) << c.name << ": first slot left empty, nlhs " << nlhs;
            const mxArray* out = r.outputs[0].get();
            EXPECT_TRUE(mxIsDouble(out) && !mxIsComplex(out) && !mxIsSparse(out)) << c.name;
            EXPECT_EQ(testhost::dims(out), c.dims) << c.name;
            std::vector<double> v = testhost::values(out);
            ASSERT_EQ(v.size(), c.values.size()) << c.name;
            for (size_t i = 0; i < v.size(); ++i)
                EXPECT_TRUE(std::isnan(c.values[i]) ? std::isnan(v[i]) : v[i] == c.values[i])
                    << c.name << ": element " << i << " is " << v[i];
        }
    }
}

}  // namespace
