#include "sim/sim_camera.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace vexcam::sim {
namespace {

using usb::TransferResult;
using usb::TransferStatus;

constexpr size_t kLogLimit = 65536;
constexpr size_t kLogBulkBytes = 16;
constexpr size_t kTriggerQueue = 8;                // captured frames the FPGA holds
constexpr uint64_t kMemoryLimit = 64ull << 20;     // memory behind "QU3W"/"QU3R"
constexpr uint32_t kBadDeviceStatus = 0xC0000004;  // any non-zero status
constexpr double kThermalTau = 20.0;               // seconds
constexpr uint32_t kBlankingLines = 46;            // lines between frames
constexpr uint8_t kEndpointIn = 0x81;
constexpr uint8_t kEndpointAlt = 0x83;
constexpr uint8_t kEndpointOut = 0x01;
constexpr uint16_t kRequestRecordLength = 102;  // wLength of every vendor request

// FPGA registers the model gives a meaning.
enum FpgaReg : uint8_t {
  kRegBusy = 2,
  kRegAdcLow = 4,
  kRegAdcHigh = 5,
  kRegFrameCounter = 8,
  kRegVersionHigh = 16,
  kRegVersionLow = 17,
  kRegDataWidth = 60,
  kRegHeightLow = 64,
  kRegHeightHigh = 65,
  kRegWidthLow = 68,
  kRegWidthHigh = 69,
  kRegReadoutLow = 84,
  kRegReadoutHigh = 85,
  kRegTrigger = 88,
  kRegRestart = 129,
  kRegSensorMode = 130,
  kRegExposure0 = 133,
  kRegExposure1 = 134,
  kRegWindowY = 136,
  kRegPeltier = 151,
  kRegExposure2 = 155,
};

// Sensor registers of the MT9-style window, used where no FPGA window exists.
constexpr uint16_t kSensorOutputWidth = 0x034C;
constexpr uint16_t kSensorOutputHeight = 0x034E;

void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t GetU32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// Request type each vendor request must carry.
int ExpectedRequestType(uint8_t request) {
  switch (request) {
    case 0x30:
    case 0x3C:
    case 0x3E:
    case 0xC0:
    case 0xD0:
      return 0x40;
    case 0x31:
    case 0x3D:
    case 0x3F:
    case 0xB0:
    case 0xB1:
    case 0xC3:
    case 0xD1:
      return 0xC0;
    case 0xC2:
    case 0xCC:
      return 0x42;
    default:
      return -1;
  }
}

}  // namespace

SimCamera::SimCamera(uint32_t id, uint16_t productId)
    : id_(id),
      product_(LookupSimProduct(productId)),
      path_(usb::MakeDevicePath(kSimVendorId, productId, "sim-" + std::to_string(id))),
      eeprom_(kEepromSize, 0xFF) {
  char serial[32];
  std::snprintf(serial, sizeof(serial), "SIM%04X-%04u", productId, id % 10000);
  std::lock_guard lock(mutex_);
  for (size_t i = 0; serial[i] != 0; ++i)
    eeprom_[kSerialNumberAddress + i] = static_cast<uint8_t>(serial[i]);
  PowerOn();
}

// ---------------------------------------------------------------- power and plug

void SimCamera::PowerOn() {
  const auto now = Clock::now();
  fpga_.fill(0);
  aux_.fill(0);
  fpgaPointer_ = auxPointer_ = 0;
  eepromPointer_ = sensorPointer_ = 0;
  sensor_.assign(0x10000, 0);
  sensor_[0] = product_.sensorChipId;
  commandByte_ = 0;
  controllerA_ = controllerB_ = 0;
  controllerWords_.clear();
  busyReads_ = 0;
  adcLatch_ = 0;

  fpga_[kRegVersionHigh] = static_cast<uint8_t>(fpgaVersion_ >> 8);
  fpga_[kRegVersionLow] = static_cast<uint8_t>(fpgaVersion_);
  fpga_[kRegDataWidth] = 1;
  for (const FpgaPreset& p : product_.fpgaPresets)
    if (p.reg != 0) fpga_[p.reg] = p.value;
  if (product_.model == SimModel::kZA01) {
    // Full window and the default exposure of 510 lines.
    fpga_[kRegWidthLow] = 128;
    fpga_[kRegWidthHigh] = 2;
    fpga_[kRegReadoutLow] = 128;
    fpga_[kRegReadoutHigh] = 2;
    fpga_[kRegHeightLow] = 0;
    fpga_[kRegHeightHigh] = 2;
    fpga_[kRegExposure0] = 0xFE;
    fpga_[kRegExposure1] = 0x01;
    fpga_[kRegRestart] = 1;
  }

  frame_ = FrameUnit{};
  memRead_ = MemoryUnit{};
  memWrite_ = MemoryUnit{};
  memory_.clear();
  memory_.shrink_to_fit();
  triggered_.clear();
  tagCounter_ = 0;
  clockBase_ = 0;
  clockAnchor_ = now;
  lastReady_ = Clock::time_point{};
  periodNs_ = 0;
  triggerMode_ = false;
  Retime();
  temperature_ = ambient_;
  thermalTime_ = now;
  lastFrame_ = SimFrameInfo{};
}

