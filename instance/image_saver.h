#pragma once
// Still image files of the current image: the image of the colour mode, as
// the last frame left it, written by the writer of the format number.

#include "instance/vex_cam.h"

namespace vexcam {

// Writes the current image to fileName in format 0..6 (BMP, raw, JPEG 100,
// 70, 20, PNG, TIFF). No camera, or no frame since the last close: records 1.
// A null or empty name records 9. A writer failure (unknown format, a path
// that cannot be written, a library error) returns 0 and records nothing.
// Holds the frame lock for the whole write, so no frame replaces the image
// half-way.
BOOL SaveImage(CVexCam& cam, const char* fileName, int format);
// The same with a wide name, converted in the thread's code page into at most
// 1024 bytes; a name that cannot be converted or does not fit records 12.
BOOL SaveImageW(CVexCam& cam, const wchar_t* fileName, int format);

}  // namespace vexcam
