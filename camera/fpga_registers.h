#pragma once
// FPGA register numbers the camera device model writes (8-bit registers;
// 16-bit values go low byte first into the pair).

#include <cstdint>

namespace vexcam {

inline constexpr uint8_t kFpgaFrameCounter = 8;
inline constexpr uint8_t kFpgaVersionMinor = 16;
inline constexpr uint8_t kFpgaRevision = 17;
inline constexpr uint8_t kFpgaVersionMajor = 19;
inline constexpr uint8_t kFpgaTriggerGate = 48;
inline constexpr uint8_t kFpgaSensorEnable = 56;
inline constexpr uint8_t kFpgaDataWidth = 60;
inline constexpr uint8_t kFpgaSensorPower = 62;
inline constexpr uint8_t kFpgaWindowHeightLow = 64;
inline constexpr uint8_t kFpgaWindowHeightHigh = 65;
inline constexpr uint8_t kFpgaWindowWidthLow = 68;
inline constexpr uint8_t kFpgaWindowWidthHigh = 69;
inline constexpr uint8_t kFpgaOffsetALow = 72;
inline constexpr uint8_t kFpgaOffsetAHigh = 73;
inline constexpr uint8_t kFpgaOffsetBLow = 76;
inline constexpr uint8_t kFpgaOffsetBHigh = 77;
inline constexpr uint8_t kFpgaTransferReset = 104;
inline constexpr uint8_t kFpgaKeepAlive = 129;
inline constexpr uint8_t kFpgaReadoutSpeed = 144;
inline constexpr uint8_t kFpgaAltWindowHeightLow = 154;
inline constexpr uint8_t kFpgaAltWindowHeightHigh = 155;
inline constexpr uint8_t kFpgaAltWindowWidthLow = 156;
inline constexpr uint8_t kFpgaAltWindowWidthHigh = 157;
inline constexpr uint8_t kFpgaLevelLow = 208;
inline constexpr uint8_t kFpgaReadoutMode = 209;  // bit 0: fast readout
inline constexpr uint8_t kFpgaLevelHigh = 210;
inline constexpr uint8_t kFpgaCcdPower = 224;
// The trigger register, and the CCD bias registers switched off one by one at close.
inline constexpr uint8_t kFpgaTrigger = 36;
inline constexpr uint8_t kFpgaCcdBias[] = {37, 36, 31, 35, 34, 32, 33};

// Camera EEPROM byte that keeps the readout speed setting.
inline constexpr uint16_t kSromReadoutConfig = 0x1080;

}  // namespace vexcam
