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
using test::ReadAll;
using testref::RandomImage;

class ImageFileTest : public test::FilesTest {};

// BMP: the header, a gray table for Mono 8, then the rows as they are in
// memory (padding and wide samples included) bottom row first. Raw: the
// memory image, top row first. 642 x 3 bytes are padded to 1928.
TEST_F(ImageFileTest, BmpIsBottomUpAfterItsHeaderAndRawIsTheMemoryImage) {
  const int cases[][3] = {{8, 640, 512}, {24, 642, 7}, {16, 5, 3}, {48, 5, 3}, {64, 5, 3}};
  for (const auto& [bits, width, height] : cases) {
    SCOPED_TRACE(bits);
    const DibImage image = RandomImage(width, height, bits, bits);
    ASSERT_EQ(SaveImageFile(Path("a.raw").c_str(), image, kImageFileRaw), 1);
    const auto raw = ReadAll(Path("a.raw"));
    ASSERT_EQ(raw.size(), image.SizeBytes());
    EXPECT_EQ(std::memcmp(raw.data(), image.Pixels(), raw.size()), 0);

    ASSERT_EQ(SaveImageFile(Path("a.bmp").c_str(), image, kImageFileBmp), 1);
    const auto bytes = ReadAll(Path("a.bmp"));
    const uint32_t offset = bits == 8 ? 1078 : 54;
    ASSERT_EQ(bytes.size(), offset + image.SizeBytes());
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(Le32(&bytes[2]), bytes.size());
    EXPECT_EQ(Le32(&bytes[6]), 0u);
    EXPECT_EQ(Le32(&bytes[10]), offset);
    EXPECT_EQ(Le32(&bytes[14]), 40u);
    EXPECT_EQ(Le32(&bytes[18]), static_cast<uint32_t>(width));
    EXPECT_EQ(Le32(&bytes[22]), static_cast<uint32_t>(height));
    EXPECT_EQ(Le16(&bytes[26]), 1);
    EXPECT_EQ(Le16(&bytes[28]), bits);
    EXPECT_EQ(Le32(&bytes[30]), 0u);  // no compression
    for (int i = 0; i < (bits == 8 ? 256 : 0); ++i) {
      const uint8_t* e = &bytes[54 + 4 * i];
      ASSERT_TRUE(e[0] == i && e[1] == i && e[2] == i && e[3] == 0) << i;
    }
    for (int row = 0; row < height; ++row)
      ASSERT_EQ(std::memcmp(&bytes[offset + row * image.Stride()], image.Row(height - 1 - row),
                            image.Stride()),
                0)
          << row;
  }
}

// Refused requests leave no file; where nothing can be written every format
// fails quietly.
TEST_F(ImageFileTest, RefusalsAndUnwritablePlacesFailCleanly) {
  const DibImage image = RandomImage(33, 9, 24);
  const std::string path = Path("refused");
  for (int format : {7, -1, 100})
    EXPECT_EQ(SaveImageFile(path.c_str(), image, format), 0) << format;
  for (int depth : {0, 8, 11, 14, 32})
    EXPECT_EQ(SaveImageFile(path.c_str(), image, kImageFilePng, depth), 0);
  EXPECT_EQ(SaveImageFile(nullptr, image, kImageFileBmp), 0);
  EXPECT_EQ(SaveImageFile("", image, kImageFileBmp), 0);
  for (int format = 0; format <= 6; ++format)
    EXPECT_EQ(SaveImageFile(path.c_str(), DibImage(), format), 0);
  EXPECT_FALSE(Exists(path));

  ASSERT_EQ(SaveImageFile(path.c_str(), image, kImageFileRaw), 1);
  const std::string underFile = path + "/x";
  for (int format = 0; format <= 6; ++format) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(SaveImageFile(underFile.c_str(), image, format), 0) << format;
    // A device that takes the open but no data: /dev/full must survive the clean-up.
    EXPECT_EQ(SaveImageFile("/dev/full", image, format), 0) << format;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << format;
  }
  EXPECT_TRUE(Exists("/dev/full"));
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
