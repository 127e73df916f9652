// What every benchmark program shares: the standard or the small workload, and a table printed
// after Google Benchmark's own, of medians and of ratios against a baseline timed in the same
// process. Run with --benchmark_repetitions=N for medians over N runs (with a single run the
// table uses that run); --small selects the small workload of the smoke test.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace bench {

// One line of the table: the median time per call of benchmark `subject`, its time per unit of
// work (units per call, e.g. window samples; 0 for none), and its ratio to benchmark `baseline`
// (empty for none): baseline time / subject time, so that above 1 means the subject is faster,
// or with `slowdown` subject time / baseline time (for comparisons with memcpy).
struct Line {
    std::string subject;
    double units = 0;
    const char* unit = "";
    std::string baseline = "";
    const char* versus = "";  // what the ratio says, printed after it
    bool slowdown = false;
};

class Reporter : public benchmark::ConsoleReporter {
  public:
    explicit Reporter(std::vector<Line> lines)
        : ConsoleReporter(OO_None), lines_(std::move(lines)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if (!median && !single) continue;
            seconds_[run.run_name.function_name] =
                run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-40s %11s %22s %9s\n", "benchmark (median)", "ms per call", "per unit",
                    "ratio");
        for (const Line& line : lines_) {
            auto s = seconds_.find(line.subject);
            if (s == seconds_.end()) continue;
            std::printf("%-40s %11.3f", line.subject.c_str(), s->second * 1e3);
            if (line.units > 0) {
                std::printf(" %8.3f %-13s", s->second * 1e9 / line.units, line.unit);
            } else {
                std::printf(" %22s", "");
            }
            auto b = seconds_.find(line.baseline);
            if (b != seconds_.end()) {
                const double ratio = line.slowdown ? s->second / b->second : b->second / s->second;
                std::printf(" %9.2f %s", ratio, line.versus);
            }
            std::printf("\n");
        }
    }

  private:
    std::vector<Line> lines_;
    std::map<std::string, double> seconds_;
};

// Records in the run's context which of the kernel's instruction sets this processor runs.
inline void noteInstructionSet(bool avx512, bool avx2) {
    benchmark::AddCustomContext("kernel instruction set", avx512 ? "AVX-512"
                                                          : avx2 ? "AVX2"
                                                                 : "baseline (SSE2)");
}

// Registers the benchmarks of one program (standard or small workload) and returns its table.
using Setup = std::vector<Line> (*)(bool small);

inline int main(int argc, char** argv, Setup setup) {
    bool small = false;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--small") == 0) {
            small = true;
        } else {
            args.push_back(argv[i]);
        }
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
    Reporter reporter(setup(small));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

}  // namespace bench
