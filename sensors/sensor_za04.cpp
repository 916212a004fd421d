#include "sensors/sensor_za04.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace vexcam {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kIdentify = "n\r\n";
constexpr std::string_view kIdentity = "VEXCAM-ZA04-CL\r\n";
constexpr std::string_view kStart = "x -c\r\n";
constexpr std::string_view kRefusal = "NG\r\n";
constexpr std::string_view kDebugOff = "d -n\r\n";
constexpr std::string_view kDebugWelcome = "Welcome Debug Mode!\r\n";
constexpr std::string_view kDebugGoodBye = "Good Bye!\r\n";
constexpr uint32_t kWakeAttempts = 10;
constexpr uint32_t kIdentifyRetries = 10;
constexpr uint32_t kCommandRetries = 3;
constexpr uint8_t kWideTransfer = 2;
// The buffer size of a formatted head FPGA command and of its reply.
constexpr size_t kFormatBytes = 100;

// Writes value to reg until it reads back, up to kWakeAttempts times.
bool WriteUntilReadBack(CControllerBase* controller, uint8_t reg, uint8_t value, uint32_t waitMs,
                        void (*wait)(uint32_t)) {
  const FpgaRegister r(controller, reg);
  for (uint32_t i = 0; i < kWakeAttempts; ++i) {
    r.Write(value);
    wait(waitMs);
    uint32_t read = 0;
    if (r.Read(&read) != 0 && read == value) return true;
  }
  return false;
}

}  // namespace

CSensorZA04::CSensorZA04(CControllerBase* controller, uint8_t busAddress,
                         std::chrono::milliseconds replyLimit)
    : CRecordTimeSensor(controller, busAddress, SensorDriver::kZA04),
      bridge_(controller, busAddress),
      reply_limit_(replyLimit) {
  UseChannel(bridge_);
}

uint32_t CSensorZA04::CheckSensor() {
  uint32_t value = 0;
  return FpgaRegister(controller_, kRegWake).Read(&value) != 0 && value == kWakeValue ? 1 : 0;
}

uint32_t CSensorZA04::InitSensor() {
  // The head's fixed transfer window; the camera device model sets the image area.
  return SetCaptureArea(0, 2048, 0, 1024, 0);
}

uint32_t CSensorZA04::WakeSensor() {
  if (controller_ == nullptr) return 0;
  if (!WriteUntilReadBack(controller_, kRegWake, kWakeValue, kCharacterWaitMs, WaitMs)) return 0;
  if (Transaction(kIdentify, kIdentifyRetries, kIdentity) == 0) return 0;
  // The head switches to the wide transfer on its own; not reading back is no failure.
  WriteUntilReadBack(controller_, kRegDataWidth, kWideTransfer, kCharacterWaitMs, WaitMs);
  return Transaction(kStart, kCommandRetries);
}

uint32_t CSensorZA04::SetCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                                     uint32_t areaFlag) {
  return StoreCaptureArea(x, width, y, height, areaFlag);
}

uint32_t CSensorZA04::SetTriggerMode(uint32_t mode) {
  CsLock lock(text_lock_);
  if (WriteHeadFpga(kHeadRegTrigger, mode == 1 ? 1 : 0) == 0) return 0;
  // A falling then rising latch takes the new trigger setting.
  if (WriteHeadFpga(kHeadRegLatch, 0) == 0 || WriteHeadFpga(kHeadRegLatch, 1) == 0) return 0;
  mode_flags_ = mode;
  return 1;
}

uint32_t CSensorZA04::GetTriggerMode(uint32_t* mode) { return ReportModeFlags(mode); }

uint32_t CSensorZA04::SendValue(char command, uint32_t value, RangeRecord& record) {
  value = std::min(value, record.maximum);
  char text[32];
  std::snprintf(text, sizeof(text), "%c -v %u\n", command, value);
  if (Transaction(text, kCommandRetries) == 0) return 0;
  record.current = value;
  return 1;
}

uint32_t CSensorZA04::SetExposureLines(uint32_t lines) {
  return SendValue('i', lines, info_.exposureLines);
}

uint32_t CSensorZA04::SetGlobalGain(uint32_t gain) {
  return SendValue('g', gain, info_.globalGain);
}

