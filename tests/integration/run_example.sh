#!/usr/bin/env bash
# run_example.sh OCTAVE MEXDIR EXAMPLE PNG OUTDIR: runs the example script in Octave with the
# commands of MEXDIR on the path, its pictures going to OUTDIR, and checks that it wrote the PNG
# image OUTDIR/PNG.
set -euo pipefail
octave=$1 mexdir=$2 example=$3 png=$4 outdir=$5
mkdir -p "$outdir"
rm -f "$outdir/$png"
MEXGEOM_EXAMPLES_OUTPUT="$outdir" "$octave" --no-gui --no-window-system -q --norc \
    --path "$mexdir" "$example"
signature=$(head -c 8 "$outdir/$png" 2>/dev/null | od -An -tx1 | tr -d ' \n')
if [ "$signature" != 89504e470d0a1a0a ]; then
    echo "$example did not write the PNG image $outdir/$png"
    exit 1
fi
echo "wrote $outdir/$png ($(stat -c %s "$outdir/$png") bytes)"
