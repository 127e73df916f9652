#!/usr/bin/env bash
# check_needs.sh HOST FILE...: what each built MEX file needs at load time, against what its host
# provides. Prints each file's libraries, with the highest symbol version it asks of each; fails
# naming the file, the library or version, and the limit.
#
# The hosts, in one place: the libraries a MEX file may need (shell patterns) and the newest
# version of the C library it may ask for, the oldest C library of the hosts it must load in.
#   mexglx     a 32-bit Linux MATLAB of the R13 generation: its libmx and libmex (and libmat,
#              which the link line names), the maths and C libraries of glibc 2.2.4
#   linux      64-bit Linux, x86-64 and ARM (our test host, MATLAB): no C++ library, no
#              libgcc_s (the threads were in libpthread before glibc 2.34; the dynamic loader is
#              in every process); glibc 2.17, that of RHEL 7 and CentOS 7, the oldest systems
#              clusters still run (and the first glibc on ARM)
#   octave     64-bit Linux GNU Octave: the MEX functions come from the Octave that loads the
#              file, which may be older than the one it was built with, so no Octave library
#              (whose name changes with each release) and no C++ library; glibc 2.17 as above
#   win64      64-bit Windows: its libmx and libmex, the system's kernel32 and msvcrt
set -uo pipefail
case $1 in
mexglx) libs="libmx.so libmex.so libmat.so libm.so.6 libc.so.6" limit=GLIBC_2.2.4 ;;
linux) libs="libmx.so libmex.so libmat.so libm.so.6 libc.so.6 libpthread.so.0 ld-linux*.so.*"
    limit=GLIBC_2.17 ;;
octave) libs="libm.so.6 libc.so.6 libpthread.so.0 ld-linux*.so.*" limit=GLIBC_2.17 ;;
win64) libs="libmx.dll libmex.dll kernel32.dll msvcrt.dll" limit="" ;;
*) echo "check_needs.sh: unknown host '$1'"; exit 2 ;;
esac
host=$1
shift

# A line "LIBRARY" for each library the file needs, and "LIBRARY VERSION" for each version it
# asks of one (Windows names in lower case).
needs() {
    if [ "$host" = win64 ]; then
        x86_64-w64-mingw32-objdump -p "$1" | awk '/DLL Name:/ {print tolower($3)}'
        return
    fi
    readelf -d -W "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p'
    readelf -V -W "$1" | sed -n '/^Version needs section/,/^$/p' |
        awk '{for (i = 1; i < NF; i++) if ($i == "File:") f = $(i + 1); else if ($i == "Name:") print f, $(i + 1)}'
}

# The highest of versions such as GLIBC_2.1.3, one a line.
highest() { sort -t_ -k2,2V | tail -n 1; }

status=0
for file; do
    [ -f "$file" ] || { echo "$file: not built"; status=1; continue; }
    list=$(needs "$file")
    summary=""
    for library in $(echo "$list" | awk 'NF == 1'); do
        top=$(echo "$list" | awk -v l="$library" 'NF == 2 && $1 == l {print $2}' | highest)
        summary="$summary $library${top:+ ($top)}"
        known=""
        for pattern in $libs; do [[ $library == $pattern ]] && known=1; done
        if [ -z "$known" ]; then
            echo "$file: needs $library, which a $host host lacks (it has $(echo $libs))"
            status=1
        elif [ -n "$limit" ] && [ -n "$top" ] && { [ "${top%%_*}" != "${limit%%_*}" ] ||
                [ "$(printf '%s\n%s\n' "$top" "$limit" | highest)" != "$limit" ]; }; then
            echo "$file: needs $top of $library, beyond the limit $limit"
            status=1
        fi
    done
    echo "$file:${summary:- nothing}"
done
[ $status -eq 0 ] && echo "needs of $# files: within what the $host host provides"
exit $status
