// JPEG, PNG and TIFF files read back with the libraries' own decoders.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "common/image_decode.h"
#include "files/image_writer.h"
#include "files_test_util.h"

namespace vexcam {
namespace {

using test::RandomImage;
using test::Sample16;

// Every 8-bit pixel of `image` against the decoded pixel at(x, y): gray as is,
// colour with red first, the fourth byte as alpha(source byte).
template <typename At, typename Alpha>
void ExpectPacked8(const DibImage& image, At at, Alpha alpha) {
  const int bpp = image.BytesPerPixel();
  for (int y = 0; y < image.Height(); ++y)
    for (int x = 0; x < image.Width(); ++x) {
      const uint8_t* s = image.Row(y) + x * bpp;
      const uint8_t* d = at(x, y);
      ASSERT_EQ(d[0], s[bpp == 1 ? 0 : 2]) << image.BitCount() << " at " << x << "," << y;
      if (bpp == 1) continue;
      ASSERT_EQ(d[1], s[1]);
      ASSERT_EQ(d[2], s[0]);
      if (bpp == 4) {
        ASSERT_EQ(d[3], alpha(s[3]));
      }
    }
}

// Every 16-bit sample against sample(x, y, s) of the decoded image: red
// first, scaled from `depth` bits to 16, the fourth sample opaque.
template <typename Sample>
void ExpectWide(const DibImage& image, int depth, Sample sample) {
  const int samples = image.BitCount() / 16;
  const uint32_t factor = depth == 10 ? 64 : depth == 12 ? 16 : 1;
  const int order[4] = {samples == 1 ? 0 : 2, 1, 0, 3};
  for (int y = 0; y < image.Height(); ++y)
    for (int x = 0; x < image.Width(); ++x)
      for (int s = 0; s < samples; ++s) {
        const uint16_t want =
            s == 3 ? 0xFFFF : uint16_t(test::Sample16(image, x, y, order[s]) * factor);
        ASSERT_EQ(sample(x, y, s), want) << image.BitCount() << " " << depth << " " << s;
      }
}

// ---- JPEG ----

// Smooth pictures survive quality 100 almost unchanged.
DibImage Gradient(int width, int height, int bits) {
  DibImage image;
  EXPECT_TRUE(image.Create(width, height, bits));
  const int bpp = image.BytesPerPixel();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < bpp; ++c)
        image.Row(y)[x * bpp + c] = static_cast<uint8_t>((x + 2 * y + 40 * c) & 255);
  return image;
}

class JpegFileTest : public test::FilesTest {};

// Every quality is progressive and smaller than the one above; quality 100
// keeps the picture top row first within a few levels.
TEST_F(JpegFileTest, GrayImageIsProgressiveGrayscaleAndTopRowFirstAtEveryQuality) {
  const DibImage image = Gradient(130, 70, 8);
  size_t sizes[3];
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const std::string path = Path("g" + std::to_string(i));
    ASSERT_EQ(SaveImageFile(path.c_str(), image, kImageFileJpeg100 + i), 1);
    const test::Decoded jpg = test::DecodeJpeg(path);
    ASSERT_TRUE(jpg.ok);
    EXPECT_EQ(jpg.width, 130u);
    EXPECT_EQ(jpg.height, 70u);
    EXPECT_EQ(jpg.channels, 1);
    EXPECT_EQ(jpg.kind, JCS_GRAYSCALE);
    EXPECT_TRUE(jpg.progressive);
    sizes[i] = test::ReadAll(path).size();
    if (i > 0) continue;
    int worst = 0;
    for (int y = 0; y < 70; ++y)
      for (int x = 0; x < 130; ++x)
        worst = std::max(worst, std::abs(jpg.pixels[y * 130 + x] - image.Row(y)[x]));
    EXPECT_LE(worst, 3);
  }
  EXPECT_GT(sizes[0], sizes[1]);
  EXPECT_GT(sizes[1], sizes[2]);
}

TEST_F(JpegFileTest, ColourImagesAreRgbInPictureOrder) {
  for (int bits : {24, 32, 48, 64}) {
    // Top half red, bottom half blue, in B, G, R memory order (the high byte for 16-bit samples).
    DibImage image;
    ASSERT_TRUE(image.Create(64, 32, bits));
    const int bpp = image.BytesPerPixel(), step = bits >= 48 ? 2 : 1, hi = step - 1;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 64; ++x) image.Row(y)[x * bpp + (y < 16 ? 2 : 0) * step + hi] = 200;
    const std::string path = Path("c.jpg");
    ASSERT_EQ(SaveImageFile(path.c_str(), image, kImageFileJpeg100), 1) << bits;
    const test::Decoded jpg = test::DecodeJpeg(path);
    ASSERT_TRUE(jpg.ok) << bits;
    EXPECT_EQ(jpg.channels, 3);
    EXPECT_EQ(jpg.kind, JCS_YCbCr);
    EXPECT_TRUE(jpg.progressive);
    const uint8_t* top = &jpg.pixels[(4 * 64 + 10) * 3];
    const uint8_t* bottom = &jpg.pixels[(28 * 64 + 10) * 3];
    EXPECT_NEAR(top[0], 200, 4) << bits;
    EXPECT_NEAR(top[2], 0, 4) << bits;
    EXPECT_NEAR(bottom[0], 0, 4) << bits;
    EXPECT_NEAR(bottom[2], 200, 4) << bits;
  }
}

