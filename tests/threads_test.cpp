// The thread switch and the splitting of a batch, without a host.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cfenv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#if defined(__linux__)
#include <sched.h>
#endif
#if defined(__unix__)
#include <pthread.h>
#endif
#if defined(__SSE2__) || defined(_M_X64)
#include <xmmintrin.h>
#endif

#include "support.h"
#include "threads.h"

namespace {

unsigned sixProcessors() {
    return 6;
}

unsigned manyProcessors() {
    return mexgeom::kMaxThreads;
}

using support::Inputs;
using testhost::doubles;

bool threadsCanStart() {
    try {
        std::thread([] {}).join();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

// Whether a block of 64 MB can be had and written.
bool a64MBBlockCanBeHad() {
    const size_t bytes = size_t{64} << 20;
    void* block = std::malloc(bytes);
    if (block == nullptr) return false;
    std::memset(block, 1, bytes);
    std::free(block);
    return true;
}

// A call of patchcorr on `points` points of a 15 x 15 window between random images, inside,
// across the border and outside; and one of stripfilt on `segments` segments 10 to 100 long.
Inputs patchcorrCall(size_t points) {
    std::mt19937 rng(21);
    std::uniform_real_distribution<double> pixel(0, 255), pos(-20, 140);
    std::vector<double> x(120 * 110), y(120 * 110), u(2 * points), w;
    for (double& v : x) v = pixel(rng);
    for (double& v : y) v = pixel(rng);
    for (double& v : u) v = pos(rng);
    for (int dc = -7; dc <= 7; ++dc)
        for (int dr = -7; dr <= 7; ++dr) w.insert(w.end(), {double(dr), double(dc), 1 + dr * 0.01});
    Inputs in;
    in.push_back(doubles(120, 110, x));
    in.push_back(doubles(120, 110, y));
    in.push_back(doubles(3, 3, {1.02, 0.05, 1e-4, -0.03, 0.98, -2e-4, -1, 2, 1}));
    in.push_back(doubles(3, w.size() / 3, w));
    in.push_back(doubles(2, points, u));
    return in;
}

Inputs stripfiltCall(size_t segments) {
    std::mt19937 rng(22);
    std::uniform_real_distribution<double> pixel(0, 255), pos(-20, 140), length(10, 100),
        angle(0, 6.3);
    std::vector<double> image(120 * 120), u1, u2;
    for (double& v : image) v = pixel(rng);
    for (size_t k = 0; k < segments; ++k) {
        const double r = pos(rng), c = pos(rng), L = length(rng), a = angle(rng);
        u1.insert(u1.end(), {r, c});
        u2.insert(u2.end(), {r + L * std::cos(a), c + L * std::sin(a)});
    }
    Inputs in;
    in.push_back(doubles(120, 120, image));
    in.push_back(doubles(1, 7, {-1, -4, -5, 0, 5, 4, 1}));
    in.push_back(doubles(2, segments, u1));
    in.push_back(doubles(2, segments, u2));
    return in;
}

TEST(Threads, TheSwitchReadsOnlyPositiveIntegersAndAuto) {
    const struct {
        const char* text;
        unsigned threads;
    } cases[] = {
        {nullptr, 1},  // unset
        {"", 1},
        {"1", 1},
        {"4", 4},
        {"0004", 4},
        {"0", 6},
        {"00", 6},
        {"auto", 6},
        {"1023", 1023},
        {"1025", mexgeom::kMaxThreads},
        {"99999999999999999999999999", mexgeom::kMaxThreads},  // beyond 64 bits
        {"-2", 1},
        {"+2", 1},
        {" 2", 1},
        {"2 ", 1},
        {"2.5", 1},
        {"4x", 1},
        {"AUTO", 1},
        {"all", 1},
        {"yes", 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(mexgeom::parseThreads(c.text, sixProcessors), c.threads)
            << "MEXGEOM_THREADS=" << (c.text ? c.text : "(unset)");
    }
}

TEST(Threads, AutoCountsTheProcessorsThisProcessMayUse) {
    const unsigned n = mexgeom::processorCount();
    EXPECT_GE(n, 1u);
    EXPECT_LE(n, std::max(1u, std::thread::hardware_concurrency()));
    EXPECT_EQ(mexgeom::parseThreads("auto"), std::min(n, mexgeom::kMaxThreads));
#if defined(__linux__)
    // The count read through the system call is the one the C library's wrapper gives.
    cpu_set_t set;
    ASSERT_EQ(sched_getaffinity(0, sizeof set, &set), 0);
    EXPECT_EQ(n, static_cast<unsigned>(CPU_COUNT(&set)));
#endif
}

// Every item lands in exactly one call, in a chunk that starts at a multiple of the chunk size,
// for any thread count (on as many processors), including more threads than chunks; and every call
// has ended when runChunks returns (with threads, each chunk takes a millisecond, so that the
// threads share the chunks and one left unjoined is still at work when the items are counted).
TEST(Threads, EveryItemIsWorkedOnceInWholeChunks) {
    for (size_t count : {0, 1, 5, 64, 300}) {
        for (size_t chunk : {1, 7, 64}) {
            for (unsigned threads : {1u, 2u, 3u, 7u, 20u}) {
                // Each chunk writes only its own slots, so the record needs no lock.
                std::vector<int> hits(count);
                std::vector<size_t> ends(count / chunk + 1);
                std::atomic<int> strays{0};
                const auto work = [&](size_t begin, size_t end) {
                    if (begin % chunk != 0 || begin >= end || end > count || end - begin > chunk) {
                        ++strays;
                        return;
                    }
                    if (threads > 1) std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    for (size_t i = begin; i < end; ++i) ++hits[i];
                    ends[begin / chunk] = end;
                };
                mexgeom::runChunks(count, chunk, threads, work, manyProcessors);
                const std::string where = "count " + std::to_string(count) + ", chunk " +
                                          std::to_string(chunk) + ", " + std::to_string(threads) +
                                          " threads";
                EXPECT_EQ(strays, 0) << where;
                EXPECT_EQ(std::count(hits.begin(), hits.end(), 1), static_cast<long>(count))
                    << where;
                for (size_t k = 0; k * chunk < count; ++k)
                    EXPECT_EQ(ends[k], std::min(count, (k + 1) * chunk)) << where;
            }
        }
    }
}

// However many threads are asked for, no more start than processors() answers, each on a stack of
// its own small size: with all of them at work, a 64 MB block can still be had and written (in a
// 32-bit process, a thousand threads on the systems' default stacks of 8 MB would have taken the
// whole address space). Each thread waits in its first chunk until all that should start are
// there; where no thread can be started, the caller works alone.
TEST(Threads, NoMoreThreadsThanProcessorsEachOnASmallStack) {
    const struct {
        const char* name;
        unsigned asked;
        unsigned (*processors)();
    } cases[] = {
        {"1024 asked of this machine's processors", 1024, mexgeom::processorCount},
        {"1024 asked of 1024 processors", 1024, manyProcessors},
        {"7 asked of 6 processors", 7, sixProcessors},
        {"2 asked of 6 processors", 2, sixProcessors},
        {"1 asked of 6 processors", 1, sixProcessors},
    };
    const bool canStart = threadsCanStart();
    for (const auto& c : cases) {
        const size_t expected = canStart ? std::min(c.asked, c.processors()) : 1;
        std::mutex mutex;
        std::condition_variable arrived;
        std::set<std::thread::id> threads;
        bool allocated = false, waitedInVain = false;
        const auto work = [&](size_t, size_t) {
            std::unique_lock<std::mutex> lock(mutex);
            if (!threads.insert(std::this_thread::get_id()).second) return;
            if (threads.size() == expected) {
                allocated = a64MBBlockCanBeHad();
                arrived.notify_all();
            } else if (threads.size() < expected) {
                waitedInVain |= !arrived.wait_for(lock, std::chrono::seconds(60),
                                                  [&] { return threads.size() >= expected; });
            }
        };
        mexgeom::runChunks(1000000, mexgeom::kChunk, c.asked, work, c.processors);
        EXPECT_EQ(threads.size(), expected) << c.name;
        EXPECT_FALSE(waitedInVain) << c.name << ": " << threads.size() << " threads started";
        EXPECT_TRUE(allocated) << c.name << ": no 64 MB block with all threads at work";
    }
}

// Each worker computes in the caller's floating-point environment, as the caller does alone: in
// each rounding mode and, on SSE, flushing results below the smallest normal number to zero (in
// the quotients alone: the commands meet no such numbers here).
// (A POSIX thread inherits its creator's; a Windows thread starts in the default one.) Through
// the work of runChunks, whose quotients round and underflow, and through the two commands; in
// each, the mode changes some bits, so a worker computing in another shows.
TEST(Threads, WorkersComputeInTheCallersFloatingPointEnvironment) {
    const struct {
        const char* name;
        void (*set)();
        bool commands;  // whether it changes the commands' answers on these inputs
    } modes[] = {
        {"upward", [] { std::fesetround(FE_UPWARD); }, true},
        {"downward", [] { std::fesetround(FE_DOWNWARD); }, true},
        {"toward zero", [] { std::fesetround(FE_TOWARDZERO); }, true},
#if defined(__SSE2__) || defined(_M_X64)
        {"flush to zero", [] { _mm_setcsr(_mm_getcsr() | 0x8040); }, false},  // FTZ and DAZ
#endif
    };
    std::vector<double> x(4000), y(4000);
    for (size_t i = 0; i < x.size(); ++i) {
        x[i] = 1 + static_cast<double>(i);
        y[i] = 3 + 7 * static_cast<double>(i);
    }
    const auto quotients = [&](unsigned threads) {
        std::vector<double> q(x.size());
        mexgeom::runChunks(
            q.size(), 16, threads,
            [&](size_t begin, size_t end) {
                for (size_t i = begin; i < end; ++i) q[i] = x[i] / y[i] * 1e-308;
            },
            manyProcessors);
        return q;
    };
    const Inputs patchcorr = patchcorrCall(4000), stripfilt = stripfiltCall(3000);
    const std::vector<std::pair<const char*, std::function<std::vector<double>(const char*)>>>
        works = {
            {"quotients", [&](const char* t) { return quotients(t ? 4 : 1); }},
            {"patchcorr",
             [&](const char* t) {
                 return support::withThreads(
                     t, [&] { return support::firstOutput("patchcorr", patchcorr); });
             }},
            {"stripfilt",
             [&](const char* t) {
                 return support::withThreads(
                     t, [&] { return support::firstOutput("stripfilt", stripfilt); });
             }},
        };
    for (const auto& [work, run] : works) {
        const std::vector<double> nearest = run(nullptr);
        for (const auto& mode : modes) {
            if (!mode.commands && std::string(work) != "quotients") continue;
            std::fenv_t saved;
            std::fegetenv(&saved);
#if defined(__SSE2__) || defined(_M_X64)
            const unsigned savedControl = _mm_getcsr();  // MinGW-w64's fesetenv leaves it alone
#endif
            mode.set();
            const std::vector<double> one = run(nullptr), many = run("4");
            std::fesetenv(&saved);
#if defined(__SSE2__) || defined(_M_X64)
            _mm_setcsr(savedControl);
#endif
            const std::string where = std::string(work) + ", " + mode.name;
            ASSERT_EQ(many.size(), one.size()) << where;
            EXPECT_EQ(std::memcmp(many.data(), one.data(), one.size() * sizeof(double)), 0)
                << where;
            EXPECT_NE(std::memcmp(nearest.data(), one.data(), one.size() * sizeof(double)), 0)
                << where << ": the mode changes nothing here";
        }
    }
}

#if defined(__unix__)
// The deepest f() reaches into the stack of a thread of its own, whose stack of `size` bytes is
// filled with a pattern beforehand: the bytes from the top down to the lowest one changed.
size_t stackDepthOf(const std::function<void()>& f, size_t size) {
    void* stack = std::aligned_alloc(4096, size);
    std::memset(stack, 0xa5, size);
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstack(&attributes, stack, size);
    pthread_t thread;
    const auto start = [](void* g) -> void* {
        (*static_cast<const std::function<void()>*>(g))();
        return nullptr;
    };
    EXPECT_EQ(pthread_create(&thread, &attributes, start, const_cast<std::function<void()>*>(&f)),
              0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
    const auto* bytes = static_cast<const unsigned char*>(stack);
    const size_t untouched = static_cast<size_t>(
        std::find_if(bytes, bytes + size, [](unsigned char b) { return b != 0xa5; }) - bytes);
    std::free(stack);
    return size - untouched;
}

// A call of a threaded command, the whole gateway and kernel on one thread, reaches less than a
// quarter of the stack a worker gets: the kernels' frames do not grow with the window, the taps
// or the image, only with the instruction set, and this runs the widest this processor has.
TEST(Threads, ACommandsCallNeedsAQuarterOfAWorkersStack) {
    if (!threadsCanStart()) GTEST_SKIP() << "no thread to measure on";
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // Their frames are the instrumented code's, and ThreadSanitizer's thread-local storage, which
    // the C library keeps at the top of a given stack, is larger than the stack a worker gets (its
    // pthread_create enlarges every worker's stack to fit).
    GTEST_SKIP() << "not the commands' own frames under a sanitizer";
#endif
    Inputs nearest = patchcorrCall(2000);
    nearest.push_back(testhost::text("nearest"));
    const struct {
        const char* name;
        const char* command;
        Inputs inputs;
    } cases[] = {
        {"patchcorr bilinear", "patchcorr", patchcorrCall(2000)},
        {"patchcorr nearest", "patchcorr", std::move(nearest)},
        {"stripfilt", "stripfilt", stripfiltCall(2000)},
    };
    for (const auto& c : cases) {
        const size_t depth = stackDepthOf(
            [&] { EXPECT_EQ(support::firstOutput(c.command, c.inputs).size(), 2000u); },
            4 * mexgeom::kThreadStack);
        EXPECT_LT(depth, mexgeom::kThreadStack / 4) << c.name;
        EXPECT_GT(depth, 0u) << c.name;
    }
}
#endif

// Small calls run on the calling thread in one piece whatever the switch says; large ones are
// cut into chunks only when threads are asked for. A count given by the caller (the Python
// module's threads=) stands in for the switch, and is asked for only by calls large enough.
TEST(Threads, SmallCallsAndTheDefaultRunInOnePiece) {
    const struct {
        const char* setting;
        size_t count, perThread;
        bool split;
        unsigned given;  // 0: the switch decides
    } cases[] = {
        {nullptr, 100000, 10, false, 0}, {"1", 100000, 10, false, 0},
        {"junk", 100000, 10, false, 0},  {"8", 19, 10, false, 0},
        {"8", 20, 10, true, 0},          {"auto", 20, 10, true, 0},
        {"8", 100000, 0, true, 0},       {"8", 100000, 10, false, 1},
        {nullptr, 100000, 10, true, 3},  {nullptr, 19, 10, false, 8},
        {nullptr, 20, 10, true, 8},      {"8", 2, 1, true, 0},
    };
    for (const auto& c : cases) {
        bool asked = false;
        const size_t pieces = support::withThreads(c.setting, [&] {
            std::mutex mutex;
            size_t calls = 0;
            const auto work = [&](size_t, size_t) {
                std::lock_guard<std::mutex> lock(mutex);
                ++calls;
            };
            if (c.given == 0) {
                mexgeom::forShares(c.count, c.perThread, work);
            } else {
                mexgeom::forShares(
                    c.count, c.perThread,
                    [&] {
                        asked = true;
                        return c.given;
                    },
                    work);
            }
            return calls;
        });
        // On a one-processor machine every call runs on one thread.
        const bool single = mexgeom::processorCount() == 1;
        const std::string where = std::string(c.setting ? c.setting : "(unset)") + ", " +
                                  std::to_string(c.count) + " items, given " +
                                  std::to_string(c.given);
        EXPECT_EQ(pieces > 1, c.split && !single) << where;
        // Shared, a call gives each of its threads (two at least) four chunks at least, or each
        // item its own.
        if (c.split && !single) {
            EXPECT_GE(pieces, std::min<size_t>(c.count, 8)) << where;
        }
        EXPECT_EQ(asked, c.given != 0 && c.count / 2 >= std::max<size_t>(c.perThread, 1)) << where;
    }
}

// Where no thread can be started (tests/threads_unstartable.sh runs this under a process limit
// of 1), every chunk is worked on the calling thread. Elsewhere there is nothing to check.
TEST(Threads, WithoutThreadsToBeHadTheCallerWorksAlone) {
    if (threadsCanStart()) GTEST_SKIP() << "threads can be started here";
    std::vector<int> hits(1000);
    std::vector<std::thread::id> workers;
    mexgeom::runChunks(hits.size(), 10, 4, [&](size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i) ++hits[i];
        workers.push_back(std::this_thread::get_id());
    });
    EXPECT_EQ(std::count(hits.begin(), hits.end(), 1), 1000);
    EXPECT_EQ(std::count(workers.begin(), workers.end(), std::this_thread::get_id()), 100);
}

}  // namespace
