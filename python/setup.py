"""Builds the brevanto module from the project's sources (the analysis, the
page loader of brevanto-extract and its archive reader) against Debian's
pybind11-dev, libmodest-dev, libuchardet-dev and zlib1g-dev:

    python3 -m pip install --no-build-isolation ./python
"""
import glob
import os

from setuptools import Extension, setup

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def sources(*patterns):
    found = []
    for pattern in patterns:
        found += sorted(glob.glob(os.path.join(ROOT, pattern), recursive=True))
    # brevanto-extract's main() is the one file of cli/ that is not library,
    # and the automation server is Windows only.
    left_out = (os.path.join("cli", "main.cpp"), os.path.join("extractor", "automation", ""))
    return [os.path.relpath(path, HERE) for path in found if not any(part in path for part in left_out)]


native = Extension(
    "brevanto._brevanto",
    sources=sources("python/src/module.cpp", "extractor/**/*.cpp", "platform/posix/*.cpp", "cli/*.cpp", "cli/archive/*.cpp"),
    include_dirs=[ROOT],
    libraries=["modest", "uchardet", "z"],
    extra_compile_args=["-std=c++17", "-O2", "-fvisibility=hidden"],
    language="c++",
)

setup(
    name="brevanto",
    version="1.0",
    description="The main text of web pages and web archives",
    packages=["brevanto"],
    ext_modules=[native],
    python_requires=">=3.9",
)
