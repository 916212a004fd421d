#pragma once
// Helpers that drive a simulated camera through the USB access interface the
// way the transport does: vendor requests, serial-bus transactions, frames.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sim/sim_backend.h"
#include "sim/sim_camera.h"
#include "sim/test_pattern.h"

namespace vexcam::sim::test {

using usb::IUsbDevice;
using usb::TransferStatus;

// Plain reference: the payload of a frame built sample by sample.
inline std::vector<uint8_t> Reference(const PatternFrame& p) {
  std::vector<uint8_t> out;
  for (uint32_t y = 0; y < p.height; ++y)
    for (uint32_t x = 0; x < p.width; ++x) {
      const uint16_t v = PatternSample(p.tag, p.exposure, p.x0 + x, p.y0 + y, p.bits);
      out.push_back(static_cast<uint8_t>(v));
      if (p.bits > 8) out.push_back(static_cast<uint8_t>(v >> 8));
    }
  return out;
}

class SimTest : public ::testing::Test {
 protected:
  void SetUp() override { SimBackend::Instance().RemoveAll(); }
  void TearDown() override { SimBackend::Instance().RemoveAll(); }

  // Adds a camera (unpaced unless told otherwise) and opens it.
  std::unique_ptr<IUsbDevice> Add(uint16_t productId, uint32_t speedUp = 1000) {
    camera = SimBackend::Instance().AddCamera(productId);
    camera->SetSpeedUp(speedUp);
    return SimBackend::Instance().Open(camera->Path());
  }

  static int Vendor(IUsbDevice& d, uint8_t type, uint8_t request, uint16_t value, uint16_t index,
                    uint8_t* data) {
    // Every request goes out with the firmware's 102-byte wLength; data holds
    // the 64-byte data area.
    uint8_t area[102] = {};
    if (data != nullptr) std::memcpy(area, data, 64);
    const int rc = d.ControlTransfer(type, request, value, index, area, sizeof area, 3000);
    if (data != nullptr) std::memcpy(data, area, 64);
    return rc;
  }
  static bool BusWrite(IUsbDevice& d, uint8_t address, std::vector<uint8_t> bytes) {
    uint8_t buf[64] = {};
    std::memcpy(buf, bytes.data(), bytes.size());
    return Vendor(d, 0x40, 0x30, static_cast<uint16_t>(bytes.size()), address, buf) >= 0;
  }
  static bool BusRead(IUsbDevice& d, uint8_t address, uint16_t count, uint8_t* out) {
    uint8_t buf[64] = {};
    if (Vendor(d, 0xC0, 0x31, count, address | 1, buf) < count) return false;
    std::memcpy(out, buf, count);
    return true;
  }
  static bool WriteFpga(IUsbDevice& d, uint8_t reg, uint8_t value) {
    return BusWrite(d, 0x40, {reg, 0, value});
  }
  static bool ReadFpga(IUsbDevice& d, uint8_t reg, uint8_t* value) {
    uint8_t two[2];
    if (!BusWrite(d, 0x40, {reg}) || !BusRead(d, 0x41, 2, two)) return false;
    *value = two[1];
    return true;
  }
  static bool RequestFrame(IUsbDevice& d) {
    uint8_t zero[64] = {};
    return Vendor(d, 0x42, 0xC2, 0, 0, zero) >= 0;
  }
  static uint32_t U32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24;
  }

  struct Frame {
    uint8_t header[64] = {};
    std::vector<uint8_t> payload;
    uint32_t Tag() const { return U32(header + 32); }
    uint32_t Length() const { return U32(header + 16); }
  };
  // Frame request, 64-byte header, payload in 512 KiB pieces.
  static bool ReadFrame(IUsbDevice& d, Frame& f, uint32_t timeoutMs = 2000) {
    if (!RequestFrame(d)) return false;
    auto r = d.BulkTransfer(0x81, f.header, 64, timeoutMs);
    if (r.status != TransferStatus::kCompleted || r.transferred != 64) return false;
    f.payload.assign(f.Length(), 0);
    for (uint32_t off = 0; off < f.Length();) {
      const uint32_t n = std::min<uint32_t>(524288, f.Length() - off);
      r = d.BulkTransfer(0x81, f.payload.data() + off, n, timeoutMs);
      if (r.status != TransferStatus::kCompleted || r.deviceStatus != 0 || r.transferred != n)
        return false;
      off += n;
    }
    return true;
  }
  std::shared_ptr<SimCamera> camera;
};

}  // namespace vexcam::sim::test
