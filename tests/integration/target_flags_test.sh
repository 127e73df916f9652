#!/usr/bin/env bash
# target_flags_test.sh CMAKE SOURCE_DIR TARBALL: every way of building picks the flags of the
# platform it builds for, without the presets' help.
#   CMake        a plain 32-bit configuration (-m32 and nothing else) compiles every file with
#                -msse2 -mfpmath=sse; a 64-bit one is left alone
#   Octave pkg   the package's Makefile, and
#   build_mex.m  the build script in Octave, each given a compiler (through CXX, which mkoctfile
#                reads) that answers the macro query as a 32-bit x86, a 64-bit x86 or a Windows
#                compiler: SSE2 flags for 32-bit x86 alone, and the export file of the platform;
#                build_mex.m also builds without exceptions and links the C++ runtime in
# The stand-in compiler records each compile and link and writes an empty output, so the builds
# run in seconds; only the query of predefined macros is answered by a real compiler.
set -euo pipefail
cmake=$1 source=$2 tarball=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() { echo "$*"; status=1; }

# --- CMake -----------------------------------------------------------------------------------
for bits in 32 64; do
    "$cmake" -S "$source" -B "$work/cmake$bits" -DCMAKE_CXX_FLAGS=-m$bits \
        -DCMAKE_MODULE_LINKER_FLAGS=-m$bits -DCMAKE_SHARED_LINKER_FLAGS=-m$bits \
        -DCMAKE_EXE_LINKER_FLAGS=-m$bits -DMEX_ONLY=xprod3 -DBUILD_TESTING=OFF -DMEX_OCTAVE=OFF \
        -DMEX_MATLAB=OFF -DMEX_BENCH=OFF -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
    commands=$(grep -c '"command"' "$work/cmake$bits/compile_commands.json")
    with=$(grep '"command"' "$work/cmake$bits/compile_commands.json" |
           grep -c -- '-msse2 -mfpmath=sse' || true)
    want=$([ $bits = 32 ] && echo "$commands" || echo 0)
    [ "$commands" -gt 0 ] && [ "$with" = "$want" ] ||
        fail "CMake, $bits-bit: $with of $commands compiles with -msse2 -mfpmath=sse, expected $want"
done

# --- The stand-in compiler -------------------------------------------------------------------
cat > "$work/cxx" <<'SCRIPT'
#!/bin/sh
# Answers the macro query as the compiler named by FAKE_TARGET; records everything else.
case " $* " in
*" -dM "*)
    case $FAKE_TARGET in
    i386) exec g++ -m32 "$@" ;;
    x86_64) exec g++ "$@" ;;
    windows) exec x86_64-w64-mingw32-g++ "$@" ;;
    esac ;;
esac
echo " $*" >> "$FAKE_LOG"
out=""
while [ $# -gt 0 ]; do
    [ "$1" = -o ] && out=$2
    shift
done
[ -n "$out" ] && : > "$out"
exit 0
SCRIPT
chmod +x "$work/cxx"
tar xzf "$tarball" -C "$work"
package=$(echo "$work"/mexgeom-*/src)

# check LOG TARGET WHAT: the compiles and links recorded in LOG carry what TARGET needs.
check() {
    local log=$1 target=$2 what=$3 compiles sse links exports
    compiles=$(grep -c -- ' -c ' "$log" || true)
    sse=$(grep -- ' -c ' "$log" | grep -c -- '-msse2 -mfpmath=sse' || true)
    want=$([ "$target" = i386 ] && echo "$compiles" || echo 0)
    [ "$compiles" -gt 0 ] && [ "$sse" = "$want" ] ||
        fail "$what for $target: $sse of $compiles compiles with -msse2 -mfpmath=sse, expected $want"
    case $target in
    windows) exports='-Wl,[^ ]*mex\.def' ;;
    *) exports='-Wl,--version-script=[^ ]*mex\.map' ;;
    esac
    links=$(grep -v -- ' -c ' "$log" | grep -c . || true)
    [ "$links" -gt 0 ] && [ "$(grep -v -- ' -c ' "$log" | grep -c -- "$exports" || true)" = "$links" ] ||
        fail "$what for $target: links without $exports: $(grep -v -- ' -c ' "$log" | head -1)"
}

# runtime LOG TARGET: build_mex.m builds as for MATLAB, whose C++ library may be older than the
# compiler's: every compile without exceptions, every link with the C++ runtime linked in.
runtime() {
    local log=$1 target=$2 flag
    for flag in -fno-exceptions; do
        [ "$(grep -- ' -c ' "$log" | grep -vc -- " $flag" || true)" = 0 ] ||
            fail "build_mex.m for $target: compiles without $flag"
    done
    for flag in -static-libstdc++ -static-libgcc; do
        [ "$(grep -v -- ' -c ' "$log" | grep -vc -- " $flag" || true)" = 0 ] ||
            fail "build_mex.m for $target: links without $flag"
    done
}

for target in i386 x86_64 windows; do
    log=$work/make-$target.log
    : > "$log"
    (cd "$package" && rm -f ./*.mex && FAKE_TARGET=$target FAKE_LOG=$log CXX=$work/cxx CXXLD=$work/cxx \
        make -s xprod3.mex hesseform.mex >/dev/null)
    check "$log" $target "the Octave package's Makefile"

    log=$work/build_mex-$target.log
    : > "$log"
    FAKE_TARGET=$target FAKE_LOG=$log CXX=$work/cxx CXXLD=$work/cxx octave-cli -q --norc --no-window-system \
        --eval "addpath('$source/packaging/matlab'); build_mex('$work/out-$target')" >/dev/null
    check "$log" $target build_mex.m
    runtime "$log" $target
done

[ $status -eq 0 ] && echo "CMake, the Octave package and build_mex.m pick the target's flags"
exit $status
