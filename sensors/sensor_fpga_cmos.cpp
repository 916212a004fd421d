#include "sensors/sensor_fpga_cmos.h"

#include <algorithm>
#include <cmath>

#include "sensors/seconds_exposure.h"
#include "sensors/sensor_constants.h"
#include "sensors/update_strobe.h"

namespace vexcam {

namespace {

constexpr uint8_t kWindowXRegs[] = {CFpgaRegisterSensor::kRegWindowX,
                                    CFpgaRegisterSensor::kRegWindowX + 1};
constexpr uint8_t kWindowYRegs[] = {CFpgaRegisterSensor::kRegWindowY,
                                    CFpgaRegisterSensor::kRegWindowY + 1};
constexpr uint8_t kExposureRegs[] = {CFpgaRegisterSensor::kRegExposure0,
                                     CFpgaRegisterSensor::kRegExposure1,
                                     CFpgaRegisterSensor::kRegExposure2};
constexpr uint8_t kFramePeriodRegs[] = {CFpgaRegisterSensor::kRegFramePeriod,
                                        CFpgaRegisterSensor::kRegFramePeriod + 1,
                                        CFpgaRegisterSensor::kRegFramePeriod + 2};
constexpr uint32_t kMaxCounter = 0xFFFFFF;

// Start-up of the FPGA-run sensors, through the FPGA register channel.
constexpr ProgramStep kStartup[] = {
    // Hold the sensor in reset, release it and let its bias settle.
    WriteStep(CFpgaRegisterSensor::kRegSensorControl, 1),
    WaitStep(10),
    WriteStep(CFpgaRegisterSensor::kRegSensorControl, 0),
    WaitStep(10),
    // Integrate-then-read timing, free running frame period.
    WriteStep(101, 0),
    WriteStep(CFpgaRegisterSensor::kRegFramePeriod, 0),
    WriteStep(CFpgaRegisterSensor::kRegFramePeriod + 1, 0),
    WriteStep(CFpgaRegisterSensor::kRegFramePeriod + 2, 0),
    // Readout enabled.
    WriteStep(CFpgaRegisterSensor::kRegSensorControl, 2),
};

}  // namespace

CFpgaRegisterSensor::CFpgaRegisterSensor(CControllerBase* controller, uint8_t busAddress,
                                         SensorDriver driver)
    : CRecordTimeSensor(controller, busAddress, driver), channel_(controller) {
  UseChannel(channel_);
}

uint32_t CFpgaRegisterSensor::WriteWide(const uint8_t* registers, uint32_t count, uint32_t value) {
  for (uint32_t i = 0; i < count; ++i) {
    if (WriteSensorRegister(registers[i], (value >> (8 * i)) & 0xFF) == 0) return 0;
  }
  return 1;
}

uint32_t CFpgaRegisterSensor::StartUp(uint32_t width, uint32_t height) {
  if (RunProgram(kStartup) == 0) return 0;
  if (SetGlobalGain(info_.globalGain.defaultValue) == 0) return 0;
  if (SetExposureTime(info_.exposureTime.defaultValue) == 0) return 0;
  SetMirrorV(info_.mirrorV.defaultValue);
  SetMirrorH(info_.mirrorH.defaultValue);
  return SetCaptureArea(0, width, 0, height, 0);
}

uint32_t CFpgaRegisterSensor::SetCaptureArea(uint32_t x, uint32_t width, uint32_t y,
                                             uint32_t height, uint32_t areaFlag) {
  if (width == 0 || height == 0) return 0;
  if (uint64_t{x} + width > info_.arrayWidth || uint64_t{y} + height > info_.arrayHeight) {
    return 0;
  }
  // The FPGA sizes the window from registers 68/64; the sensor needs its origin.
  if (WriteWide(kWindowXRegs, 2, x) == 0 || WriteWide(kWindowYRegs, 2, y) == 0) return 0;
  if (PulseUpdateStrobe(controller_, model_number_) == 0) return 0;
  return StoreCaptureArea(x, width, y, height, areaFlag);
}

uint32_t CFpgaRegisterSensor::SetExposureLines(uint32_t lines) {
  if (lines < info_.exposureLines.minimum || lines > info_.exposureLines.maximum) return 0;
  if (WriteWide(kExposureRegs, 3, lines) == 0) return 0;
  info_.exposureLines.current = lines;
  return 1;
}

uint32_t CFpgaRegisterSensor::SetGlobalGain(uint32_t gain) {
  if (gain > info_.globalGain.maximum) return 0;
  if (WriteSensorRegister(kRegGain, gain) == 0) return 0;
  info_.globalGain.current = gain;
  return 1;
}

uint32_t CFpgaRegisterSensor::LinesOfTime(uint32_t time) const {
  // The counter runs at the pixel clock and counts one period more than it holds.
  const uint64_t clocks = uint64_t{time} * info_.pixelClockKhz / 10;
  return static_cast<uint32_t>(std::min<uint64_t>(clocks == 0 ? 0 : clocks - 1, kMaxCounter));
}

uint32_t CFpgaRegisterSensor::SetExposureTime(uint32_t time) {
  const uint32_t t = std::clamp(time, info_.exposureTime.minimum, info_.exposureTime.maximum);
  const uint32_t lines =
      std::clamp(LinesOfTime(t), info_.exposureLines.minimum, info_.exposureLines.maximum);
  if (SetExposureLines(lines) == 0) return 0;
  info_.exposureTime.current = t;
  return 1;
}

uint32_t CFpgaRegisterSensor::ApplyMirrors(uint32_t v, uint32_t h) {
  info_.mirrorV.current = v != 0 ? 1 : 0;
  info_.mirrorH.current = h != 0 ? 1 : 0;
  return 1;
}

uint32_t CFpgaRegisterSensor::AccessSensorParameter(uint32_t operation, uint32_t* parameter) {
  if (parameter == nullptr) return 0;
  if (operation == 1) {
    *parameter = frame_rate_;
    return 1;
  }
  if (operation != 0) return 0;
  const uint32_t rate = *parameter;
  // 0 returns to free running; otherwise pixel clocks per frame, saturated.
  uint64_t period = 0;
  if (rate != 0)
    period = std::min<uint64_t>(uint64_t{info_.pixelClockKhz} * 10000 / rate, kMaxCounter);
  if (WriteWide(kFramePeriodRegs, 3, static_cast<uint32_t>(period)) == 0) return 0;
  frame_rate_ = rate;
  return 1;
}

CSensorZA02::CSensorZA02(CControllerBase* controller, uint8_t busAddress)
    : CFpgaRegisterSensor(controller, busAddress, SensorDriver::kZA02) {}

uint32_t CSensorZA02::InitSensor() { return StartUp(info_.effectiveWidth, info_.effectiveHeight); }

CSensorZA03::CSensorZA03(CControllerBase* controller, uint8_t busAddress)
    : CFpgaRegisterSensor(controller, busAddress, SensorDriver::kZA03) {}

uint32_t CSensorZA03::InitSensor() { return StartUp(info_.effectiveWidth, info_.effectiveHeight); }

uint32_t CSensorZA03::SetExposureTimeEx(double seconds) {
  return ApplySeconds(info_, seconds, [this](const SecondsExposure& e) {
    const double clocks = e.seconds * info_.pixelClockKhz * 1000.0;
    const auto counter = static_cast<uint32_t>(
        std::clamp(std::floor(clocks) - 1.0, static_cast<double>(info_.exposureLines.minimum),
                   static_cast<double>(info_.exposureLines.maximum)));
    return SetExposureLines(counter);
  });
}

}  // namespace vexcam
