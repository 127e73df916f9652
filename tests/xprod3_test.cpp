// xprod3 through the loader: messages in order, the empty answers, both forms.
#include <cstring>
#include <functional>

#include "support.h"

namespace {

using support::Inputs;
using support::one;
using testhost::Array;
using testhost::doubles;
using testhost::ofClass;
Inputs two(Array a, Array b) {
    Inputs in = one(std::move(a));
    in.push_back(std::move(b));
    return in;
}
Inputs three(Array a, Array b, Array c) {
    Inputs in = two(std::move(a), std::move(b));
    in.push_back(std::move(c));
    return in;
}

// Columns e1, e2, e3, (1, 2, 3) and e2, e3, e1, (4, 5, 6); their products column by column.
Array fourA() {
    return doubles(3, 4, {1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 2, 3});
}
Array fourB() {
    return doubles(3, 4, {0, 1, 0, 0, 0, 1, 1, 0, 0, 4, 5, 6});
}
const std::vector<double> kFourProducts = {0, 0, 1, 1, 0, 0, 0, 1, 0, -3, 6, -3};

using support::MessageCase;

TEST(Xprod3Gateway, ReportsTheFirstFailingTest) {
    const char* count = "One or two input arguments required.";
    const char* shape = "Input must be 3x2 vector.";
    const char* sizes = "Wrong size of input vectors.";
    const char* notDouble = "Input must be a full double matrix.";
    const char* notDoubleA = "A must be a full double matrix.";
    const char* notDoubleB = "B must be a full double matrix.";
    std::vector<MessageCase> cases = {
        {"no inputs", [] { return Inputs{}; }, count},
        {"three valid inputs", [] { return three(fourA(), fourB(), fourA()); }, count},
        {"three inputs of other classes",
         [] {
             return three(ofClass(mxSINGLE_CLASS, {3, 2}), testhost::sparseDoubles(3, 2),
                          testhost::text("x"));
         },
         count},
        {"three inputs, first empty", [] { return three(doubles(0, 0), fourB(), fourA()); }, count},
        {"one single input 2x3",
         [] {
             return one(ofClass(mxSINGLE_CLASS, {2, 3}));
         },
         shape},
        {"one text input", [] { return one(testhost::text("abcdef")); }, shape},
        {"3x4 and 3x5", [] { return two(doubles(3, 4), doubles(3, 5)); }, sizes},
        {"4x4 and 3x4", [] { return two(doubles(4, 4), doubles(3, 4)); }, sizes},
        {"3x4 and 4x4", [] { return two(doubles(3, 4), doubles(4, 4)); }, sizes},
        {"2x3 and 3x3", [] { return two(doubles(2, 3), doubles(3, 3)); }, sizes},
        {"3x4 and 0x0", [] { return two(doubles(3, 4), doubles(0, 0)); }, sizes},
        {"3x4 and 3x0", [] { return two(doubles(3, 4), doubles(3, 0)); }, sizes},
        {"3x4 and text", [] { return two(doubles(3, 4), testhost::text("abc")); }, sizes},
        {"3x2 and 3x2x2",
         [] {
             return two(doubles(3, 2), testhost::doublesNd({3, 2, 2}));
         },
         sizes},
        {"4x4 single and 3x4 sparse",
         [] {
             return two(ofClass(mxSINGLE_CLASS, {4, 4}), testhost::sparseDoubles(3, 4));
         },
         sizes},
        {"3x4 and 3x5 int8",
         [] {
             return two(doubles(3, 4), ofClass(mxINT8_CLASS, {3, 5}));
         },
         sizes},
        {"int8 A, logical B",
         [] {
             return two(ofClass(mxINT8_CLASS, {3, 4}), ofClass(mxLOGICAL_CLASS, {3, 4}));
         },
         notDoubleA},
        {"no memory, one input", [] { return one(doubles(3, 2)); }, "Out of memory.", 0},
        {"no memory, two inputs", [] { return two(fourA(), fourB()); }, "Out of memory.", 0},
        {"no memory, empty input", [] { return one(doubles(0, 3)); }, "Out of memory.", 0},
        {"no memory, one input 3x3", [] { return one(doubles(3, 3)); }, shape, 0},
    };
    support::addShapeRows(cases, "one input", one, {{2, 3}, {3, 1}, {3, 3}, {1, 6}, {3, 2, 2}},
                          shape);
    support::addClassRows(cases, "one input", one, {{3, 2}}, notDouble);
    support::addClassRows(
        cases, "A", [](Array a) { return two(std::move(a), fourB()); }, {{3, 4}}, notDoubleA);
    support::addClassRows(
        cases, "B", [](Array b) { return two(fourA(), std::move(b)); }, {{3, 4}}, notDoubleB);
    support::expectMessages("xprod3", cases);
}

struct AnswerCase {
    const char* name;
    std::function<Inputs()> inputs;
    std::vector<size_t> dims;
    std::vector<double> values;
};

// Every successful call, whatever the output count, fills the first slot with a real double array.
void expectAnswers(const AnswerCase* begin, const AnswerCase* end) {
    for (const AnswerCase* c = begin; c != end; ++c) {
        for (int nlhs : {0, 1}) {
            testhost::Result r = support::call("xprod3", nlhs, c->inputs());
            ASSERT_FALSE(r.failed) << c->name << ": " << r.error;
            ASSERT_TRUE(r.outputs[0]) << c->name << ": first slot left empty, nlhs " << nlhs;
            const mxArray* out = r.outputs[0].get();
            EXPECT_TRUE(mxIsDouble(out) && !mxIsComplex(out) && !mxIsSparse(out)) << c->name;
            EXPECT_EQ(testhost::dims(out), c->dims) << c->name;
            EXPECT_EQ(testhost::values(out), c->values) << c->name;
        }
    }
}

TEST(Xprod3Gateway, AnswersAnEmptyFirstInputWithItsOwnShape) {
    const AnswerCase cases[] = {
        {"0x0", [] { return one(doubles(0, 0)); }, {0, 0}, {}},
        {"0x5", [] { return one(doubles(0, 5)); }, {0, 5}, {}},
        {"3x0", [] { return one(doubles(3, 0)); }, {3, 0}, {}},
        {"7x0", [] { return one(doubles(7, 0)); }, {7, 0}, {}},
        {"0x3x4 counts as 0x12",
         [] {
             return one(testhost::doublesNd({0, 3, 4}));
         },
         {0, 12},
         {}},
        {"empty single",
         [] {
             return one(ofClass(mxSINGLE_CLASS, {0, 3}));
         },
         {0, 3},
         {}},
        {"empty sparse", [] { return one(testhost::sparseDoubles(0, 5)); }, {0, 5}, {}},
        {"empty text", [] { return one(testhost::text("")); }, {0, 0}, {}},
        {"0x4 and 5x7", [] { return two(doubles(0, 4), doubles(5, 7)); }, {0, 4}, {}},
        {"0x4 and text", [] { return two(doubles(0, 4), testhost::text("x")); }, {0, 4}, {}},
        {"0x4 and sparse",
         [] { return two(doubles(0, 4), testhost::sparseDoubles(3, 4)); },
         {0, 4},
         {}},
        {"0x4 and single 2x2",
         [] {
             return two(doubles(0, 4), ofClass(mxSINGLE_CLASS, {2, 2}));
         },
         {0, 4},
         {}},
        {"3x0 and 2x9", [] { return two(doubles(3, 0), doubles(2, 9)); }, {3, 0}, {}},
        {"0x0 and 3x4", [] { return two(doubles(0, 0), fourB()); }, {0, 0}, {}},
        {"empty int16 and cell",
         [] {
             return two(ofClass(mxINT16_CLASS, {0, 4}), ofClass(mxCELL_CLASS, {1, 1}));
         },
         {0, 4},
         {}},
    };
    expectAnswers(std::begin(cases), std::end(cases));
}

TEST(Xprod3Gateway, ComputesBothForms) {
    const AnswerCase cases[] = {
        {"e1 x e2",
         [] {
             return one(doubles(3, 2, {1, 0, 0, 0, 1, 0}));
         },
         {3, 1},
         {0, 0, 1}},
        {"e2 x e1",
         [] {
             return one(doubles(3, 2, {0, 1, 0, 1, 0, 0}));
         },
         {3, 1},
         {0, 0, -1}},
        {"equal columns",
         [] {
             return one(doubles(3, 2, {2, -3, 5, 2, -3, 5}));
         },
         {3, 1},
         {0, 0, 0}},
        {"(1,2,3) x (4,5,6)",
         [] {
             return one(doubles(3, 2, {1, 2, 3, 4, 5, 6}));
         },
         {3, 1},
         {-3, 6, -3}},
        {"one input 3x1x2",
         [] {
             return one(testhost::doublesNd({3, 1, 2}, {1, 2, 3, 4, 5, 6}));
         },
         {3, 1},
         {-3, 6, -3}},
        {"one complex input: its real part",
         [] {
             return one(testhost::complexDoubles(3, 2, {1, 2, 3, 4, 5, 6}, {9, 9, 9, 1, 1, 1}));
         },
         {3, 1},
         {-3, 6, -3}},
        {"two 3x2 inputs are two products",
         [] {
             return two(doubles(3, 2, {1, 0, 0, 1, 2, 3}), doubles(3, 2, {0, 1, 0, 4, 5, 6}));
         },
         {3, 2},
         {0, 0, 1, -3, 6, -3}},
        {"two 3x4 inputs", [] { return two(fourA(), fourB()); }, {3, 4}, kFourProducts},
        {"3x2x2 and 3x4",
         [] {
             return two(testhost::doublesNd({3, 2, 2}, {1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 2, 3}),
                        fourB());
         },
         {3, 4},
         kFourProducts},
        {"two 3x1 inputs",
         [] {
             return two(doubles(3, 1, {0, 1, 0}), doubles(3, 1, {0, 0, 1}));
         },
         {3, 1},
         {1, 0, 0}},
        {"complex A and B: real parts",
         [] {
             return two(testhost::complexDoubles(3, 1, {0, 1, 0}, {5, 6, 7}),
                        testhost::complexDoubles(3, 1, {0, 0, 1}, {-1, 2, 8}));
         },
         {3, 1},
         {1, 0, 0}},
    };
    expectAnswers(std::begin(cases), std::end(cases));
}

}  // namespace
