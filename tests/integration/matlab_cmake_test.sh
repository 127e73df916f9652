#!/usr/bin/env bash
# matlab_cmake_test.sh CMAKE SOURCE_DIR LIB_DIR COMMANDS...: the MATLAB path of the build
# (FindMatlab, matlab_add_mex) without MATLAB. A stand-in installation with MATLAB's layout, our
# test host's mex.h, matrix.h, libmx and libmex (from LIB_DIR) and a `matlab` that only answers
# the version query, is given to a fresh configuration as Matlab_ROOT_DIR. Every command must
# then build as matlab/NAME.mexa64 with its help file matlab/NAME.m, exporting what the other
# builds export (mexFunction and mexVersion, under MEX) and the API version function that
# MATLAB's version file defines, and nothing else (MATLAB's own export list leaves out
# mexVersion); the helpers of mcode/ and the reference pages (matlab/doc) come with them; and it
# must need no C++ library and no libgcc_s (tests/check_needs.sh).
set -euo pipefail
cmake=$1 source=$2 libs=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/matlab-root
mkdir -p "$root/bin/glnxa64" "$root/extern/include" "$root/extern/version" \
         "$root/extern/lib/glnxa64"
cp "$source"/testhost/include/*.h "$root/extern/include/"
cp "$libs/libmx.so" "$libs/libmex.so" "$root/bin/glnxa64/"
cat > "$root/bin/matlab" <<'SCRIPT'
#!/bin/sh
while [ $# -gt 0 ]; do
  [ "$1" = -logfile ] && printf "ans =\n\n    '9.14.0.2206163 (R2023a)'\n\n" > "$2"
  shift
done
exit 0
SCRIPT
printf '#!/bin/sh\necho mexa64\n' > "$root/bin/mexext"
chmod +x "$root/bin/matlab" "$root/bin/mexext"
cat > "$root/extern/version/cpp_mexapi_version.cpp" <<'SOURCE'
extern "C" int mexfilerequiredapiversion(unsigned* a, unsigned* b) {
    *a = *b = 1;
    return 0;
}
SOURCE
cat > "$root/extern/lib/glnxa64/c_exportsmexfileversion.map" <<'MAP'
MEX {
  global:
    mexFunction;
    mexfilerequiredapiversion;
  local:
    *;
};
MAP

(cd "$work" && "$cmake" -S "$source" -B build -DMatlab_ROOT_DIR="$root" -DBUILD_TESTING=OFF \
     -DMEX_OCTAVE=OFF -DMEX_BENCH=OFF >/dev/null)
"$cmake" --build "$work/build" -j2 --target "${@/%/_matlab}" >/dev/null
for name in "$@"; do
    mex=$work/build/matlab/$name.mexa64
    [ -f "$mex" ] || { echo "not built: matlab/$name.mexa64"; exit 1; }
    exports=$(readelf --dyn-syms -W "$mex" | awk '$7 != "UND" && $7 != "ABS" && ($5 == "GLOBAL" || $5 == "WEAK") && $8 != "" {print $8}' | sort | tr '\n' ' ')
    if [ "$exports" != "mexFunction@@MEX mexVersion@@MEX mexfilerequiredapiversion@@MEX " ]; then
        echo "$name: exports '$exports'"
        exit 1
    fi
    if ! cmp -s "$work/build/matlab/$name.m" "$source/$name/$name.m"; then
        echo "$name: no help file beside matlab/$name.mexa64"
        exit 1
    fi
done
# The helpers and the reference pages that every help text points at come with the commands.
for file in "$source"/mcode/*.m "$source"/doc/*.md; do
    case $file in *.md) copy=$work/build/matlab/doc/${file##*/} ;; *) copy=$work/build/matlab/${file##*/} ;; esac
    cmp -s "$file" "$copy" || { echo "not beside the commands: ${copy#"$work"/build/}"; exit 1; }
done
# MATLAB puts its own C++ library, often older than the compiler's, first on the search path:
# the files need none.
files=()
for name in "$@"; do files+=("$work/build/matlab/$name.mexa64"); done
"$source/tests/check_needs.sh" linux "${files[@]}"
echo "built for the stand-in MATLAB: $*"
