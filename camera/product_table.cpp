#include "camera/product_table.h"

#include <iterator>
#include <new>

#include "sensors/sensor_ccd.h"
#include "sensors/sensor_imx159.h"
#include "sensors/sensor_imx226.h"
#include "sensors/sensor_imx174.h"
#include "sensors/sensor_imx250.h"
#include "sensors/sensor_imx273.h"
#include "sensors/sensor_imx675.h"
#include "sensors/sensor_icx274.h"
#include "sensors/sensor_fpga_cmos.h"
#include "sensors/sensor_g1467x.h"
#include "sensors/sensor_glux9701.h"
#include "sensors/sensor_imx990.h"
#include "sensors/sensor_line_scan.h"
#include "sensors/sensor_mt9f001.h"
#include "sensors/sensor_mt9f002.h"
#include "sensors/sensor_mt9j001.h"
#include "sensors/sensor_mt9p001.h"
#include "sensors/sensor_shifted.h"
#include "sensors/sensor_za01.h"
#include "sensors/sensor_za04.h"
#include "sensors/sensor_za05.h"
#include "sensors/sensor_za09.h"
#include "sensors/sensor_za14.h"
#include "sensors/sensor_za15.h"
#include "sensors/sensor_za19.h"
#include "sensors/sensor_za21.h"

