#!/usr/bin/env bash
# long.sh [RUNS] [COMMAND...]: a long fuzzing session, RUNS executions per fuzzer (default two
# million) for each command (default all five), from the committed seeds. Findings are written to
# build/fuzz-long/COMMAND/artifacts; replay one with build/fuzz/tests/fuzz_COMMAND FILE.
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=${1:-2000000}
shift || true
commands=("${@:-patchcorr pluckresid stripfilt xprod3 hesseform}")
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
for c in ${commands[@]}; do
    echo "== fuzz_$c: $runs runs"
    tests/fuzz/run_fuzzer.sh "build/fuzz/tests/fuzz_$c" "tests/fuzz/seeds/$c" "build/fuzz-long/$c" "$runs"
done
