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
            }
        }
    }
    return lines;
}

}  // namespace

int main(int argc, char** argv) {
    return bench::main(argc, argv, setup);
}
