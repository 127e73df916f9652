#!/usr/bin/env bash
# bench/compare_builds.sh BASE NEW [ROUNDS]: the patchcorr and stripfilt commands through the test
# host (bench_patchcorr, bench_stripfilt: the standard workloads, one thread) in two build folders,
# BASE and NEW. Each round runs every benchmark once in each build, the two runs of a benchmark
# back to back (BASE first in odd rounds, NEW first in even ones), so that both meet the same load
# on a shared machine. Prints, per benchmark, the medians over ROUNDS rounds (default 9) of each
# build's CPU time (which other programs' load stretches less than wall-clock time) and of the
# ratio NEW / BASE within a round.
set -euo pipefail
base=$1 new=$2 rounds=${3:-9}
names=(patchcorr/{bilinear,nearest}/{double,uint8}/{affine,perspective}
       stripfilt/{double,uint8} "stripfilt/double/1 tap" "stripfilt/double/3 taps")
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

run() {  # run BUILD-FOLDER LABEL NAME ROUND
    local program=$1/bench/bench_${3%%/*}
    "$program" --benchmark_filter="^$3\$" --benchmark_min_time=0.2 \
        --benchmark_out="$out/$2.$4.${3//[\/ ]/_}.json" --benchmark_out_format=json \
        >/dev/null 2>&1
}

for round in $(seq "$rounds"); do
    for name in "${names[@]}"; do
        if [ $((round % 2)) -eq 1 ]; then
            run "$base" base "$name" "$round"
            run "$new" new "$name" "$round"
        else
            run "$new" new "$name" "$round"
            run "$base" base "$name" "$round"
        fi
    done
done

/usr/bin/python3 - "$out" "$base" "$new" "$rounds" <<'EOF'
import json, statistics, sys
from pathlib import Path
out, base, new, rounds = Path(sys.argv[1]), sys.argv[2], sys.argv[3], int(sys.argv[4])
times = {}  # name -> round -> build -> ms
for f in out.glob("*.json"):
    build, round_ = f.name.split(".")[:2]
    for b in json.loads(f.read_text())["benchmarks"]:
        ms = b["cpu_time"] * {"ns": 1e-6, "us": 1e-3, "ms": 1, "s": 1e3}[b["time_unit"]]
        times.setdefault(b["run_name"], {}).setdefault(round_, {})[build] = ms
print(f"BASE {base}\nNEW  {new}\nmedians of {rounds} rounds")
print(f"{'benchmark':40} {'BASE ms':>9} {'NEW ms':>9} {'NEW/BASE':>9} {'range':>13}")
for name, by_round in sorted(times.items()):
    a = statistics.median(r["base"] for r in by_round.values())
    b = statistics.median(r["new"] for r in by_round.values())
    ratios = sorted(r["new"] / r["base"] for r in by_round.values())
    print(f"{name:40} {a:9.3f} {b:9.3f} {statistics.median(ratios):9.3f} "
          f"{ratios[0]:6.3f}-{ratios[-1]:.3f}")
EOF
