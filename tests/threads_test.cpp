// The thread switch and the splitting of a batch, without a host.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#if defined(__linux__)
#include <sched.h>
#endif

#include "support.h"
#include "threads.h"

namespace {

unsigned sixProcessors() {
    return 6;
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
// for any thread count, including more threads than chunks; and every call has ended when
// runChunks returns (with threads, each chunk takes a millisecond, so that the threads share the
// chunks and one left unjoined is still at work when the items are counted).
TEST(Threads, EveryItemIsWorkedOnceInWholeChunks) {
    for (size_t count : {0, 1, 5, 64, 300}) {
        for (size_t chunk : {1, 7, 64}) {
            for (unsigned threads : {1u, 2u, 3u, 7u, 20u}) {
                // Each chunk writes only its own slots, so the record needs no lock.
                std::vector<int> hits(count);
                std::vector<size_t> ends(count / chunk + 1);
                std::atomic<int> strays{0};
                mexgeom::runChunks(count, chunk, threads, [&](size_t begin, size_t end) {
                    if (begin % chunk != 0 || begin >= end || end > count || end - begin > chunk) {
                        ++strays;
                        return;
                    }
                    if (threads > 1) std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    for (size_t i = begin; i < end; ++i) ++hits[i];
                    ends[begin / chunk] = end;
                });
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
        {nullptr, 20, 10, true, 8},
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
        // "auto" on a one-processor machine asks for one thread.
        const bool single =
            c.setting && std::string(c.setting) == "auto" && mexgeom::processorCount() == 1;
        const std::string where = std::string(c.setting ? c.setting : "(unset)") + ", " +
                                  std::to_string(c.count) + " items, given " +
                                  std::to_string(c.given);
        EXPECT_EQ(pieces > 1, c.split && !single) << where;
        EXPECT_EQ(asked, c.given != 0 && c.count / 2 >= std::max<size_t>(c.perThread, 1)) << where;
    }
}

// Where no thread can be started (tests/threads_unstartable.sh runs this under a process limit
// of 1), every chunk is worked on the calling thread. Elsewhere there is nothing to check.
TEST(Threads, WithoutThreadsToBeHadTheCallerWorksAlone) {
    try {
        std::thread([] {}).join();
        GTEST_SKIP() << "threads can be started here";
    } catch (const std::system_error&) {
    }
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
