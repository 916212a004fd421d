#pragma once
// One simulated camera: the firmware model behind the USB access layer. It
// answers the vendor requests, the serial register bus (FPGA register file,
// auxiliary device, configuration EEPROM, image sensor) and the frame path,
// and offers fault injection and a transaction log for tests.
//
// Thread-safe: control requests may arrive from several threads while one
// thread is blocked in a bulk read. The model has no thread of its own; frame
// timing, the frame counter and the temperature follow the steady clock.

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "sim/sim_head.h"
#include "sim/sim_product_table.h"
#include "sim/test_pattern.h"
#include "transport/usb_access.h"

namespace vexcam::sim {

inline constexpr uint16_t kSimVendorId = 0x04B4;
inline constexpr uint8_t kBusFpga = 0x40;
inline constexpr uint8_t kBusAux = 0x5A;
inline constexpr uint8_t kBusEeprom = 0xA2;
inline constexpr uint32_t kEepromSize = 0x10000;
inline constexpr uint16_t kSerialNumberAddress = 0x1040;

// One entry of the transaction log.
struct SimTransaction {
  enum class Kind : uint8_t {
    kControl,  // endpoint-0 request: request type, request, value, index, data
    kBulk,     // endpoint, requested length, transferred, first bytes
    kSerial,   // serial-bus transaction: bus address (bit 0 = read) and all bytes
  };
  Kind kind = Kind::kControl;
  bool in = false;          // device to host
  uint8_t requestType = 0;  // control only
  uint8_t request = 0;      // control: bRequest; bulk: endpoint; serial: bus address
  uint16_t value = 0;
  uint16_t index = 0;
  uint32_t length = 0;        // requested bytes
  uint32_t transferred = 0;   // bytes moved
  bool ok = false;            // control/serial success, bulk completed with status 0
  std::vector<uint8_t> data;  // bytes moved (bulk: at most the first 16)
};

// Description of the last frame the camera produced (for tests).
struct SimFrameInfo {
  PatternFrame pattern;       // tag, exposure, origin, size, bits
  uint32_t payloadBytes = 0;  // announced payload length
  bool valid = false;
};

class SimCamera {
 public:
  SimCamera(uint32_t id, uint16_t productId);
  SimCamera(const SimCamera&) = delete;
  SimCamera& operator=(const SimCamera&) = delete;

  uint32_t Id() const { return id_; }
  uint16_t ProductId() const { return product_.productId; }
  const SimProduct& Product() const { return product_; }
  // "\\?\usb#vid_04b4&pid_XXXX#sim-<id>#{...}"
  const std::string& Path() const { return path_; }

  // --- USB side (used by the simulated IUsbDevice). `generation` is the plug
  // generation the device was opened in; a stale one fails like an unplug.
  uint32_t Generation() const;
  int ControlTransfer(uint32_t generation, uint8_t requestType, uint8_t request, uint16_t value,
                      uint16_t index, uint8_t* data, uint16_t length);
  usb::TransferResult BulkTransfer(uint32_t generation, uint8_t endpoint, uint8_t* data,
                                   uint32_t length, uint32_t timeoutMs);
  bool CancelPending(uint32_t generation, uint8_t endpoint);
  bool ClearHalt(uint32_t generation, uint8_t endpoint);
  bool ResetPort(uint32_t generation);
  bool IsPlugged() const;

  // --- Plug state. Unplug fails every operation with kNoDevice and wakes
  // blocked reads; Replug powers the camera up again (volatile registers back
  // to their power-on values, EEPROM kept) under the same path.
  void Unplug();
  void Replug();

