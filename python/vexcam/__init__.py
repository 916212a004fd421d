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
__version__ = "3.4.8"
