// xprod3 on 10^6 column pairs: the command through the host, and its kernel beside memcpy moving
// the same number of bytes (the kernel reads 48 and writes 24 bytes per column: a memcpy of 36
// bytes per column reads and writes as many), and beside the plain loop.
#include <cstring>

#include "cross.h"
#include "host.h"
#include "report.h"
#include "straightforward.h"
#include "workloads.h"

namespace {

struct Data {
    std::size_t n = 0;
    std::vector<double> A, B, C, from, to;
    testhost::Array a, b;
};

const Data& data(bool small) {
    static Data d = [&] {
        Data d;
        d.n = small ? 1000 : 1000000;
        d.A = bench::normals(3 * d.n, 8);
        d.B = bench::normals(3 * d.n, 9);
        d.C.assign(3 * d.n, 0.0);
        d.from.assign(9 * d.n / 2, 1.0);
        d.to.assign(9 * d.n / 2, 0.0);
        d.a = testhost::doubles(3, d.n, d.A);
        d.b = testhost::doubles(3, d.n, d.B);
        return d;
    }();
    return d;
}

std::vector<bench::Line> setup(bool small) {
    static bench::Host host("xprod3");
    auto columns = [](benchmark::State& state, std::size_t n) {
        state.counters["columns/s"] = benchmark::Counter(
            static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate);
    };
    benchmark::RegisterBenchmark("xprod3", [small, columns](benchmark::State& state) {
        const Data& d = data(small);
        const std::vector<const mxArray*> in = {d.a.get(), d.b.get()};
        host.check(1, in);
        for (auto _ : state) host.call(1, in);
        columns(state, d.n);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("kernel", [small, columns](benchmark::State& state) {
        Data& d = const_cast<Data&>(data(small));
        for (auto _ : state) {
            xprod3::crossColumns(d.A.data(), d.B.data(), d.C.data(), d.n);
            benchmark::ClobberMemory();
        }
        columns(state, d.n);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("plain", [small, columns](benchmark::State& state) {
        Data& d = const_cast<Data&>(data(small));
        for (auto _ : state) {
            straightforward::cross(d.A.data(), d.B.data(), d.C.data(), d.n);
            benchmark::ClobberMemory();
        }
        columns(state, d.n);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("memcpy", [small](benchmark::State& state) {
        Data& d = const_cast<Data&>(data(small));
        for (auto _ : state) {
            std::memcpy(d.to.data(), d.from.data(), d.from.size() * sizeof(double));
            benchmark::ClobberMemory();
        }
    })->Unit(benchmark::kMillisecond);
    const double n = small ? 1000 : 1000000;
    return {{"xprod3", n, "ns/column", "kernel", "x the kernel (host cost)"},
            {"kernel", n, "ns/column", "memcpy", "x the time of memcpy of as many bytes", true},
            {"kernel", n, "ns/column", "plain", "x the plain loop"},
            {"memcpy", n, "ns/column", "", ""}};
}

}  // namespace

int main(int argc, char** argv) {
    return bench::main(argc, argv, setup);
}