  // --- Registers.
  uint8_t FpgaRegister(uint8_t reg) const;
  void SetFpgaRegister(uint8_t reg, uint8_t value);
  void SetFpgaVersion(uint16_t version);  // registers 16 (high) and 17 (low)
  uint8_t AuxRegister(uint8_t reg) const;
  void SetAuxRegister(uint8_t reg, uint8_t value);
  uint8_t EepromByte(uint16_t address) const;
  void SetEepromByte(uint16_t address, uint8_t value);
  // Writes the text at 0x1040 (at most 32 bytes) followed by 0xFF.
  void SetSerialNumber(const std::string& text);
  uint16_t SensorRegister(uint16_t address) const;
  void SetSensorRegister(uint16_t address, uint16_t value);
  // Firmware word of device information block A (bytes 24..27).
  void SetFirmwareVersion(uint32_t version);
  // Byte 0 of the 0xC3 status request (1 = ready).
  void SetStatusByte(uint8_t status);
  // FPGA register 2 reads 1 (busy) for this many reads after each sensor
  // register write.
  void SetBusyReadsAfterSensorWrite(uint32_t reads);

  // --- Frames.
  // Fires the hardware trigger: in trigger mode (register 88 bit 0) one frame
  // is captured; false when the camera is not in trigger mode or unplugged.
  bool Trigger();
  // Divides every simulated duration (frame period, thermal time constant);
  // 1 = real time, 1000 = effectively unpaced. 0 counts as 1.
  void SetSpeedUp(uint32_t factor);
  // Frame period in nanoseconds of real time at the current settings.
  uint64_t FramePeriodNs() const;
  SimFrameInfo LastFrame() const;

  // Runs visit on the current sensor head under the camera's lock (tests
  // reach per-product behaviour through it; the head changes at power-on).
  void WithHead(const std::function<void(SimHead&)>& visit);

  // --- Thermal model (degrees Celsius): the sensor falls towards the set
  // point while the Peltier bit (register 151 bit 0) is set, else rises
  // towards ambient, with a 20 s time constant (divided by the speed-up).
  double Temperature() const;
  void SetThermal(double ambient, double setPoint);

  // --- Fault injection. Counts add up; ClearFaults resets them all.
  void InjectBulkTimeouts(uint32_t count);  // next bulk transfers move nothing and time out
  void InjectStalls(uint32_t count);        // next bulk transfers stall (cleared by ClearHalt)
  void InjectBadStatus(uint32_t count);  // next bulk transfers move data but report a device error
  void InjectShortPayloads(uint32_t count);    // next frames deliver only half of their payload
  void InjectBusFailures(uint32_t count);      // next serial-bus transactions fail
  void InjectEepromWriteLoss(uint32_t count);  // next EEPROM data writes are acknowledged but lost
  void ClearFaults();

  // --- Transaction log (on by default, keeps the latest 65536 entries).
  void EnableLog(bool on);
  std::vector<SimTransaction> Log() const;
  // Only the serial-bus transactions with this bus address (either direction
  // when the address is even, else reads only); 0 = all serial transactions.
  std::vector<SimTransaction> SerialLog(uint8_t busAddress = 0) const;
  void ClearLog();

 private:
  using Clock = std::chrono::steady_clock;
  enum class FrameState : uint8_t { kIdle, kArmed, kHeader, kPayload };

  struct FrameUnit {
    FrameState state = FrameState::kIdle;
    uint8_t endpoint = 0x81;
    bool header = true;
    bool fromCommand = false;
    Clock::time_point readyAt{};
    uint32_t commandBytes = 0;  // command reads: bytes the command asked for
    PatternFrame pattern;
    uint8_t headerBytes[64] = {};
    uint64_t total = 0;         // payload bytes announced (command: asked for)
    uint64_t patternBytes = 0;  // pattern bytes at the start of the payload
    uint64_t available = 0;     // bytes that will actually be sent
    uint64_t offset = 0;
  };

  struct MemoryUnit {
    bool active = false;
    uint64_t address = 0;
    uint64_t remaining = 0;
  };

  void PowerOn();  // requires mutex_
  bool Alive(uint32_t generation) const { return plugged_ && generation == generation_; }
  int HandleRequest(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                    uint8_t* data, uint16_t length);
  // Vendor requests by group (all require mutex_): the bytes moved, or -1
  // for a stall.
  int CommandByteRequest(uint8_t request, uint8_t* data, uint16_t length);
  int SensorControllerRequest(uint8_t request, uint16_t value, uint8_t* data, uint16_t length);
  int InformationRequest(uint8_t request, uint8_t* data, uint16_t length);
  int StreamRequest(uint8_t request, uint8_t* data, uint16_t length);
  int ControllerWordRequest(uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                            uint16_t length);
  int SerialWrite(uint8_t address, const uint8_t* bytes, uint16_t count);
  int SerialRead(uint8_t address, uint8_t* bytes, uint16_t count);
  void WriteFpga(uint8_t reg, uint8_t value);
  uint8_t ReadFpga(uint8_t reg);

