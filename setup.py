"""Builds the Python module kvres with the project's CMake build.

The version is the one of project(kvres VERSION ...) in CMakeLists.txt. The
extension is configured for the running interpreter, built (the module only:
no tool, no tests) and installed with `cmake --install --component python`
into the wheel's folder, with a copy of the host library beside it. A Python
package folder python/kvres/, when the source has one, is installed too.
"""

import os
import re
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, find_packages, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent


def project_version():
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    match = re.search(r"project\(\s*kvres\s+VERSION\s+([0-9][0-9.]*)", text)
    if match is None:
        raise RuntimeError("no project(kvres VERSION ...) in CMakeLists.txt")
    return match.group(1)


class CMakeExtension(Extension):
    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        target_dir = Path(self.get_ext_fullpath(ext.name)).resolve().parent
        if "." in ext.name:
            target_dir = target_dir.parents[ext.name.count(".") - 1]
        build_dir = Path(self.build_temp).resolve() / "cmake"
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", "2")
        configure = [
            "cmake", "-S", str(ROOT), "-B", str(build_dir),
            "-DCMAKE_BUILD_TYPE=Release",
            "-DKVRES_BUILD_TESTS=OFF",
            "-DKVRES_BUILD_TOOL=OFF",
            f"-DPython3_EXECUTABLE={sys.executable}",
            f"-DKVRES_PYTHON_INSTALL_DIR={target_dir}",
        ]
        subprocess.run(configure, check=True)
        subprocess.run(["cmake", "--build", str(build_dir), "--target", "kvres_python",
                        "-j", jobs], check=True)
        subprocess.run(["cmake", "--install", str(build_dir), "--component", "python"],
                       check=True)


python_packages = find_packages(where="python", include=["kvres", "kvres.*"])

setup(
    version=project_version(),
    packages=python_packages,
    package_dir={"": "python"} if python_packages else {},
    ext_modules=[CMakeExtension("kvres._kvres")],
    cmdclass={"build_ext": CMakeBuild},
    zip_safe=False,
)
