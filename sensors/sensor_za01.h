#pragma once
// Driver of the 640 x 512 target camera: window, exposure counter, trigger,
// cooling and the temperature ADC all sit behind FPGA registers. Streaming
// runs a temperature monitor thread that keeps the latest ADC samples.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/critical_section.h"
#include "sensors/sensor_base.h"

namespace vexcam {

class CSensorZA01 final : public CSensorBase {
 public:
  // Moving window of ADC samples kept between monitor cycles.
  static constexpr size_t kSampleWindow = 19;

  CSensorZA01(CControllerBase* controller, uint8_t busAddress);
  ~CSensorZA01() override;

  uint32_t CheckSensor() override { return 1; }
  uint32_t InitSensor() override;
  uint32_t SetCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                          uint32_t areaFlag) override;
  uint32_t GetCaptureArea(uint32_t* x, uint32_t* width, uint32_t* y, uint32_t* height,
                          uint32_t* areaFlag) override;
  uint32_t SetTriggerMode(uint32_t mode) override;
  uint32_t GetTriggerMode(uint32_t* mode) override;
  uint32_t SetDataBits(uint32_t sixteenBit) override { return ApplyDataBits(sixteenBit); }
  uint32_t SetExposureLines(uint32_t lines) override;
  uint32_t GetExposureLines(uint32_t* lines) override;
  uint32_t GetGlobalGain(uint32_t* gain) override;
  uint32_t GetExposureLinesMin(uint32_t* lines) override;
  uint32_t GetExposureLinesMax(uint32_t* lines) override;
  uint32_t GetExposureLinesDefault(uint32_t* lines) override;
  uint32_t GetGlobalGainMin(uint32_t* gain) override;
  uint32_t GetGlobalGainMax(uint32_t* gain) override;
  uint32_t GetGlobalGainDefault(uint32_t* gain) override;
  uint32_t GetColorGainMin(uint32_t* gain) override;
  uint32_t GetColorGainMax(uint32_t* gain) override;
  uint32_t GetColorGainDefault(uint32_t* gain) override;
  uint32_t SetExposureTime(uint32_t time) override;
  uint32_t GetExposureTime(uint32_t* time) override;
  uint32_t GetExposureTimeMin(uint32_t* time) override;
  uint32_t GetExposureTimeMax(uint32_t* time) override;
  uint32_t GetExposureTimeDefault(uint32_t* time) override;
  uint32_t SetMirrorV(uint32_t on) override;
  uint32_t GetMirrorV(uint32_t* on) override;
  uint32_t SetMirrorH(uint32_t on) override;
  uint32_t GetMirrorH(uint32_t* on) override;
  // Operation 0 sets the frame rate (tenths of frames per second).
  uint32_t AccessSensorParameter(uint32_t operation, uint32_t* parameter) override;
  uint32_t WriteSensorRegister(uint32_t address, uint32_t value) override;
  uint32_t ReadSensorRegister(uint32_t address, uint32_t* value) override;
  uint32_t WriteSensorRegisterVerified(uint32_t address, uint32_t value) override;
  uint32_t ReadSensorRegisterRetry(uint32_t address, uint32_t* value) override;
  uint32_t IsPeltierSupported() override;
  uint32_t GetPeltier() override;
  uint32_t SetPeltier(uint32_t on) override;
  uint32_t IsTemperatureSupported() override;
  uint32_t GetTemperature(double* celsius) override;
  void StartMonitor() override;
  void StopMonitor() override;
  uint32_t IsMonitorRunning() override { return active_gen_.load() != 0 ? 1 : 0; }
  uint32_t ApplyMonitorSetting() override { return 1; }
  uint32_t GetSensorMode(uint32_t* state) override;
  uint32_t SetSensorMode(uint32_t state) override;

  // Line time in units of 0.1 ms for the current readout width.
  double LineTime() const;
  // Degrees Celsius of a mean 12-bit ADC reading.
  static double TemperatureOfAdc(double meanSample);
  // Number of samples currently queued (for diagnostics and tests).
  size_t SampleCount();

 private:
  uint32_t RestartPulse();
  void MonitorLoop(uint64_t generation);
  // Waits ms milliseconds; false when the monitor of this generation must stop.
  bool MonitorWait(uint64_t generation, uint32_t ms);
  // Tells the monitor thread to stop and joins it (outside every lock).
  void JoinMonitor();
  void ClearSamples();

  CriticalSection sample_lock_;
  std::deque<uint16_t> samples_;  // guarded by sample_lock_
  // Each monitor thread runs while active_gen_ holds its own generation, so
  // a thread told to stop never resumes, even if another one starts at once.
  std::atomic<uint64_t> active_gen_{0};  // 0: no monitor should run
  std::mutex wait_lock_;                 // pairs with wake_
  std::condition_variable wake_;         // cuts the monitor's waits short
  std::mutex control_lock_;              // guards monitor_ and next_gen_
  std::thread monitor_;
  uint64_t next_gen_ = 0;
};

}  // namespace vexcam
