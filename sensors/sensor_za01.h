#pragma once
// Driver of the 640 x 512 target camera: window, exposure counter, trigger,
// cooling and the temperature ADC all sit behind FPGA registers. Streaming
// runs a temperature monitor thread that keeps the latest ADC samples.

#include <cstddef>
#include <cstdint>

#include "sensors/fpga_register.h"
#include "sensors/serial_register.h"
#include "sensors/table_driven_sensor.h"
#include "sensors/temperature_monitor.h"

namespace vexcam {

class CSensorZA01 final : public CTableDrivenSensor {
 public:
  // Moving window of ADC samples kept between monitor cycles.
  static constexpr size_t kSampleWindow = 19;

  CSensorZA01(CControllerBase* controller, uint8_t busAddress);
  ~CSensorZA01() override;

  uint32_t InitSensor() override;
  uint32_t SetCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                          uint32_t areaFlag) override;
  uint32_t SetTriggerMode(uint32_t mode) override;
  uint32_t GetTriggerMode(uint32_t* mode) override;
  uint32_t SetDataBits(uint32_t sixteenBit) override { return ApplyDataBits(sixteenBit); }
  uint32_t SetExposureLines(uint32_t lines) override;
  uint32_t SetExposureTime(uint32_t time) override;
  // Operation 0 sets the frame rate (tenths of frames per second).
  uint32_t AccessSensorParameter(uint32_t operation, uint32_t* parameter) override;
  uint32_t WriteSensorRegisterVerified(uint32_t address, uint32_t value) override;
  uint32_t ReadSensorRegisterRetry(uint32_t address, uint32_t* value) override;
  uint32_t IsPeltierSupported() override;
  uint32_t GetPeltier() override;
  uint32_t SetPeltier(uint32_t on) override;
  uint32_t IsTemperatureSupported() override;
  uint32_t GetTemperature(double* celsius) override;
  void StartMonitor() override;
  void StopMonitor() override;
  uint32_t IsMonitorRunning() override { return monitor_.IsRunning() ? 1 : 0; }
  uint32_t ApplyMonitorSetting() override { return 1; }
  uint32_t GetSensorMode(uint32_t* state) override;
  uint32_t SetSensorMode(uint32_t state) override;

  // Line time in units of 0.1 ms for the current readout width.
  double LineTime() const override;
  // Degrees Celsius of a mean 12-bit ADC reading.
  static double TemperatureOfAdc(double meanSample);
  // Number of samples currently queued (for diagnostics and tests).
  size_t SampleCount() { return monitor_.SampleCount(); }

 protected:
  // No hardware mirror: the state is kept for the image pipeline.
  uint32_t ApplyMirrors(uint32_t v, uint32_t h) override;

 private:
  uint32_t RestartPulse();
  // One monitor cycle: an ADC reading while the cooling runs.
  TemperatureMonitor::Poll PollAdc(uint16_t* sample);

  SerialRegister8 sensor_register_;
  FpgaRegisters<3> exposure_counter_;
  FpgaRegisters<2> adc_;
  FpgaRegister peltier_;
  FpgaRegister restart_;
  FpgaRegister trigger_;
  FpgaRegister sensor_mode_;
  TemperatureMonitor monitor_;
};

}  // namespace vexcam
