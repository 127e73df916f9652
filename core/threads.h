// Threads on request: a command runs on the calling thread unless the environment variable
// MEXGEOM_THREADS asks for more, read at each call so that setenv in MATLAB or Octave takes
// effect at once (the Python module takes the same counts from its threads= argument instead).
// Nothing is kept between calls.
//
//   unset, empty, 1, or not a positive integer   one thread: the calling thread alone
//   N                                            up to N threads, the calling thread among them
//   0 or auto                                    one per processor this process may run on
//
// The work is a batch over items 0 .. count - 1 whose every output depends only on its own item.
// The items are handed out in contiguous chunks, in order, from a shared counter, so a thread that
// draws cheap items (points outside the images, short segments) or loses its processor to another
// program simply takes more chunks; each output is computed by the same code as on one thread and
// has the same bits for every thread count. Workers never touch the host: the work must make no
// mx or mex call and throw nothing. Every thread is joined before the call returns; a thread that
// cannot be started leaves its share to those that run.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <vector>

// GCC's library before version 13 has no std::thread for Windows' own thread model.
#if !defined(__GLIBCXX__) || defined(_GLIBCXX_HAS_GTHREADS)
#define MEXGEOM_HAS_THREADS 1
#include <thread>
#endif
#if defined(__linux__)
#include <sched.h>
#endif

namespace mexgeom {

// Never more threads than this, whatever is asked: a bound on the thread list, far above any
// processor count the commands could use.
constexpr unsigned kMaxThreads = 1024;

// Items per chunk at most: large enough that a chunk keeps the kernels' vector lanes and
// prefetching busy, small enough that the last chunks even out the threads' finishing times.
constexpr std::size_t kChunk = 64;

// The processors this process may run on: its affinity mask where the system has one, else the
// processor count of the machine; at least 1.
inline unsigned processorCount() {
#if defined(__linux__)
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int n = CPU_COUNT(&set);
        if (n > 0) return static_cast<unsigned>(n);
    }
#endif
#if defined(MEXGEOM_HAS_THREADS)
    return std::max(1u, std::thread::hardware_concurrency());
#else
    return 1;
#endif
}

// The thread count that the text of MEXGEOM_THREADS asks for (null when unset); `processors`
// answers 0 and auto. Numbers beyond kMaxThreads give kMaxThreads.
inline unsigned parseThreads(const char* text, unsigned (*processors)() = processorCount) {
    if (text == nullptr || *text == '\0') return 1;
    if (std::strcmp(text, "auto") == 0) return std::min(processors(), kMaxThreads);
    unsigned long long n = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') return 1;
        n = std::min<unsigned long long>(n * 10 + static_cast<unsigned>(*c - '0'), kMaxThreads);
    }
    return n == 0 ? std::min(processors(), kMaxThreads) : static_cast<unsigned>(n);
}

// The thread count the user asks for now.
inline unsigned threadsRequested() {
    return parseThreads(std::getenv("MEXGEOM_THREADS"));
}

// Runs work(begin, end) over [0, count) in chunks of `chunk` items on the calling thread and up to
// threads - 1 others, all joined before it returns.
template <typename Work>
void runChunks(std::size_t count, std::size_t chunk, unsigned threads, const Work& work) noexcept {
    std::atomic<std::size_t> next{0};
    const auto drain = [&] {
        for (std::size_t begin; (begin = next.fetch_add(chunk)) < count;)
            work(begin, std::min(count, begin + chunk));
    };
#if defined(MEXGEOM_HAS_THREADS)
    std::vector<std::thread> others;
    try {
        others.reserve(threads > 1 ? threads - 1 : 0);
        while (others.size() + 1 < threads) others.emplace_back(drain);
    } catch (...) {
        // No memory or no thread to be had: the threads started so far do all the work.
    }
    drain();
    for (std::thread& t : others) t.join();
#else
    (void)threads;
    drain();
#endif
}

// Runs work(begin, end) over [0, count) on `threads` threads (the calling thread alone for 1), in
// at least four chunks per thread, so that a small call still gives every thread its part.
template <typename Work>
void runShares(std::size_t count, unsigned threads, const Work& work) noexcept {
    if (threads <= 1) return work(std::size_t{0}, count);
    runChunks(count, std::clamp<std::size_t>(count / (4 * threads), 1, kChunk), threads, work);
}

// Runs work(begin, end) over [0, count): on the calling thread alone, without asking how many
// threads are wanted, when fewer than 2 x itemsPerThread items would not repay starting a thread;
// else on as many threads as wanted() answers, at most one per itemsPerThread items.
template <typename Wanted, typename Work>
void forShares(std::size_t count, std::size_t itemsPerThread, const Wanted& wanted,
               const Work& work) noexcept {
    itemsPerThread = std::max<std::size_t>(itemsPerThread, 1);
    if (count / 2 < itemsPerThread) return work(std::size_t{0}, count);
    const std::size_t useful = count / itemsPerThread;
    const unsigned threads = static_cast<unsigned>(std::min<std::size_t>(wanted(), useful));
    runShares(count, threads, work);
}

// The same with the thread count that MEXGEOM_THREADS asks for, read only by calls large enough
// to be shared.
template <typename Work>
void forShares(std::size_t count, std::size_t itemsPerThread, const Work& work) noexcept {
    forShares(count, itemsPerThread, threadsRequested, work);
}

}  // namespace mexgeom
