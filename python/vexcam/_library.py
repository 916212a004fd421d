"""Loading the shared library and declaring the functions the package uses."""
import ctypes
import ctypes.util
import os

_ERROR_TEXT = {
    0: "no error recorded",
    1: "no camera, or not allowed in the current capture state",
    2: "the camera could not be opened",
    3: "the worker thread could not be started",
    4: "window or registered size not available",
    5: "out of memory, or a buffer too small",
    6: "register or device I/O failed",
    7: "capture window not allowed",
    8: "no frame received",
    9: "invalid argument",
    11: "not supported by this camera",
    12: "file, recording or text conversion failed",
    13: "transfer broken",
    14: "mask file unreadable or invalid",
}


def error_text(code):
    """The meaning of a library error code in words."""
    return _ERROR_TEXT.get(code, "unknown error")


class VexCamError(Exception):
    """A library call failed; code is the library's error code (0 when it left none)."""

    def __init__(self, what, code):
        super().__init__(f"{what} failed: error {code}, {error_text(code)}")
        self.what = what
        self.code = code
        self.meaning = error_text(code)


class FrameInfoRecord(ctypes.Structure):
    _fields_ = [("reserved", ctypes.c_uint32), ("width", ctypes.c_uint32), ("height", ctypes.c_uint32),
                ("bits_per_pixel", ctypes.c_uint32), ("frame_rate", ctypes.c_uint32),
                ("reserved2", ctypes.c_uint32), ("buffer", ctypes.c_void_p)]


class Message(ctypes.Structure):
    _fields_ = [("hwnd", ctypes.c_void_p), ("message", ctypes.c_uint), ("wParam", ctypes.c_size_t),
                ("lParam", ctypes.c_ssize_t)]


class StreamStatsRecord(ctypes.Structure):
    _fields_ = [("size", ctypes.c_uint32), ("state", ctypes.c_uint32)] + [
        (name, ctypes.c_uint64) for name in (
            "frames_received", "frames_delivered", "frames_dropped", "frames_overwritten",
            "frames_skipped_by_recorder", "frames_incomplete", "transfer_retries", "pipe_resets", "give_ups",
            "bytes_received")] + [
        (name, ctypes.c_double) for name in ("seconds", "frame_rate", "camera_frame_rate", "bytes_per_second")]


def _load():
    path = os.environ.get("VEXCAM_LIBRARY") or ctypes.util.find_library("VexCamSdk_ZA01") or "libVexCamSdk_ZA01.so.3"
    lib = ctypes.CDLL(path)
    D, I, B, P = ctypes.c_uint32, ctypes.c_int, ctypes.c_int, ctypes.c_void_p
    IP = ctypes.POINTER(ctypes.c_int)
    sigs = {
        "VexCam_GetDllVersion": (D, []),
        "VexCam_Initialize": (D, [P]),
        "VexCam_Release": (B, [D]),
        "VexCam_EnumDevice": (I, [D, P]),
        "VexCam_SetDeviceNumber": (B, [D, I]),
        "VexCam_GetLastError": (D, [D]),
        "VexCam_SetColorMode": (B, [D, I]),
        "VexCam_GetColorMode": (I, [D]),
        "VexCam_Width": (I, [D]),
        "VexCam_Height": (I, [D]),
        "VexCam_GetSubSample": (I, [D]),
        "VexCam_SetExposureTime": (B, [D, I]),
        "VexCam_GetExposureTime": (I, [D, IP]),
        "VexCam_SetGlobalGain": (B, [D, I]),
        "VexCam_GetGlobalGain": (I, [D, IP]),
        "VexCam_SetFilterValue": (B, [D, I, I]),
        "VexCam_GetFilterValue": (I, [D, I, IP]),
        "VexCam_SetMirrorH": (B, [D, B]),
        "VexCam_GetMirrorH": (B, [D]),
        "VexCam_SetMirrorV": (B, [D, B]),
        "VexCam_GetMirrorV": (B, [D]),
        "VexCam_SetPreviewWindow": (B, [D, P, I, I, I, I]),
        "VexCam_SnapShot": (B, [D, P, I, B]),
        "VexCam_CallBackPreview": (B, [D, P, P, I, B]),
        "VexCam_StopPreview": (B, [D]),
        "VexCam_SaveImage": (B, [D, ctypes.c_char_p, I]),
        "VexCam_ReadSerialNumberA": (B, [D, ctypes.c_char_p, I]),
        "VexCam_GetTemperatureEx": (ctypes.c_double, [D, IP]),
        "VexWin_CreateMessageWindow": (P, []),
        "VexWin_DestroyWindow": (B, [P]),
        "VexWin_GetMessage": (B, [P, ctypes.POINTER(Message), D]),
        "VexCamX_GetStreamStats": (B, [D, ctypes.POINTER(StreamStatsRecord)]),
        "VexSim_AddCamera": (ctypes.c_uint, [ctypes.c_uint]),
        "VexSim_RemoveAll": (None, []),
        "VexSim_Unplug": (B, [ctypes.c_uint]),
    }
    for name, (restype, argtypes) in sigs.items():
        fn = getattr(lib, name)
        fn.restype = restype
        fn.argtypes = argtypes
    return lib


_lib = None


def library():
    """The loaded library (loaded on first use)."""
    global _lib
    if _lib is None:
        _lib = _load()
    return _lib
