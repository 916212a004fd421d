#pragma once
// The sensor driver interface: one object per open camera, chosen by the
// product id, reached by the camera device model through these virtual
// operations. Every default means "not supported": 0, nothing, or the value
// of the sensor information record. Drivers override what their camera does.
// Hardware is reached only through the borrowed controller interface; with a
// null controller every hardware access fails with 0.

#include <atomic>
#include <cstdint>

#include "transport/controller_base.h"

namespace vexcam {

struct SensorConstants;  // sensors/sensor_constants.h

// {minimum, maximum, current, default, supported} of one numeric control.
template <typename T>
struct BasicRangeRecord {
  T minimum = 0;
  T maximum = 0;
  T current = 0;
  T defaultValue = 0;
  uint32_t supported = 0;
};
using RangeRecord = BasicRangeRecord<uint32_t>;

// The seconds-exposure record: four doubles, then the supported flag.
using RangeRecordEx = BasicRangeRecord<double>;

struct MirrorRecord {
  uint32_t current = 0;
  uint32_t defaultValue = 0;
  uint32_t supported = 0;
};

// The sensor information record, copied out whole by GetSensorInfo.
struct SensorInfo {
  uint32_t arrayWidth = 0;  // upper bound of any capture area
  uint32_t arrayHeight = 0;
  uint32_t originX = 0;  // first active column / row
  uint32_t originY = 0;
  uint32_t effectiveWidth = 0;  // full-resolution image size
  uint32_t effectiveHeight = 0;
  uint32_t widthAdjustable = 0;   // CanChangeWidth
  uint32_t heightAdjustable = 0;  // CanChangeHeight
  uint32_t areaX = 0;             // current capture area
  uint32_t areaY = 0;
  uint32_t areaWidth = 0;
  uint32_t areaHeight = 0;
  uint32_t lineLength = 0;   // pixel clocks per line (ZA01: readout-mode code)
  uint32_t frameLength = 0;  // lines per frame
  uint32_t areaFlag = 0;     // fifth argument of the last SetCaptureArea
  uint32_t extraWord1 = 0;
  uint32_t extraWord2 = 0;
  RangeRecord globalGain;
  RangeRecord exposureLines;
  RangeRecord colorGainRed;
  RangeRecord colorGainGreen1;
  RangeRecord colorGainGreen2;
  RangeRecord colorGainBlue;
  RangeRecord exposureTime;  // units of 0.1 ms
  RangeRecord analogGain;
  RangeRecord gainMode;
  RangeRecordEx exposureSeconds;
  uint32_t reserved[5] = {};
  MirrorRecord mirrorV;
  MirrorRecord mirrorH;
  uint32_t bitsPerPixel = 0;  // 8, 12 or 16
  uint32_t pixelClockKhz = 0;
  uint32_t orientation = 0;  // read by the frame assembly
};

// Default mode flags; bit 16 selects the alternate register path of MT9J001.
inline constexpr uint32_t kDefaultModeFlags = 15;
inline constexpr uint32_t kModeFlagAltRegisterPath = 0x10000;
// "Not available" answer of GetCorrectionMode and GetOutputMode.
inline constexpr uint32_t kNotAvailable = 0xFFFFFFFF;

class CSensorBase {
 public:
  // A driver with a zeroed record: every operation answers its default.
  CSensorBase(CControllerBase* controller, uint8_t busAddress);
  // A driver whose record, model number and orientation come from its table row.
  CSensorBase(CControllerBase* controller, uint8_t busAddress, const SensorConstants& constants);
  CSensorBase(const CSensorBase&) = delete;
  CSensorBase& operator=(const CSensorBase&) = delete;

