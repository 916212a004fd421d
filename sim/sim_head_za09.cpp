// The FPGA-run 2048 x 2048 and 4096 x 4096 cameras: the FPGA applies values
// the host loaded when it receives a command bit in register 160, and shows
// register 32 bit 0 while it works on one. Bit 0 samples the sensor's
// thermometer, bit 1 places the sample in registers 169 (low) and 170
// (high); bit 2 takes the line period from registers 230/231 (14 bits) and
// bit 3 reports the period in effect in registers 102/103. A module whose
// version word (registers 19/18) has bit 12 or 15 set keeps its own line
// period; the 2048 x 2048 camera ships with such a module (register 19 = 16).
#include <algorithm>
#include <cmath>
#include <memory>

#include "sim/sim_head.h"

namespace vexcam::sim {
namespace {

constexpr uint8_t kRegBusy = 32;
constexpr uint8_t kRegCommand = 160;
constexpr uint8_t kRegTemperatureLow = 169;
constexpr uint8_t kRegTemperatureHigh = 170;
constexpr uint8_t kRegPeriodLow = 230;
constexpr uint8_t kRegPeriodHigh = 231;
constexpr uint8_t kRegPeriodReadLow = 102;
constexpr uint8_t kRegPeriodReadHigh = 103;
constexpr uint8_t kRegModuleLow = 18;
constexpr uint8_t kRegModuleHigh = 19;
constexpr uint8_t kRegTransfer = 163;
constexpr uint8_t kRegWidthLow = 156;
constexpr uint8_t kRegWidthHigh = 157;
constexpr uint8_t kRegHeightLow = 154;
constexpr uint8_t kRegHeightHigh = 155;
constexpr uint8_t kRegExposureFirst = 232;  // exposure in microseconds, 32 bits, low byte first
constexpr uint16_t kFixedPeriodBits = (1u << 12) | (1u << 15);
// The module's own line period at power-on.
constexpr uint16_t kPowerOnPeriod = 1280;
// Reads of the busy bit that still show a command running.
constexpr uint32_t kBusyReads = 2;

class FpgaRunHead final : public SimHead {
 public:
  // The thermometer word: (celsius + offset) / scale.
  FpgaRunHead(double scale, double offset) : scale_(scale), offset_(offset) {}

  void FpgaWritten(SimPorts& ports, uint8_t reg, uint8_t /*old*/, uint8_t value) override {
    if (reg != kRegCommand) return;
    busy_ = kBusyReads;
    if ((value & 1) != 0) {
      const double word = std::round((ports.temperature() + offset_) / scale_);
      sample_ = static_cast<uint16_t>(std::clamp(word, 0.0, 65535.0));
    }
    if ((value & 2) != 0) {
      ports.fpga[kRegTemperatureLow] = static_cast<uint8_t>(sample_);
      ports.fpga[kRegTemperatureHigh] = static_cast<uint8_t>(sample_ >> 8);
    }
    const uint16_t module =
        static_cast<uint16_t>(ports.fpga[kRegModuleHigh] << 8 | ports.fpga[kRegModuleLow]);
    if ((value & 4) != 0 && (module & kFixedPeriodBits) == 0) {
      period_ = static_cast<uint16_t>(ports.fpga[kRegPeriodLow] |
                                      (ports.fpga[kRegPeriodHigh] & 0x3F) << 8);
    }
    if ((value & 8) != 0) {
      ports.fpga[kRegPeriodReadLow] = static_cast<uint8_t>(period_);
      ports.fpga[kRegPeriodReadHigh] = static_cast<uint8_t>(period_ >> 8);
    }
  }

  // The transfer width is register 163 (2: 16 bits) and the image size is
  // registers 156/157 (width) and 154/155 (height).
  void ShapeFrame(const SimPorts& ports, PatternFrame& frame) const override {
    const auto& f = ports.fpga;
    frame.bits = f[kRegTransfer] == 2 ? 16 : 8;
    const uint32_t width = f[kRegWidthLow] | f[kRegWidthHigh] << 8;
    const uint32_t height = f[kRegHeightLow] | f[kRegHeightHigh] << 8;
    if (width != 0 && height != 0) {
      frame.width = width;
      frame.height = height;
    }
    // The exposure is the microsecond value the host loaded, in line periods
    // of the row's timing (the generic exposure registers overlap the
    // height registers here).
    uint64_t us = 0;
    for (int i = 3; i >= 0; --i) us = us << 8 | f[kRegExposureFirst + i];
    const double lineUs = ports.product.lineLength * 1e3 / ports.product.pixelClockKHz;
    frame.exposure = static_cast<uint32_t>(
        std::clamp<double>(static_cast<double>(us) / lineUs, 1.0, double{0xFFFFFF}));
  }

  std::optional<uint8_t> FpgaRead(SimPorts& ports, uint8_t reg) override {
    if (reg != kRegBusy) return std::nullopt;
    // A stored bit 0 stands for a hung FPGA: busy for good.
    if ((ports.fpga[kRegBusy] & 1) != 0) return std::nullopt;
    const uint8_t others = ports.fpga[kRegBusy];
    if (busy_ == 0) return others;
    --busy_;
    return static_cast<uint8_t>(others | 1);
  }

 private:
  const double scale_;
  const double offset_;
  uint32_t busy_ = 0;
  uint16_t sample_ = 0;
  uint16_t period_ = kPowerOnPeriod;
};

}  // namespace

std::unique_ptr<SimHead> MakeFpgaRunHead(SimModel model) {
  if (model == SimModel::kZA14) return std::make_unique<FpgaRunHead>(0.5031, 295.64);
  return std::make_unique<FpgaRunHead>(0.2384, 300.91);
}

}  // namespace vexcam::sim
