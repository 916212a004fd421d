// VexCam_Record(W): the AVI file's structure, its frames, how recordings end
// (duration, stop, release) and the calls that must not start one.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>

#include "common/avi_file.h"
#include "files_fixture.h"
#include "tests/api_capture/sim_picture.h"

namespace vexcam::test {
namespace {

using Record = FilesTest;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kHeader = 232;  // RIFF, hdrl and the "movi" code

// Walks a finished AVI of w x h frames and returns its frame count (0 after
// a failed check); the header layout itself is the writer tests'.
uint32_t CheckAvi(const std::vector<uint8_t>& b, uint32_t w, uint32_t h) {
  AviFile avi;
  ParseAvi(b, avi);
  if (::testing::Test::HasFatalFailure()) return 0;
  const uint32_t frameBytes = 3 * w * h;
  EXPECT_EQ(avi.suggested, frameBytes + 8);
  EXPECT_EQ(avi.width, w);
  EXPECT_EQ(avi.height, h);
  EXPECT_EQ(avi.length, avi.totalFrames);
  EXPECT_EQ(avi.chunkSizes.size(), avi.totalFrames);
  EXPECT_EQ(std::count(avi.chunkSizes.begin(), avi.chunkSizes.end(), frameBytes),
            static_cast<long>(avi.chunkSizes.size()));
  return avi.totalFrames;
}

// Waits until at least `frames` whole frames have reached the file (the
// writer's buffer holds about one more), instead of sleeping a fixed time
// that a loaded machine may not fill.
bool WaitForFrames(const std::string& path, uint32_t frames, int timeoutMs) {
  const uintmax_t bytes = kHeader + static_cast<uintmax_t>(frames + 1) * (8 + 3 * 640 * 512);
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Clock::now() < end) {
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(path, ec);
    if (!ec && size >= bytes) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

// Waits until the recording has patched its frame count into the header
// (the duration is over), then stops capture so the file is closed.
bool WaitFinished(DWORD handle, const std::string& path, int timeoutMs) {
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Clock::now() < end) {
    const std::vector<uint8_t> head = [&] {
      std::ifstream in(path, std::ios::binary);
      std::vector<uint8_t> b(52);
      in.read(reinterpret_cast<char*>(b.data()), 52);
      return in.gcount() == 52 ? b : std::vector<uint8_t>{};
    }();
    if (!head.empty() && U32(head, 48) != 0) {
      VexCam_StopPreview(handle);
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

TEST_F(Record, ThreeSecondsGiveACompleteFileOfDistinctFrames) {
  ASSERT_EQ(VexCam_SetWaitTime(h_, 0), 1);
  ASSERT_EQ(VexCam_Record(h_, Path("r.avi").c_str(), 3000, 0), 1);
  ASSERT_TRUE(WaitFinished(h_, Path("r.avi"), 10000));
  const std::vector<uint8_t> b = ReadFile(Path("r.avi"));
  const uint32_t n = CheckAvi(b, 640, 512);
  ASSERT_GE(n, 10u);
  // The measured rate spans the first to the last frame: just over 3 s.
  const uint32_t usPerFrame = U32(b, 32);
  const double spanMs = static_cast<double>(n) * usPerFrame / 1000.0;
  EXPECT_GT(spanMs, 2900.0);
  EXPECT_LT(spanMs, 4000.0);
  // Each chunk is a frame of its own: the picture moves from frame to frame,
  // so a chunk equal to the one before is a frame appended twice. (The
  // simulated stream has been seen to repeat a frame now and then on a
  // heavily loaded machine, hence the margin.)
  const size_t chunk = 8 + 3 * 640 * 512;
  uint32_t repeats = 0;
  for (uint32_t k = 1; k < n; ++k) {
    const uint8_t* a = b.data() + kHeader + (k - 1) * chunk + 8;
    repeats += std::memcmp(a, a + chunk, 3 * 640 * 512) == 0;
  }
  EXPECT_LE(repeats, n / 25 + 2) << "repeats " << repeats << " of " << n;
  EXPECT_TRUE(Codes().empty());
}

TEST_F(Record, Mono16FramesShowSampleBitsTwoToNine) {
  ASSERT_EQ(VexCam_SetColorMode(h_, 16), 1);
  ASSERT_EQ(VexCam_SetWaitTime(h_, 0), 1);
  ASSERT_EQ(VexCam_Record(h_, Path("m16.avi").c_str(), 150, 0), 1);
  ASSERT_TRUE(WaitFinished(h_, Path("m16.avi"), 8000));
  const std::vector<uint8_t> b = ReadFile(Path("m16.avi"));
  const uint32_t n = CheckAvi(b, 640, 512);
  ASSERT_GE(n, 1u);
  const uint32_t exposure = SimExposure(sim_);
  // The frame is bottom-up and the ZA01 picture turned by 180 degrees, so
  // file row i, column c shows sensor pixel (639 - c, i), as three equal
  // samples.
  auto expected = [&](uint32_t tag, int c, int i) {
    return uint32_t{sim::PatternSample(tag, exposure, 639 - c, i, 16)} >> 2 & 255;
  };
  for (uint32_t k : {0u, n - 1}) {
    const uint8_t* f = b.data() + kHeader + static_cast<size_t>(k) * (8 + 3 * 640 * 512) + 8;
    auto sample = [&](int c, int i) {
      const uint8_t* p = f + (static_cast<size_t>(i) * 640 + c) * 3;
      return p[0] == p[1] && p[1] == p[2] ? uint32_t{p[0]} : UINT32_MAX;
    };
    EXPECT_TRUE(MatchesSomeTag(640, 512, sample, expected)) << "frame " << k;
  }
}

// Stop, close and release each end a recording early with a complete file.
TEST_F(Record, StopCloseAndReleaseEndEarlyWithACompleteFileAndTheNextStartsFresh) {
  ASSERT_EQ(VexCam_SetWaitTime(h_, 0), 1);
  ASSERT_EQ(VexCam_Record(h_, Path("a.avi").c_str(), 60000, 0), 1);
  ASSERT_TRUE(WaitForFrames(Path("a.avi"), 2, 10000));
  const auto stopStart = Clock::now();
  ASSERT_EQ(VexCam_StopPreview(h_), 1);
  EXPECT_LT(Clock::now() - stopStart, std::chrono::seconds(2));
  const uint32_t first = CheckAvi(ReadFile(Path("a.avi")), 640, 512);
  EXPECT_GE(first, 2u);

  // Into the same file again: it is replaced, starting at frame 0. (New files
  // after a duration's end are ConcurrentStartsAndStopsLeaveEveryStartedFileComplete's.)
  ASSERT_EQ(VexCam_Record(h_, Path("a.avi").c_str(), 200, 0), 1);
  ASSERT_TRUE(WaitFinished(h_, Path("a.avi"), 8000));
  EXPECT_GE(CheckAvi(ReadFile(Path("a.avi")), 640, 512), 1u);
  EXPECT_TRUE(Codes().empty());

  ASSERT_EQ(VexCam_Record(h_, Path("c.avi").c_str(), 60000, 0), 1);
  ASSERT_TRUE(WaitForFrames(Path("c.avi"), 1, 10000));
  ASSERT_EQ(VexCam_Close(h_), 1);
  EXPECT_GE(CheckAvi(ReadFile(Path("c.avi")), 640, 512), 1u);
  ASSERT_EQ(VexCam_Record(h_, Path("d.avi").c_str(), 60000, 0), 1);
  ASSERT_TRUE(WaitForFrames(Path("d.avi"), 1, 10000));
  Release();
  EXPECT_GE(CheckAvi(ReadFile(Path("d.avi")), 640, 512), 1u);
}

// Starts and stops from several threads at once: a recording that is still
// being finalised by its thread (taken out by a stop on another thread, or
// ended by its duration) refuses a new start instead of sharing the writer,
// so every file whose start succeeded is complete.
TEST_F(Record, ConcurrentStartsAndStopsLeaveEveryStartedFileComplete) {
  ASSERT_EQ(VexCam_SetWaitTime(h_, 0), 1);
  std::atomic<int> next{0};
  std::mutex startedMutex;
  std::vector<std::string> started;
  const auto end = Clock::now() + std::chrono::milliseconds(1500);
  auto run = [&](int role) {
    while (Clock::now() < end) {
      if (role == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        VexCam_StopPreview(h_);
        continue;
      }
      const std::string path = Path(("c" + std::to_string(next++) + ".avi").c_str());
      if (VexCam_Record(h_, path.c_str(), 40, 0) == 1) {
        std::lock_guard<std::mutex> lock(startedMutex);
        started.push_back(path);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  };
  std::vector<std::thread> threads;
  for (int role = 0; role < 4; ++role) threads.emplace_back(run, role);
  for (std::thread& t : threads) t.join();
  ASSERT_EQ(VexCam_StopPreview(h_), 1);
  EXPECT_FALSE(started.empty());
  for (const std::string& path : started) {
    SCOPED_TRACE(path);
    const std::vector<uint8_t> b = ReadFile(path);
    if (b.size() >= kHeader)
      CheckAvi(b, 640, 512);
    else
      ADD_FAILURE() << "incomplete file of " << b.size() << " bytes";
  }
  Codes();
}

// Recording during a callback preview takes the preview over: once
// VexCam_Record returns, the old window gets no frame message and the old
// buffer (which the application may free) is never written.
TEST_F(Record, StartedDuringCallbackPreviewLeavesTheOldTargetAlone) {
  ASSERT_EQ(VexCam_SetColorMode(h_, 8), 1);
  ASSERT_EQ(VexCam_SetWaitTime(h_, 0), 1);
  std::vector<uint8_t> buffer(kFull);
  ASSERT_EQ(VexCam_CallBackPreview(h_, callback_, buffer.data(), kFull, 1), 1);
  VEXWIN_MSG m{};
  ASSERT_TRUE(NextFrame(&m));
  ASSERT_EQ(VexCam_Record(h_, Path("taken.avi").c_str(), 1000, 0), 1);
  std::fill(buffer.begin(), buffer.end(), uint8_t{0x5C});
  while (VexWin_PeekMessage(callback_, &m, TRUE)) {}
  ASSERT_TRUE(WaitFinished(h_, Path("taken.avi"), 8000));
  EXPECT_GE(CheckAvi(ReadFile(Path("taken.avi")), 640, 512), 2u)
      << "the preview went on for the recording";
  EXPECT_FALSE(VexWin_PeekMessage(callback_, &m, TRUE)) << "frame message to the old window";
  EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == 0x5C; }))
      << "the old buffer was written";
  EXPECT_TRUE(Codes().empty());
}

TEST_F(Record, RefusedStartsLeaveCaptureAsItWas) {
  // Names: nothing is started, so capture mode can still be entered.
  // (Names too long to convert are SaveImage.RefusalsAndWriterFailures'.)
  EXPECT_REFUSED(VexCam_Record(h_, nullptr, 1000, 0), 9);
  EXPECT_REFUSED(VexCam_Record(h_, "", 1000, 0), 9);
  EXPECT_REFUSED(VexCam_RecordW(h_, nullptr, 1000, 0), 9);
  EXPECT_REFUSED(VexCam_RecordW(h_, L"", 1000, 0), 9);
  EXPECT_REFUSED(VexCam_RecordW(h_, (dir_.wstring() + L"/\u00e9.avi").c_str(), 1000, 0), 12);

  // Capture mode prepared: refused with 1, capture mode kept.
  ASSERT_EQ(VexCam_Capture(h_), 1);
  EXPECT_REFUSED(VexCam_Record(h_, Path("s.avi").c_str(), 1000, 0), VEXCAM_ERR_NO_CAMERA);
  EXPECT_FALSE(std::filesystem::exists(Path("s.avi")));
  EXPECT_EQ(VexCam_SnapShot(h_, nullptr, 0, 1), 1);
  ASSERT_EQ(VexCam_StopPreview(h_), 1);

  // A file that cannot be created: 12, capture closed again.
  EXPECT_REFUSED(VexCam_Record(h_, Path("missing/dir/x.avi").c_str(), 1000, 0),
                 VEXCAM_ERR_FILE_OR_TEXT);
  EXPECT_EQ(VexCam_Capture(h_), 1);
  ASSERT_EQ(VexCam_StopPreview(h_), 1);

  // A window is needed only when asked to show one.
  ASSERT_EQ(VexCam_SetPreviewWindow(h_, nullptr, 0, 0, 640, 512), 1);
  EXPECT_REFUSED(VexCam_Record(h_, Path("w.avi").c_str(), 1000, 1), VEXCAM_ERR_NO_WINDOW);
  ASSERT_EQ(VexCam_Record(h_, Path("w.avi").c_str(), 60000, 0), 1);

  // A second recording while one runs: 1, the first goes on.
  EXPECT_REFUSED(VexCam_Record(h_, Path("w2.avi").c_str(), 1000, 0), VEXCAM_ERR_NO_CAMERA);
  EXPECT_FALSE(std::filesystem::exists(Path("w2.avi")));
  ASSERT_TRUE(WaitForFrames(Path("w.avi"), 1, 10000));
  ASSERT_EQ(VexCam_StopPreview(h_), 1);
  EXPECT_GE(CheckAvi(ReadFile(Path("w.avi")), 640, 512), 1u);
  EXPECT_TRUE(Codes().empty());
}

}  // namespace
}  // namespace vexcam::test
