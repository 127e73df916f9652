#!/usr/bin/env bash
# octave_build_test.sh CMAKE SOURCE_DIR: the octave preset, configured into a temporary folder,
# looks for neither GoogleTest nor Google Benchmark, and after each build step every help file in
# its octave/ folder stands beside its MEX file: building one command's target brings that command
# and its help alone, the octave_commands target all five, with the .m helpers of mcode/ (whole
# functions, not help files) beside them and the reference pages in octave/doc.
set -euo pipefail
cmake=$1 source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build=$work/build

(cd "$source" && "$cmake" --preset octave -B "$build" >/dev/null)
found=$(grep -E '^(GTest_DIR|GTEST_[A-Z_]+|benchmark_DIR|Matlab_ROOT_DIR)[:=]' \
        "$build/CMakeCache.txt" || true)
if [ -n "$found" ]; then
    echo "the octave preset looked for packages it does not need:"
    echo "$found"
    exit 1
fi

# target | the commands whose MEX and help files the octave/ folder must hold afterwards
steps=(
    "patchcorr_octave | patchcorr"
    "xprod3_octave    | patchcorr xprod3"
    "octave_commands  | hesseform patchcorr pluckresid stripfilt xprod3"
)
helpers=$(cd "$source/mcode" && ls -- *.m | sed 's/\.m$//' | sort | xargs)
pages=$(cd "$source/doc" && ls -- *.md | sort | xargs)
status=0
for step in "${steps[@]}"; do
    target=$(echo "${step%%|*}" | xargs)
    want=$(echo "${step#*|}" | xargs -n1 | sort | xargs)
    "$cmake" --build "$build" -j2 --target "$target" >/dev/null
    mex=$(cd "$build/octave" && ls -- *.mex 2>/dev/null | sed 's/\.mex$//' | sort | xargs)
    help=$(cd "$build/octave" && ls -- *.m 2>/dev/null | sed 's/\.m$//' | sort \
           | comm -23 - <(echo "$helpers" | xargs -n1 | sort) | xargs)
    if [ "$mex" != "$want" ] || [ "$help" != "$want" ]; then
        echo "after $target: MEX files [$mex], help files [$help], expected [$want] for both"
        status=1
    else
        echo "after $target: $want"
    fi
done
have=$(for h in $helpers; do if [ -f "$build/octave/$h.m" ]; then echo "$h"; fi; done | xargs)
docs=$( (cd "$build/octave/doc" 2>/dev/null && ls -- *.md || true) | sort | xargs)
if [ "$have" != "$helpers" ] || [ "$docs" != "$pages" ]; then
    echo "after octave_commands: helpers [$have], pages [$docs], expected [$helpers] and [$pages]"
    status=1
fi
exit $status
