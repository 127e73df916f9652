#!/bin/sh
# default_nan_only.sh X86 OTHER: the two outcome files are the same byte for byte except where X86
# holds the x86 default NaN (0xfff8000000000000) and OTHER the ARM one (0x7ff8000000000000): the
# NaN that an invalid operation such as 0 / 0 gives, which on ARM has no sign bit. Prints how
# many such doubles there are; fails on any other difference.
set -eu
x86=$1 other=$2
[ "$(wc -c < "$x86")" = "$(wc -c < "$other")" ] || { echo "$other: size differs"; exit 1; }
count=0
for offset in $(cmp -l "$x86" "$other" | awk '{print $1}'); do
    # cmp counts from 1; the differing byte must be the top byte of a default NaN.
    start=$((offset - 8))
    a=$(od -An -tx1 -j "$start" -N 8 "$x86" | tr -d ' \n')
    b=$(od -An -tx1 -j "$start" -N 8 "$other" | tr -d ' \n')
    if [ "$a" != 000000000000f8ff ] || [ "$b" != 000000000000f87f ]; then
        echo "byte $offset: $a against $b"
        exit 1
    fi
    count=$((count + 1))
done
echo "$count"
