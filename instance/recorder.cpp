#include "instance/recorder.h"

#include <system_error>

#include "files/record_frame.h"
#include "imaging/dib_image.h"
#include "instance/capture_engine.h"
#include "instance/vex_cam.h"
#include "platform/clock.h"
#include "platform/critical_section.h"

namespace vexcam {

namespace {

constexpr uint32_t kPollMs = 10;
constexpr uint32_t kOpenRate = 30;  // frames per second until measured
// A recording whose frames stop coming (camera lost) ends this long after its
// duration instead of waiting for a frame that never arrives.
constexpr uint32_t kStallMs = 3000;

}  // namespace

Recorder::Recorder(CVexCam& owner) : owner_(owner) {}

Recorder::~Recorder() { Stop(); }

void Recorder::Stop() {
  std::thread thread;
  {
    std::lock_guard<std::mutex> lock(controlMutex_);
    recording_.store(false);
    wake_.Set();
    thread = std::move(thread_);
    if (thread.joinable()) ++joinsPending_;
  }
  if (!thread.joinable()) return;
  thread.join();
  // A start waits for this: until the thread is joined it may still be
  // finalising the file through writer_.
  std::lock_guard<std::mutex> lock(controlMutex_);
  --joinsPending_;
}

BOOL Recorder::StartW(const wchar_t* fileName, uint32_t durationMs, int showWindow) {
  if (fileName == nullptr || fileName[0] == L'\0') {
    owner_.Record(VEXCAM_ERR_INVALID_ARG);
    return 0;
  }
  char narrow[kFileNameBytes];
  if (!owner_.NarrowFileName(fileName, narrow)) return 0;
  return Start(narrow, durationMs, showWindow);
}

BOOL Recorder::Start(const char* fileName, uint32_t durationMs, int showWindow) {
  if (!owner_.RequireCamera()) return 0;
  if (fileName == nullptr || fileName[0] == '\0') {
    owner_.Record(VEXCAM_ERR_INVALID_ARG);
    return 0;
  }
  // A recording that ended by itself leaves its thread to be joined here.
  std::thread finished;
  {
    std::lock_guard<std::mutex> lock(controlMutex_);
    // A thread another call is joining may still be writing the file: that
    // recording is not over yet.
    if (recording_.load() || joinsPending_ != 0) {
      owner_.Record(VEXCAM_ERR_NO_CAMERA);
      return 0;
    }
    finished = std::move(thread_);
    if (finished.joinable()) ++joinsPending_;
  }
  if (finished.joinable()) {
    finished.join();
    std::lock_guard<std::mutex> lock(controlMutex_);
    --joinsPending_;
  }

  // Failures after the preview started close capture, which stops the
  // recorder and so takes controlMutex_: done after it is released.
  uint32_t closeCode = 0;
  {
    std::lock_guard<std::mutex> lock(controlMutex_);
    if (recording_.load() || thread_.joinable() || joinsPending_ != 0) {
      owner_.Record(VEXCAM_ERR_NO_CAMERA);
      return 0;
    }
    // Records its own code (1, 4, or the start's code then 12) and closes.
    if (!owner_.Capture().StartPreviewForRecord(showWindow)) return 0;

    int mode = 0;
    int width = 0;
    int height = 0;
    int bits = 0;
    {
      CsLock frame(owner_.frameLock);
      mode = owner_.Capture().SessionColorMode();
      const DibImage& image = owner_.images.ImageFor(mode);
      width = image.Width();
      height = image.Height();
      bits = image.BitCount();
    }
    if (!writer_.Open(fileName, width, height, bits, kOpenRate)) {
      closeCode = VEXCAM_ERR_FILE_OR_TEXT;
    } else {
      newFrame_.store(false);
      wake_.Reset();
      recording_.store(true);
      try {
        thread_ = std::thread([this, durationMs, mode] { Run(durationMs, mode); });
      } catch (const std::system_error&) {
        recording_.store(false);
        writer_.Close(0);
        closeCode = VEXCAM_ERR_NO_THREAD;
      }
    }
  }
  if (closeCode != 0) {
    owner_.Close();
    owner_.Record(closeCode);
    return 0;
  }
  return 1;
}

void Recorder::Run(uint32_t durationMs, int colorMode) {
  // Made at the first frame and reused: nothing is allocated per frame.
  DibImage frame24;
  DibImage scratch8;
  const uint32_t called = TimeGetTime();
  uint32_t first = 0;
  uint32_t last = 0;
  uint32_t frames = 0;
  bool failed = false;
  while (recording_.load()) {
    wake_.Wait(kPollMs);
    if (!recording_.load()) break;
    if (!newFrame_.exchange(false)) {
      const uint32_t since = frames == 0 ? called : first;
      if (uint64_t{ElapsedMs(since, TimeGetTime())} > uint64_t{durationMs} + kStallMs) break;
      continue;
    }
    const uint32_t t = TimeGetTime();
    if (frames == 0) first = t;
    bool made = false;
    {
      CsLock lock(owner_.frameLock);
      made = MakeRecordFrame(owner_.images.ImageFor(colorMode), frame24, scratch8) != 0;
    }
    // A frame the writer refuses (write error, full file, another size)
    // ends the recording; what was written stays a complete file.
    if (!made || !writer_.AddFrame(frame24)) {
      failed = true;
      break;
    }
    ++frames;
    last = t;
    if (ElapsedMs(first, t) > durationMs) break;
  }
  writer_.Close(AviWriter::MeasureRate(frames, ElapsedMs(first, last)));
  recording_.store(false);
  if (failed) owner_.Record(VEXCAM_ERR_FILE_OR_TEXT);
}

}  // namespace vexcam
