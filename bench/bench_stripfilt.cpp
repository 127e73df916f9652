// stripfilt on the standard workload through the host, on a double and a uint8 image, and with
// short filters of 1 and 3 taps on the double image; the baseline is the segment-by-segment loop
// of the baseline instruction set in the same process.
#include <string>

#include "host.h"
#include "imgraduv.h"
#include "report.h"
#include "workloads.h"

namespace {

struct Data {
    bench::StripfiltWorkload w;
    testhost::Array I, Ib, h, u1, u2;
};

// Short filters: a mean along the segment, and a central difference across it.
const std::vector<double> kShortFilters[] = {{1}, {-1, 0, 1}};

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

// The workload's segments one after another by the line-by-line loop of the baseline instruction
// set, with the filter `taps`, on the double image or its bytes.
void lineByLine(benchmark::State& state, const Data& d, bool uint8,
                const std::vector<double>& taps) {
    const int32_t size[2] = {d.w.I.rows, d.w.I.columns};
    const void* I = uint8 ? static_cast<const void*>(d.w.I.bytes.data()) : d.w.I.values.data();
    const int32_t m = static_cast<int32_t>(taps.size() / 2);
    std::vector<double> out(d.w.K);
    for (auto _ : state) {
        for (std::size_t k = 0; k < d.w.K; ++k) {
            const double a[2] = {d.w.u1[2 * k] - 1.0, d.w.u1[2 * k + 1] - 1.0};
            const double b[2] = {d.w.u2[2 * k] - 1.0, d.w.u2[2 * k + 1] - 1.0};
            out[k] =
                stripfilt::imgraduv(I, size, taps.data(), m, a, b, uint8, mexgeom::Isa::kBaseline);
        }
        benchmark::DoNotOptimize(out.data());
    }
}

void shortFilters(bool small, std::vector<bench::Line>& lines);
void smallCalls(bool small, const bench::Host& host, std::vector<bench::Line>& lines);

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
        benchmark::RegisterBenchmark(("stripfilt" + kind + "/threads").c_str(),
                                     [small, uint8](benchmark::State& state) {
                                         const Data& d = data(small);
                                         const std::vector<const mxArray*> in = {
                                             uint8 ? d.Ib.get() : d.I.get(), d.h.get(), d.u1.get(),
                                             d.u2.get()};
                                         bench::Threads all("auto");
                                         for (auto _ : state) host.call(1, in);
                                     })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark(("plain" + kind).c_str(), [small,
                                                                uint8](benchmark::State& state) {
            lineByLine(state, data(small), uint8, data(small).w.h);
        })->Unit(benchmark::kMillisecond);
        lines.push_back({"stripfilt" + kind, data(small).w.samples, "ns/sample", "plain" + kind,
                         "x the line-by-line loop"});
        lines.push_back({"stripfilt" + kind + "/threads", data(small).w.samples, "ns/sample",
                         "stripfilt" + kind, "x one thread"});
    }
    shortFilters(small, lines);
    smallCalls(small, host, lines);
    return lines;
}

// The double image with each short filter, through the host and by the line-by-line loop.
void shortFilters(bool small, std::vector<bench::Line>& lines) {
    static bench::Host host("stripfilt");
    for (const std::vector<double>& taps : kShortFilters) {
        const std::string name =
            "/double/" + std::to_string(taps.size()) + " tap" + (taps.size() == 1 ? "" : "s");
        benchmark::RegisterBenchmark(("stripfilt" + name).c_str(), [small, &taps](
                                                                       benchmark::State& state) {
            const Data& d = data(small);
            const testhost::Array h = testhost::doubles(1, taps.size(), taps);
            const std::vector<const mxArray*> in = {d.I.get(), h.get(), d.u1.get(), d.u2.get()};
            host.check(1, in);
            for (auto _ : state) host.call(1, in);
        })->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("plain" + name).c_str(), [small,
                                                                &taps](benchmark::State& state) {
            lineByLine(state, data(small), false, taps);
        })->Unit(benchmark::kMillisecond);
        const double samples = data(small).w.samples / data(small).w.h.size() * taps.size();
        lines.push_back(
            {"stripfilt" + name, samples, "ns/sample", "plain" + name, "x the line-by-line loop"});
    }
}

// What the switch costs a call too small to share (one segment), and from how many segments two
// threads beat one: the segments of the workload on the calling thread and split into chunks on
// two threads as the command splits them.
void smallCalls(bool small, const bench::Host& host, std::vector<bench::Line>& lines) {
    for (const char* setting : {"1", "auto"}) {
        const std::string name = std::string("stripfilt/one segment/MEXGEOM_THREADS=") + setting;
        benchmark::RegisterBenchmark(name.c_str(), [&host, setting,
                                                    small](benchmark::State& state) {
            const Data& d = data(small);
            const testhost::Array a = testhost::doubles(2, 1, {d.w.u1[0], d.w.u1[1]});
            const testhost::Array b = testhost::doubles(2, 1, {d.w.u2[0], d.w.u2[1]});
            const std::vector<const mxArray*> in = {d.I.get(), d.h.get(), a.get(), b.get()};
            bench::Threads threads(setting);
            for (auto _ : state) host.call(1, in);
        })->Unit(benchmark::kMicrosecond);
    }
    benchmark::RegisterBenchmark(
        "stripfilt/one segment/off and auto alternating", [&host, small](benchmark::State& state) {
            const Data& d = data(small);
            const testhost::Array a = testhost::doubles(2, 1, {d.w.u1[0], d.w.u1[1]});
            const testhost::Array b = testhost::doubles(2, 1, {d.w.u2[0], d.w.u2[1]});
            const std::vector<const mxArray*> in = {d.I.get(), d.h.get(), a.get(), b.get()};
            bench::alternate(state, "auto", [&] { host.call(1, in); });
        });
    lines.push_back({"stripfilt/one segment/MEXGEOM_THREADS=auto", 0, "",
                     "stripfilt/one segment/MEXGEOM_THREADS=1", "x the time with the switch off",
                     true});
    for (std::size_t K : {8, 16, 32, 64, 128, 256, 512}) {
        if (small && K > 16) break;
        std::string name[3];
        for (unsigned threads : {1u, 2u}) {
            name[threads] = "threshold/" + std::to_string(K) + " segments/" +
                            std::to_string(threads) + (threads == 1 ? " thread" : " threads");
            benchmark::RegisterBenchmark(
                name[threads].c_str(),
                [K, threads, small](benchmark::State& state) {
                    const Data& d = data(small);
                    const mexgeom::ImageView I = {d.w.I.values.data(), d.w.I.rows, d.w.I.columns,
                                                  mexgeom::Element::kDouble};
                    const int32_t m = static_cast<int32_t>(d.w.h.size() / 2);
                    std::vector<double> out(K);
                    const auto work = [&](std::size_t begin, std::size_t end) {
                        stripfilt::filterAll(I, d.w.h.data(), m, &d.w.u1[2 * begin],
                                             &d.w.u2[2 * begin], end - begin, &out[begin]);
                    };
                    for (auto _ : state) {
                        mexgeom::runShares(K, threads, work);
                        benchmark::DoNotOptimize(out.data());
                    }
                })
                ->Unit(benchmark::kMicrosecond)
                ->UseRealTime();
        }
        lines.push_back({name[2], 0, "", name[1], "x one thread"});
    }
}

}  // namespace

int main(int argc, char** argv) {
    return bench::main(argc, argv, setup);
}
