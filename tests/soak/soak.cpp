// Soak run: three simulated cameras stream into callback buffers in three
// colour modes for a given time while one of them is unplugged and plugged in
// again every few seconds, exposure and image values change from another
// thread, recordings start and stop and snapshots are saved.
//
// Checks: every stop returns within a bound; no torn or repeated frame (the
// simulated picture encodes the frame tag, so each frame is recomputed); every
// unplug ends its stream with the broken-transfer notification and every
// replug streams again; resident memory flat after warm-up (slope reported);
// file descriptors and threads back to their start counts.
//
//   vexcam_soak --seconds N [--max-rss-slope KIB_PER_MIN]   (0: report only)
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "sim/sim_backend.h"
#include "sim/test_pattern.h"
#include "vexcam/VexCamSdk.h"
#include "vexcam/VexCamSim.h"
#include "vexcam/VexCamWindow.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kWidth = 640, kHeight = 512;
constexpr auto kStopBound = std::chrono::seconds(5);
constexpr auto kStreamBound = std::chrono::seconds(5);
int g_failures = 0;
void Fail(const std::string& what) {
  ++g_failures;
  std::fprintf(stderr, "soak: FAIL %s\n", what.c_str());
}

// ---- The simulated picture: recovers the frame tag (mod 1024) of a frame.
// With neutral image settings the delivered ZA01 image is the camera's
// picture turned by 180 degrees; the exposure only scales it in 16 steps.
uint32_t Sample(uint32_t tag, uint32_t gain, int c, int r, int bits) {
  return vexcam::sim::PatternSample(tag, (gain - 1) * 128, 639 - c, 511 - r, bits);
}

// The tag of a whole frame, or -1 when no single frame explains every
// sampled pixel (a torn or corrupted frame).
int DecodeTag(const uint8_t* buffer, int bits) {
  const int bpp = bits / 8;
  auto at = [&](int x, int y) -> uint32_t {
    const uint8_t* p = buffer + (static_cast<size_t>(y) * kWidth + x) * bpp;
    return bpp == 1 ? p[0] : uint32_t{p[0]} | uint32_t{p[1]} << 8;
  };
  static const int kPoints[][2] = {{0, 0},     {1, 0},    {5, 1},     {200, 2},  {639, 3},
                                   {320, 100}, {17, 255}, {400, 256}, {3, 400},  {638, 509},
                                   {0, 510},   {1, 511},  {333, 511}, {639, 511}};
  for (uint32_t gain = 1; gain <= 16; ++gain) {
    for (uint32_t tag = 0; tag < 1024; ++tag) {
      bool all = true;
      for (const auto& p : kPoints) {
        if (Sample(tag, gain, p[0], p[1], bits) != at(p[0], p[1])) {
          all = false;
          break;
        }
      }
      if (all) return static_cast<int>(tag);
    }
  }
  return -1;
}

