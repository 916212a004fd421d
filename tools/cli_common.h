#pragma once
// What the vexcam commands share: the usage text, error reporting, number
// parsing and the session holding one open camera.

#include "vexcam/VexCamSdk.h"

namespace vexcam::tool {

void PrintUsage();

// The meaning of an error code, in words.
const char* ErrorText(DWORD code);

// Reports a failed call with the newest error code of the instance; returns 1.
int Fail(DWORD h, const char* what);

// A decimal or 0x-prefixed number within [minimum, maximum].
bool ParseNumber(const char* text, long minimum, long maximum, long* value);

// Reports a malformed argument; returns 2.
int BadNumber(const char* what, const char* text);

// "-d N" before the operation; returns the index of the first other argument.
bool ParseDevice(int argc, char** argv, int* first, int* device);

// An instance with camera `device` open; 0 after printing why not.
class Session {
 public:
  Session() : h_(VexCam_Initialize(nullptr)) {}
  ~Session() {
    if (h_ != 0) VexCam_Release(h_);
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  DWORD Handle() const { return h_; }

  int CameraCount();
  bool Open(int device);
  static void PrintNoCamera();

 private:
  DWORD h_;
};

}  // namespace vexcam::tool
