#pragma once
// The capture engine of an instance: capture preparation, the capture modes
// (continuous preview, capture mode with snapshots, trigger), the worker
// thread with its continuous and trigger loops, the copy into the
// application's buffer, the frame info record and the frame message.
//
// Threads and locks: the capture operations run on application threads and
// are serialised by controlMutex_; the worker never takes it. Each started
// worker gets a WorkerContext of its own (run flag, wake event, callback
// target), so a worker that is still finishing after a stop can never act on
// the settings of the next start. Threads are joined with no lock held. The
// frame lock of the instance guards the images, the frame info records and
// the frame-rate counters; the settings lock is taken only to copy or write
// back settings.
//
// capture_engine.cpp holds the start, stop and capture-mode operations,
// capture_prepare.cpp the capture preparation and the preview window,
// capture_frames.cpp the worker loops, the frame path and the messages.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "imaging/capture_geometry.h"
#include "instance/recorder.h"
#include "instance/stream_stats.h"
#include "instance/sub_sampler.h"
#include "platform/event.h"
#include "vexcam/VexCamSdk.h"

namespace vexcam {

struct AnalogSettings;
struct CaptureWindow;
struct FrameReport;
struct ImageSettings;

class CVexCam;
class CVexCamU3K9Base;
class CPreviewWindow;
class DibImage;

class CaptureEngine {
 public:
  explicit CaptureEngine(CVexCam& owner);
  ~CaptureEngine();  // stops and joins the worker
  CaptureEngine(const CaptureEngine&) = delete;
  CaptureEngine& operator=(const CaptureEngine&) = delete;

  BOOL Preview();
  BOOL CallBackPreview(HWND callbackWindow, BYTE* buffer, int size, int topDown);
  BOOL StartPreview();
  BOOL StopPreview();
  BOOL Capture();
  BOOL SnapShot(BYTE* buffer, int size, int topDown);
  BOOL Trigger(HWND callbackWindow, BYTE* buffer, int size, int topDown);
  BOOL GetImage(BYTE* buffer, int size, int topDown);
  BOOL SetWaitTime(int milliseconds);
  int GetWaitTime();
  int Width();
  int Height();
  BOOL SetPreviewWindow(HWND parent, int x, int y, int width, int height);

  // Capture state: kStateIdle, kStatePreview, kStateCapture, kStateTrigger.
  uint32_t State() const;
  // VexCam_StopPreview's operation without recording a code, for Close and
  // teardown: ends the worker and any capture mode (StopCapture when a mode
  // was active) and clears the image-available flag. The caller stops the
  // camera's transfer itself. Any state, any number of times.
  void Stop();
  // Around the camera dialog: continuous preview (and its recording) and
  // capture mode are stopped, the trigger loop is paused; the state found is
  // returned. Resume restarts preview or capture mode, or un-pauses the
  // trigger loop; a restart that fails records its code.
  uint32_t SuspendForDialog();
  void ResumeAfterDialog(uint32_t state);
  // True once a frame has been converted since the last Stop.
  bool ImageAvailable() const { return imageAvailable_.load(); }

  // AVI recording of continuous preview; stopped by every stop of capture.
  Recorder& Recording() { return recorder_; }
  // VexCam_Record's start of continuous preview: clears the callback target
  // (a running preview's worker too: its old buffer and window are not used
  // once this returns);
  // capture or trigger mode active records 1; showWindow with a preview
  // window to make records 4; a failed start closes capture and records 12
  // after the start's own code. A running preview is kept.
  BOOL StartPreviewForRecord(int showWindow);
  // Colour mode of the prepared capture. Call with the frame lock held.
  int SessionColorMode() const { return session_.colorMode; }
  // VexCam_Close's first step: the preview window goes away.
  void ClosePreviewWindow();
  // Handle of the preview window made at the last start; null when none.
  HWND PreviewWindowHandle();
  // Sample depth (8 or 16) of the raw image that holds a camera frame since
  // the last preparation; 0 before the first. Call with the frame lock held.
  int RawFrameBits() const { return rawFrameBits_; }
  // VexCamX_GetStreamStats: null records 9, a size below the minimum 5.
  BOOL GetStreamStats(VEXCAM_STREAM_STATS* out);

 private:
  // Where a worker delivers frames: set by CallBackPreview / Trigger, cleared
  // by Preview, read by SnapShot for its frame messages.
  struct CallbackTarget {
    HWND window = nullptr;
    BYTE* buffer = nullptr;
    uint32_t size = 0;
    uint32_t topDown = 0;
  };
  // The capture as prepared: fixed until the next preparation.
  struct Session {
    int colorMode = 0;
    CaptureGeometry geometry;
  };
  struct WorkerContext {
    explicit WorkerContext(uint32_t s, const CallbackTarget& t) : state(s), target(t) {}
    std::atomic<uint32_t> run{1};  // 0 end, 1 run, 2 pause
    Event wake{true};              // set by a stop: cuts sleeps short
    const uint32_t state;          // kStatePreview or kStateTrigger
    // Where frames go. VexCam_Record clears it under the frame lock and
    // targetLock; the worker reads it under the frame lock for the copy and
    // under targetLock (a leaf) for each post, so once the clear returns the
    // old buffer and window are never used again.
    std::mutex targetLock;
    CallbackTarget target;
  };

