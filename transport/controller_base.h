#pragma once
// The controller interface that the camera device model and every sensor
// driver hold: FPGA registers, the camera's serial register bus, the
// auxiliary device, device selection and the emergency stop of a frame read.
// Every operation returns non-zero on success and 0 on failure; the defaults
// here mean "not supported". Byte counts are 32-bit so that an oversized count
// is refused instead of wrapping.

#include <cstdint>

namespace vexcam {

// Serial-bus addresses (write address; the read address is one more).
inline constexpr uint8_t kBusFpga = 0x40;
inline constexpr uint8_t kBusAux = 0x5A;
inline constexpr uint8_t kBusEeprom = 0xA2;
// Largest serial-bus transaction: the vendor request's data area.
inline constexpr uint32_t kMaxSerialBusBytes = 64;
// The conventional time-out argument of the serial-bus operations.
inline constexpr uint32_t kSerialBusTimeoutMs = 3000;

class CControllerBase {
 public:
  CControllerBase() = default;
  CControllerBase(const CControllerBase&) = delete;
  CControllerBase& operator=(const CControllerBase&) = delete;

  // Slots in this order.
  virtual ~CControllerBase() = default;
  virtual uint32_t Reserved1() { return 0; }
  // Closes the stream and frees the transfer buffer.
  virtual uint32_t ReleaseController() { return 0; }
  // Closes the stream, then selects the table index when its device opens.
  virtual uint32_t SelectDevice(uint32_t /*index*/) { return 0; }
  // (FPGA register 16 << 8) | register 17.
  virtual uint32_t GetFpgaVersion(uint16_t* /*version*/) { return 0; }
  // count 1..64 bytes to / from a bus address (write address; the read uses address | 1).
  virtual uint32_t WriteSerialBus(uint8_t /*address*/, const uint8_t* /*bytes*/, uint32_t /*count*/,
                                  uint32_t /*timeoutMs*/) {
    return 0;
  }
  virtual uint32_t ReadSerialBus(uint8_t /*address*/, uint8_t* /*bytes*/, uint32_t /*count*/,
                                 uint32_t /*timeoutMs*/) {
    return 0;
  }
  virtual uint32_t WriteControllerWord(uint16_t /*address*/, uint32_t /*value*/) { return 0; }
  virtual uint32_t ReadControllerWord(uint16_t /*address*/, uint32_t* /*value*/) { return 0; }
  virtual uint32_t WriteControllerPair(uint16_t /*a*/, uint16_t /*b*/) { return 0; }
  virtual uint32_t ReadControllerValue(uint16_t /*address*/, uint32_t* /*value*/) { return 0; }
  // FPGA register file, serialised by the register lock.
  virtual uint32_t WriteFpgaRegister(uint8_t /*reg*/, uint8_t /*value*/) { return 0; }
  virtual uint32_t ReadFpgaRegister(uint8_t /*reg*/, uint8_t* /*value*/) { return 0; }
  virtual uint32_t WriteAuxRegister(uint8_t /*reg*/, uint8_t /*value*/) { return 0; }
  virtual uint32_t ReadAuxRegister(uint8_t /*reg*/, uint8_t* /*value*/) { return 0; }
  // Makes a frame read blocked on the stream (from another thread) fail at once.
  virtual uint32_t AbortStream() { return 0; }
};

}  // namespace vexcam
