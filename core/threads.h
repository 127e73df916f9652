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
#include <bit>
#include <cstddef>
#include <cstdlib>
#include <cstring>

// The threads are the operating system's own (POSIX threads, or Windows threads), not
// std::thread: a MEX file must run in a host whose C++ library may be older than the compiler's,
// or absent.
#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#define MEXGEOM_WINDOWS_THREADS 1
#elif defined(__unix__) || defined(__APPLE__)
#include <pthread.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/syscall.h>
#endif
#define MEXGEOM_POSIX_THREADS 1
#endif

#if defined(MEXGEOM_POSIX_THREADS) && defined(__i386__) && defined(__linux__) && defined(__GLIBC__)
// 32-bit Linux: the thread functions by their oldest versions, which every C library since 2.1
// has (a link against a newer one would otherwise bind the versions of 2.34), and weakly: before
// 2.34 they lived in libpthread, and in a host that has not loaded it they stay null and every
// call runs on the calling thread alone.
extern "C" {
int mexgeom_pthread_create(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*)
    __attribute__((weak));
int mexgeom_pthread_join(pthread_t, void**) __attribute__((weak));
}
__asm__(".symver mexgeom_pthread_create, pthread_create@GLIBC_2.1");
__asm__(".symver mexgeom_pthread_join, pthread_join@GLIBC_2.0");
#define MEXGEOM_OLD_GLIBC_THREADS 1
#endif

namespace mexgeom {

// Never more threads than this, whatever is asked: a bound on the thread list, far above any
// processor count the commands could use.
constexpr unsigned kMaxThreads = 1024;

// Items per chunk at most: large enough that a chunk keeps the kernels' vector lanes and
// prefetching busy, small enough that the last chunks even out the threads' finishing times.
constexpr std::size_t kChunk = 64;

// Starting and joining one thread that runs body(); startThread is false when no thread can be
// had (and always where the system has no threads).
namespace detail {

#if defined(MEXGEOM_WINDOWS_THREADS)
using Thread = HANDLE;

template <typename Body>
DWORD WINAPI threadMain(LPVOID body) {
    (*static_cast<const Body*>(body))();
    return 0;
}

template <typename Body>
bool startThread(Thread& thread, const Body& body) {
    thread = CreateThread(nullptr, 0, threadMain<Body>, const_cast<Body*>(&body), 0, nullptr);
    return thread != nullptr;
}

inline void joinThread(Thread thread) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}
#elif defined(MEXGEOM_POSIX_THREADS)
using Thread = pthread_t;

template <typename Body>
void* threadMain(void* body) {
    (*static_cast<const Body*>(body))();
    return nullptr;
}

template <typename Body>
bool startThread(Thread& thread, const Body& body) {
    void* const argument = const_cast<Body*>(&body);
#if defined(MEXGEOM_OLD_GLIBC_THREADS)
    return mexgeom_pthread_create != nullptr &&
           mexgeom_pthread_create(&thread, nullptr, threadMain<Body>, argument) == 0;
#else
    return pthread_create(&thread, nullptr, threadMain<Body>, argument) == 0;
#endif
}

inline void joinThread(Thread thread) {
#if defined(MEXGEOM_OLD_GLIBC_THREADS)
    mexgeom_pthread_join(thread, nullptr);
#else
    pthread_join(thread, nullptr);
#endif
}
#else
struct Thread {};

template <typename Body>
bool startThread(Thread&, const Body&) {
    return false;
}

inline void joinThread(Thread) {}
#endif

}  // namespace detail

// The processors this process may run on: its affinity mask where the system has one, else the
// processor count of the machine; at least 1. On Linux the mask is read by the system call
// itself, whose C library wrapper (2.3.4) is newer than the oldest hosts' C library.
inline unsigned processorCount() {
#if defined(__linux__)
    unsigned long mask[1024 / (8 * sizeof(unsigned long))] = {};  // 1024 processors, as cpu_set_t
    const long bytes = syscall(SYS_sched_getaffinity, 0, sizeof mask, mask);
    unsigned n = 0;
    for (long i = 0; i < bytes / static_cast<long>(sizeof mask[0]); ++i)
        n += static_cast<unsigned>(std::popcount(mask[i]));
    if (n > 0) return n;
#endif
#if defined(MEXGEOM_WINDOWS_THREADS)
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return std::max<unsigned>(1, info.dwNumberOfProcessors);
#elif defined(MEXGEOM_POSIX_THREADS)
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<unsigned>(std::min<long>(online, kMaxThreads)) : 1;
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
    // The list lives on this thread's stack (8 KB at most): nothing to allocate, nothing to fail.
    detail::Thread others[kMaxThreads - 1];
    const unsigned wanted = std::min(threads, kMaxThreads);
    unsigned started = 0;
    while (started + 1 < wanted && detail::startThread(others[started], drain)) ++started;
    drain();
    for (unsigned i = 0; i < started; ++i) detail::joinThread(others[i]);
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
