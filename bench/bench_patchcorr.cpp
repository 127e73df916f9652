// patchcorr on the standard workload, through the host, in both sampling modes, both element
// kinds and both kinds of H; the baseline is the plain loop, point by point, in the same process.
#include <string>

#include "host.h"
#include "ncc.h"
#include "report.h"
#include "straightforward.h"
#include "workloads.h"

namespace {

using testhost::Array;

struct Case {
    bool bilinear, uint8, perspective;
    std::string name() const {
        return std::string(bilinear ? "bilinear" : "nearest") + (uint8 ? "/uint8" : "/double") +
               (perspective ? "/perspective" : "/affine");
    }
};

struct Data {
    bench::PatchcorrWorkload w;
    Array X, Xb, Ya, Yab, Yp, Ypb, Haffine, Hpersp, W, u, nearest;
};

Array image(const bench::Image& im, bool uint8) {
    return uint8 ? testhost::uint8s(im.rows, im.columns, im.bytes)
                 : testhost::doubles(im.rows, im.columns, im.values);
}

const Data& data(bool small) {
    static Data d = [&] {
        Data d;
        d.w =
            small ? bench::patchcorrWorkload(64, 200, 3) : bench::patchcorrWorkload(1024, 20000, 7);
        d.X = image(d.w.X, false);
        d.Xb = image(d.w.X, true);
        d.Ya = image(d.w.Yaffine, false);
        d.Yab = image(d.w.Yaffine, true);
        d.Yp = image(d.w.Yperspective, false);
        d.Ypb = image(d.w.Yperspective, true);
        d.Haffine = testhost::doubles(3, 3, {std::begin(bench::kAffine), std::end(bench::kAffine)});
        d.Hpersp = testhost::doubles(
            3, 3, {std::begin(bench::kPerspective), std::end(bench::kPerspective)});
        d.W = testhost::doubles(3, d.w.nW, d.w.W);
        d.u = testhost::doubles(2, d.w.K, d.w.u);
        d.nearest = testhost::text("nearest");
        return d;
    }();
    return d;
}

std::vector<const mxArray*> inputs(const Data& d, const Case& c) {
    const mxArray* X = c.uint8 ? d.Xb.get() : d.X.get();
    const mxArray* Y =
        c.perspective ? (c.uint8 ? d.Ypb.get() : d.Yp.get()) : (c.uint8 ? d.Yab.get() : d.Ya.get());
    std::vector<const mxArray*> in = {X, Y, c.perspective ? d.Hpersp.get() : d.Haffine.get(),
                                      d.W.get(), d.u.get()};
    if (!c.bilinear) in.push_back(d.nearest.get());
    return in;
}

void smallCalls(bool small, const bench::Host& host, std::vector<bench::Line>& lines);

std::vector<bench::Line> setup(bool small) {
    static bench::Host host("patchcorr");
    bench::noteInstructionSet(mexgeom::supported(mexgeom::Isa::kAvx512),
                              mexgeom::supported(mexgeom::Isa::kAvx2));
    std::vector<bench::Line> lines;
    for (bool perspective : {false, true}) {
        for (bool uint8 : {false, true}) {
            for (bool bilinear : {true, false}) {
                const Case c{bilinear, uint8, perspective};
                const std::string name = "patchcorr/" + c.name(), plain = "plain/" + c.name();
                benchmark::RegisterBenchmark(name.c_str(), [c, small](benchmark::State& state) {
                    const Data& d = data(small);
                    const auto in = inputs(d, c);
                    host.check(1, in);
                    for (auto _ : state) host.call(1, in);
                    state.counters["points/s"] = benchmark::Counter(
                        static_cast<double>(d.w.K), benchmark::Counter::kIsIterationInvariantRate);
                })->Unit(benchmark::kMillisecond);
                benchmark::RegisterBenchmark((name + "/threads").c_str(),
                                             [c, small](benchmark::State& state) {
                                                 const Data& d = data(small);
                                                 const auto in = inputs(d, c);
                                                 bench::Threads all("auto");
                                                 for (auto _ : state) host.call(1, in);
                                             })
                    ->Unit(benchmark::kMillisecond)
                    ->UseRealTime();
                benchmark::RegisterBenchmark(plain.c_str(), [c, small](benchmark::State& state) {
                    const Data& d = data(small);
                    const bench::Image& Y = c.perspective ? d.w.Yperspective : d.w.Yaffine;
                    const int32_t sizeX[2] = {d.w.X.rows, d.w.X.columns};
                    const int32_t sizeY[2] = {Y.rows, Y.columns};
                    const void* X = c.uint8 ? static_cast<const void*>(d.w.X.bytes.data())
                                            : d.w.X.values.data();
                    const void* Yp =
                        c.uint8 ? static_cast<const void*>(Y.bytes.data()) : Y.values.data();
                    const double* H = c.perspective ? bench::kPerspective : bench::kAffine;
                    std::vector<double> scores(d.w.K);
                    for (auto _ : state) {
                        for (std::size_t k = 0; k < d.w.K; ++k) {
                            scores[k] = straightforward::ncc(X, sizeX, c.uint8, Yp, sizeY, c.uint8,
                                                             &d.w.u[2 * k], H, d.w.W.data(), d.w.nW,
                                                             c.bilinear, mxGetNaN());
                        }
                        benchmark::DoNotOptimize(scores.data());
                    }
                })->Unit(benchmark::kMillisecond);
                const double samples = small ? 200.0 * 49 : 20000.0 * 225;
                lines.push_back({name, samples, "ns/sample", plain, "x the plain loop"});
                lines.push_back({name + "/threads", samples, "ns/sample", name, "x one thread"});
            }
        }
    }
    smallCalls(small, host, lines);
    return lines;
}

// What the switch costs a call too small to share (one point), and from how many points two
// threads beat one: the kernel on the first K points of the workload, on the calling thread and
// split into chunks on two threads as the commands split it.
void smallCalls(bool small, const bench::Host& host, std::vector<bench::Line>& lines) {
    for (const char* setting : {"1", "auto"}) {
        const std::string name = std::string("patchcorr/one point/MEXGEOM_THREADS=") + setting;
        benchmark::RegisterBenchmark(name.c_str(), [&host, setting,
                                                    small](benchmark::State& state) {
            const Data& d = data(small);
            const Array one = testhost::doubles(2, 1, {d.w.u[0], d.w.u[1]});
            const std::vector<const mxArray*> in = {d.X.get(), d.Ya.get(), d.Haffine.get(),
                                                    d.W.get(), one.get()};
            bench::Threads threads(setting);
            for (auto _ : state) host.call(1, in);
        })->Unit(benchmark::kMicrosecond);
    }
    // The switch itself, read as a call large enough to share reads it.
    for (const char* setting : {"4", "auto"}) {
        const std::string name = std::string("switch/read MEXGEOM_THREADS=") + setting;
        benchmark::RegisterBenchmark(name.c_str(), [setting](benchmark::State& state) {
            bench::Threads threads(setting);
            for (auto _ : state) benchmark::DoNotOptimize(mexgeom::threadsRequested());
        });
        lines.push_back({name, 0, "", "patchcorr/one point/MEXGEOM_THREADS=1",
                         "x the time of a one-point call", true});
    }
    benchmark::RegisterBenchmark(
        "patchcorr/one point/off and auto alternating", [&host, small](benchmark::State& state) {
            const Data& d = data(small);
            const Array one = testhost::doubles(2, 1, {d.w.u[0], d.w.u[1]});
            const std::vector<const mxArray*> in = {d.X.get(), d.Ya.get(), d.Haffine.get(),
                                                    d.W.get(), one.get()};
            bench::alternate(state, "auto", [&] { host.call(1, in); });
        });
    lines.push_back({"patchcorr/one point/MEXGEOM_THREADS=auto", 0, "",
                     "patchcorr/one point/MEXGEOM_THREADS=1", "x the time with the switch off",
                     true});
    for (std::size_t K : {8, 16, 32, 64, 128, 256, 512}) {
        if (small && K > 16) break;
        std::string name[3];
        for (unsigned threads : {1u, 2u}) {
            name[threads] = "threshold/" + std::to_string(K) + " points/" +
                            std::to_string(threads) + (threads == 1 ? " thread" : " threads");
            benchmark::RegisterBenchmark(
                name[threads].c_str(),
                [K, threads, small](benchmark::State& state) {
                    const Data& d = data(small);
                    const mexgeom::ImageView X = {d.w.X.values.data(), d.w.X.rows, d.w.X.columns,
                                                  mexgeom::Element::kDouble};
                    const mexgeom::ImageView Y = {d.w.Yaffine.values.data(), d.w.X.rows,
                                                  d.w.X.columns, mexgeom::Element::kDouble};
                    std::vector<double> scores(K);
                    const auto work = [&](std::size_t begin, std::size_t end) {
                        patchcorr::scoreAll(X, Y, &d.w.u[2 * begin], end - begin, bench::kAffine,
                                            d.w.W.data(), d.w.nW, patchcorr::kBilinear,
                                            std::numeric_limits<double>::quiet_NaN(),
                                            &scores[begin]);
                    };
                    for (auto _ : state) {
                        mexgeom::runShares(K, threads, work);
                        benchmark::DoNotOptimize(scores.data());
                    }
                })
                ->Unit(benchmark::kMicrosecond)
                ->UseRealTime();
        }
        const double samples = static_cast<double>(K) * data(small).w.nW;
        lines.push_back({name[2], samples, "ns/sample", name[1], "x one thread"});
    }
}

}  // namespace

int main(int argc, char** argv) {
    return bench::main(argc, argv, setup);
}
