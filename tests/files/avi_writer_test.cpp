// AVI files checked with an independent RIFF walker.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/avi_file.h"
#include "files/avi_writer.h"
#include "files_test_util.h"

namespace vexcam {
namespace {

using test::Le16;
using test::Le32;
using test::ReadAll;

// A bottom-up frame whose bytes tell frame number and position apart.
DibImage Frame(int width, int height, int number) {
  DibImage frame;
  EXPECT_TRUE(frame.Create(width, height, 24));
  for (size_t i = 0; i < frame.SizeBytes(); ++i)
    frame.Pixels()[i] = static_cast<uint8_t>(i * 7 + number * 31);
  return frame;
}

// Records the given frames into a new file and finalises it.
void Record(const std::string& path, const std::vector<DibImage>& frames, uint32_t fps,
            uint32_t elapsedMs) {
  AviWriter writer;
  ASSERT_EQ(writer.Open(path.c_str(), frames.at(0).Width(), frames[0].Height(), 24, fps), 1);
  for (const DibImage& f : frames) ASSERT_EQ(writer.AddFrame(f), 1);
  ASSERT_EQ(writer.Close(elapsedMs), 1);
}

class AviWriterTest : public test::FilesTest {};

TEST_F(AviWriterTest, FullSizeRecordingHasTheDocumentedLayout) {
  const std::string path = Path("rec.avi");
  AviWriter writer;
  ASSERT_EQ(writer.Open(path.c_str(), 640, 512, 16, 30), 1);
  std::vector<DibImage> frames;
  for (int k = 0; k < 3; ++k) {
    frames.push_back(Frame(640, 512, k));
    ASSERT_EQ(writer.AddFrame(frames.back()), 1);
  }
  EXPECT_EQ(writer.FrameCount(), 3u);
  // 90 frames over 3000 ms: 30.00 frames per second.
  ASSERT_EQ(writer.Close(AviWriter::MeasureRate(90, 3000)), 1);
  EXPECT_FALSE(writer.IsOpen());

  const auto b = ReadAll(path);
  test::AviFile avi;
  ASSERT_NO_FATAL_FAILURE(test::ParseAvi(b, avi));
  EXPECT_EQ(b.size(), 232u + 3 * 983048u + 8 + 48);
  EXPECT_EQ(Le32(&b[224]), 4u + 3 * 983048u);
  EXPECT_EQ(avi.usPerFrame, 33333u);
  EXPECT_EQ(avi.scale, 333333u);
  EXPECT_EQ(avi.rate, 10000000u);
  EXPECT_EQ(avi.maxBytesPerSec, 983048u * 30);
  EXPECT_EQ(avi.flags, 0x10010u);
  EXPECT_EQ(avi.totalFrames, 3u);
  EXPECT_EQ(avi.length, 3u);
  EXPECT_EQ(avi.suggested, 983048u);
  EXPECT_EQ(avi.streamSuggested, 983048u);
  EXPECT_EQ(avi.width, 640u);
  EXPECT_EQ(avi.height, 512u);
  EXPECT_EQ(avi.handler, "DIB ");
  EXPECT_EQ(avi.bitCount, 24u);
  ASSERT_EQ(avi.indexOffsets.size(), 3u);
  for (uint32_t k = 0; k < 3; ++k) {
    EXPECT_EQ(avi.indexOffsets[k], 4 + k * 983048u);
    EXPECT_EQ(avi.chunkSizes[k], 983040u);
    EXPECT_EQ(std::memcmp(&b[228 + avi.chunkOffsets[k] + 8], frames[k].Pixels(), 983040), 0) << k;
  }
}

TEST_F(AviWriterTest, RateMeasurement) {
  EXPECT_EQ(AviWriter::MeasureRate(90, 3000), 3000u);
  EXPECT_EQ(AviWriter::MeasureRate(1, 0), 0u);
  EXPECT_EQ(AviWriter::MeasureRate(5, 0), 0u);
  EXPECT_EQ(AviWriter::MeasureRate(1, 500), 0u);
  // frames x 100000 exceeds 32 bits here.
  EXPECT_EQ(AviWriter::MeasureRate(100000, 1000000), 10000u);
}

TEST_F(AviWriterTest, ShortRecordingsKeepTheOpeningRate) {
  for (int frames : {0, 1}) {
    const std::string path = Path("short.avi");
    AviWriter writer;
    ASSERT_EQ(writer.Open(path.c_str(), 16, 8, 24, 25), 1);
    for (int k = 0; k < frames; ++k) ASSERT_EQ(writer.AddFrame(Frame(16, 8, k)), 1);
    ASSERT_EQ(writer.Close(0), 1);
    test::AviFile avi;
    ASSERT_NO_FATAL_FAILURE(test::ParseAvi(ReadAll(path), avi));
    EXPECT_EQ(avi.totalFrames, static_cast<uint32_t>(frames));
    EXPECT_EQ(avi.usPerFrame, 40000u);
    EXPECT_EQ(avi.scale, 400000u);
  }
}

TEST_F(AviWriterTest, OddWidthChunksHoldPaddedRows) {
  const std::string path = Path("odd.avi");
  std::vector<DibImage> frames;
  frames.push_back(Frame(642, 3, 1));
  ASSERT_NO_FATAL_FAILURE(Record(path, frames, 30, 3000));
  const DibImage& frame = frames[0];
  const auto b = ReadAll(path);
  test::AviFile avi;
  ASSERT_NO_FATAL_FAILURE(test::ParseAvi(b, avi));
  ASSERT_EQ(avi.chunkSizes.size(), 1u);
  EXPECT_EQ(avi.chunkSizes[0], 1928u * 3);
  EXPECT_EQ(avi.suggested, 1928u * 3 + 8);
  EXPECT_EQ(std::memcmp(&b[240], frame.Pixels(), frame.SizeBytes()), 0);
}

TEST_F(AviWriterTest, RefusedOpensAndFramesOfAnotherShape) {
  AviWriter writer;
  EXPECT_EQ(writer.AddFrame(Frame(8, 8, 0)), 0);  // not open
  EXPECT_EQ(writer.Close(0), 0);
  EXPECT_EQ(writer.Open(Path("no/dir/x.avi").c_str(), 64, 64, 24, 30), 0);
  EXPECT_EQ(writer.Open("/dev/full", 64, 64, 24, 30), 0);
  EXPECT_TRUE(test::Exists("/dev/full"));
  EXPECT_FALSE(writer.IsOpen());
  EXPECT_EQ(writer.Open(Path("x.avi").c_str(), 8, 8, 7, 30), 0);
  EXPECT_EQ(writer.Open(Path("x.avi").c_str(), 0, 8, 24, 30), 0);
  EXPECT_EQ(writer.Open(Path("x.avi").c_str(), 8, 8, 24, 0), 0);
  ASSERT_EQ(writer.Open(Path("x.avi").c_str(), 8, 8, 24, 30), 1);
  EXPECT_EQ(writer.AddFrame(Frame(8, 9, 0)), 0);
  DibImage gray;
  ASSERT_TRUE(gray.Create(8, 8, 8));
  EXPECT_EQ(writer.AddFrame(gray), 0);
  EXPECT_EQ(writer.AddFrame(Frame(8, 8, 0)), 1);  // refusals do not end the recording
  EXPECT_EQ(writer.Close(0), 1);
}

// Opening again, and destroying the writer, finalise the open file first.
TEST_F(AviWriterTest, SecondRecordingStartsFreshAndDestructionFinalises) {
  const DibImage last = Frame(32, 16, 9);
  {
    AviWriter writer;
    ASSERT_EQ(writer.Open(Path("a.avi").c_str(), 32, 16, 24, 30), 1);
    for (int k = 0; k < 4; ++k) ASSERT_EQ(writer.AddFrame(Frame(32, 16, k)), 1);
    ASSERT_EQ(writer.Close(2000), 1);
    ASSERT_EQ(writer.Open(Path("b.avi").c_str(), 32, 16, 24, 30), 1);
    EXPECT_EQ(writer.FrameCount(), 0u);
    ASSERT_EQ(writer.AddFrame(last), 1);
    ASSERT_EQ(writer.Open(Path("c.avi").c_str(), 32, 16, 24, 30), 1);
    ASSERT_EQ(writer.AddFrame(last), 1);
    ASSERT_EQ(writer.AddFrame(last), 1);
  }
  test::AviFile a, b, c;
  ASSERT_NO_FATAL_FAILURE(test::ParseAvi(ReadAll(Path("a.avi")), a));
  ASSERT_NO_FATAL_FAILURE(test::ParseAvi(ReadAll(Path("b.avi")), b));
  ASSERT_NO_FATAL_FAILURE(test::ParseAvi(ReadAll(Path("c.avi")), c));
  EXPECT_EQ(a.totalFrames, 4u);
  EXPECT_EQ(a.usPerFrame, 50000u);
  EXPECT_EQ(b.totalFrames, 1u);
  EXPECT_EQ(b.indexOffsets, std::vector<uint32_t>{4});
  EXPECT_EQ(std::memcmp(&ReadAll(Path("b.avi"))[240], last.Pixels(), last.SizeBytes()), 0);
  EXPECT_EQ(c.totalFrames, 2u);
}

TEST_F(AviWriterTest, DiskFullStopsTheRecordingAndKeepsWhatWasWritten) {
  // Room for the headers and two and a half full-size frames.
  const std::string path = Path("full.avi");
  AviWriter writer;
  int accepted = 0, refused = 0;
  {
    test::FileSizeLimit limit(232 + 983048 * 5 / 2);
    ASSERT_EQ(writer.Open(path.c_str(), 640, 512, 24, 30), 1);
    const DibImage frame = Frame(640, 512, 0);
    for (int k = 0; k < 6; ++k) (writer.AddFrame(frame) ? accepted : refused)++;
    EXPECT_GT(refused, 0);
    EXPECT_EQ(writer.Close(3000), 0);  // accepted frames were lost in the buffer
  }
  EXPECT_GE(accepted, 2);
  test::AviFile avi;
  ASSERT_NO_FATAL_FAILURE(test::ParseAvi(ReadAll(path), avi));
  EXPECT_EQ(avi.totalFrames, 2u);
  EXPECT_EQ(avi.length, 2u);
  EXPECT_EQ(avi.indexOffsets, (std::vector<uint32_t>{4, 4 + 983048}));
}

TEST_F(AviWriterTest, DiskFullWhileFramesAreBufferedIsReportedByClose) {
  const std::string path = Path("buffered.avi");
  AviWriter writer;
  {
    test::FileSizeLimit limit(232 + 3 * 776 + 500);
    ASSERT_EQ(writer.Open(path.c_str(), 16, 16, 24, 30), 1);
    for (int k = 0; k < 10; ++k) ASSERT_EQ(writer.AddFrame(Frame(16, 16, k)), 1);
    EXPECT_EQ(writer.Close(3000), 0);
  }
  test::AviFile avi;
  ASSERT_NO_FATAL_FAILURE(test::ParseAvi(ReadAll(path), avi));
  EXPECT_EQ(avi.totalFrames, 3u);
}

TEST_F(AviWriterTest, FileSizeLimitEndsTheRecordingWithAValidFile) {
  // A limit for two 768-byte frames (16 x 16 x 3) and their index.
  AviWriter writer(232 + 2 * 776 + 8 + 32);
  const std::string path = Path("limit.avi");
  ASSERT_EQ(writer.Open(path.c_str(), 16, 16, 24, 30), 1);
  EXPECT_EQ(writer.AddFrame(Frame(16, 16, 0)), 1);
  EXPECT_EQ(writer.AddFrame(Frame(16, 16, 1)), 1);
  EXPECT_EQ(writer.AddFrame(Frame(16, 16, 2)), 0);
  EXPECT_EQ(writer.Close(3000), 1);  // nothing accepted was lost
  const auto b = ReadAll(path);
  EXPECT_EQ(b.size(), 232u + 2 * 776 + 8 + 32);
  test::AviFile avi;
  ASSERT_NO_FATAL_FAILURE(test::ParseAvi(b, avi));
  EXPECT_EQ(avi.totalFrames, 2u);
}

TEST_F(AviWriterTest, IndependentPlayerAgrees) {
  if (std::system("command -v ffprobe > /dev/null 2>&1") != 0)
    GTEST_SKIP() << "ffprobe not installed";
  const std::string path = Path("probe.avi");
  std::vector<DibImage> frames;
  for (int k = 0; k < 5; ++k) frames.push_back(Frame(640, 512, k));
  ASSERT_NO_FATAL_FAILURE(Record(path, frames, 30, 2500));
  const std::string cmd =
      "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
      "stream=codec_name,width,height,nb_read_frames -of default=nw=1 '" +
      path + "'";
  FILE* p = popen(cmd.c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string out;
  char buf[256];
  while (fgets(buf, sizeof buf, p)) out += buf;
  pclose(p);
  EXPECT_NE(out.find("codec_name=rawvideo"), std::string::npos) << out;
  EXPECT_NE(out.find("width=640"), std::string::npos) << out;
  EXPECT_NE(out.find("height=512"), std::string::npos) << out;
  EXPECT_NE(out.find("nb_read_frames=5"), std::string::npos) << out;
}

}  // namespace
}  // namespace vexcam
