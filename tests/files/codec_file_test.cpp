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

using testref::RandomImage;

class CodecFileTest : public test::FilesTest {
 protected:
  // Saves image into a new file, whose path stays in last_, and decodes it.
  test::Decoded SaveAndDecode(const DibImage& image, int format, int depth = 16) {
    last_ = Path("f" + std::to_string(saves_++));
    EXPECT_EQ(SaveImageFile(last_.c_str(), image, format, depth), 1);
    if (format == kImageFilePng) return test::DecodePng(last_);
    return format == kImageFileTiff ? test::DecodeTiff(last_) : test::DecodeJpeg(last_);
  }
  std::string last_;
  int saves_ = 0;
};

// ---- JPEG ----

// Smooth pictures survive quality 100 almost unchanged.
DibImage Gradient(int width, int height, int bits) {
  DibImage image = testref::Make(width, height, bits);
  const int bpp = image.BytesPerPixel();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < bpp; ++c)
        image.Row(y)[x * bpp + c] = static_cast<uint8_t>((x + 2 * y + 40 * c) & 255);
  return image;
}

// Every quality is progressive and smaller than the one above; quality 100
// keeps the picture top row first within a few levels.
TEST_F(CodecFileTest, JpegGrayIsProgressiveGrayscaleAndTopRowFirstAtEveryQuality) {
  const DibImage image = Gradient(130, 70, 8);
  size_t sizes[3];
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const test::Decoded jpg = SaveAndDecode(image, kImageFileJpeg100 + i);
    ASSERT_TRUE(jpg.ok);
    EXPECT_EQ(jpg.width, 130u);
    EXPECT_EQ(jpg.height, 70u);
    EXPECT_EQ(jpg.channels, 1);
    EXPECT_EQ(jpg.kind, JCS_GRAYSCALE);
    EXPECT_TRUE(jpg.progressive);
    sizes[i] = test::ReadAll(last_).size();
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

// Colour is RGB in picture order (top half red, bottom half blue, in B, G, R
// memory order); a 16-bit sample gives its significant byte: the high byte
// at depth 16, (s >> 4) & 255 at 12 and (s >> 2) & 255 at 10.
TEST_F(CodecFileTest, JpegSamplesAreRgbInPictureOrderFromTheSignificantByte) {
  const struct {
    int bits, depth;
    uint32_t sample;
    int want;
  } cases[] = {{24, 16, 200, 200},    {32, 16, 200, 200},     {48, 16, 0xC812, 200},
               {64, 16, 0xC812, 200}, {16, 16, 0x0ABC, 0x0A}, {16, 12, 0x0ABC, 0xAB},
               {16, 10, 0x0ABC, 0xAF}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bits << " bits, depth " << c.depth);
    const bool gray = c.bits == 16;
    DibImage image = testref::Make(64, 32, c.bits);
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 64; ++x)
        testref::SetSample(image, x, y, !gray && y < 16 ? 2 : 0, c.sample);
    const test::Decoded jpg = SaveAndDecode(image, kImageFileJpeg100, c.depth);
    ASSERT_TRUE(jpg.ok);
    EXPECT_EQ(jpg.channels, gray ? 1 : 3);
    EXPECT_EQ(jpg.kind, gray ? JCS_GRAYSCALE : JCS_YCbCr);
    EXPECT_TRUE(jpg.progressive);
    const uint8_t* top = &jpg.pixels[(4 * 64 + 10) * jpg.channels];
    const uint8_t* bottom = &jpg.pixels[(28 * 64 + 10) * jpg.channels];
    const int near = gray ? 1 : 4;
    EXPECT_NEAR(top[0], c.want, near);
    EXPECT_NEAR(bottom[gray ? 0 : 2], c.want, near);
    if (!gray) {
      EXPECT_NEAR(top[2], 0, near);
      EXPECT_NEAR(bottom[0], 0, near);
    }
  }
}

// ---- PNG and TIFF ----

uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

// Both keep the samples exactly, red first, with the rows packed (642 pixels
// have padded rows in memory); 16-bit samples are scaled from the data depth
// to 16 bits, PNG high byte first, TIFF low byte first, and their fourth
// sample is opaque. The pipeline never writes the fourth byte of 8-bit
// pixels, so PNG stores its inverse as alpha (a zero is opaque); TIFF stores
// it as it is.
TEST_F(CodecFileTest, PngAndTiffSamplesAreExactPackedAndScaledByDepth) {
  const struct {
    int format;
    int kinds[3];  // for 1, 3 and 4 samples per pixel
  } codecs[] = {
      {kImageFilePng, {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA}},
      {kImageFileTiff, {PHOTOMETRIC_MINISBLACK, PHOTOMETRIC_RGB, PHOTOMETRIC_RGB}},
  };
  for (const auto& codec : codecs)
    for (int bits : {8, 24, 32, 16, 48, 64})
      for (int depth : {16, 12, 10}) {
        const bool png = codec.format == kImageFilePng, wide = bits == 16 || bits >= 48;
        if (!wide && depth != 16) continue;
        SCOPED_TRACE(testing::Message()
                     << (png ? "png " : "tiff ") << bits << " bits, depth " << depth);
        DibImage image = RandomImage(642, 5, bits, bits * depth);
        if (bits == 32)
          for (int x = 0; x < 642; ++x) image.Row(0)[4 * x + 3] = 0;
        const test::Decoded d = SaveAndDecode(image, codec.format, depth);
        ASSERT_TRUE(d.ok);
        const int samples = image.BytesPerPixel() / testref::SampleBytes(image);
        EXPECT_EQ(d.width, 642u);
        EXPECT_EQ(d.height, 5u);
        EXPECT_EQ(d.bitDepth, wide ? 16 : 8);
        EXPECT_EQ(d.channels, samples);
        EXPECT_EQ(d.kind, codec.kinds[samples / 2]);
        if (!png) {
          EXPECT_EQ(d.compression, COMPRESSION_NONE);
          EXPECT_EQ(d.planar, PLANARCONFIG_CONTIG);
          EXPECT_EQ(d.strips, 1u);
        }
        ASSERT_EQ(d.pixels.size(), size_t{642} * 5 * image.BytesPerPixel());
        const uint32_t factor = depth == 10 ? 64 : depth == 12 ? 16 : 1;
        const int order[4] = {samples == 1 ? 0 : 2, 1, 0, 3};
        for (int y = 0; y < 5; ++y)
          for (int x = 0; x < 642; ++x)
            for (int s = 0; s < samples; ++s) {
              const uint32_t v = testref::Sample(image, x, y, order[s]);
              const uint32_t want = !wide    ? (s == 3 && png ? 255 - v : v)
                                    : s == 3 ? 0xFFFF
                                             : (v * factor) & 0xFFFF;
              const uint8_t* p = d.Row(y) + (x * samples + s) * (wide ? 2 : 1);
              ASSERT_EQ(!wide ? p[0]
                        : png ? Be16(p)
                              : test::Le16(p),
                        want)
                  << x << "," << y << " sample " << s;
            }
      }
}

TEST_F(CodecFileTest, SavesOnSeveralThreadsDoNotInterfere) {
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
