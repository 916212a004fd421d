from setuptools import setup

setup(
    name="vexcam",
    version="3.4.8",
    description="VexCam USB3 cameras from Python (ctypes over libVexCamSdk_ZA01)",
    packages=["vexcam"],
    python_requires=">=3.9",
    install_requires=["numpy"],
)
