#!/usr/bin/env bash
# run.sh PYTHON SOURCE_DIR WORK_DIR [OCTAVE_DIR]: installs the Python module as a user does, then
# runs the pytest group against the installed module. The virtual environment is made anew from
# PYTHON (the system's Python) with its packages visible (NumPy, pybind11, pytest), and pip builds
# and installs the source tree offline, without build isolation. OCTAVE_DIR (the Octave build of
# the commands) enables the comparison with Octave's answers.
set -euo pipefail
python=$1 source=$2 work=$3 octave=${4:-}
rm -rf "$work"
mkdir -p "$work"
"$python" -m venv --system-site-packages "$work/venv"
"$work/venv/bin/pip" install --no-build-isolation --no-index --no-cache-dir --quiet \
    --disable-pip-version-check "$source"
cd "$work"
export PYTHONDONTWRITEBYTECODE=1
where=$("$work/venv/bin/python" -c 'import mexgeom; print(mexgeom.__file__)')
case $where in
    "$work/venv/"*) echo "mexgeom installed: $where" ;;
    *) echo "mexgeom comes from $where, not from the virtual environment"; exit 1 ;;
esac
MEXGEOM_OCTAVE_DIR=$octave "$work/venv/bin/python" -m pytest -q -p no:cacheprovider \
    "$source/tests/python"
