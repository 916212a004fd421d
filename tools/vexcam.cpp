// vexcam: command-line tool over the public VexCam C API.
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "tools/doctor.h"
#include "tools/json_writer.h"
#include "vexcam/VexCamLinux.h"
#include "vexcam/VexCamSdk.h"
#include "vexcam/VexCamWindow.h"

namespace {

void PrintUsage() {
  std::puts(
      "usage: vexcam <command> [options]\n"
      "commands:\n"
      "  version                      print the library version number\n"
      "  list [--json]                list the connected cameras and their device numbers\n"
      "  info [-d N] [--json]         describe camera N (default 0): serial number, ids, FPGA "
      "version,\n"
      "                               device path, ranges\n"
      "  doctor                       check what capture needs: cameras and permissions, udev "
      "rule,\n"
      "                               link speed, usbfs memory, settings file, device table, "
      "modules\n"
      "  regs [-d N] <operation>      register access on camera N:\n"
      "       fpga read REG           read an FPGA register (0..255)\n"
      "       fpga write REG VALUE    write an FPGA register\n"
      "       sensor read ADDR        read a sensor register\n"
      "       sensor write ADDR VALUE write a sensor register\n"
      "       eeprom read ADDR [N]    read N EEPROM bytes (address 0..0xFFF)\n"
      "       eeprom write ADDR VALUE write one EEPROM byte (read back and verified)\n"
      "       serial                  read the serial number\n"
      "  stream [-d N] [-n F] [-b B]  stream F frames (default 100) from camera N at B bits\n"
      "                               per pixel (8, 16, 24, 32, 48, 64; default 8)\n"
      "  snap [-d N] [options] FILE   save one frame; the format follows the extension:\n"
      "                               .bmp .raw .jpg/.jpeg .png .tif/.tiff\n"
      "       --format F              0 BMP, 1 raw, 2/3/4 JPEG quality 100/70/20, 5 PNG, 6 TIFF\n"
      "       --color B               bits per pixel: 8, 16, 24, 32, 48, 64 (default: as stored)\n"
      "       --exposure T            exposure time in tenths of milliseconds\n"
      "  record [-d N] [options] FILE.avi\n"
      "                               record an uncompressed AVI of continuous preview\n"
      "       --seconds S             duration (default 3), counted from the first frame\n"
      "       --color B, --exposure T as for snap\n"
      "  preview [-d N] [-b B]        show continuous preview in a window of the library's own\n"
      "                               (needs an X display) until it is closed or Ctrl-C\n"
      "  dialog camera|analog|image [-d N] [--preview]\n"
      "                               open the library's settings dialog on camera N (needs an X\n"
      "                               display); --preview streams into a window behind it\n"
      "numbers may be decimal or 0x-prefixed hexadecimal.\n"
      "without hardware, use the simulated camera: VEXCAM_SIMULATOR=3200 vexcam list");
}

// The meaning of an error code, in words.
const char* ErrorText(DWORD code) {
  switch (code) {
    case VEXCAM_ERR_NONE:
      return "no error recorded";
    case VEXCAM_ERR_NO_CAMERA:
      return "no camera, or not allowed in the current capture state";
    case VEXCAM_ERR_NOT_OPENED:
      return "the camera could not be opened (absent, in use, or failed to start)";
    case VEXCAM_ERR_NO_THREAD:
      return "the worker thread could not be started";
    case VEXCAM_ERR_NO_WINDOW:
      return "window or registered size not available";
    case VEXCAM_ERR_MEMORY:
      return "out of memory, or a buffer too small";
    case VEXCAM_ERR_DEVICE_IO:
      return "register or device I/O failed";
    case VEXCAM_ERR_WINDOW_REJECTED:
      return "capture window not allowed";
    case VEXCAM_ERR_NO_FRAME:
      return "no frame received";
    case VEXCAM_ERR_INVALID_ARG:
      return "invalid argument";
    case VEXCAM_ERR_NOT_SUPPORTED:
      return "not supported by this camera";
    case VEXCAM_ERR_FILE_OR_TEXT:
      return "file, recording or text conversion failed";
    case VEXCAM_ERR_TRANSFER_BROKEN:
      return "transfer broken";
    case VEXCAM_ERR_MASK_FILE:
      return "mask file unreadable or invalid";
    default:
      return "unknown error";
  }
}

// Reports a failed call with the newest error code of the instance.
int Fail(DWORD h, const char* what) {
  const DWORD code = VexCam_GetLastError(h);
  std::fprintf(stderr, "vexcam: %s failed: error %u, %s\n", what, static_cast<unsigned>(code),
               ErrorText(code));
  return 1;
}

bool ParseNumber(const char* text, long minimum, long maximum, long* value) {
  if (text == nullptr || *text == '\0') return false;
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(text, &end, 0);
  if (errno != 0 || *end != '\0' || v < minimum || v > maximum) return false;
  *value = v;
  return true;
}

int BadNumber(const char* what, const char* text) {
  std::fprintf(stderr, "vexcam: bad %s '%s'\n", what, text ? text : "");
  return 2;
}

// An instance with camera `device` open; 0 after printing why not.
class Session {
 public:
  Session() : h_(VexCam_Initialize(nullptr)) {}
  ~Session() {
    if (h_ != 0) VexCam_Release(h_);
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  DWORD Handle() const { return h_; }

  int CameraCount() {
    char names[10][256];
    return VexCam_EnumDevice(h_, names);
  }

  bool Open(int device) {
    if (h_ == 0) {
      std::fprintf(stderr, "vexcam: the library could not make an instance\n");
      return false;
    }
    if (CameraCount() == 0) {
      PrintNoCamera();
      return false;
    }
    if (!VexCam_SetDeviceNumber(h_, device)) {
      Fail(h_, "opening the camera");
      std::fprintf(stderr, "vexcam: 'vexcam list' shows the device numbers\n");
      return false;
    }
    return true;
  }

  static void PrintNoCamera() {
    std::puts(
        "No VexCam ZA01 camera found.\n"
        "Connect a camera (and check the USB permissions), or try the simulated camera:\n"
        "  VEXCAM_SIMULATOR=3200 vexcam list");
  }

 private:
  DWORD h_;
};

int CmdVersion() {
  std::printf("%u\n", static_cast<unsigned>(VexCam_GetDllVersion()));
  return 0;
}

// The library's diagnosis: device table entries by device number.
std::unique_ptr<VEXCAM_DIAGNOSIS> Diagnose() {
  auto d = std::make_unique<VEXCAM_DIAGNOSIS>();
  d->size = sizeof(VEXCAM_DIAGNOSIS);
  if (!VexCamX_Diagnose(d.get())) return nullptr;
  return d;
}

void JsonTableEntry(vexcam::tool::JsonWriter& j, const VEXCAM_DIAGNOSIS* d, int device) {
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
  vexcam::tool::JsonWriter j;
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

// "-d N" before the operation; returns the index of the first other argument.
bool ParseDevice(int argc, char** argv, int* first, int* device) {
  *device = 0;
  *first = 2;
  if (argc > 2 && std::strcmp(argv[2], "-d") == 0) {
    long n = 0;
    if (argc < 4 || !ParseNumber(argv[3], 0, 31, &n)) {
      BadNumber("device number", argc > 3 ? argv[3] : nullptr);
      return false;
    }
    *device = static_cast<int>(n);
    *first = 4;
  }
  return true;
}

int CmdInfoJson(DWORD h, int device) {
  using vexcam::tool::JsonWriter;
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

int RegsFpga(DWORD h, int argc, char** argv, int i) {
  long reg = 0;
  long value = 0;
  if (i + 1 >= argc) return BadNumber("operation", nullptr);
  if (!ParseNumber(argv[i + 1], 0, 255, &reg)) return BadNumber("FPGA register", argv[i + 1]);
  if (std::strcmp(argv[i], "read") == 0 && i + 2 == argc) {
    int ok = 0;
    const int v = VexCam_Fpga_ReadRegister(h, static_cast<BYTE>(reg), &ok);
    if (!ok) return Fail(h, "FPGA register read");
    std::printf("fpga[%ld] = 0x%02X (%d)\n", reg, v, v);
    return 0;
  }
  if (std::strcmp(argv[i], "write") == 0 && i + 3 == argc) {
    if (!ParseNumber(argv[i + 2], 0, 255, &value))
      return BadNumber("FPGA value (0..255)", argv[i + 2]);
    if (!VexCam_Fpga_WriteRegister(h, static_cast<BYTE>(reg), static_cast<WORD>(value))) {
      return Fail(h, "FPGA register write");
    }
    std::printf("fpga[%ld] <- 0x%02lX\n", reg, value);
    return 0;
  }
  PrintUsage();
  return 2;
}

int RegsSensor(DWORD h, int argc, char** argv, int i) {
  long address = 0;
  long value = 0;
  if (i + 1 >= argc) return BadNumber("operation", nullptr);
  if (!ParseNumber(argv[i + 1], 0, 0x7FFFFFFFL, &address))
    return BadNumber("sensor address", argv[i + 1]);
  if (std::strcmp(argv[i], "read") == 0 && i + 2 == argc) {
    int ok = 0;
    const int v = VexCam_ReadRegisterEx(h, static_cast<DWORD>(address), &ok);
    if (!ok) return Fail(h, "sensor register read");
    std::printf("sensor[0x%lX] = 0x%X (%d)\n", address, static_cast<unsigned>(v), v);
    return 0;
  }
  if (std::strcmp(argv[i], "write") == 0 && i + 3 == argc) {
    if (!ParseNumber(argv[i + 2], 0, 0x7FFFFFFFL, &value))
      return BadNumber("sensor value", argv[i + 2]);
    if (!VexCam_WriteRegisterEx(h, static_cast<DWORD>(address), static_cast<DWORD>(value))) {
      return Fail(h, "sensor register write");
    }
    std::printf("sensor[0x%lX] <- 0x%lX\n", address, value);
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
  if (std::strcmp(area, "fpga") == 0) return RegsFpga(h, argc, argv, i + 1);
  if (std::strcmp(area, "sensor") == 0) return RegsSensor(h, argc, argv, i + 1);
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

void PrintStats(const VEXCAM_STREAM_STATS& s) {
  auto n = [](uint64_t v) { return static_cast<unsigned long long>(v); };
  std::printf("statistics over %.2f s:\n", s.seconds);
  std::printf("  frames received    %llu (%.1f per second)\n", n(s.framesReceived),
              s.cameraFrameRate);
  std::printf("  frames delivered   %llu (%.1f per second)\n", n(s.framesDelivered), s.frameRate);
  std::printf(
      "  frames dropped     %llu (%llu overwritten before they were read, %llu skipped by the "
      "recorder)\n",
      n(s.framesDropped), n(s.framesOverwritten), n(s.framesSkippedByRecorder));
  std::printf("  frames incomplete  %llu\n", n(s.framesIncomplete));
  std::printf("  transfer retries   %llu\n", n(s.transferRetries));
  std::printf("  pipe resets        %llu\n", n(s.pipeResets));
  std::printf("  give-ups           %llu\n", n(s.giveUps));
  std::printf("  bandwidth          %.2f MB/s (%llu bytes)\n", s.bytesPerSecond / 1e6,
              n(s.bytesReceived));
}

// stream [-d N] [-n FRAMES] [-b BITS]: continuous preview into a buffer of
// the tool's own; prints each frame's info record and the measured rate.
int CmdStream(int argc, char** argv) {
  long device = 0, frames = 100, bits = 8;
  for (int i = 2; i < argc; i += 2) {
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (std::strcmp(argv[i], "-d") == 0) {
      if (!ParseNumber(value, 0, 31, &device)) return BadNumber("device number", value);
    } else if (std::strcmp(argv[i], "-n") == 0) {
      if (!ParseNumber(value, 1, 1000000, &frames)) return BadNumber("frame count", value);
    } else if (std::strcmp(argv[i], "-b") == 0) {
      if (!ParseNumber(value, 8, 64, &bits)) return BadNumber("bits per pixel", value);
    } else {
      return BadNumber("option", argv[i]);
    }
  }
  Session session;
  if (!session.Open(static_cast<int>(device))) return 1;
  const DWORD h = session.Handle();
  if (!VexCam_SetColorMode(h, static_cast<int>(bits))) return Fail(h, "setting the colour mode");
  // Rows are padded to 4 bytes; the capture window is the largest image.
  const size_t stride =
      (static_cast<size_t>(VexCam_Width(h)) * static_cast<size_t>(bits) / 8 + 3) & ~size_t{3};
  std::vector<BYTE> buffer(stride * static_cast<size_t>(VexCam_Height(h)));
  HWND window = VexWin_CreateMessageWindow();
  VexCam_SetPreviewWindow(h, nullptr, 0, 0, 0, 0);
  if (!VexCam_CallBackPreview(h, window, buffer.data(), static_cast<int>(buffer.size()), 1)) {
    VexWin_DestroyWindow(window);
    return Fail(h, "starting the preview");
  }
  const auto start = std::chrono::steady_clock::now();
  // On a terminal one status line with the statistics is kept up to date
  // instead of a line per frame.
  const bool live = isatty(STDOUT_FILENO) != 0;
  auto lastShown = start;
  long got = 0;
  VEXWIN_MSG m{};
  while (got < frames && VexWin_GetMessage(window, &m, 5000)) {
    if (m.message != VEXCAM_MSG_FRAME) continue;
    if (m.wParam == 0) {
      const DWORD code = static_cast<DWORD>(m.lParam);
      std::printf("%sframe failed: error %u, %s\n", live ? "\r\033[K" : "",
                  static_cast<unsigned>(code), ErrorText(code));
      if (code == VEXCAM_ERR_TRANSFER_BROKEN) break;
      continue;
    }
    const auto* info = reinterpret_cast<const VEXCAM_FRAME_INFO*>(m.wParam);
    ++got;
    if (!live) {
      std::printf(
          "frame %ld: %u x %u, %u bpp, %u.%u fps\n", got, static_cast<unsigned>(info->width),
          static_cast<unsigned>(info->height), static_cast<unsigned>(info->bitsPerPixel),
          static_cast<unsigned>(info->frameRate / 10), static_cast<unsigned>(info->frameRate % 10));
    } else if (const auto now = std::chrono::steady_clock::now();
               now - lastShown > std::chrono::milliseconds(250)) {
      lastShown = now;
      VEXCAM_STREAM_STATS stats{};
      stats.size = sizeof(stats);
      if (VexCamX_GetStreamStats(h, &stats)) {
        std::printf(
            "\r\033[Kframe %ld of %ld, %u x %u: %.1f fps, %.1f MB/s, dropped %llu, retries %llu",
            got, frames, static_cast<unsigned>(info->width), static_cast<unsigned>(info->height),
            stats.frameRate, stats.bytesPerSecond / 1e6,
            static_cast<unsigned long long>(stats.framesDropped),
            static_cast<unsigned long long>(stats.transferRetries));
        std::fflush(stdout);
      }
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  VexCam_StopPreview(h);
  VexWin_DestroyWindow(window);
  if (live) std::printf("\r\033[K");
  std::printf("%ld frames in %.2f s: %.1f frames per second\n", got, seconds,
              seconds > 0 ? got / seconds : 0.0);
  VEXCAM_STREAM_STATS stats{};
  stats.size = sizeof(stats);
  if (VexCamX_GetStreamStats(h, &stats)) PrintStats(stats);
  if (got < frames) {
    std::fprintf(stderr, "vexcam: the stream ended after %ld of %ld frames\n", got, frames);
    return 1;
  }
  return 0;
}

// ---------------------------------------------------------------- snap, record

// Options shared by snap and record; the file name is the one argument that
// is not an option.
struct CaptureOptions {
  long device = 0;
  long format = -1;  // -1: from the extension
  long bits = 0;     // 0: the stored colour mode
  long exposure = -1;
  long seconds = 3;
  const char* file = nullptr;
};

// Parses argv[2..]; returns 0, or the exit code after printing why not.
int ParseCaptureOptions(int argc, char** argv, bool withSeconds, CaptureOptions* o) {
  for (int i = 2; i < argc; ++i) {
    const char* a = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (std::strcmp(a, "-d") == 0) {
      if (!ParseNumber(value, 0, 31, &o->device)) return BadNumber("device number", value);
    } else if (std::strcmp(a, "--format") == 0 && !withSeconds) {
      if (!ParseNumber(value, 0, 6, &o->format)) return BadNumber("format (0..6)", value);
    } else if (std::strcmp(a, "--color") == 0) {
      if (!ParseNumber(value, 8, 64, &o->bits) || o->bits % 8 != 0 || o->bits == 40 ||
          o->bits == 56) {
        return BadNumber("bits per pixel (8, 16, 24, 32, 48, 64)", value);
      }
    } else if (std::strcmp(a, "--exposure") == 0) {
      if (!ParseNumber(value, 0, 0x7FFFFFFFL, &o->exposure))
        return BadNumber("exposure (tenths of ms)", value);
    } else if (std::strcmp(a, "--seconds") == 0 && withSeconds) {
      if (!ParseNumber(value, 1, 86400, &o->seconds))
        return BadNumber("duration in seconds", value);
    } else if (a[0] == '-' && a[1] != '\0') {
      return BadNumber("option", a);
    } else if (o->file == nullptr) {
      o->file = a;
      continue;
    } else {
      std::fprintf(stderr, "vexcam: only one file name, please ('%s' and '%s')\n", o->file, a);
      return 2;
    }
    ++i;  // the option's value
  }
  if (o->file == nullptr) {
    std::fprintf(stderr, "vexcam: no output file given\n");
    PrintUsage();
    return 2;
  }
  return 0;
}

// Colour mode and exposure as asked; false after printing the failure.
bool ApplyCaptureOptions(DWORD h, const CaptureOptions& o) {
  if (o.bits != 0 && !VexCam_SetColorMode(h, static_cast<int>(o.bits))) {
    Fail(h, "setting the colour mode");
    return false;
  }
  if (o.exposure >= 0 && !VexCam_SetExposureTime(h, static_cast<int>(o.exposure))) {
    Fail(h, "setting the exposure time");
    return false;
  }
  return true;
}

int FormatFromExtension(const char* file) {
  std::string ext = std::filesystem::path(file).extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == ".bmp") return VEXCAM_FORMAT_BMP;
  if (ext == ".raw") return VEXCAM_FORMAT_RAW;
  if (ext == ".jpg" || ext == ".jpeg") return VEXCAM_FORMAT_JPEG_HIGH;
  if (ext == ".png") return VEXCAM_FORMAT_PNG;
  if (ext == ".tif" || ext == ".tiff") return VEXCAM_FORMAT_TIFF;
  return -1;
}

const char* FormatName(long format) {
  static const char* const kNames[] = {
      "BMP", "raw", "JPEG quality 100", "JPEG quality 70", "JPEG quality 20", "PNG", "TIFF"};
  return format >= 0 && format <= 6 ? kNames[format] : "?";
}

uintmax_t FileBytes(const char* file) {
  std::error_code ec;
  const uintmax_t n = std::filesystem::file_size(file, ec);
  return ec ? 0 : n;
}

// Why a file could not be written, when the library records no code for it.
void ExplainWriteFailure(const char* file) {
  const std::filesystem::path parent = std::filesystem::absolute(file).parent_path();
  std::error_code ec;
  if (!std::filesystem::is_directory(parent, ec)) {
    std::fprintf(stderr, "vexcam: the folder %s does not exist\n", parent.c_str());
  } else if (::access(parent.c_str(), W_OK) != 0) {
    std::fprintf(stderr, "vexcam: no permission to write in %s\n", parent.c_str());
  } else {
    std::fprintf(stderr,
                 "vexcam: the file could not be written (disk full, or a folder of that name?)\n");
  }
}

// snap [-d N] [--format F] [--color B] [--exposure T] FILE
int CmdSnap(int argc, char** argv) {
  CaptureOptions o;
  if (const int rc = ParseCaptureOptions(argc, argv, false, &o)) return rc;
  if (o.format < 0) o.format = FormatFromExtension(o.file);
  if (o.format < 0) {
    std::fprintf(
        stderr,
        "vexcam: cannot tell the format of '%s': use .bmp .raw .jpg .png .tif or --format N\n",
        o.file);
    return 2;
  }
  Session session;
  if (!session.Open(static_cast<int>(o.device))) return 1;
  const DWORD h = session.Handle();
  if (!ApplyCaptureOptions(h, o)) return 1;
  if (!VexCam_SnapShot(h, nullptr, 0, 1)) return Fail(h, "taking the snapshot");
  if (!VexCam_SaveImage(h, o.file, static_cast<int>(o.format))) {
    const DWORD code = VexCam_GetLastError(h);
    if (code != 0) {
      std::fprintf(stderr, "vexcam: saving %s failed: error %u, %s\n", o.file,
                   static_cast<unsigned>(code), ErrorText(code));
    } else {
      std::fprintf(stderr, "vexcam: saving %s as %s failed\n", o.file, FormatName(o.format));
      ExplainWriteFailure(o.file);
    }
    return 1;
  }
  std::printf("saved %s: %d x %d, %d bits per pixel, %s, %ju bytes\n", o.file, VexCam_Width(h),
              VexCam_Height(h), VexCam_GetColorMode(h), FormatName(o.format), FileBytes(o.file));
  return 0;
}

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) { g_interrupted = 1; }

// The first 72 bytes of the AVI: frame count (48) and size (64, 68). The
// frame count is written when the recording has been finalised.
bool ReadAviHeader(const char* file, uint32_t* frames, uint32_t* width, uint32_t* height,
                   uint32_t* usPerFrame) {
  std::ifstream in(file, std::ios::binary);
  unsigned char b[72];
  if (!in.read(reinterpret_cast<char*>(b), sizeof(b))) return false;
  auto u32 = [&](int at) {
    return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
           uint32_t{b[at + 3]} << 24;
  };
  *usPerFrame = u32(32);
  *frames = u32(48);
  *width = u32(64);
  *height = u32(68);
  return true;
}

// record [-d N] [--seconds S] [--color B] [--exposure T] FILE.avi
int CmdRecord(int argc, char** argv) {
  CaptureOptions o;
  if (const int rc = ParseCaptureOptions(argc, argv, true, &o)) return rc;
  Session session;
  if (!session.Open(static_cast<int>(o.device))) return 1;
  const DWORD h = session.Handle();
  if (!ApplyCaptureOptions(h, o)) return 1;
  VexCam_SetPreviewWindow(h, nullptr, 0, 0, 0, 0);
  const DWORD durationMs = static_cast<DWORD>(o.seconds) * 1000;
  if (!VexCam_Record(h, o.file, durationMs, 0)) {
    const DWORD code = VexCam_GetLastError(h);
    std::fprintf(stderr, "vexcam: starting the recording failed: error %u, %s\n",
                 static_cast<unsigned>(code), ErrorText(code));
    if (code == VEXCAM_ERR_FILE_OR_TEXT && FileBytes(o.file) == 0) ExplainWriteFailure(o.file);
    return 1;
  }
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  const bool terminal = ::isatty(STDOUT_FILENO) != 0;
  uint32_t frames = 0, width = 0, height = 0, usPerFrame = 0;
  ReadAviHeader(o.file, &frames, &width, &height, &usPerFrame);
  const uint64_t chunk = 8 + ((uint64_t{width} * 3 + 3) & ~uint64_t{3}) * height;
  const auto start = std::chrono::steady_clock::now();
  // The recording ends itself once the duration has passed after its first
  // frame; past that plus a margin the tool stops it (the file is finalised
  // either way).
  const auto limit = start + std::chrono::milliseconds(durationMs + 5000);
  bool finished = false;
  unsigned lastSecond = ~0u;
  while (!finished && !g_interrupted && std::chrono::steady_clock::now() < limit) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    finished = ReadAviHeader(o.file, &frames, &width, &height, &usPerFrame) && frames != 0;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const uintmax_t bytes = FileBytes(o.file);
    const uint64_t written = bytes > 232 && chunk > 8 ? (bytes - 232) / chunk : 0;
    if (terminal) {
      std::printf("\rrecording %s: %.1f s, %ju frames, %.1f fps, %.1f MB written   ", o.file,
                  seconds, static_cast<uintmax_t>(written),
                  seconds > 0 ? static_cast<double>(written) / seconds : 0.0,
                  static_cast<double>(bytes) / 1e6);
      std::fflush(stdout);
    } else if (static_cast<unsigned>(seconds) != lastSecond) {
      lastSecond = static_cast<unsigned>(seconds);
      std::printf("recording %s: %.1f s, %ju frames, %.1f MB written\n", o.file, seconds,
                  static_cast<uintmax_t>(written), static_cast<double>(bytes) / 1e6);
    }
  }
  if (terminal) std::printf("\n");
  // Stops the preview and, when still running, the recording: the file is
  // complete after this call.
  VexCam_StopPreview(h);
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  if (!ReadAviHeader(o.file, &frames, &width, &height, &usPerFrame)) {
    std::fprintf(stderr, "vexcam: the recording left no readable file at %s\n", o.file);
    return 1;
  }
  const DWORD code = VexCam_GetLastError(h);
  if (code != 0) {
    std::fprintf(stderr, "vexcam: the recording reported error %u, %s\n",
                 static_cast<unsigned>(code), ErrorText(code));
  }
  const double fps = usPerFrame > 0 ? 1e6 / usPerFrame : 0.0;
  std::printf("recorded %s: %u frames of %u x %u, %.2f fps measured, %ju bytes%s\n", o.file,
              static_cast<unsigned>(frames), static_cast<unsigned>(width),
              static_cast<unsigned>(height), fps, FileBytes(o.file),
              g_interrupted ? " (stopped early)" : "");
  if (frames == 0) {
    std::fprintf(stderr, "vexcam: no frame was recorded (is the camera streaming?)\n");
    return 1;
  }
  return code == 0 || g_interrupted ? 0 : 1;
}

// preview [-d N] [-b B]: continuous preview in the library's top-level
// window; streams until the window is closed or the tool is interrupted.
int CmdPreview(int argc, char** argv) {
  long device = 0, bits = 8;
  for (int i = 2; i < argc; i += 2) {
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (std::strcmp(argv[i], "-d") == 0) {
      if (!ParseNumber(value, 0, 31, &device)) return BadNumber("device number", value);
    } else if (std::strcmp(argv[i], "-b") == 0) {
      if (!ParseNumber(value, 8, 64, &bits)) return BadNumber("bits per pixel", value);
    } else {
      return BadNumber("option", argv[i]);
    }
  }
  Session session;
  if (!session.Open(static_cast<int>(device))) return 1;
  const DWORD h = session.Handle();
  if (!VexCam_SetColorMode(h, static_cast<int>(bits))) return Fail(h, "setting the colour mode");
  // No parent and a non-empty rectangle: a top-level window of the image's size.
  VexCam_SetPreviewWindow(h, nullptr, 0, 0, VexCam_Width(h), VexCam_Height(h));
  if (!VexCam_Preview(h)) {
    const DWORD code = VexCam_GetLastError(h);
    if (code == VEXCAM_ERR_NO_WINDOW) {
      std::fprintf(
          stderr,
          "vexcam: no preview window could be opened (is DISPLAY set to a running X server?)\n");
      return 1;
    }
    return Fail(h, "starting the preview");
  }
  std::printf("previewing camera %ld in window 0x%lx; close the window or press Ctrl-C to stop\n",
              device, VexWin_ToX11Window(VexWinX_GetPreviewWindow(h)));
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  while (!g_interrupted && VexWinX_GetPreviewWindow(h) != nullptr) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  VexCam_StopPreview(h);
  VexCam_Close(h);
  return 0;
}

// dialog camera|analog|image [-d N] [--preview]: one of the library's
// settings dialogs, optionally over a running preview that shows each change.
int CmdDialog(int argc, char** argv) {
  if (argc < 3) {
    PrintUsage();
    return 2;
  }
  const char* which = argv[2];
  BOOL (*open)(DWORD, HWND) = nullptr;
  if (std::strcmp(which, "camera") == 0) open = VexCam_SetCameraDlg;
  if (std::strcmp(which, "analog") == 0) open = VexCam_SetAnalogDlg;
  if (std::strcmp(which, "image") == 0) open = VexCam_SetImageDlg;
  if (open == nullptr) return BadNumber("dialog", which);
  long device = 0;
  bool preview = false;
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "-d") == 0) {
      const char* value = i + 1 < argc ? argv[++i] : nullptr;
      if (!ParseNumber(value, 0, 31, &device)) return BadNumber("device number", value);
    } else if (std::strcmp(argv[i], "--preview") == 0) {
      preview = true;
    } else {
      return BadNumber("option", argv[i]);
    }
  }
  Session session;
  if (!session.Open(static_cast<int>(device))) return 1;
  const DWORD h = session.Handle();
  HWND parent = nullptr;
  if (preview) {
    VexCam_SetPreviewWindow(h, nullptr, 0, 0, VexCam_Width(h), VexCam_Height(h));
    if (!VexCam_Preview(h)) return Fail(h, "starting the preview");
    parent = VexWinX_GetPreviewWindow(h);
  }
  if (!open(h, parent)) {
    const DWORD code = VexCam_GetLastError(h);
    if (code == VEXCAM_ERR_NO_WINDOW) {
      std::fprintf(
          stderr,
          "vexcam: the dialog could not be shown (no X display, or libVexCamDialogs.so or Qt 6 "
          "missing)\n");
      return 1;
    }
    std::fprintf(stderr, "vexcam: the dialog failed: error %u, %s\n", static_cast<unsigned>(code),
                 ErrorText(code));
    return 1;
  }
  if (preview) VexCam_StopPreview(h);
  VexCam_Close(h);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "help") == 0 || std::strcmp(argv[1], "--help") == 0) {
    PrintUsage();
    return argc < 2 ? 2 : 0;
  }
  if (std::strcmp(argv[1], "version") == 0) return CmdVersion();
  if (std::strcmp(argv[1], "list") == 0) return CmdList(argc, argv);
  if (std::strcmp(argv[1], "doctor") == 0) return vexcam::tool::RunDoctor();
  if (std::strcmp(argv[1], "info") == 0) return CmdInfo(argc, argv);
  if (std::strcmp(argv[1], "regs") == 0) return CmdRegs(argc, argv);
  if (std::strcmp(argv[1], "stream") == 0) return CmdStream(argc, argv);
  if (std::strcmp(argv[1], "snap") == 0) return CmdSnap(argc, argv);
  if (std::strcmp(argv[1], "record") == 0) return CmdRecord(argc, argv);
  if (std::strcmp(argv[1], "preview") == 0) return CmdPreview(argc, argv);
  if (std::strcmp(argv[1], "dialog") == 0) return CmdDialog(argc, argv);
  std::fprintf(stderr, "vexcam: unknown command '%s'\n", argv[1]);
  PrintUsage();
  return 2;
}
