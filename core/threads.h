// Threads on request: a command runs on the calling thread unless the environment variable
// MEXGEOM_THREADS asks for more, read at each call so that setenv in MATLAB or Octave takes
// effect at once (the Python module takes the same counts from its threads= argument instead).
// Nothing is kept between calls.
//
//   unset, empty, 1, or not a positive integer   one thread: the calling thread alone
//   N                                            up to N threads, the calling thread among them
//   0 or auto                                    one per processor this process may run on
//
// Whatever is asked, a call never runs on more threads than there are processors this process
// may run on: a larger count would only make the threads take turns, and each thread costs the
// host address space for its stack (kThreadStack), which a 32-bit process runs short of.
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

#include <cfenv>
#if defined(_M_X64) || defined(__x86_64__)
#include <xmmintrin.h>
#endif
#define MEXGEOM_WINDOWS_THREADS 1
#elif defined(__unix__) || defined(__APPLE__)
#include <pthread.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/syscall.h>
#endif
#define MEXGEOM_POSIX_THREADS 1
#endif

#if defined(MEXGEOM_POSIX_THREADS) && defined(__linux__) && defined(__GLIBC__) && \
    (defined(__i386__) || defined(__x86_64__) || defined(__aarch64__))
// Linux with glibc: the thread functions by their oldest versions, which every C library of the
// platform has (2.0 and 2.1 on 32-bit x86, 2.2.5 on x86-64, 2.17 on ARM), since a link against
// glibc 2.34 or later would bind the versions of 2.34 and the file would not load in an older
// host. Weakly: before 2.34 they lived in libpthread, and in a host that has not loaded it they
// stay null and every call runs on the calling thread alone.
// The platform's first version, and that of the functions that take thread attributes (revised
// on 32-bit x86 in 2.1).
#if defined(__i386__)
#define MEXGEOM_GLIBC_FIRST "GLIBC_2.0"
#define MEXGEOM_GLIBC_ATTRIBUTES "GLIBC_2.1"
#elif defined(__x86_64__)
#define MEXGEOM_GLIBC_FIRST "GLIBC_2.2.5"
#define MEXGEOM_GLIBC_ATTRIBUTES "GLIBC_2.2.5"
#else
#define MEXGEOM_GLIBC_FIRST "GLIBC_2.17"
#define MEXGEOM_GLIBC_ATTRIBUTES "GLIBC_2.17"
#endif
extern "C" {
int mexgeom_pthread_create(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*)
    __attribute__((weak));
int mexgeom_pthread_join(pthread_t, void**) __attribute__((weak));
int mexgeom_pthread_attr_init(pthread_attr_t*) __attribute__((weak));
int mexgeom_pthread_attr_setstacksize(pthread_attr_t*, size_t) __attribute__((weak));
int mexgeom_pthread_attr_destroy(pthread_attr_t*) __attribute__((weak));
}
__asm__(".symver mexgeom_pthread_create, pthread_create@" MEXGEOM_GLIBC_ATTRIBUTES);
__asm__(".symver mexgeom_pthread_join, pthread_join@" MEXGEOM_GLIBC_FIRST);
__asm__(".symver mexgeom_pthread_attr_init, pthread_attr_init@" MEXGEOM_GLIBC_ATTRIBUTES);
__asm__(
    ".symver mexgeom_pthread_attr_setstacksize, "
    "pthread_attr_setstacksize@" MEXGEOM_GLIBC_ATTRIBUTES);
__asm__(".symver mexgeom_pthread_attr_destroy, pthread_attr_destroy@" MEXGEOM_GLIBC_FIRST);
#define MEXGEOM_OLD_GLIBC_THREADS 1
#elif defined(MEXGEOM_POSIX_THREADS)
// Elsewhere the C library's own functions, under the same names.
inline int mexgeom_pthread_create(pthread_t* thread, const pthread_attr_t* attributes,
                                  void* (*start)(void*), void* argument) {
    return pthread_create(thread, attributes, start, argument);
}
inline int mexgeom_pthread_join(pthread_t thread, void** result) {
    return pthread_join(thread, result);
}
inline int mexgeom_pthread_attr_init(pthread_attr_t* attributes) {
    return pthread_attr_init(attributes);
}
inline int mexgeom_pthread_attr_setstacksize(pthread_attr_t* attributes, size_t size) {
    return pthread_attr_setstacksize(attributes, size);
}
inline int mexgeom_pthread_attr_destroy(pthread_attr_t* attributes) {
    return pthread_attr_destroy(attributes);
}
#endif

