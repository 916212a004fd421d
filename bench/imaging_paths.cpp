// Every kernel on every instruction-set path this processor has, beside its
// anchors in the same run: memcpy of the output and, when built with it,
// OpenCV's cvtColor and LUT on the same image, one thread. Names end in the
// path (/baseline, /avx2, /avx512).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <random>
#include <string>

#include "files/record_frame.h"
#include "imaging/color_adjust.h"
#include "imaging/cpu_dispatch.h"
#include "imaging/defect_filter.h"
#include "imaging/defect_state.h"
#include "imaging/demosaic.h"
#include "imaging/image_pipeline.h"
#include "imaging/tone_adjust.h"

#ifdef VEXCAM_BENCH_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

using namespace vexcam;

void Fill(DibImage& img, uint32_t seed) {
  std::mt19937 rng(seed);
  for (size_t i = 0; i < img.SizeBytes(); ++i) img.Pixels()[i] = static_cast<uint8_t>(rng());
}

DibImage Random(int w, int h, int bits, uint32_t seed = 1) {
  DibImage img;
  img.Create(w, h, bits);
  Fill(img, seed);
  return img;
}

void Finish(benchmark::State& state, const DibImage& out) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(out.SizeBytes()));
}

void Memcpy(benchmark::State& state, int w, int h, int bits) {
  const DibImage a = Random(w, h, bits);
  DibImage b = Random(w, h, bits);
  for (auto _ : state) {
    std::memcpy(b.Pixels(), a.Pixels(), a.SizeBytes());
    benchmark::ClobberMemory();
  }
  Finish(state, b);
}

void Demosaic(benchmark::State& state, CpuPath path, int w, int h, int rawBits) {
  SetCpuPath(path);
  const DibImage raw = Random(w, h, rawBits);
  DibImage out = Random(w, h, rawBits == 8 ? 24 : 48);
  Demosaicer demosaicer;
  for (auto _ : state) {
    demosaicer.Run(out, raw, 0, 100, 100);
    benchmark::ClobberMemory();
  }
  Finish(state, out);
}

void Table(benchmark::State& state, CpuPath path, int bits) {
  SetCpuPath(path);
  DibImage img = Random(640, 512, bits);
  ToneTables tables;
  const uint16_t* gamma = tables.Gamma(bits == 48, 140);
  for (auto _ : state) {
    ApplySampleTable(img, gamma);
    benchmark::ClobberMemory();
  }
  Finish(state, img);
}

void HueSat(benchmark::State& state, CpuPath path) {
  SetCpuPath(path);
  DibImage img = Random(640, 512, 24);
  HueSatCache cache;
  for (auto _ : state) {
    ApplyHueSaturation(img, 30, 40, cache);
    benchmark::ClobberMemory();
  }
  Finish(state, img);
}

// Worst case of the dot filter: noise, so that nearly every pixel is marked.
void DotNoise(benchmark::State& state, CpuPath path) {
  SetCpuPath(path);
  DefectState defects;
  defects.Init();
  const DibImage src = Random(640, 512, 8, 3);
  DibImage raw = Random(640, 512, 8, 3);
  for (auto _ : state) {
    std::memcpy(raw.Pixels(), src.Pixels(), src.SizeBytes());
    ApplyDotFilter(raw, defects, CaptureGeometry{});
    benchmark::ClobberMemory();
  }
  Finish(state, raw);
}

void Record(benchmark::State& state, CpuPath path, int bits) {
  SetCpuPath(path);
  const DibImage out = Random(640, 512, bits);
  DibImage frame, scratch;
  for (auto _ : state) {
    MakeRecordFrame(out, frame, scratch);
    benchmark::ClobberMemory();
  }
  Finish(state, frame);
}