uint32_t SimCamera::Generation() const {
  std::lock_guard lock(mutex_);
  return generation_;
}

bool SimCamera::IsPlugged() const {
  std::lock_guard lock(mutex_);
  return plugged_;
}

void SimCamera::Unplug() {
  std::lock_guard lock(mutex_);
  plugged_ = false;
  DropStream();
  cv_.notify_all();
}

void SimCamera::Replug() {
  std::lock_guard lock(mutex_);
  if (plugged_) return;
  plugged_ = true;
  ++generation_;
  PowerOn();
  cv_.notify_all();
}

// ---------------------------------------------------------------- control transfers

int SimCamera::ControlTransfer(uint32_t generation, uint8_t requestType, uint8_t request,
                               uint16_t value, uint16_t index, uint8_t* data, uint16_t length) {
  std::lock_guard lock(mutex_);
  int result = -1;
  if (Alive(generation) && (data != nullptr || length == 0))
    result = HandleRequest(requestType, request, value, index, data, length);
  if (logOn_) {
    SimTransaction t;
    t.kind = SimTransaction::Kind::kControl;
    t.in = (requestType & 0x80) != 0;
    t.requestType = requestType;
    t.request = request;
    t.value = value;
    t.index = index;
    t.length = length;
    t.ok = result >= 0;
    t.transferred = result > 0 ? static_cast<uint32_t>(result) : 0;
    const size_t n = t.in ? t.transferred : (data ? length : 0);
    if (n > 0) t.data.assign(data, data + n);
    Record(std::move(t));
  }
  return result;
}

int SimCamera::HandleRequest(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                             uint8_t* data, uint16_t length) {
  if (ExpectedRequestType(request) != requestType) return -1;  // the device stalls endpoint 0
  // The firmware takes only whole request records: any other wLength stalls.
  if (length != kRequestRecordLength) return -1;
  const int block = std::min<int>(length, 64);
  switch (request) {
    case 0x30:  // serial-bus write: wValue bytes to bus address wIndex
      if (value == 0 || value > 64 || value > length) return -1;
      return SerialWrite(static_cast<uint8_t>(index), data, value) < 0 ? -1 : length;
    case 0x31:  // serial-bus read
      if (value == 0 || value > 64 || value > length) return -1;
      return SerialRead(static_cast<uint8_t>(index | 1), data, value);
    case 0x3C:
      if (length < 1) return -1;
      commandByte_ = data[0];
      return length;
    case 0x3D:
      if (length < 1) return -1;
      data[0] = commandByte_;
      return 1;
    case 0x3E:  // controller pair: sensor register a = b (both big-endian)
      if (length < 4) return -1;
      controllerA_ = uint32_t{data[0]} << 8 | data[1];
      controllerB_ = uint32_t{data[2]} << 8 | data[3];
      sensor_[controllerA_] = static_cast<uint16_t>(controllerB_);
      return length;
    case 0x3F:  // controller value: sensor register wValue, little-endian
      if (length < 2) return -1;
      data[0] = static_cast<uint8_t>(sensor_[value]);
      data[1] = static_cast<uint8_t>(sensor_[value] >> 8);
      return 2;
    case 0xB0:
    case 0xB1: {
      uint8_t info[64] = {};
      info[0] = static_cast<uint8_t>(kSimVendorId);
      info[1] = static_cast<uint8_t>(kSimVendorId >> 8);
      info[2] = static_cast<uint8_t>(product_.productId);
      info[3] = static_cast<uint8_t>(product_.productId >> 8);
      PutU32(info + 4, id_);
      if (request == 0xB0) {
        std::memcpy(info + 8, "VexCam simulator", 16);
        PutU32(info + 24, firmware_);
        info[28] = fpga_[kRegVersionHigh];
        info[29] = fpga_[kRegVersionLow];
      } else {
        for (size_t i = 0; i < 32 && eeprom_[kSerialNumberAddress + i] != 0xFF; ++i)
          info[8 + i] = eeprom_[kSerialNumberAddress + i];
      }
      std::memcpy(data, info, block);
      return block;
    }
    case 0xC0:  // stream restart
      DropStream();
      return length;
    case 0xC2:  // frame request
      if (product_.delivery == FrameDelivery::kHeader)
        ArmFrame(kEndpointIn, true, false, 0);
      else if (product_.delivery == FrameDelivery::kAltEndpoint)
        ArmFrame(kEndpointAlt, false, false, 0);
      return length;
    case 0xC3:
      if (length < 1) return -1;
      std::memset(data, 0, block);
      data[0] = statusByte_;
      return block;
    case 0xCC:
      return length;
    case 0xD0:
      if (length < 4) return -1;
      controllerWords_[static_cast<uint16_t>((value & 1u) << 15 | (index & 0x7FFFu))] =
          GetU32(data);
      return length;
    case 0xD1: {
      if (length < 2) return -1;
      const auto it = controllerWords_.find(index);
      const uint32_t v = it == controllerWords_.end() ? 0 : it->second;
      std::memset(data, 0, block);
      data[0] = static_cast<uint8_t>(v);
      data[1] = static_cast<uint8_t>(v >> 8);
      return block;
    }
    default:
      return -1;
  }
}

