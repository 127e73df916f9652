#!/bin/sh
# check_exports.sh BITS DIR SUFFIX COMMAND...
# Each built command must be an ELF file of the given class that defines exactly mexFunction and
# mexVersion as exports, both under the version node MEX, with the file name as the base entry
# of its version definitions.
set -u
bits=$1 dir=$2 suffix=$3
shift 3
status=0
for name in "$@"; do
    file="$dir/$name$suffix"
    class=$(readelf -h "$file" | awk '/Class:/ {print $2}')
    if [ "$class" != "ELF$bits" ]; then
        echo "$file: class $class, expected ELF$bits"; status=1
    fi
    exports=$(readelf --dyn-syms -W "$file" | awk '$7 != "UND" && $7 != "ABS" && ($5 == "GLOBAL" || $5 == "WEAK") && $8 != "" {print $8}' | sort | tr '\n' ' ')
    if [ "$exports" != "mexFunction@@MEX mexVersion@@MEX " ]; then
        echo "$file: exports '$exports'"; status=1
    fi
    base=$(readelf -V -W "$file" | awk '/Flags: BASE/ {print $NF}')
    if [ "$base" != "$name$suffix" ]; then
        echo "$file: base version entry '$base', expected $name$suffix"; status=1
    fi
done
[ $status -eq 0 ] && echo "exports of $# commands: mexFunction and mexVersion under MEX"
exit $status
