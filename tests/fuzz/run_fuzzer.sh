#!/bin/sh
# run_fuzzer.sh FUZZER SEEDS WORK RUNS: runs a fuzzer from the committed seeds for a fixed number
# of executions with a fixed seed, keeping what it learns in WORK (never in the seed folder).
set -eu
fuzzer=$1 seeds=$2 work=$3 runs=$4
mkdir -p "$work/corpus" "$work/artifacts"
exec "$fuzzer" -runs="$runs" -seed=1 -max_len=8192 -rss_limit_mb=4096 \
    -artifact_prefix="$work/artifacts/" "$work/corpus" "$seeds"
