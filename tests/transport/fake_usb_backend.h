#pragma once
// A scriptable USB backend for transport tests: records every request and
// answers bulk transfers from a per-endpoint script. What needs a camera that
// blocks, cancels or unplugs like a real one runs over the simulator in
// tests/sim.

#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "transport/usb_access.h"
#include "transport/usb_hub.h"

namespace vexcam::test {

struct FakeControl {
  uint8_t requestType, request;
  uint16_t value, index, length;
  std::vector<uint8_t> data;  // the data area as sent (OUT) or returned (IN)
};

struct FakeBulk {
  uint8_t endpoint;
  uint32_t length;
  uint32_t timeoutMs;
  std::vector<uint8_t> data;  // OUT: bytes sent
};

// One scripted answer to a bulk transfer.
struct BulkReply {
  usb::TransferStatus status = usb::TransferStatus::kCompleted;
  int32_t bytes = -1;  // bytes delivered; -1 = the whole request
  uint32_t deviceStatus = 0;
  uint8_t fill = 0xAB;
};

class FakeCamera {
 public:
  explicit FakeCamera(std::string path) : path(std::move(path)) {}
  const std::string path;
  std::atomic<bool> plugged{true};
  std::atomic<int> openHandles{0};

  // Answers a control request (IN data starts zeroed): the byte count, or -1
  // to fail it. Default: the whole length.
  std::function<int(const FakeControl&, uint8_t* data)> answer;

  // Answers the next unanswered transfer on the endpoint; the rest complete.
  void Script(uint8_t endpoint, BulkReply reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    script_[endpoint].push_back(reply);
  }
  std::vector<FakeControl> Controls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return controls_;
  }
  std::vector<FakeBulk> Bulks() {
    std::lock_guard<std::mutex> lock(mutex_);
    return bulks_;
  }
  void ClearLog() {
    std::lock_guard<std::mutex> lock(mutex_);
    controls_.clear();
    bulks_.clear();
  }

  int Control(uint8_t type, uint8_t req, uint16_t value, uint16_t index, uint8_t* data,
              uint16_t length) {
    if (!plugged) return -1;
    FakeControl c{type, req, value, index, length, {}};
    if ((type & 0x80) != 0) std::memset(data, 0, length);
    const int result = answer ? answer(c, data) : length;
    if (result >= 0) c.data.assign(data, data + length);
    std::lock_guard<std::mutex> lock(mutex_);
    controls_.push_back(c);
    return result;
  }

  usb::TransferResult Bulk(uint8_t ep, uint8_t* data, uint32_t length, uint32_t timeoutMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    bulks_.push_back({ep, length, timeoutMs, {}});
    if ((ep & 0x80) == 0) bulks_.back().data.assign(data, data + length);
    usb::TransferResult r;
    if (!plugged) {
      r.status = usb::TransferStatus::kNoDevice;
      return r;
    }
    BulkReply reply;
    if (!script_[ep].empty()) {
      reply = script_[ep].front();
      script_[ep].pop_front();
    }
    r.transferred = reply.bytes < 0 ? length : std::min<uint32_t>(length, reply.bytes);
    if ((ep & 0x80) != 0) std::memset(data, reply.fill, r.transferred);
    r.status = reply.status;
    r.deviceStatus = reply.deviceStatus;
    return r;
  }

 private:
  std::mutex mutex_;
  std::map<uint8_t, std::deque<BulkReply>> script_;
  std::vector<FakeControl> controls_;
  std::vector<FakeBulk> bulks_;
};

class FakeDevice : public usb::IUsbDevice {
 public:
  explicit FakeDevice(std::shared_ptr<FakeCamera> cam) : cam_(std::move(cam)) {
    ++cam_->openHandles;
  }
  ~FakeDevice() override { --cam_->openHandles; }
  int ControlTransfer(uint8_t t, uint8_t r, uint16_t v, uint16_t i, uint8_t* d, uint16_t l,
                      uint32_t) override {
    return cam_->Control(t, r, v, i, d, l);
  }
  usb::TransferResult BulkTransfer(uint8_t ep, uint8_t* d, uint32_t l, uint32_t t) override {
    return cam_->Bulk(ep, d, l, t);
  }
  bool CancelPending(uint8_t) override { return cam_->plugged; }
  bool ClearHalt(uint8_t) override { return cam_->plugged; }
  bool ResetPort() override { return cam_->plugged; }
  bool GetSpeed(uint32_t* code) override {
    *code = 4;
    return cam_->plugged;
  }

 private:
  std::shared_ptr<FakeCamera> cam_;
};

class FakeBackend : public usb::IUsbBackend {
 public:
  std::shared_ptr<FakeCamera> Add(uint16_t productId, const std::string& location) {
    auto cam = std::make_shared<FakeCamera>(usb::MakeDevicePath(0x04B4, productId, location));
    std::lock_guard<std::mutex> lock(mutex_);
    cams_.push_back(cam);
    return cam;
  }
  void Remove(const std::shared_ptr<FakeCamera>& cam) {
    std::lock_guard<std::mutex> lock(mutex_);
    cam->plugged = false;
    cams_.erase(std::remove(cams_.begin(), cams_.end(), cam), cams_.end());
  }
  std::vector<usb::DeviceInfo> Enumerate() override {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<usb::DeviceInfo> out;
    for (auto& c : cams_) out.push_back({c->path, 0x04B4, 0});
    return out;
  }
  std::unique_ptr<usb::IUsbDevice> Open(const std::string& path) override {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& c : cams_) {
      if (c->path == path && c->plugged) return std::make_unique<FakeDevice>(c);
    }
    return nullptr;
  }
  bool Owns(const std::string& path) const override {
    return path.find("#fake-") != std::string::npos;
  }

 private:
  std::mutex mutex_;
  std::vector<std::shared_ptr<FakeCamera>> cams_;
};

// Installs a fresh fake backend as the only backend for one test.
class FakeBackendScope {
 public:
  FakeBackendScope() : backend(std::make_shared<FakeBackend>()) {
    usb::UsbHub::Instance().SetSimulator(backend, true);
  }
  ~FakeBackendScope() { usb::UsbHub::Instance().SetSimulator(nullptr, false); }
  std::shared_ptr<FakeBackend> backend;
};

}  // namespace vexcam::test