// ---- Process figures.
long CountEntries(const char* dir) {
  std::error_code ec;
  return std::distance(std::filesystem::directory_iterator(dir, ec), {});
}
long ResidentKiB() {
  long pages = 0, resident = 0;
  if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// ---- One stream.
struct Stream {
  int number = 0;  // device number
  UINT sim = 0;
  int bits = 8;
  DWORD h = 0;
  HWND notify = nullptr, callback = nullptr;
  std::vector<uint8_t> buffer;
  std::vector<uint8_t> copy;
  bool checkIdentity = false;
  bool streaming = false;
  int lastTag = -1;
  long frames = 0, checked = 0, torn = 0, repeated = 0;
  Clock::time_point lastFrame = Clock::now();
};

// Runs a stopping call and checks it returns within the bound.
template <class F>
void Bounded(const char* what, F&& f) {
  const auto start = Clock::now();
  f();
  const auto took = Clock::now() - start;
  if (took > kStopBound)
    Fail(std::string(what) + " took " +
         std::to_string(std::chrono::duration_cast<milliseconds>(took).count()) + " ms");
}

bool StartStream(Stream& s) {
  VexCam_SetPreviewWindow(s.h, nullptr, 0, 0, 0, 0);
  s.lastTag = -1;
  s.lastFrame = Clock::now();
  s.streaming = VexCam_CallBackPreview(s.h, s.callback, s.buffer.data(),
                                       static_cast<int>(s.buffer.size()), 1) == 1;
  return s.streaming;
}

// Reads the frame messages of a stream; returns the number of broken-transfer notices.
int Pump(Stream& s) {
  VEXWIN_MSG m{};
  int broken = 0;
  bool newFrame = false;
  while (VexWin_PeekMessage(s.callback, &m, TRUE)) {
    if (m.message != VEXCAM_MSG_FRAME) continue;
    if (m.wParam == 0) {
      if (m.lParam == VEXCAM_ERR_TRANSFER_BROKEN) ++broken;
      continue;
    }
    ++s.frames;
    s.lastFrame = Clock::now();
    newFrame = true;
  }
  // The buffer holds the newest frame; the worker's wait time keeps the next
  // copy away while it is read. A frame whose successor is announced right
  // after the read may have been overwritten during it and is not judged.
  if (newFrame && s.checkIdentity) {
    s.copy.assign(s.buffer.begin(), s.buffer.end());
    std::this_thread::sleep_for(milliseconds(3));
    const int tag = DecodeTag(s.copy.data(), s.bits);
    if (!VexWin_PeekMessage(s.callback, &m, FALSE)) {
      ++s.checked;
      if (tag < 0) {
        ++s.torn;
      } else if (tag == s.lastTag) {
        ++s.repeated;
      }
      s.lastTag = tag;
    } else {
      s.lastTag = -1;
    }
  }
  while (VexWin_PeekMessage(s.notify, &m, TRUE)) {}
  return broken;
}

int RunSoak(int seconds, double maxSlope) {
  VexSim_RemoveAll();
  const int bits[3] = {8, 16, 24};
  std::vector<Stream> streams(3);
  for (int i = 0; i < 3; ++i) {
    Stream& s = streams[i];
    s.number = i;
    s.sim = VexSim_AddCamera(0x3200);
    // The simulator's transaction log is a test aid that fills up to its
    // cap; off here, so resident memory shows the library alone.
    if (auto cam = vexcam::sim::SimBackend::Instance().Find(s.sim)) cam->EnableLog(false);
    s.bits = bits[i];
    s.checkIdentity = bits[i] != 24;  // the colour stream gets the image adjustments
    s.buffer.assign(static_cast<size_t>(kWidth) * kHeight * bits[i] / 8, 0);
  }
  auto openAll = [&] {
    for (Stream& s : streams) {
      s.notify = VexWin_CreateMessageWindow();
      s.callback = VexWin_CreateMessageWindow();
      s.h = VexCam_Initialize(s.notify);
      if (s.h == 0 || VexCam_SetDeviceNumber(s.h, s.number) != 1)
        Fail("open camera " + std::to_string(s.number));
      VexCam_SetColorMode(s.h, s.bits);
      // Neutral image settings, so the picture stays the camera's.
      for (auto off :
           {VexCam_SetBrightness, VexCam_SetContrast, VexCam_SetSharpness, VexCam_SetGrayMode,
            VexCam_SetMirrorH, VexCam_SetMirrorV, VexCam_SetAutoIris, VexCam_SetDotFilter})
        off(s.h, 0);
      VexCam_SetGamma(s.h, 100);
      VexCam_SetWaitTime(s.h, 30);
      if (!StartStream(s)) Fail("first stream " + std::to_string(s.number));
    }
  };
  auto closeAll = [&] {
    for (Stream& s : streams) {
      Bounded("VexCam_StopPreview", [&] { VexCam_StopPreview(s.h); });
      Bounded("VexCam_Release", [&] { VexCam_Release(s.h); });
      VexWin_DestroyWindow(s.callback);
      VexWin_DestroyWindow(s.notify);
      s.streaming = false;
    }
  };

  // Warm-up round: the process-wide parts (device watcher, settings store)
  // exist from here on, so the counts after it are the start counts.
  openAll();
  std::this_thread::sleep_for(milliseconds(500));
  closeAll();
  const long startFds = CountEntries("/proc/self/fd");
  const long startThreads = CountEntries("/proc/self/task");

  openAll();
  std::atomic<bool> stop{false};
  std::thread changer([&] {
    std::mt19937 rng(42);
    auto in = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    while (!stop.load()) {
      for (Stream& s : streams) VexCam_SetExposureTime(s.h, in(10, 300));
      const DWORD colour = streams[2].h;
      VexCam_SetBrightness(colour, in(-60, 60));
      VexCam_SetContrast(colour, in(-40, 40));
      VexCam_SetGamma(colour, in(50, 150));
      VexCam_SetFilterValue(colour, VEXCAM_VALUE_HUE, in(-90, 90));
      VexCam_SetSaturation(colour, in(-100, 100));
      VexCam_SetDotFilter(colour, in(0, 1));
      std::this_thread::sleep_for(milliseconds(in(20, 80)));
    }
  });

  const std::string outDir =
      std::filesystem::temp_directory_path() / ("vexcam-soak-out-" + std::to_string(getpid()));
  std::filesystem::create_directories(outDir);
  long unplugs = 0, brokenSeen = 0, replugsStreaming = 0, recordings = 0, snapshots = 0;
  std::vector<std::pair<double, long>> rss;  // (minutes, KiB)
  const auto start = Clock::now();
  const auto end = start + std::chrono::seconds(seconds);
  auto nextUnplug = start + std::chrono::seconds(3);
  auto nextRecord = start + std::chrono::seconds(2);
  auto nextSnapshot = start + std::chrono::seconds(1);
  auto nextRss = start + std::chrono::seconds(5);
  enum class Plug { kIn, kOut, kBack } plug = Plug::kIn;
  Clock::time_point plugSince = start;
  bool recording = false;
  Clock::time_point recordEnd = start;

  while (Clock::now() < end || plug != Plug::kIn || recording) {
    const auto now = Clock::now();
    for (Stream& s : streams) {
      const int broken = Pump(s);
      if (&s == &streams[2] && broken > 0 && plug == Plug::kOut) brokenSeen += 1;
      // A live stream that has not delivered for the bound has hung.
      if (s.streaming && !(&s == &streams[2] && plug != Plug::kIn) &&
          !(&s == &streams[0] && recording) && now - s.lastFrame > kStreamBound) {
        Fail("stream " + std::to_string(s.number) + " stalled");
        s.lastFrame = now;
      }
    }
    // Unplug camera 2, wait for the broken-transfer notice, replug, stream again.
    Stream& u = streams[2];
    if (plug == Plug::kIn && now >= nextUnplug && now < end) {
      VexSim_Unplug(u.sim);
      ++unplugs;
      plug = Plug::kOut;
      plugSince = now;
    } else if (plug == Plug::kOut && (brokenSeen == unplugs || now - plugSince > kStreamBound)) {
      if (brokenSeen != unplugs) {
        Fail("unplug " + std::to_string(unplugs) + " ended without the broken-transfer notice");
        brokenSeen = unplugs;
      }
      Bounded("VexCam_StopPreview after unplug", [&] { VexCam_StopPreview(u.h); });
      u.streaming = false;
      VexSim_Replug(u.sim);
      if (VexCam_SetDeviceNumber(u.h, u.number) != 1 || !StartStream(u)) {
        Fail("restart after replug " + std::to_string(unplugs));
      }
      plug = Plug::kBack;
      plugSince = now;
    } else if (plug == Plug::kBack) {
      if (u.lastFrame > plugSince) {
        ++replugsStreaming;
        plug = Plug::kIn;
        nextUnplug = now + std::chrono::milliseconds(2500 + (unplugs % 5) * 300);
      } else if (now - plugSince > kStreamBound) {
        Fail("no frames after replug " + std::to_string(unplugs));
        plug = Plug::kIn;
        nextUnplug = now + std::chrono::seconds(3);
      }
    }
    // Recordings on stream 0: stop its callback stream, record, stream again.
    Stream& r = streams[0];
    if (!recording && now >= nextRecord && now < end) {
      Bounded("VexCam_StopPreview before recording", [&] { VexCam_StopPreview(r.h); });
      r.streaming = false;
      const std::string file = outDir + "/rec" + std::to_string(recordings % 3) + ".avi";
      if (VexCam_Record(r.h, file.c_str(), 1000, 0) == 1) {
        ++recordings;
        recording = true;
        recordEnd = now + milliseconds(1500);
      } else {
        Fail("record start, code " + std::to_string(VexCam_GetLastError(r.h)));
        StartStream(r);
        nextRecord = now + std::chrono::seconds(5);
      }
    } else if (recording && now >= recordEnd) {
      Bounded("VexCam_StopPreview after recording", [&] { VexCam_StopPreview(r.h); });
      recording = false;
      if (!StartStream(r)) Fail("stream after recording");
      nextRecord = now + std::chrono::seconds(5);
    }
    // Snapshots of the streaming mono 16 image.
    if (now >= nextSnapshot && now < end) {
      const std::string file =
          outDir + "/snap" + std::to_string(snapshots % 4) + (snapshots % 2 ? ".png" : ".bmp");
      if (VexCam_SaveImage(streams[1].h, file.c_str(),
                           snapshots % 2 ? VEXCAM_FORMAT_PNG : VEXCAM_FORMAT_BMP) == 1)
        ++snapshots;
      else
        Fail("snapshot, code " + std::to_string(VexCam_GetLastError(streams[1].h)));
      nextSnapshot = now + std::chrono::seconds(2);
    }
    if (now >= nextRss) {
      rss.emplace_back(std::chrono::duration<double>(now - start).count() / 60.0, ResidentKiB());
      nextRss = now + std::chrono::seconds(5);
    }
    std::this_thread::sleep_for(milliseconds(5));
  }
  stop.store(true);
  changer.join();
  for (Stream& s : streams) Pump(s);
  closeAll();

  std::error_code ec;
  std::filesystem::remove_all(outDir, ec);

  // Let the threads that end asynchronously (none should) finish.
  // The process-wide device watcher holds a second descriptor while it
  // reloads the settings every 500 ms: take the lowest count.
  long endFds = CountEntries("/proc/self/fd"), endThreads = CountEntries("/proc/self/task");
  for (int i = 0; i < 12 && (endFds != startFds || endThreads != startThreads); ++i) {
    std::this_thread::sleep_for(milliseconds(100));
    endFds = std::min(endFds, CountEntries("/proc/self/fd"));
    endThreads = std::min(endThreads, CountEntries("/proc/self/task"));
  }
  if (endFds != startFds)
    Fail("file descriptors " + std::to_string(startFds) + " -> " + std::to_string(endFds));
  if (endThreads != startThreads)
    Fail("threads " + std::to_string(startThreads) + " -> " + std::to_string(endThreads));

  // Resident memory after warm-up (the first fifth): least-squares slope.
  double slope = 0;
  std::vector<std::pair<double, long>> tail(rss.begin() + static_cast<long>(rss.size() / 5),
                                            rss.end());
  if (tail.size() >= 3) {
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (auto [x, y] : tail) {
      sx += x;
      sy += static_cast<double>(y);
      sxx += x * x;
      sxy += x * static_cast<double>(y);
    }
    const double n = static_cast<double>(tail.size());
    slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
  }
  if (maxSlope > 0 && slope > maxSlope)
    Fail("resident memory grows " + std::to_string(slope) + " KiB/min");

  std::printf("soak: %d s, 3 cameras\n", seconds);
  for (const Stream& s : streams)
    std::printf("soak: camera %d (%d bit): %ld frames, %ld checked, %ld torn, %ld repeated\n",
                s.number, s.bits, s.frames, s.checked, s.torn, s.repeated);
  std::printf("soak: %ld unplugs, %ld broken-transfer notices, %ld replugs streaming again\n",
              unplugs, brokenSeen, replugsStreaming);
  std::printf("soak: %ld recordings, %ld snapshots\n", recordings, snapshots);
  std::printf("soak: resident %ld -> %ld KiB, slope after warm-up %.1f KiB/min\n",
              rss.empty() ? 0 : rss.front().second, rss.empty() ? 0 : rss.back().second, slope);
  std::printf("soak: file descriptors %ld -> %ld, threads %ld -> %ld\n", startFds, endFds,
              startThreads, endThreads);
  for (const Stream& s : streams) {
    if (s.torn > 0) Fail("torn frames on camera " + std::to_string(s.number));
    if (s.repeated > 0) Fail("repeated frames on camera " + std::to_string(s.number));
    if (s.checkIdentity && s.checked == 0)
      Fail("no frame checked on camera " + std::to_string(s.number));
  }
  std::printf("soak: %s\n", g_failures == 0 ? "passed" : "FAILED");
  return g_failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 60;
  double maxSlope = 2048;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--seconds" && i + 1 < argc)
      seconds = std::atoi(argv[++i]);
    else if (a == "--max-rss-slope" && i + 1 < argc)
      maxSlope = std::atof(argv[++i]);
  }
  return RunSoak(seconds, maxSlope);
}
