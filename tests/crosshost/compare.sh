#!/bin/sh
# compare.sh NATIVE_BUILD M32_BUILD: the same recorded calls made in GNU Octave, in the 64-bit test
# host and in the 32-bit test host must give byte-identical outcomes.
set -eu
native=$1 m32=$2
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
status=0
cmp "$work/octave.bin" "$work/native.bin" || { echo "Octave and the 64-bit test host differ"; status=1; }
cmp "$work/octave.bin" "$work/m32.bin" || { echo "Octave and the 32-bit build differ"; status=1; }
[ $status -eq 0 ] && echo "Octave, 64-bit and 32-bit outcomes are identical ($(wc -c < "$work/octave.bin") bytes)"
exit $status
