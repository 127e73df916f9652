"""The Python package mexgeom: the Python files of python/mexgeom and its compiled part
mexgeom._core, built by this project's CMake build (target mexgeom_python).

pip runs it (see pyproject.toml); the CMake build folder and setuptools' own files go under
build/pip, beside the presets' build folders. CMAKE_BUILD_PARALLEL_LEVEL sets the build's jobs
(2 by default).
"""

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent
WORK = ROOT / "build" / "pip"


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = WORK / "cmake"
        subprocess.run(
            ["cmake", "-S", str(ROOT), "-B", str(build),
             f"-DPython_EXECUTABLE={sys.executable}",
             # The module alone: no tests, benchmarks, Octave or MATLAB builds.
             "-DBUILD_TESTING=OFF", "-DMEX_BENCH=OFF", "-DMEX_OCTAVE=OFF", "-DMEX_MATLAB=OFF"],
            check=True)
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", "2")
        subprocess.run(["cmake", "--build", str(build), "--target", "mexgeom_python", "-j", jobs],
                       check=True)
        built = build / "python" / "mexgeom" / Path(self.get_ext_filename(ext.name)).name
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built, target)


def version():
    text = (ROOT / "CMakeLists.txt").read_text()
    return re.search(r"project\(mexgeom VERSION ([0-9.]+)", text).group(1)


WORK.mkdir(parents=True, exist_ok=True)
setup(
    version=version(),
    packages=["mexgeom"],
    package_dir={"mexgeom": "python/mexgeom"},
    package_data={"mexgeom": ["py.typed"]},
    ext_modules=[Extension("mexgeom._core", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    options={"build": {"build_base": str(WORK)}, "egg_info": {"egg_base": str(WORK)}},
)
