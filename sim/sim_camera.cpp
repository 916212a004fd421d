// The simulated camera: construction, plug state, the thermal model, test
// access, fault injection and the transaction log. Vendor requests and the
// register files are in sim_camera_requests.cpp, frames and bulk transfers in
// sim_camera_stream.cpp.
#include "sim/sim_camera.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "sim/sim_camera_firmware.h"

namespace vexcam::sim {
namespace {

using namespace firmware;
using usb::TransferResult;
using usb::TransferStatus;

constexpr size_t kLogLimit = 65536;
constexpr size_t kLogBulkBytes = 16;
constexpr double kThermalTau = 20.0;  // seconds

// Adds to a fault counter under the camera's lock.
void AddLocked(std::mutex& mutex, uint32_t& counter, uint32_t count) {
  std::lock_guard lock(mutex);
  counter += count;
}

}  // namespace

SimCamera::SimCamera(uint32_t id, uint16_t productId)
    : id_(id),
      product_(LookupSimProduct(productId)),
      path_(usb::MakeDevicePath(kSimVendorId, productId, "sim-" + std::to_string(id))),
      eeprom_(kEepromSize, 0xFF),
      ports_{product_, fpga_, sensor_, busyReads_, [this] { return ThermalAt(Clock::now()); }} {
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
  head_ = MakeSimHead(product_);
  fpga_.fill(0);
  aux_.fill(0);
  fpgaPointer_ = auxPointer_ = 0;
  eepromPointer_ = 0;
  sensor_.assign(0x10000, 0);
  sensor_[0] = product_.sensorChipId;
  commandByte_ = 0;
  controllerA_ = controllerB_ = 0;
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
  head_->PowerOn(ports_);

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

void SimCamera::WithHead(const std::function<void(SimHead&)>& visit) {
  std::lock_guard lock(mutex_);
  visit(*head_);
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

void SimCamera::InjectBulkTimeouts(uint32_t count) { AddLocked(mutex_, faultTimeouts_, count); }
void SimCamera::InjectStalls(uint32_t count) { AddLocked(mutex_, faultStalls_, count); }
void SimCamera::InjectBadStatus(uint32_t count) { AddLocked(mutex_, faultBadStatus_, count); }
void SimCamera::InjectShortPayloads(uint32_t count) { AddLocked(mutex_, faultShort_, count); }
void SimCamera::InjectBusFailures(uint32_t count) { AddLocked(mutex_, faultBus_, count); }
void SimCamera::InjectEepromWriteLoss(uint32_t count) {
  AddLocked(mutex_, faultEepromLoss_, count);
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
