// Recording path for a 640 x 512 stream: frame conversion and AVI append.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <cstdlib>
#include <string>

#include "files/avi_writer.h"
#include "files/record_frame.h"

namespace {

vexcam::DibImage Source(int bits) {
  vexcam::DibImage image;
  image.Create(640, 512, bits);
  for (size_t i = 0; i < image.SizeBytes(); ++i) image.Pixels()[i] = static_cast<uint8_t>(i * 13);
  return image;
}

void BM_MakeRecordFrame(benchmark::State& state) {
  const vexcam::DibImage output = Source(static_cast<int>(state.range(0)));
  vexcam::DibImage frame, scratch;
  for (auto _ : state) benchmark::DoNotOptimize(vexcam::MakeRecordFrame(output, frame, scratch));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MakeRecordFrame)->Arg(8)->Arg(16)->Arg(24)->Arg(32)->Arg(48);

// Appends to a temporary file (page cache) and finalises every 300 frames.
void BM_AviAppend(benchmark::State& state) {
  char path[] = "/tmp/vexcam-bench-XXXXXX";
  const int fd = mkstemp(path);
  if (fd >= 0) close(fd);
  vexcam::DibImage frame;
  frame.Create(640, 512, 24);
  vexcam::AviWriter writer;
  writer.Open(path, 640, 512, 24, 30);
  int n = 0;
  for (auto _ : state) {
    if (!writer.AddFrame(frame)) state.SkipWithError("write failed");
    if (++n % 300 == 0) {
      writer.Close(3000);
      writer.Open(path, 640, 512, 24, 30);
    }
  }
  writer.Close(3000);
  unlink(path);
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * int64_t{983048});
}
BENCHMARK(BM_AviAppend)->UseRealTime();

}  // namespace
