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

// int Get(handle, int* ok): failed when the ok flag was given and says so.
#define GET(fn)                                                      \
  {                                                                  \
#fn, [](DWORD h, const Args& a, Buffers&) {                        \
     int ok = -7;                                                     \
     fn(h, a.null ? nullptr : &ok);                                   \
     return !a.null && ok == 0;                                       \
   } \
  }
#define SET(fn)                                                           \
  {                                                                       \
#fn, [](DWORD h, const Args& a, Buffers&) { return fn(h, a.v) == 0; } \
  }
#define NOARG(fn, capture)                                                  \
  {                                                                         \
#fn, [](DWORD h, const Args&, Buffers&) { return fn(h) == 0; }, capture \
  }

const std::vector<Export> kExports = {
    {"VexCam_EnumDevice", [](DWORD h, const Args& a, Buffers& b) {
       VexCam_EnumDevice(h, a.null ? nullptr : reinterpret_cast<char(*)[256]>(b.base));
       return false;
     }},
    {"VexCam_EnumDeviceW", [](DWORD h, const Args& a, Buffers& b) {
       VexCam_EnumDeviceW(h, a.null ? nullptr : reinterpret_cast<wchar_t(*)[256]>(b.base));
       return false;
     }},
    {"VexCam_GetDeviceName", [](DWORD h, const Args& a, Buffers& b) {
       return VexCam_GetDeviceName(h, a.v2, Ptr<char>(b, a), b.Size(a.v)) == 0;
     }},
    {"VexCam_GetDeviceNameW", [](DWORD h, const Args& a, Buffers& b) {
       return VexCam_GetDeviceNameW(h, a.v2, Ptr<wchar_t>(b, a), b.Size(a.v) / 4) == 0;
     }},
    {"VexCam_SetDeviceNumber", [](DWORD h, const Args& a, Buffers&) {
       return VexCam_SetDeviceNumber(h, a.v) == 0;
     }},
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
    {"VexCam_CallBackPreview", [](DWORD h, const Args& a, Buffers& b) {
       return VexCam_CallBackPreview(h, a.null ? nullptr : b.callback, b.At(a), b.Size(a.v), a.v2) == 0;
     }, true},
    NOARG(VexCam_StartPreview, true),
    NOARG(VexCam_StopPreview, false),
    NOARG(VexCam_Capture, true),
    {"VexCam_SnapShot", [](DWORD h, const Args& a, Buffers& b) {
       return VexCam_SnapShot(h, b.At(a), b.Size(a.v), a.v2) == 0;
     }, true},
    {"VexCam_Trigger", [](DWORD h, const Args& a, Buffers& b) {
       return VexCam_Trigger(h, a.null ? nullptr : b.callback, b.At(a), b.Size(a.v), a.v2) == 0;
     }, true},
    {"VexCam_GetImage", [](DWORD h, const Args& a, Buffers& b) {
       return VexCam_GetImage(h, b.At(a), b.Size(a.v), a.v2) == 0;
     }},
    {"VexCam_Record", [](DWORD h, const Args& a, Buffers& b) {
       const std::string name = NameFor(b, "rec.avi", a.v);
       return VexCam_Record(h, a.null ? nullptr : name.c_str(), static_cast<DWORD>(a.v2), a.v2 & 1) == 0;
     }, true},
    {"VexCam_RecordW", [](DWORD h, const Args& a, Buffers& b) {
       const std::wstring name = WNameFor(b, L"recw.avi", a.v);
       return VexCam_RecordW(h, a.null ? nullptr : name.c_str(), static_cast<DWORD>(a.v2), a.v2 & 1) == 0;
     }, true},
    SET(VexCam_SetWaitTime),
    {"VexCam_GetWaitTime", [](DWORD h, const Args&, Buffers&) { return VexCam_GetWaitTime(h) == -1; }},
    {"VexCam_Width", [](DWORD h, const Args&, Buffers&) { VexCam_Width(h); return false; }},
    {"VexCam_Height", [](DWORD h, const Args&, Buffers&) { VexCam_Height(h); return false; }},
    {"VexCam_GetStatus", [](DWORD h, const Args& a, Buffers& b) {
       VexCam_GetStatus(h, b.At(a));
       return false;
     }},
    NOARG(VexCam_Fps, false),
    SET(VexCam_SetColorMode),
    {"VexCam_GetColorMode", [](DWORD h, const Args&, Buffers&) { return VexCam_GetColorMode(h) == -1; }},
    SET(VexCam_SetSubSample),
    {"VexCam_GetSubSample", [](DWORD h, const Args&, Buffers&) { return VexCam_GetSubSample(h) == -1; }},
    {"VexCam_SetCaptureWindow", [](DWORD h, const Args& a, Buffers&) {
       return VexCam_SetCaptureWindow(h, a.v, a.v2) == 0;
     }},
    {"VexCam_SetCaptureWindowEx/origin", [](DWORD h, const Args& a, Buffers&) {
       return VexCam_SetCaptureWindowEx(h, 640, a.v, a.v2, 512, a.v2, a.v) == 0;
     }},
    {"VexCam_SetCaptureWindowEx/total", [](DWORD h, const Args& a, Buffers&) {
       return VexCam_SetCaptureWindowEx(h, a.v, 0, a.v, a.v2, 0, a.v2) == 0;
     }},
    {"VexCam_GetCaptureWindowEx", [](DWORD h, const Args& a, Buffers& b) {
       int* p = Ptr<int>(b, a);
       return VexCam_GetCaptureWindowEx(h, p, p ? p + 1 : nullptr, p ? p + 2 : nullptr, p ? p + 3 : nullptr,
                                        p ? p + 4 : nullptr, p ? p + 5 : nullptr) == 0;
     }},
    {"VexCam_SetPreviewWindow", [](DWORD h, const Args& a, Buffers&) {
       return VexCam_SetPreviewWindow(h, nullptr, a.v, a.v2, a.v, a.v2) == 0;
     }},
    SET(VexCam_SetMirrorH),
    SET(VexCam_SetMirrorV),
    {"VexCam_GetMirrorH", [](DWORD h, const Args&, Buffers&) { VexCam_GetMirrorH(h); return false; }},
    {"VexCam_GetMirrorV", [](DWORD h, const Args&, Buffers&) { VexCam_GetMirrorV(h); return false; }},
    SET(VexCam_SetConfigFilter),
    {"VexCam_GetConfigFilter", [](DWORD h, const Args&, Buffers&) { VexCam_GetConfigFilter(h); return false; }},
    SET(VexCam_SetExposureTime),
    GET(VexCam_GetExposureTime),
    SET(VexCam_SetRealExposureTime),
    GET(VexCam_GetRealExposureTime),
    {"VexCam_SetExposureTimeEx", [](DWORD h, const Args& a, Buffers&) {
       return VexCam_SetExposureTimeEx(h, DoubleFor(a.v)) == 0;
     }},
    GET(VexCam_GetExposureTimeEx),
    GET(VexCam_GetTemperature),
    GET(VexCam_GetTemperatureEx),
    SET(VexCam_SetPeltier),
    GET(VexCam_GetPeltier),
    {"VexCam_ReadRegister", [](DWORD h, const Args& a, Buffers&) {
       int ok = -7;
       VexCam_ReadRegister(h, static_cast<BYTE>(a.v), a.null ? nullptr : &ok);
       return !a.null && ok == 0;
     }},
    {"VexCam_ReadRegisterEx", [](DWORD h, const Args& a, Buffers&) {
       int ok = -7;
       VexCam_ReadRegisterEx(h, static_cast<DWORD>(a.v), a.null ? nullptr : &ok);
       return !a.null && ok == 0;
     }},
    // Register writes go to registers the sensor driver rewrites on the next
    // open: the test pattern's gain registers and an unused address.
    {"VexCam_WriteRegister", [](DWORD h, const Args& a, Buffers&) {
       return VexCam_WriteRegister(h, static_cast<BYTE>(a.v & 1 ? 0x10 : 0xFE), static_cast<WORD>(a.v2)) == 0;
     }},
    {"VexCam_WriteRegisterEx", [](DWORD h, const Args& a, Buffers&) {
       return VexCam_WriteRegisterEx(h, static_cast<DWORD>(a.v), static_cast<DWORD>(a.v2)) == 0;
     }},
    {"VexCam_Fpga_ReadRegister", [](DWORD h, const Args& a, Buffers&) {
       int ok = -7;
       VexCam_Fpga_ReadRegister(h, static_cast<BYTE>(a.v), a.null ? nullptr : &ok);
       return !a.null && ok == 0;
     }},
    {"VexCam_Fpga_WriteRegister", [](DWORD h, const Args& a, Buffers&) {
       return VexCam_Fpga_WriteRegister(h, static_cast<BYTE>(a.v & 1 ? 200 : 201), static_cast<WORD>(a.v2)) == 0;
     }},
    {"VexCam_GetIOPort", [](DWORD h, const Args& a, Buffers& b) { return VexCam_GetIOPort(h, b.At(a)) == 0; }},
    {"VexCam_SetIOPort", [](DWORD h, const Args& a, Buffers&) {
       return VexCam_SetIOPort(h, static_cast<BYTE>(a.v)) == 0;
     }},
    {"VexCam_ReadSromID", [](DWORD h, const Args& a, Buffers&) {
       int ok = -7;
       VexCam_ReadSromID(h, a.v, a.null ? nullptr : &ok);
       return !a.null && ok == 0;
     }},
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
    {"VexCam_ReadSerialNumberA", [](DWORD h, const Args& a, Buffers& b) {
       return VexCam_ReadSerialNumberA(h, Ptr<char>(b, a), b.Size(a.v)) == 0;
     }},
    {"VexCam_ReadSerialNumberW", [](DWORD h, const Args& a, Buffers& b) {
       return VexCam_ReadSerialNumberW(h, Ptr<wchar_t>(b, a), b.Size(a.v) / 4) == 0;
     }},
    SET(VexCam_SetSamplingRate),
    {"VexCam_GetSamplingRate", [](DWORD h, const Args& a, Buffers& b) {
       VexCam_GetSamplingRate(h, Ptr<int>(b, a));
       return false;
     }},
    {"VexCam_GetVideoFormat", [](DWORD h, const Args& a, Buffers& b) {
       VexCam_GetVideoFormat(h, Ptr<int>(b, a));
       return false;
     }},
    SET(VexCam_SetAutoIris),
    GET(VexCam_GetAutoIris),
    {"VexCam_SetFilterValue", [](DWORD h, const Args& a, Buffers&) {
       return VexCam_SetFilterValue(h, a.v2, a.v) == 0;
     }},
    {"VexCam_GetFilterValue", [](DWORD h, const Args& a, Buffers&) {
       int ok = -7;
       VexCam_GetFilterValue(h, a.v2, a.null ? nullptr : &ok);
       return !a.null && ok == 0;
     }},
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
    {"VexCam_GetChannelGain", [](DWORD h, const Args& a, Buffers&) {
       int ok = -7;
       VexCam_GetChannelGain(h, a.v2, a.null ? nullptr : &ok);
       return !a.null && ok == 0;
     }},
    {"VexCam_SetChannelGain", [](DWORD h, const Args& a, Buffers&) {
       return VexCam_SetChannelGain(h, a.v2, a.v) == 0;
     }},
    {"VexCam_GetChannelOffset", [](DWORD h, const Args& a, Buffers&) {
       int ok = -7;
       VexCam_GetChannelOffset(h, a.v2, a.null ? nullptr : &ok);
       return !a.null && ok == 0;
     }},
    {"VexCam_SetChannelOffset", [](DWORD h, const Args& a, Buffers&) {
       return VexCam_SetChannelOffset(h, a.v2, a.v) == 0;
     }},
    GET(VexCam_GetHalfClock), SET(VexCam_SetHalfClock),
    GET(VexCam_GetInternalCorrection), SET(VexCam_SetInternalCorrection),
    SET(VexCam_SetCrossbar),
    {"VexCam_SendText", [](DWORD h, const Args& a, Buffers& b) {
       if (!a.null) std::memcpy(b.base, "EXP 10\r", 8);
       return VexCam_SendText(h, Ptr<char>(b, a), b.Size(a.v)) == 0;
     }},
    {"VexCam_ReceiveText", [](DWORD h, const Args& a, Buffers& b) {
       return VexCam_ReceiveText(h, Ptr<char>(b, a), b.Size(a.v)) == 0;
     }},
    {"VexCam_SetCameraDlg", [](DWORD h, const Args&, Buffers&) { return VexCam_SetCameraDlg(h, nullptr) == 0; }},
    {"VexCam_SetAnalogDlg", [](DWORD h, const Args&, Buffers&) { return VexCam_SetAnalogDlg(h, nullptr) == 0; }},
    {"VexCam_SetImageDlg", [](DWORD h, const Args&, Buffers&) { return VexCam_SetImageDlg(h, nullptr) == 0; }},
    {"VexCam_SaveImage", [](DWORD h, const Args& a, Buffers& b) {
       const std::string name = NameFor(b, "still", a.v2);
       return VexCam_SaveImage(h, a.null ? nullptr : name.c_str(), a.v) == 0;
     }},
    {"VexCam_SaveImageW", [](DWORD h, const Args& a, Buffers& b) {
       const std::wstring name = WNameFor(b, L"stillw", a.v2);
       return VexCam_SaveImageW(h, a.null ? nullptr : name.c_str(), a.v) == 0;
     }},
    {"VexCam_LoadConfigFileA", [](DWORD h, const Args& a, Buffers& b) {
       const std::string name = a.v2 == 1 ? b.dir : NameFor(b, "config.bin", a.v2);
       return VexCam_LoadConfigFileA(h, a.null ? nullptr : name.c_str()) == 0;
     }},
    {"VexCam_LoadConfigFileW", [](DWORD h, const Args& a, Buffers& b) {
       const std::wstring name = WNameFor(b, L"config.bin", a.v2);
       return VexCam_LoadConfigFileW(h, a.null ? nullptr : name.c_str()) == 0;
     }},
    {"VexCam_SaveMaskFile", [](DWORD h, const Args& a, Buffers& b) {
       const std::string name = a.v2 == 1 ? b.dir : NameFor(b, "mask.bin", a.v2);
       return VexCam_SaveMaskFile(h, a.null ? nullptr : name.c_str()) == 0;
     }},
    {"VexCam_SaveMaskFileW", [](DWORD h, const Args& a, Buffers& b) {
       const std::wstring name = WNameFor(b, L"maskw.bin", a.v2);
       return VexCam_SaveMaskFileW(h, a.null ? nullptr : name.c_str()) == 0;
     }},
    {"VexCam_LoadMaskFile", [](DWORD h, const Args& a, Buffers& b) {
       const std::string name = a.v2 == 1 ? b.dir : NameFor(b, a.v2 & 2 ? "config.bin" : "mask.bin", a.v2);
       return VexCam_LoadMaskFile(h, a.null ? nullptr : name.c_str()) == 0;
     }},
    {"VexCam_LoadMaskFileW", [](DWORD h, const Args& a, Buffers& b) {
       const std::wstring name = WNameFor(b, L"maskw.bin", a.v2);
       return VexCam_LoadMaskFileW(h, a.null ? nullptr : name.c_str()) == 0;
     }},
    SET(VexCam_UpdateMaskData),
};

#undef GET
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
