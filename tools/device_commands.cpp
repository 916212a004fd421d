// vexcam version, list, info and regs: what the cameras are and their registers.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "tools/cli_common.h"
#include "tools/commands.h"
#include "tools/json_writer.h"
#include "vexcam/VexCamLinux.h"
#include "vexcam/VexCamSdk.h"

namespace vexcam::tool {
namespace {

// The library's diagnosis: device table entries by device number.
std::unique_ptr<VEXCAM_DIAGNOSIS> Diagnose() {
  auto d = std::make_unique<VEXCAM_DIAGNOSIS>();
  d->size = sizeof(VEXCAM_DIAGNOSIS);
  if (!VexCamX_Diagnose(d.get())) return nullptr;
  return d;
}

void JsonTableEntry(JsonWriter& j, const VEXCAM_DIAGNOSIS* d, int device) {
  if (d == nullptr || device < 0 || static_cast<DWORD>(device) >= d->tableCount) return;
  const VEXCAM_TABLE_ENTRY& e = d->table[device];
  j.Key("vendor_id").Number(static_cast<int64_t>(e.vendorId));
  j.Key("product_id").Number(static_cast<int64_t>(e.productId));
  char hex[16];
  std::snprintf(hex, sizeof(hex), "%04x:%04x", e.vendorId, e.productId);
  j.Key("usb_id").String(hex);
  j.Key("device_path").String(e.path);
}

int CmdListJson(Session& session) {
  const std::unique_ptr<VEXCAM_DIAGNOSIS> d = Diagnose();
  JsonWriter j;
  j.BeginObject().Key("cameras").BeginArray();
  const int count = session.Handle() != 0 ? session.CameraCount() : 0;
  for (int device = 0; count > 0 && device < 32; ++device) {
    char name[64];
    if (!VexCam_GetDeviceName(session.Handle(), device, name, sizeof(name))) continue;
    j.BeginObject().Key("device").Number(static_cast<int64_t>(device)).Key("name").String(name);
    JsonTableEntry(j, d.get(), device);
    j.EndObject();
  }
  j.EndArray().EndObject();
  std::puts(j.Text().c_str());
  while (session.Handle() != 0 && VexCam_GetLastError(session.Handle()) != 0) {}
  return count > 0 ? 0 : 1;
}

int CmdInfoJson(DWORD h, int device) {
  JsonWriter j;
  j.BeginObject().Key("device").Number(static_cast<int64_t>(device));
  char name[64] = "";
  VexCam_GetDeviceName(h, device, name, sizeof(name));
  j.Key("name").String(name);
  const std::unique_ptr<VEXCAM_DIAGNOSIS> d = Diagnose();
  JsonTableEntry(j, d.get(), device);
  char serial[64];
  j.Key("serial_number");
  if (VexCam_ReadSerialNumberA(h, serial, sizeof(serial)) && serial[0] != '\0') {
    j.String(serial);
  } else {
    j.Null();
  }
  int ok = 0, okLow = 0;
  const int high = VexCam_Fpga_ReadRegister(h, 16, &ok);
  const int low = VexCam_Fpga_ReadRegister(h, 17, &okLow);
  j.Key("fpga_version");
  if (ok && okLow) {
    char text[8];
    std::snprintf(text, sizeof(text), "0x%02X%02X", high, low);
    j.String(text);
  } else {
    j.Null();
  }
  VEXCAM_CAMERA_INFO info{};
  info.size = sizeof(info);
  if (VexCam_GetCameraInfo(h, &info)) {
    auto range = [&](const char* key, int64_t lo, int64_t hi) {
      j.Key(key).BeginObject().Key("min").Number(lo).Key("max").Number(hi).EndObject();
    };
    j.Key("sensor").BeginObject().Key("width").Number(static_cast<int64_t>(info.sensorWidth));
    j.Key("height").Number(static_cast<int64_t>(info.sensorHeight)).EndObject();
    range("global_gain", info.globalGainMin, info.globalGainMax);
    range("color_gain", info.colorGainMin, info.colorGainMax);
    range("exposure_range_tenths_ms", info.exposureTimeMin, info.exposureTimeMax);
    j.Key("exposure_range_seconds").BeginObject().Key("min").Number(info.exposureTimeMinSeconds);
    j.Key("max").Number(info.exposureTimeMaxSeconds).EndObject();
  }
  const int exposure = VexCam_GetExposureTime(h, &ok);
  j.Key("exposure_now_tenths_ms");
  if (ok) {
    j.Number(static_cast<int64_t>(exposure));
  } else {
    j.Null();
  }
  j.Key("color_bits").Number(static_cast<int64_t>(VexCam_GetColorMode(h)));
  const int peltier = VexCam_GetPeltier(h, &ok);
  j.Key("cooling");
  if (ok) {
    j.Bool(peltier != 0);
  } else {
    j.Null();
  }
  const double celsius = VexCam_GetTemperatureEx(h, &ok);
  j.Key("temperature_c");
  if (ok) {
    j.Number(celsius);
  } else {
    j.Null();
  }
  j.EndObject();
  std::puts(j.Text().c_str());
  while (VexCam_GetLastError(h) != 0) {}
  return 0;
}

// A register space the regs command reads and writes one register of.
struct RegisterSpace {
  const char* addressWhat;  // for the usage errors
  long addressMax;
  const char* valueWhat;
  long valueMax;
  const char* readFormat;   // address, value, value as a signed number
  const char* writeFormat;  // address, value
  const char* readFailure;
  const char* writeFailure;
  int (*read)(DWORD h, long address, int* ok);
  BOOL (*write)(DWORD h, long address, long value);
};

constexpr RegisterSpace kFpgaSpace = {
    .addressWhat = "FPGA register",
    .addressMax = 255,
    .valueWhat = "FPGA value (0..255)",
    .valueMax = 255,
    .readFormat = "fpga[%ld] = 0x%02X (%d)\n",
    .writeFormat = "fpga[%ld] <- 0x%02lX\n",
    .readFailure = "FPGA register read",
    .writeFailure = "FPGA register write",
    .read = [](DWORD h, long a,
               int* ok) { return VexCam_Fpga_ReadRegister(h, static_cast<BYTE>(a), ok); },
    .write =
        [](DWORD h, long a, long v) {
          return VexCam_Fpga_WriteRegister(h, static_cast<BYTE>(a), static_cast<WORD>(v));
        },
};

constexpr RegisterSpace kSensorSpace = {
    .addressWhat = "sensor address",
    .addressMax = 0x7FFFFFFFL,
    .valueWhat = "sensor value",
    .valueMax = 0x7FFFFFFFL,
    .readFormat = "sensor[0x%lX] = 0x%X (%d)\n",
    .writeFormat = "sensor[0x%lX] <- 0x%lX\n",
    .readFailure = "sensor register read",
    .writeFailure = "sensor register write",
    .read = [](DWORD h, long a,
               int* ok) { return VexCam_ReadRegisterEx(h, static_cast<DWORD>(a), ok); },
    .write =
        [](DWORD h, long a, long v) {
          return VexCam_WriteRegisterEx(h, static_cast<DWORD>(a), static_cast<DWORD>(v));
        },
};

int RegsAccess(DWORD h, const RegisterSpace& space, int argc, char** argv, int i) {
  long address = 0;
  long value = 0;
  if (i + 1 >= argc) return BadNumber("operation", nullptr);
  if (!ParseNumber(argv[i + 1], 0, space.addressMax, &address))
    return BadNumber(space.addressWhat, argv[i + 1]);
  if (std::strcmp(argv[i], "read") == 0 && i + 2 == argc) {
    int ok = 0;
    const int v = space.read(h, address, &ok);
    if (!ok) return Fail(h, space.readFailure);
    std::printf(space.readFormat, address, static_cast<unsigned>(v), v);
    return 0;
  }
  if (std::strcmp(argv[i], "write") == 0 && i + 3 == argc) {
    if (!ParseNumber(argv[i + 2], 0, space.valueMax, &value))
      return BadNumber(space.valueWhat, argv[i + 2]);
    if (!space.write(h, address, value)) return Fail(h, space.writeFailure);
    std::printf(space.writeFormat, address, value);
    return 0;
  }
  PrintUsage();
  return 2;
}

int RegsEeprom(DWORD h, int argc, char** argv, int i) {
  long address = 0;
  long value = 0;
  if (i + 1 >= argc) return BadNumber("operation", nullptr);
  if (!ParseNumber(argv[i + 1], 0, 0xFFF, &address))
    return BadNumber("EEPROM address (0..0xFFF)", argv[i + 1]);
  if (std::strcmp(argv[i], "read") == 0 && (i + 2 == argc || i + 3 == argc)) {
    long count = 1;
    if (i + 3 == argc && !ParseNumber(argv[i + 2], 1, 0x1000 - address, &count)) {
      return BadNumber("byte count", argv[i + 2]);
    }
    for (long n = 0; n < count; ++n) {
      int ok = 0;
      const int v = VexCam_ReadSromID(h, static_cast<int>(address + n), &ok);
      if (!ok) {
        std::fprintf(stderr, "vexcam: EEPROM read at 0x%03lX failed (device I/O)\n", address + n);
        return 1;
      }
      if (n % 16 == 0) std::printf("%s0x%03lX:", n ? "\n" : "", address + n);
      std::printf(" %02X", v);
    }
    std::printf("\n");
    return 0;
  }
  if (std::strcmp(argv[i], "write") == 0 && i + 3 == argc) {
    if (!ParseNumber(argv[i + 2], 0, 255, &value))
      return BadNumber("EEPROM value (0..255)", argv[i + 2]);
    if (!VexCam_WriteSromID(h, static_cast<int>(address), static_cast<int>(value))) {
      std::fprintf(
          stderr,
          "vexcam: EEPROM write at 0x%03lX failed (device I/O, or the byte did not read back)\n",
          address);
      return 1;
    }
    std::printf("eeprom[0x%03lX] <- 0x%02lX (verified)\n", address, value);
    return 0;
  }
  PrintUsage();
  return 2;
}

}  // namespace

int CmdVersion() {
  std::printf("%u\n", static_cast<unsigned>(VexCam_GetDllVersion()));
  return 0;
}

int CmdList(int argc, char** argv) {
  const bool json = argc == 3 && std::strcmp(argv[2], "--json") == 0;
  if (argc > 2 && !json) {
    PrintUsage();
    return 2;
  }
  Session session;
  if (json) return CmdListJson(session);
  if (session.Handle() == 0) return 1;
  if (session.CameraCount() == 0) {
    Session::PrintNoCamera();
    return 1;
  }
  std::puts("device  name");
  for (int device = 0; device < 32; ++device) {
    char name[64];
    if (VexCam_GetDeviceName(session.Handle(), device, name, sizeof(name))) {
      std::printf("%6d  %s\n", device, name);
    }
  }
  while (VexCam_GetLastError(session.Handle()) != 0) {}
  return 0;
}

int CmdInfo(int argc, char** argv) {
  int first = 0;
  int device = 0;
  if (!ParseDevice(argc, argv, &first, &device)) return 2;
  const bool json = first + 1 == argc && std::strcmp(argv[first], "--json") == 0;
  if (first != argc && !json) {
    PrintUsage();
    return 2;
  }
  Session session;
  if (!session.Open(device)) return 1;
  const DWORD h = session.Handle();
  if (json) return CmdInfoJson(h, device);

  char name[64] = "";
  VexCam_GetDeviceName(h, device, name, sizeof(name));
  std::printf("device:           %d (%s)\n", device, name);
  char serial[64];
  if (VexCam_ReadSerialNumberA(h, serial, sizeof(serial))) {
    std::printf("serial number:    %s\n", serial[0] ? serial : "(not set)");
  } else {
    Fail(h, "reading the serial number");
  }
  int ok = 0;
  const int high = VexCam_Fpga_ReadRegister(h, 16, &ok);
  int okLow = 0;
  const int low = VexCam_Fpga_ReadRegister(h, 17, &okLow);
  if (ok && okLow) std::printf("FPGA version:     0x%02X%02X\n", high, low);

  VEXCAM_CAMERA_INFO info{};
  info.size = sizeof(info);
  if (VexCam_GetCameraInfo(h, &info)) {
    std::printf("sensor:           %d x %d\n", static_cast<int>(info.sensorWidth),
                static_cast<int>(info.sensorHeight));
    std::printf("global gain:      %d .. %d\n", static_cast<int>(info.globalGainMin),
                static_cast<int>(info.globalGainMax));
    std::printf("colour gain:      %d .. %d\n", static_cast<int>(info.colorGainMin),
                static_cast<int>(info.colorGainMax));
    std::printf("exposure:         %.1f .. %.1f ms\n", info.exposureTimeMin / 10.0,
                info.exposureTimeMax / 10.0);
  } else {
    Fail(h, "reading the camera information");
  }
  const int exposure = VexCam_GetExposureTime(h, &ok);
  if (ok) std::printf("exposure now:     %.1f ms\n", exposure / 10.0);
  std::printf("colour mode:      %d bits per pixel\n", VexCam_GetColorMode(h));
  const int peltier = VexCam_GetPeltier(h, &ok);
  if (ok) std::printf("cooling:          %s\n", peltier ? "on" : "off");
  const double celsius = VexCam_GetTemperatureEx(h, &ok);
  if (ok) {
    std::printf("temperature:      %.1f C\n", celsius);
  } else {
    std::printf("temperature:      not available (measured while the camera streams)\n");
  }
  while (VexCam_GetLastError(h) != 0) {}
  return 0;
}

int CmdRegs(int argc, char** argv) {
  int i = 0;
  int device = 0;
  if (!ParseDevice(argc, argv, &i, &device)) return 2;
  if (i >= argc) {
    PrintUsage();
    return 2;
  }
  const char* area = argv[i];
  const bool known = std::strcmp(area, "fpga") == 0 || std::strcmp(area, "sensor") == 0 ||
                     std::strcmp(area, "eeprom") == 0 || std::strcmp(area, "serial") == 0;
  if (!known) {
    std::fprintf(stderr, "vexcam: unknown register area '%s'\n", area);
    PrintUsage();
    return 2;
  }
  Session session;
  if (!session.Open(device)) return 1;
  const DWORD h = session.Handle();
  if (std::strcmp(area, "fpga") == 0) return RegsAccess(h, kFpgaSpace, argc, argv, i + 1);
  if (std::strcmp(area, "sensor") == 0) return RegsAccess(h, kSensorSpace, argc, argv, i + 1);
  if (std::strcmp(area, "eeprom") == 0) return RegsEeprom(h, argc, argv, i + 1);
  if (i + 1 != argc) {
    PrintUsage();
    return 2;
  }
  char serial[64];
  if (!VexCam_ReadSerialNumberA(h, serial, sizeof(serial)))
    return Fail(h, "reading the serial number");
  std::printf("%s\n", serial[0] ? serial : "(not set)");
  return 0;
}

}  // namespace vexcam::tool
