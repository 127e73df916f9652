#!/usr/bin/env bash
# Builds the commands for GNU Octave and runs the patchcorr demo; writes build/patchcorr_scores.png.
set -euo pipefail
cd "$(dirname "$0")/.."
tests/install_deps.sh
cmake --preset native >/dev/null
cmake --build --preset native --target patchcorr_octave
octave-cli -q --norc examples/patchcorr_demo.m
