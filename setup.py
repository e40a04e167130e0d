# SPDX-License-Identifier: Apache-2.0
"""The build backend's CMake step: builds the module, its stub and the libraries it loads, and
puts them where the wheel takes them from. TARSIN_RF_BUILD_DIR names an already configured build
(for the same Python version) to reuse instead of configuring a new one."""
import os
import re
import shutil
import subprocess
import sys
import sysconfig
import tempfile

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = os.path.dirname(os.path.abspath(__file__))
TARGETS = ["tarsinrf_python", "tarsinrf", "tarsinrf-vpcsc", "tarsinrf-dialogs"]


def project_version():
    text = open(os.path.join(HERE, "CMakeLists.txt"), encoding="utf-8").read()
    return re.search(r"project\(tarsinrf VERSION ([0-9.]+)", text).group(1)


def cached(build, name):
    with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as cache:
        for line in cache:
            if line.startswith(name + ":"):
                return line.split("=", 1)[1].strip()
    return None


class CMakeBuild(build_ext):
    def build_build_dir(self):
        wanted = f"{sys.version_info.major}.{sys.version_info.minor}"
        given = os.environ.get("TARSIN_RF_BUILD_DIR")
        if given:
            given = os.path.abspath(given)
            built_for = cached(given, "TARSIN_PYTHON_VERSION")
            if built_for != wanted:
                sys.exit(f"TARSIN_RF_BUILD_DIR {given} builds for Python {built_for}, "
                         f"not {wanted}")
            return given
        build = os.path.join(os.path.abspath(self.build_temp), "cmake")
        subprocess.check_call(["cmake", "-S", HERE, "-B", build, "-G", "Ninja",
                               "-DCMAKE_BUILD_TYPE=Release", "-DTARSIN_BUILD_TESTS=OFF",
                               "-DTARSIN_BUILD_BENCH=OFF", f"-DPython_EXECUTABLE={sys.executable}"])
        return build

    def build_extension(self, ext):
        build = self.build_build_dir()
        subprocess.check_call(["cmake", "--build", build, "--target", *TARGETS])
        suffix = sysconfig.get_config_var("EXT_SUFFIX")
        with tempfile.TemporaryDirectory() as staging:
            subprocess.check_call(["cmake", "--install", build, "--component", "python_wheel",
                                   "--strip", "--prefix", staging])
            # A wheel holds no links: the soname, the one name loaders ask for, keeps the file.
            libs = os.path.join(staging, "tarsinrf.libs")
            for name in os.listdir(libs):
                link = os.path.join(libs, name)
                if os.path.islink(link):
                    target = os.path.realpath(link)
                    os.unlink(link)
                    os.replace(target, link)
            if not os.path.exists(os.path.join(staging, "tarsinrf" + suffix)):
                sys.exit(f"the build made no tarsinrf{suffix} for this interpreter")
            destination = os.path.dirname(os.path.abspath(self.get_ext_fullpath(ext.name)))
            shutil.rmtree(os.path.join(destination, "tarsinrf.libs"), ignore_errors=True)
            shutil.copytree(staging, destination, symlinks=False, dirs_exist_ok=True)


setup(version=project_version(), ext_modules=[Extension("tarsinrf", sources=[])],
      cmdclass={"build_ext": CMakeBuild})
