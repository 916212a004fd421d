// AVI files checked with an independent RIFF walker, and read back by ffprobe
// where it is installed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "common/avi_file.h"
#include "common/test_env.h"
#include "files/avi_writer.h"
#include "files_test_util.h"

namespace vexcam {
namespace {

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
  // 90 frames over 3000 ms: 30.00 frames per second; fewer than two frames or
  // no time measure no rate, and frames x 100000 may exceed 32 bits.
  EXPECT_EQ(AviWriter::MeasureRate(90, 3000), 3000u);
  EXPECT_EQ(AviWriter::MeasureRate(5, 0), 0u);
  EXPECT_EQ(AviWriter::MeasureRate(1, 500), 0u);
  EXPECT_EQ(AviWriter::MeasureRate(100000, 1000000), 10000u);
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

  // A reader that is not ours sees the same stream.
  if (std::system("command -v ffprobe > /dev/null 2>&1") != 0) GTEST_SKIP() << "no ffprobe";
  const std::string cmd =
      "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
      "stream=codec_name,width,height,nb_read_frames -of default=nw=1 '" +
      path + "'";
  std::string out;
  for (const std::string& line : test::CommandLines(cmd)) out += line;
  for (const char* field : {"codec_name=rawvideo", "width=640", "height=512", "nb_read_frames=3"})
    EXPECT_NE(out.find(field), std::string::npos) << out;
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
  EXPECT_EQ(writer.AddFrame(testref::Make(8, 8, 8)), 0);
  EXPECT_EQ(writer.AddFrame(Frame(8, 8, 0)), 1);  // refusals do not end the recording
  EXPECT_EQ(writer.Close(0), 1);
}

// Opening again, and destroying the writer, finalise the open file first, at
// the opening rate (25 frames per second here) when no rate was measured.
// Rows of 642 pixels are padded to 1928 bytes in the chunks too.
TEST_F(AviWriterTest, SecondRecordingStartsFreshAndDestructionFinalises) {
  const DibImage last = Frame(642, 3, 9);
  {
    AviWriter writer;
    ASSERT_EQ(writer.Open(Path("a.avi").c_str(), 642, 3, 24, 25), 1);
    for (int k = 0; k < 4; ++k) ASSERT_EQ(writer.AddFrame(Frame(642, 3, k)), 1);
    ASSERT_EQ(writer.Close(2000), 1);
    ASSERT_EQ(writer.Open(Path("b.avi").c_str(), 642, 3, 24, 25), 1);
    EXPECT_EQ(writer.FrameCount(), 0u);
    ASSERT_EQ(writer.AddFrame(last), 1);
    ASSERT_EQ(writer.Open(Path("c.avi").c_str(), 642, 3, 24, 25), 1);
    ASSERT_EQ(writer.Open(Path("d.avi").c_str(), 642, 3, 24, 25), 1);  // c stays empty
    ASSERT_EQ(writer.AddFrame(last), 1);
    ASSERT_EQ(writer.AddFrame(last), 1);
  }
  test::AviFile a, b, c, d;
  ASSERT_NO_FATAL_FAILURE(test::ParseAvi(ReadAll(Path("a.avi")), a));
  ASSERT_NO_FATAL_FAILURE(test::ParseAvi(ReadAll(Path("b.avi")), b));
  ASSERT_NO_FATAL_FAILURE(test::ParseAvi(ReadAll(Path("c.avi")), c));
  ASSERT_NO_FATAL_FAILURE(test::ParseAvi(ReadAll(Path("d.avi")), d));
  EXPECT_EQ(a.totalFrames, 4u);
  EXPECT_EQ(a.usPerFrame, 50000u);
  EXPECT_EQ(b.totalFrames, 1u);
  EXPECT_EQ(b.indexOffsets, std::vector<uint32_t>{4});
  EXPECT_EQ(b.chunkSizes, std::vector<uint32_t>{1928 * 3});
  EXPECT_EQ(b.suggested, 1928u * 3 + 8);
  EXPECT_EQ(std::memcmp(&ReadAll(Path("b.avi"))[240], last.Pixels(), last.SizeBytes()), 0);
  for (const test::AviFile* f : {&b, &c}) {
    EXPECT_EQ(f->usPerFrame, 40000u);
    EXPECT_EQ(f->scale, 400000u);
  }
  EXPECT_EQ(c.totalFrames, 0u);
  EXPECT_EQ(d.totalFrames, 2u);
}

// A full disk, found when a frame is added or only when the buffered frames
// are written at close, and the writer's own size limit: the file keeps the
// frames that reached it whole, with their index. Close reports the frames
// that were accepted but lost.
TEST_F(AviWriterTest, FullDiskAndSizeLimitLeaveAValidFileOfTheWholeFrames) {
  const struct {
    const char* name;
    rlim_t diskRoom;  // 0: no limit on the disk
    uint64_t writerLimit;
    int size, frames;
    bool refuses;  // some AddFrame fails
    int closed;
    uint32_t kept;
  } cases[] = {
      {"disk full", 232 + 983048 * 5 / 2, AviWriter::kMaxFileBytes, 640, 6, true, 0, 2},
      {"disk full while buffered", 232 + 3 * 776 + 500, AviWriter::kMaxFileBytes, 16, 10, false, 0,
       3},
      {"size limit", 0, 232 + 2 * 776 + 8 + 32, 16, 3, true, 1, 2},
      {"size limit short of the last index entry", 0, 232 + 2 * 776 + 8 + 31, 16, 3, true, 1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Path(std::string(c.name) + ".avi");
    const int height = c.size == 640 ? 512 : c.size;  // full-size frames or 16 x 16
    const DibImage frame = Frame(c.size, height, 0);
    AviWriter writer(c.writerLimit);
    int refused = 0;
    {
      std::optional<test::FileSizeLimit> limit;
      if (c.diskRoom) limit.emplace(c.diskRoom);
      ASSERT_EQ(writer.Open(path.c_str(), c.size, height, 24, 30), 1);
      for (int k = 0; k < c.frames; ++k) refused += writer.AddFrame(frame) ? 0 : 1;
      EXPECT_EQ(refused > 0, c.refuses);
      EXPECT_EQ(writer.Close(3000), c.closed);
    }
    EXPECT_GE(c.frames - refused, static_cast<int>(c.kept));
    const auto b = ReadAll(path);
    const uint32_t chunk = 8 + static_cast<uint32_t>(frame.SizeBytes());
    EXPECT_EQ(b.size(), 232u + c.kept * chunk + 8 + 16 * c.kept);
    test::AviFile avi;
    ASSERT_NO_FATAL_FAILURE(test::ParseAvi(b, avi));
    EXPECT_EQ(avi.totalFrames, c.kept);
    EXPECT_EQ(avi.length, c.kept);
    ASSERT_EQ(avi.indexOffsets.size(), c.kept);
    for (uint32_t k = 0; k < c.kept; ++k) EXPECT_EQ(avi.indexOffsets[k], 4 + k * chunk);
  }
}

}  // namespace
}  // namespace vexcam
