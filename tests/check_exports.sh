#!/bin/sh
# check_exports.sh FORMAT DIR SUFFIX COMMAND...
# Each built command must define exactly mexFunction and mexVersion as exports.
#   FORMAT 32 or 64: an ELF file of that class, both exports under the version node MEX, with the
#                    file name as the base entry of its version definitions
#   FORMAT pe64:     a 64-bit Windows DLL whose export table names the file and lists the two
set -u
format=$1 dir=$2 suffix=$3
shift 3
status=0
for name in "$@"; do
    file="$dir/$name$suffix"
    case $format in
    pe64)
        dump=$(x86_64-w64-mingw32-objdump -p "$file") || { status=1; continue; }
        kind=$(x86_64-w64-mingw32-objdump -f "$file" | awk '/file format/ {print $NF}')
        if [ "$kind" != "pei-x86-64" ] || ! echo "$dump" | sed -n '/^Characteristics/,/^$/p' |
                grep -q '^	DLL$'; then
            echo "$file: $kind, expected a pei-x86-64 DLL"; status=1
        fi
        exports=$(echo "$dump" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
                  awk '/^\t\[/ {print $NF}' | sort | tr '\n' ' ')
        if [ "$exports" != "mexFunction mexVersion " ]; then
            echo "$file: exports '$exports'"; status=1
        fi
        dllname=$(echo "$dump" | awk '/^Name[ \t]/ {print $NF; exit}')
        if [ "$dllname" != "$name$suffix" ]; then
            echo "$file: export table names '$dllname', expected $name$suffix"; status=1
        fi
        ;;
    *)
        class=$(readelf -h "$file" | awk '/Class:/ {print $2}')
        if [ "$class" != "ELF$format" ]; then
            echo "$file: class $class, expected ELF$format"; status=1
        fi
        exports=$(readelf --dyn-syms -W "$file" | awk '$7 != "UND" && $7 != "ABS" && ($5 == "GLOBAL" || $5 == "WEAK") && $8 != "" {print $8}' | sort | tr '\n' ' ')
        if [ "$exports" != "mexFunction@@MEX mexVersion@@MEX " ]; then
            echo "$file: exports '$exports'"; status=1
        fi
        base=$(readelf -V -W "$file" | awk '/Flags: BASE/ {print $NF}')
        if [ "$base" != "$name$suffix" ]; then
            echo "$file: base version entry '$base', expected $name$suffix"; status=1
        fi
        ;;
    esac
done
[ $status -eq 0 ] && echo "exports of $# commands: exactly mexFunction and mexVersion ($format)"
exit $status
