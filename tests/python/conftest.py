"""What several test files share: Octave, with the commands' Octave build on its path."""

import os
import shutil
import subprocess

import pytest


@pytest.fixture(scope="session")
def octave_eval():
    """octave_eval(code, *folders): the standard output of Octave running code with the Octave
    build (MEXGEOM_OCTAVE_DIR) and the folders on its path. Skips the test where either the build
    or octave-cli is missing."""
    octave_dir = os.environ.get("MEXGEOM_OCTAVE_DIR", "")
    octave = shutil.which("octave-cli")
    if not octave_dir or not octave:
        pytest.skip("no Octave build named by MEXGEOM_OCTAVE_DIR, or no octave-cli")

    def run(code, *folders):
        path = ", ".join(f"'{f}'" for f in (octave_dir, *folders))
        return subprocess.run([octave, "-q", "--norc", "--no-window-system", "--eval",
                               f"addpath({path}); {code}"],
                              check=True, capture_output=True, text=True).stdout
    return run
