// The cooled area cameras' head: an 8-bit register sensor that holds the
// window origin and the frame and shutter lengths, a temperature the sensor
// latches on request, and on newer FPGAs a temperature register pair the
// FPGA keeps up to date itself. Both temperatures are signed 9.3 fixed point.
#include <algorithm>
#include <cmath>
#include <memory>

#include "sim/sim_head.h"

namespace vexcam::sim {
namespace {

// 12-bit two's complement in eighths of a degree.
uint16_t Fixed93(double celsius) {
  const double eighths = std::clamp(std::round(celsius * 8.0), -2048.0, 2047.0);
  return static_cast<uint16_t>(static_cast<int32_t>(eighths) & 0xFFF);
}

// Sensor registers.
constexpr uint16_t kSensorPartial = 772;  // 2: partial frame, rows start 4 lower
constexpr uint16_t kSensorX = 800;        // low, then bits 8-10
constexpr uint16_t kSensorY = 802;
constexpr uint16_t kSensorFrame = 724;         // 724..726, low byte first
constexpr uint16_t kSensorShutter = 1088;      // 1088..1090
constexpr uint16_t kSensorTemperature = 1680;  // low, then 1681 bits 8-11
constexpr uint16_t kSensorLatch = 1928;        // bit 0 latches the temperature

constexpr uint8_t kPartialFrame = 2;
constexpr uint32_t kPartialRows = 4;

// FPGA registers.
constexpr uint8_t kFpgaVersionHigh = 16;
constexpr uint8_t kFpgaVersionLow = 17;
constexpr uint8_t kFpgaTrigger = 88;  // 2: trigger timing from the FPGA
constexpr uint8_t kFpgaTemperatureLow = 229;
constexpr uint8_t kFpgaTemperatureHigh = 230;

class CooledAreaHead final : public SimHead {
 public:
  // fpgaTemperatureVersion: first FPGA version with registers 229/230; 0: none.
  explicit CooledAreaHead(uint16_t fpgaTemperatureVersion)
      : fpgaTemperatureVersion_(fpgaTemperatureVersion) {}

  bool SensorWrite(SimPorts& ports, const uint8_t* bytes, uint16_t count) override {
    if (!SimHead::SensorWrite(ports, bytes, count)) return false;
    const uint16_t first = sensorPointer_;
    const uint16_t values = static_cast<uint16_t>(count - 2);
    if (first <= kSensorLatch && kSensorLatch < first + values &&
        (ports.sensor[kSensorLatch] & 1) != 0) {
      const uint16_t raw = Fixed93(ports.temperature());
      ports.sensor[kSensorTemperature] = raw & 0xFF;
      ports.sensor[kSensorTemperature + 1] = raw >> 8;
    }
    return true;
  }

  std::optional<uint8_t> FpgaRead(SimPorts& ports, uint8_t reg) override {
    if (reg != kFpgaTemperatureLow && reg != kFpgaTemperatureHigh) return std::nullopt;
    const uint16_t version =
        static_cast<uint16_t>(ports.fpga[kFpgaVersionHigh] << 8 | ports.fpga[kFpgaVersionLow]);
    if (fpgaTemperatureVersion_ == 0 || version < fpgaTemperatureVersion_) return uint8_t{0};
    const uint16_t raw = Fixed93(ports.temperature());
    return static_cast<uint8_t>(reg == kFpgaTemperatureLow ? raw & 0xFF : raw >> 8);
  }

  void ShapeFrame(const SimPorts& ports, PatternFrame& frame) const override {
    const auto& s = ports.sensor;
    frame.x0 = s[kSensorX] | (s[kSensorX + 1] & 7u) << 8;
    const uint32_t y = s[kSensorY] | uint32_t{s[kSensorY + 1]} << 8;
    frame.y0 = s[kSensorPartial] == kPartialFrame && y >= kPartialRows ? y - kPartialRows : y;
    // Free running, the exposure is the frame minus the shutter; with the
    // FPGA's trigger timing the generic exposure counter stands.
    const auto lines = [&s](uint16_t reg) {
      return s[reg] | uint32_t{s[reg + 1]} << 8 | uint32_t{s[reg + 2]} << 16;
    };
    const uint32_t frameLines = lines(kSensorFrame);
    const uint32_t shutter = lines(kSensorShutter);
    if ((ports.fpga[kFpgaTrigger] & 2) == 0 && frameLines > shutter) {
      frame.exposure = frameLines - shutter;
    }
  }

 private:
  const uint16_t fpgaTemperatureVersion_;
};

}  // namespace

std::unique_ptr<SimHead> MakeCooledAreaHead(SimModel model) {
  switch (model) {
    case SimModel::kIMX990:
      return std::make_unique<CooledAreaHead>(0x8024);
    case SimModel::kIMX992:
      return std::make_unique<CooledAreaHead>(0x0105);
    default:
      return std::make_unique<CooledAreaHead>(0);
  }
}

}  // namespace vexcam::sim