uint32_t CSensorZA04::SetExposureTime(uint32_t time) {
  // 0.1 ms to lines of the head; saturated so that a huge time cannot wrap.
  const double exact = time * 40.0 * 100.0 / 70.0;
  const double limit = info_.exposureLines.maximum;
  const uint32_t lines =
      exact >= limit ? info_.exposureLines.maximum : static_cast<uint32_t>(exact);
  if (SetExposureLines(lines) == 0) return 0;
  info_.exposureTime.current = time;
  return 1;
}

uint32_t CSensorZA04::ReceiveText(char* buffer, uint32_t size) {
  if (controller_ == nullptr) return 0;
  CsLock lock(text_lock_);
  // Room for a CR in the last place, the LF added after it and a zero.
  char line[kLineBytes + 2] = {};
  uint32_t n = 0;
  bool ended = false;
  while (n < kLineBytes) {
    uint32_t value = 0;
    const uint32_t ok = ReadSensorRegister(kCharacterPort, &value);
    WaitMs(kCharacterWaitMs);
    if (ok == 0) break;  // nothing more for now: the line so far
    const char c = static_cast<char>(value);
    line[n++] = c;
    if (c == '\0' || c == '\n') {
      ended = true;
      break;
    }
    if (c == '\r') {
      // The LF the head sends after its CR stays unread.
      line[n++] = '\n';
      ended = true;
      break;
    }
  }
  if (!ended && n >= kLineBytes) return 0;
  if (buffer != nullptr && size > 0) std::memcpy(buffer, line, std::min(size, n + 1));
  return n;
}

uint32_t CSensorZA04::SendText(const char* text, uint32_t length) {
  if (controller_ == nullptr) return 0;
  CsLock lock(text_lock_);
  char scratch[kLineBytes + 2];
  ReceiveText(scratch, sizeof(scratch));
  if (text == nullptr) return 0;
  uint32_t result = 0;
  for (uint32_t i = 0; i < length && text[i] != '\0'; ++i) {
    result = WriteSensorRegister(kCharacterPort, static_cast<uint8_t>(text[i]));
    if (result == 0) return 0;
    WaitMs(kCharacterWaitMs);
  }
  return result;
}

uint32_t CSensorZA04::Transaction(std::string_view command, uint32_t retries,
                                  std::string_view expected) {
  CsLock lock(text_lock_);
  const std::string text(command);  // with its terminating zero
  const uint32_t length = static_cast<uint32_t>(text.size()) + 1;
  const Clock::time_point start = Clock::now();
  if (SendText(text.c_str(), length) == 0) return 0;
  uint32_t refusals = 0;
  // A line is judged whole: pieces that ended because no character was ready
  // yet are joined with what follows.
  std::string pending;
  char reply[kLineBytes + 2];
  while (Clock::now() - start < reply_limit_) {
    const uint32_t n = ReceiveText(reply, sizeof(reply));
    if (n == 0) continue;  // each empty poll already waited one character time
    pending.append(reply, n);
    const char last = reply[n - 1];
    if (last != '\n' && last != '\0') {
      if (pending.size() >= kLineBytes) pending.clear();
      continue;
    }
    const std::string line = std::move(pending);
    pending.clear();
    if (line == kRefusal) {
      if (++refusals >= retries) return 0;
      if (SendText(text.c_str(), length) == 0) return 0;
      continue;
    }
    if (line == expected) return 1;
    WaitMs(kCharacterWaitMs);
  }
  return 0;
}

uint32_t CSensorZA04::SetDebugMode(bool on) {
  CsLock lock(text_lock_);
  if (debug_mode_.load() == on) return 1;
  const std::string command =
      on ? "d -y " + std::string(kDebugAccessCode) + "\r\n" : std::string(kDebugOff);
  if (Transaction(command, kCommandRetries, on ? kDebugWelcome : kDebugGoodBye) == 0) return 0;
  debug_mode_.store(on);
  return 1;
}

uint32_t CSensorZA04::WriteHeadFpga(uint8_t reg, uint8_t value) {
  CsLock lock(text_lock_);
  if (SetDebugMode(true) == 0) return 0;
  char command[kFormatBytes] = {};
  char expected[kFormatBytes] = {};
  std::snprintf(command, sizeof(command), "q -w x%02x x%02x\n", reg, value);
  std::snprintf(expected, sizeof(expected), "Fpga Write   : 0x%02X : 0x%02X\r\n", reg, value);
  return Transaction(command, kCommandRetries, expected);
}

}  // namespace vexcam