// ---------------------------------------------------------------- serial bus

int SimCamera::SerialWrite(uint8_t address, const uint8_t* bytes, uint16_t count) {
  bool ok = true;
  if (faultBus_ > 0) {
    --faultBus_;
    ok = false;
  } else if (address == kBusFpga) {
    // {reg} sets the address pointer; {reg, 0x00, value...} writes.
    fpgaPointer_ = bytes[0];
    for (uint16_t i = 2; i < count; ++i)
      WriteFpga(static_cast<uint8_t>(fpgaPointer_ + i - 2), bytes[i]);
  } else if (address == kBusAux) {
    auxPointer_ = bytes[0];
    for (uint16_t i = 1; i < count; ++i) aux_[static_cast<uint8_t>(auxPointer_ + i - 1)] = bytes[i];
  } else if (address == kBusEeprom) {
    if (count < 2) {
      ok = false;
    } else {
      eepromPointer_ = static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
      if (count > 2) {
        const bool lost = faultEepromLoss_ > 0;
        if (lost) --faultEepromLoss_;
        for (uint16_t i = 2; i < count; ++i) {
          if (!lost) eeprom_[eepromPointer_] = bytes[i];
          ++eepromPointer_;
        }
      }
    }
  } else if (product_.sensorBusAddress != 0 && address == product_.sensorBusAddress) {
    if (count < 2) {
      ok = false;
    } else {
      sensorPointer_ = static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
      if (count > 2) {
        WriteSensorBytes(sensorPointer_, bytes + 2, count - 2);
        busyReads_ = busyAfterWrite_;
      }
    }
  } else if (product_.statusBusAddress == 0 || address != product_.statusBusAddress) {
    ok = false;  // nobody answers at this address
  }
  if (logOn_) {
    SimTransaction t;
    t.kind = SimTransaction::Kind::kSerial;
    t.request = address;
    t.length = count;
    t.transferred = ok ? count : 0;
    t.ok = ok;
    t.data.assign(bytes, bytes + count);
    Record(std::move(t));
  }
  return ok ? count : -1;
}

int SimCamera::SerialRead(uint8_t address, uint8_t* bytes, uint16_t count) {
  bool ok = true;
  if (faultBus_ > 0) {
    --faultBus_;
    ok = false;
  } else if (address == (kBusFpga | 1)) {
    // The first byte echoes the register address; the values follow.
    bytes[0] = fpgaPointer_;
    for (uint16_t i = 1; i < count; ++i)
      bytes[i] = ReadFpga(static_cast<uint8_t>(fpgaPointer_ + i - 1));
  } else if (address == (kBusAux | 1)) {
    for (uint16_t i = 0; i < count; ++i) bytes[i] = aux_[static_cast<uint8_t>(auxPointer_ + i)];
  } else if (address == (kBusEeprom | 1)) {
    for (uint16_t i = 0; i < count; ++i) bytes[i] = eeprom_[eepromPointer_++];
  } else if (product_.sensorBusAddress != 0 && address == (product_.sensorBusAddress | 1)) {
    ReadSensorBytes(sensorPointer_, bytes, count);
  } else if (product_.statusBusAddress != 0 && address == (product_.statusBusAddress | 1)) {
    std::memset(bytes, 0, count);
  } else {
    ok = false;
  }
  if (logOn_) {
    SimTransaction t;
    t.kind = SimTransaction::Kind::kSerial;
    t.in = true;
    t.request = address;
    t.length = count;
    t.transferred = ok ? count : 0;
    t.ok = ok;
    if (ok) t.data.assign(bytes, bytes + count);
    Record(std::move(t));
  }
  return ok ? count : -1;
}

void SimCamera::WriteSensorBytes(uint16_t address, const uint8_t* bytes, uint16_t count) {
  if (product_.sensorValueBytes == 1 || count == 1) {
    // 8-bit registers, consecutive addresses; a single byte is an 8-bit value.
    for (uint16_t i = 0; i < count; ++i) sensor_[static_cast<uint16_t>(address + i)] = bytes[i];
    return;
  }
  // 16-bit registers, big-endian words at consecutive even addresses.
  for (uint16_t i = 0; i + 1 < count; i += 2)
    sensor_[static_cast<uint16_t>(address + i)] =
        static_cast<uint16_t>(bytes[i] << 8 | bytes[i + 1]);
}

