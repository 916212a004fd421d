// vexcam stream, snap, record, preview and dialog: the commands that capture.
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "tools/cli_common.h"
#include "tools/commands.h"
#include "vexcam/VexCamLinux.h"
#include "vexcam/VexCamSdk.h"
#include "vexcam/VexCamWindow.h"

namespace vexcam::tool {
namespace {

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

// stream's options -d, -n and -b; returns 0, or the exit code after printing
// why not.
int ParseStreamOptions(int argc, char** argv, long* device, long* frames, long* bits) {
  for (int i = 2; i < argc; i += 2) {
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (std::strcmp(argv[i], "-d") == 0) {
      if (!ParseNumber(value, 0, 31, device)) return BadNumber("device number", value);
    } else if (std::strcmp(argv[i], "-n") == 0) {
      if (!ParseNumber(value, 1, 1000000, frames)) return BadNumber("frame count", value);
    } else if (std::strcmp(argv[i], "-b") == 0) {
      if (!ParseNumber(value, 8, 64, bits)) return BadNumber("bits per pixel", value);
    } else {
      return BadNumber("option", argv[i]);
    }
  }
  return 0;
}

// The one status line kept up to date on a terminal while streaming.
void ShowStreamStatus(DWORD h, const VEXCAM_FRAME_INFO& info, long got, long frames) {
  VEXCAM_STREAM_STATS stats{};
  stats.size = sizeof(stats);
  if (!VexCamX_GetStreamStats(h, &stats)) return;
  std::printf("\r\033[Kframe %ld of %ld, %u x %u: %.1f fps, %.1f MB/s, dropped %llu, retries %llu",
              got, frames, static_cast<unsigned>(info.width), static_cast<unsigned>(info.height),
              stats.frameRate, stats.bytesPerSecond / 1e6,
              static_cast<unsigned long long>(stats.framesDropped),
              static_cast<unsigned long long>(stats.transferRetries));
  std::fflush(stdout);
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

}  // namespace

// stream [-d N] [-n FRAMES] [-b BITS]: continuous preview into a buffer of
// the tool's own; prints each frame's info record and the measured rate.
int CmdStream(int argc, char** argv) {
  long device = 0, frames = 100, bits = 8;
  if (const int rc = ParseStreamOptions(argc, argv, &device, &frames, &bits)) return rc;
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
  // A frame of the largest sensors takes seconds through the simulated
  // camera; an unplugged camera reports itself sooner with a message.
  constexpr uint32_t kFrameWaitMs = 30000;
  while (got < frames && VexWin_GetMessage(window, &m, kFrameWaitMs)) {
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
      ShowStreamStatus(h, *info, got, frames);
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

}  // namespace vexcam::tool
