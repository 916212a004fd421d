#pragma once
// The text-controlled camera head (driver ZA04): its own controller sits
// behind a character port on the sensor bus (register address 0). Characters
// written are collected into a command line; a complete line (LF or a zero
// byte) is answered with a reply line that is read back one character per
// read. A read with nothing to deliver is not acknowledged. The head answers
// only once it has been woken (FPGA register 255 written 4).
//
// Commands: "n" identify, "x -c" start, "i -v N" exposure lines, "g -v N"
// gain, "d -y CODE" / "d -n" debug mode on / off, and in debug mode
// "q -w xRR xVV" writes register RR of the head's own FPGA. Anything else,
// a value out of range or a wrong code is answered "NG\r\n".

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

#include "sim/sim_head.h"

namespace vexcam::sim {

class SimCamera;

class SimHeadZA04 : public SimHead {
 public:
  static constexpr std::string_view kDebugCode = "5803164";
  static constexpr uint8_t kRegWake = 255;
  static constexpr uint8_t kWakeValue = 4;

  bool SensorWrite(SimPorts& ports, const uint8_t* bytes, uint16_t count) override;
  bool SensorRead(SimPorts& ports, uint8_t* bytes, uint16_t count) override;

  // Test hooks. The next `commands` complete commands are refused with
  // "NG\r\n" without taking effect.
  void RefuseNext(uint32_t commands) { refuse_ += commands; }
  // The next reply stops after `afterChars` characters for `reads` reads
  // (0 characters: the whole reply is late).
  void DelayNextReply(uint32_t reads, uint32_t afterChars = 0) {
    delayReads_ = reads;
    delayAfter_ = afterChars;
  }
  bool DebugMode() const { return debug_; }
  bool Started() const { return started_; }
  uint32_t ExposureLines() const { return exposure_; }
  uint32_t Gain() const { return gain_; }
  uint8_t HeadFpga(uint8_t reg) const { return headFpga_[reg]; }
  uint32_t Commands() const { return commands_; }

 private:
  static bool Awake(const SimPorts& ports) { return ports.fpga[kRegWake] == kWakeValue; }
  void Execute(const std::string& line);
  void Reply(std::string_view text);

  std::string line_;
  bool overlong_ = false;
  std::deque<char> out_;
  uint32_t holdReads_ = 0;  // failing reads left at the hold point
  uint32_t holdAfter_ = 0;  // characters still delivered before the hold point
  uint32_t refuse_ = 0;
  uint32_t delayReads_ = 0;
  uint32_t delayAfter_ = 0;
  bool debug_ = false;
  bool started_ = false;
  uint32_t exposure_ = 0;
  uint32_t gain_ = 0;
  uint32_t commands_ = 0;
  std::array<uint8_t, 256> headFpga_{};
};

// Runs visit on the camera's head under the camera's lock; false when the
// camera has another head.
bool WithZA04Head(SimCamera& camera, const std::function<void(SimHeadZA04&)>& visit);

}  // namespace vexcam::sim