void SimCamera::ReadSensorBytes(uint16_t address, uint8_t* bytes, uint16_t count) const {
  if (product_.sensorValueBytes == 1 || count == 1) {
    for (uint16_t i = 0; i < count; ++i)
      bytes[i] = static_cast<uint8_t>(sensor_[static_cast<uint16_t>(address + i)]);
    return;
  }
  for (uint16_t i = 0; i < count; ++i) {
    const uint16_t word = sensor_[static_cast<uint16_t>(address + (i & ~1u))];
    bytes[i] = static_cast<uint8_t>((i & 1u) ? word : word >> 8);
  }
}

// ---------------------------------------------------------------- FPGA register file

void SimCamera::WriteFpga(uint8_t reg, uint8_t value) {
  switch (reg) {
    case kRegFrameCounter:
    case kRegVersionHigh:
    case kRegVersionLow:
      return;  // read-only
    case kRegAdcLow:
    case kRegAdcHigh:
      if (product_.model == SimModel::kZA01) return;  // the ADC is read-only
      break;
    case kRegPeltier:
      AdvanceThermal(Clock::now());
      break;
    case kRegRestart:
      // A rising edge of bit 0 restarts the sensor: the frame in flight is lost.
      if (product_.model == SimModel::kZA01 && !(fpga_[reg] & 1) && (value & 1)) DropStream();
      break;
    default:
      break;
  }
  fpga_[reg] = value;
  Retime();
}

uint8_t SimCamera::ReadFpga(uint8_t reg) {
  switch (reg) {
    case kRegBusy:
      if (busyReads_ > 0) {
        --busyReads_;
        return 1;
      }
      break;
    case kRegFrameCounter:
      return static_cast<uint8_t>(FrameClock(Clock::now()));
    case kRegAdcLow:
      if (product_.model == SimModel::kZA01) {
        adcLatch_ = AdcSample();  // the high byte is latched for the next read of 5
        return static_cast<uint8_t>(adcLatch_);
      }
      break;
    case kRegAdcHigh:
      if (product_.model == SimModel::kZA01) return static_cast<uint8_t>(adcLatch_ >> 8);
      break;
    default:
      break;
  }
  return fpga_[reg];
}

// ---------------------------------------------------------------- frame timing

uint64_t SimCamera::ComputePeriodNs() const {
  const PatternFrame p = CurrentPattern(0);
  double lineNs;
  if (product_.model == SimModel::kZA01) {
    // 16 pixels per clock plus 26 clocks of overhead per line at 9 MHz.
    uint32_t readout = fpga_[kRegReadoutLow] | fpga_[kRegReadoutHigh] << 8;
    if (readout == 0) readout = product_.width;
    lineNs = (readout * 0.0625 + 26.0) * 1e6 / product_.pixelClockKHz;
  } else {
    lineNs = product_.lineLength * 1e6 / product_.pixelClockKHz;
  }
  const uint64_t lines = std::max<uint64_t>(p.exposure, uint64_t{p.height} + kBlankingLines);
  return std::max<uint64_t>(1,
                            static_cast<uint64_t>(lineNs * static_cast<double>(lines)) / speedUp_);
}

void SimCamera::Retime() {
  const auto now = Clock::now();
  const uint64_t period = ComputePeriodNs();
  const bool trigger = (fpga_[kRegTrigger] & 1) != 0;
  if (period == periodNs_ && trigger == triggerMode_) return;
  clockBase_ = FrameClock(now);
  clockAnchor_ = now;
  periodNs_ = period;
  triggerMode_ = trigger;
  cv_.notify_all();
}

uint32_t SimCamera::FrameClock(Clock::time_point now) const {
  if (triggerMode_ || periodNs_ == 0) return clockBase_;
  const auto elapsed =
      std::chrono::duration_cast<std::chrono::nanoseconds>(now - clockAnchor_).count();
  return clockBase_ +
         static_cast<uint32_t>(std::max<int64_t>(elapsed, 0) / static_cast<int64_t>(periodNs_));
}

