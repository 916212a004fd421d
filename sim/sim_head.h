#pragma once
// The per-product part of a simulated camera: the sensor head behind the
// FPGA. The generic camera (sim_camera*.cpp) owns the USB side, the FPGA
// register file, the EEPROM, the thermal model and the frame path; a head
// answers what differs per product: the sensor on the serial bus, FPGA
// registers with a meaning for this camera, the timing-chip words, the
// controller value path and the frame shape.
//
// Every hook runs with the camera's lock held and must not block; a head
// keeps its own state and reaches the camera's through SimPorts.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "sim/sim_product_table.h"
#include "sim/test_pattern.h"

namespace vexcam::sim {

// The camera state a head may read and change.
struct SimPorts {
  const SimProduct& product;
  std::array<uint8_t, 256>& fpga;       // FPGA register file
  std::vector<uint16_t>& sensor;        // generic sensor register file (0x10000 entries)
  uint32_t& busyReads;                  // FPGA register 2 reads 1 while this is non-zero
  std::function<double()> temperature;  // sensor temperature in degrees Celsius
};

class SimHead {
 public:
  virtual ~SimHead() = default;

  // After every power-on, once the generic registers are reset. A head is
  // made anew at each power-on, so its own state starts fresh.
  virtual void PowerOn(SimPorts& /*ports*/) {}

  // A serial-bus transaction to the sensor's bus address (reads arrive with
  // the read address, bit 0 set). false: no acknowledge. The default is the
  // generic register file: {address hi, address lo, values...} with values of
  // the row's sensorValueBytes; a read returns values from the last address.
  virtual bool SensorWrite(SimPorts& ports, const uint8_t* bytes, uint16_t count);
  virtual bool SensorRead(SimPorts& ports, uint8_t* bytes, uint16_t count);

  // An FPGA register write, after the value has been stored (read-only
  // registers are refused before this).
  virtual void FpgaWritten(SimPorts& /*ports*/, uint8_t /*reg*/, uint8_t /*old*/,
                           uint8_t /*value*/) {}
  // An FPGA register read: a value replaces the stored one.
  virtual std::optional<uint8_t> FpgaRead(SimPorts& /*ports*/, uint8_t /*reg*/) {
    return std::nullopt;
  }

  // Timing-chip words (vendor requests 0xD0 / 0xD1). A read returning false
  // stalls: the chip cannot be read back. The default keeps every word and
  // answers reads with it (0 when never written).
  virtual void ControllerWordWritten(SimPorts& ports, uint16_t address, uint32_t word);
  virtual bool ControllerWordRead(SimPorts& ports, uint16_t address, uint32_t* word);

  // Controller value (vendor request 0x3F): the sensor register the FPGA read
  // for the host. Default: the generic register file.
  virtual uint16_t ControllerValue(SimPorts& ports, uint16_t address);

  // The frame the camera would produce now: the generic path derived size,
  // bits and exposure from the FPGA window registers; a head corrects them.
  virtual void ShapeFrame(const SimPorts& /*ports*/, PatternFrame& /*frame*/) const {}

 protected:
  uint16_t sensorPointer_ = 0;          // last register address on the sensor bus
  std::map<uint16_t, uint32_t> words_;  // timing-chip words written
};

// The head of a product row (SimProduct::model).
std::unique_ptr<SimHead> MakeSimHead(const SimProduct& product);

}  // namespace vexcam::sim
