// hesseform on 10^6 lines: the command through the host, and its kernel beside memcpy moving the
// same bytes (it reads and writes 24 bytes per line), and beside the plain loop.
#include <cstring>

#include "hesse_rows.h"
#include "host.h"
#include "report.h"
#include "straightforward.h"
#include "workloads.h"

namespace {

struct Data {
    std::size_t M = 0;
    std::vector<double> L, out, to;
    testhost::Array l;
};

const Data& data(bool small) {
    static Data d = [&] {
        Data d;
        d.M = small ? 1000 : 1000000;
        d.L = bench::normals(3 * d.M, 10);
        d.out.assign(3 * d.M, 0.0);
        d.to.assign(3 * d.M, 0.0);
        d.l = testhost::doubles(d.M, 3, d.L);
        return d;
    }();
    return d;
}

std::vector<bench::Line> setup(bool small) {
    static bench::Host host("hesseform");
    bench::noteInstructionSet(mexgeom::supported(mexgeom::Isa::kAvx512),
                              mexgeom::supported(mexgeom::Isa::kAvx2));
    auto lines = [](benchmark::State& state, std::size_t M) {
        state.counters["lines/s"] = benchmark::Counter(
            static_cast<double>(M), benchmark::Counter::kIsIterationInvariantRate);
    };
    benchmark::RegisterBenchmark("hesseform", [small, lines](benchmark::State& state) {
        const Data& d = data(small);
        const std::vector<const mxArray*> in = {d.l.get()};
        host.check(1, in);
        for (auto _ : state) host.call(1, in);
        lines(state, d.M);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("kernel", [small, lines](benchmark::State& state) {
        Data& d = const_cast<Data&>(data(small));
        for (auto _ : state) {
            hesseform::hesseRows(d.L.data(), d.out.data(), d.M);
            benchmark::ClobberMemory();
        }
        lines(state, d.M);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("plain", [small, lines](benchmark::State& state) {
        Data& d = const_cast<Data&>(data(small));
        for (auto _ : state) {
            straightforward::hesse(d.L.data(), d.out.data(), d.M);
            benchmark::ClobberMemory();
        }
        lines(state, d.M);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("memcpy", [small](benchmark::State& state) {
        Data& d = const_cast<Data&>(data(small));
        for (auto _ : state) {
            std::memcpy(d.to.data(), d.L.data(), d.L.size() * sizeof(double));
            benchmark::ClobberMemory();
        }
    })->Unit(benchmark::kMillisecond);
    const double M = small ? 1000 : 1000000;
    return {{"hesseform", M, "ns/line", "kernel", "x the kernel (host cost)"},
            {"kernel", M, "ns/line", "memcpy", "x the time of memcpy of as many bytes", true},
            {"kernel", M, "ns/line", "plain", "x the plain loop"},
            {"memcpy", M, "ns/line", "", ""}};
}

}  // namespace

int main(int argc, char** argv) {
    return bench::main(argc, argv, setup);
}