namespace vexcam {

namespace {

template <typename Driver>
std::unique_ptr<CSensorBase> Make(CControllerBase* controller, uint8_t busAddress) {
  return std::unique_ptr<CSensorBase>(new (std::nothrow) Driver(controller, busAddress));
}

// The fallback driver serves product ids outside the family table.
constexpr SensorConstructor kFallback = Make<CSensorMT9F001>;
constexpr SensorConstructor kZA01 = Make<CSensorZA01>;
constexpr SensorConstructor kZA06 = Make<CSensorZA06>;
constexpr SensorConstructor kZA07 = Make<CSensorZA07>;
constexpr SensorConstructor kZA08 = Make<CSensorZA08>;
constexpr SensorConstructor kMT9F001 = Make<CSensorMT9F001>;
constexpr SensorConstructor kMT9F002 = Make<CSensorMT9F002>;
constexpr SensorConstructor kMT9J001 = Make<CSensorMT9J001>;
constexpr SensorConstructor kMT9P001 = Make<CSensorMT9P001>;
constexpr SensorConstructor kZA04 = Make<CSensorZA04>;
constexpr SensorConstructor kIMX990 = Make<CSensorIMX990>;
constexpr SensorConstructor kIMX991 = Make<CSensorIMX991>;
constexpr SensorConstructor kIMX992 = Make<CSensorIMX992>;
constexpr SensorConstructor kIMX159 = Make<CSensorIMX159>;
constexpr SensorConstructor kIMX183 = Make<CSensorIMX183>;
constexpr SensorConstructor kIMX226 = Make<CSensorIMX226>;
constexpr SensorConstructor kIMX174 = Make<CSensorIMX174>;
constexpr SensorConstructor kIMX178 = Make<CSensorIMX178>;
constexpr SensorConstructor kIMX250 = Make<CSensorIMX250>;
constexpr SensorConstructor kIMX252 = Make<CSensorIMX252>;
constexpr SensorConstructor kIMX264 = Make<CSensorIMX264>;
constexpr SensorConstructor kIMX265 = Make<CSensorIMX265>;
constexpr SensorConstructor kIMX273 = Make<CSensorIMX273>;
constexpr SensorConstructor kIMX487 = Make<CSensorIMX487>;
constexpr SensorConstructor kIMX536 = Make<CSensorIMX536>;
constexpr SensorConstructor kIMX675 = Make<CSensorIMX675>;
constexpr SensorConstructor kZA19 = Make<CSensorZA19>;
constexpr SensorConstructor kICX274 = Make<CSensorICX274>;
constexpr SensorConstructor kZA02 = Make<CSensorZA02>;
constexpr SensorConstructor kZA03 = Make<CSensorZA03>;
constexpr SensorConstructor kZA05 = Make<CSensorZA05>;
constexpr SensorConstructor kZA15 = Make<CSensorZA15>;
constexpr SensorConstructor kZA10 = Make<CSensorZA10>;
constexpr SensorConstructor kZA11 = Make<CSensorZA11>;
constexpr SensorConstructor kZA12 = Make<CSensorZA12>;
constexpr SensorConstructor kZA13 = Make<CSensorZA13>;
constexpr SensorConstructor kG1467x = Make<CSensorG1467x>;
constexpr SensorConstructor kZA09 = Make<CSensorZA09>;
constexpr SensorConstructor kZA14 = Make<CSensorZA14>;
constexpr SensorConstructor kZA16 = Make<CSensorZA16>;
constexpr SensorConstructor kZA17 = Make<CSensorZA17>;
constexpr SensorConstructor kZA18 = Make<CSensorZA18>;
constexpr SensorConstructor kZA20 = Make<CSensorZA20>;
constexpr SensorConstructor kZA21 = Make<CSensorZA21>;
constexpr SensorConstructor kGLUX9701 = Make<CSensorGLUX9701>;

using D = SensorDriver;
using Bits = DataBitsRule;
using Offs = OffsetRule;
using Pipe = PipeResetRule;
using Trig = TriggerRule;
using Win = WindowRegisterSet;
using WinQ = WindowQuirk;

constexpr uint32_t kFourMiB = 0x400000;

// clang-format off
constexpr ProductRow kRows[] = {
    {.productId = 0x3020, .model = "ZB01", .driver = D::kMT9F001, .construct = kMT9F001,
     .nameFormat = "VexCam-ZB01-USB3-K9_%02d", .busAddress = 0x20, .chipProbe = true,
     .windowQuirk = WinQ::kSettle},
    {.productId = 0x3030, .model = "ZB03", .driver = D::kMT9P001, .construct = kMT9P001,
     .nameFormat = "VexCam-ZB03-USB3-K9_%02d", .busAddress = 0x90, .trigger = Trig::kPrimedHeader},
    {.productId = 0x3040, .model = "ZB02", .driver = D::kMT9J001, .construct = kMT9J001,
     .nameFormat = "VexCam-ZB02-USB3-K9_%02d", .busAddress = 0x20},
    {.productId = 0x3042, .model = "ZB05", .driver = D::kMT9J001, .construct = kMT9J001,
     .nameFormat = "VexCam-ZB05-USB3-K9_%02d", .busAddress = 0x20,
     .framePath = FramePath::kAltEndpoint, .controlPath = ControlPath::kCommandByte},
    {.productId = 0x3050, .model = "ZB04", .driver = D::kICX274, .construct = kICX274,
     .nameFormat = "VexCam-ZB04-USB3-K9_%02d", .busAddress = 0x00, .trigger = Trig::kPrimedHeader},
    {.productId = 0x3090, .model = "ZB08", .driver = D::kZA08, .construct = kZA08,
     .nameFormat = "VexCam-ZB08-USB3-K9_%02d", .busAddress = 0x00, .ccdShutDown = true},
    {.productId = 0x30B0, .model = "ZB10", .driver = D::kZA06, .construct = kZA06,
     .nameFormat = "VexCam-ZB10-USB3-K9_%02d", .busAddress = 0x00,
     .windowQuirk = WinQ::kHeightByte192, .ccdShutDown = true},
    {.productId = 0x30C0, .model = "ZB09", .driver = D::kZA07, .construct = kZA07,
     .nameFormat = "VexCam-ZB09-USB3-K9_%02d", .busAddress = 0x00,
     .windowQuirk = WinQ::kHeightByte34Strobe, .transferReset = TransferResetQuirk::kNoStrobe,
     .ccdShutDown = true},
    {.productId = 0x30F0, .model = "ZB06", .driver = D::kIMX178, .construct = kIMX178,
     .nameFormat = "VexCam-ZB06-USB3-K9_%02d", .busAddress = 0x48, .offsets = Offs::kFpgaRevision,
     .offsetA = 31, .offsetB = 12, .trigger = Trig::kFpga48},
    {.productId = 0x3100, .model = "ZB07", .driver = D::kIMX174, .construct = kIMX174,
     .nameFormat = "VexCam-ZB07-USB3-K9_%02d", .busAddress = 0x48,
     .windowQuirk = WinQ::kClearTransferReset, .offsets = Offs::kFixed, .offsetA = 11,
     .dataBits = Bits::kForwardFirst, .trigger = Trig::kFpga48, .pipeReset = Pipe::kOnRetry},
    {.productId = 0x3110, .model = "ZB12", .driver = D::kIMX183, .construct = kIMX183,
     .nameFormat = "VexCam-ZB12-USB3-K9_%02d", .busAddress = 0x48},
    {.productId = 0x3120, .model = "ZB11", .driver = D::kIMX159, .construct = kIMX159,
     .nameFormat = "VexCam-ZB11-USB3-K9_%02d", .busAddress = 0x48},
    {.productId = 0x3130, .model = "ZA15", .driver = D::kZA15, .construct = kZA15,
     .nameFormat = "VexCnv-ZA15_%02d", .busAddress = 0x42, .planes = 3, .offsets = Offs::kFixed,
     .offsetA = 20, .offsetB = 136, .dataBits = Bits::kOwnRegister, .dataModes = 3,
     .dataWidthRegister = 61, .dataWidthValues = {0, 1, 2}, .pipeReset = Pipe::kOnRetry},
    {.productId = 0x3140, .model = "ZA05", .driver = D::kZA05, .construct = kZA05,
     .nameFormat = "VexCam-ZA05-USB3-K9_%02d", .busAddress = 0x6C,
     .bringUp = BringUpRule::kEnableSequence},
    {.productId = 0x3150, .model = "ZA03", .driver = D::kZA03, .construct = kZA03,
     .busAddress = 0x6C, .trigger = Trig::kMaskedFpga36, .readout = ReadoutRule::kFpga144,
     .pipeReset = Pipe::kOnRetry, .transferReset = TransferResetQuirk::kSettle},
    {.productId = 0x3170, .model = "ZA02", .driver = D::kZA02, .construct = kZA02,
     .busAddress = 0x6C, .trigger = Trig::kMaskedFpga36, .readout = ReadoutRule::kFpga144,
     .pipeReset = Pipe::kOnRetry},
    {.productId = 0x3180, .model = "ZA04", .driver = D::kZA04, .construct = kZA04,
     .busAddress = 0x48, .dataBits = Bits::kAlwaysWide, .bringUp = BringUpRule::kWakeSensor},
    {.productId = 0x3190, .model = "ZA12", .driver = D::kZA12, .construct = kZA12,
     .busAddress = 0x20, .retry = RetryRule::kNoRetryOnNext},
    {.productId = 0x31A0, .model = "ZA11", .driver = D::kZA11, .construct = kZA11,
     .busAddress = 0x20},
    {.productId = 0x31B0, .model = "IMX250", .driver = D::kIMX250, .construct = kIMX250,
     .busAddress = 0x48, .modelNumber = 59, .offsets = Offs::kFixed, .offsetA = 11,
     .dataBits = Bits::kForwardFirst, .pipeReset = Pipe::kOnRetry},
    {.productId = 0x31B4, .model = "IMX264", .driver = D::kIMX264, .construct = kIMX264,
     .busAddress = 0x48, .offsets = Offs::kFixed, .offsetA = 11, .dataBits = Bits::kForwardFirst,
     .pipeReset = Pipe::kOnRetry},
    {.productId = 0x31C0, .model = "IMX252", .driver = D::kIMX252, .construct = kIMX252,
     .busAddress = 0x48, .offsets = Offs::kRightMargin, .dataBits = Bits::kForwardFirst,
     .pipeReset = Pipe::kOnRetry},
    {.productId = 0x31C4, .model = "IMX265", .driver = D::kIMX265, .construct = kIMX265,
     .busAddress = 0x48, .offsets = Offs::kFlagSelectsA, .dataBits = Bits::kForwardFirst,
     .pipeReset = Pipe::kOnRetry},
    {.productId = 0x31D0, .model = "ZA13", .driver = D::kZA13, .construct = kZA13,
     .busAddress = 0x20},
    {.productId = 0x31E0, .model = "ZA09", .driver = D::kZA09, .construct = kZA09,
     .busAddress = 0x6C, .bottomUpRows = true, .window = Win::kAlternate, .offsets = Offs::kFixed,
     .offsetA = 20, .offsetB = 136, .dataBits = Bits::kOwnRegister, .dataWidthRegister = 163,
     .dataWidthValues = {1, 2, 1}, .readout = ReadoutRule::kSromConfig, .pipeReset = Pipe::kOnRetry,
     .bringUp = BringUpRule::kAwaitFpga},
    {.productId = 0x31F0, .model = "IMX226", .driver = D::kIMX226, .construct = kIMX226,
     .busAddress = 0x48, .offsets = Offs::kAreaOrigin},
    {.productId = 0x3200, .model = "ZA01", .driver = D::kZA01, .construct = kZA01,
     .busAddress = 0x48, .exposure = ExposureRule::kTransferThread},
    {.productId = 0x3210, .model = "ZA10", .driver = D::kZA10, .construct = kZA10,
     .busAddress = 0x20},
    {.productId = 0x3220, .model = "G1467x", .driver = D::kG1467x, .construct = kG1467x,
     .busAddress = 0x6C, .modelNumber = 105, .readout = ReadoutRule::kFpga144},
    {.productId = 0x3260, .model = "IMX990", .driver = D::kIMX990, .construct = kIMX990,
     .busAddress = 0x48, .modelNumber = 109, .offsets = Offs::kCooledArea,
     .dataBits = Bits::kForwardFirst, .trigger = Trig::kCooledArea,
     .readout = ReadoutRule::kFpga209, .levelValue = true, .cooledFamily = true},
    {.productId = 0x3270, .model = "IMX990C", .driver = D::kIMX990, .construct = kIMX990,
     .busAddress = 0x48, .modelNumber = 110, .offsets = Offs::kCooledArea,
     .dataBits = Bits::kForwardFirst, .trigger = Trig::kCooledArea,
     .readout = ReadoutRule::kFpga209, .levelValue = true, .cooledFamily = true},
    {.productId = 0x3280, .model = "IMX991", .driver = D::kIMX991, .construct = kIMX991,
     .busAddress = 0x48, .modelNumber = 111, .offsets = Offs::kCooledArea,
     .dataBits = Bits::kForwardFirst, .trigger = Trig::kCooledArea,
     .readout = ReadoutRule::kFpga209, .levelValue = true, .cooledFamily = true},
    {.productId = 0x3290, .model = "IMX991C", .driver = D::kIMX991, .construct = kIMX991,
     .busAddress = 0x48, .modelNumber = 112, .offsets = Offs::kCooledArea,
     .dataBits = Bits::kForwardFirst, .trigger = Trig::kCooledArea,
     .readout = ReadoutRule::kFpga209, .levelValue = true, .cooledFamily = true},
    {.productId = 0x32A0, .model = "IMX250M", .driver = D::kIMX250, .construct = kIMX250,
     .busAddress = 0x48, .modelNumber = 113, .offsets = Offs::kFixed, .offsetA = 11,
     .dataBits = Bits::kForwardFirst, .pipeReset = Pipe::kOnRetry},
    {.productId = 0x32B0, .model = "ZA19", .driver = D::kZA19, .construct = kZA19,
     .busAddress = 0x48, .modelNumber = 61, .windowQuirk = WinQ::kStrobe, .offsets = Offs::kFixed,
     .offsetA = 39, .offsetB = 79},
    {.productId = 0x32C0, .model = "GLUX9701", .driver = D::kGLUX9701, .construct = kGLUX9701,
     .busAddress = 0x48, .modelNumber = 114, .offsets = Offs::kFixed, .offsetA = 10, .offsetB = 32,
     .bringUp = BringUpRule::kAwaitFpgaOrReset},
    {.productId = 0x32D0, .model = "ZA14", .driver = D::kZA14, .construct = kZA14,
     .busAddress = 0x6C, .window = Win::kAlternate, .offsets = Offs::kFixed, .offsetA = 20,
     .offsetB = 136, .dataBits = Bits::kOwnRegister, .dataWidthRegister = 163,
     .dataWidthValues = {1, 2, 1}, .pipeReset = Pipe::kOnRetry},
    {.productId = 0x32E0, .model = "IMX536", .driver = D::kIMX536, .construct = kIMX536,
     .busAddress = 0x48, .offsets = Offs::kWideFlagSelectsA, .dataBits = Bits::kForwardFirst},
    {.productId = 0x32F0, .model = "IMX487", .driver = D::kIMX487, .construct = kIMX487,
     .busAddress = 0x48, .offsets = Offs::kWideFlagSelectsA, .offsetB = 4,
     .dataBits = Bits::kForwardFirst},
    {.productId = 0x3300, .model = "IMX273", .driver = D::kIMX273, .construct = kIMX273,
     .busAddress = 0x48, .offsets = Offs::kMirrorAndArea, .dataBits = Bits::kForwardFirst},
    {.productId = 0x3310, .model = "ZA20", .driver = D::kZA20, .construct = kZA20,
     .busAddress = 0x40, .modelNumber = 116, .framePath = FramePath::kCommandFrames,
     .commandPieceBytes = kFourMiB, .window = Win::kNone, .reappliesSameArea = true,
     .dataBits = Bits::kOwnRegisterThenDriver, .dataWidthRegister = 110,
     .dataWidthValues = {0, 2, 2}, .trigger = Trig::kDriver},
    {.productId = 0x3320, .model = "ZA18", .driver = D::kZA18, .construct = kZA18,
     .busAddress = 0x40, .modelNumber = 117, .window = Win::kNone,
     .dataBits = Bits::kOwnRegisterThenDriver, .dataWidthRegister = 56,
     .dataWidthValues = {1, 0, 0}, .trigger = Trig::kDriverMode3},
    {.productId = 0x3330, .model = "ZA16", .driver = D::kZA16, .construct = kZA16,
     .busAddress = 0x40, .modelNumber = 118, .window = Win::kNone, .dataBits = Bits::kDriver,
     .trigger = Trig::kDriver, .pipeReset = Pipe::kOnCommandRetry},
    {.productId = 0x3340, .model = "ZA17", .driver = D::kZA17, .construct = kZA17,
     .busAddress = 0x40, .modelNumber = 119, .framePath = FramePath::kCommandFrames,
     .window = Win::kNone, .reappliesSameArea = true, .dataBits = Bits::kDriver,
     .trigger = Trig::kDriver, .pipeReset = Pipe::kOnCommandRetry},
    {.productId = 0x3360, .model = "IMX675", .driver = D::kIMX675, .construct = kIMX675,
     .busAddress = 0x48, .dataBits = Bits::kForwardFirst},
    {.productId = 0x3370, .model = "IMX992", .driver = D::kIMX992, .construct = kIMX992,
     .busAddress = 0x48, .modelNumber = 129, .offsets = Offs::kCooledLarge,
     .dataBits = Bits::kForwardFirst},
    {.productId = 0x3380, .model = "IMX992C", .driver = D::kIMX992, .construct = kIMX992,
     .busAddress = 0x48, .modelNumber = 130, .offsets = Offs::kCooledLarge,
     .dataBits = Bits::kForwardFirst},
    {.productId = 0x33A0, .model = "ZA21", .driver = D::kZA21, .construct = kZA21,
     .busAddress = 0x48, .window = Win::kNoneDone, .dataBits = Bits::kNone, .trigger = Trig::kNone,
     .strobe = StrobeRule::kSleep, .bringUp = BringUpRule::kNone,
     .transferReset = TransferResetQuirk::kSkip},
    {.productId = 0x33B0, .model = "GLUX9701B", .driver = D::kGLUX9701, .construct = kGLUX9701,
     .busAddress = 0x48, .modelNumber = 114, .offsets = Offs::kFixed, .offsetA = 10, .offsetB = 32,
     .bringUp = BringUpRule::kAwaitFpgaOrReset},
};
// clang-format on

constexpr ProductRow kAnyOther{.construct = kFallback};
constexpr ProductRow kChipProbeMatch{
    .productId = 0x3020, .driver = D::kMT9F002, .construct = kMT9F002, .chipProbe = true};

OffsetRegisters Offsets(uint32_t a, uint32_t b) { return OffsetRegisters{true, a, b}; }

OffsetRegisters CooledAreaOffsets(const SensorInfo& info, uint32_t binning) {
  const uint32_t flag = info.areaFlag;
  const uint32_t o = info.mirrorH.current;
  if (flag == 0) {
    const uint32_t b = binning ? (o == 0 ? 8 : 104) : (o == 0 ? 4 : 100);
    return Offsets(info.areaHeight == info.arrayHeight ? 25 : 21, b);
  }
  if (flag == 1) return Offsets(23, binning ? (o != 0 ? 52 : 4) : (o > 0 ? 48 : 0));
  return Offsets(21, o == 0 ? 8 : 104);
}

OffsetRegisters MirrorAndAreaOffsets(const SensorInfo& info) {
  const bool mirrorV = info.mirrorV.current == 1;
  const uint32_t w = info.areaWidth;
  if (info.areaFlag != 0) return Offsets(mirrorV ? 11 : 15, 4);
  if (w < info.arrayWidth || info.areaHeight < info.arrayHeight) {
    return Offsets(11, w == info.arrayWidth ? 8 : 0);
  }
  return Offsets(mirrorV ? 11 : 19, 8);
}

}  // namespace

const ProductRow& ProductRowOf(uint32_t productId) {
  for (const ProductRow& row : kRows) {
    if (row.productId == productId) return row;
  }
  return kAnyOther;
}

const ProductRow& ChipProbeRow() { return kChipProbeMatch; }

const ProductRow* ProductRowsBegin() { return std::begin(kRows); }
const ProductRow* ProductRowsEnd() { return std::end(kRows); }

std::vector<uint16_t> FamilyProductIds() {
  std::vector<uint16_t> ids;
  for (const ProductRow& row : kRows) ids.push_back(row.productId);
  return ids;
}

bool IsDriverImplemented(SensorDriver driver) {
  // The fallback's constructor is the MT9F001 class itself.
  if (driver == D::kMT9F001) return true;
  if (kChipProbeMatch.driver == driver) return kChipProbeMatch.construct != kFallback;
  for (const ProductRow& row : kRows) {
    if (row.driver == driver) return row.construct != kFallback;
  }
  return false;
}

bool HasGeneralDataWidth(const ProductRow& row) {
  return row.dataBits == Bits::kGeneral || row.dataBits == Bits::kForwardFirst ||
         row.dataBits == Bits::kAlwaysWide;
}

OffsetRegisters OffsetRegistersOf(const ProductRow& row, const SensorInfo& info, uint32_t binning,
                                  uint32_t fpga17) {
  const uint32_t flag = info.areaFlag;
  const bool mirrorV = info.mirrorV.current == 1;
  switch (row.offsets) {
    case Offs::kNone:
      return OffsetRegisters{};
    case Offs::kFixed:
      return Offsets(row.offsetA, row.offsetB);
    case Offs::kFpgaRevision:
      return fpga17 >= 19 ? Offsets(row.offsetA, row.offsetB) : Offsets(0, 0);
    case Offs::kRightMargin:
      return flag == 1 ? Offsets(11, 0)
                       : Offsets(12, info.arrayWidth - info.areaX - info.areaWidth);
    case Offs::kFlagSelectsA:
      return Offsets(flag == 1 ? 11 : 12, row.offsetB);
    case Offs::kWideFlagSelectsA:
      return Offsets(flag != 0 ? 36 : 68, row.offsetB);
    case Offs::kAreaOrigin:
      return Offsets(flag != 0 ? info.areaY + 14 : info.areaY + (mirrorV ? 41 : 40),
                     info.areaX + (flag != 0 ? 32 : 64));
    case Offs::kCooledArea:
      return CooledAreaOffsets(info, binning);
    case Offs::kCooledLarge: {
      const uint32_t o = info.mirrorH.current;
      if (flag == 0) {
        return Offsets(info.areaHeight == info.effectiveHeight ? 33 : 25, o != 0 ? 16 : 112);
      }
      return Offsets(flag == 1 ? 31 : 17, o != 0 ? 8 : 52);
    }
    case Offs::kMirrorAndArea:
      return MirrorAndAreaOffsets(info);
  }
  return OffsetRegisters{};
}

}  // namespace vexcam
