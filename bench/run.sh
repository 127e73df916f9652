#!/usr/bin/env bash
# bench/run.sh [BUILD_DIR]: builds the native preset (into BUILD_DIR, default build/native) and
# runs every benchmark:
#   - each Google Benchmark program, bench/bench_NAME.cpp: the command through the test host on
#     the standard workload, with its baseline (the plain loop, or memcpy of as many bytes) timed
#     in the same process; medians over MEX_BENCH_REPS runs (default 7), interleaved at random;
#   - bench/octave_bench.m: each command built for GNU Octave against a vectorised Octave version
#     of the same computation (and xprod3 against Octave's cross), medians in the same run.
# Prints the processor first. Timings are wall-clock time, on one thread except for the lines
# ending in /threads and the "threads" columns (MEXGEOM_THREADS=auto).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/native}
reps=${MEX_BENCH_REPS:-7}

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake --preset native -B "$build" >/dev/null
fi
cmake --build "$build" -j2 >/dev/null

echo "== processor"
lscpu | grep -E '^(Model name|CPU family|Model|CPU\(s\)|Thread|CPU max MHz|L[123])' || true
echo "instruction sets: $(grep -o -w -E 'avx2|avx512f|avx512dq' /proc/cpuinfo | sort -u | tr '\n' ' ')"
echo "command: bench/run.sh $build (MEX_BENCH_REPS=$reps)"

for command in patchcorr stripfilt pluckresid xprod3 hesseform; do
    program=$build/bench/bench_$command
    [ -x "$program" ] || continue
    echo
    echo "== $command (Google Benchmark, median of $reps)"
    "$program" --benchmark_repetitions="$reps" --benchmark_report_aggregates_only=true \
        --benchmark_enable_random_interleaving=true --benchmark_min_time=0.2
done

echo
echo "== Octave: each command against what a user would write instead (median of $((2 * reps)))"
octave-cli -q --norc --no-window-system --eval \
    "addpath('$build/octave', 'bench'); octave_bench($reps)"
