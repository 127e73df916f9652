#!/usr/bin/env bash
# cpp_package_test.sh CMAKE BUILD_DIR EXAMPLE_DIR: installs the build into a temporary prefix,
# configures and builds the C++ example against it with find_package(mexgeom), and runs it.
set -euo pipefail
cmake=$1 build=$2 example=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$cmake" --install "$build" --prefix "$work/prefix" >/dev/null
for header in patchcorr/ncc.h pluckresid/obj.h stripfilt/imgraduv.h xprod3/cross.h \
              hesseform/normalise.h; do
    [ -f "$work/prefix/include/mexgeom/$header" ] || { echo "not installed: $header"; exit 1; }
done
"$cmake" -S "$example" -B "$work/build" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
"$cmake" --build "$work/build"
"$work/build/kernels_example"
