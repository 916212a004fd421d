#pragma once
// A scriptable USB backend for transport tests: records every request and
// answers bulk reads from a per-endpoint script.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
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
  bool block = false;  // wait until cancelled or timed out
  uint8_t fill = 0xAB;
};

class FakeCamera {
 public:
  explicit FakeCamera(std::string path) : path(std::move(path)) {}
  const std::string path;
  std::atomic<bool> plugged{true};
  std::atomic<int> openHandles{0};

  // IN control answers: returns byte count or -1. Default: the whole length, zeroed.
  std::function<int(const FakeControl&, uint8_t* data)> controlIn;
  // True fails the request (either direction).
  std::function<bool(const FakeControl&)> controlFails;

  void Script(uint8_t endpoint, BulkReply reply) {
    std::lock_guard<std::mutex> lock(mutex);
    script[endpoint].push_back(reply);
  }
  void SetDefault(uint8_t endpoint, BulkReply reply) {
    std::lock_guard<std::mutex> lock(mutex);
    defaults[endpoint] = reply;
  }
  std::vector<FakeControl> Controls() {
    std::lock_guard<std::mutex> lock(mutex);
    return controls;
  }
  std::vector<FakeBulk> Bulks() {
    std::lock_guard<std::mutex> lock(mutex);
    return bulks;
  }
  void ClearLog() {
    std::lock_guard<std::mutex> lock(mutex);
    controls.clear();
    bulks.clear();
  }

  int Control(uint8_t type, uint8_t req, uint16_t value, uint16_t index, uint8_t* data,
              uint16_t length) {
    if (!plugged) return -1;
    FakeControl c{type, req, value, index, length, {}};
    int result = length;
    if (controlFails && controlFails(c)) result = -1;
    if (result >= 0 && (type & 0x80) != 0) {
      std::memset(data, 0, length);
      result = controlIn ? controlIn(c, data) : length;
    }
    if (result >= 0) c.data.assign(data, data + length);
    std::lock_guard<std::mutex> lock(mutex);
    controls.push_back(c);
    return result;
  }

  usb::TransferResult Bulk(uint8_t ep, uint8_t* data, uint32_t length, uint32_t timeoutMs) {
    usb::TransferResult r;
    std::unique_lock<std::mutex> lock(mutex);
    FakeBulk b{ep, length, timeoutMs, {}};
    if ((ep & 0x80) == 0) b.data.assign(data, data + length);
    bulks.push_back(b);
    if (!plugged) {
      r.status = usb::TransferStatus::kNoDevice;
      return r;
    }
    BulkReply reply;
    if (!script[ep].empty()) {
      reply = script[ep].front();
      script[ep].pop_front();
    } else if (defaults.count(ep)) {
      reply = defaults[ep];
    }
    if (reply.block) {
      const uint64_t mark = cancelCount[ep];
      const bool cancelled = cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                         [&] { return cancelCount[ep] != mark || !plugged; });
      r.status = !plugged    ? usb::TransferStatus::kNoDevice
                 : cancelled ? usb::TransferStatus::kCancelled
                             : usb::TransferStatus::kTimedOut;
      return r;
    }
    const uint32_t n = reply.bytes < 0 ? length : std::min<uint32_t>(length, reply.bytes);
    if ((ep & 0x80) != 0) std::memset(data, reply.fill, n);
    r.status = reply.status;
    r.transferred = n;
    r.deviceStatus = reply.deviceStatus;
    return r;
  }

  void Cancel(uint8_t ep) {
    std::lock_guard<std::mutex> lock(mutex);
    ++cancelCount[ep];
    cv.notify_all();
  }

  std::mutex mutex;
  std::condition_variable cv;
  std::map<uint8_t, std::deque<BulkReply>> script;
  std::map<uint8_t, BulkReply> defaults;
  std::map<uint8_t, uint64_t> cancelCount;
  std::vector<FakeControl> controls;
  std::vector<FakeBulk> bulks;
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
  bool CancelPending(uint8_t ep) override {
    cam_->Cancel(ep);
    return cam_->plugged;
  }
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
    {
      std::lock_guard<std::mutex> camLock(cam->mutex);
      cam->plugged = false;
    }
    cam->cv.notify_all();
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