  // ---- Virtual operations, in slot order. ----
  virtual ~CSensorBase();
  virtual uint32_t SetModelId(uint32_t modelNumber);
  virtual uint32_t SetModeFlags(uint32_t flags);
  virtual uint32_t GetModeFlags();
  virtual uint32_t CheckSensor() { return 0; }
  virtual uint32_t InitSensor() { return 0; }
  virtual uint32_t WakeSensor() { return 0; }
  virtual uint32_t ResetSensor() { return 0; }
  virtual uint32_t SetCaptureArea(uint32_t /*x*/, uint32_t /*width*/, uint32_t /*y*/,
                                  uint32_t /*height*/, uint32_t /*areaFlag*/) {
    return 0;
  }
  virtual uint32_t GetCaptureArea(uint32_t* /*x*/, uint32_t* /*width*/, uint32_t* /*y*/,
                                  uint32_t* /*height*/, uint32_t* /*areaFlag*/) {
    return 0;
  }
  virtual uint32_t SetTriggerMode(uint32_t /*mode*/) { return 0; }
  virtual uint32_t GetTriggerMode(uint32_t* /*mode*/) { return 0; }
  virtual uint32_t SetTriggerOption(uint32_t /*value*/) { return 0; }
  virtual uint32_t ApplyTriggerOption(uint32_t /*a*/, uint32_t /*b*/) { return 0; }
  virtual uint32_t HasTriggerOption() { return 0; }
  virtual uint32_t SetDataBits(uint32_t /*sixteenBit*/) { return 0; }
  virtual uint32_t SetExposureLines(uint32_t /*lines*/) { return 0; }
  virtual uint32_t GetExposureLines(uint32_t* /*lines*/) { return 0; }
  virtual uint32_t SetGlobalGain(uint32_t /*gain*/) { return 0; }
  virtual uint32_t GetGlobalGain(uint32_t* /*gain*/) { return 0; }
  virtual uint32_t SetColorGainRed(uint32_t /*gain*/) { return 0; }
  virtual uint32_t GetColorGainRed(uint32_t* /*gain*/) { return 0; }
  virtual uint32_t SetColorGainGreen1(uint32_t /*gain*/) { return 0; }
  virtual uint32_t GetColorGainGreen1(uint32_t* /*gain*/) { return 0; }
  virtual uint32_t SetColorGainGreen2(uint32_t /*gain*/) { return 0; }
  virtual uint32_t GetColorGainGreen2(uint32_t* /*gain*/) { return 0; }
  virtual uint32_t SetColorGainBlue(uint32_t /*gain*/) { return 0; }
  virtual uint32_t GetColorGainBlue(uint32_t* /*gain*/) { return 0; }
  virtual uint32_t GetExposureLinesMin(uint32_t* /*lines*/) { return 0; }
  virtual uint32_t GetExposureLinesMax(uint32_t* /*lines*/) { return 0; }
  virtual uint32_t GetExposureLinesDefault(uint32_t* /*lines*/) { return 0; }
  virtual uint32_t GetGlobalGainMin(uint32_t* /*gain*/) { return 0; }
  virtual uint32_t GetGlobalGainMax(uint32_t* /*gain*/) { return 0; }
  virtual uint32_t GetGlobalGainDefault(uint32_t* /*gain*/) { return 0; }
  virtual uint32_t GetColorGainMin(uint32_t* /*gain*/) { return 0; }
  virtual uint32_t GetColorGainMax(uint32_t* /*gain*/) { return 0; }
  virtual uint32_t GetColorGainDefault(uint32_t* /*gain*/) { return 0; }
  // Channels 1..4 of a CCD analog front end.
  virtual uint32_t SetChannelGain(uint32_t /*channel*/, uint32_t /*value*/) { return 0; }
  virtual uint32_t GetChannelGain(uint32_t /*channel*/, uint32_t* /*value*/) { return 0; }
  virtual uint32_t GetChannelGainMin(uint32_t* /*value*/) { return 0; }
  virtual uint32_t GetChannelGainMax(uint32_t* /*value*/) { return 0; }
  virtual uint32_t GetChannelGainDefault(uint32_t* /*value*/) { return 0; }
  virtual uint32_t SetChannelOffset(uint32_t /*channel*/, uint32_t /*value*/) { return 0; }
  virtual uint32_t GetChannelOffset(uint32_t /*channel*/, uint32_t* /*value*/) { return 0; }
  virtual uint32_t GetChannelOffsetMin(uint32_t* /*value*/) { return 0; }
  virtual uint32_t GetChannelOffsetMax(uint32_t* /*value*/) { return 0; }
  virtual uint32_t GetChannelOffsetDefault(uint32_t* /*value*/) { return 0; }
  // Analog gain: the record getters write the field and return the supported flag.
  virtual uint32_t IsAnalogGainSupported();
  virtual uint32_t SetAnalogGain(uint32_t /*value*/) { return 0; }
  virtual uint32_t GetAnalogGain(uint32_t* value);
  virtual uint32_t GetAnalogGainMin(uint32_t* value);
  virtual uint32_t GetAnalogGainMax(uint32_t* value);
  virtual uint32_t GetAnalogGainDefault(uint32_t* value);
  // Gain mode, same pattern.
  virtual uint32_t IsGainModeSupported();
  virtual uint32_t GetGainModeMin(uint32_t* value);
  virtual uint32_t GetGainModeMax(uint32_t* value);
  virtual uint32_t GetGainModeDefault(uint32_t* value);
  virtual uint32_t GetGainModeCurrent(uint32_t* value);
  virtual uint32_t SetGainMode(uint32_t /*value*/) { return 0; }
  virtual uint32_t GetGainMode(uint32_t* /*value*/) { return 0; }
  // Writes at most size bytes (8 are enough) including the terminating zero.
  virtual uint32_t GetGainModeLabel(uint32_t /*step*/, char* /*text*/, uint32_t /*size*/) {
    return 0;
  }
  // Exposure in units of 0.1 ms.
  virtual uint32_t SetExposureTime(uint32_t /*time*/) { return 0; }
  virtual uint32_t GetExposureTime(uint32_t* /*time*/) { return 0; }
  virtual uint32_t GetExposureTimeMin(uint32_t* /*time*/) { return 0; }
  virtual uint32_t GetExposureTimeMax(uint32_t* /*time*/) { return 0; }
  virtual uint32_t GetExposureTimeDefault(uint32_t* /*time*/) { return 0; }
  virtual uint32_t SetMirrorV(uint32_t /*on*/) { return 0; }
  virtual uint32_t GetMirrorV(uint32_t* /*on*/) { return 0; }
  virtual uint32_t SetMirrorH(uint32_t /*on*/) { return 0; }
  virtual uint32_t GetMirrorH(uint32_t* /*on*/) { return 0; }
  // These four return the record value itself.
  virtual uint32_t GetMirrorVDefault();
  virtual uint32_t GetMirrorHDefault();
  virtual uint32_t IsMirrorVSupported();
  virtual uint32_t IsMirrorHSupported();
  // operation 0 sets, 1 gets; the parameter is in/out.
  virtual uint32_t AccessSensorParameter(uint32_t /*operation*/, uint32_t* /*parameter*/) {
    return 0;
  }
  virtual uint32_t WriteSensorRegister(uint32_t /*address*/, uint32_t /*value*/) { return 0; }
  virtual uint32_t ReadSensorRegister(uint32_t /*address*/, uint32_t* /*value*/) { return 0; }
  virtual uint32_t WriteSensorRegisterVerified(uint32_t /*address*/, uint32_t /*value*/) {
    return 0;
  }
  virtual uint32_t ReadSensorRegisterRetry(uint32_t /*address*/, uint32_t* /*value*/) { return 0; }
  virtual uint32_t Reserved79() { return 0; }
  virtual uint32_t Reserved80() { return 0; }
  virtual uint32_t Reserved81() { return 0; }
  virtual uint32_t Reserved82() { return 0; }
  virtual uint32_t Reserved83() { return 0; }
  // Clock mode 0, 1 or 2.
  virtual uint32_t SetSamplingRate(uint32_t /*mode*/) { return 0; }
  virtual uint32_t GetSamplingRate(uint32_t* /*mode*/) { return 0; }
  virtual uint32_t Reserved86() { return 0; }
  virtual uint32_t Reserved87() { return 0; }
  // Copies the whole record; 0 for a null pointer.
  virtual uint32_t GetSensorInfo(SensorInfo* info);
  virtual void StartStream() {}
  virtual void StopStream() {}
  virtual uint32_t GetFirmwareFlag() { return 0; }
  virtual uint32_t SetReadoutSpeed(uint32_t /*speed*/) { return 0; }
  virtual uint32_t GetReadoutSpeed(uint32_t* /*speed*/) { return 0; }
  virtual uint32_t IsPeltierSupported() { return 0; }
  // Returns the cooling state (0 also when unsupported).
  virtual uint32_t GetPeltier() { return 0; }
  // On for 1, off for anything else.
  virtual uint32_t SetPeltier(uint32_t /*on*/) { return 0; }
  virtual uint32_t IsTemperatureSupported() { return 0; }
  // Degrees Celsius.
  virtual uint32_t GetTemperature(double* /*celsius*/) { return 0; }
  virtual void StartMonitor() {}
  virtual void StopMonitor() {}
  virtual uint32_t IsMonitorRunning() { return 0; }
  virtual uint32_t ApplyMonitorSetting() { return 0; }
  virtual uint32_t GetSensorMode(uint32_t* /*state*/) { return 0; }
  virtual uint32_t SetSensorMode(uint32_t /*state*/) { return 0; }
  // Returns the number of bytes stored (0 on failure).
  virtual uint32_t ReceiveText(char* /*buffer*/, uint32_t /*size*/) { return 0; }
  virtual uint32_t SendText(const char* /*text*/, uint32_t /*length*/) { return 0; }
  virtual uint32_t HasOperationMode() { return 0; }
  virtual uint32_t GetOperationModeState(uint32_t* /*state*/) { return 0; }
  virtual uint32_t SetOperationMode(uint32_t /*mode*/) { return 0; }
  virtual uint32_t IsOperationModeReady() { return 0; }
  virtual uint32_t Reserved112() { return 0; }
  virtual uint32_t Reserved113() { return 0; }
  // Whole degrees Celsius.
  virtual uint32_t GetCoolingTarget(int32_t* /*celsius*/) { return 0; }
  virtual uint32_t SetCoolingTarget(int32_t /*celsius*/) { return 0; }
  // Seconds exposure: the record getters write the field and return the
  // supported flag.
  virtual uint32_t IsExposureTimeExSupported();
  virtual uint32_t GetExposureTimeExMin(double* seconds);
  virtual uint32_t GetExposureTimeExMax(double* seconds);
  virtual uint32_t GetExposureTimeExDefault(double* seconds);
  virtual uint32_t GetExposureTimeEx(double* seconds);
  virtual uint32_t SetExposureTimeEx(double /*seconds*/) { return 0; }
  virtual uint32_t HasAutoCorrection() { return 0; }
  virtual uint32_t GetAutoCorrection(uint32_t* /*value*/) { return 0; }
  virtual uint32_t SetAutoCorrection(uint32_t /*value*/) { return 0; }
  virtual uint32_t CheckModuleVersion() { return 0; }
  virtual uint32_t GetModuleInfo(uint32_t* /*info*/) { return 0; }
  virtual uint32_t HasCorrectionMode() { return 0; }
  virtual uint32_t GetCorrectionMode() { return kNotAvailable; }
  virtual uint32_t SetCorrectionMode(uint32_t /*mode*/) { return 0; }
  virtual uint32_t SetOutputMode(uint32_t /*mode*/) { return 0; }
  virtual uint32_t GetOutputMode() { return kNotAvailable; }
  virtual uint32_t SetOutputModeValue(uint32_t /*value*/) { return 0; }
  virtual uint32_t IsColorModeSupported() { return 1; }
  virtual uint32_t IsBinningSupported() { return 1; }
  virtual uint32_t IsSubSampleSupported() { return 1; }
  virtual uint32_t HasExtraOption() { return 0; }
  virtual uint32_t EnableExtraOption() { return 0; }

