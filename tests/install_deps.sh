#!/usr/bin/env bash
# tests/install_deps.sh [octave|python]: installs, as root on Debian (or through sudo), what the
# builds and tests need and the machine lacks. With "octave", only what the Octave build of the
# five commands and the example scripts need (examples/demo.sh); with "python", only what pip
# needs to build and install the Python module; without either, everything that tests/run_all.sh
# builds and runs.
#
# For Octave: gnuplot draws the examples' plots, printed to PNG files without a display (any of
# gnuplot-qt, gnuplot-x11 or gnuplot-nox satisfies it); fonts-freefont-otf is the font Octave
# renders every text of a figure with (without it no axes can be made); ghostscript: print writes
# PNG files through gs; octave-parallel: the cluster example's parcellfun, pserver and netcellfun.
# For the tests: the ARM build is made by clang against the arm64 cross libraries and binutils,
# not by the aarch64 cross GCC, which Debian cannot install beside g++-multilib; qemu-user runs it
# (named by the build, so no binfmt registration is needed), and its statically linked twin
# qemu-user-static (installed beside it) runs the 32-bit programs inside a minimal system where
# the kernel runs none itself. mmdebstrap makes the Debian 11 system with its Octave that the
# Octave files are tried in (tests/octave_bullseye.sh). The Windows build is made by
# MinGW-w64 of the posix thread model, whose C++ library has the std::mutex that GoogleTest needs,
# and run by wine64. The Python module: pybind11 and Python's headers to build it, setuptools and
# wheel for pip to build it offline against these packages (no build isolation), venv for the
# environment the tests install it into, NumPy, pytest and SciPy (sparse matrices) for its tests,
# mypy to check its annotations, Matplotlib for its examples, Dask distributed for its cluster
# example, scikit-image for the stereo photographs it ships (and their ground truth), OpenCV and
# SciPy for bench/bench_alternatives.py.
set -euo pipefail
octave_packages=(cmake make g++ octave liboctave-dev gnuplot fonts-freefont-otf ghostscript
                 octave-parallel)
test_packages=(g++-multilib qemu-user qemu-user-static mmdebstrap googletest libgtest-dev
               libbenchmark-dev valgrind clang libclang-rt-14-dev binutils libc6-dev-arm64-cross
               libstdc++-12-dev-arm64-cross binutils-aarch64-linux-gnu g++-mingw-w64-x86-64-posix
               wine wine64 python3-pytest python3-scipy python3-matplotlib
               python3-mypy python3-distributed python3-skimage python3-opencv)
python_packages=(cmake make g++ pybind11-dev python3-pybind11 python3-dev python3-venv
                 python3-setuptools python3-wheel python3-numpy)
case "${1:-}" in
    octave) packages=("${octave_packages[@]}") ;;
    python) packages=("${python_packages[@]}") ;;
    "") packages=("${octave_packages[@]}" "${python_packages[@]}" "${test_packages[@]}") ;;
    *) echo "usage: tests/install_deps.sh [octave|python]" >&2; exit 2 ;;
esac
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO=sudo
    $SUDO apt-get update -qq
    # --no-remove: never make room for a package by taking away one that another build needs.
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
        --no-remove "${packages[@]}"
fi

# Octave 7.3 reports a spurious error at exit when the folder of its history file is missing.
mkdir -p "${XDG_DATA_HOME:-$HOME/.local/share}/octave"