PatternFrame SimCamera::CurrentPattern(uint32_t tag) const {
  PatternFrame p;
  p.tag = tag;
  p.exposure = fpga_[kRegExposure0] | fpga_[kRegExposure1] << 8 | fpga_[kRegExposure2] << 16;
  if (product_.delivery == FrameDelivery::kAltEndpoint) {
    p.bits = commandByte_ == 1 ? 16 : 8;
    p.width = sensor_[kSensorOutputWidth];
    p.height = sensor_[kSensorOutputHeight];
  } else {
    p.bits = fpga_[kRegDataWidth] == 2 ? 16 : 8;
    p.width = fpga_[kRegWidthLow] | fpga_[kRegWidthHigh] << 8;
    p.height = fpga_[kRegHeightLow] | fpga_[kRegHeightHigh] << 8;
  }
  if (p.width == 0 || p.height == 0) {
    p.width = product_.width;
    p.height = product_.height;
  }
  if (product_.model == SimModel::kZA01) {
    // The smaller windows are centred horizontally; register 136 holds y / 4.
    p.x0 = p.width < product_.width ? (product_.width - p.width) / 2 : 0;
    p.y0 = fpga_[kRegWindowY] * 4u;
  }
  return p;
}

void SimCamera::ArmFrame(uint8_t endpoint, bool header, bool fromCommand, uint32_t commandBytes) {
  const auto now = Clock::now();
  Clock::time_point readyAt;
  if (frame_.state == FrameState::kArmed && frame_.endpoint == endpoint) {
    readyAt = frame_.readyAt;  // a repeated request does not delay the frame further
  } else {
    readyAt = std::max(now, lastReady_ + std::chrono::nanoseconds(periodNs_));
    lastReady_ = readyAt;
  }
  frame_ = FrameUnit{};
  frame_.state = FrameState::kArmed;
  frame_.endpoint = endpoint;
  frame_.header = header;
  frame_.fromCommand = fromCommand;
  frame_.commandBytes = commandBytes;
  frame_.readyAt = readyAt;
  cv_.notify_all();
}

bool SimCamera::FrameReady(Clock::time_point now) const {
  if (triggerMode_) return !triggered_.empty();
  return now >= frame_.readyAt;
}

void SimCamera::ProduceFrame() {
  uint32_t tag;
  if (triggerMode_ && !triggered_.empty()) {
    tag = triggered_.front();
    triggered_.pop_front();
  } else {
    tag = ++tagCounter_;
  }
  frame_.pattern = CurrentPattern(tag);
  const uint64_t bytes = PatternFrameBytes(frame_.pattern);
  frame_.total = frame_.fromCommand ? frame_.commandBytes : std::min<uint64_t>(bytes, UINT32_MAX);
  frame_.patternBytes = std::min(bytes, frame_.total);
  frame_.available = frame_.total;
  if (faultShort_ > 0) {
    --faultShort_;
    frame_.available = frame_.total / 2;
  }
  frame_.offset = 0;
  if (frame_.header) {
    uint8_t* h = frame_.headerBytes;
    std::memset(h, 0, sizeof(frame_.headerBytes));
    std::memcpy(h, "VSIM", 4);
    PutU32(h + 4, frame_.pattern.width);
    PutU32(h + 8, frame_.pattern.height);
    PutU32(h + 12, static_cast<uint32_t>(frame_.pattern.bits));
    PutU32(h + 16, static_cast<uint32_t>(frame_.total));
    PutU32(h + 20, frame_.pattern.x0);
    PutU32(h + 24, frame_.pattern.y0);
    PutU32(h + 28, frame_.pattern.exposure);
    PutU32(h + 32, tag);
    PutU32(h + 36, FrameClock(Clock::now()));
    frame_.state = FrameState::kHeader;
  } else {
    frame_.state = frame_.total > 0 ? FrameState::kPayload : FrameState::kIdle;
  }
  lastFrame_.pattern = frame_.pattern;
  lastFrame_.payloadBytes = static_cast<uint32_t>(frame_.total);
  lastFrame_.valid = true;
}

void SimCamera::DropStream() {
  frame_ = FrameUnit{};
  memRead_ = MemoryUnit{};
  memWrite_ = MemoryUnit{};
  cv_.notify_all();
}

bool SimCamera::Trigger() {
  std::lock_guard lock(mutex_);
  if (!plugged_ || !triggerMode_) return false;
  triggered_.push_back(++tagCounter_);
  if (triggered_.size() > kTriggerQueue) triggered_.pop_front();
  ++clockBase_;
  cv_.notify_all();
  return true;
}

void SimCamera::SetSpeedUp(uint32_t factor) {
  std::lock_guard lock(mutex_);
  AdvanceThermal(Clock::now());
  speedUp_ = std::max<uint32_t>(factor, 1);
  Retime();
}

uint64_t SimCamera::FramePeriodNs() const {
  std::lock_guard lock(mutex_);
  return periodNs_;
}

SimFrameInfo SimCamera::LastFrame() const {
  std::lock_guard lock(mutex_);
  return lastFrame_;
}

// ---------------------------------------------------------------- bulk transfers

bool SimCamera::WaitUntil(std::unique_lock<std::mutex>& lock, Clock::time_point until) {
  if (until == Clock::time_point::max()) {
    cv_.wait(lock);
    return true;
  }
  return cv_.wait_until(lock, until) == std::cv_status::no_timeout || Clock::now() < until;
}

