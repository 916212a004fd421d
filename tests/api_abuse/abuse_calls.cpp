#include "abuse_calls.h"

namespace vexcam::abuse {

namespace {

constexpr int kMin = std::numeric_limits<int>::min();
constexpr int kMax = std::numeric_limits<int>::max();

template <class T>
T* Ptr(Buffers& b, const Args& a) {
  return a.null ? nullptr : reinterpret_cast<T*>(b.base);
}

std::string File(Buffers& b, const char* name) { return b.dir + "/" + name; }
std::wstring WFile(Buffers& b, const wchar_t* name) { return b.wdir + L"/" + name; }

// A file name for v: normal, empty, or far longer than any path.
std::string NameFor(Buffers& b, const char* name, int v) {
  if (v == 0) return "";
  if (v == kMax) return b.dir + "/" + std::string(5000, 'n');
  return File(b, name);
}
std::wstring WNameFor(Buffers& b, const wchar_t* name, int v) {
  if (v == 0) return L"";
  if (v == kMax) return b.wdir + L"/" + std::wstring(5000, L'n');
  if (v == kMin) return b.wdir + L"/\U0010FFFF\xD800";  // not convertible to the locale's encoding
  return WFile(b, name);
}

double DoubleFor(int v) {
  switch (v) {
    case kMin:
      return -std::numeric_limits<double>::infinity();
    case kMax:
      return std::numeric_limits<double>::infinity();
    case -1:
      return std::numeric_limits<double>::quiet_NaN();
    case 65536:
      return 1e300;
    default:
      return v * 1e-4;
  }
}

// One export's call of h, a and b: CALL failed when the call gave 0, GET and
// GET_AT (one argument before the ok flag) when ok says so; ANY never tells
// (but in raw mode, where GET and ANY fail on 0 too).
#define CALL(fn, capture, ...)                                                   \
  {                                                                              \
#fn, [](DWORD h, [[maybe_unused]] const Args& a,                             \
            [[maybe_unused]] Buffers& b) { return (__VA_ARGS__) == 0; }, capture \
  }
#define GET_AT(fn, ...)                                                               \
  {                                                                                   \
#fn, [](DWORD h, const Args& a, Buffers&) {                                         \
     int ok = -7;                                                                      \
     const bool zero = fn(h, __VA_ARGS__ a.null ? nullptr : &ok) == 0;                 \
     return a.raw ? zero && ok == -7 : !a.null && ok == 0;                             \
   } \
  }
#define GET(fn) GET_AT(fn, )
#define ANY(fn, ...)                                                              \
  {                                                                               \
#fn, [](DWORD h, [[maybe_unused]] const Args& a, [[maybe_unused]] Buffers& b) { \
     const bool zero = (__VA_ARGS__) == 0;                                               \
     return a.raw && zero;                                                               \
   } \
  }
#define SET(fn) CALL(fn, false, fn(h, a.v))
#define NOARG(fn, capture) CALL(fn, capture, fn(h))

