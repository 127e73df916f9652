#!/usr/bin/env bash
# bare_root.sh [--emulated] BUILD_DIR PROGRAM [ARGS...]: runs PROGRAM, a 32-bit program that calls
# the commands through the loader, in a minimal system such as the oldest hosts offer: the dynamic
# loader and this machine's libc.so.6, libm.so.6 and libdl.so.2 in /lib, the test host's libmx,
# libmex and libmat, the commands BUILD_DIR/mex/*.mexglx and the program, each at its path in the
# build; no C++ library, no libgcc_s. A command that needs more fails to load, and the program
# fails. Entered by chroot as root, else through a user namespace; skipped (77) only where neither
# can be had. Where the kernel runs no 32-bit programs (or with --emulated), the program runs
# under Debian's statically linked qemu-i386-static, copied into the system as /qemu-i386, which
# brings none of this machine's libraries with it.
set -euo pipefail
emulated=""
if [ "$1" = --emulated ]; then
    emulated=1
    shift
fi
build=$(realpath "$1")
program=$(realpath "$2")
shift 2

loader=$(readelf -l "$program" | sed -n 's/.*program interpreter: \(.*\)]$/\1/p')
if [ -z "$emulated" ] && ! "$loader" --list "$program" >/dev/null 2>&1; then
    echo "this kernel runs no 32-bit programs: they run under qemu-i386-static"
    emulated=1
fi
emulator=()
if [ -n "$emulated" ]; then
    static=$(command -v qemu-i386-static) ||
        { echo "no qemu-i386-static (Debian's qemu-user-static) to run 32-bit programs"; exit 1; }
    emulator=("$static")
fi
listing=$("${emulator[@]}" "$loader" --list "$program" 2>&1) ||
    { echo "cannot list the libraries of $program: $listing"; exit 1; }
libc=$(echo "$listing" | awk '$1 == "libc.so.6" {print $3}')
[ -n "$libc" ] || { echo "$program: no libc.so.6 among its libraries"; exit 1; }

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/lib" "$root$(dirname "$loader")" "$root$build/lib" "$root$build/mex" \
         "$root$(dirname "$program")"
cp -L "$loader" "$root$loader"
cp -L "$libc" "$(dirname "$libc")"/libm.so.6 "$(dirname "$libc")"/libdl.so.2 "$root/lib/"
cp -L "$build"/lib/libmx.so "$build"/lib/libmex.so "$build"/lib/libmat.so "$root$build/lib/"
cp -L "$build"/mex/*.mexglx "$root$build/mex/"
cp -L "$program" "$root$program"
if [ -n "$emulated" ]; then
    cp "$static" "$root/qemu-i386"
    emulator=(/qemu-i386)
fi
echo "the system: $(cd "$root" && find . -type f | sort | tr '\n' ' ')"

if [ "$(id -u)" -eq 0 ]; then
    enter=("$(command -v chroot)" "$root")
elif unshare --user --map-root-user true 2>/dev/null; then
    enter=("$(command -v unshare)" --user --map-root-user --root="$root")
else
    echo "neither chroot nor a user namespace here; skipped"
    exit 77
fi
# An empty environment: none of this machine's library paths reaches the program.
env -i "${enter[@]}" "${emulator[@]}" "$program" "$@" 2>&1 ||
    { echo "$program failed in the minimal system"; exit 1; }
