#!/usr/bin/env bash
# Builds every command for every host and runs every test:
#   native  the 64-bit test host (GoogleTest, valgrind) and GNU Octave (.mex, Octave scripts)
#   m32     the 32-bit .mexglx files and a 32-bit test host, run under qemu-i386
#   asan    the test host under AddressSanitizer and UndefinedBehaviorSanitizer
#   fuzz    a libFuzzer fuzzer per command (clang, ASan, UBSan), a bounded run of each
#   tsan    the threaded commands through the test host under ThreadSanitizer, at every thread
#           count of their tests
# Exits non-zero when any build or test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
tests/install_deps.sh
presets=(m32 native asan fuzz tsan)
for preset in "${presets[@]}"; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
status=0
for preset in "${presets[@]}"; do
    echo "== tests: $preset"
    ctest --preset "$preset" || status=1
done
[ $status -eq 0 ] && echo "all test groups passed" || echo "some tests FAILED"
exit $status