void Process(benchmark::State& state, CpuPath path, int w, int h, bool adjustments, int threads) {
  SetCpuPath(path);
  ImagePipeline pipeline;
  ImagePipeline single;  // the one-thread run beside a split one
  ImageSettings settings;
  settings.colorMode = 2;
  if (adjustments) {
    settings.gamma = 140;
    settings.contrast = 20;
    settings.sharpness = 8;
    settings.hue = 30;
    settings.saturation = 40;
    settings.brightness = 25;
  }
  DefectState defects;
  defects.Init();
  std::mutex lock;
  pipeline.SetThreadCount(threads);
  pipeline.Configure(w, h, 2);
  Fill(pipeline.Raw8(), 8);
  const bool split = pipeline.ThreadCount() > 1;
  if (split) {
    single.SetThreadCount(1);
    single.Configure(w, h, 2);
    Fill(single.Raw8(), 8);
  }
  // With more than one thread each timed frame is followed by an untimed
  // one-thread frame, so that the speed-up is taken under the same load.
  using Clock = std::chrono::steady_clock;
  Clock::duration splitTime{}, singleTime{};
  for (auto _ : state) {
    const auto t0 = Clock::now();
    pipeline.ProcessFrame(settings, defects, lock, nullptr, CaptureGeometry{});
    benchmark::ClobberMemory();
    if (split) {
      const auto t1 = Clock::now();
      state.PauseTiming();
      single.ProcessFrame(settings, defects, lock, nullptr, CaptureGeometry{});
      benchmark::ClobberMemory();
      singleTime += Clock::now() - t1;
      splitTime += t1 - t0;
      state.ResumeTiming();
    }
  }
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["threads"] = pipeline.ThreadCount();
  if (split && splitTime.count() > 0)
    state.counters["x_one_thread"] =
        static_cast<double>(singleTime.count()) / static_cast<double>(splitTime.count());
  Finish(state, pipeline.ImageFor(2));
}

#ifdef VEXCAM_BENCH_OPENCV
void CvDemosaic(benchmark::State& state, int w, int h, int rawBits) {
  cv::setNumThreads(1);
  cv::Mat raw(h, w, rawBits == 8 ? CV_8UC1 : CV_16UC1), out;
  cv::randu(raw, 0, rawBits == 8 ? 255 : 65535);
  for (auto _ : state) {
    cv::cvtColor(raw, out, cv::COLOR_BayerGB2BGR);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(out.total() * out.elemSize()));
}

void CvLut(benchmark::State& state) {
  cv::setNumThreads(1);
  cv::Mat img(512, 640, CV_8UC3), out(512, 640, CV_8UC3), lut(1, 256, CV_8U);
  cv::randu(img, 0, 255);
  ToneTables tables;
  const uint16_t* gamma = tables.Gamma(false, 140);
  for (int i = 0; i < 256; ++i) lut.at<uint8_t>(i) = static_cast<uint8_t>(gamma[i]);
  for (auto _ : state) {
    cv::LUT(img, lut, out);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(out.total() * out.elemSize()));
}
#endif

// Wall-clock time, so that the split over threads shows.
template <typename... Args>
void Add(const std::string& name, Args&&... args) {
  benchmark::RegisterBenchmark(name.c_str(), std::forward<Args>(args)...)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
}

int Register() {
  struct Size {
    int w, h;
    const char* name;
  };
  const Size sizes[] = {{640, 512, "640x512"}, {4096, 3072, "4096x3072"}};
  for (const Size& s : sizes) {
    for (int bits : {24, 48}) {
      const std::string tag = std::to_string(bits) + "/" + s.name;
      Add("memcpy/" + tag, Memcpy, s.w, s.h, bits);
#ifdef VEXCAM_BENCH_OPENCV
      Add("opencv_cvtColor/" + tag, CvDemosaic, s.w, s.h, bits == 24 ? 8 : 16);
#endif
      for (int p = 0; p <= static_cast<int>(HardwareCpuPath()); ++p) {
        const auto path = static_cast<CpuPath>(p);
        Add("demosaic/" + tag + "/" + CpuPathName(path), Demosaic, path, s.w, s.h,
            bits == 24 ? 8 : 16);
      }
    }
  }
#ifdef VEXCAM_BENCH_OPENCV
  Add("opencv_LUT/24/640x512", CvLut);
#endif
  for (int p = 0; p <= static_cast<int>(HardwareCpuPath()); ++p) {
    const auto path = static_cast<CpuPath>(p);
    const std::string n = std::string("/") + CpuPathName(path);
    Add("table/24/640x512" + n, Table, path, 24);
    Add("table/48/640x512" + n, Table, path, 48);
    Add("hue_saturation/24/640x512" + n, HueSat, path);
    Add("dot_filter_noise/8/640x512" + n, DotNoise, path);
    Add("record/mono8/640x512" + n, Record, path, 8);
    Add("record/color32/640x512" + n, Record, path, 32);
    Add("process_default/640x512" + n, Process, path, 640, 512, false, 1);
    Add("process_all_five/640x512" + n, Process, path, 640, 512, true, 1);
    for (int threads : {1, 2}) {
      const std::string t = "/threads:" + std::to_string(threads);
      Add("process_default/4096x3072" + n + t, Process, path, 4096, 3072, false, threads);
      Add("process_all_five/4096x3072" + n + t, Process, path, 4096, 3072, true, threads);
    }
  }
  return 0;
}

const int registered = Register();

}  // namespace