namespace mexgeom {

// Never more threads than this, whatever is asked: a bound on the thread list, far above any
// processor count the commands could use.
constexpr unsigned kMaxThreads = 1024;

// Items per chunk at most: large enough that a chunk keeps the kernels' vector lanes and
// prefetching busy, small enough that the last chunks even out the threads' finishing times.
constexpr std::size_t kChunk = 64;

// The stack of each thread started (the calling thread keeps its own). The deepest a call
// reaches is about 22 KB (patchcorr's bilinear AVX-512 path, its gateway included), whatever the
// window, taps or image sizes, measured by filling a thread's stack with a pattern
// (tests/threads_test.cpp keeps the commands under a quarter of this); the rest is room for the
// host's signal handlers, for debug and sanitizer builds, and for the thread-local storage that
// glibc takes from the same block. The systems' defaults (8 MB on Linux) would let a few hundred
// threads fill a 32-bit address space.
constexpr std::size_t kThreadStack = 256 * 1024;

// Starting and joining one thread that runs body(); startThread is false when no thread can be
// had (and always where the system has no threads). CallersFloatingPoint holds the calling
// thread's floating-point environment (rounding, flush to zero), and adopt() gives it to a worker
// where threads do not inherit it.
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
    thread = CreateThread(nullptr, kThreadStack, threadMain<Body>, const_cast<Body*>(&body),
                          STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    return thread != nullptr;
}

inline void joinThread(Thread thread) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

// A Windows thread starts in the default environment (rounding to nearest, no flush to zero),
// whatever its creator's. On x86 the environment of double arithmetic is the SSE control
// register, copied as it stands (MinGW-w64's fesetenv leaves it alone).
#if defined(_M_X64) || defined(__x86_64__)
class CallersFloatingPoint {
  public:
    CallersFloatingPoint() : control_(_mm_getcsr()) {}
    void adopt() const { _mm_setcsr(control_); }

  private:
    unsigned control_;
};
#else
class CallersFloatingPoint {
  public:
    CallersFloatingPoint() { std::fegetenv(&environment_); }
    void adopt() const { std::fesetenv(&environment_); }

  private:
    std::fenv_t environment_;
};
#endif
#elif defined(MEXGEOM_POSIX_THREADS)
using Thread = pthread_t;

template <typename Body>
void* threadMain(void* body) {
    (*static_cast<const Body*>(body))();
    return nullptr;
}

template <typename Body>
bool startThread(Thread& thread, const Body& body) {
#if defined(MEXGEOM_OLD_GLIBC_THREADS)
    // Null where the host has not loaded libpthread, which held them before glibc 2.34.
    if (mexgeom_pthread_create == nullptr || mexgeom_pthread_join == nullptr ||
        mexgeom_pthread_attr_init == nullptr || mexgeom_pthread_attr_setstacksize == nullptr ||
        mexgeom_pthread_attr_destroy == nullptr)
        return false;
#endif
    void* const argument = const_cast<Body*>(&body);
    pthread_attr_t attributes;
    if (mexgeom_pthread_attr_init(&attributes) != 0) return false;
    const bool started =
        mexgeom_pthread_attr_setstacksize(&attributes, kThreadStack) == 0 &&
        mexgeom_pthread_create(&thread, &attributes, threadMain<Body>, argument) == 0;
    mexgeom_pthread_attr_destroy(&attributes);
    return started;
}

inline void joinThread(Thread thread) {
    mexgeom_pthread_join(thread, nullptr);
}

// A POSIX thread starts with its creator's floating-point environment.
struct CallersFloatingPoint {
    void adopt() const {}
};
#else
struct Thread {};

template <typename Body>
bool startThread(Thread&, const Body&) {
    return false;
}

inline void joinThread(Thread) {}

struct CallersFloatingPoint {
    void adopt() const {}
};
#endif

}  // namespace detail