TEST_F(JpegFileTest, SixteenBitGrayKeepsTheSignificantByteOfEachDepth) {
  DibImage image;
  ASSERT_TRUE(image.Create(32, 16, 16));
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 32; ++x) {
      image.Row(y)[2 * x] = 0xBC;  // sample 0x0ABC
      image.Row(y)[2 * x + 1] = 0x0A;
    }
  // depth 16: high byte; 12: (s >> 4) & 255; 10: (s >> 2) & 255.
  const std::pair<int, int> cases[] = {{16, 0x0A}, {12, 0xAB}, {10, 0xAF}};
  for (const auto& [depth, expected] : cases) {
    const std::string path = Path("d.jpg");
    ASSERT_EQ(SaveImageFile(path.c_str(), image, kImageFileJpeg100, depth), 1);
    const test::Decoded jpg = test::DecodeJpeg(path);
    ASSERT_TRUE(jpg.ok);
    EXPECT_EQ(jpg.channels, 1);
    EXPECT_NEAR(jpg.pixels[100], expected, 1) << depth;
  }
}

// ---- PNG and TIFF ----

uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

class PngTiffFileTest : public test::FilesTest {};

// Both keep 8-bit samples exactly, red first, with the rows packed (642
// pixels have padded rows in memory). The pipeline never writes the fourth
// byte, so PNG stores its inverse as alpha (a zero is opaque); TIFF stores it
// as it is.
TEST_F(PngTiffFileTest, EightBitImagesAreExactAndPacked) {
  for (int format : {kImageFilePng, kImageFileTiff})
    for (int bits : {8, 24, 32}) {
      SCOPED_TRACE(testing::Message() << "format " << format << " bits " << bits);
      const bool png = format == kImageFilePng;
      DibImage image = RandomImage(642, 5, bits, bits);
      if (bits == 32)
        for (int x = 0; x < 642; ++x) image.Row(0)[4 * x + 3] = 0;
      const std::string path = Path("e");
      ASSERT_EQ(SaveImageFile(path.c_str(), image, format), 1);
      const test::Decoded d = png ? test::DecodePng(path) : test::DecodeTiff(path);
      ASSERT_TRUE(d.ok);
      const int bpp = bits / 8;
      EXPECT_EQ(d.width, 642u);
      EXPECT_EQ(d.height, 5u);
      EXPECT_EQ(d.bitDepth, 8);
      EXPECT_EQ(d.channels, bpp);
      if (png) {
        EXPECT_EQ(d.kind, bits == 8    ? PNG_COLOR_TYPE_GRAY
                          : bits == 24 ? PNG_COLOR_TYPE_RGB
                                       : PNG_COLOR_TYPE_RGB_ALPHA);
      } else {
        EXPECT_EQ(d.kind, bits == 8 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
        EXPECT_EQ(d.compression, COMPRESSION_NONE);
        EXPECT_EQ(d.planar, PLANARCONFIG_CONTIG);
        EXPECT_EQ(d.strips, 1u);
      }
      ASSERT_EQ(d.pixels.size(), size_t{642} * 5 * bpp);
      ExpectPacked8(
          image, [&](int x, int y) { return &d.Row(y)[x * bpp]; },
          [png](uint8_t a) { return static_cast<uint8_t>(png ? 255 - a : a); });
    }
}

// 16-bit samples scaled from the data depth to 16 bits: PNG high byte first,
// TIFF low byte first.
TEST_F(PngTiffFileTest, SixteenBitSamplesAreScaledByDepth) {
  for (int format : {kImageFilePng, kImageFileTiff})
    for (int bits : {16, 48, 64})
      for (int depth : {16, 12, 10}) {
        SCOPED_TRACE(testing::Message() << "format " << format << " bits " << bits);
        const bool png = format == kImageFilePng;
        const DibImage image = RandomImage(21, 6, bits, depth * bits);
        const std::string path = Path("w");
        ASSERT_EQ(SaveImageFile(path.c_str(), image, format, depth), 1);
        const test::Decoded d = png ? test::DecodePng(path) : test::DecodeTiff(path);
        ASSERT_TRUE(d.ok);
        const int samples = bits / 16;
        EXPECT_EQ(d.bitDepth, 16);
        EXPECT_EQ(d.channels, samples);
        if (png) {
          EXPECT_EQ(d.kind, bits == 16   ? PNG_COLOR_TYPE_GRAY
                            : bits == 48 ? PNG_COLOR_TYPE_RGB
                                         : PNG_COLOR_TYPE_RGB_ALPHA);
        } else {
          EXPECT_EQ(d.kind, samples == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
        }
        ExpectWide(image, depth, [&](int x, int y, int s) {
          const uint8_t* p = &d.Row(y)[(x * samples + s) * 2];
          return png ? Be16(p) : test::Le16(p);
        });
      }
}

TEST_F(PngTiffFileTest, SavesOnSeveralThreadsDoNotInterfere) {
  constexpr int kThreads = 4;
  std::vector<DibImage> images;
  for (int i = 0; i < kThreads; ++i)
    images.push_back(RandomImage(200, 150, i % 2 ? 48 : 24, 50 + i));
  int results[kThreads] = {};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i)
    threads.emplace_back([&, i] {
      for (int round = 0; round < 5; ++round)
        results[i] +=
            SaveImageFile(Path("t" + std::to_string(i) + ".png").c_str(), images[i], kImageFilePng);
    });
  for (auto& t : threads) t.join();
  for (int i = 0; i < kThreads; ++i) {
    EXPECT_EQ(results[i], 5);
    const test::Decoded png = test::DecodePng(Path("t" + std::to_string(i) + ".png"));
    ASSERT_TRUE(png.ok);
    const int bpp = images[i].BytesPerPixel();
    // First pixel's red sample, most significant byte first for 16-bit.
    EXPECT_EQ(png.Row(7)[0], images[i].Row(7)[bpp == 6 ? 5 : 2]) << i;
  }
}

}  // namespace
}  // namespace vexcam