TransferResult SimCamera::BulkTransfer(uint32_t generation, uint8_t endpoint, uint8_t* data,
                                       uint32_t length, uint32_t timeoutMs) {
  std::unique_lock lock(mutex_);
  const uint32_t mark = cancelMark_[endpoint];
  const bool in = (endpoint & 0x80) != 0;
  const auto deadline = timeoutMs == 0 ? Clock::time_point::max()
                                       : Clock::now() + std::chrono::milliseconds(timeoutMs);
  TransferResult result;
  if (!Alive(generation)) {
    result.status = TransferStatus::kNoDevice;
  } else if (data == nullptr && length > 0) {
    result.status = TransferStatus::kError;
  } else if (faultStalls_ > 0) {
    --faultStalls_;
    result.status = TransferStatus::kStalled;
  } else if (faultTimeouts_ > 0) {
    --faultTimeouts_;
    result.status = TransferStatus::kTimedOut;
    while (true) {
      if (!Alive(generation)) {
        result.status = TransferStatus::kNoDevice;
        break;
      }
      if (cancelMark_[endpoint] != mark) {
        result.status = TransferStatus::kCancelled;
        break;
      }
      if (!WaitUntil(lock, deadline)) break;
    }
  } else {
    const bool bad = faultBadStatus_ > 0;
    if (bad) --faultBadStatus_;
    result = in ? BulkIn(lock, generation, endpoint, data, length, deadline, mark)
                : BulkOut(endpoint, data, length);
    if (bad && result.status == TransferStatus::kCompleted) result.deviceStatus = kBadDeviceStatus;
  }
  RecordBulk(endpoint, in, length, result, data);
  return result;
}

TransferResult SimCamera::BulkIn(std::unique_lock<std::mutex>& lock, uint32_t generation,
                                 uint8_t endpoint, uint8_t* data, uint32_t length,
                                 Clock::time_point deadline, uint32_t cancelMark) {
  TransferResult result;
  while (true) {
    if (!Alive(generation)) {
      result.status = TransferStatus::kNoDevice;
      return result;
    }
    if (cancelMark_[endpoint] != cancelMark) {
      result.status = TransferStatus::kCancelled;
      return result;
    }
    const auto now = Clock::now();
    if (endpoint == kEndpointIn && memRead_.active) {
      const uint64_t n = std::min<uint64_t>(length, memRead_.remaining);
      for (uint64_t i = 0; i < n; ++i) {
        const uint64_t a = memRead_.address + i;
        data[i] = a < memory_.size() ? memory_[a] : 0;
      }
      memRead_.address += n;
      memRead_.remaining -= n;
      if (memRead_.remaining == 0) memRead_.active = false;
      result.status = TransferStatus::kCompleted;
      result.transferred = static_cast<uint32_t>(n);
      return result;
    }
    if (frame_.state != FrameState::kIdle && frame_.endpoint == endpoint) {
      if (frame_.state == FrameState::kArmed && FrameReady(now)) ProduceFrame();
      if (frame_.state == FrameState::kHeader) {
        const uint32_t n = std::min<uint32_t>(length, sizeof(frame_.headerBytes));
        std::memcpy(data, frame_.headerBytes, n);
        frame_.state = frame_.total > 0 ? FrameState::kPayload : FrameState::kIdle;
        result.status = TransferStatus::kCompleted;
        result.transferred = n;
        return result;
      }
      if (frame_.state == FrameState::kPayload && frame_.offset < frame_.available) {
        const uint64_t n = std::min<uint64_t>(length, frame_.available - frame_.offset);
        const uint64_t offset = frame_.offset;
        const uint64_t patternBytes = frame_.patternBytes;
        const PatternFrame pattern = frame_.pattern;
        frame_.offset += n;
        if (frame_.offset >= frame_.total) frame_.state = FrameState::kIdle;
        // The range is reserved; fill it without holding the camera lock so
        // that control requests are not held up by large frames.
        lock.unlock();
        const uint64_t fromPattern = offset < patternBytes ? std::min(n, patternBytes - offset) : 0;
        if (fromPattern > 0) CopyPatternBytes(pattern, offset, data, fromPattern);
        if (n > fromPattern) std::memset(data + fromPattern, 0, n - fromPattern);
        lock.lock();
        result.status = TransferStatus::kCompleted;
        result.transferred = static_cast<uint32_t>(n);
        return result;
      }
    }
    if (now >= deadline) {
      result.status = TransferStatus::kTimedOut;
      return result;
    }
    auto until = deadline;
    if (frame_.state == FrameState::kArmed && frame_.endpoint == endpoint && !triggerMode_)
      until = std::min(until, frame_.readyAt);
    WaitUntil(lock, until);
  }
}

