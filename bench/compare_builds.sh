#!/usr/bin/env bash
# bench/compare_builds.sh BASE NEW [ROUNDS]: the patchcorr and stripfilt commands through the test
# host (bench_patchcorr, bench_stripfilt: the standard workloads, one thread) in two build folders,
# BASE and NEW, run in turn ROUNDS times (default 7), each run giving the median of 3 repetitions.
# Prints each benchmark's median over the rounds in both builds and the ratio NEW / BASE: how a
# change to the kernels moves the commands' speed, measured in one script on a noisy machine.
set -euo pipefail
base=$1 new=$2 rounds=${3:-7}
filter='^(patchcorr/(bilinear|nearest)/[a-z0-9]+/[a-z]+|stripfilt/(double|uint8)(/[0-9]+ taps?)?)$'
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

for round in $(seq "$rounds"); do
    for build in base new; do
        dir=$base
        [ "$build" = new ] && dir=$new
        for program in bench_patchcorr bench_stripfilt; do
            "$dir/bench/$program" --benchmark_filter="$filter" --benchmark_repetitions=3 \
                --benchmark_report_aggregates_only=true --benchmark_min_time=0.2 \
                --benchmark_out="$out/$build.$program.$round.json" --benchmark_out_format=json \
                >/dev/null 2>&1
        done
    done
done

/usr/bin/python3 - "$out" "$base" "$new" "$rounds" <<'EOF'
import json, statistics, sys
from pathlib import Path
out, base, new, rounds = Path(sys.argv[1]), sys.argv[2], sys.argv[3], int(sys.argv[4])
times = {}
for f in sorted(out.glob("*.json")):
    build = f.name.split(".")[0]
    for b in json.loads(f.read_text())["benchmarks"]:
        if b.get("aggregate_name") == "median":
            ms = b["real_time"] * {"ns": 1e-6, "us": 1e-3, "ms": 1, "s": 1e3}[b["time_unit"]]
            times.setdefault(b["run_name"], {}).setdefault(build, []).append(ms)
print(f"BASE {base}\nNEW  {new}\nmedians of {rounds} rounds, each the median of 3 runs")
print(f"{'benchmark':40} {'BASE ms':>9} {'NEW ms':>9} {'NEW/BASE':>9}")
for name, t in times.items():
    a, b = statistics.median(t["base"]), statistics.median(t["new"])
    print(f"{name:40} {a:9.3f} {b:9.3f} {b / a:9.3f}")
EOF
