#pragma once
// Driver of the 640 x 512 camera whose sensor the FPGA runs: the driver only
// picks the pixel clock at start-up, the trigger and the pixel depth. The
// camera reads out the whole array; gain and exposure are not adjustable.

#include <cstdint>

#include "platform/critical_section.h"
#include "sensors/fpga_register.h"
#include "sensors/table_driven_sensor.h"

namespace vexcam {

// 640 x 512; model number 122 (no update strobe).
class CSensorZA21 final : public CTableDrivenSensor {
 public:
  // The pixel clock InitSensor sets: the FPGA's sensor clock.
  static constexpr uint32_t kPixelClockKhz = 54545;

  CSensorZA21(CControllerBase* controller, uint8_t busAddress);

  uint32_t InitSensor() override;
  // Only the full array; anything else fails and leaves the area.
  uint32_t SetCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                          uint32_t areaFlag) override;
  uint32_t SetTriggerMode(uint32_t mode) override;
  uint32_t GetTriggerMode(uint32_t* mode) override;
  uint32_t SetDataBits(uint32_t sixteenBit) override;
  uint32_t IsSubSampleSupported() override { return 0; }
  // 0 until the pixel clock is known (no division by a zero clock).
  double LineTime() const override;

 private:
  CriticalSection lock_;  // the register lock: one FPGA sequence at a time
  FpgaRegister trigger_;
  FpgaRegister depth_;
};

}  // namespace vexcam
