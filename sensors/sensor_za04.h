#pragma once
// Driver of the 1280 x 1024 camera whose head has its own controller: it is
// programmed with short text commands sent character by character through a
// serial bridge (bus address 72, register 0 is the character port) and
// answers with text lines. Only bring-up uses the USB-side FPGA directly;
// trigger settings are FPGA writes the head performs in its debug mode.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string_view>

#include "platform/critical_section.h"
#include "sensors/fpga_register.h"
#include "sensors/record_time_sensor.h"
#include "sensors/serial_register.h"

namespace vexcam {

class CSensorZA04 final : public CRecordTimeSensor {
 public:
  // Register 0 of the bridge carries one character per access.
  static constexpr uint16_t kCharacterPort = 0;
  // Longest line the driver assembles (the terminator included).
  static constexpr uint32_t kLineBytes = 256;
  // Pause after every character written or read.
  static constexpr uint32_t kCharacterWaitMs = 10;
  // A transaction gives up this long after its first send.
  static constexpr std::chrono::milliseconds kReplyLimit{60000};
  // The head's access code for its debug mode (seven digits).
  static constexpr std::string_view kDebugAccessCode = "5803164";
  // USB-side FPGA registers of the bring-up.
  static constexpr uint8_t kRegWake = 255;  // reads kWakeValue once the head is up
  static constexpr uint8_t kWakeValue = 4;
  static constexpr uint8_t kRegDataWidth = 60;  // 2: 16-bit transfer
  // Registers of the head's FPGA written by SetTriggerMode.
  static constexpr uint8_t kHeadRegTrigger = 48;
  static constexpr uint8_t kHeadRegLatch = 60;

  // replyLimit: how long a transaction waits for its reply (tests shorten it).
  CSensorZA04(CControllerBase* controller, uint8_t busAddress,
              std::chrono::milliseconds replyLimit = kReplyLimit);

  uint32_t CheckSensor() override;
  uint32_t InitSensor() override;
  uint32_t WakeSensor() override;
  // Stored as given: the head frames the image itself.
  uint32_t SetCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                          uint32_t areaFlag) override;
  uint32_t SetTriggerMode(uint32_t mode) override;
  uint32_t GetTriggerMode(uint32_t* mode) override;
  uint32_t SetDataBits(uint32_t sixteenBit) override { return ApplyDataBits(sixteenBit); }
  uint32_t SetExposureLines(uint32_t lines) override;
  uint32_t SetGlobalGain(uint32_t gain) override;
  uint32_t SetExposureTime(uint32_t time) override;
  // One reply line into buffer (at most size bytes, a zero after the line
  // where it fits); returns the line length, 0 when nothing came.
  uint32_t ReceiveText(char* buffer, uint32_t size) override;
  // Drains one pending line, then writes up to length characters (stopping
  // at a zero byte); 1 when every write succeeded, 0 for an empty text.
  uint32_t SendText(const char* text, uint32_t length) override;
  uint32_t IsColorModeSupported() override { return 0; }
  uint32_t IsSubSampleSupported() override { return 0; }

  // Sends command (its terminating zero included) and waits for expected;
  // an "NG\r\n" reply resends it, retries such replies fail the transaction.
  uint32_t Transaction(std::string_view command, uint32_t retries,
                       std::string_view expected = "OK\r\n");
  // Switches the head's debug mode, unless the process-wide state says it is
  // already in that mode.
  uint32_t SetDebugMode(bool on);
  // Writes a register of the head's FPGA (in debug mode).
  uint32_t WriteHeadFpga(uint8_t reg, uint8_t value);

  // The debug mode last set successfully, shared by every camera of this
  // kind in the process.
  static bool CachedDebugMode() { return debug_mode_.load(); }
  static void ForgetDebugMode() { debug_mode_.store(false); }

 private:
  // Sends "<command> -v N" with the value limited to the record's maximum and
  // stores it as the record's current value on success.
  uint32_t SendValue(char command, uint32_t value, RangeRecord& record);

  SerialRegister8 bridge_;
  const std::chrono::milliseconds reply_limit_;
  // Held across a whole transaction so that two threads cannot interleave
  // their commands and replies on the one character port.
  CriticalSection text_lock_;
  static inline std::atomic<bool> debug_mode_{false};
};

}  // namespace vexcam
