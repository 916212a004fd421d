// VexCam_SaveImage(W): what each format holds compared with the image the
// application reads, and the failures that leave no file or record a code.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/image_decode.h"
#include "files_fixture.h"

namespace vexcam::test {
namespace {

using SaveImage = FilesTest;

class SaveEveryFormat : public FilesTest, public ::testing::WithParamInterface<int> {};

// A bottom-up snapshot in the colour mode, then every format against it and
// VexCam_GetImage (whose bottom-up copy must be the snapshot's).
TEST_P(SaveEveryFormat, FilesHoldTheImageTheApplicationReads) {
  const int bits = GetParam();
  const int bytes = bits / 8;
  const int w = 640, h = 512;
  const size_t stride = static_cast<size_t>(w) * static_cast<size_t>(bytes);
  const size_t size = stride * h;
  ASSERT_EQ(VexCam_SetColorMode(h_, bits), 1);
  std::vector<uint8_t> topDown(size), bottomUp(size), copy(size);
  ASSERT_EQ(VexCam_SnapShot(h_, bottomUp.data(), static_cast<int>(size), 0), 1);
  ASSERT_EQ(VexCam_GetImage(h_, topDown.data(), static_cast<int>(size), 1), 1);
  ASSERT_EQ(VexCam_GetImage(h_, copy.data(), static_cast<int>(size), 0), 1);
  EXPECT_TRUE(copy == bottomUp);

  // BMP: header (the writer tests' layout), then the rows bottom row first.
  ASSERT_EQ(VexCam_SaveImage(h_, Path("a.bmp").c_str(), 0), 1);
  const std::vector<uint8_t> bmp = ReadFile(Path("a.bmp"));
  const size_t offset = bits <= 8 ? 1078 : 54;
  ASSERT_EQ(bmp.size(), offset + size);
  EXPECT_TRUE(
      std::equal(bottomUp.begin(), bottomUp.end(), bmp.begin() + static_cast<long>(offset)));

  // Raw: the rows as held, top row first.
  ASSERT_EQ(VexCam_SaveImage(h_, Path("a.raw").c_str(), 1), 1);
  EXPECT_EQ(ReadFile(Path("a.raw")), topDown);

  // PNG: exact, samples in R, G, B order, 16-bit samples big-endian and not
  // scaled: the writer is given the camera's 16-bit depth.
  ASSERT_EQ(VexCam_SaveImage(h_, Path("a.png").c_str(), 5), 1);
  const Decoded png = DecodePng(Path("a.png"));
  std::vector<uint8_t> expectPng(topDown);
  for (size_t i = 0; i < size; i += static_cast<size_t>(bytes)) {
    if (bits == 16) std::swap(expectPng[i], expectPng[i + 1]);
    if (bits == 24) std::swap(expectPng[i], expectPng[i + 2]);
  }
  EXPECT_TRUE(png.pixels == expectPng);

  // The other format codes reach their writers (whose layouts the writer
  // tests check): TIFF, and JPEG at quality 100 and 20.
  ASSERT_EQ(VexCam_SaveImage(h_, Path("a.tif").c_str(), 6), 1);
  ASSERT_EQ(VexCam_SaveImage(h_, Path("a100.jpg").c_str(), 2), 1);
  ASSERT_EQ(VexCam_SaveImage(h_, Path("a20.jpg").c_str(), 4), 1);
  for (const Decoded& d :
       {DecodePng(Path("a.png")), DecodeTiff(Path("a.tif")), DecodeJpeg(Path("a100.jpg"))}) {
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.width, static_cast<uint32_t>(w));
    EXPECT_EQ(d.height, static_cast<uint32_t>(h));
  }
  EXPECT_LT(std::filesystem::file_size(Path("a20.jpg")),
            std::filesystem::file_size(Path("a100.jpg")));

  EXPECT_TRUE(Codes().empty());
}

INSTANTIATE_TEST_SUITE_P(ColorModes, SaveEveryFormat, ::testing::Values(8, 16, 24));

// Before the first frame: 1. Unknown formats and files that cannot be
// written: 0 and no code. Missing, empty and unconvertible names: 9 and 12.
TEST_F(SaveImage, RefusalsAndWriterFailures) {
  EXPECT_REFUSED(VexCam_SaveImage(h_, Path("early.bmp").c_str(), 0), VEXCAM_ERR_NO_CAMERA);
  EXPECT_REFUSED(VexCam_SaveImageW(h_, L"early.bmp", 0), VEXCAM_ERR_NO_CAMERA);
  EXPECT_FALSE(std::filesystem::exists(Path("early.bmp")));

  ASSERT_EQ(VexCam_SnapShot(h_, nullptr, 0, 1), 1);
  for (int format : {7, -1, 1000}) {
    EXPECT_EQ(VexCam_SaveImage(h_, Path("f.bmp").c_str(), format), 0) << format;
  }
  EXPECT_FALSE(std::filesystem::exists(Path("f.bmp")));
  for (int format = 0; format <= 6; ++format) {
    EXPECT_EQ(VexCam_SaveImage(h_, Path("missing/dir/f.img").c_str(), format), 0) << format;
  }
  EXPECT_EQ(VexCam_SaveImage(h_, dir_.string().c_str(), 0), 0);  // a folder
  EXPECT_TRUE(Codes().empty());

  EXPECT_REFUSED(VexCam_SaveImage(h_, nullptr, 0), 9);
  EXPECT_REFUSED(VexCam_SaveImage(h_, "", 0), 9);
  EXPECT_REFUSED(VexCam_SaveImageW(h_, nullptr, 0), 9);
  EXPECT_REFUSED(VexCam_SaveImageW(h_, L"", 0), 9);
  // The C locale has no encoding for U+00E9; 1024 bytes hold 1023 characters.
  const std::wstring dir(dir_.wstring());
  EXPECT_REFUSED(VexCam_SaveImageW(h_, (dir + L"/caf\u00e9.bmp").c_str(), 0), 12);
  EXPECT_REFUSED(VexCam_SaveImageW(h_, std::wstring(1024, L'a').c_str(), 0), 12);

  EXPECT_EQ(VexCam_SaveImageW(h_, (dir + L"/wide.png").c_str(), 5), 1);
  EXPECT_TRUE(std::filesystem::exists(Path("wide.png")));
  EXPECT_TRUE(Codes().empty());
}

}  // namespace
}  // namespace vexcam::test
