#include "sim/sim_head_glux9701.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace vexcam::sim {

namespace {
constexpr uint8_t kRevisionSelfStart = 9;
constexpr double kScale = 0.3213;
constexpr double kOffset = 287.09;
}  // namespace

void SimHeadGLUX9701::PowerOn(SimPorts& /*ports*/) { resets_ = 0; }

void SimHeadGLUX9701::FpgaWritten(SimPorts& /*ports*/, uint8_t reg, uint8_t old, uint8_t value) {
  // The reset is taken on its release.
  if (reg == kRegReset && (old & 1) != 0 && (value & 1) == 0) ++resets_;
}

std::optional<uint8_t> SimHeadGLUX9701::FpgaRead(SimPorts& ports, uint8_t reg) {
  if (reg != kRegLink) return std::nullopt;
  const bool up = ports.fpga[kRegRevision] >= kRevisionSelfStart ||
                  (resetsToLink_ != 0 && resets_ >= resetsToLink_);
  return up ? kLinkUp : uint8_t{0};
}

bool SimHeadGLUX9701::SensorRead(SimPorts& ports, uint8_t* bytes, uint16_t count) {
  if (sensorPointer_ == kRegTemperatureLow || sensorPointer_ == kRegTemperatureHigh) {
    const double word = std::round((ports.temperature() + kOffset) / kScale);
    const auto raw = static_cast<uint16_t>(std::clamp(word, 0.0, 65535.0));
    ports.sensor[kRegTemperatureLow] = raw & 0xFF;
    ports.sensor[kRegTemperatureHigh] = raw >> 8;
  }
  return SimHead::SensorRead(ports, bytes, count);
}

std::unique_ptr<SimHead> MakeSimHeadGLUX9701() { return std::make_unique<SimHeadGLUX9701>(); }

}  // namespace vexcam::sim
