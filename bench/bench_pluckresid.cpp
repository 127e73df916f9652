// pluckresid on 10,000 cameras, with and without the Jacobian, through the host; the baseline is
// the plain loop (one camera at a time, one evaluation per Jacobian column) in the same process.
#include "host.h"
#include "obj.h"
#include "report.h"
#include "straightforward.h"
#include "workloads.h"

namespace {

struct Data {
    bench::PluckresidWorkload w;
    testhost::Array x, A, T, E;
};

const Data& data(bool small) {
    static Data d = [&] {
        Data d;
        d.w = bench::pluckresidWorkload(small ? 50 : 10000);
        const std::size_t N = static_cast<std::size_t>(d.w.N);
        d.x = testhost::doubles(4, 1, d.w.x);
        d.A = testhost::doublesNd({6, 3, N}, d.w.A);
        d.T = testhost::doublesNd({3, 4, 2}, d.w.T);
        d.E = testhost::doublesNd({2, N, 2}, d.w.E);
        return d;
    }();
    return d;
}

std::vector<bench::Line> setup(bool small) {
    static bench::Host host("pluckresid");
    bench::noteInstructionSet(mexgeom::supported(mexgeom::Isa::kAvx512),
                              mexgeom::supported(mexgeom::Isa::kAvx2));
    for (int nlhs : {1, 2}) {
        const std::string suffix = nlhs == 2 ? "/jacobian" : "/residuals";
        benchmark::RegisterBenchmark(("pluckresid" + suffix).c_str(), [small, nlhs](
                                                                          benchmark::State& state) {
            const Data& d = data(small);
            const std::vector<const mxArray*> in = {d.x.get(), d.A.get(), d.T.get(), d.E.get()};
            host.check(nlhs, in);
            for (auto _ : state) host.call(nlhs, in);
            state.counters["cameras/s"] =
                benchmark::Counter(d.w.N, benchmark::Counter::kIsIterationInvariantRate);
        })->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("plain" + suffix).c_str(), [small,
                                                                  nlhs](benchmark::State& state) {
            const Data& d = data(small);
            const std::size_t rows = 2 * static_cast<std::size_t>(d.w.N);
            std::vector<double> r(rows), J(4 * rows);
            for (auto _ : state) {
                straightforward::residuals(r.data(), nlhs == 2 ? J.data() : nullptr, d.w.x.data(),
                                           d.w.A.data(), d.w.T.data(), d.w.E.data(), d.w.N);
                benchmark::DoNotOptimize(J.data());
            }
        })->Unit(benchmark::kMicrosecond);
    }
    const double N = small ? 50 : 10000;
    return {{"pluckresid/residuals", N, "ns/camera", "plain/residuals", "x the plain loop"},
            {"pluckresid/jacobian", N, "ns/camera", "plain/jacobian", "x the plain loop"}};
}

}  // namespace

int main(int argc, char** argv) {
    return bench::main(argc, argv, setup);
}
