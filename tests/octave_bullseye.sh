#!/usr/bin/env bash
# octave_bullseye.sh BUILD_DIR: the Octave MEX files of BUILD_DIR/octave, built here, in an older
# host: the Octave 6.2 of a brand-new minimal Debian 11 (glibc 2.31), made by mmdebstrap from
# Debian's packages once and cached as a tarball (in $MEXGEOM_CACHE, by default
# ~/.cache/mexgeom), unpacked afresh for every run and entered by chroot. There every file must
# load (a file that asks for a library, version or symbol the system lacks is named, with the
# symbol), every command's embedded tests must pass, and the cross-host recorded calls, made by
# this machine's Octave and replayed there with one thread and with every processor, must give
# the same bytes. Needs root; skipped (77) otherwise.
set -euo pipefail
build=$(realpath "$1")
tests=$(cd "$(dirname "$0")" && pwd)
if [ "$(id -u)" -ne 0 ]; then
    echo "making and entering the Debian 11 system needs root: skipped"
    exit 77
fi

# The system, made once. The packages come from the Debian mirror this machine's apt uses.
cache=${MEXGEOM_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/mexgeom}
tarball=$cache/bullseye-octave.tar
mkdir -p "$cache"
(
    flock 9
    if [ ! -s "$tarball" ]; then
        mirror=$(cat /etc/apt/sources.list.d/*.sources /etc/apt/sources.list 2>/dev/null |
                 grep -o -E 'https?://[^ ]*/debian/?( |$)' | head -n 1 | tr -d ' ') || true
        mirror=${mirror:-http://deb.debian.org/debian}
        start=$SECONDS
        mmdebstrap --quiet --variant=minbase --include=octave --format=tar bullseye \
            "$tarball.part" "$mirror"
        mv "$tarball.part" "$tarball"
        echo "made $tarball from $mirror in $((SECONDS - start)) s"
    fi
) 9>"$tarball.lock"

work=$build/bullseye
root=$work/root
rm -rf "$work"
mkdir -p "$root"
trap 'rm -rf "$root"' EXIT
start=$SECONDS
tar -xf "$tarball" -C "$root"
mkdir -p "$root/mexgeom/tests"
cp "$build"/octave/*.mex "$build"/octave/*.m "$root/mexgeom/"
cp "$tests/integration/run_embedded.m" "$tests/crosshost/crosshost_cases.m" "$root/mexgeom/tests/"

# COMMAND run in the system, with an empty environment but for NAME=VALUE arguments before it,
# and every symbol bound at load, so that a file that asks for one the system lacks fails to load,
# naming it, rather than when the call reaches it. (Octave needs no /proc; nothing is mounted,
# since in a chroot, as in CI, a mount namespace of its own cannot be had.)
inside() {
    chroot "$root" /usr/bin/env -i HOME=/tmp PATH=/usr/bin:/bin LD_BIND_NOW=1 "$@"
}
echo "Debian $(cat "$root/etc/debian_version"), $(inside octave-cli --version | head -n 1)," \
     "$(inside ldd --version | head -n 1) (unpacked in $((SECONDS - start)) s)"

status=0
fail() { echo "FAILED: $*"; status=1; }

# What each file asks of the system's libraries, against what they define: a library it lacks,
# or a version none of its libraries defines, with the symbols asked at that version.
for file in "$root"/mexgeom/*.mex; do
    name=$(basename "$file")
    for library in $(readelf -d -W "$file" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p'); do
        found=$(find "$root/lib" "$root/usr/lib" -name "$library" | head -n 1)
        if [ -z "$found" ]; then
            fail "$name needs $library, which the system lacks"
            continue
        fi
        defined=$(readelf -V -W "$found" | sed -n '/^Version definition/,/^$/p')
        for version in $(readelf -V -W "$file" | sed -n '/^Version needs/,/^$/p' |
                         awk -v l="$library" '{for (i = 1; i < NF; i++) if ($i == "File:") f = $(i + 1);
                             else if ($i == "Name:" && f == l) print $(i + 1)}'); do
            if ! echo "$defined" | grep -q "Name: $version\$"; then
                symbols=$(objdump -T "$file" | awk -v v="($version)" 'NF > 1 && $(NF - 1) == v {print $NF}' |
                          tr '\n' ' ')
                fail "$name needs ${symbols}at version $version of $library, which Debian 11's lacks"
            fi
        done
    done
done

for file in "$root"/mexgeom/*.mex; do
    command=$(basename "$file" .mex)
    inside octave-cli -q --norc --no-window-system --eval \
        "addpath('/mexgeom', '/mexgeom/tests'); run_embedded('$command')" ||
        fail "$command: the embedded tests in Debian 11's Octave"
done

# The recorded calls: made here, replayed there.
octave-cli -q --norc --no-window-system --eval \
    "addpath('$build/octave', '$tests/crosshost'); crosshost_cases('$work/cases.bin', '$work/octave.bin')"
cp "$work/cases.bin" "$root/mexgeom/"
for threads in 1 auto; do
    rm -f "$root/mexgeom/outcomes.bin"
    inside MEXGEOM_THREADS=$threads octave-cli -q --norc --no-window-system --eval \
        "addpath('/mexgeom', '/mexgeom/tests'); crosshost_cases('/mexgeom/cases.bin', '/mexgeom/outcomes.bin', 'replay')" ||
        fail "the recorded calls in Debian 11's Octave, MEXGEOM_THREADS=$threads"
    cmp "$work/octave.bin" "$root/mexgeom/outcomes.bin" ||
        fail "the recorded calls give other bytes in Debian 11's Octave, MEXGEOM_THREADS=$threads"
done
[ $status -eq 0 ] && echo "every file loads in Debian 11's Octave and gives this machine's bytes"
exit $status
