#!/usr/bin/env bash
# run_example.sh RUNNER MEXDIR EXAMPLE PNG OUTDIR: runs the example script, its pictures going to
# OUTDIR, and checks that it wrote the PNG image OUTDIR/PNG. RUNNER is Octave, with the commands
# of MEXDIR on the path, or for an example NAME.py Python, with the module of MEXDIR.
set -euo pipefail
runner=$1 mexdir=$2 example=$3 png=$4 outdir=$5
mkdir -p "$outdir"
rm -f "$outdir/$png"
export MEXGEOM_EXAMPLES_OUTPUT="$outdir"
case $example in
    *.py) PYTHONPATH="$mexdir" PYTHONDONTWRITEBYTECODE=1 "$runner" "$example" ;;
    *) "$runner" --no-gui --no-window-system -q --norc --path "$mexdir" "$example" ;;
esac
signature=$(head -c 8 "$outdir/$png" 2>/dev/null | od -An -tx1 | tr -d ' \n')
if [ "$signature" != 89504e470d0a1a0a ]; then
    echo "$example did not write the PNG image $outdir/$png"
    exit 1
fi
echo "wrote $outdir/$png ($(stat -c %s "$outdir/$png") bytes)"