const std::vector<Export> kExports = {
    ANY(VexCam_GetLastError, VexCam_GetLastError(h)),
    ANY(VexCam_EnumDevice, VexCam_EnumDevice(h, a.null ? nullptr : reinterpret_cast<char(*)[256]>(b.base))),
    ANY(VexCam_EnumDeviceW, VexCam_EnumDeviceW(h, a.null ? nullptr : reinterpret_cast<wchar_t(*)[256]>(b.base))),
    CALL(VexCam_GetDeviceName, false, VexCam_GetDeviceName(h, a.v2, Ptr<char>(b, a), b.Size(a.v))),
    CALL(VexCam_GetDeviceNameW, false, VexCam_GetDeviceNameW(h, a.v2, Ptr<wchar_t>(b, a), b.Size(a.v) / 4)),
    SET(VexCam_SetDeviceNumber),
    NOARG(VexCam_Close, true),
    {"VexCam_GetCameraInfo", [](DWORD h, const Args& a, Buffers& b) {
       // The declared size may lie upwards; nothing past the record is written.
       if (a.null) return VexCam_GetCameraInfo(h, nullptr) == 0;
       std::memset(b.base, 0x5A, 256);
       auto* info = reinterpret_cast<VEXCAM_CAMERA_INFO*>(b.base);
       info->size = static_cast<DWORD>(a.v);
       const bool failed = VexCam_GetCameraInfo(h, info) == 0;
       for (size_t i = sizeof(VEXCAM_CAMERA_INFO); i < 256; ++i)
         if (b.base[i] != 0x5A) return true;  // reported by the caller as a failure without code
       return failed;
     }},
    NOARG(VexCam_Preview, true),
    CALL(VexCam_CallBackPreview, true, VexCam_CallBackPreview(h, a.null ? nullptr : b.callback, b.At(a), b.Size(a.v), a.v2)),
    NOARG(VexCam_StartPreview, true),
    NOARG(VexCam_StopPreview, false),
    NOARG(VexCam_Capture, true),
    CALL(VexCam_SnapShot, true, VexCam_SnapShot(h, b.At(a), b.Size(a.v), a.v2)),
    CALL(VexCam_Trigger, true, VexCam_Trigger(h, a.null ? nullptr : b.callback, b.At(a), b.Size(a.v), a.v2)),
    CALL(VexCam_GetImage, false, VexCam_GetImage(h, b.At(a), b.Size(a.v), a.v2)),
    CALL(VexCam_Record, true, VexCam_Record(h, a.null ? nullptr : NameFor(b, "rec.avi", a.v).c_str(), static_cast<DWORD>(a.v2), a.v2 & 1)),
    CALL(VexCam_RecordW, true, VexCam_RecordW(h, a.null ? nullptr : WNameFor(b, L"recw.avi", a.v).c_str(), static_cast<DWORD>(a.v2), a.v2 & 1)),
    SET(VexCam_SetWaitTime),
    CALL(VexCam_GetWaitTime, false, int64_t{VexCam_GetWaitTime(h)} + 1),
    ANY(VexCam_Width, VexCam_Width(h)),
    ANY(VexCam_Height, VexCam_Height(h)),
    ANY(VexCam_GetStatus, VexCam_GetStatus(h, b.At(a))),
    NOARG(VexCam_Fps, false),
    SET(VexCam_SetColorMode),
    CALL(VexCam_GetColorMode, false, int64_t{VexCam_GetColorMode(h)} + 1),
    SET(VexCam_SetSubSample),
    CALL(VexCam_GetSubSample, false, int64_t{VexCam_GetSubSample(h)} + 1),
    CALL(VexCam_SetCaptureWindow, false, VexCam_SetCaptureWindow(h, a.v, a.v2)),
    CALL(VexCam_SetCaptureWindowEx/origin, false, VexCam_SetCaptureWindowEx(h, 640, a.v, a.v2, 512, a.v2, a.v)),
    CALL(VexCam_SetCaptureWindowEx/total, false, VexCam_SetCaptureWindowEx(h, a.v, 0, a.v, a.v2, 0, a.v2)),
    {"VexCam_GetCaptureWindowEx", [](DWORD h, const Args& a, Buffers& b) {
       int* p = Ptr<int>(b, a);
       return VexCam_GetCaptureWindowEx(h, p, p ? p + 1 : nullptr, p ? p + 2 : nullptr, p ? p + 3 : nullptr,
                                        p ? p + 4 : nullptr, p ? p + 5 : nullptr) == 0;
     }},
    CALL(VexCam_SetPreviewWindow, false, VexCam_SetPreviewWindow(h, nullptr, a.v, a.v2, a.v, a.v2)),
    SET(VexCam_SetMirrorH),
    SET(VexCam_SetMirrorV),
    ANY(VexCam_GetMirrorH, VexCam_GetMirrorH(h)),
    ANY(VexCam_GetMirrorV, VexCam_GetMirrorV(h)),
    SET(VexCam_SetConfigFilter),
    ANY(VexCam_GetConfigFilter, VexCam_GetConfigFilter(h)),
    SET(VexCam_SetExposureTime),
    GET(VexCam_GetExposureTime),
    SET(VexCam_SetRealExposureTime),
    GET(VexCam_GetRealExposureTime),
    CALL(VexCam_SetExposureTimeEx, false, VexCam_SetExposureTimeEx(h, DoubleFor(a.v))),
    GET(VexCam_GetExposureTimeEx),
    GET(VexCam_GetTemperature),
    GET(VexCam_GetTemperatureEx),
    SET(VexCam_SetPeltier),
    GET(VexCam_GetPeltier),
    GET_AT(VexCam_ReadRegister, static_cast<BYTE>(a.v),),
    GET_AT(VexCam_ReadRegisterEx, static_cast<DWORD>(a.v),),
    // Register writes go to registers the sensor driver rewrites on the next
    // open: the test pattern's gain registers and an unused address.
    CALL(VexCam_WriteRegister, false, VexCam_WriteRegister(h, static_cast<BYTE>(a.v & 1 ? 0x10 : 0xFE), static_cast<WORD>(a.v2))),
    CALL(VexCam_WriteRegisterEx, false, VexCam_WriteRegisterEx(h, static_cast<DWORD>(a.v), static_cast<DWORD>(a.v2))),
    GET_AT(VexCam_Fpga_ReadRegister, static_cast<BYTE>(a.v),),
    CALL(VexCam_Fpga_WriteRegister, false, VexCam_Fpga_WriteRegister(h, static_cast<BYTE>(a.v & 1 ? 200 : 201), static_cast<WORD>(a.v2))),
    CALL(VexCam_GetIOPort, false, VexCam_GetIOPort(h, b.At(a))),
    CALL(VexCam_SetIOPort, false, VexCam_SetIOPort(h, static_cast<BYTE>(a.v))),
    GET_AT(VexCam_ReadSromID, a.v,),
    // Byte values are written back as they were, so the camera's identity
    // survives; values past a byte must be refused.
    {"VexCam_WriteSromID", [](DWORD h, const Args& a, Buffers&) {
       int value = a.v2;
       if (value >= 0 && value <= 255) {
         int ok = 0;
         const int old = VexCam_ReadSromID(h, a.v, &ok);
         if (!ok) return true;
         value = old;
       }
       return VexCam_WriteSromID(h, a.v, value) == 0;
     }},
    CALL(VexCam_ReadSerialNumberA, false, VexCam_ReadSerialNumberA(h, Ptr<char>(b, a), b.Size(a.v))),
    CALL(VexCam_ReadSerialNumberW, false, VexCam_ReadSerialNumberW(h, Ptr<wchar_t>(b, a), b.Size(a.v) / 4)),
    SET(VexCam_SetSamplingRate),
    ANY(VexCam_GetSamplingRate, VexCam_GetSamplingRate(h, Ptr<int>(b, a))),
    ANY(VexCam_GetVideoFormat, VexCam_GetVideoFormat(h, Ptr<int>(b, a))),
    SET(VexCam_SetAutoIris),
    GET(VexCam_GetAutoIris),
    CALL(VexCam_SetFilterValue, false, VexCam_SetFilterValue(h, a.v2, a.v)),
    GET_AT(VexCam_GetFilterValue, a.v2,),
    GET(VexCam_GetBrightness), SET(VexCam_SetBrightness),
    GET(VexCam_GetContrast), SET(VexCam_SetContrast),
    GET(VexCam_GetHue), SET(VexCam_SetHue),
    GET(VexCam_GetSaturation), SET(VexCam_SetSaturation),
    GET(VexCam_GetSharpness), SET(VexCam_SetSharpness),
    GET(VexCam_GetBayerGainRGB), SET(VexCam_SetBayerGainRGB),
    GET(VexCam_GetBayerGainRed), SET(VexCam_SetBayerGainRed),
    GET(VexCam_GetBayerGainGreen), SET(VexCam_SetBayerGainGreen),
    GET(VexCam_GetBayerGainBlue), SET(VexCam_SetBayerGainBlue),
    GET(VexCam_GetBayerGainAuto), SET(VexCam_SetBayerGainAuto),
    GET(VexCam_GetGamma), SET(VexCam_SetGamma),
    GET(VexCam_GetBayerMode), SET(VexCam_SetBayerMode),
    GET(VexCam_GetGlobalGain), SET(VexCam_SetGlobalGain),
    GET(VexCam_GetColorGainRed), SET(VexCam_SetColorGainRed),
    GET(VexCam_GetColorGainGreen1), SET(VexCam_SetColorGainGreen1),
    GET(VexCam_GetColorGainGreen2), SET(VexCam_SetColorGainGreen2),
    GET(VexCam_GetColorGainBlue), SET(VexCam_SetColorGainBlue),
    GET(VexCam_GetGrayMode), SET(VexCam_SetGrayMode),
    GET(VexCam_GetGrayGainR), SET(VexCam_SetGrayGainR),
    GET(VexCam_GetGrayGainG1), SET(VexCam_SetGrayGainG1),
    GET(VexCam_GetGrayGainG2), SET(VexCam_SetGrayGainG2),
    GET(VexCam_GetGrayGainB), SET(VexCam_SetGrayGainB),
    GET(VexCam_GetGrayOffsetR), SET(VexCam_SetGrayOffsetR),
    GET(VexCam_GetGrayOffsetG1), SET(VexCam_SetGrayOffsetG1),
    GET(VexCam_GetGrayOffsetG2), SET(VexCam_SetGrayOffsetG2),
    GET(VexCam_GetGrayOffsetB), SET(VexCam_SetGrayOffsetB),
    GET(VexCam_GetDotFilter), SET(VexCam_SetDotFilter),
    GET(VexCam_GetMaskFilter), SET(VexCam_SetMaskFilter),
    GET_AT(VexCam_GetChannelGain, a.v2,),
    CALL(VexCam_SetChannelGain, false, VexCam_SetChannelGain(h, a.v2, a.v)),
    GET_AT(VexCam_GetChannelOffset, a.v2,),
    CALL(VexCam_SetChannelOffset, false, VexCam_SetChannelOffset(h, a.v2, a.v)),
    GET(VexCam_GetHalfClock), SET(VexCam_SetHalfClock),
    GET(VexCam_GetInternalCorrection), SET(VexCam_SetInternalCorrection),
    SET(VexCam_SetCrossbar),
    {"VexCam_SendText", [](DWORD h, const Args& a, Buffers& b) {
       if (!a.null) std::memcpy(b.base, "EXP 10\r", 8);
       return VexCam_SendText(h, Ptr<char>(b, a), b.Size(a.v)) == 0;
     }},
    CALL(VexCam_ReceiveText, false, VexCam_ReceiveText(h, Ptr<char>(b, a), b.Size(a.v))),
    CALL(VexCam_SetCameraDlg, false, VexCam_SetCameraDlg(h, nullptr)),
    CALL(VexCam_SetAnalogDlg, false, VexCam_SetAnalogDlg(h, nullptr)),
    CALL(VexCam_SetImageDlg, false, VexCam_SetImageDlg(h, nullptr)),
    CALL(VexCam_SaveImage, false, VexCam_SaveImage(h, a.null ? nullptr : NameFor(b, "still", a.v2).c_str(), a.v)),
    CALL(VexCam_SaveImageW, false, VexCam_SaveImageW(h, a.null ? nullptr : WNameFor(b, L"stillw", a.v2).c_str(), a.v)),
    CALL(VexCam_LoadConfigFileA, false, VexCam_LoadConfigFileA(h, a.null ? nullptr : (a.v2 == 1 ? b.dir : NameFor(b, "config.bin", a.v2)).c_str())),
    CALL(VexCam_LoadConfigFileW, false, VexCam_LoadConfigFileW(h, a.null ? nullptr : WNameFor(b, L"config.bin", a.v2).c_str())),
    CALL(VexCam_SaveMaskFile, false, VexCam_SaveMaskFile(h, a.null ? nullptr : (a.v2 == 1 ? b.dir : NameFor(b, "mask.bin", a.v2)).c_str())),
    CALL(VexCam_SaveMaskFileW, false, VexCam_SaveMaskFileW(h, a.null ? nullptr : WNameFor(b, L"maskw.bin", a.v2).c_str())),
    CALL(VexCam_LoadMaskFile, false, VexCam_LoadMaskFile(h, a.null ? nullptr : (a.v2 == 1 ? b.dir : NameFor(b, a.v2 & 2 ? "config.bin" : "mask.bin", a.v2)).c_str())),
    CALL(VexCam_LoadMaskFileW, false, VexCam_LoadMaskFileW(h, a.null ? nullptr : WNameFor(b, L"maskw.bin", a.v2).c_str())),
    SET(VexCam_UpdateMaskData),
};

#undef CALL
#undef GET_AT
#undef GET
#undef ANY
#undef SET
#undef NOARG

}  // namespace

const std::vector<Export>& Exports() { return kExports; }

const std::vector<int>& EdgeValues() {
  static const std::vector<int> values = {
      kMin, -65536, -256, -101, -2,   -1,   0,     1,     2,     3,     4,       5,        6,   7,
      8,    9,      15,   16,   17,   24,   32,    33,    48,    64,    65,      99,       100, 101,
      103,  104,    105,  106,  107,  127,  128,   255,   256,   511,   512,     513,      639, 640,
      641,  1000,   1023, 1024, 4095, 4096, 32767, 32768, 65535, 65536, 1 << 24, kMax - 1, kMax};
  return values;
}

}  // namespace vexcam::abuse