  // The answer of a getter: value to *out and 1, or 0 for a null pointer.
  template <typename T>
  static uint32_t Put(T* out, T value) {
    if (out == nullptr) return 0;
    *out = value;
    return 1;
  }

  // ---- Non-virtual accessors. ----
  const SensorInfo& Info() const { return info_; }
  uint32_t ModelNumber() const { return model_number_; }
  uint8_t BusAddress() const { return bus_address_; }
  CControllerBase* Controller() const { return controller_; }

 protected:
  // Busy-flag loops: up to 100 attempts 3 ms apart, each attempt only while
  // FPGA register 2 reads 0. The write calls WriteSensorRegister, the read
  // ReadSensorRegister (both virtual, so the driver's channel is used).
  uint32_t BusyWaitWrite(uint32_t address, uint32_t value);
  uint32_t BusyWaitRead(uint32_t address, uint32_t* value);

  // The common SetDataBits: 16 bits per pixel for a non-zero flag, else 8,
  // then re-applies the current capture area so the transfer size follows.
  // On failure the previous bit depth is restored.
  uint32_t ApplyDataBits(uint32_t sixteenBit);

  // FPGA version read once through the controller and cached (re-read while
  // the cache is 0); 0 without controller.
  uint16_t FpgaVersion();

  // Sleeps ms milliseconds with the timer resolution raised to 1 ms.
  static void WaitMs(uint32_t ms);

  SensorInfo info_;
  uint64_t reserved_words_[4] = {};
  CControllerBase* const controller_;  // borrowed; may be null
  const uint8_t bus_address_;
  uint32_t mode_flags_ = kDefaultModeFlags;
  std::atomic<uint16_t> fpga_version_{0};
  uint32_t model_number_ = 0;
  uint32_t driver_words_[5] = {};
};

}  // namespace vexcam
