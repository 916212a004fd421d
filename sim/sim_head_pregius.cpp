// The global-shutter cameras' head: a sensor with 16-bit register addresses
// and 8-bit values. It powers on in standby; leaving standby keeps the FPGA
// busy (register 2 reads 1) for a few polls, during which the sensor does
// not acknowledge the bus. The frame is the window held in the sensor's
// window registers (halved in the 2 x 2 readout), exposed for the frame
// length minus the shutter start. Two register maps: the 2448 x 2048 group
// counts its window from the far corner of the array and marks cropped
// axes; the later group holds the window origin directly and latches frame
// changes only when its register hold is released.
#include <memory>
#include <optional>

#include "sim/sim_head.h"

namespace vexcam::sim {
namespace {

struct RegisterMap {
  uint16_t standby = 0;  // 1 at power-on; writing 0 starts the settling time
  uint16_t frame = 0;    // frame length, low byte first
  uint32_t frameMask = 0;
  uint16_t shutter = 0;  // shutter start, low byte first
  uint32_t shutterMask = 0;
  uint16_t x = 0, y = 0, width = 0, height = 0;  // low byte, high byte each
  bool fromFarCorner = false;                    // x and y count from the array's far corner
  uint16_t crop = 0;     // bit 0 width, bit 1 height cropped; 0: none (always cropped)
  uint16_t reduced = 0;  // non-zero: 2 x 2 readout
  uint16_t hold = 0;     // register hold; 0: none
};

constexpr RegisterMap kEarlyMap = {
    .standby = 512,
    .frame = 528,
    .frameMask = 0xFFFFF,
    .shutter = 653,
    .shutterMask = 0xFFF,
    .x = 1296,
    .y = 1298,
    .width = 1300,
    .height = 1302,
    .fromFarCorner = true,
    .crop = 1280,
    .reduced = 525,
};

constexpr RegisterMap kLateMap = {
    .standby = 0x3000,
    .frame = 0x3050,
    .frameMask = 0xFFFFFF,
    .shutter = 0x3058,
    .shutterMask = 0xFFFFFF,
    .x = 0x3040,
    .y = 0x3044,
    .width = 0x3048,
    .height = 0x304C,
    .reduced = 0x3020,
    .hold = 0x3008,
};

constexpr uint8_t kFpgaBusy = 2;
constexpr uint32_t kSettlePolls = 3;

struct Shape {
  bool window = false;  // the window registers are programmed
  uint32_t x0 = 0, y0 = 0, width = 0, height = 0;
  uint32_t exposure = 0;  // 0: no exposure programmed
};

class PregiusHead final : public SimHead {
 public:
  explicit PregiusHead(const RegisterMap& map) : map_(map) {}

  void PowerOn(SimPorts& ports) override { ports.sensor[map_.standby] = 1; }

  bool SensorWrite(SimPorts& ports, const uint8_t* bytes, uint16_t count) override {
    if (settling_ > 0) return false;
    const uint16_t address = count >= 2 ? static_cast<uint16_t>(bytes[0] << 8 | bytes[1]) : 0;
    const bool standbyBefore = ports.sensor[map_.standby] != 0;
    const bool heldBefore = map_.hold != 0 && ports.sensor[map_.hold] != 0;
    if (count > 2 && map_.hold != 0 && address == map_.hold && bytes[2] != 0 && !heldBefore) {
      held_ = ShapeOf(ports);  // frames keep the settings from before the hold
    }
    if (!SimHead::SensorWrite(ports, bytes, count)) return false;
    if (map_.hold != 0 && ports.sensor[map_.hold] == 0) held_.reset();
    if (standbyBefore && ports.sensor[map_.standby] == 0) settling_ = kSettlePolls;
    return true;
  }

  bool SensorRead(SimPorts& ports, uint8_t* bytes, uint16_t count) override {
    if (settling_ > 0) return false;
    return SimHead::SensorRead(ports, bytes, count);
  }

  std::optional<uint8_t> FpgaRead(SimPorts& /*ports*/, uint8_t reg) override {
    if (reg != kFpgaBusy || settling_ == 0) return std::nullopt;
    --settling_;
    return uint8_t{1};
  }

  void ShapeFrame(const SimPorts& ports, PatternFrame& frame) const override {
    const Shape s = held_ ? *held_ : ShapeOf(ports);
    if (s.window) {
      frame.x0 = s.x0;
      frame.y0 = s.y0;
      frame.width = s.width;
      frame.height = s.height;
    }
    if (s.exposure != 0) frame.exposure = s.exposure;
  }

 private:
  Shape ShapeOf(const SimPorts& ports) const {
    const auto& r = ports.sensor;
    const auto pair = [&r](uint16_t low) { return uint32_t{r[low]} | uint32_t{r[low + 1]} << 8; };
    const auto triple = [&r, &pair](uint16_t low) {
      return pair(low) | uint32_t{r[low + 2]} << 16;
    };
    Shape s;
    const uint32_t aw = ports.product.width;
    const uint32_t ah = ports.product.height;
    uint32_t w = pair(map_.width);
    uint32_t h = pair(map_.height);
    uint32_t x = pair(map_.x);
    uint32_t y = pair(map_.y);
    if (map_.crop != 0) {
      // An axis not marked cropped reads out the whole array.
      if ((r[map_.crop] & 1) == 0) w = aw, x = 0;
      if ((r[map_.crop] & 2) == 0) h = ah, y = 0;
    }
    if (map_.fromFarCorner) {
      x = x + w <= aw ? aw - w - x : aw;
      y = y + h <= ah ? ah - h - y : ah;
    }
    if (w != 0 && h != 0 && x + w <= aw && y + h <= ah) {
      const bool reduced = r[map_.reduced] != 0;
      s.window = true;
      s.x0 = x;
      s.y0 = y;
      s.width = reduced ? w / 2 : w;
      s.height = reduced ? h / 2 : h;
    }
    const uint32_t frameLines = triple(map_.frame) & map_.frameMask;
    const uint32_t shutter = triple(map_.shutter) & map_.shutterMask;
    if (frameLines > shutter) s.exposure = frameLines - shutter;
    return s;
  }

  const RegisterMap& map_;
  uint32_t settling_ = 0;      // polls of FPGA register 2 still busy
  std::optional<Shape> held_;  // the shape frozen by the register hold
};

}  // namespace

std::unique_ptr<SimHead> MakePregiusHead(SimModel model) {
  return std::make_unique<PregiusHead>(model == SimModel::kPregiusSeconds ? kLateMap : kEarlyMap);
}

}  // namespace vexcam::sim