// The processors this process may run on: its affinity mask where the system has one, else the
// processor count of the machine; at least 1, at most kMaxThreads. On Linux the mask is read by
// the system call itself, whose C library wrapper (2.3.4) is newer than the oldest hosts' C
// library.
inline unsigned processorCount() {
#if defined(__linux__)
    unsigned long mask[1024 / (8 * sizeof(unsigned long))] = {};  // 1024 processors, as cpu_set_t
    const long bytes = syscall(SYS_sched_getaffinity, 0, sizeof mask, mask);
    unsigned n = 0;
    for (long i = 0; i < bytes / static_cast<long>(sizeof mask[0]); ++i)
        n += static_cast<unsigned>(std::popcount(mask[i]));
    if (n > 0) return std::min(n, kMaxThreads);
#endif
#if defined(MEXGEOM_WINDOWS_THREADS)
    DWORD_PTR process = 0, system = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process != 0)
        return static_cast<unsigned>(std::popcount(process));
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return std::clamp<unsigned>(info.dwNumberOfProcessors, 1, kMaxThreads);
#elif defined(MEXGEOM_POSIX_THREADS)
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<unsigned>(std::min<long>(online, kMaxThreads)) : 1;
#else
    return 1;
#endif
}

// The thread count that the text of MEXGEOM_THREADS asks for (null when unset); `processors`
// answers 0 and auto. Numbers beyond kMaxThreads give kMaxThreads. (What a call then runs on is
// at most one thread per processor: runChunks.)
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

namespace detail {

// Runs work(begin, end) over [0, count) in chunks of `chunk` items on the calling thread and up to
// threads - 1 others (a count already held to the processors), all joined before it returns. Each
// worker computes in the caller's floating-point environment.
template <typename Work>
void runOn(std::size_t count, std::size_t chunk, unsigned threads, const Work& work) noexcept {
    std::atomic<std::size_t> next{0};
    const auto drain = [&] {
        for (std::size_t begin; (begin = next.fetch_add(chunk)) < count;)
            work(begin, std::min(count, begin + chunk));
    };
    const CallersFloatingPoint floatingPoint;
    const auto worker = [&] {
        floatingPoint.adopt();
        drain();
    };
    // The list lives on this thread's stack (8 KB at most): nothing to allocate, nothing to fail.
    Thread others[kMaxThreads - 1];
    unsigned started = 0;
    while (started + 1 < threads && startThread(others[started], worker)) ++started;
    drain();
    for (unsigned i = 0; i < started; ++i) joinThread(others[i]);
}

}  // namespace detail

// The same on up to `threads` threads, never more in all than `processors` answers.
template <typename Work>
void runChunks(std::size_t count, std::size_t chunk, unsigned threads, const Work& work,
               unsigned (*processors)() = processorCount) noexcept {
    detail::runOn(count, chunk, threads > 1 ? std::min({threads, processors(), kMaxThreads}) : 1,
                  work);
}

// Runs work(begin, end) over [0, count) on up to `threads` threads, at most one per processor
// (the calling thread alone for 1), in at least four chunks per thread, so that a small call still
// gives every thread its part.
template <typename Work>
void runShares(std::size_t count, unsigned threads, const Work& work) noexcept {
    if (threads > 1) threads = std::min(threads, processorCount());
    if (threads <= 1) return work(std::size_t{0}, count);
    detail::runOn(count, std::clamp<std::size_t>(count / (4 * threads), 1, kChunk), threads, work);
}

// Runs work(begin, end) over [0, count): on the calling thread alone, without asking how many
// threads are wanted, when fewer than 2 x itemsPerThread items would not repay starting a thread;
// else on as many threads as wanted() answers, at most one per itemsPerThread items and one per
// processor.
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
