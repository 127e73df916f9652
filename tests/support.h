// Shared by the gateway tests: calls a built command through the loader, as a host would.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "loader.h"

namespace support {

using testhost::Array;
using Inputs = std::vector<Array>;
using Builder = std::function<Inputs()>;

// Each command is loaded once per test program and kept, as a host keeps a loaded MEX file.
inline const testhost::Command& command(const std::string& name) {
    static std::map<std::string, std::unique_ptr<testhost::Command>> loaded;
    auto& slot = loaded[name];
    if (!slot) slot = std::make_unique<testhost::Command>(testhost::commandPath(name));
    return *slot;
}

inline testhost::Result call(const std::string& name, int nlhs, const Inputs& inputs,
                             long createBudget = -1) {
    std::vector<const mxArray*> in;
    for (const Array& a : inputs) in.push_back(a.get());
    testhost::Result r = command(name).call(nlhs, in, createBudget);
    EXPECT_FALSE(r.inputsChanged) << name << " wrote into an input";
    EXPECT_EQ(r.leftovers, 0u) << name << " created an array it did not hand back";
    return r;
}

// The first output of a call that must succeed, as doubles; empty when the call failed.
inline std::vector<double> firstOutput(const std::string& name, const Inputs& inputs,
                                       int nlhs = 1) {
    testhost::Result r = call(name, nlhs, inputs);
    EXPECT_FALSE(r.failed) << r.error;
    if (r.failed || !r.outputs[0]) return {};
    return testhost::values(r.outputs[0].get());
}

// The error text of a call that must fail, or a note that it did not.
inline std::string errorOf(const std::string& name, int nlhs, const Inputs& inputs,
                           long createBudget = -1) {
    testhost::Result r = call(name, nlhs, inputs, createBudget);
    return r.failed ? r.error : std::string("(no error)");
}

// The inputs of a call with one input.
inline Inputs one(Array a) {
    Inputs in;
    in.push_back(std::move(a));
    return in;
}

// Inputs made from a list of builders, for tables whose rows differ in one input.
template <typename... F>
Inputs make(F&&... f) {
    Inputs in;
    (in.push_back(f()), ...);
    return in;
}

// One input of a call replaced: its slot and the array put there.
struct Put {
    size_t slot;
    Array array;
};

// The inputs of a valid call cut or padded (with 1 x 1 doubles) to count, then with some slots
// replaced: the rows of a table of messages, each breaking the call in its own way.
template <typename... P>
Inputs replaced(Inputs in, size_t count, P... puts) {
    while (in.size() < count) in.push_back(testhost::doubles(1, 1));
    in.resize(count);
    ((in[puts.slot] = std::move(puts.array)), ...);
    return in;
}

// A test file's valid call, varied: with(puts...) is its inputs with some slots replaced, and
// with.count(count, puts...) the same cut or padded to count first. Each file declares
// const support::With with{valid}; and calls it.
struct With {
    Inputs (*valid)();
    template <typename... P>
    Inputs count(size_t count, P... puts) const {
        return replaced(valid(), count, std::move(puts)...);
    }
    template <typename... P>
    Inputs operator()(P... puts) const {
        Inputs in = valid();
        const size_t n = in.size();
        return replaced(std::move(in), n, std::move(puts)...);
    }
};

// A row of a table of messages: inputs that break the call, and the error it must report. The
// host may refuse array creations after createBudget of them (-1: never); nlhs outputs are asked.
struct MessageCase {
    std::string name;
    std::function<Inputs()> inputs;
    const char* message;
    long createBudget = -1;
    int nlhs = 1;
};

// Every row of the table reports its message, and nothing else.
template <typename Cases>
void expectMessages(const std::string& name, const Cases& cases) {
    for (const MessageCase& c : cases) {
        EXPECT_EQ(errorOf(name, c.nlhs, c.inputs(), c.createBudget), c.message) << c.name;
    }
}

// Rows for an input of the wrong shape, added to a table of messages: the input `what` as a double
// array of each of the shapes (any number of dimensions), put in its place by inputs(), each
// answered by message.
inline void addShapeRows(std::vector<MessageCase>& cases, const std::string& what,
                         std::function<Inputs(Array)> inputs,
                         const std::vector<std::vector<size_t>>& shapes, const char* message) {
    for (const std::vector<size_t>& dims : shapes) {
        std::string shape;
        for (size_t d : dims) shape += (shape.empty() ? " " : "x") + std::to_string(d);
        cases.push_back({what + shape, [=] { return inputs(testhost::doublesNd(dims)); }, message});
    }
}

// Rows for an input that must be a full double array, added to a table of messages: the input
// `what` of every other class, and sparse, in each of the shapes, put in its place by inputs(),
// each answered by message.
inline void addClassRows(std::vector<MessageCase>& cases, const std::string& what,
                         std::function<Inputs(Array)> inputs,
                         const std::vector<std::vector<size_t>>& shapes, const char* message) {
    static const struct {
        mxClassID id;
        const char* name;
    } classes[] = {
        {mxSINGLE_CLASS, "single"},   {mxINT8_CLASS, "int8"},     {mxUINT8_CLASS, "uint8"},
        {mxINT16_CLASS, "int16"},     {mxUINT16_CLASS, "uint16"}, {mxINT32_CLASS, "int32"},
        {mxUINT32_CLASS, "uint32"},   {mxINT64_CLASS, "int64"},   {mxUINT64_CLASS, "uint64"},
        {mxLOGICAL_CLASS, "logical"}, {mxCHAR_CLASS, "char"},     {mxCELL_CLASS, "cell"}};
    for (const std::vector<size_t>& dims : shapes) {
        const std::string shape = " " + std::to_string(dims[0]) + "x" + std::to_string(dims[1]);
        for (const auto& c : classes) {
            cases.push_back({what + " " + c.name + shape,
                             [=] { return inputs(testhost::ofClass(c.id, dims)); }, message});
        }
        cases.push_back({what + " sparse" + shape,
                         [=] { return inputs(testhost::sparseDoubles(dims[0], dims[1])); },
                         message});
    }
}

// The thread counts that every threaded command must answer alike, as MEXGEOM_THREADS values:
// one thread, a few, more than the processors, more than the call has chunks, and the default.
inline const char* const kThreadSettings[] = {"1", "2", "3", "7", "1000", "auto"};

// The value of f() with MEXGEOM_THREADS set to value (unset for nullptr); unset afterwards.
// (Windows has no setenv; an empty value there removes the variable.)
inline void setThreads(const char* value) {
#if defined(_WIN32)
    _putenv_s("MEXGEOM_THREADS", value != nullptr ? value : "");
#else
    if (value != nullptr) {
        setenv("MEXGEOM_THREADS", value, 1);
    } else {
        unsetenv("MEXGEOM_THREADS");
    }
#endif
}

template <typename F>
auto withThreads(const char* value, F f) {
    setThreads(value);
    auto result = f();
    setThreads(nullptr);
    return result;
}

// For every setting of kThreadSettings, f() gives exactly the bytes of `one`.
template <typename F>
void expectSameBytesOnEveryThreadCount(const std::vector<double>& one, F f,
                                       const std::string& label) {
    for (const char* threads : kThreadSettings) {
        const std::vector<double> many = withThreads(threads, f);
        ASSERT_EQ(many.size(), one.size());
        EXPECT_EQ(std::memcmp(many.data(), one.data(), one.size() * sizeof(double)), 0)
            << label << ", MEXGEOM_THREADS=" << threads;
    }
}

// Equal as doubles, NaN equal to NaN, -0 distinct from +0: what "the same bits" means.
inline bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace support
