#pragma once

#include <atomic>
#include <cstdint>

#include "instance/error_stack.h"
#include "vexcam/VexCamTypes.h"

namespace vexcam {

// One SDK instance, owned by its handle's registry record. Only this layer
// turns failures into error codes: Record() pushes a code and posts the error
// message, Notify() posts without pushing.
class CVexCam {
 public:
  CVexCam() = default;
  virtual ~CVexCam() = default;
  CVexCam(const CVexCam&) = delete;
  CVexCam& operator=(const CVexCam&) = delete;

  // Runs once after the instance is registered. Stores the notify window.
  uint32_t Initialize(HWND notifyWindow);

  // Pushes the code, then posts the error message to the notify window (the
  // code is on the stack before the message can be handled).
  void Record(uint32_t code);
  // Posts the error message without touching the stack; a failed post (no
  // window, destroyed window) is ignored.
  void Notify(uint32_t code);
  uint32_t GetLastError() { return errors_.Pop(); }

  // For exports whose behaviour is not built yet: records "not supported" and
  // clears the caller's ok flag.
  void NotBuilt(int* ok = nullptr);

  HWND NotifyWindow() const { return notify_window_.load(); }

 private:
  std::atomic<HWND> notify_window_{nullptr};
  ErrorStack errors_;
};

}  // namespace vexcam
