// A built command called as a host calls it, for timing: the module is loaded once, inputs are
// host arrays of the test host, and each call hands its outputs back to be freed.
//
// The loader's Command::call also copies every input before and after the call to catch a
// command that writes into one; for a 1024 x 1024 image that copy costs more than some calls
// themselves. So a workload is checked once through the loader (it must succeed and leave its
// inputs alone) and then timed through call() below, which does only what a host must do.
#pragma once

#include <dlfcn.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "loader.h"
#include "mex.h"
#include "threads.h"

namespace bench {

// MEXGEOM_THREADS set to a value for the life of the object, unset afterwards.
class Threads {
  public:
    explicit Threads(const char* value) { setenv("MEXGEOM_THREADS", value, 1); }
    ~Threads() { unsetenv("MEXGEOM_THREADS"); }
    Threads(const Threads&) = delete;
    Threads& operator=(const Threads&) = delete;
};

// Times the calls with MEXGEOM_THREADS unset and set to `setting`, one after the other in the same
// loop, so that both see the same load; reports the median time of each and their ratio (on / off).
template <typename Call>
void alternate(benchmark::State& state, const char* setting, const Call& call) {
    std::vector<double> off, on;
    for (auto _ : state) {
        for (int turn = 0; turn < 2; ++turn) {
            if (turn == 1) setenv("MEXGEOM_THREADS", setting, 1);
            const auto start = std::chrono::steady_clock::now();
            call();
            const std::chrono::duration<double> t = std::chrono::steady_clock::now() - start;
            (turn == 1 ? on : off).push_back(t.count());
            unsetenv("MEXGEOM_THREADS");
        }
    }
    for (auto* v : {&off, &on}) std::nth_element(v->begin(), v->begin() + v->size() / 2, v->end());
    const double a = off[off.size() / 2], b = on[on.size() / 2];
    state.counters["off us"] = a * 1e6;
    state.counters["on us"] = b * 1e6;
    state.counters["on as % of off"] = 100 * b / a;
}

class Host {
  public:
    explicit Host(const std::string& name) : checked_(testhost::commandPath(name)) {
        handle_ = dlopen(testhost::commandPath(name).c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_ == nullptr) throw std::runtime_error(dlerror());
        function_ = reinterpret_cast<Function>(dlsym(handle_, "mexFunction"));
        if (function_ == nullptr) throw std::runtime_error(name + " exports no mexFunction");
    }
    ~Host() { dlclose(handle_); }
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // Through the loader, with its checks: the call must succeed and leave its inputs unchanged.
    // Returns the first output's values.
    std::vector<double> check(int nlhs, const std::vector<const mxArray*>& inputs) const {
        testhost::Result r = checked_.call(nlhs, inputs);
        if (r.failed) throw std::runtime_error("the workload fails: " + r.error);
        if (r.inputsChanged) throw std::runtime_error("the command wrote into an input");
        return testhost::values(r.outputs.at(0).get());
    }

    // The call a host makes; the outputs are freed at once.
    void call(int nlhs, const std::vector<const mxArray*>& inputs) const {
        mxArray* outputs[2] = {nullptr, nullptr};
        function_(nlhs, outputs, static_cast<int>(inputs.size()),
                  const_cast<const mxArray**>(inputs.data()));
        for (mxArray* a : outputs)
            if (a != nullptr) mxDestroyArray(a);
    }

  private:
    using Function = void (*)(int, mxArray**, int, const mxArray**);
    testhost::Command checked_;
    void* handle_;
    Function function_;
};

}  // namespace bench
