// The simulated camera's vendor requests, serial bus and register files.
#include <algorithm>
#include <cstring>

#include "sim/sim_camera.h"
#include "sim/sim_camera_firmware.h"

namespace vexcam::sim {
namespace {

using namespace firmware;

constexpr uint16_t kRequestRecordLength = 102;  // wLength of every vendor request

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
  switch (request) {
    case 0x30:  // serial-bus write: wValue bytes to bus address wIndex
      if (value == 0 || value > 64 || value > length) return -1;
      return SerialWrite(static_cast<uint8_t>(index), data, value) < 0 ? -1 : length;
    case 0x31:  // serial-bus read
      if (value == 0 || value > 64 || value > length) return -1;
      return SerialRead(static_cast<uint8_t>(index | 1), data, value);
    case 0x3C:
    case 0x3D:
      return CommandByteRequest(request, data, length);
    case 0x3E:
    case 0x3F:
      return SensorControllerRequest(request, value, data, length);
    case 0xB0:
    case 0xB1:
      return InformationRequest(request, data, length);
    case 0xC0:
    case 0xC2:
    case 0xC3:
    case 0xCC:
      return StreamRequest(request, data, length);
    case 0xD0:
    case 0xD1:
      return ControllerWordRequest(request, value, index, data, length);
    default:
      return -1;
  }
}

// 0x3C sets the command byte, 0x3D reads it back.
int SimCamera::CommandByteRequest(uint8_t request, uint8_t* data, uint16_t length) {
  if (length < 1) return -1;
  if (request == 0x3C) {
    commandByte_ = data[0];
    return length;
  }
  data[0] = commandByte_;
  return 1;
}

int SimCamera::SensorControllerRequest(uint8_t request, uint16_t value, uint8_t* data,
                                       uint16_t length) {
  if (request == 0x3E) {  // controller pair: sensor register a = b (both big-endian)
    if (length < 4) return -1;
    controllerA_ = uint32_t{data[0]} << 8 | data[1];
    controllerB_ = uint32_t{data[2]} << 8 | data[3];
    sensor_[controllerA_] = static_cast<uint16_t>(controllerB_);
    return length;
  }
  // 0x3F, controller value: sensor register wValue, little-endian
  if (length < 2) return -1;
  const uint16_t v = head_->ControllerValue(ports_, value);
  data[0] = static_cast<uint8_t>(v);
  data[1] = static_cast<uint8_t>(v >> 8);
  return 2;
}

// Device information blocks: 0xB0 the firmware block, 0xB1 the serial number.
int SimCamera::InformationRequest(uint8_t request, uint8_t* data, uint16_t length) {
  const int block = std::min<int>(length, 64);
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

int SimCamera::StreamRequest(uint8_t request, uint8_t* data, uint16_t length) {
  switch (request) {
    case 0xC0:  // stream restart
      DropStream();
      return length;
    case 0xC2:  // frame request
      if (product_.delivery == FrameDelivery::kHeader)
        ArmFrame(kEndpointIn, true, false, 0);
      else if (product_.delivery == FrameDelivery::kAltEndpoint)
        ArmFrame(kEndpointAlt, false, false, 0);
      return length;
    case 0xC3: {  // status
      if (length < 1) return -1;
      const int block = std::min<int>(length, 64);
      std::memset(data, 0, block);
      data[0] = statusByte_;
      return block;
    }
    default:  // 0xCC
      return length;
  }
}

// 0xD0 stores a controller word, 0xD1 reads one (0 when never written).
int SimCamera::ControllerWordRequest(uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                                     uint16_t length) {
  if (request == 0xD0) {
    if (length < 4) return -1;
    head_->ControllerWordWritten(
        ports_, static_cast<uint16_t>((value & 1u) << 15 | (index & 0x7FFFu)), GetU32(data));
    return length;
  }
  if (length < 2) return -1;
  uint32_t v = 0;
  if (!head_->ControllerWordRead(ports_, index, &v)) return -1;
  const int block = std::min<int>(length, 64);
  std::memset(data, 0, block);
  data[0] = static_cast<uint8_t>(v);
  data[1] = static_cast<uint8_t>(v >> 8);
  return block;
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
    ok = head_->SensorWrite(ports_, bytes, count);
    if (ok && count > 2) busyReads_ = busyAfterWrite_;
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
    ok = head_->SensorRead(ports_, bytes, count);
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
  const uint8_t old = fpga_[reg];
  fpga_[reg] = value;
  head_->FpgaWritten(ports_, reg, old, value);
  Retime();
}

uint8_t SimCamera::ReadFpga(uint8_t reg) {
  if (const std::optional<uint8_t> v = head_->FpgaRead(ports_, reg)) return *v;
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

}  // namespace vexcam::sim
