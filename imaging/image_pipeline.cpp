#include "imaging/image_pipeline.h"

#include <cstdlib>
#include <new>

#include "imaging/cpu_dispatch.h"
#include "imaging/defect_filter.h"
#include "imaging/gray_adjust.h"
#include "imaging/mirror.h"
#include "imaging/shading_filter.h"
#include "platform/debug_log.h"

namespace vexcam {

namespace {

constexpr int kRawBits[ImagePipeline::kColorModeCount] = {8, 16, 8, 8, 16, 16};
constexpr int kImageBits[ImagePipeline::kColorModeCount] = {8, 16, 24, 32, 48, 64};

bool ValidMode(int mode) { return mode >= 0 && mode < ImagePipeline::kColorModeCount; }

}  // namespace

bool ImagePipeline::Ensure(DibImage& img, int width, int height, int bitCount) {
  if (!img.IsEmpty() && img.Width() == width && img.Height() == height &&
      img.BitCount() == bitCount)
    return true;
  return img.Create(width, height, bitCount);
}

bool ImagePipeline::Configure(int width, int height, int colorMode) {
  if (!ValidMode(colorMode)) return false;
  // Only the two images of the mode stay: on a large sensor the others would
  // hold gigabytes the mode never touches. Released first, so the memory
  // is free before the new images are made.
  DibImage& raw = RawFor(colorMode);
  DibImage& image = ImageFor(colorMode);
  for (DibImage* img : {&raw8_, &raw16_, &color24_, &color32_, &color48_, &color64_}) {
    if (img != &raw && img != &image) img->Release();
  }
  for (DibImage* scratch : {&sharpenCopy_, &mirrorScratch_}) {
    if (scratch->Width() != width || scratch->Height() != height) scratch->Release();
  }
  if (!Ensure(raw, width, height, kRawBits[colorMode])) return false;
  if (!Ensure(image, width, height, kImageBits[colorMode])) return false;
  int request = threadRequest_;
  if (request <= 0) {
    const char* env = std::getenv("VEXCAM_PIPELINE_THREADS");
    request = env ? std::atoi(env) : 0;
  }
  const int parts = RowWorkerParts(width, height, request);
  workers_.Start(parts);
  VEXCAM_DEBUG(kDebugImaging, "pipeline for %d x %d, colour mode %d: %s path, %d row bands", width,
               height, colorMode, CpuPathName(ActiveCpuPath()), parts);
  return true;
}

bool ImagePipeline::ConfigurePlanes(int width, int height, int sampleBytes) {
  if (width <= 0 || height <= 0 || (sampleBytes != 1 && sampleBytes != 2)) return false;
  const uint64_t bytes = uint64_t{3} * static_cast<uint64_t>(sampleBytes) *
                         static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (bytes != planeBytes_) {
    DisablePlanes();
    planeFrame_.reset(new (std::nothrow) uint8_t[bytes]());
    if (!planeFrame_) return false;
    planeBytes_ = bytes;
  }
  planeWidth_ = width;
  planeHeight_ = height;
  planeSampleBytes_ = sampleBytes;
  return true;
}

void ImagePipeline::DisablePlanes() {
  planeFrame_.reset();
  planeBytes_ = 0;
  planeWidth_ = planeHeight_ = 0;
}

PlaneFrameView ImagePipeline::PlaneView() const {
  return PlaneFrameView{planeFrame_.get(), planeWidth_, planeHeight_, planeSampleBytes_};
}

DibImage& ImagePipeline::RawFor(int colorMode) {
  return ValidMode(colorMode) && kRawBits[colorMode] == 16 ? raw16_ : raw8_;
}

DibImage& ImagePipeline::Color(int bitCount) {
  switch (bitCount) {
    case 32:
      return color32_;
    case 48:
      return color48_;
    case 64:
      return color64_;
    default:
      return color24_;
  }
}

DibImage& ImagePipeline::ImageFor(int colorMode) {
  if (!ValidMode(colorMode) || colorMode <= 1) return RawFor(colorMode);
  return Color(kImageBits[colorMode]);
}

// Order: hue/saturation, gamma, contrast, sharpness, brightness. Adjacent
// value-only stages share one table, and each table stage rides along with
// the pass next to it while the rows are in cache: the tone table with the
// hue/saturation write-back (or the sharpening copy), brightness with the
// sharpening output. Every combination equals running the stages one by one.
void ImagePipeline::RunAdjustments(DibImage& img, const ImageSettings& s, bool color,
                                   RowWorkers* workers) {
  const bool wide = img.BitCount() == 16 || img.BitCount() >= 48;
  const bool hueSat = color && (s.hue != 0 || s.saturation != 0);
  const bool tone = s.gamma != 100 || s.contrast != 0;
  if (s.sharpness != 0) {
    const uint16_t* pre = tone ? toneTables_.Chain(wide, s.gamma, s.contrast, 0) : nullptr;
    if (hueSat) {
      ApplyHueSaturation(img, s.hue, s.saturation, hueSatCache_, pre, workers);
      pre = nullptr;
    }
    ApplySharpnessFused(img, s.sharpness, sharpenCopy_, sharpenCache_, pre, s.brightness,
                        toneTables_, workers);
    return;
  }
  const uint16_t* table = tone || s.brightness != 0
                              ? toneTables_.Chain(wide, s.gamma, s.contrast, s.brightness)
                              : nullptr;
  if (hueSat)
    ApplyHueSaturation(img, s.hue, s.saturation, hueSatCache_, table, workers);
  else if (table)
    ApplySampleTable(img, table, workers);
}

// Gray processing of the monochrome modes: the luma of the demosaiced colour
// (gray mode 2) or the measured and applied gray gain and offset (mode 1).
void ImagePipeline::ProcessGray(DibImage& raw, ImageSettings& settings, bool planes,
                                RowWorkers* workers, FrameReport& rep) {
  if (settings.grayMode == 2) {
    // Luma of the demosaiced colour; only the 8-bit image can take it,
    // and a plane frame's raw image is its luma already.
    if (settings.colorMode == 0 && !planes && Ensure(color24_, raw.Width(), raw.Height(), 24)) {
      rep.whiteBalanceMeasured = AutoWhiteBalance(raw8_, settings);
      if (demosaicer_.Run(color24_, raw8_, settings.bayerMode, settings.bayerGainRed,
                          settings.bayerGainBlue, workers))
        GrayFromColor(raw8_, color24_);
    }
  } else if (settings.grayMode == 1) {
    if (settings.grayAutoRequest != 0 &&
        MeasureAutoGrayGain(raw, settings.bayerMode, settings.grayGain)) {
      // -1 keeps measuring on every frame.
      if (settings.grayAutoRequest > 0) --settings.grayAutoRequest;
      rep.grayGainMeasured = true;
    }
    ApplyGrayGainOffset(raw, settings.bayerMode, settings.grayGain, settings.grayOffset);
  }
}

uint32_t ImagePipeline::ProcessFrame(ImageSettings& settings, DefectState& defects,
                                     std::mutex& imageLock, IAutoIrisCamera* camera,
                                     const CaptureGeometry& geometry, FrameReport* report) {
  FrameReport local;
  FrameReport& rep = report ? *report : local;
  rep = FrameReport{};
  const int mode = settings.colorMode;
  if (!ValidMode(mode)) return 0;
  DibImage& raw = RawFor(mode);
  if (raw.IsEmpty() || raw.BitCount() != kRawBits[mode]) return 0;
  const int w = raw.Width();
  const int h = raw.Height();
  // Row-independent steps (demosaic, adjustments) split into bands; the
  // steps that measure or walk the whole frame run here in order.
  RowWorkers* workers = workers_.Parts() > 1 ? &workers_ : nullptr;
  // A plane frame is already colour: the raw image holds its luma, and the
  // filters of the sensor's raw samples serve the monochrome modes only.
  const bool planes = HasPlanes();
  const int step = planes ? planeWidth_ / w : 1;
  if (planes && !PlanesToGray(raw, PlaneView(), step, workers)) return 0;
  const bool rawFilters = !planes || mode <= 1;

  // 1. Defect list; the loader replaces the list under the image lock.
  if (settings.configFilter && rawFilters) {
    std::lock_guard<std::mutex> lock(imageLock);
    ApplyConfigFilter(raw, defects.defectList, geometry);
  }
  // 2. Auto exposure measures the frame; the camera is changed outside the
  //    lock, here only when a camera is given.
  rep.autoIrisRequest = MeasureAutoIris(raw, settings.autoIrisMode);
  if (rep.autoIrisRequest.mode != 0 && camera)
    rep.autoIrisChanged = ApplyAutoIris(rep.autoIrisRequest, *camera, &rep.autoIris) != 0;

  // 3. Filters that read the references, which the mask-file code replaces
  //    under the same lock.
  if ((settings.maskFilter || settings.dotFilter) && rawFilters) {
    std::lock_guard<std::mutex> lock(imageLock);
    if (settings.maskFilter) ApplyShadingCorrection(raw, defects, geometry);
    if (settings.dotFilter) ApplyDotFilter(raw, defects, geometry);
  }

  // 4. Gray processing of the monochrome modes.
  if (mode <= 1) ProcessGray(raw, settings, planes, workers, rep);

  // 5. Mirror axes the camera does not flip itself.
  SoftwareMirror(raw, mirrorScratch_, geometry.mirrorH, geometry.mirrorV,
                 MirrorHardware{geometry.hwMirrorH, geometry.hwMirrorV});

  // 6. Demosaic (or a plane frame's colour) into the colour image of the mode.
  DibImage& img = ImageFor(mode);
  if (mode >= 2) {
    if (!Ensure(img, w, h, kImageBits[mode])) return 0;
    if (planes) {
      // The same axes as the raw image's software mirror.
      if (!PlanesToColor(img, PlaneView(), step, geometry.mirrorH && !geometry.hwMirrorH,
                         geometry.mirrorV && !geometry.hwMirrorV, workers))
        return 0;
    } else {
      rep.whiteBalanceMeasured = AutoWhiteBalance(raw, settings);
      demosaicer_.Run(img, raw, settings.bayerMode, settings.bayerGainRed, settings.bayerGainBlue,
                      workers);
    }
  }

  // 7. Adjustments on the image of the mode.
  RunAdjustments(img, settings, mode >= 2, workers);
  return 1;
}

}  // namespace vexcam
