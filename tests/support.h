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

// The error text of a call that must fail, or a note that it did not.
inline std::string errorOf(const std::string& name, int nlhs, const Inputs& inputs,
                           long createBudget = -1) {
    testhost::Result r = call(name, nlhs, inputs, createBudget);
    return r.failed ? r.error : std::string("(no error)");
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

// The thread counts that every threaded command must answer alike, as MEXGEOM_THREADS values:
// one thread, a few, more than the processors, more than the call has chunks, and the default.
inline const char* const kThreadSettings[] = {"1", "2", "3", "7", "1000", "auto"};

// The value of f() with MEXGEOM_THREADS set to value (unset for nullptr); unset afterwards.
template <typename F>
auto withThreads(const char* value, F f) {
    if (value != nullptr) {
        setenv("MEXGEOM_THREADS", value, 1);
    } else {
        unsetenv("MEXGEOM_THREADS");
    }
    auto result = f();
    unsetenv("MEXGEOM_THREADS");
    return result;
}

// Equal as doubles, NaN equal to NaN, -0 distinct from +0: what "the same bits" means.
inline bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace support
