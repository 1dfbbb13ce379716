"""Builds the compiled module kx8._kx8 with this project's CMake build, for pip and setuptools."""

import os
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent


class CMakeExtension(Extension):
    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        target = Path(self.get_ext_fullpath(ext.name)).resolve()
        build = Path(self.build_temp).resolve() / "cmake"
        generator = ["-G", "Ninja"] if shutil.which("ninja") else []
        subprocess.check_call(["cmake", "-S", str(ROOT), "-B", str(build), *generator, "-DCMAKE_BUILD_TYPE=Release",
                               "-DKX8_BUILD_PYTHON=ON", "-DKX8_BUILD_TESTS=OFF", "-DKX8_BUILD_TOOLS=OFF",
                               f"-DPython3_EXECUTABLE={sys.executable}"])
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", str(os.cpu_count() or 2))
        subprocess.check_call(["cmake", "--build", str(build), "--target", "_kx8", "-j", jobs])
        built = next((build / "python" / "kx8").glob("_kx8*" + Path(target).suffix))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(built, target)


setup(ext_modules=[CMakeExtension("kx8._kx8")], cmdclass={"build_ext": CMakeBuild})
