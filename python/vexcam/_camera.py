"""The Camera class: one library instance with one camera open."""
import ctypes
import os
import time
from dataclasses import dataclass

import numpy as np

from ._library import Message, StreamStatsRecord, VexCamError, library

MSG_FRAME = 0x8002
ERR_TRANSFER_BROKEN = 13
_FORMATS = {".bmp": 0, ".raw": 1, ".jpg": 2, ".jpeg": 2, ".png": 5, ".tif": 6, ".tiff": 6}
# bits per pixel -> (samples per pixel, numpy dtype)
_LAYOUT = {8: (1, np.uint8), 16: (1, np.uint16), 24: (3, np.uint8), 32: (4, np.uint8), 48: (3, np.uint16),
           64: (4, np.uint16)}
# Ids of the generic value interface.
_VALUES = {"brightness": 1, "contrast": 2, "hue": 3, "saturation": 4, "sharpness": 5, "gamma": 11}


def dll_version():
    return library().VexCam_GetDllVersion()


def simulate(product_id=0x3200):
    """Adds a simulated camera; returns its simulator id."""
    return library().VexSim_AddCamera(product_id)


def count_cameras():
    """Number of cameras discovery finds now."""
    lib = library()
    h = lib.VexCam_Initialize(None)
    if h == 0:
        raise VexCamError("VexCam_Initialize", 0)
    try:
        names = ctypes.create_string_buffer(10 * 256)
        return lib.VexCam_EnumDevice(h, names)
    finally:
        lib.VexCam_Release(h)


@dataclass(frozen=True)
class FrameInfo:
    """The frame info record of a frame message."""
    width: int
    height: int
    bits_per_pixel: int
    frame_rate: float  # frames per second as the library measured it
    timestamp: float   # time.monotonic() when the message was read


@dataclass(frozen=True)
class StreamStats:
    state: int
    frames_received: int
    frames_delivered: int
    frames_dropped: int
    frames_overwritten: int
    frames_skipped_by_recorder: int
    frames_incomplete: int
    transfer_retries: int
    pipe_resets: int
    give_ups: int
    bytes_received: int
    seconds: float
    frame_rate: float
    camera_frame_rate: float
    bytes_per_second: float


def _value_property(name, value_id):
    def get(self):
        ok = ctypes.c_int(0)
        value = self._lib.VexCam_GetFilterValue(self._h, value_id, ctypes.byref(ok))
        if not ok.value:
            self._raise(f"reading {name}")
        return value

    def set_(self, value):
        self._check(self._lib.VexCam_SetFilterValue(self._h, value_id, int(value)), f"setting {name}")
    return property(get, set_, doc=f"{name} of the image pipeline")


