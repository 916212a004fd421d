#pragma once
// AVI recording of continuous preview: VexCam_Record starts the preview and a
// record thread that appends every processed frame it sees (polled every
// 10 ms) as a 24-bit bottom-up frame, and finalises the file when the
// duration, counted from the first frame, has passed or when capture stops.
//
// Threads and locks: Start and Stop run on application threads and are
// serialised by controlMutex_; the record thread never takes it. The thread
// converts a frame under the instance's frame lock and writes it with no lock
// held. Stop joins the thread with no lock held; the capture engine calls it
// from its own stop paths after it has released its locks.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

#include "files/avi_writer.h"
#include "platform/event.h"
#include "vexcam/VexCamSdk.h"

namespace vexcam {

class CVexCam;

class Recorder {
 public:
  explicit Recorder(CVexCam& owner);
  ~Recorder();  // stops and finalises a recording still running
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // VexCam_Record: a null or empty name records 9; a recording already
  // running, or capture mode or trigger mode active, records 1; a start that
  // needs a preview window records 4; a preview or file that cannot be
  // started or created closes capture and records 12; no thread: closes
  // capture and records 3. Returns 1 once the recording runs.
  BOOL Start(const char* fileName, uint32_t durationMs, int showWindow);
  // VexCam_RecordW: the name converted in the thread's code page into at most
  // 1024 bytes (else 12), then as Start.
  BOOL StartW(const wchar_t* fileName, uint32_t durationMs, int showWindow);

  // Ends a running recording, finalising the file with the frames written so
  // far, and joins the thread. Any time, any number of times; never from the
  // record thread.
  void Stop();

  // Set by the continuous loop after each processed frame.
  // True when a recording runs and the previous frame was never taken.
  bool FrameReady() { return newFrame_.exchange(true) && recording_.load(); }
  bool IsRecording() const { return recording_.load(); }

 private:
  void Run(uint32_t durationMs, int colorMode);

  CVexCam& owner_;
  std::mutex controlMutex_;
  std::thread thread_;  // guarded by controlMutex_
  // Record threads taken out of thread_ and not yet joined (guarded by
  // controlMutex_): while one is, writer_ may still be in use.
  int joinsPending_ = 0;
  AviWriter writer_;  // used by Start while no thread runs, else by the thread
  std::atomic<bool> recording_{false};
  std::atomic<bool> newFrame_{false};
  Event wake_{true};  // set by Stop: cuts the poll sleep short
};

}  // namespace vexcam
