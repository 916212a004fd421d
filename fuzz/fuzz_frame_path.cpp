// The frame path: header and payload bytes as a camera sends them, through
// the transport and the camera model's transfer thread into the frame ring,
// read out by a consumer meanwhile. The camera is the simulated ZA01 for
// every request except the bulk reads of the frame endpoint, which are
// answered from the input: statuses, device status words, transferred counts
// that lie, headers whose payload length lies.
//
// Input: one geometry byte, then replies, each an op byte and its fields:
//   bits 0-2 status (0..5, 6 and 7 complete), bit 3 device status set,
//   bit 4 a reported byte count follows (u32, may exceed the request),
//   bits 5-6 content: 0 bytes from the input, 1 header with u32 payload
//   length and u32 tag, 2 header announcing the exact frame size with u32
//   tag, 3 one fill byte.
// When the replies run out the camera goes quiet (reads block until
// cancelled), and the capture is stopped.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "camera/product_table.h"
#include "camera/vex_cam_usb3k9_simple_sdk.h"
#include "fuzz_support.h"
#include "identity/build_identity.h"
#include "sim/sim_backend.h"
#include "transport/frame_descriptor.h"
#include "transport/usb_hub.h"

namespace vexcam::fuzz {

namespace {

constexpr uint8_t kFrameEndpoint = 0x81;

struct Reply {
  usb::TransferStatus status = usb::TransferStatus::kCompleted;
  uint32_t deviceStatus = 0;
  bool lieCount = false;
  uint32_t count = 0;
  uint8_t kind = 0;
  uint32_t length = 0;         // kind 1
  uint32_t tag = 0;            // kinds 1, 2
  uint8_t fill = 0;            // kind 3
  std::vector<uint8_t> bytes;  // kind 0
};

// The replies of the current input, shared by every handle on the camera.
class Script {
 public:
  void Load(std::deque<Reply> replies) {
    std::lock_guard lock(mutex_);
    replies_ = std::move(replies);
    armed_ = true;
  }
  void Disarm() {
    std::lock_guard lock(mutex_);
    replies_.clear();
    armed_ = false;
    ++cancels_;
    cv_.notify_all();
  }
  bool Armed() {
    std::lock_guard lock(mutex_);
    return armed_;
  }
  // Quiet: the replies are used up and a reader waits for more.
  bool Quiet() {
    std::lock_guard lock(mutex_);
    return replies_.empty() && waiting_ > 0;
  }
  void Cancel() {
    std::lock_guard lock(mutex_);
    ++cancels_;
    cv_.notify_all();
  }
  void SetFrameBytes(uint32_t bytes) { frameBytes_ = bytes; }

  usb::TransferResult Read(uint8_t* data, uint32_t length, uint32_t timeoutMs) {
    std::unique_lock lock(mutex_);
    usb::TransferResult r;
    if (replies_.empty()) {
      const uint64_t mark = cancels_;
      ++waiting_;
      const auto limit = std::chrono::milliseconds(std::min<uint32_t>(timeoutMs, 2000));
      const bool cancelled = cv_.wait_for(lock, limit, [&] { return cancels_ != mark; });
      --waiting_;
      r.status = cancelled ? usb::TransferStatus::kCancelled : usb::TransferStatus::kTimedOut;
      return r;
    }
    const Reply reply = std::move(replies_.front());
    replies_.pop_front();
    lock.unlock();
    if (data != nullptr && length > 0) {
      std::memset(data, reply.kind == 3 ? reply.fill : 0, length);
      if (reply.kind == 0 && !reply.bytes.empty()) {
        std::memcpy(data, reply.bytes.data(), std::min<size_t>(length, reply.bytes.size()));
      } else if ((reply.kind == 1 || reply.kind == 2) && length >= kFrameHeaderBytes) {
        const uint32_t announced = reply.kind == 1 ? reply.length : frameBytes_.load();
        std::memcpy(data + kHeaderPayloadOffset, &announced, 4);
        std::memcpy(data + kHeaderTagOffset, &reply.tag, 4);
      }
    }
    r.status = reply.status;
    r.deviceStatus = reply.deviceStatus;
    r.transferred = reply.lieCount ? reply.count : length;
    return r;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<Reply> replies_;
  bool armed_ = false;
  uint64_t cancels_ = 0;
  int waiting_ = 0;
  std::atomic<uint32_t> frameBytes_{0};
};

Script& TheScript() {
  static Script script;
  return script;
}

// A handle on the simulated camera whose frame-endpoint reads follow the script.
class ScriptedDevice : public usb::IUsbDevice {
 public:
  explicit ScriptedDevice(std::unique_ptr<usb::IUsbDevice> inner) : inner_(std::move(inner)) {}
  int ControlTransfer(uint8_t t, uint8_t r, uint16_t v, uint16_t i, uint8_t* d, uint16_t l,
                      uint32_t ms) override {
    return inner_->ControlTransfer(t, r, v, i, d, l, ms);
  }
  usb::TransferResult BulkTransfer(uint8_t ep, uint8_t* d, uint32_t l, uint32_t ms) override {
    if (ep == kFrameEndpoint && TheScript().Armed()) return TheScript().Read(d, l, ms);
    return inner_->BulkTransfer(ep, d, l, ms);
  }
  bool CancelPending(uint8_t ep) override {
    if (ep == kFrameEndpoint) TheScript().Cancel();
    return inner_->CancelPending(ep);
  }
  bool ClearHalt(uint8_t ep) override { return inner_->ClearHalt(ep); }
  bool ResetPort() override { return inner_->ResetPort(); }
  bool GetSpeed(uint32_t* code) override { return inner_->GetSpeed(code); }