  // Frame timing and production (all require mutex_).
  void Retime();
  uint64_t ComputePeriodNs() const;
  uint32_t FrameClock(Clock::time_point now) const;
  void ArmFrame(uint8_t endpoint, bool header, bool fromCommand, uint32_t commandBytes);
  bool FrameReady(Clock::time_point now) const;
  void ProduceFrame();
  PatternFrame CurrentPattern(uint32_t tag) const;
  void DropStream();

  usb::TransferResult BulkIn(std::unique_lock<std::mutex>& lock, uint32_t generation,
                             uint8_t endpoint, uint8_t* data, uint32_t length,
                             Clock::time_point deadline, uint32_t cancelMark);
  // Waits for a state change or the time; false once the time has passed.
  bool WaitUntil(std::unique_lock<std::mutex>& lock, Clock::time_point until);
  usb::TransferResult BulkOut(uint8_t endpoint, const uint8_t* data, uint32_t length);
  double ThermalAt(Clock::time_point now) const;
  void AdvanceThermal(Clock::time_point now);
  uint16_t AdcSample();

  void Record(SimTransaction entry);
  void RecordBulk(uint8_t endpoint, bool in, uint32_t length, const usb::TransferResult& result,
                  const uint8_t* data);

  const uint32_t id_;
  const SimProduct product_;
  const std::string path_;

  mutable std::mutex mutex_;
  std::condition_variable cv_;

  // Plug state.
  bool plugged_ = true;
  uint32_t generation_ = 1;
  std::array<uint32_t, 256> cancelMark_{};  // per endpoint, bumped by CancelPending

  // Persistent configuration (kept across replug).
  std::vector<uint8_t> eeprom_;
  uint16_t fpgaVersion_ = 0x0100;
  uint32_t firmware_ = 0x1101;
  uint8_t statusByte_ = 1;
  uint32_t busyAfterWrite_ = 0;
  uint32_t speedUp_ = 1;
  double ambient_ = 25.0;
  double setPoint_ = -10.0;

  // Volatile state (reset at power-on).
  std::array<uint8_t, 256> fpga_{};
  uint8_t fpgaPointer_ = 0;
  std::array<uint8_t, 256> aux_{};
  uint8_t auxPointer_ = 0;
  uint16_t eepromPointer_ = 0;
  std::vector<uint16_t> sensor_;
  uint8_t commandByte_ = 0;
  uint32_t controllerA_ = 0, controllerB_ = 0;
  uint32_t busyReads_ = 0;
  uint16_t adcLatch_ = 0;

  // Frame path.
  uint64_t periodNs_ = 0;
  bool triggerMode_ = false;
  Clock::time_point clockAnchor_{};
  uint32_t clockBase_ = 0;
  uint32_t tagCounter_ = 0;
  Clock::time_point lastReady_{};
  std::deque<uint32_t> triggered_;  // tags of captured, not yet delivered trigger frames
  FrameUnit frame_;
  MemoryUnit memRead_;
  MemoryUnit memWrite_;
  std::vector<uint8_t> memory_;  // target of "QU3W" writes and non-frame "QU3R" reads
  SimFrameInfo lastFrame_;

  // Thermal model.
  double temperature_ = 25.0;
  Clock::time_point thermalTime_{};

  // Faults.
  uint32_t faultTimeouts_ = 0, faultStalls_ = 0, faultBadStatus_ = 0, faultShort_ = 0;
  uint32_t faultBus_ = 0, faultEepromLoss_ = 0;

  // The product's sensor head, made anew at each power-on.
  SimPorts ports_;
  std::unique_ptr<SimHead> head_;

  // Log.
  bool logOn_ = true;
  std::deque<SimTransaction> log_;
};

}  // namespace vexcam::sim