TransferResult SimCamera::BulkOut(uint8_t endpoint, const uint8_t* data, uint32_t length) {
  TransferResult result;
  if (endpoint != kEndpointOut) {
    result.status = TransferStatus::kStalled;
    return result;
  }
  if (memWrite_.active) {
    const uint64_t n = std::min<uint64_t>(length, memWrite_.remaining);
    if (memWrite_.address + n > kMemoryLimit) {
      memWrite_ = MemoryUnit{};
      result.status = TransferStatus::kStalled;
      return result;
    }
    if (memory_.size() < memWrite_.address + n) memory_.resize(memWrite_.address + n, 0);
    std::memcpy(memory_.data() + memWrite_.address, data, n);
    memWrite_.address += n;
    memWrite_.remaining -= n;
    if (memWrite_.remaining == 0) memWrite_.active = false;
    result.status = TransferStatus::kCompleted;
    result.transferred = static_cast<uint32_t>(n);
    return result;
  }
  // 32-byte command block: magic, u32 2, u64 address, u32 byte count.
  const bool read = length == 32 && std::memcmp(data, "QU3R", 4) == 0;
  const bool write = length == 32 && std::memcmp(data, "QU3W", 4) == 0;
  if ((!read && !write) || GetU32(data + 4) != 2) {
    result.status = TransferStatus::kStalled;
    return result;
  }
  const uint64_t address = uint64_t{GetU32(data + 8)} | uint64_t{GetU32(data + 12)} << 32;
  const uint32_t count = GetU32(data + 16);
  if (read && address == 0 && product_.delivery == FrameDelivery::kCommand) {
    ArmFrame(kEndpointIn, false, true, count);
  } else if (read) {
    memRead_ = MemoryUnit{true, address, count};
  } else {
    memWrite_ = MemoryUnit{count > 0, address, count};
  }
  cv_.notify_all();
  result.status = TransferStatus::kCompleted;
  result.transferred = length;
  return result;
}

bool SimCamera::CancelPending(uint32_t generation, uint8_t endpoint) {
  std::lock_guard lock(mutex_);
  if (!Alive(generation)) return false;
  ++cancelMark_[endpoint];
  cv_.notify_all();
  return true;
}

bool SimCamera::ClearHalt(uint32_t generation, uint8_t /*endpoint*/) {
  std::lock_guard lock(mutex_);
  if (!Alive(generation)) return false;
  faultStalls_ = 0;
  return true;
}

bool SimCamera::ResetPort(uint32_t generation) {
  std::lock_guard lock(mutex_);
  if (!Alive(generation)) return false;
  DropStream();
  return true;
}

// ---------------------------------------------------------------- thermal model

double SimCamera::ThermalAt(Clock::time_point now) const {
  const double dt = std::chrono::duration<double>(now - thermalTime_).count() * speedUp_;
  if (dt <= 0) return temperature_;
  const double target = (fpga_[kRegPeltier] & 1) ? setPoint_ : ambient_;
  return target + (temperature_ - target) * std::exp(-dt / kThermalTau);
}

void SimCamera::AdvanceThermal(Clock::time_point now) {
  temperature_ = ThermalAt(now);
  thermalTime_ = now;
}

uint16_t SimCamera::AdcSample() {
  AdvanceThermal(Clock::now());
  // The driver computes T = (0.75 - ((v - 0.07 - 2.5) / 20.1 + 0.865 + 0.015)) / 0.00133 + 49.607
  // from v = sample * 3.3 / 4096; this is that formula solved for v.
  const double v = 2.57 + 20.1 * (-0.13 - (temperature_ - 49.607) * 0.00133);
  const double sample = std::round(v * 4096.0 / 3.3);
  return static_cast<uint16_t>(std::clamp(sample, 0.0, 4095.0));
}

double SimCamera::Temperature() const {
  std::lock_guard lock(mutex_);
  return ThermalAt(Clock::now());
}

void SimCamera::SetThermal(double ambient, double setPoint) {
  std::lock_guard lock(mutex_);
  AdvanceThermal(Clock::now());
  ambient_ = ambient;
  setPoint_ = setPoint;
}

// ---------------------------------------------------------------- test access

uint8_t SimCamera::FpgaRegister(uint8_t reg) const {
  std::lock_guard lock(mutex_);
  if (reg == kRegFrameCounter) return static_cast<uint8_t>(FrameClock(Clock::now()));
  return fpga_[reg];
}

void SimCamera::SetFpgaRegister(uint8_t reg, uint8_t value) {
  std::lock_guard lock(mutex_);
  if (reg == kRegPeltier) AdvanceThermal(Clock::now());
  fpga_[reg] = value;
  Retime();
}

