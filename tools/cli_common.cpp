// What the vexcam commands share.
#include "tools/cli_common.h"

#include "identity/build_identity.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vexcam::tool {

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
      "numbers may be decimal or 0x-prefixed hexadecimal.");
  std::printf("without hardware, use the simulated camera: VEXCAM_SIMULATOR=%04X vexcam list\n",
              build::ProductId());
}

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

int Session::CameraCount() {
  char names[10][256];
  return VexCam_EnumDevice(h_, names);
}

bool Session::Open(int device) {
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

void Session::PrintNoCamera() {
  std::printf(
      "No VexCam %s camera found.\n"
      "Connect a camera (and check the USB permissions), or try the simulated camera:\n"
      "  VEXCAM_SIMULATOR=%04X vexcam list\n",
      build::Model(), build::ProductId());
}

}  // namespace vexcam::tool
