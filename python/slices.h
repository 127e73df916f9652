// Long calls that answer Ctrl-C. While a kernel runs the GIL is released, and Python runs its
// signal handlers only on the main thread with the GIL held: a call made in one piece would keep
// a KeyboardInterrupt waiting until its end. So a batch runs in consecutive slices of its items,
// and between two slices, once kPoll has passed since the last look, the calling thread takes the
// GIL back and lets Python handle what signals have arrived (PyErr_CheckSignals). A handler that
// raises (SIGINT's raises KeyboardInterrupt) ends the call with its exception; by then every
// thread that worked on the slice has been joined, the inputs have only been read, and the
// half-filled output is dropped. Each item's output is computed as in one piece: same bits.
//
// How long a signal waits: at most about one slice. Each slice is sized from the time the items
// before it took, to last about kPoll (the first is small, and each at most four times its
// predecessor). A slice whose items cost more than those before it lasts longer, and one item is
// never cut: a window of millions of samples, or a segment millions of pixels long, runs to its
// end. A call on a thread other than the main one never looks (Python would not run a handler
// there) and runs its slices without taking the GIL between them.
#pragma once

#include <pybind11/pybind11.h>

#include <algorithm>
#include <chrono>
#include <cstddef>

#include "threads.h"

namespace pygate {

namespace py = pybind11;

// How often a long call looks for signals, and how long a slice is meant to last.
constexpr std::chrono::milliseconds kPoll{50};

// The calling thread is Python's main thread, where signal handlers run.
inline bool onMainThread() {
    const py::object main = py::module_::import("threading").attr("main_thread")();
    return py::int_(main.attr("ident")).cast<unsigned long>() == PyThread_get_thread_ident();
}

// Runs slice(begin, end) over [0, count) in consecutive slices of at most `most` items, the first
// of `first`, with the GIL released but while looking for signals (above). slice must not throw or
// touch Python. Throws py::error_already_set, with the GIL held, when a signal handler raises.
template <typename Slice>
void sliced(std::size_t count, std::size_t first, std::size_t most, const Slice& slice) {
    using Clock = std::chrono::steady_clock;
    most = std::max<std::size_t>(most, 1);
    std::size_t done = 0, size = std::clamp<std::size_t>(first, 1, most);
    bool look = true;  // until the call turns out not to be on the main thread
    auto lastLook = Clock::now();
    PyThreadState* released = PyEval_SaveThread();
    while (done < count) {
        const std::size_t n = std::min(size, count - done);
        const auto start = Clock::now();
        slice(done, done + n);
        done += n;
        const auto now = Clock::now();
        if (done == count) break;
        // The next slice: about kPoll at the pace of this one, within a factor of four of it.
        const double took = std::chrono::duration<double>(now - start).count();
        const double wanted = std::chrono::duration<double>(kPoll).count();
        const double pace = took > 0 ? wanted / took * static_cast<double>(n) : 4.0 * n;
        size = std::clamp<std::size_t>(static_cast<std::size_t>(std::min(pace, 4.0 * n)), 1, most);
        if (look && now - lastLook >= kPoll) {
            PyEval_RestoreThread(released);
            look = onMainThread();
            if (look && PyErr_CheckSignals() != 0) throw py::error_already_set();
            released = PyEval_SaveThread();
            lastLook = Clock::now();
        }
    }
    PyEval_RestoreThread(released);
}

// Runs work(begin, end) over [0, count) as sliced does, each slice shared among `threads` threads
// as MEXGEOM_THREADS shares a command's call (on the calling thread alone when 1). itemsPerThread
// items take about 0.1 ms: the first slice gives each thread that much, and at least one item.
template <typename Work>
void shareReleased(std::size_t count, std::size_t itemsPerThread, unsigned threads,
                   const Work& work) {
    const std::size_t first = std::max<std::size_t>(itemsPerThread, 1) * std::max(threads, 1u);
    sliced(count, first, count, [&](std::size_t begin, std::size_t end) {
        mexgeom::forShares(
            end - begin, itemsPerThread, [threads] { return threads; },
            [&](std::size_t b, std::size_t e) { work(begin + b, begin + e); });
    });
}

}  // namespace pygate