void SimCamera::SetFpgaVersion(uint16_t version) {
  std::lock_guard lock(mutex_);
  fpgaVersion_ = version;
  fpga_[kRegVersionHigh] = static_cast<uint8_t>(version >> 8);
  fpga_[kRegVersionLow] = static_cast<uint8_t>(version);
}

uint8_t SimCamera::AuxRegister(uint8_t reg) const {
  std::lock_guard lock(mutex_);
  return aux_[reg];
}

void SimCamera::SetAuxRegister(uint8_t reg, uint8_t value) {
  std::lock_guard lock(mutex_);
  aux_[reg] = value;
}

uint8_t SimCamera::EepromByte(uint16_t address) const {
  std::lock_guard lock(mutex_);
  return eeprom_[address];
}

void SimCamera::SetEepromByte(uint16_t address, uint8_t value) {
  std::lock_guard lock(mutex_);
  eeprom_[address] = value;
}

void SimCamera::SetSerialNumber(const std::string& text) {
  std::lock_guard lock(mutex_);
  const size_t n = std::min<size_t>(text.size(), 32);
  for (size_t i = 0; i < 33; ++i)
    eeprom_[kSerialNumberAddress + i] = i < n ? static_cast<uint8_t>(text[i]) : 0xFF;
}

uint16_t SimCamera::SensorRegister(uint16_t address) const {
  std::lock_guard lock(mutex_);
  return sensor_[address];
}

void SimCamera::SetSensorRegister(uint16_t address, uint16_t value) {
  std::lock_guard lock(mutex_);
  sensor_[address] = value;
}

void SimCamera::SetFirmwareVersion(uint32_t version) {
  std::lock_guard lock(mutex_);
  firmware_ = version;
}

void SimCamera::SetStatusByte(uint8_t status) {
  std::lock_guard lock(mutex_);
  statusByte_ = status;
}

void SimCamera::SetBusyReadsAfterSensorWrite(uint32_t reads) {
  std::lock_guard lock(mutex_);
  busyAfterWrite_ = reads;
}

void SimCamera::InjectBulkTimeouts(uint32_t count) {
  std::lock_guard lock(mutex_);
  faultTimeouts_ += count;
}
void SimCamera::InjectStalls(uint32_t count) {
  std::lock_guard lock(mutex_);
  faultStalls_ += count;
}
void SimCamera::InjectBadStatus(uint32_t count) {
  std::lock_guard lock(mutex_);
  faultBadStatus_ += count;
}
void SimCamera::InjectShortPayloads(uint32_t count) {
  std::lock_guard lock(mutex_);
  faultShort_ += count;
}
void SimCamera::InjectBusFailures(uint32_t count) {
  std::lock_guard lock(mutex_);
  faultBus_ += count;
}
void SimCamera::InjectEepromWriteLoss(uint32_t count) {
  std::lock_guard lock(mutex_);
  faultEepromLoss_ += count;
}
void SimCamera::ClearFaults() {
  std::lock_guard lock(mutex_);
  faultTimeouts_ = faultStalls_ = faultBadStatus_ = faultShort_ = faultBus_ = faultEepromLoss_ = 0;
}

// ---------------------------------------------------------------- transaction log

void SimCamera::Record(SimTransaction entry) {
  if (!logOn_) return;
  log_.push_back(std::move(entry));
  if (log_.size() > kLogLimit) log_.pop_front();
}

void SimCamera::RecordBulk(uint8_t endpoint, bool in, uint32_t length, const TransferResult& result,
                           const uint8_t* data) {
  if (!logOn_) return;
  SimTransaction t;
  t.kind = SimTransaction::Kind::kBulk;
  t.in = in;
  t.request = endpoint;
  t.length = length;
  t.transferred = result.transferred;
  t.ok = result.status == TransferStatus::kCompleted && result.deviceStatus == 0;
  const size_t n = std::min<size_t>(in ? result.transferred : length, kLogBulkBytes);
  if (data && n > 0) t.data.assign(data, data + n);
  Record(std::move(t));
}

void SimCamera::EnableLog(bool on) {
  std::lock_guard lock(mutex_);
  logOn_ = on;
}

std::vector<SimTransaction> SimCamera::Log() const {
  std::lock_guard lock(mutex_);
  return {log_.begin(), log_.end()};
}

std::vector<SimTransaction> SimCamera::SerialLog(uint8_t busAddress) const {
  std::lock_guard lock(mutex_);
  std::vector<SimTransaction> out;
  for (const SimTransaction& t : log_) {
    if (t.kind != SimTransaction::Kind::kSerial) continue;
    if (busAddress == 0 || t.request == busAddress ||
        ((busAddress & 1) == 0 && t.request == (busAddress | 1)))
      out.push_back(t);
  }
  return out;
}

void SimCamera::ClearLog() {
  std::lock_guard lock(mutex_);
  log_.clear();
}

}  // namespace vexcam::sim
