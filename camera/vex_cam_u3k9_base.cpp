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
#include "transport/camera_products.h"

namespace vexcam {

namespace {

// Firmware word of device information block A (bytes 24..27).
constexpr uint32_t kFirmwareOffset = 24;
constexpr uint32_t kFirmwareResetsPipe = 0x1100;
constexpr uint32_t kFirmwareNew = 0x1101;

constexpr uint32_t kTransferRetries = 5;
constexpr uint32_t kCommandRetries = 10;
constexpr uint32_t kAltRetries = 10;
constexpr uint32_t kAltGiveUpMs = 10000;
constexpr uint32_t kGrabPayloadTimeoutMs = 3000;
// A thread between two reads sees the cleared running flag within this time;
// one still blocked in a read is aborted.
constexpr uint32_t kStopGraceMs = 100;
constexpr uint32_t kAbortRetryMs = 20;

uint32_t LoadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// In next-frame mode some cameras do not resend a frame: a failure is final.
bool GivesUpAtOnce(const ProductRow& row, uint32_t mode) {
  return row.retry == RetryRule::kNoRetryOnNext && mode == kCaptureNextFrame;
}

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
  std::lock_guard<std::recursive_mutex> lock(controlMutex_);
  CloseCamera(notifyWindow);
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
  std::lock_guard<std::recursive_mutex> lock(controlMutex_);
  std::lock_guard<std::recursive_mutex> driver(driverMutex_);
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

uint32_t CVexCamU3K9Base::CloseCamera(HWND /*notifyWindow*/) {
  std::lock_guard<std::recursive_mutex> lock(controlMutex_);
  StopCapture();
  if (Row().ccdShutDown && sensor_) {
    {
      std::lock_guard<std::recursive_mutex> driver(driverMutex_);
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
    std::lock_guard<std::recursive_mutex> driver(driverMutex_);
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
  std::lock_guard<std::recursive_mutex> lock(controlMutex_);
  StopCapture();
  return OpenCamera(deviceNumber) ? 0 : 0xFFFFFFFF;
}

uint32_t CVexCamU3K9Base::OpenCamera(uint32_t deviceNumber) {
  std::lock_guard<std::recursive_mutex> lock(controlMutex_);
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
  if (running_.load() || transferThread_.joinable()) StopCapture();
  if (!transport_->SelectDevice(index)) {
    settingsChanged_.store(true);
    return InitCamera();
  }
  {
    std::lock_guard<std::recursive_mutex> driver(driverMutex_);
    sensor_.reset();
    sensor_ = CreateSensor(pid, transport_.get(), &chosenDriver_);
    if (!sensor_) return 0;
  }
  deviceNumber_.store(deviceNumber);
  settingsChanged_.store(true);
  return InitCamera();
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
  std::lock_guard<std::recursive_mutex> driver(driverMutex_);
  if (sensor_) sensor_->SetDataBits(mode);
}

void CVexCamU3K9Base::SetDriverTriggerMode(uint32_t mode) {
  std::lock_guard<std::recursive_mutex> driver(driverMutex_);
  if (sensor_) sensor_->SetTriggerMode(mode);
}

uint32_t CVexCamU3K9Base::GetSensorInfo(SensorInfo* info) {
  std::lock_guard<std::recursive_mutex> lock(driverMutex_);
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

void CVexCamU3K9Base::UpdateStrobe() {
  uint32_t model = 0;
  {
    std::lock_guard<std::recursive_mutex> driver(driverMutex_);
    if (!sensor_ || !transport_) return;
    model = sensor_->ModelNumber();
  }
  if (model == 122) return;
  const uint8_t reg = (model == 103 || model == 115) ? kFpgaUpdateStrobeAlt : kFpgaUpdateStrobeStd;
  WriteReg(reg, 1);
  SleepMs(1);
  WriteReg(reg, 0);
  SleepMs(1);
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
  std::lock_guard<std::recursive_mutex> lock(controlMutex_);
  if (!transport_) return 0;
  if (mode != captureMode_.load()) {
    StopCapture();
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
  std::lock_guard<std::recursive_mutex> lock(controlMutex_);
  if (running_.load()) {
    TimerResolution resolution(1);
    if (threadEnd_.Wait(5) != WaitResult::kSignalled) StopCapture();
  }
  OpenFrameEvent();
  if (!SetCaptureMode(mode)) return 0;
  if (settingsChanged_.load()) ApplyCaptureSettings();
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
  std::lock_guard<std::recursive_mutex> lock(controlMutex_);
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
  std::lock_guard<std::recursive_mutex> lock(controlMutex_);
  // The transfer thread writes into the buffers about to be replaced.
  StopTransferThread();
  staging_.reset();
  stagingCapacity_ = 0;
  std::lock_guard<std::recursive_mutex> driver(driverMutex_);
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
      UpdateStrobe();
      break;
    case WindowQuirk::kClearTransferReset:
      WriteReg(kFpgaTransferReset, 0);
      break;
    case WindowQuirk::kStrobe:
      UpdateStrobe();
      break;
  }
  settingsChanged_.store(false);
  return 1;
}

// ---------------------------------------------------------------- transfer thread

void CVexCamU3K9Base::RunTransferThread() {
  if (Row().framePath == FramePath::kAltEndpoint) {
    TransferLoop3042();
  } else {
    TransferLoop();
  }
  running_.store(false);
  threadDone_.store(true);
  threadEnd_.Set();
}

void CVexCamU3K9Base::StoreFrame(uint32_t tag) {
  if (ring_.Store(staging_.get(), tag)) {
    TransferCounters::Add(counters_.framesReceived);
    TransferCounters::Add(counters_.bytesReceived, frameSize_);
  }
  frameEvent_.Set();
}

void CVexCamU3K9Base::EndLoop() {
  transport_->CloseStream();
  if (transferError_.load()) frameEvent_.Set();
}

void CVexCamU3K9Base::GiveUp() {
  TransferCounters::Add(counters_.giveUps);
  transferError_.store(true);
  frameEvent_.Set();
}

std::string CVexCamU3K9Base::DeviceLabel() const {
  char label[320];
  DeviceRecord record;
  if (transport_ && transport_->GetDeviceRecord(transport_->SelectedIndex(), &record)) {
    std::snprintf(label, sizeof(label), "camera %04x:%04x at %s", record.vendorId, record.productId,
                  record.path);
  } else {
    std::snprintf(label, sizeof(label), "camera of product id 0x%04X", productId_.load());
  }
  return label;
}

void CVexCamU3K9Base::ResetFramePipe() {
  TransferCounters::Add(counters_.pipeResets);
  VEXCAM_DEBUG(kDebugStream, "%s: resetting the frame pipe before the retry",
               DeviceLabel().c_str());
  transport_->ResetPipe(kEpFrameIn);
}

bool CVexCamU3K9Base::BeginLoop() {
  if (!transport_ || !staging_ || !ring_.HasBuffers()) {
    GiveUp();
    return false;
  }
  descriptor_ = FrameDescriptor{};
  descriptor_.destination = staging_.get();
  descriptor_.capacity = stagingCapacity_;
  descriptor_.expectedSize = frameSize_;
  return true;
}

bool CVexCamU3K9Base::BeginStreamLoop() {
  if (!BeginLoop()) return false;
  transferError_.store(false);
  lastTag_ = 0;
  if (!transport_->OpenStream()) {
    GiveUp();
    EndLoop();
    return false;
  }
  return true;
}

void CVexCamU3K9Base::ApplyPendingExposure() {
  if (pendingExposureSet_.exchange(false)) {
    std::lock_guard<std::recursive_mutex> lock(driverMutex_);
    if (sensor_) sensor_->SetExposureTime(pendingExposure_.load());
  }
}

bool CVexCamU3K9Base::HeaderFitsProgramming(const FrameDescriptor& frame) {
  const bool whole = LoadLe32(frame.header + kHeaderPayloadOffset) == frameSize_;
  const bool restarted = frame.tag < lastTag_;
  lastTag_ = frame.tag;
  return whole && !restarted;
}

bool CVexCamU3K9Base::RestoreCameraState() {
  SensorInfo info;
  {
    std::lock_guard<std::recursive_mutex> lock(driverMutex_);
    sensor_->GetSensorInfo(&info);
    if (!sensor_->SetCaptureArea(info.areaX, info.areaWidth, info.areaY, info.areaHeight,
                                 info.areaFlag))
      return false;
    if (info.exposureTime.current != 0) sensor_->SetExposureTime(info.exposureTime.current);
    const int32_t peltier = peltierRequest_.load();
    if (peltier >= 0 && !sensor_->SetPeltier(static_cast<uint32_t>(peltier))) return false;
  }
  if (HasFpgaRegisters() && ApplyWindowRegisters(info) == 0) return false;
  // The data width of the general path; products with a register of their
  // own keep it across a reset of the stream.
  if (!HasGeneralDataWidth(Row())) return true;
  return WriteGeneralDataWidth(dataBitsMode_.load() == 1);
}

bool CVexCamU3K9Base::PublishFrame(uint32_t mode) {
  transferError_.store(false);
  // Counted before the frame is published, so a waiter woken by it sees the count.
  if (mode == kCaptureNextFrame) nextFrameCount_.fetch_add(1);
  StoreFrame(frameCounter_.load());
  return mode == kCaptureSingle || mode == kCaptureNextFrame;
}

uint32_t CVexCamU3K9Base::TransferLoop() {
  const ProductRow& row = Row();
  if (row.framePath == FramePath::kCommandFrames) return TransferLoopCommand();
  if (!BeginStreamLoop()) return 0;
  const uint32_t mode = captureMode_.load();
  uint32_t failures = 0;
  while (running_.load()) {
    const uint32_t timeout = frameTimeoutMs_.load();
    ApplyPendingExposure();
    bool ok = true;
    bool suspect = false;
    if (mode == kCaptureNextFrame) {
      uint8_t counter = 0;
      ok = ReadReg(kFpgaFrameCounter, &counter);
      if (ok && counter == frameCounter_.load()) {
        SleepMs(1);
        continue;
      }
      if (ok) frameCounter_.store(counter);
    }
    if (ok) ok = transport_->ReadFrameHeader(descriptor_);
    const bool headerRead = ok;
    if (ok) {
      if (mode == kCaptureHeaderOnly) {
        frameCounter_.store(descriptor_.tag);
        break;
      }
      if (mode != kCaptureNextFrame) frameCounter_.store(descriptor_.tag);
      // A frame of another size, or from a camera that restarted, is a failed
      // frame: its rows would not be those of the programmed window.
      suspect = !HeaderFitsProgramming(descriptor_);
      ok = !suspect && transport_->ReadFramePayload(descriptor_, timeout);
    }
    if (ok) {
      failures = 0;
      if (PublishFrame(mode)) break;
      continue;
    }
    transport_->CloseStream();
    if (!running_.load()) break;
    if (headerRead) TransferCounters::Add(counters_.incomplete);
    const char* cause = !headerRead ? "no frame header"
                        : suspect
                            ? "header does not fit the programmed window or the counter went back"
                            : "payload read failed";
    if (GivesUpAtOnce(row, mode) || ++failures >= kTransferRetries) {
      VEXCAM_DEBUG(kDebugStream, "%s: %s; giving up after %u failed frames", DeviceLabel().c_str(),
                   cause, failures);
      GiveUp();
      break;
    }
    VEXCAM_DEBUG(kDebugStream, "%s: %s; retry %u of %u", DeviceLabel().c_str(), cause, failures,
                 kTransferRetries - 1);
    TransferCounters::Add(counters_.retries);
    if (row.pipeReset == PipeResetRule::kOnRetry) ResetFramePipe();
    // A camera found in its power-on state gets its settings back before a
    // frame is accepted again; if it does not take them, the retries run out.
    if (suspect) {
      transport_->SendStreamRestart();  // drops the unread payload
      if (!RestoreCameraState()) ++failures;
    }
    UpdateStrobe();
    transport_->OpenStream();
  }
  EndLoop();
  return 1;
}

uint32_t CVexCamU3K9Base::TransferLoopCommand() {
  if (!BeginStreamLoop()) return 0;
  const ProductRow& row = Row();
  const uint32_t mode = captureMode_.load();
  uint32_t failures = 0;
  while (running_.load() && mode != kCaptureHeaderOnly) {
    const uint32_t timeout = mode == kCaptureNextFrame ? kInfinite : frameTimeoutMs_.load();
    ApplyPendingExposure();
    uint32_t length = frameSize_;
    if (transport_->ReadFrameByCommand(descriptor_, &length, timeout)) {
      failures = 0;
      if (PublishFrame(mode)) break;
      continue;
    }
    transport_->CloseStream();
    if (!running_.load()) break;
    TransferCounters::Add(counters_.incomplete);
    ResetTransfer();
    if (GivesUpAtOnce(row, mode) || ++failures >= kCommandRetries) {
      VEXCAM_DEBUG(kDebugStream, "%s: frame read by command failed; giving up after %u",
                   DeviceLabel().c_str(), failures);
      GiveUp();
      break;
    }
    VEXCAM_DEBUG(kDebugStream, "%s: frame read by command failed; retry %u of %u",
                 DeviceLabel().c_str(), failures, kCommandRetries - 1);
    TransferCounters::Add(counters_.retries);
    if (row.pipeReset != PipeResetRule::kNever) ResetFramePipe();
    UpdateStrobe();
    transport_->SendStreamRestart();
    transport_->OpenStream();
  }
  EndLoop();
  return 1;
}

uint32_t CVexCamU3K9Base::TransferLoop3042() {
  if (!BeginLoop()) return 0;
  transport_->SendStreamRestart();
  transferError_.store(false);
  uint32_t lastSuccess = TimeGetTime();
  transport_->OpenStream();
  const uint32_t mode = captureMode_.load();
  uint32_t failures = 0;
  while (running_.load()) {
    if (transport_->ReadFrameAlt(descriptor_)) {
      failures = 0;
      lastSuccess = TimeGetTime();
      transferError_.store(false);
      StoreFrame(frameCounter_.load());
      if (mode == kCaptureSingle) break;
      continue;
    }
    if (!running_.load()) break;
    TransferCounters::Add(counters_.incomplete);
    if (ElapsedMs(lastSuccess, TimeGetTime()) >= kAltGiveUpMs || ++failures >= kAltRetries) {
      VEXCAM_DEBUG(kDebugStream, "%s: whole-frame read failed; giving up after %u",
                   DeviceLabel().c_str(), failures);
      GiveUp();
      break;
    }
    VEXCAM_DEBUG(kDebugStream, "%s: whole-frame read failed; port reset and retry %u",
                 DeviceLabel().c_str(), failures);
    TransferCounters::Add(counters_.retries);
    transport_->ResetDevicePort();
    transport_->SendStreamRestart();
    ResetFramePipe();
  }
  EndLoop();
  return 1;
}

// ---------------------------------------------------------------- frame delivery

uint32_t CVexCamU3K9Base::WaitFrame(uint32_t timeoutMs) {
  if (transferError_.load()) return kWaitTransferError;
  if (frameEvent_.Wait(timeoutMs) != WaitResult::kSignalled) return kWaitTimeout;
  if (transferError_.load()) return kWaitTransferError;
  return ring_.HasUnread() ? kWaitNewFrame : kWaitTimeout;
}

uint32_t CVexCamU3K9Base::CopyFrame(uint8_t* destination, uint64_t size, uint32_t* tag,
                                    uint32_t grabbed, uint32_t flip) {
  return ring_.Copy(destination, size, tag, grabbed != 0, flip, nullptr) ? 1 : 0;
}

uint32_t CVexCamU3K9Base::GetFrame(uint8_t* destination, uint64_t capacity, uint32_t /*reserved1*/,
                                   uint32_t /*reserved2*/, uint32_t flip) {
  return GetFrameEx(destination, nullptr, capacity, 0, 0, flip);
}

uint32_t CVexCamU3K9Base::GetFrameEx(uint8_t* destination, uint32_t* tag, uint64_t capacity,
                                     uint32_t /*reserved1*/, uint32_t /*reserved2*/,
                                     uint32_t flip) {
  uint64_t sequence = 0;
  const uint64_t lastRead = ring_.ReadUpTo();
  const bool ok = ring_.Copy(destination, capacity, tag, false, flip, &sequence);
  // The reader takes the newest frame: the unread ones before it are lost.
  if (ok && sequence > lastRead + 1)
    TransferCounters::Add(counters_.overwritten, sequence - lastRead - 1);
  // Marks read exactly the frames up to the one delivered, so a frame stored
  // during the copy is still reported by the next WaitFrame.
  const uint32_t write = ring_.WriteIndex();
  if (ok) {
    ring_.MarkReadUpTo(sequence);
  } else {
    ring_.MarkAllRead();
  }
  ring_.SetReadIndex(write);
  return ok ? kFrameCopied : kFrameNotCopied;
}

uint32_t CVexCamU3K9Base::GetGrabbedFrame(uint8_t* destination, uint64_t capacity,
                                          uint32_t /*reserved1*/, uint32_t /*reserved2*/,
                                          uint32_t flip) {
  if (destination == nullptr) return kGrabNoDestination;
  return ring_.Copy(destination, capacity, nullptr, true, flip, nullptr) ? kFrameCopied
                                                                         : kFrameNotCopied;
}

uint32_t CVexCamU3K9Base::GrabOneFrame() {
  std::lock_guard<std::recursive_mutex> lock(controlMutex_);
  if (!transport_) return kGrabNotReady;
  // The staging buffer belongs to the transfer thread while it runs.
  if (running_.load()) return kGrabNotReady;
  JoinFinishedThread();
  if (settingsChanged_.load()) ApplyCaptureSettings();
  if (!staging_ || !ring_.HasBuffers()) return kGrabNotReady;
  descriptor_ = FrameDescriptor{};
  descriptor_.destination = staging_.get();
  descriptor_.capacity = stagingCapacity_;
  descriptor_.expectedSize = frameSize_;
  const bool alt = Row().framePath == FramePath::kAltEndpoint;
  if (alt) transport_->SendStreamRestart();
  transferError_.store(false);
  const uint32_t start = TimeGetTime();
  if (!transport_->OpenStream()) {
    transport_->CloseStream();
    threadEnd_.Set();
    return 0;
  }
  uint32_t failures = 0;
  for (;;) {
    const bool ok = alt ? transport_->ReadFrameAlt(descriptor_) != 0
                        : transport_->ReadFrameHeader(descriptor_) &&
                              transport_->ReadFramePayload(descriptor_, kGrabPayloadTimeoutMs);
    if (ok) break;
    if (ElapsedMs(start, TimeGetTime()) >= kAltGiveUpMs || ++failures >= kAltRetries) {
      transferError_.store(true);
      transport_->CloseStream();
      threadEnd_.Set();
      return 0;
    }
    if (alt) transport_->ResetDevicePort();
  }
  ring_.StoreAt(0, staging_.get(), descriptor_.tag);
  transferError_.store(false);
  transport_->CloseStream();
  threadEnd_.Set();
  return 0;
}

bool CVexCamU3K9Base::PendingExposure(uint32_t* value) const {
  if (value != nullptr) *value = pendingExposure_.load();
  return pendingExposureSet_.load();
}

}  // namespace vexcam

// ================================================================ exposure, gain, geometry

namespace vexcam {

namespace {
constexpr uint32_t kLongExposure = 50000;  // 5 s in 0.1 ms
constexpr double kLongExposureSeconds = 2.0;
}  // namespace

uint32_t CVexCamU3K9Base::SetCaptureArea(uint32_t x, uint32_t y, uint32_t width, uint32_t height,
                                         uint32_t areaFlag) {
  std::lock_guard<std::recursive_mutex> lock(controlMutex_);
  if (!sensor_) return 0;
  std::lock_guard<std::recursive_mutex> driver(driverMutex_);
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
  return ApplyCaptureSettings();
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
  std::lock_guard<std::recursive_mutex> lock(controlMutex_);
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
  std::lock_guard<std::recursive_mutex> lock(driverMutex_);
  if (!sensor_) return 0;
  return sensor_->SetSamplingRate(rate);
}

uint32_t CVexCamU3K9Base::SetExposureTime(uint32_t time) {
  std::lock_guard<std::recursive_mutex> lock(driverMutex_);
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
  std::lock_guard<std::recursive_mutex> lock(driverMutex_);
  if (!sensor_) return 0;
  if (seconds > kLongExposureSeconds) {
    const double ms = (seconds + 1.0) * 1000.0;
    frameTimeoutMs_.store(ms >= 4294967295.0 ? 0xFFFFFFFF : static_cast<uint32_t>(ms));
  }
  return sensor_->SetExposureTimeEx(seconds);
}

uint32_t CVexCamU3K9Base::SetTriggerMode(uint32_t mode, uint32_t force) {
  std::lock_guard<std::recursive_mutex> lock(controlMutex_);
  if (!sensor_) return 0;
  const ProductRow& row = Row();
  if (row.trigger == TriggerRule::kNone) return 1;
  if (force == 0 && lastTriggerMode_ == static_cast<int64_t>(mode)) return 1;
  StopCapture();
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
      if (mode != 0) PrimeTrigger();
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
      general = !SetCooledTrigger(mode);
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
  return 1;
}

void CVexCamU3K9Base::PrimeTrigger() {
  // One header-only read primes the trigger, then wait for the next frame.
  frameCounter_.store(0);
  if (StartCapture(kCaptureHeaderOnly)) {
    SleepMs(10);
    if (threadEnd_.Wait(5000) == WaitResult::kSignalled) {
      SleepMs(10);
      StartCapture(kCaptureNextFrame);
    }
  }
}

bool CVexCamU3K9Base::SetCooledTrigger(uint32_t mode) {
  // Without transport nothing is done; an older FPGA takes the general path.
  if (!transport_) return true;
  uint16_t version = 0;
  transport_->GetFpgaVersion(&version);
  if (version <= 0x110) return false;
  if (mode == 0) {
    SetDriverTriggerMode(0);
  } else if (mode == 1) {
    const uint32_t started = StartCapture(kCaptureNextFrame);
    SetDriverTriggerMode(1);
    if (started && WaitFrame(60000) == kWaitNewFrame) ReadFpgaStatus();
  }
  return true;
}

// ---------------------------------------------------------------- readout speed, level

uint32_t CVexCamU3K9Base::HasReadoutSpeed() {
  std::lock_guard<std::recursive_mutex> lock(controlMutex_);
  std::lock_guard<std::recursive_mutex> driver(driverMutex_);
  if (!sensor_) return 0;
  const ReadoutRule rule = Row().readout;
  if (rule == ReadoutRule::kFpga144 || rule == ReadoutRule::kSromConfig) return 1;
  return sensor_->GetFirmwareFlag();
}

uint32_t CVexCamU3K9Base::GetReadoutSpeed() {
  std::lock_guard<std::recursive_mutex> lock(controlMutex_);
  std::lock_guard<std::recursive_mutex> driver(driverMutex_);
  if (!sensor_ || !HasReadoutSpeed()) return 0;
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
  std::lock_guard<std::recursive_mutex> lock(controlMutex_);
  std::lock_guard<std::recursive_mutex> driver(driverMutex_);
  if (!HasReadoutSpeed()) return 0;
  if (GetReadoutSpeed() == on) return 1;
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

// ---------------------------------------------------------------- forwarders

uint32_t CVexCamU3K9Base::Get(uint32_t (CSensorBase::*op)(uint32_t*), uint32_t* ok) {
  uint32_t value = 0;
  std::lock_guard<std::recursive_mutex> lock(driverMutex_);
  const bool read = sensor_ && (sensor_.get()->*op)(&value) != 0;
  if (ok) *ok = read ? 1 : 0;
  return read ? value : 0;
}

uint32_t CVexCamU3K9Base::GetChannel(uint32_t (CSensorBase::*op)(uint32_t, uint32_t*),
                                     uint32_t channel, uint32_t* ok) {
  uint32_t value = 0;
  std::lock_guard<std::recursive_mutex> lock(driverMutex_);
  const bool read = sensor_ && (sensor_.get()->*op)(channel, &value) != 0;
  if (ok) *ok = read ? 1 : 0;
  return read ? value : 0;
}

double CVexCamU3K9Base::GetSeconds(uint32_t (CSensorBase::*op)(double*), uint32_t* ok) {
  double value = 0.0;
  std::lock_guard<std::recursive_mutex> lock(driverMutex_);
  const bool read = sensor_ && (sensor_.get()->*op)(&value) != 0;
  if (ok) *ok = read ? 1 : 0;
  return read ? value : 0.0;
}

uint32_t CVexCamU3K9Base::Info(uint32_t SensorInfo::*field) {
  SensorInfo info;
  if (!GetSensorInfo(&info)) return 0;
  return info.*field;
}

#define VEXCAM_FORWARD(call)                                      \
  std::lock_guard<std::recursive_mutex> driverLock(driverMutex_); \
  if (!sensor_) return 0;                                         \
  return sensor_->call

uint32_t CVexCamU3K9Base::GetSamplingRate(uint32_t* ok) {
  return Get(&CSensorBase::GetSamplingRate, ok);
}
uint32_t CVexCamU3K9Base::SetMirrorH(uint32_t on) { VEXCAM_FORWARD(SetMirrorH(on)); }
uint32_t CVexCamU3K9Base::SetMirrorV(uint32_t on) { VEXCAM_FORWARD(SetMirrorV(on)); }
uint32_t CVexCamU3K9Base::GetMirrorH(uint32_t* ok) { return Get(&CSensorBase::GetMirrorH, ok); }
uint32_t CVexCamU3K9Base::GetMirrorV(uint32_t* ok) { return Get(&CSensorBase::GetMirrorV, ok); }
uint32_t CVexCamU3K9Base::GetMirrorVDefault() { VEXCAM_FORWARD(GetMirrorVDefault()); }
uint32_t CVexCamU3K9Base::GetMirrorHDefault() { VEXCAM_FORWARD(GetMirrorHDefault()); }
uint32_t CVexCamU3K9Base::IsMirrorVSupported() { VEXCAM_FORWARD(IsMirrorVSupported()); }
uint32_t CVexCamU3K9Base::IsMirrorHSupported() { VEXCAM_FORWARD(IsMirrorHSupported()); }
uint32_t CVexCamU3K9Base::GetTriggerMode(uint32_t* ok) {
  return Get(&CSensorBase::GetTriggerMode, ok);
}
uint32_t CVexCamU3K9Base::CanChangeWidth() { return Info(&SensorInfo::widthAdjustable); }
uint32_t CVexCamU3K9Base::CanChangeHeight() { return Info(&SensorInfo::heightAdjustable); }
uint32_t CVexCamU3K9Base::GetArrayWidth() { return Info(&SensorInfo::arrayWidth); }
uint32_t CVexCamU3K9Base::GetArrayHeight() { return Info(&SensorInfo::arrayHeight); }
uint32_t CVexCamU3K9Base::GetEffectiveWidth() { return Info(&SensorInfo::effectiveWidth); }
uint32_t CVexCamU3K9Base::GetEffectiveHeight() { return Info(&SensorInfo::effectiveHeight); }
uint32_t CVexCamU3K9Base::GetEffectiveOriginX() { return Info(&SensorInfo::originX); }
uint32_t CVexCamU3K9Base::GetEffectiveOriginY() { return Info(&SensorInfo::originY); }
uint32_t CVexCamU3K9Base::SetGlobalGain(uint32_t gain) { VEXCAM_FORWARD(SetGlobalGain(gain)); }
uint32_t CVexCamU3K9Base::GetGlobalGain(uint32_t* ok) {
  return Get(&CSensorBase::GetGlobalGain, ok);
}
uint32_t CVexCamU3K9Base::GetGlobalGainMin(uint32_t* ok) {
  return Get(&CSensorBase::GetGlobalGainMin, ok);
}
uint32_t CVexCamU3K9Base::GetGlobalGainMax(uint32_t* ok) {
  return Get(&CSensorBase::GetGlobalGainMax, ok);
}
uint32_t CVexCamU3K9Base::GetGlobalGainDefault(uint32_t* ok) {
  return Get(&CSensorBase::GetGlobalGainDefault, ok);
}
uint32_t CVexCamU3K9Base::GetExposureTime(uint32_t* ok) {
  return Get(&CSensorBase::GetExposureTime, ok);
}
uint32_t CVexCamU3K9Base::GetExposureTimeMin(uint32_t* ok) {
  return Get(&CSensorBase::GetExposureTimeMin, ok);
}
uint32_t CVexCamU3K9Base::GetExposureTimeMax(uint32_t* ok) {
  return Get(&CSensorBase::GetExposureTimeMax, ok);
}
uint32_t CVexCamU3K9Base::GetExposureTimeDefault(uint32_t* ok) {
  return Get(&CSensorBase::GetExposureTimeDefault, ok);
}
uint32_t CVexCamU3K9Base::SetExposureLines(uint32_t lines) {
  VEXCAM_FORWARD(SetExposureLines(lines));
}
uint32_t CVexCamU3K9Base::GetExposureLines(uint32_t* ok) {
  return Get(&CSensorBase::GetExposureLines, ok);
}
uint32_t CVexCamU3K9Base::GetExposureLinesMin(uint32_t* ok) {
  return Get(&CSensorBase::GetExposureLinesMin, ok);
}
uint32_t CVexCamU3K9Base::GetExposureLinesMax(uint32_t* ok) {
  return Get(&CSensorBase::GetExposureLinesMax, ok);
}
uint32_t CVexCamU3K9Base::GetExposureLinesDefault(uint32_t* ok) {
  return Get(&CSensorBase::GetExposureLinesDefault, ok);
}
uint32_t CVexCamU3K9Base::IsExposureTimeExSupported() {
  VEXCAM_FORWARD(IsExposureTimeExSupported());
}
double CVexCamU3K9Base::GetExposureTimeEx(uint32_t* ok) {
  return GetSeconds(&CSensorBase::GetExposureTimeEx, ok);
}
double CVexCamU3K9Base::GetExposureTimeExMin(uint32_t* ok) {
  return GetSeconds(&CSensorBase::GetExposureTimeExMin, ok);
}
double CVexCamU3K9Base::GetExposureTimeExMax(uint32_t* ok) {
  return GetSeconds(&CSensorBase::GetExposureTimeExMax, ok);
}
double CVexCamU3K9Base::GetExposureTimeExDefault(uint32_t* ok) {
  return GetSeconds(&CSensorBase::GetExposureTimeExDefault, ok);
}
uint32_t CVexCamU3K9Base::SetChannelGain(uint32_t channel, uint32_t value) {
  VEXCAM_FORWARD(SetChannelGain(channel, value));
}
uint32_t CVexCamU3K9Base::GetChannelGain(uint32_t channel, uint32_t* ok) {
  return GetChannel(&CSensorBase::GetChannelGain, channel, ok);
}
uint32_t CVexCamU3K9Base::GetChannelGainMin(uint32_t* ok) {
  return Get(&CSensorBase::GetChannelGainMin, ok);
}
uint32_t CVexCamU3K9Base::GetChannelGainMax(uint32_t* ok) {
  return Get(&CSensorBase::GetChannelGainMax, ok);
}
uint32_t CVexCamU3K9Base::GetChannelGainDefault(uint32_t* ok) {
  return Get(&CSensorBase::GetChannelGainDefault, ok);
}
uint32_t CVexCamU3K9Base::SetChannelOffset(uint32_t channel, uint32_t value) {
  VEXCAM_FORWARD(SetChannelOffset(channel, value));
}
uint32_t CVexCamU3K9Base::GetChannelOffset(uint32_t channel, uint32_t* ok) {
  return GetChannel(&CSensorBase::GetChannelOffset, channel, ok);
}
uint32_t CVexCamU3K9Base::GetChannelOffsetMin(uint32_t* ok) {
  return Get(&CSensorBase::GetChannelOffsetMin, ok);
}
uint32_t CVexCamU3K9Base::GetChannelOffsetMax(uint32_t* ok) {
  return Get(&CSensorBase::GetChannelOffsetMax, ok);
}
uint32_t CVexCamU3K9Base::GetChannelOffsetDefault(uint32_t* ok) {
  return Get(&CSensorBase::GetChannelOffsetDefault, ok);
}
uint32_t CVexCamU3K9Base::SetColorGainRed(uint32_t gain) { VEXCAM_FORWARD(SetColorGainRed(gain)); }
uint32_t CVexCamU3K9Base::GetColorGainRed(uint32_t* ok) {
  return Get(&CSensorBase::GetColorGainRed, ok);
}
uint32_t CVexCamU3K9Base::SetColorGainGreen1(uint32_t gain) {
  VEXCAM_FORWARD(SetColorGainGreen1(gain));
}
uint32_t CVexCamU3K9Base::GetColorGainGreen1(uint32_t* ok) {
  return Get(&CSensorBase::GetColorGainGreen1, ok);
}
uint32_t CVexCamU3K9Base::SetColorGainGreen2(uint32_t gain) {
  VEXCAM_FORWARD(SetColorGainGreen2(gain));
}
uint32_t CVexCamU3K9Base::GetColorGainGreen2(uint32_t* ok) {
  return Get(&CSensorBase::GetColorGainGreen2, ok);
}
uint32_t CVexCamU3K9Base::SetColorGainBlue(uint32_t gain) {
  VEXCAM_FORWARD(SetColorGainBlue(gain));
}
uint32_t CVexCamU3K9Base::GetColorGainBlue(uint32_t* ok) {
  return Get(&CSensorBase::GetColorGainBlue, ok);
}
uint32_t CVexCamU3K9Base::GetColorGainMin(uint32_t* ok) {
  return Get(&CSensorBase::GetColorGainMin, ok);
}
uint32_t CVexCamU3K9Base::GetColorGainMax(uint32_t* ok) {
  return Get(&CSensorBase::GetColorGainMax, ok);
}
uint32_t CVexCamU3K9Base::GetColorGainDefault(uint32_t* ok) {
  return Get(&CSensorBase::GetColorGainDefault, ok);
}
uint32_t CVexCamU3K9Base::IsAnalogGainSupported() { VEXCAM_FORWARD(IsAnalogGainSupported()); }
uint32_t CVexCamU3K9Base::SetAnalogGain(uint32_t value) { VEXCAM_FORWARD(SetAnalogGain(value)); }
uint32_t CVexCamU3K9Base::GetAnalogGain(uint32_t* ok) {
  return Get(&CSensorBase::GetAnalogGain, ok);
}
uint32_t CVexCamU3K9Base::GetAnalogGainMin(uint32_t* ok) {
  return Get(&CSensorBase::GetAnalogGainMin, ok);
}
uint32_t CVexCamU3K9Base::GetAnalogGainMax(uint32_t* ok) {
  return Get(&CSensorBase::GetAnalogGainMax, ok);
}
uint32_t CVexCamU3K9Base::GetAnalogGainDefault(uint32_t* ok) {
  return Get(&CSensorBase::GetAnalogGainDefault, ok);
}
uint32_t CVexCamU3K9Base::WriteSensorRegister(uint32_t address, uint32_t value) {
  VEXCAM_FORWARD(WriteSensorRegister(address, value));
}
uint32_t CVexCamU3K9Base::ReadSensorRegister(uint32_t address, uint32_t* value) {
  VEXCAM_FORWARD(ReadSensorRegister(address, value));
}
uint32_t CVexCamU3K9Base::StartStream() {
  std::lock_guard<std::recursive_mutex> driverLock(driverMutex_);
  if (!sensor_) return 0;
  sensor_->StartStream();
  return 1;
}
uint32_t CVexCamU3K9Base::StopStream() {
  std::lock_guard<std::recursive_mutex> driverLock(driverMutex_);
  if (!sensor_) return 0;
  sensor_->StopStream();
  return 1;
}
uint32_t CVexCamU3K9Base::AccessSensorParameter(uint32_t driverIndex, uint32_t operation,
                                                uint32_t* parameter) {
  if (driverIndex != 0) return 0;
  VEXCAM_FORWARD(AccessSensorParameter(operation, parameter));
}
uint32_t CVexCamU3K9Base::HasCorrectionMode() { VEXCAM_FORWARD(HasCorrectionMode()); }
uint32_t CVexCamU3K9Base::SetCorrectionMode(uint32_t mode) {
  VEXCAM_FORWARD(SetCorrectionMode(mode));
}
uint32_t CVexCamU3K9Base::GetCorrectionMode() { VEXCAM_FORWARD(GetCorrectionMode()); }
uint32_t CVexCamU3K9Base::ReceiveText(char* buffer, uint32_t size) {
  VEXCAM_FORWARD(ReceiveText(buffer, size));
}
uint32_t CVexCamU3K9Base::SendText(const char* text, uint32_t length) {
  VEXCAM_FORWARD(SendText(text, length));
}
uint32_t CVexCamU3K9Base::IsPeltierSupported() { VEXCAM_FORWARD(IsPeltierSupported()); }
uint32_t CVexCamU3K9Base::GetPeltier() { VEXCAM_FORWARD(GetPeltier()); }
uint32_t CVexCamU3K9Base::SetPeltier(uint32_t on) {
  std::lock_guard<std::recursive_mutex> driverLock(driverMutex_);
  if (!sensor_) return 0;
  const uint32_t ok = sensor_->SetPeltier(on);
  if (ok) peltierRequest_.store(on != 0 ? 1 : 0);
  return ok;
}
uint32_t CVexCamU3K9Base::IsTemperatureSupported() { VEXCAM_FORWARD(IsTemperatureSupported()); }
double CVexCamU3K9Base::GetTemperature(uint32_t* ok) {
  return GetSeconds(&CSensorBase::GetTemperature, ok);
}
uint32_t CVexCamU3K9Base::ApplyMonitorSetting() { VEXCAM_FORWARD(ApplyMonitorSetting()); }
uint32_t CVexCamU3K9Base::GetSensorMode(uint32_t* ok) {
  return Get(&CSensorBase::GetSensorMode, ok);
}
uint32_t CVexCamU3K9Base::SetSensorMode(uint32_t state) { VEXCAM_FORWARD(SetSensorMode(state)); }
uint32_t CVexCamU3K9Base::HasOperationMode() { VEXCAM_FORWARD(HasOperationMode()); }
uint32_t CVexCamU3K9Base::GetOperationModeState(uint32_t* ok) {
  return Get(&CSensorBase::GetOperationModeState, ok);
}
uint32_t CVexCamU3K9Base::SetOperationMode(uint32_t mode) {
  VEXCAM_FORWARD(SetOperationMode(mode));
}
uint32_t CVexCamU3K9Base::IsOperationModeReady() { VEXCAM_FORWARD(IsOperationModeReady()); }
uint32_t CVexCamU3K9Base::Reserved148() { VEXCAM_FORWARD(Reserved112()); }
uint32_t CVexCamU3K9Base::Reserved149() { VEXCAM_FORWARD(Reserved113()); }
int32_t CVexCamU3K9Base::GetCoolingTarget(uint32_t* ok) {
  int32_t value = 0;
  std::lock_guard<std::recursive_mutex> driverLock(driverMutex_);
  const bool read = sensor_ && sensor_->GetCoolingTarget(&value) != 0;
  if (ok) *ok = read ? 1 : 0;
  return read ? value : 0;
}
uint32_t CVexCamU3K9Base::SetCoolingTarget(int32_t celsius) {
  VEXCAM_FORWARD(SetCoolingTarget(celsius));
}
uint32_t CVexCamU3K9Base::CheckModuleVersion() { VEXCAM_FORWARD(CheckModuleVersion()); }
uint32_t CVexCamU3K9Base::GetModuleInfo(uint32_t* ok) {
  return Get(&CSensorBase::GetModuleInfo, ok);
}
uint32_t CVexCamU3K9Base::SetTriggerOption(uint32_t value) {
  VEXCAM_FORWARD(SetTriggerOption(value));
}
uint32_t CVexCamU3K9Base::ApplyTriggerOption(uint32_t a, uint32_t b) {
  VEXCAM_FORWARD(ApplyTriggerOption(a, b));
}
uint32_t CVexCamU3K9Base::HasTriggerOption() { VEXCAM_FORWARD(HasTriggerOption()); }
uint32_t CVexCamU3K9Base::HasAutoCorrection() { VEXCAM_FORWARD(HasAutoCorrection()); }
uint32_t CVexCamU3K9Base::GetAutoCorrection(uint32_t* ok) {
  return Get(&CSensorBase::GetAutoCorrection, ok);
}
uint32_t CVexCamU3K9Base::SetAutoCorrection(uint32_t value) {
  VEXCAM_FORWARD(SetAutoCorrection(value));
}
uint32_t CVexCamU3K9Base::IsGainModeSupported() { VEXCAM_FORWARD(IsGainModeSupported()); }
uint32_t CVexCamU3K9Base::GetGainModeMin(uint32_t* ok) {
  return Get(&CSensorBase::GetGainModeMin, ok);
}
uint32_t CVexCamU3K9Base::GetGainModeMax(uint32_t* ok) {
  return Get(&CSensorBase::GetGainModeMax, ok);
}
uint32_t CVexCamU3K9Base::GetGainModeDefault(uint32_t* ok) {
  return Get(&CSensorBase::GetGainModeDefault, ok);
}
uint32_t CVexCamU3K9Base::GetGainMode(uint32_t* ok) { return Get(&CSensorBase::GetGainMode, ok); }
uint32_t CVexCamU3K9Base::SetGainMode(uint32_t value) { VEXCAM_FORWARD(SetGainMode(value)); }
uint32_t CVexCamU3K9Base::GetGainModeLabel(uint32_t step, char* text, uint32_t size) {
  VEXCAM_FORWARD(GetGainModeLabel(step, text, size));
}
uint32_t CVexCamU3K9Base::SetOutputMode(uint32_t mode) { VEXCAM_FORWARD(SetOutputMode(mode)); }
uint32_t CVexCamU3K9Base::SetOutputModeValue(uint32_t value) {
  VEXCAM_FORWARD(SetOutputModeValue(value));
}
uint32_t CVexCamU3K9Base::GetOutputMode() { VEXCAM_FORWARD(GetOutputMode()); }
uint32_t CVexCamU3K9Base::IsColorModeSupported() { VEXCAM_FORWARD(IsColorModeSupported()); }
uint32_t CVexCamU3K9Base::IsBinningSupported() { VEXCAM_FORWARD(IsBinningSupported()); }
uint32_t CVexCamU3K9Base::IsSubSampleSupported() { VEXCAM_FORWARD(IsSubSampleSupported()); }
uint32_t CVexCamU3K9Base::HasExtraOption() { VEXCAM_FORWARD(HasExtraOption()); }
uint32_t CVexCamU3K9Base::EnableExtraOption() { VEXCAM_FORWARD(EnableExtraOption()); }

#undef VEXCAM_FORWARD

}  // namespace vexcam
