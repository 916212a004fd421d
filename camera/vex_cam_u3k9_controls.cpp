// Exposure, gain, timing and geometry of the camera device model: the
// operations with per-product rules (capture area, data width, trigger,
// readout speed, level value).
#include "camera/fpga_registers.h"
#include "camera/vex_cam_u3k9_base.h"
#include "platform/clock.h"

namespace vexcam {

namespace {
constexpr uint32_t kLongExposure = 50000;  // 5 s in 0.1 ms
constexpr double kLongExposureSeconds = 2.0;
}  // namespace

uint32_t CVexCamU3K9Base::SetCaptureArea(uint32_t x, uint32_t y, uint32_t width, uint32_t height,
                                         uint32_t areaFlag) {
  std::lock_guard<std::mutex> lock(controlMutex_);
  if (!sensor_) return 0;
  std::lock_guard<std::mutex> driver(driverMutex_);
  SensorInfo info;
  sensor_->GetSensorInfo(&info);
  if (!Row().reappliesSameArea && x == info.areaX && y == info.areaY && width == info.areaWidth &&
      height == info.areaHeight && areaFlag == info.areaFlag) {
    return 1;
  }
  if (!sensor_->SetCaptureArea(x, width, y, height, areaFlag)) return 0;
  // The driver keeps the (possibly aligned) area in its record; reading it
  // back through the driver keeps its own view current.
  uint32_t rx = 0, rw = 0, ry = 0, rh = 0, rf = 0;
  sensor_->GetCaptureArea(&rx, &rw, &ry, &rh, &rf);
  settingsChanged_.store(true);
  return 1;
}

uint32_t CVexCamU3K9Base::GetCaptureArea(uint32_t* x, uint32_t* y, uint32_t* width,
                                         uint32_t* height, uint32_t* areaFlag) {
  SensorInfo info;
  if (!GetSensorInfo(&info)) return 0;
  if (x) *x = info.areaX;
  if (y) *y = info.areaY;
  if (width) *width = info.areaWidth;
  if (height) *height = info.areaHeight;
  if (areaFlag) *areaFlag = info.areaFlag;
  return 1;
}

uint32_t CVexCamU3K9Base::ApplyDataBits(uint32_t bits) {
  dataBitsMode_.store(bits);
  settingsChanged_.store(true);
  return ApplyCaptureSettingsLocked();
}

bool CVexCamU3K9Base::WriteGeneralDataWidth(bool sixteen) {
  if (!HasFpgaRegisters()) return transport_->WriteCommandByte(sixteen ? 1 : 0) != 0;
  return WriteReg(kFpgaDataWidth, sixteen ? 2 : 1);
}

uint32_t CVexCamU3K9Base::SetDataBitsGeneral(uint32_t mode) {
  if (Row().dataBits == DataBitsRule::kAlwaysWide || mode == 1) {
    if (!WriteGeneralDataWidth(true)) return 0;
    if (dataBitsMode_.load() == 1) return 1;
    return ApplyDataBits(1);
  }
  if (!WriteGeneralDataWidth(false)) return 0;
  if (dataBitsMode_.load() == mode) return 1;
  return ApplyDataBits(mode);
}

uint32_t CVexCamU3K9Base::SetDataBits(uint32_t mode) {
  std::lock_guard<std::mutex> lock(controlMutex_);
  return SetDataBitsLocked(mode);
}

uint32_t CVexCamU3K9Base::SetDataBitsLocked(uint32_t mode) {
  if (!transport_) return 0;
  const ProductRow& row = Row();
  const uint32_t b = mode != 0 ? 1 : 0;
  // Only a product with three data widths takes mode 2; elsewhere it would
  // size the buffers for 16 bits while the camera sends 8.
  if (mode >= row.dataModes) return 0;
  switch (row.dataBits) {
    case DataBitsRule::kForwardFirst:
      SetDriverDataBits(mode);
      return SetDataBitsGeneral(mode);
    case DataBitsRule::kOwnRegister:
      if (WriteReg(row.dataWidthRegister, row.dataWidthValues[mode])) return ApplyDataBits(b);
      break;
    case DataBitsRule::kOwnRegisterThenDriver:
      if (!WriteReg(row.dataWidthRegister, row.dataWidthValues[mode])) break;
      [[fallthrough]];
    case DataBitsRule::kDriver:
      dataBitsMode_.store(b);
      SetDriverDataBits(mode);
      return ApplyDataBits(b);
    case DataBitsRule::kNone:
      return 1;
    case DataBitsRule::kGeneral:
    case DataBitsRule::kAlwaysWide:
      break;
  }
  return SetDataBitsGeneral(mode);
}

uint32_t CVexCamU3K9Base::SetSamplingRate(uint32_t rate) {
  if (HasFpgaRegisters() && rate == 2 && transport_) {
    uint32_t code = 0;
    if (transport_->GetBusSpeed(&code) && code != kSpeedSuper) rate = 0;
  }
  std::lock_guard<std::mutex> lock(driverMutex_);
  if (!sensor_) return 0;
  return sensor_->SetSamplingRate(rate);
}

uint32_t CVexCamU3K9Base::SetExposureTime(uint32_t time) {
  std::lock_guard<std::mutex> lock(driverMutex_);
  if (!sensor_) return 0;
  frameTimeoutMs_.store(time <= kLongExposure ? kDefaultFrameTimeoutMs : time / 5);
  if (Row().exposure == ExposureRule::kTransferThread) {
    pendingExposure_.store(time);
    pendingExposureSet_.store(true);
    return 1;
  }
  return sensor_->SetExposureTime(time);
}

uint32_t CVexCamU3K9Base::SetExposureTimeEx(double seconds) {
  std::lock_guard<std::mutex> lock(driverMutex_);
  if (!sensor_) return 0;
  if (seconds > kLongExposureSeconds) {
    const double ms = (seconds + 1.0) * 1000.0;
    frameTimeoutMs_.store(ms >= 4294967295.0 ? 0xFFFFFFFF : static_cast<uint32_t>(ms));
  }
  return sensor_->SetExposureTimeEx(seconds);
}

uint32_t CVexCamU3K9Base::SetTriggerMode(uint32_t mode, uint32_t force) {
  TriggerWait wait = TriggerWait::kNone;
  uint64_t generation = 0;
  {
    std::lock_guard<std::mutex> lock(controlMutex_);
    if (!sensor_) return 0;
    const ProductRow& row = Row();
    if (row.trigger == TriggerRule::kNone) return 1;
    if (force == 0 && lastTriggerMode_ == static_cast<int64_t>(mode)) return 1;
    StopCaptureLocked();
    OpenFrameEvent();
    bool general = false;
    switch (row.trigger) {
      case TriggerRule::kNone:
      case TriggerRule::kGeneral:
        general = true;
        break;
      case TriggerRule::kMaskedFpga36:
        WriteReg(kFpgaTrigger, mode & 0x83);
        lastTriggerMode_ = mode & 0x83;
        return 1;
      case TriggerRule::kPrimedHeader:
        WriteReg(kFpgaTrigger, mode != 0 ? 1 : 0);
        SetDriverTriggerMode(mode);
        if (mode != 0) wait = StartPrimingRead();
        break;
      case TriggerRule::kFpga48:
        SetDriverTriggerMode(1);
        WriteReg(kFpgaTriggerGate, 0);
        if (mode != 0) {
          WriteReg(kFpgaTriggerGate, 1);
        } else {
          SetDriverTriggerMode(0);
        }
        break;
      case TriggerRule::kCooledArea:
        general = !SetCooledTrigger(mode, &wait);
        break;
      case TriggerRule::kDriver:
        SetDriverTriggerMode(mode);
        break;
      case TriggerRule::kDriverMode3:
        SetDriverTriggerMode(mode != 0 ? 3 : 0);
        break;
    }
    if (general) {
      SetDriverTriggerMode(mode);
      if (mode == 1) ReadFpgaStatus();
    }
    lastTriggerMode_ = mode;
    generation = stopGeneration_.load();
  }
  FinishTrigger(wait, generation);
  return 1;
}

CVexCamU3K9Base::TriggerWait CVexCamU3K9Base::StartPrimingRead() {
  // One header-only read primes the trigger; the next frame is awaited after.
  frameCounter_.store(0);
  return StartCaptureLocked(kCaptureHeaderOnly) ? TriggerWait::kHeaderRead : TriggerWait::kNone;
}

bool CVexCamU3K9Base::SetCooledTrigger(uint32_t mode, TriggerWait* wait) {
  // Without transport nothing is done; an older FPGA takes the general path.
  if (!transport_) return true;
  uint16_t version = 0;
  transport_->GetFpgaVersion(&version);
  if (version <= 0x110) return false;
  if (mode == 0) {
    SetDriverTriggerMode(0);
  } else if (mode == 1) {
    const uint32_t started = StartCaptureLocked(kCaptureNextFrame);
    SetDriverTriggerMode(1);
    if (started) *wait = TriggerWait::kFirstFrame;
  }
  return true;
}

void CVexCamU3K9Base::FinishTrigger(TriggerWait wait, uint64_t generation) {
  switch (wait) {
    case TriggerWait::kNone:
      return;
    case TriggerWait::kHeaderRead:
      SleepMs(10);
      if (threadEnd_.Wait(5000) == WaitResult::kSignalled) {
        SleepMs(10);
        std::lock_guard<std::mutex> lock(controlMutex_);
        if (stopGeneration_.load() == generation) StartCaptureLocked(kCaptureNextFrame);
      }
      return;
    case TriggerWait::kFirstFrame:
      if (WaitFrame(60000) == kWaitNewFrame) {
        std::lock_guard<std::mutex> lock(controlMutex_);
        if (stopGeneration_.load() == generation) ReadFpgaStatus();
      }
      return;
  }
}

// ---------------------------------------------------------------- readout speed, level

uint32_t CVexCamU3K9Base::HasReadoutSpeed() {
  std::lock_guard<std::mutex> lock(controlMutex_);
  std::lock_guard<std::mutex> driver(driverMutex_);
  return HasReadoutSpeedLocked();
}

uint32_t CVexCamU3K9Base::HasReadoutSpeedLocked() {
  if (!sensor_) return 0;
  const ReadoutRule rule = Row().readout;
  if (rule == ReadoutRule::kFpga144 || rule == ReadoutRule::kSromConfig) return 1;
  return sensor_->GetFirmwareFlag();
}

uint32_t CVexCamU3K9Base::GetReadoutSpeed() {
  std::lock_guard<std::mutex> lock(controlMutex_);
  std::lock_guard<std::mutex> driver(driverMutex_);
  return GetReadoutSpeedLocked();
}

uint32_t CVexCamU3K9Base::GetReadoutSpeedLocked() {
  if (!sensor_ || !HasReadoutSpeedLocked()) return 0;
  uint8_t value = 0;
  switch (Row().readout) {
    case ReadoutRule::kNone:
      return 0;
    case ReadoutRule::kFpga144:
      return ReadReg(kFpgaReadoutSpeed, &value) && value == 15 ? 1 : 0;
    case ReadoutRule::kFpga209:
      return ReadReg(kFpgaReadoutMode, &value) ? (value & 1) : 0;
    case ReadoutRule::kSromConfig: {
      uint32_t v = 0;
      sensor_->GetReadoutSpeed(&v);
      if (v < 1 || v > 8) return 0;
      uint8_t stored = 0;
      if (!ReadSromConfig(&stored) || stored < 1 || stored > 8) {
        WriteSromConfig(static_cast<uint8_t>(v));
      }
      return 1;
    }
  }
  return 0;
}

uint32_t CVexCamU3K9Base::SetReadoutSpeed(uint32_t on) {
  std::lock_guard<std::mutex> lock(controlMutex_);
  std::lock_guard<std::mutex> driver(driverMutex_);
  return SetReadoutSpeedLocked(on);
}

uint32_t CVexCamU3K9Base::SetReadoutSpeedLocked(uint32_t on) {
  if (!HasReadoutSpeedLocked()) return 0;
  if (GetReadoutSpeedLocked() == on) return 1;
  uint8_t value = 0;
  switch (Row().readout) {
    case ReadoutRule::kNone:
      return 0;
    case ReadoutRule::kFpga144:
      return WriteReg(kFpgaReadoutSpeed, on ? 15 : 8) ? 1 : 0;
    case ReadoutRule::kFpga209:
      if (!ReadReg(kFpgaReadoutMode, &value)) return 0;
      value = on ? (value | 1) : (value & 0xFE);
      return WriteReg(kFpgaReadoutMode, value) ? 1 : 0;
    case ReadoutRule::kSromConfig:
      if (on && !ReadSromConfig(&value)) return 0;
      return sensor_->SetReadoutSpeed(on ? value : 0);
  }
  return 0;
}

uint32_t CVexCamU3K9Base::HasLevelValue() { return Row().levelValue && HasReadoutSpeed() ? 1 : 0; }

uint32_t CVexCamU3K9Base::SetLevelValue(uint32_t value) {
  if (!HasLevelValue()) return 0;
  const bool low = WriteReg(kFpgaLevelLow, value & 0xFF);
  const bool high = WriteReg(kFpgaLevelHigh, (value >> 8) & 0xFF);
  return low && high ? 1 : 0;
}

uint32_t CVexCamU3K9Base::GetLevelValue(uint32_t* value) {
  if (!HasLevelValue()) return 0;
  uint8_t low = 0;
  uint8_t high = 0;
  if (!ReadReg(kFpgaLevelLow, &low) || !ReadReg(kFpgaLevelHigh, &high)) return 0;
  if (value) *value = (static_cast<uint32_t>(high) << 8) | low;
  return 1;
}

uint32_t CVexCamU3K9Base::GetLevelValueMax() { return HasLevelValue() ? 65535 : 0; }

}  // namespace vexcam
