#!/bin/sh
# compare.sh NATIVE_BUILD M32_BUILD [AARCH64_BUILD [WIN64_BUILD]]: the same recorded calls made in
# GNU Octave, in the 64-bit test host, in the 32-bit test host (qemu-i386) and, when they are
# built, in the 64-bit ARM test host (qemu-aarch64) and the Windows test host (Wine) must give
# byte-identical outcomes. A build that is missing is reported and the test skipped (status 77)
# after the others are compared.
set -eu
native=$1 m32=$2 aarch64=${3:-} win64=${4:-}
here=$(cd "$(dirname "$0")" && pwd)
work=$native/crosshost
mkdir -p "$work"
if [ ! -x "$m32/testhost/mexrun" ]; then
    echo "no 32-bit build in $m32: skipped"
    exit 77
fi
octave-cli -q --norc --no-window-system --eval \
    "addpath('$native/octave', '$here'); crosshost_cases('$work/cases.bin', '$work/octave.bin')" 2>/dev/null
"$native/testhost/mexrun" "$work/cases.bin" "$work/native.bin"
qemu-i386 "$m32/testhost/mexrun" "$work/cases.bin" "$work/m32.bin"
status=0 missing=""
compared="Octave, 64-bit, 32-bit"
cmp "$work/octave.bin" "$work/native.bin" || { echo "Octave and the 64-bit test host differ"; status=1; }
cmp "$work/octave.bin" "$work/m32.bin" || { echo "Octave and the 32-bit build differ"; status=1; }
if [ -n "$aarch64" ] && [ -x "$aarch64/testhost/mexrun" ]; then
    rm -f "$work/aarch64.bin"
    qemu-aarch64 -L /usr/aarch64-linux-gnu "$aarch64/testhost/mexrun" "$work/cases.bin" \
        "$work/aarch64.bin" || status=1
    cmp "$work/octave.bin" "$work/aarch64.bin" || { echo "Octave and the ARM build differ"; status=1; }
    compared="$compared, aarch64"
else
    missing="$missing aarch64"
fi
if [ -n "$win64" ] && [ -f "$win64/bin/mexrun.exe" ]; then
    # Wine maps the Unix root to drive Z:.
    rm -f "$work/win64.bin"
    "$here/../wine_run.sh" "$win64/bin/mexrun.exe" "Z:$work/cases.bin" "Z:$work/win64.bin" ||
        status=1
    cmp "$work/octave.bin" "$work/win64.bin" || { echo "Octave and the Windows build differ"; status=1; }
    compared="$compared, Windows"
else
    missing="$missing Windows"
fi
[ $status -eq 0 ] && echo "$compared outcomes are identical ($(wc -c < "$work/octave.bin") bytes)"
if [ $status -eq 0 ] && [ -n "$missing" ]; then
    echo "not built, not compared:$missing"
    exit 77
fi
exit $status