  // Runs op under controlMutex_, then joins a worker that op retired.
  template <class Op>
  BOOL Locked(Op&& op);

  // A camera and a buffer size that is not negative; otherwise records "no
  // camera" or "invalid argument".
  bool AcceptsCall(int size);
  bool NeedsPreviewWindow() const;
  // Replaces the preview window by a new one when the stored parent and
  // rectangle ask for one; false, with "no window" recorded, when it cannot
  // be made.
  bool OpenPreviewWindowLocked();
  void ClosePreviewWindowLocked();
  // Sets the callback target and opens the preview window as above.
  bool SetTarget(HWND window, BYTE* buffer, int size, int topDown);
  // Capture preparation: the camera open and the window allowed, then the
  // images, the camera's window and the analog settings, and the stream
  // started. A failed step has recorded its code.
  bool Prepare();
  // The output images and the session for the mode and sub-sampled window,
  // under the frame lock.
  bool PrepareImages(CVexCamU3K9Base& cam, const CaptureWindow& window,
                     const ImageSettings& settings);
  // Transfer width and window on the camera, and the engine's sub-sampler.
  bool ProgramCaptureArea(CVexCamU3K9Base& cam, const CaptureWindow& window,
                          const ImageSettings& settings);
  void ApplyAnalogSettings(CVexCamU3K9Base& cam, const AnalogSettings& analog);
  static bool IsValidMode(int mode);
  BOOL StartPreviewLocked();
  bool StartWorker(uint32_t state);
  // Run flag 0, state idle; the camera's transfer stopped when a mode was
  // active or stopCamera is set; the worker is moved to retired_.
  void StopLocked(bool stopCamera);
  // VexCam_Close's share: stop, camera stopped, image-available cleared.
  void CloseLocked();
  void WorkerMain(const std::shared_ptr<WorkerContext>& ctx);
  void ContinuousLoop(WorkerContext& ctx);
  void TriggerLoop(WorkerContext& ctx);
  // WaitFrame in short slices so that a stop is seen within one slice.
  uint32_t WaitFrameWhileRunning(WorkerContext& ctx, uint32_t timeoutMs);
  // One frame from the camera through the pipeline into the application's
  // buffer, under the frame lock. Returns the frame info to post, or null.
  // Continuous frames also measure the rate and feed the recorder.
  // The auto-iris request of the frame is applied after the frame lock is
  // released (ApplyFrameReport).
  const VEXCAM_FRAME_INFO* DeliverFrame(WorkerContext& ctx, bool continuous);
  const VEXCAM_FRAME_INFO* DeliverFrameLocked(WorkerContext& ctx, bool continuous,
                                              FrameReport* report);
  // GetFrame into the raw image of the session; false when nothing fitting
  // was copied.
  bool FetchRaw();
  // Runs the pipeline on the fetched frame, under the frame lock, and writes
  // the measured white balance and gray gains back into the settings.
  void RunPipeline(FrameReport* report);
  // Applies the frame's auto-iris request to the camera, records what it
  // changed, and tells open dialogs. Called without the frame lock.
  void ApplyFrameReport(const FrameReport& report);
  bool CopyToApplication(const DibImage& image, const CallbackTarget& target);
  void PostFrame(HWND window, const VEXCAM_FRAME_INFO* info, LPARAM code);
  // PostFrame to the worker's current callback window.
  void PostToTarget(WorkerContext& ctx, const VEXCAM_FRAME_INFO* info, LPARAM code);

  CVexCam& owner_;

  std::mutex controlMutex_;
  std::atomic<uint32_t> state_{0};
  std::shared_ptr<WorkerContext> worker_;               // guarded by controlMutex_
  std::thread workerThread_;                            // guarded by controlMutex_
  std::thread retired_;                                 // guarded by controlMutex_; joined unlocked
  CallbackTarget target_;                               // guarded by controlMutex_
  HWND previewParent_ = nullptr;                        // guarded by controlMutex_
  std::array<int32_t, 4> previewRect_{0, 0, 640, 512};  // guarded by controlMutex_
  // Written with controlMutex_ and the frame lock held, drawn under the frame
  // lock. A replaced window waits in retiredPreview_ and is destroyed by
  // Locked() with no lock held.
  std::unique_ptr<CPreviewWindow> preview_;
  std::unique_ptr<CPreviewWindow> retiredPreview_;  // guarded by controlMutex_

  // Guarded by the instance's frame lock.
  Session session_;
  SubSampler subSampler_;
  int rawFrameBits_ = 0;
  // The record the frame message points at; a few of them in turn, so one
  // that is queued stays intact for several frames.
  static constexpr size_t kFrameInfoSlots = 8;
  std::array<VEXCAM_FRAME_INFO, kFrameInfoSlots> frameInfo_{};
  size_t frameInfoNext_ = 0;
  uint32_t frameRate_ = 0;  // tenths of frames per second
  uint32_t frameCounter_ = 0;
  uint32_t counterStart_ = 0;

  std::atomic<bool> imageAvailable_{false};
  StreamStats stats_;

  // Last member: its destructor ends the record thread first.
  Recorder recorder_;
};

}  // namespace vexcam
