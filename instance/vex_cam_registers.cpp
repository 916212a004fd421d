// Register access, the I/O port, the EEPROM, the serial number and the
// sampling rate of an instance.
#include <cstring>

#include "instance/vex_cam.h"
#include "platform/clock.h"
#include "platform/text_convert.h"

namespace vexcam {

namespace {

constexpr uint8_t kIoPortRegister = 7;
constexpr int kSromAddressMask = 0xFFF;
constexpr int kSromVerifyAttempts = 10;
// The serial number: up to 32 EEPROM bytes, ended by 0xFF.
constexpr uint16_t kSerialFirstAddress = 0x1040;
constexpr uint16_t kSerialLastAddress = 0x105F;
constexpr int kSerialMaxChars = 31;
constexpr int kSerialMinBuffer = 32;
constexpr uint32_t kSerialReadGapMs = 10;
constexpr int kWideBufferChars = 1024;

}  // namespace

int CVexCam::ReadRegister(uint32_t address, int* ok) {
  if (ok) *ok = 0;
  if (!RequireCamera()) return 0;
  uint32_t value = 0;
  if (!camera->ReadSensorRegister(address, &value)) {
    Record(VEXCAM_ERR_DEVICE_IO);
    return 0;
  }
  if (ok) *ok = 1;
  return static_cast<int>(value);
}

BOOL CVexCam::WriteRegister(uint32_t address, uint32_t value) {
  if (!RequireCamera()) return 0;
  if (!camera->WriteSensorRegister(address, value)) {
    Record(VEXCAM_ERR_DEVICE_IO);
    return 0;
  }
  return 1;
}

int CVexCam::FpgaReadRegister(BYTE address, int* ok) {
  if (ok) *ok = 0;
  if (!RequireCamera()) return 0;
  uint32_t read = 0;
  const uint32_t value = camera->ReadFpgaRegister(address, &read);
  if (!read) {
    Record(VEXCAM_ERR_DEVICE_IO);
    return 0;
  }
  if (ok) *ok = 1;
  return static_cast<int>(value & 0xFFFF);
}

BOOL CVexCam::FpgaWriteRegister(BYTE address, WORD value) {
  if (!RequireCamera()) return 0;
  // FPGA registers hold one byte.
  if (!camera->WriteFpgaRegister(address, static_cast<uint8_t>(value))) {
    Record(VEXCAM_ERR_DEVICE_IO);
    return 0;
  }
  return 1;
}

BOOL CVexCam::GetIOPort(BYTE* value) {
  if (!camera) {
    Notify(VEXCAM_ERR_NO_CAMERA);
    return 0;
  }
  if (value == nullptr) {
    Notify(VEXCAM_ERR_INVALID_ARG);
    return 0;
  }
  uint32_t read = 0;
  const uint32_t port = camera->ReadFpgaRegister(kIoPortRegister, &read);
  if (!read) {
    Notify(VEXCAM_ERR_INVALID_ARG);
    return 0;
  }
  *value = static_cast<BYTE>(port);
  return 1;
}

BOOL CVexCam::SetIOPort(BYTE value) {
  if (!camera) {
    Notify(VEXCAM_ERR_NO_CAMERA);
    return 0;
  }
  return camera->WriteFpgaRegister(kIoPortRegister, value) != 0 ? 1 : 0;
}

int CVexCam::ReadSromID(int address, int* ok) {
  if (ok) *ok = 0;
  if (!camera) {
    Notify(VEXCAM_ERR_NO_CAMERA);
    return 0;
  }
  uint8_t value = 0;
  if (!camera->ReadSromId(static_cast<uint16_t>(address & kSromAddressMask), &value)) {
    Notify(VEXCAM_ERR_NO_CAMERA);
    return 0;
  }
  if (ok) *ok = 1;
  return value;
}

BOOL CVexCam::WriteSromID(int address, int value) {
  if (!camera) {
    Notify(VEXCAM_ERR_NO_CAMERA);
    return 0;
  }
  const uint16_t at = static_cast<uint16_t>(address & kSromAddressMask);
  const uint8_t byte = static_cast<uint8_t>(value & 0xFF);
  if (!camera->WriteSromId(at, byte)) {
    Notify(VEXCAM_ERR_NO_CAMERA);
    return 0;
  }
  // The EEPROM may need a moment (or another write) before it holds the
  // byte: read it back and rewrite until it does.
  for (int attempt = 0; attempt < kSromVerifyAttempts; ++attempt) {
    uint8_t stored = 0;
    if (!camera->ReadSromId(at, &stored)) {
      Notify(VEXCAM_ERR_NO_CAMERA);
    } else if (stored == byte) {
      return 1;
    }
    camera->WriteSromId(at, byte);
  }
  // The byte never read back as written: the write was lost.
  Notify(VEXCAM_ERR_NO_CAMERA);
  return 0;
}

BOOL CVexCam::ReadSerialNumberA(char* buffer, int size) {
  if (!RequireCamera()) return 0;
  if (buffer == nullptr || size < kSerialMinBuffer) {
    Record(VEXCAM_ERR_INVALID_ARG);
    return 0;
  }
  char serial[kSerialLastAddress - kSerialFirstAddress + 1] = {};
  int count = 0;
  bool firstRead = false;
  for (uint16_t at = kSerialFirstAddress; at <= kSerialLastAddress; ++at) {
    if (at != kSerialFirstAddress) SleepMs(kSerialReadGapMs);
    uint8_t byte = 0;
    if (!camera->ReadSromId(at, &byte)) break;
    if (at == kSerialFirstAddress) firstRead = true;
    if (byte == 0xFF) break;
    serial[count++] = static_cast<char>(byte);
  }
  buffer[0] = '\0';
  // A first read that failed is reported by the result alone.
  if (!firstRead) return 0;
  if (count > 0 && serial[0] != 0) {
    const int length = count < kSerialMaxChars ? count : kSerialMaxChars;
    std::memcpy(buffer, serial, static_cast<size_t>(length));
    buffer[length] = '\0';
  }
  return 1;
}

BOOL CVexCam::ReadSerialNumberW(wchar_t* buffer, int size) {
  if (!RequireCamera()) return 0;
  if (buffer == nullptr) {
    Record(VEXCAM_ERR_INVALID_ARG);
    return 0;
  }
  // The number is read into a local buffer; the caller's size bounds only
  // the converted text (terminator included), and nothing is written to the
  // caller's buffer unless all of it fits.
  char narrow[kWideBufferChars] = {};
  if (!ReadSerialNumberA(narrow, sizeof(narrow))) return 0;
  wchar_t wide[kWideBufferChars];
  const int length = MultiByteToWide(CodePage::kThreadAcp, narrow, -1, wide, kWideBufferChars);
  if (length <= 0 || length > size) {
    Record(VEXCAM_ERR_FILE_OR_TEXT);
    return 0;
  }
  std::memcpy(buffer, wide, static_cast<size_t>(length) * sizeof(wchar_t));
  return 1;
}

BOOL CVexCam::SetSamplingRate(int rate) {
  if (!camera) return 0;
  uint32_t parameter = static_cast<uint32_t>(rate);
  return camera->AccessSensorParameter(0, 0, &parameter) != 0 ? 1 : 0;
}

}  // namespace vexcam