 private:
  std::unique_ptr<usb::IUsbDevice> inner_;
};

class ScriptedBackend : public usb::IUsbBackend {
 public:
  std::vector<usb::DeviceInfo> Enumerate() override {
    return sim::SimBackend::Instance().Enumerate();
  }
  std::unique_ptr<usb::IUsbDevice> Open(const std::string& path) override {
    auto inner = sim::SimBackend::Instance().Open(path);
    if (!inner) return nullptr;
    return std::make_unique<ScriptedDevice>(std::move(inner));
  }
  bool Owns(const std::string& path) const override {
    return sim::SimBackend::Instance().Owns(path);
  }
};

CVexCamUSB3K9SimpleSdk* Camera() {
  static std::unique_ptr<CVexCamUSB3K9SimpleSdk> camera =
      []() -> std::unique_ptr<CVexCamUSB3K9SimpleSdk> {
    ScratchDir();
    sim::SimBackend::Instance().RemoveAll();
    sim::SimBackend::Instance().SetSpeedUp(1000);
    sim::SimBackend::Instance().AddCamera(build::ProductId());
    usb::UsbHub::Instance().SetSimulator(std::make_shared<ScriptedBackend>(), true);
    auto cam = std::make_unique<CVexCamUSB3K9SimpleSdk>();
    cam->SetProductId(build::ProductId());
    cam->CreateController(nullptr, nullptr);
    if (cam->OpenCamera(0) == 0) return nullptr;
    return cam;
  }();
  return camera.get();
}

std::deque<Reply> ParseReplies(Reader& in) {
  std::deque<Reply> replies;
  while (!in.Empty() && replies.size() < 64) {
    const uint8_t op = in.U8();
    Reply r;
    const uint8_t status = op & 7;
    r.status =
        status < 6 ? static_cast<usb::TransferStatus>(status) : usb::TransferStatus::kCompleted;
    if (op & 8) r.deviceStatus = 0xC0000001;
    if (op & 16) {
      r.lieCount = true;
      r.count = in.U32();
    }
    r.kind = (op >> 5) & 3;
    switch (r.kind) {
      case 0:
        r.bytes.resize(std::min<size_t>(in.Left(), kFrameHeaderBytes));
        in.Bytes(r.bytes.data(), r.bytes.size());
        break;
      case 1:
        r.length = in.U32();
        r.tag = in.U32();
        break;
      case 2:
        r.tag = in.U32();
        break;
      default:
        r.fill = in.U8();
        break;
    }
    replies.push_back(std::move(r));
  }
  return replies;
}

}  // namespace

int FuzzFramePath(const uint8_t* data, size_t size) {
  CVexCamUSB3K9SimpleSdk* cam = Camera();
  if (cam == nullptr) return 0;
  Reader in(data, size);
  const uint8_t shape = in.U8();
  struct Area {
    uint32_t x, y, w, h;
  };
  static constexpr Area kAreas[4] = {
      {0, 0, 640, 512}, {16, 8, 320, 256}, {2, 4, 64, 32}, {0, 0, 640, 512}};
  const Area& a = kAreas[shape & 3];
  cam->SetCaptureArea(a.x, a.y, a.w, a.h, 0);
  cam->SetDataBits((shape & 4) ? 1 : 0);
  cam->ApplyCaptureSettings();
  TheScript().SetFrameBytes(cam->FrameSize());
  TheScript().Load(ParseReplies(in));

  std::vector<uint8_t> frame(std::max<uint32_t>(cam->FrameSize(), 1));
  cam->StartCapture((shape & 8) ? 1 : 0);
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while (std::chrono::steady_clock::now() < until) {
    const uint32_t wait = cam->WaitFrame(1);
    if (wait == 3) cam->GetFrame(frame.data(), frame.size(), 0, 0, (shape >> 4) & 1);
    if (wait == 1 || !cam->IsCapturing() || TheScript().Quiet()) break;
  }
  cam->StopCapture();
  TheScript().Disarm();
  // A frame left in the ring is still readable after the stop.
  cam->GetFrame(frame.data(), frame.size(), 0, 0, 0);
  return 0;
}

}  // namespace vexcam::fuzz

#ifdef VEXCAM_FUZZ_MAIN
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return vexcam::fuzz::FuzzFramePath(data, size);
}
#endif
