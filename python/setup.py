import os
import re

from setuptools import setup


def project_version():
    """The version CMake defines: VEXCAM_VERSION when the build passes it,
    else the project line of the source tree's CMakeLists.txt."""
    if os.environ.get("VEXCAM_VERSION"):
        return os.environ["VEXCAM_VERSION"]
    cmake = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "CMakeLists.txt")
    with open(cmake, encoding="utf-8") as f:
        return re.search(r"project\(VexCamSdk VERSION ([0-9.]+)", f.read()).group(1)


setup(
    name="vexcam",
    version=project_version(),
    description="VexCam USB3 cameras from Python (ctypes over libVexCamSdk_ZA01)",
    packages=["vexcam"],
    python_requires=">=3.9",
    install_requires=["numpy"],
)
