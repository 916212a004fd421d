#include "camera/product_rules.h"

#include <algorithm>
#include <iterator>

namespace vexcam {

namespace {

struct NameRow {
  uint16_t productId;
  const char* format;
};

constexpr NameRow kNames[] = {
    {0x3020, "VexCam-ZB01-USB3-K9_%02d"}, {0x3030, "VexCam-ZB03-USB3-K9_%02d"},
    {0x3040, "VexCam-ZB02-USB3-K9_%02d"}, {0x3042, "VexCam-ZB05-USB3-K9_%02d"},
    {0x3050, "VexCam-ZB04-USB3-K9_%02d"}, {0x3090, "VexCam-ZB08-USB3-K9_%02d"},
    {0x30B0, "VexCam-ZB10-USB3-K9_%02d"}, {0x30C0, "VexCam-ZB09-USB3-K9_%02d"},
    {0x30F0, "VexCam-ZB06-USB3-K9_%02d"}, {0x3100, "VexCam-ZB07-USB3-K9_%02d"},
    {0x3110, "VexCam-ZB12-USB3-K9_%02d"}, {0x3120, "VexCam-ZB11-USB3-K9_%02d"},
    {0x3130, "VexCnv-ZA15_%02d"},         {0x3140, "VexCam-ZA05-USB3-K9_%02d"},
};

constexpr uint16_t kPipeResetProducts[] = {0x3100, 0x3130, 0x3150, 0x3170, 0x31B0, 0x31B4,
                                           0x31C0, 0x31C4, 0x31E0, 0x32A0, 0x32D0};
constexpr uint16_t kDataBitsForwarded[] = {0x3100, 0x31B0, 0x31B4, 0x31C0, 0x31C4, 0x3260,
                                           0x3270, 0x3280, 0x3290, 0x32A0, 0x32E0, 0x32F0,
                                           0x3300, 0x3360, 0x3370, 0x3380};

template <size_t N>
bool Contains(const uint16_t (&list)[N], uint32_t productId) {
  return std::find(std::begin(list), std::end(list), productId) != std::end(list);
}

OffsetRegisters Offsets(uint32_t a, uint32_t b) { return OffsetRegisters{true, a, b}; }

}  // namespace

const char* DeviceNameFormat(uint32_t productId) {
  for (const NameRow& row : kNames) {
    if (row.productId == productId) return row.format;
  }
  return nullptr;
}

WindowRegisterSet WindowRegistersOf(uint32_t productId) {
  switch (productId) {
    case 0x31E0:
    case 0x32D0:
      return WindowRegisterSet::kAlternate;
    case 0x3310:
    case 0x3320:
    case 0x3330:
    case 0x3340:
      return WindowRegisterSet::kNone;
    case 0x33A0:
      return WindowRegisterSet::kNoneDone;
    default:
      return WindowRegisterSet::kStandard;
  }
}

bool NeedsFpga17(uint32_t productId) { return productId == 0x30F0; }

OffsetRegisters OffsetRegistersOf(uint32_t productId, const SensorInfo& info, uint32_t binning,
                                  uint32_t fpga17) {
  const uint32_t flag = info.areaFlag;
  const uint32_t w = info.areaWidth;
  const uint32_t h = info.areaHeight;
  const uint32_t o = info.mirrorH.current;
  const bool mirrorV = info.mirrorV.current == 1;
  switch (productId) {
    case 0x30F0:
      return fpga17 >= 19 ? Offsets(31, 12) : Offsets(0, 0);
    case 0x3100:
    case 0x31B0:
    case 0x31B4:
    case 0x32A0:
      return Offsets(11, 0);
    case 0x3130:
    case 0x31E0:
    case 0x32D0:
      return Offsets(20, 136);
    case 0x31C0:
      return flag == 1 ? Offsets(11, 0) : Offsets(12, info.arrayWidth - info.areaX - w);
    case 0x31C4:
      return Offsets(flag == 1 ? 11 : 12, 0);
    case 0x31F0:
      return Offsets(flag != 0 ? info.areaY + 14 : info.areaY + (mirrorV ? 41 : 40),
                     info.areaX + (flag != 0 ? 32 : 64));
    case 0x3260:
    case 0x3270:
    case 0x3280:
    case 0x3290:
      if (flag == 0) {
        const uint32_t b = binning ? (o == 0 ? 8 : 104) : (o == 0 ? 4 : 100);
        return Offsets(h == info.arrayHeight ? 25 : 21, b);
      }
      if (flag == 1) return Offsets(23, binning ? (o != 0 ? 52 : 4) : (o > 0 ? 48 : 0));
      return Offsets(21, o == 0 ? 8 : 104);
    case 0x32B0:
      return Offsets(39, 79);
    case 0x32C0:
    case 0x33B0:
      return Offsets(10, 32);
    case 0x32E0:
      return Offsets(flag != 0 ? 36 : 68, 0);
    case 0x32F0:
      return Offsets(flag != 0 ? 36 : 68, 4);
    case 0x3300:
      if (flag != 0) return Offsets(mirrorV ? 11 : 15, 4);
      if (w < info.arrayWidth || h < info.arrayHeight) {
        return Offsets(11, w == info.arrayWidth ? 8 : 0);
      }
      return Offsets(mirrorV ? 11 : 19, 8);
    case 0x3370:
    case 0x3380:
      if (flag == 0) return Offsets(h == info.effectiveHeight ? 33 : 25, o != 0 ? 16 : 112);
      return Offsets(flag == 1 ? 31 : 17, o != 0 ? 8 : 52);
    default:
      return OffsetRegisters{};
  }
}

bool ResetsPipeOnRetry(uint32_t productId) { return Contains(kPipeResetProducts, productId); }

bool ResetsPipeOnCommandRetry(uint32_t productId) {
  return ResetsPipeOnRetry(productId) || productId == 0x3330 || productId == 0x3340;
}

bool UsesCommandFrames(uint32_t productId) { return productId == 0x3310 || productId == 0x3340; }

bool IsCooledAreaFamily(uint32_t productId) {
  return productId >= 0x3260 && productId <= 0x3290 && (productId & 0xF) == 0;
}

bool ForwardsDataBits(uint32_t productId) { return Contains(kDataBitsForwarded, productId); }

// Products whose data width lives in a register of their own rather than
// FPGA register 60 (or the command byte).
constexpr uint16_t kOwnDataWidthRegister[] = {0x3130, 0x31E0, 0x32D0, 0x3310,
                                              0x3320, 0x3330, 0x3340, 0x33A0};
bool HasGeneralDataWidth(uint32_t productId) {
  return ForwardsDataBits(productId) || !Contains(kOwnDataWidthRegister, productId);
}

bool IsCcdModel(uint32_t productId) {
  return productId == 0x3090 || productId == 0x30B0 || productId == 0x30C0;
}

}  // namespace vexcam