class Camera:
    """Camera `device` (its device number) opened in an instance of its own.

    Failures raise VexCamError with the library's code. Close with close() or
    use the camera as a context manager."""

    def __init__(self, device=0):
        self._lib = library()
        self._h = self._lib.VexCam_Initialize(None)
        if self._h == 0:
            raise VexCamError("VexCam_Initialize", 0)
        try:
            self._check(self._lib.VexCam_SetDeviceNumber(self._h, int(device)), f"opening camera {device}")
            # Frames go to the caller, never to a window of the library's own.
            self._check(self._lib.VexCam_SetPreviewWindow(self._h, None, 0, 0, 0, 0), "clearing the preview window")
        except BaseException:
            self.close()
            raise
        self.device = device

    # -- lifetime
    def close(self):
        if self._h:
            self._lib.VexCam_Release(self._h)
            self._h = 0

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        try:
            self.close()
        except Exception:
            pass

    # -- errors
    def _raise(self, what):
        raise VexCamError(what, self._lib.VexCam_GetLastError(self._h) if self._h else 0)

    def _check(self, result, what):
        if not self._h:
            raise VexCamError(what + " (camera closed)", 0)
        if not result:
            self._raise(what)
        return result

    # -- values
    @property
    def color_bits(self):
        """Bits per pixel of the colour mode: 8, 16 (mono), 24, 32, 48, 64 (BGR, BGRA)."""
        return self._lib.VexCam_GetColorMode(self._h)

    @color_bits.setter
    def color_bits(self, bits):
        self._check(self._lib.VexCam_SetColorMode(self._h, int(bits)), f"setting colour mode {bits}")

    @property
    def exposure(self):
        """Exposure time in tenths of milliseconds."""
        ok = ctypes.c_int(0)
        value = self._lib.VexCam_GetExposureTime(self._h, ctypes.byref(ok))
        if not ok.value:
            self._raise("reading the exposure time")
        return value

    @exposure.setter
    def exposure(self, tenths_ms):
        self._check(self._lib.VexCam_SetExposureTime(self._h, int(tenths_ms)), "setting the exposure time")

    @property
    def gain(self):
        ok = ctypes.c_int(0)
        value = self._lib.VexCam_GetGlobalGain(self._h, ctypes.byref(ok))
        if not ok.value:
            self._raise("reading the gain")
        return value

    @gain.setter
    def gain(self, value):
        self._check(self._lib.VexCam_SetGlobalGain(self._h, int(value)), "setting the gain")

    @property
    def mirror_h(self):
        return bool(self._lib.VexCam_GetMirrorH(self._h))

    @mirror_h.setter
    def mirror_h(self, on):
        self._check(self._lib.VexCam_SetMirrorH(self._h, int(bool(on))), "setting the horizontal mirror")

    @property
    def mirror_v(self):
        return bool(self._lib.VexCam_GetMirrorV(self._h))

    @mirror_v.setter
    def mirror_v(self, on):
        self._check(self._lib.VexCam_SetMirrorV(self._h, int(bool(on))), "setting the vertical mirror")

    brightness = _value_property("brightness", _VALUES["brightness"])
    contrast = _value_property("contrast", _VALUES["contrast"])
    hue = _value_property("hue", _VALUES["hue"])
    saturation = _value_property("saturation", _VALUES["saturation"])
    sharpness = _value_property("sharpness", _VALUES["sharpness"])
    gamma = _value_property("gamma", _VALUES["gamma"])

    @property
    def width(self):
        return self._lib.VexCam_Width(self._h)

    @property
    def height(self):
        return self._lib.VexCam_Height(self._h)

    @property
    def serial_number(self):
        text = ctypes.create_string_buffer(64)
        self._check(self._lib.VexCam_ReadSerialNumberA(self._h, text, len(text)), "reading the serial number")
        return text.value.decode("ascii", "replace")

    # -- frames
    def _shape(self):
        """Output image geometry: (height, width, samples, dtype, stride in bytes)."""
        bits = self.color_bits
        if bits not in _LAYOUT:
            raise VexCamError("reading the colour mode", 1)
        samples, dtype = _LAYOUT[bits]
        divisor = {1: 2, 17: 2, 2: 4, 18: 4, 3: 8, 19: 8}.get(self._lib.VexCam_GetSubSample(self._h), 1)
        w, h = self.width // divisor, self.height // divisor
        stride = (w * bits // 8 + 3) & ~3
        return h, w, samples, dtype, stride

    @staticmethod
    def _to_array(raw, h, w, samples, dtype, stride):
        rows = np.frombuffer(raw, dtype=np.uint8, count=stride * h).reshape(h, stride)
        pixels = rows[:, : w * samples * np.dtype(dtype).itemsize].copy().view(dtype)
        return pixels.reshape(h, w) if samples == 1 else pixels.reshape(h, w, samples)

    def snapshot(self):
        """One frame as an array: (h, w) for mono, (h, w, 3) BGR or (h, w, 4) BGRA; uint8 or uint16."""
        h, w, samples, dtype, stride = self._shape()
        raw = ctypes.create_string_buffer(stride * h)
        self._check(self._lib.VexCam_SnapShot(self._h, raw, len(raw), 1), "taking a snapshot")
        return self._to_array(raw, h, w, samples, dtype, stride)

    def frames(self, count=None, timeout=5.0):
        """Continuous preview: yields (array, FrameInfo) until count frames came (None: for ever).

        Raises VexCamError when a frame does not arrive within timeout seconds
        or the transfer breaks (for example when the camera is unplugged)."""
        h, w, samples, dtype, stride = self._shape()
        raw = ctypes.create_string_buffer(stride * h)
        window = self._lib.VexWin_CreateMessageWindow()
        if not window:
            raise VexCamError("creating a message window", 0)
        try:
            self._check(self._lib.VexCam_CallBackPreview(self._h, window, raw, len(raw), 1), "starting the preview")
            got = 0
            msg = Message()
            while count is None or got < count:
                deadline = time.monotonic() + timeout
                while True:
                    left = int(max(deadline - time.monotonic(), 0) * 1000)
                    if not self._lib.VexWin_GetMessage(window, ctypes.byref(msg), left):
                        raise VexCamError("waiting for a frame", 8)
                    if msg.message == MSG_FRAME:
                        break
                if msg.wParam == 0:
                    if msg.lParam == ERR_TRANSFER_BROKEN:
                        raise VexCamError("streaming", ERR_TRANSFER_BROKEN)
                    continue
                rec = ctypes.cast(msg.wParam, ctypes.POINTER(ctypes.c_uint32 * 5)).contents
                info = FrameInfo(rec[1], rec[2], rec[3], rec[4] / 10.0, time.monotonic())
                got += 1
                yield self._to_array(raw, h, w, samples, dtype, stride), info
        finally:
            if self._h:
                self._lib.VexCam_StopPreview(self._h)
            self._lib.VexWin_DestroyWindow(window)

    def save(self, path, format=None):
        """Saves the last frame; the format follows the extension unless given (0..6)."""
        if format is None:
            format = _FORMATS.get(os.path.splitext(str(path))[1].lower())
            if format is None:
                raise ValueError(f"no image format for {path}; give format=0..6")
        self._check(self._lib.VexCam_SaveImage(self._h, os.fsencode(path), int(format)), f"saving {path}")

    def stats(self):
        """Stream statistics since the last capture start."""
        rec = StreamStatsRecord()
        rec.size = ctypes.sizeof(rec)
        self._check(self._lib.VexCamX_GetStreamStats(self._h, ctypes.byref(rec)), "reading the stream statistics")
        return StreamStats(*[getattr(rec, name) for name, _ in StreamStatsRecord._fields_[1:]])
