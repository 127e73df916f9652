#!/usr/bin/env bash
# The first command to run: installs what the Octave build and the examples need (CMake, g++,
# Octave and its headers, gnuplot; not the cross compilers, emulators and test libraries of
# tests/run_all.sh), builds the five commands for Octave (the octave preset: build/octave/octave,
# and the Octave package build/octave/mexgeom-VERSION.tar.gz), and runs the patchcorr demo, which
# writes build/patchcorr_scores.png.
set -euo pipefail
cd "$(dirname "$0")/.."
tests/install_deps.sh octave
cmake --preset octave >/dev/null
cmake --build --preset octave
octave-cli -q --norc --path build/octave/octave examples/patchcorr_demo.m
package=$(ls build/octave/mexgeom-*.tar.gz)
cat <<NEXT

The five commands are in build/octave/octave. Next:
  octave-cli -q --norc examples/pluckresid_linefit.m     (and examples/stripfilt_edges.m)
  octave --path build/octave/octave                       (then: help patchcorr)
  or, in Octave: pkg install $package; pkg load mexgeom
NEXT
