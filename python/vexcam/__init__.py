"""VexCam USB3 cameras from Python: ctypes over the installed library.

    import vexcam
    with vexcam.Camera(0) as cam:
        cam.color_bits = 24
        cam.exposure = 100            # tenths of milliseconds
        image = cam.snapshot()        # numpy array, (512, 640, 3) uint8, BGR
        for image, info in cam.frames(10):
            print(info.width, info.height, info.frame_rate)
        cam.save("shot.png")

Without a camera, set VEXCAM_SIMULATOR=3200 before the first call (or call
vexcam.simulate(0x3200)). VEXCAM_LIBRARY names the library file to load.
"""
from ._library import VexCamError, error_text, library
from ._camera import Camera, FrameInfo, StreamStats, count_cameras, dll_version, simulate

__all__ = ["Camera", "FrameInfo", "StreamStats", "VexCamError", "count_cameras", "dll_version", "error_text",
           "library", "simulate"]


def __getattr__(name):
    # The installed package's version; from a source tree, the library's own.
    if name == "__version__":
        from importlib import metadata
        try:
            return metadata.version("vexcam")
        except metadata.PackageNotFoundError:
            v = dll_version()
            return f"{v // 10000000}.{v // 1000000 % 10}.{v // 10000 % 100}"
    raise AttributeError(f"module 'vexcam' has no attribute {name!r}")
