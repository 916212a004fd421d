// BMP and raw layouts, and the failure behaviour shared by all formats.
#include <gtest/gtest.h>

#include <cstring>

#include "files/image_writer.h"
#include "files_test_util.h"

namespace vexcam {
namespace {

using test::Exists;
using test::Le16;
using test::Le32;
using test::RandomImage;
using test::ReadAll;

class ImageFileTest : public test::FilesTest {};

TEST_F(ImageFileTest, BmpOfMono8IsBottomUpWithGrayTable) {
  const DibImage image = RandomImage(640, 512, 8);
  const std::string path = Path("mono8.bmp");
  ASSERT_EQ(SaveImageFile(path.c_str(), image, kImageFileBmp), 1);
  const auto bytes = ReadAll(path);
  ASSERT_EQ(bytes.size(), 328758u);
  EXPECT_EQ(bytes[0], 'B');
  EXPECT_EQ(bytes[1], 'M');
  EXPECT_EQ(Le32(&bytes[2]), 328758u);
  EXPECT_EQ(Le32(&bytes[6]), 0u);
  EXPECT_EQ(Le32(&bytes[10]), 1078u);
  EXPECT_EQ(Le32(&bytes[14]), 40u);
  EXPECT_EQ(Le32(&bytes[18]), 640u);
  EXPECT_EQ(Le32(&bytes[22]), 512u);
  EXPECT_EQ(Le16(&bytes[26]), 1);
  EXPECT_EQ(Le16(&bytes[28]), 8);
  EXPECT_EQ(Le32(&bytes[30]), 0u);  // no compression
  for (int i = 0; i < 256; ++i) {
    const uint8_t* e = &bytes[54 + 4 * i];
    ASSERT_TRUE(e[0] == i && e[1] == i && e[2] == i && e[3] == 0) << i;
  }
  for (int row = 0; row < 512; ++row)
    ASSERT_EQ(std::memcmp(&bytes[1078 + row * 640], image.Row(511 - row), 640), 0) << row;
}

TEST_F(ImageFileTest, BmpKeepsRowPaddingAndWideDepthsBottomUp) {
  // 642 x 3 = 1926 bytes, padded to 1928; wide depths are written as they are.
  const int cases[][3] = {{24, 642, 7}, {16, 5, 3}, {48, 5, 3}, {64, 5, 3}};
  for (const auto& [bits, width, height] : cases) {
    SCOPED_TRACE(bits);
    const DibImage image = RandomImage(width, height, bits);
    if (bits == 24) {
      ASSERT_EQ(image.Stride(), 1928u);
    }
    const std::string path = Path("c.bmp");
    ASSERT_EQ(SaveImageFile(path.c_str(), image, kImageFileBmp), 1);
    const auto bytes = ReadAll(path);
    ASSERT_EQ(bytes.size(), 54u + image.Stride() * height);
    EXPECT_EQ(Le32(&bytes[2]), bytes.size());
    EXPECT_EQ(Le32(&bytes[10]), 54u);
    EXPECT_EQ(Le32(&bytes[18]), static_cast<uint32_t>(width));
    EXPECT_EQ(Le32(&bytes[22]), static_cast<uint32_t>(height));
    EXPECT_EQ(Le16(&bytes[28]), bits);
    for (int row = 0; row < height; ++row)
      EXPECT_EQ(std::memcmp(&bytes[54 + row * image.Stride()], image.Row(height - 1 - row),
                            image.Stride()),
                0)
          << row;
  }
}

TEST_F(ImageFileTest, RawIsTheMemoryImageTopRowFirst) {
  DibImage image = RandomImage(641, 5, 16);
  image.Row(0)[0] = 0x34;  // sample 0x1234 at the top-left
  image.Row(0)[1] = 0x12;
  const std::string path = Path("mono16.raw");
  ASSERT_EQ(SaveImageFile(path.c_str(), image, kImageFileRaw), 1);
  const auto bytes = ReadAll(path);
  ASSERT_EQ(bytes.size(), image.Stride() * 5u);
  EXPECT_EQ(Le16(&bytes[0]), 0x1234);
  EXPECT_EQ(std::memcmp(bytes.data(), image.Pixels(), bytes.size()), 0);
}

TEST_F(ImageFileTest, RefusedRequestsLeaveNoFile) {
  const DibImage image = RandomImage(8, 8, 24);
  const std::string path = Path("refused");
  for (int format : {7, -1, 100})
    EXPECT_EQ(SaveImageFile(path.c_str(), image, format), 0) << format;
  for (int depth : {0, 8, 11, 14, 32})
    EXPECT_EQ(SaveImageFile(path.c_str(), image, kImageFilePng, depth), 0);
  const DibImage empty;
  for (int format = 0; format <= 6; ++format)
    EXPECT_EQ(SaveImageFile(path.c_str(), empty, format), 0);
  EXPECT_EQ(SaveImageFile(nullptr, image, kImageFileBmp), 0);
  EXPECT_EQ(SaveImageFile("", image, kImageFileBmp), 0);
  EXPECT_FALSE(Exists(path));
}

TEST_F(ImageFileTest, EveryFormatFailsCleanlyWhereNothingCanBeWritten) {
  const DibImage image = RandomImage(33, 9, 24);
  const std::string notDir = Path("plain");
  ASSERT_EQ(SaveImageFile(notDir.c_str(), image, kImageFileRaw), 1);
  const std::string missing = Path("no/such/dir/x");
  const std::string underFile = notDir + "/x";
  for (int format = 0; format <= 6; ++format) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(SaveImageFile(missing.c_str(), image, format), 0) << format;
    EXPECT_EQ(SaveImageFile(underFile.c_str(), image, format), 0) << format;
    // A device that takes the open but no data: /dev/full must survive the clean-up.
    EXPECT_EQ(SaveImageFile("/dev/full", image, format), 0) << format;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << format;
  }
  EXPECT_TRUE(Exists("/dev/full"));
  EXPECT_FALSE(Exists(missing));
}

// A failed save over an old file must not leave the old one to look like
// the new image, and the next save works again.
TEST_F(ImageFileTest, DiskFullMidFileRemovesThePartialFileAndAnyOldOne) {
  // Large enough that every format writes well past the limit.
  const DibImage image = RandomImage(400, 300, 48, 7);
  for (int format = 0; format <= 6; ++format)
    for (bool old : {false, true}) {
      SCOPED_TRACE(old ? "over an old file" : "new file");
      const std::string path = Path("full" + std::to_string(format) + (old ? "old" : ""));
      if (old) {
        ASSERT_EQ(SaveImageFile(path.c_str(), image, format), 1) << format;
      }
      int result;
      testing::internal::CaptureStderr();
      {
        test::FileSizeLimit limit(20000);
        result = SaveImageFile(path.c_str(), image, format);
      }
      EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << format;
      EXPECT_EQ(result, 0) << format;
      EXPECT_FALSE(Exists(path)) << format;
      if (format == kImageFileBmp && old) {
        EXPECT_EQ(SaveImageFile(path.c_str(), image, format), 1);
        EXPECT_EQ(ReadAll(path).size(), 54u + image.SizeBytes());
      }
    }
}

}  // namespace
}  // namespace vexcam
