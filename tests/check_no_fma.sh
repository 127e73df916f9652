#!/bin/sh
# check_no_fma.sh OBJDUMP FILE...: no fused multiply-add (scalar or vector, any form) in the
# machine code of the files. Every build rounds each product and each sum on its own; a compiler
# left to contract a * b + c, as GCC and clang do on ARM, would round once and change the bits.
set -u
objdump=$1
shift
status=0
for file in "$@"; do
    found=$("$objdump" -d --no-show-raw-insn "$file" |
            grep -E -i '[[:space:]](v?fn?m(add|sub)[a-z0-9]*|fml[as][a-z0-9.]*)[[:space:]]' | head -3)
    if [ -n "$found" ]; then
        echo "$file: fused multiply-add:"; echo "$found"; status=1
    fi
done
[ $status -eq 0 ] && echo "no fused multiply-add in $# files"
exit $status
