#include "camera/vex_cam_u3k9_base.h"

#include <pthread.h>
#include <sched.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "camera/fpga_registers.h"
#include "camera/sensor_factory.h"
#include "platform/clock.h"
#include "platform/debug_log.h"
#include "sensors/frame_geometry.h"
#include "sensors/update_strobe.h"
#include "transport/camera_products.h"

namespace vexcam {

namespace {

// Firmware word of device information block A (bytes 24..27).
constexpr uint32_t kFirmwareOffset = 24;
constexpr uint32_t kFirmwareResetsPipe = 0x1100;
constexpr uint32_t kFirmwareNew = 0x1101;

// A thread between two reads sees the cleared running flag within this time;
// one still blocked in a read is aborted.
constexpr uint32_t kStopGraceMs = 100;
constexpr uint32_t kAbortRetryMs = 20;

// Real-time priority where the system allows it; normal priority otherwise.
void RaiseThreadPriority(std::thread& thread) {
  sched_param param{};
  param.sched_priority = sched_get_priority_max(SCHED_FIFO);
  if (param.sched_priority > 0) {
    (void)pthread_setschedparam(thread.native_handle(), SCHED_FIFO, &param);
  }
}

}  // namespace

CVexCamU3K9Base::CVexCamU3K9Base() = default;

CVexCamU3K9Base::~CVexCamU3K9Base() { CVexCamU3K9Base::CloseCamera(nullptr); }

// ---------------------------------------------------------------- lifecycle

uint32_t CVexCamU3K9Base::CreateController(HWND notifyWindow, const uint32_t* guid) {
  std::lock_guard<std::mutex> lock(controlMutex_);
  return CreateControllerLocked(notifyWindow, guid);
}

uint32_t CVexCamU3K9Base::CreateControllerLocked(HWND notifyWindow, const uint32_t* guid) {
  CloseCameraLocked(notifyWindow);
  // Discovery opens only devices of the family's product ids.
  usb::SetCameraProductIds(FamilyProductIds());
  transport_.reset(new (std::nothrow) CVexCy3Cam(guid));
  return 1;
}

uint32_t CVexCamU3K9Base::WaitForFpgaReady(uint32_t attempts, bool keepAlive) {
  // Status byte 1 = ready; polled every 500 ms. A slow FPGA gets register
  // 129 = 1 every 25 s of waiting.
  for (uint32_t i = 0; i < attempts; ++i) {
    uint8_t status = 0;
    if (transport_->ReadStatusByte(&status) && status == 1) return 1;
    if (keepAlive && i > 0 && i % 50 == 0) WriteReg(kFpgaKeepAlive, 1);
    SleepMs(500);
  }
  return 0;
}

uint32_t CVexCamU3K9Base::InitCamera() {
  std::lock_guard<std::mutex> lock(controlMutex_);
  return InitCameraLocked();
}

uint32_t CVexCamU3K9Base::InitCameraLocked() {
  std::lock_guard<std::mutex> driver(driverMutex_);
  const ProductRow& row = Row();
  if (row.bringUp == BringUpRule::kNone) return 1;
  if (!transport_ || !transport_->PrepareTransferBuffer()) return 0;
  transport_->ReadDeviceInfoA(deviceInfoA_);
  if (!sensor_) return 0;
  if (!HasFpgaRegisters()) sensor_->SetModeFlags(kModeFlagAltRegisterPath);
  if (!BringUpQuirk(row.bringUp)) return 0;
  if (!sensor_->CheckSensor()) return 0;
  return sensor_->InitSensor();
}

bool CVexCamU3K9Base::BringUpQuirk(BringUpRule rule) {
  switch (rule) {
    case BringUpRule::kStandard:
    case BringUpRule::kNone:
      return true;
    case BringUpRule::kEnableSequence:
      WriteReg(kFpgaSensorEnable, 0);
      WriteReg(kFpgaSensorPower, 3);
      WriteReg(kFpgaSensorEnable, 1);
      return true;
    case BringUpRule::kWakeSensor:
      if (!sensor_->CheckSensor()) sensor_->WakeSensor();
      return true;
    case BringUpRule::kAwaitFpga: {
      uint8_t block[kDeviceInfoBytes] = {};
      const bool newFirmware =
          transport_->ReadDeviceInfoA(block) && LoadLe32(block + kFirmwareOffset) >= kFirmwareNew;
      uint8_t major = 0;
      uint8_t minor = 0;
      const bool read = ReadReg(kFpgaVersionMajor, &major) && ReadReg(kFpgaVersionMinor, &minor);
      const bool capable = read && ((major == 0 && minor >= 26) || (major == 16 && minor >= 27));
      return !(newFirmware && capable && !WaitForFpgaReady(400, true));
    }
    case BringUpRule::kAwaitFpgaOrReset: {
      uint8_t block[kDeviceInfoBytes] = {};
      const bool oldFirmware =
          !transport_->ReadDeviceInfoA(block) || LoadLe32(block + kFirmwareOffset) < kFirmwareNew;
      uint8_t major = 0;
      ReadReg(kFpgaVersionMajor, &major);
      if (!(oldFirmware && major < 9)) {
        if (WaitForFpgaReady(40, false)) {
          sensor_->WriteSensorRegister(0, 4);
        } else {
          sensor_->ResetSensor();
        }
      }
      return true;
    }
  }
  return true;
}

uint32_t CVexCamU3K9Base::CloseCamera(HWND notifyWindow) {
  std::lock_guard<std::mutex> lock(controlMutex_);
  return CloseCameraLocked(notifyWindow);
}

uint32_t CVexCamU3K9Base::CloseCameraLocked(HWND /*notifyWindow*/) {
  StopCaptureLocked();
  if (Row().ccdShutDown && sensor_) {
    {
      std::lock_guard<std::mutex> driver(driverMutex_);
      sensor_->WriteSensorRegister(0, 3);
      sensor_->WriteSensorRegister(32768, 3);
    }
    for (uint8_t reg : kFpgaCcdBias) {
      WriteReg(reg, 0);
      SleepMs(1);
    }
    WriteReg(kFpgaCcdPower, 0);
  }
  // The driver borrows the transport's controller: it goes first.
  {
    std::lock_guard<std::mutex> driver(driverMutex_);
    sensor_.reset();
  }
  if (transport_) transport_->CloseStream();
  transport_.reset();
  std::memset(deviceInfoA_, 0, sizeof(deviceInfoA_));
  captureMode_.store(kCaptureContinuous);
  staging_.reset();
  stagingCapacity_ = 0;
  ring_.Free();
  frameSize_ = 0;
  frameEventOpen_.store(false);
  threadEnd_.Reset();
  transferError_.store(false);
  return 1;
}

uint32_t CVexCamU3K9Base::ReopenCamera(uint32_t deviceNumber) {
  std::lock_guard<std::mutex> lock(controlMutex_);
  return ReopenCameraLocked(deviceNumber);
}

uint32_t CVexCamU3K9Base::ReopenCameraLocked(uint32_t deviceNumber) {
  StopCaptureLocked();
  return OpenCameraLocked(deviceNumber) ? 0 : 0xFFFFFFFF;
}

uint32_t CVexCamU3K9Base::OpenCamera(uint32_t deviceNumber) {
  std::lock_guard<std::mutex> lock(controlMutex_);
  return OpenCameraLocked(deviceNumber);
}

uint32_t CVexCamU3K9Base::OpenCameraLocked(uint32_t deviceNumber) {
  const uint32_t pid = productId_.load();
  if (!transport_ || pid == kNoProductId || transport_->EnumerateDevices() == 0) return 0;
  ConfigureStream();
  if (!IsDeviceAvailable(deviceNumber)) return 0;
  uint32_t index = 0xFFFFFFFF;
  const uint32_t count = transport_->DeviceCount();
  for (uint32_t i = 0; i < count; ++i) {
    DeviceRecord record;
    if (transport_->GetDeviceRecord(i, &record) && record.modelNumber >= 0 &&
        static_cast<uint32_t>(record.modelNumber) == deviceNumber &&
        record.productId == static_cast<uint16_t>(pid)) {
      index = i;
      break;
    }
  }
  // A running transfer thread uses the driver and the selected device.
  if (running_.load() || transferThread_.joinable()) StopCaptureLocked();
  if (!transport_->SelectDevice(index)) {
    settingsChanged_.store(true);
    return InitCameraLocked();
  }
  {
    std::lock_guard<std::mutex> driver(driverMutex_);
    sensor_.reset();
    sensor_ = CreateSensor(pid, transport_.get(), &chosenDriver_);
    if (!sensor_) return 0;
  }
  deviceNumber_.store(deviceNumber);
  settingsChanged_.store(true);
  return InitCameraLocked();
}

// ---------------------------------------------------------------- device table

uint32_t CVexCamU3K9Base::GetDeviceInfoA(uint8_t* block) {
  if (block == nullptr || !transport_) return 0;
  return transport_->ReadDeviceInfoA(block);
}

uint32_t CVexCamU3K9Base::GetDeviceInfoB(uint8_t* block) {
  if (block == nullptr || !transport_) return 0;
  return transport_->ReadDeviceInfoB(block);
}

void CVexCamU3K9Base::SetDriverDataBits(uint32_t mode) {
  std::lock_guard<std::mutex> driver(driverMutex_);
  if (sensor_) sensor_->SetDataBits(mode);
}

void CVexCamU3K9Base::SetDriverTriggerMode(uint32_t mode) {
  std::lock_guard<std::mutex> driver(driverMutex_);
  if (sensor_) sensor_->SetTriggerMode(mode);
}

uint32_t CVexCamU3K9Base::GetSensorInfo(SensorInfo* info) {
  std::lock_guard<std::mutex> lock(driverMutex_);
  if (!sensor_) return 0;
  return sensor_->GetSensorInfo(info);
}

uint32_t CVexCamU3K9Base::IsDeviceAvailable(uint32_t deviceNumber) {
  const uint32_t pid = productId_.load();
  if (!transport_ || pid == kNoProductId) return 0;
  const uint32_t count = transport_->DeviceCount();
  for (uint32_t i = 0; i < count; ++i) {
    DeviceRecord record;
    if (transport_->GetDeviceRecord(i, &record) && record.productId == static_cast<uint16_t>(pid) &&
        record.modelNumber >= 0 && static_cast<uint32_t>(record.modelNumber) == deviceNumber) {
      return transport_->IsDeviceOpenable(i) ? 1 : 0;
    }
  }
  return 0;
}

uint32_t CVexCamU3K9Base::GetDeviceCount(uint32_t productId) {
  if (!transport_) return 0;
  const uint32_t count = transport_->EnumerateDevices();
  if (productId == 0) return count;
  uint32_t n = 0;
  for (uint32_t i = 0; i < count; ++i) {
    DeviceRecord record;
    if (transport_->GetDeviceRecord(i, &record) && record.productId == productId &&
        transport_->IsDeviceOpenable(i)) {
      ++n;
    }
  }
  return n;
}

uint32_t CVexCamU3K9Base::GetDeviceName(uint32_t tableIndex, char* text, uint32_t size) {
  if (!transport_ || text == nullptr || size == 0) return 0;
  DeviceRecord record;
  if (!transport_->GetDeviceRecord(tableIndex, &record)) return 0;
  const char* format = ProductRowOf(record.productId).nameFormat;
  if (format == nullptr || !transport_->IsDeviceOpenable(tableIndex)) return 0;
  std::snprintf(text, size, format, static_cast<int>(record.modelNumber));
  return 1;
}

uint32_t CVexCamU3K9Base::SetProductId(uint32_t productId) {
  row_.store(&ProductRowOf(productId));
  productId_.store(productId);
  return 1;
}

void CVexCamU3K9Base::ConfigureStream() {
  const ProductRow& row = Row();
  StreamRules rules;
  rules.sleepInsteadOfStrobe = row.strobe == StrobeRule::kSleep;
  rules.commandPieceBytes = row.commandPieceBytes;
  transport_->SetStreamRules(rules);
}

uint32_t CVexCamU3K9Base::GetDeviceVendorId(uint32_t tableIndex) {
  DeviceRecord record;
  if (!transport_ || tableIndex >= kMaxDevices ||
      !transport_->GetDeviceRecord(tableIndex, &record)) {
    return 0;
  }
  return record.vendorId;
}

uint32_t CVexCamU3K9Base::GetDeviceProductId(uint32_t tableIndex) {
  DeviceRecord record;
  if (!transport_ || tableIndex >= kMaxDevices ||
      !transport_->GetDeviceRecord(tableIndex, &record)) {
    return 0;
  }
  return record.productId;
}

uint32_t CVexCamU3K9Base::GetDeviceModelIndex(uint32_t tableIndex) {
  DeviceRecord record;
  if (!transport_ || tableIndex >= kMaxDevices ||
      !transport_->GetDeviceRecord(tableIndex, &record)) {
    return 0xFFFFFFFF;
  }
  return static_cast<uint32_t>(record.modelNumber);
}

uint32_t CVexCamU3K9Base::IsModel3042() {
  return Row().framePath == FramePath::kAltEndpoint ? 1 : 0;
}

// ---------------------------------------------------------------- registers

bool CVexCamU3K9Base::WriteReg(uint8_t reg, uint8_t value) {
  return transport_ && transport_->WriteFpgaRegister(reg, value) != 0;
}

bool CVexCamU3K9Base::ReadReg(uint8_t reg, uint8_t* value) {
  return transport_ && transport_->ReadFpgaRegister(reg, value) != 0;
}

const SensorConstants& CVexCamU3K9Base::SensorRow() const {
  return SensorConstantsOf(ProductRowOf(productId_.load()).driver);
}

void CVexCamU3K9Base::UpdateStrobe() {
  uint32_t model = 0;
  {
    std::lock_guard<std::mutex> driver(driverMutex_);
    if (!sensor_ || !transport_) return;
    model = sensor_->ModelNumber();
  }
  PulseUpdateStrobe(transport_.get(), model);
}

uint32_t CVexCamU3K9Base::WriteFpgaRegister(uint8_t reg, uint8_t value) {
  if (!transport_ || !HasFpgaRegisters()) return 0;
  return transport_->WriteFpgaRegister(reg, value);
}

uint32_t CVexCamU3K9Base::ReadFpgaRegister(uint8_t reg, uint32_t* ok) {
  uint8_t value = 0;
  const bool read = transport_ && HasFpgaRegisters() && transport_->ReadFpgaRegister(reg, &value);
  if (ok != nullptr) *ok = read ? 1 : 0;
  return read ? value : 0;
}

uint32_t CVexCamU3K9Base::ReadFpgaStatus() {
  uint8_t value = 0;
  if (!ReadReg(kFpgaFrameCounter, &value)) return 0;
  frameCounter_.store(value);
  return 1;
}

uint32_t CVexCamU3K9Base::WriteSromId(uint16_t address, uint8_t value) {
  return transport_ ? transport_->WriteSromByte(address, value) : 0;
}

uint32_t CVexCamU3K9Base::ReadSromId(uint16_t address, uint8_t* value) {
  return transport_ && value != nullptr ? transport_->ReadSromByte(address, value) : 0;
}

uint32_t CVexCamU3K9Base::WriteSromConfig(uint8_t value) {
  return WriteSromId(kSromReadoutConfig, value);
}
uint32_t CVexCamU3K9Base::ReadSromConfig(uint8_t* value) {
  return ReadSromId(kSromReadoutConfig, value);
}

// ---------------------------------------------------------------- capture control

void CVexCamU3K9Base::OpenFrameEvent() {
  if (!frameEventOpen_.exchange(true)) frameEvent_.Reset();
}

uint32_t CVexCamU3K9Base::SetCaptureMode(uint32_t mode) {
  std::lock_guard<std::mutex> lock(controlMutex_);
  return SetCaptureModeLocked(mode);
}

uint32_t CVexCamU3K9Base::SetCaptureModeLocked(uint32_t mode) {
  if (!transport_) return 0;
  if (mode != captureMode_.load()) {
    StopCaptureLocked();
    OpenFrameEvent();
    if (mode == kCaptureNextFrame) {
      ring_.SetReadIndex(ring_.WriteIndex());
      ring_.MarkAllRead();
      ReadFpgaStatus();
    }
  }
  captureMode_.store(mode);
  return 1;
}

uint32_t CVexCamU3K9Base::StartCapture(uint32_t mode) {
  std::lock_guard<std::mutex> lock(controlMutex_);
  return StartCaptureLocked(mode);
}

uint32_t CVexCamU3K9Base::StartCaptureLocked(uint32_t mode) {
  if (running_.load()) {
    TimerResolution resolution(1);
    if (threadEnd_.Wait(5) != WaitResult::kSignalled) StopCaptureLocked();
  }
  OpenFrameEvent();
  if (!SetCaptureModeLocked(mode)) return 0;
  if (settingsChanged_.load()) ApplyCaptureSettingsLocked();
  threadEnd_.Reset();
  JoinFinishedThread();
  // The new loop starts clean: a WaitFrame right after this call must not see
  // the give-up of the previous capture.
  transferError_.store(false);
  running_.store(true);
  threadDone_.store(false);
  transferThread_ = std::thread([this] { RunTransferThread(); });
  if (transport_ && transport_->SelectedAllowsRealtimeReader())
    RaiseThreadPriority(transferThread_);
  if (sensor_ && !sensor_->IsMonitorRunning()) sensor_->StartMonitor();
  return 1;
}

void CVexCamU3K9Base::JoinFinishedThread() {
  if (transferThread_.joinable()) StopTransferThread();
}

void CVexCamU3K9Base::StopTransferThread() {
  if (!transferThread_.joinable()) return;
  running_.store(false);
  // A thread between two reads leaves by itself; one blocked in a read is
  // aborted, again until it has left (an abort cannot hit a read that has
  // not started yet).
  if (!threadDone_.load() && threadEnd_.Wait(kStopGraceMs) != WaitResult::kSignalled) {
    while (!threadDone_.load()) {
      if (transport_) transport_->AbortStream();
      if (threadEnd_.Wait(kAbortRetryMs) == WaitResult::kSignalled) break;
    }
  }
  transferThread_.join();
  threadEnd_.Reset();
}

uint32_t CVexCamU3K9Base::StopCapture() {
  std::lock_guard<std::mutex> lock(controlMutex_);
  return StopCaptureLocked();
}

uint32_t CVexCamU3K9Base::StopCaptureLocked() {
  stopGeneration_.fetch_add(1);
  if (sensor_) sensor_->StopMonitor();
  StopTransferThread();
  if (frameEventOpen_.exchange(false)) frameEvent_.Set();  // wakes a WaitFrame
  ResetTransfer();
  SleepMs(5);
  captureMode_.store(kCaptureContinuous);
  nextFrameCount_.store(0);
  return 1;
}

uint32_t CVexCamU3K9Base::ResetTransfer() {
  if (!transport_) return 0;
  const ProductRow& row = Row();
  if (row.transferReset == TransferResetQuirk::kSkip) return 1;
  if (row.framePath == FramePath::kAltEndpoint) {
    transport_->ResetDevicePort();
  } else {
    if (LoadLe32(deviceInfoA_ + kFirmwareOffset) >= kFirmwareResetsPipe) {
      transport_->ResetPipe(kEpFrameIn);
    }
    if (row.transferReset != TransferResetQuirk::kNoStrobe) UpdateStrobe();
    WriteReg(kFpgaTransferReset, 2);
    if (row.transferReset == TransferResetQuirk::kSettle) SleepMs(100);
  }
  transport_->SendStreamRestart();
  return 1;
}

uint32_t CVexCamU3K9Base::SetFrameTimeout(uint32_t ms) {
  frameTimeoutMs_.store(ms);
  return 1;
}

// ---------------------------------------------------------------- buffers and window

uint32_t CVexCamU3K9Base::ApplyCaptureSettings() {
  std::lock_guard<std::mutex> lock(controlMutex_);
  return ApplyCaptureSettingsLocked();
}

uint32_t CVexCamU3K9Base::ApplyCaptureSettingsLocked() {
  // The transfer thread writes into the buffers about to be replaced.
  StopTransferThread();
  staging_.reset();
  stagingCapacity_ = 0;
  std::lock_guard<std::mutex> driver(driverMutex_);
  if (!sensor_) return 0;
  SensorInfo info;
  sensor_->GetSensorInfo(&info);
  const ProductRow& row = Row();
  const uint32_t planes = row.planes;
  const uint32_t b = BytesPerPixelOfMode(dataBitsMode_.load());
  const uint64_t s = FrameSizeBytes(info.areaWidth, info.areaHeight, b) * planes;
  const uint64_t q = FrameCapacityBytes(info.areaWidth, info.areaHeight, b) * planes;
  if (q > 0xFFFFFFFFull) {
    ring_.Free();
    frameSize_ = 0;
    return 0;
  }
  staging_.reset(new (std::nothrow) uint8_t[q]);
  if (!staging_) {
    ring_.Free();
    return 0;
  }
  stagingCapacity_ = static_cast<uint32_t>(q);
  frameSize_ = static_cast<uint32_t>(s);

  FrameLayout layout;
  layout.width = info.areaWidth;
  layout.height = info.areaHeight;
  layout.bytesPerPixel = b;
  layout.planes = planes;
  layout.frameBytes = frameSize_;
  layout.slotBytes = stagingCapacity_;
  layout.orientation = info.orientation;
  if (row.bottomUpRows) {
    layout.bottomUpRowRule = true;
    layout.dropLastRow = sensor_->CheckModuleVersion() == 0;
  }
  if (!ring_.Allocate(layout)) {
    staging_.reset();
    stagingCapacity_ = 0;
    return 0;
  }
  // Without an FPGA register file there are no window registers to program.
  if (!HasFpgaRegisters()) return 0;
  return ApplyWindowRegisters(info);
}

void CVexCamU3K9Base::WriteRegPair(uint8_t low, uint8_t high, uint32_t value) {
  WriteReg(low, value & 0xFF);
  WriteReg(high, (value >> 8) & 0xFF);
}

uint32_t CVexCamU3K9Base::ApplyWindowRegisters(const SensorInfo& info) {
  const ProductRow& row = Row();
  const uint32_t w = info.areaWidth;
  const uint32_t h = info.areaHeight;
  switch (row.window) {
    case WindowRegisterSet::kAlternate:
      WriteRegPair(kFpgaAltWindowWidthLow, kFpgaAltWindowWidthHigh, w);
      WriteRegPair(kFpgaAltWindowHeightLow, kFpgaAltWindowHeightHigh, h);
      break;
    case WindowRegisterSet::kNone:
      break;
    case WindowRegisterSet::kNoneDone:
      return 1;
    case WindowRegisterSet::kStandard:
      WriteRegPair(kFpgaWindowWidthLow, kFpgaWindowWidthHigh, w);
      WriteRegPair(kFpgaWindowHeightLow, kFpgaWindowHeightHigh, h);
      break;
  }
  uint8_t fpga17 = 0;
  if (NeedsFpgaRevision(row)) ReadReg(kFpgaRevision, &fpga17);
  const OffsetRegisters offsets =
      OffsetRegistersOf(row, info, sensor_->IsBinningSupported(), fpga17);
  if (offsets.present) {
    WriteRegPair(kFpgaOffsetALow, kFpgaOffsetAHigh, offsets.a);
    WriteRegPair(kFpgaOffsetBLow, kFpgaOffsetBHigh, offsets.b);
  }
  switch (row.windowQuirk) {
    case WindowQuirk::kNone:
      break;
    case WindowQuirk::kSettle:
      SleepMs(200);
      break;
    case WindowQuirk::kHeightByte192:
      WriteReg(kFpgaWindowHeightLow, 192);
      SleepMs(1);
      break;
    case WindowQuirk::kHeightByte34Strobe:
      WriteReg(kFpgaWindowHeightLow, 34);
      SleepMs(1);
      PulseUpdateStrobe(transport_.get(), sensor_->ModelNumber());
      break;
    case WindowQuirk::kClearTransferReset:
      WriteReg(kFpgaTransferReset, 0);
      break;
    case WindowQuirk::kStrobe:
      PulseUpdateStrobe(transport_.get(), sensor_->ModelNumber());
      break;
  }
  settingsChanged_.store(false);
  return 1;
}

}  // namespace vexcam
