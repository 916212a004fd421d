// A C++ wrapper that owns the instance handle and the message window, so
// every path releases them; takes a Mono 16 snapshot into a vector and
// prints the darkest and brightest sample.
//
//   raii_capture
//
// Without a camera: VEXCAM_SIMULATOR=3200 raii_capture
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <vexcam/VexCamSdk.h>
#include <vexcam/VexCamWindow.h>

namespace {

class CameraError : public std::runtime_error {
 public:
  CameraError(const std::string& what, DWORD code)
      : std::runtime_error(what + " failed: error " + std::to_string(code)), code_(code) {}
  DWORD code() const { return code_; }

 private:
  DWORD code_;
};

// Owns one VexCam instance; moves, never copies.
class Camera {
 public:
  explicit Camera(int device) : handle_(VexCam_Initialize(nullptr)) {
    if (handle_ == 0) throw CameraError("VexCam_Initialize", 0);
    Check(VexCam_SetDeviceNumber(handle_, device), "VexCam_SetDeviceNumber");
  }
  ~Camera() {
    if (handle_ != 0) VexCam_Release(handle_);
  }
  Camera(Camera&& other) noexcept : handle_(std::exchange(other.handle_, 0)) {}
  Camera& operator=(Camera&& other) noexcept {
    if (this != &other) {
      if (handle_ != 0) VexCam_Release(handle_);
      handle_ = std::exchange(other.handle_, 0);
    }
    return *this;
  }
  Camera(const Camera&) = delete;
  Camera& operator=(const Camera&) = delete;

  int Width() const { return VexCam_Width(handle_); }
  int Height() const { return VexCam_Height(handle_); }
  void SetColorMode(int bits) { Check(VexCam_SetColorMode(handle_, bits), "VexCam_SetColorMode"); }

  // One Mono 16 frame, top row first (rows of an even width need no padding).
  std::vector<uint16_t> Snapshot16() {
    std::vector<uint16_t> pixels(static_cast<size_t>(Width()) * static_cast<size_t>(Height()));
    Check(VexCam_SnapShot(handle_, reinterpret_cast<BYTE*>(pixels.data()),
                          static_cast<int>(pixels.size() * sizeof(uint16_t)), 1),
          "VexCam_SnapShot");
    return pixels;
  }

 private:
  void Check(BOOL ok, const char* what) {
    if (!ok) throw CameraError(what, VexCam_GetLastError(handle_));
  }
  DWORD handle_;
};

}  // namespace

int main() {
  try {
    Camera camera(0);
    camera.SetColorMode(16);
    const std::vector<uint16_t> pixels = camera.Snapshot16();
    const auto [lo, hi] = std::minmax_element(pixels.begin(), pixels.end());
    std::printf("%d x %d Mono 16: samples %u .. %u\n", camera.Width(), camera.Height(), *lo, *hi);
    return 0;
  } catch (const CameraError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
