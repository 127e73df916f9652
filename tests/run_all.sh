#!/usr/bin/env bash
# Builds every command for every host and runs every test:
#   native   the 64-bit test host (GoogleTest, valgrind) and GNU Octave (.mex, Octave scripts)
#   m32      the 32-bit .mexglx files and a 32-bit test host, run under qemu-i386
#   asan     the test host under AddressSanitizer and UndefinedBehaviorSanitizer
#   fuzz     a libFuzzer fuzzer per command (clang, ASan, UBSan), a bounded run of each
#   aarch64  64-bit ARM Linux (clang cross build), the test host run under qemu-aarch64
#   win64    64-bit Windows (.mexw64, MinGW-w64 cross build), the test host run under Wine
#   tsan     the threaded commands through the test host under ThreadSanitizer, at every thread
#            count of their tests
# The cross-host comparison (in native's tests) replays the same calls on every one of them, so
# every build is made before any test runs. Prints the time of each group's build and tests.
# Exits non-zero when any build or test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
tests/install_deps.sh
presets=(m32 aarch64 win64 native asan fuzz tsan)
declare -A took
for preset in "${presets[@]}"; do
    start=$SECONDS
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    took[$preset]="build $((SECONDS - start)) s"
done
status=0
for preset in "${presets[@]}"; do
    echo "== tests: $preset"
    start=$SECONDS
    ctest --preset "$preset" || status=1
    took[$preset]="${took[$preset]}, tests $((SECONDS - start)) s"
done
for preset in "${presets[@]}"; do
    echo "time of $preset: ${took[$preset]}"
done
[ $status -eq 0 ] && echo "all test groups passed" || echo "some tests FAILED"
exit $status
