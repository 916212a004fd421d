#pragma once
// A sensor driver against the simulated camera of its product, through the
// real transport: the driver talks to the camera's firmware model exactly as
// it would to a camera, and the camera's transaction log shows what it sent.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

#include "sensors/sensor_base.h"
#include "sim/sim_backend.h"
#include "sim/sim_camera.h"
#include "transport/vex_cy3_cam.h"

namespace vexcam::test {

// The bus address of most sensors on the serial channel.
inline constexpr uint8_t kBus = 0x48;

// A getter's value; the getter must answer 1.
template <typename S, typename T>
T Get(S& s, uint32_t (CSensorBase::*getter)(T*)) {
  T v{};
  EXPECT_EQ((s.*getter)(&v), 1u);
  return v;
}

// x, width, y, height and flag of the sensor's capture area; each must be written.
using Area = std::array<uint32_t, 5>;
inline Area AreaOf(CSensorBase& s) {
  Area a;
  a.fill(0xEEEEEEEE);
  EXPECT_EQ(s.GetCaptureArea(&a[0], &a[1], &a[2], &a[3], &a[4]), 1u);
  return a;
}

class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::SimBackend::Instance().RemoveAll();
    sim::SimBackend::Instance().Install(false);
    sim::SimBackend::Instance().SetSpeedUp(1000);
  }
  void TearDown() override {
    transport.reset();
    sim::SimBackend::Instance().RemoveAll();
  }

  // Makes a simulated camera of this product the only one and selects it; the
  // log starts empty.
  void Attach(uint16_t productId) {
    transport.reset();
    sim::SimBackend::Instance().RemoveAll();
    camera = sim::SimBackend::Instance().AddCamera(productId);
    transport = std::make_unique<CVexCy3Cam>();
    ASSERT_GE(transport->EnumerateDevices(), 1u);
    ASSERT_EQ(transport->SelectDevice(0), 1u);
    camera->ClearLog();
  }

  struct RegWrite {
    uint32_t address;
    uint32_t value;
    bool operator==(const RegWrite&) const = default;
  };

  // Sensor register writes on the bus, decoded as {address hi, address lo,
  // value in valueBytes bytes, high first}; address-only transactions (the
  // first half of a read) are left out.
  std::vector<RegWrite> SensorWrites(uint8_t busAddress, int valueBytes) const {
    std::vector<RegWrite> out;
    for (const sim::SimTransaction& t : camera->SerialLog(busAddress)) {
      if (t.in || !t.ok || t.data.size() < 2u + valueBytes) continue;
      uint32_t value = 0;
      for (int i = 0; i < valueBytes; ++i) value = value << 8 | t.data[2 + i];
      out.push_back({uint32_t{t.data[0]} << 8 | t.data[1], value});
    }
    return out;
  }

  // FPGA register writes, in order.
  std::vector<RegWrite> FpgaWrites() const {
    std::vector<RegWrite> out;
    for (const sim::SimTransaction& t : camera->SerialLog(sim::kBusFpga))
      if (!t.in && t.ok && t.data.size() >= 3) out.push_back({t.data[0], t.data[2]});
    return out;
  }

  // FPGA register writes of these registers only.
  std::vector<RegWrite> FpgaWritesTo(std::initializer_list<uint32_t> regs) const {
    std::vector<RegWrite> out;
    for (const RegWrite& w : FpgaWrites())
      if (std::find(regs.begin(), regs.end(), w.address) != regs.end()) out.push_back(w);
    return out;
  }

  // The little-endian value of `bytes` consecutive 8-bit sensor registers.
  uint32_t SensorLE(uint32_t low, int bytes) const {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | camera->SensorRegister(low + i);
    return v;
  }

  // The little-endian value of these 8-bit FPGA registers, lowest first.
  uint32_t FpgaLE(std::initializer_list<uint8_t> regs) const {
    uint32_t v = 0, shift = 0;
    for (uint8_t r : regs) v |= uint32_t{camera->FpgaRegister(r)} << (8 * shift++);
    return v;
  }

  // The value last written to a register, or -1.
  static int64_t LastValue(const std::vector<RegWrite>& writes, uint32_t address) {
    int64_t v = -1;
    for (const RegWrite& w : writes)
      if (w.address == address) v = w.value;
    return v;
  }

  std::shared_ptr<sim::SimCamera> camera;
  std::unique_ptr<CVexCy3Cam> transport;
};

}  // namespace vexcam::test
