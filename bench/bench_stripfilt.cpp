// stripfilt on the standard workload through the host, on a double and a uint8 image; the
// baseline is the segment-by-segment loop of the baseline instruction set in the same process.
#include "host.h"
#include "imgraduv.h"
#include "report.h"
#include "workloads.h"

namespace {

struct Data {
    bench::StripfiltWorkload w;
    testhost::Array I, Ib, h, u1, u2;
};

const Data& data(bool small) {
    static Data d = [&] {
        Data d;
        d.w = small ? bench::stripfiltWorkload(64, 200) : bench::stripfiltWorkload(1024, 20000);
        d.I = testhost::doubles(d.w.I.rows, d.w.I.columns, d.w.I.values);
        d.Ib = testhost::uint8s(d.w.I.rows, d.w.I.columns, d.w.I.bytes);
        d.h = testhost::doubles(1, d.w.h.size(), d.w.h);
        d.u1 = testhost::doubles(2, d.w.K, d.w.u1);
        d.u2 = testhost::doubles(2, d.w.K, d.w.u2);
        return d;
    }();
    return d;
}

std::vector<bench::Line> setup(bool small) {
    static bench::Host host("stripfilt");
    bench::noteInstructionSet(mexgeom::supported(mexgeom::Isa::kAvx512),
                              mexgeom::supported(mexgeom::Isa::kAvx2));
    std::vector<bench::Line> lines;
    for (bool uint8 : {false, true}) {
        const std::string kind = uint8 ? "/uint8" : "/double";
        benchmark::RegisterBenchmark(("stripfilt" + kind).c_str(), [small, uint8](
                                                                       benchmark::State& state) {
            const Data& d = data(small);
            const std::vector<const mxArray*> in = {uint8 ? d.Ib.get() : d.I.get(), d.h.get(),
                                                    d.u1.get(), d.u2.get()};
            host.check(1, in);
            for (auto _ : state) host.call(1, in);
            state.counters["segments/s"] = benchmark::Counter(
                static_cast<double>(d.w.K), benchmark::Counter::kIsIterationInvariantRate);
        })->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("plain" + kind).c_str(), [small,
                                                                uint8](benchmark::State& state) {
            const Data& d = data(small);
            const int32_t size[2] = {d.w.I.rows, d.w.I.columns};
            const void* I =
                uint8 ? static_cast<const void*>(d.w.I.bytes.data()) : d.w.I.values.data();
            const int32_t m = static_cast<int32_t>(d.w.h.size() / 2);
            std::vector<double> out(d.w.K);
            for (auto _ : state) {
                for (std::size_t k = 0; k < d.w.K; ++k) {
                    const double a[2] = {d.w.u1[2 * k] - 1.0, d.w.u1[2 * k + 1] - 1.0};
                    const double b[2] = {d.w.u2[2 * k] - 1.0, d.w.u2[2 * k + 1] - 1.0};
                    out[k] = stripfilt::imgraduv(I, size, d.w.h.data(), m, a, b, uint8,
                                                 mexgeom::Isa::kBaseline);
                }
                benchmark::DoNotOptimize(out.data());
            }
        })->Unit(benchmark::kMillisecond);
        lines.push_back({"stripfilt" + kind, data(small).w.samples, "ns/sample", "plain" + kind,
                         "x the line-by-line loop"});
    }
    return lines;
}

}  // namespace

int main(int argc, char** argv) {
    return bench::main(argc, argv, setup);
}
