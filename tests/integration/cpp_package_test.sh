#!/usr/bin/env bash
# cpp_package_test.sh CMAKE BUILD_DIR EXAMPLE_DIR: installs the build into a temporary prefix,
# configures and builds the C++ example against it with find_package(mexgeom), and runs it.
set -euo pipefail
cmake=$1 build=$2 example=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$cmake" --install "$build" --prefix "$work/prefix" >/dev/null
for header in patchcorr/ncc.h pluckresid/obj.h stripfilt/imgraduv.h xprod3/cross.h \
              hesseform/hesse_rows.h; do
    [ -f "$work/prefix/include/mexgeom/$header" ] || { echo "not installed: $header"; exit 1; }
done
# Only the public headers and the two of core/ that they include: the code the kernels are built
# from stays inside the build.
internal=$(cd "$work/prefix/include/mexgeom" && find . -name '*.h' | sort | grep -v -x -e \
    ./patchcorr/ncc.h -e ./pluckresid/obj.h -e ./stripfilt/imgraduv.h -e ./xprod3/cross.h \
    -e ./hesseform/hesse_rows.h -e ./core/isa.h -e ./core/image.h || true)
[ -z "$internal" ] || { echo "internal headers installed: $internal"; exit 1; }
"$cmake" -S "$example" -B "$work/build" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
"$cmake" --build "$work/build"
"$work/build/kernels_example"
