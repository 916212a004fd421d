#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "imaging/auto_iris.h"
#include "imaging/auto_iris_camera.h"
#include "imaging/capture_geometry.h"
#include "imaging/color_adjust.h"
#include "imaging/defect_state.h"
#include "imaging/demosaic.h"
#include "imaging/dib_image.h"
#include "imaging/image_settings.h"
#include "imaging/plane_frame.h"
#include "imaging/row_workers.h"
#include "imaging/sharpen.h"
#include "imaging/tone_adjust.h"

namespace vexcam {

// What a frame changed in the settings, so the instance can publish it.
struct FrameReport {
  bool whiteBalanceMeasured = false;  // bayerGainRed/Green/Blue (and the auto flags) rewritten
  bool grayGainMeasured = false;      // grayGain[] and grayAutoRequest rewritten
  AutoIrisRequest autoIrisRequest;    // what auto iris asks of the camera
  bool autoIrisChanged = false;       // the request was applied to the camera: see autoIris
  AutoIrisResult autoIris;
};

// The images of one instance and the per-frame pipeline that turns the raw
// frame into the image of the colour mode. Owns every buffer the pipeline
// needs, so frames of a steady size never allocate. Not thread-safe: one
// capture (or snapshot) thread at a time, under the instance's frame lock.
class ImagePipeline {
 public:
  static constexpr int kColorModeCount = 6;

  // Sizes the raw image of colorMode (8-bit for 0, 2, 3; 16-bit for 1, 4,
  // 5) and the image of the mode to width x height, zero-filled when the
  // geometry changes. Every other raw and colour image is released, and the
  // sharpening copy and mirror scratch when their size differs; images
  // other steps need are made on first use (or by the caller beforehand).
  // Returns false for an invalid mode or size, or when memory runs out.
  // Also sizes the worker pool for that frame size (see SetThreadCount);
  // its threads start here, never per frame.
  bool Configure(int width, int height, int colorMode);

  // Threads ProcessFrame splits its row-independent steps over, from the
  // next Configure on: 0 (the default) means the environment variable
  // VEXCAM_PIPELINE_THREADS when set, else the number of processors up to
  // 8, and 1 for frames under about a megapixel; 1 to 8 forces that many.
  // Results do not depend on the count.
  void SetThreadCount(int threads) { threadRequest_ = threads; }
  int ThreadCount() const { return workers_.Parts(); }

  // Cameras that send three colour samples per pixel (the video converter)
  // deliver into the plane frame instead of the raw image: width x height
  // pixels as the camera sends them, sampleBytes 1 or 2. ProcessFrame then
  // takes the raw image's luma and the colour image's samples from it
  // (see below). Kept until DisablePlanes; false when memory runs out.
  bool ConfigurePlanes(int width, int height, int sampleBytes);
  void DisablePlanes();
  bool HasPlanes() const { return planeBytes_ != 0; }
  uint8_t* PlaneFrame() { return planeFrame_.get(); }
  uint64_t PlaneFrameBytes() const { return planeBytes_; }

  // The capture engine stores each raw frame here before ProcessFrame.
  DibImage& Raw8() { return raw8_; }
  DibImage& Raw16() { return raw16_; }
  // Raw image of a colour mode; the image of the mode (the raw image itself
  // in modes 0 and 1). Both are raw8 for an invalid mode.
  DibImage& RawFor(int colorMode);
  DibImage& ImageFor(int colorMode);
  DibImage& Color(int bitCount);  // 24, 32, 48 or 64 (24 for anything else)
  DibImage& SharpenCopy() { return sharpenCopy_; }
  DibImage& MirrorScratch() { return mirrorScratch_; }
  // Display surface of the preview window; the pipeline never touches it.
  DibImage& Display() { return display_; }

  // Runs the pipeline on the raw image of settings.colorMode, in order:
  //  1. under imageLock: defect-list correction (configFilter)
  //  2. auto iris (autoIrisMode 1 or 2) measured, outside the lock
  //  3. under imageLock: shading correction (maskFilter), dot filter
  //  4. modes 0 and 1 by grayMode: 2 = luma through the Color 24 image
  //     (mode 0 only; it cannot change a 16-bit image), 1 = automatic gray
  //     gain when requested, then gray gain and offset
  //  5. software mirror of the raw image (geometry's switches, hardware axes
  //     left alone)
  //  6. modes 2..5: demosaic (with auto white balance) into the colour image
  //  7. on the image of the mode: hue/saturation (colour only), gamma,
  //     contrast, sharpness, brightness, each when not neutral.
  // With a plane frame the raw image is first filled with its luma; steps 1
  // and 3 (filters of the sensor's raw samples) then run in modes 0 and 1
  // only, step 4 has no luma to take, and step 6 copies the frame's colour,
  // mirrored like the raw image, instead of demosaicing it.
  // Measured white balance and gray gains are written back into settings;
  // the auto-iris request is returned in *report. Given a camera, the
  // request is applied to it at once (the result in *report too); the
  // capture engine passes none and applies it after the frame. Settings are
  // read once per step; the caller passes a copy if the API may write them
  // concurrently. Returns 0 for an invalid colour mode or an empty raw
  // image, else 1.
  uint32_t ProcessFrame(ImageSettings& settings, DefectState& defects, std::mutex& imageLock,
                        IAutoIrisCamera* camera, const CaptureGeometry& geometry,
                        FrameReport* report = nullptr);

 private:
  static bool Ensure(DibImage& img, int width, int height, int bitCount);
  PlaneFrameView PlaneView() const;
  void RunAdjustments(DibImage& img, const ImageSettings& s, bool color, RowWorkers* workers);
  void ProcessGray(DibImage& raw, ImageSettings& settings, bool planes, RowWorkers* workers,
                   FrameReport& rep);

  DibImage raw8_;
  DibImage raw16_;
  DibImage color24_;
  DibImage color32_;
  DibImage color48_;
  DibImage color64_;
  DibImage sharpenCopy_;
  DibImage mirrorScratch_;
  DibImage display_;
  std::unique_ptr<uint8_t[]> planeFrame_;
  uint64_t planeBytes_ = 0;
  int planeWidth_ = 0;
  int planeHeight_ = 0;
  int planeSampleBytes_ = 1;

  Demosaicer demosaicer_;
  ToneTables toneTables_;
  HueSatCache hueSatCache_;
  SharpenCache sharpenCache_;
  int threadRequest_ = 0;
  // Last, so its threads are joined before the images go.
  RowWorkers workers_;
};

}  // namespace vexcam
