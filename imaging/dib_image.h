#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace vexcam {

#pragma pack(push, 1)
// The 40-byte bitmap info header that precedes the colour table in a BMP file
// and a display surface.
struct BitmapInfoHeader {
  uint32_t size = 40;
  int32_t width = 0;
  int32_t height = 0;  // positive (bottom-up) although row 0 in memory is the top row
  uint16_t planes = 0;
  uint16_t bitCount = 0;
  uint32_t compression = 0;
  uint32_t sizeImage = 0;
  int32_t xPelsPerMeter = 0;
  int32_t yPelsPerMeter = 0;
  uint32_t clrUsed = 0;
  uint32_t clrImportant = 0;
};

struct RgbQuad {
  uint8_t blue = 0;
  uint8_t green = 0;
  uint8_t red = 0;
  uint8_t reserved = 0;
};

// Header followed by the colour table, laid out as a BMP file stores them.
struct BitmapInfo {
  BitmapInfoHeader header;
  RgbQuad colors[256];
};
#pragma pack(pop)

static_assert(sizeof(BitmapInfoHeader) == 40);
static_assert(sizeof(BitmapInfo) == 40 + 256 * 4);

// Image buffer shared by the pipeline, the preview, the file writers and the
// recorder. Rows are top row first; each row starts on a 4-byte boundary and
// the pixel block itself is 64-byte aligned for vector code. The pixels live in
// plain zero-filled memory; a display back end may draw from them directly.
// Move-only: copies are explicit through CloneFrom.
class DibImage {
 public:
  DibImage();
  ~DibImage();
  DibImage(DibImage&& other) noexcept;
  DibImage& operator=(DibImage&& other) noexcept;
  DibImage(const DibImage&) = delete;
  DibImage& operator=(const DibImage&) = delete;

  // Bit counts an image can have.
  static bool IsValidBitCount(int bitCount);
  // Bytes per row for a width and bit count: rounded up to a multiple of 4.
  // Returns 0 when the row would not fit in 32 bits.
  static uint32_t StrideFor(int width, int bitCount);

  // Creates (or recreates) the image zero-filled, with a gray ramp colour
  // table. Fails and leaves the image empty for width <= 0, height <= 0, a
  // bit count other than 8, 16, 24, 32, 48 or 64, or an allocation failure.
  // Memory already held is reused when it is large enough.
  bool Create(int width, int height, int bitCount);
  // Frees the pixels and resets the record (header size stays 40).
  void Release();
  // Same geometry as src with zeroed pixels. An empty src leaves this empty
  // and returns false.
  bool CloneFrom(const DibImage& src);
  // Copies geometry and pixels of src (resizing this image when needed).
  bool CopyFrom(const DibImage& src);

  bool IsEmpty() const { return pixels_ == nullptr; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  uint32_t Stride() const { return stride_; }
  uint16_t BitCount() const { return bitCount_; }
  int BytesPerPixel() const { return bitCount_ / 8; }
  size_t SizeBytes() const {
    return static_cast<size_t>(stride_) * static_cast<size_t>(height_ > 0 ? height_ : 0);
  }

  uint8_t* Pixels() { return pixels_; }
  const uint8_t* Pixels() const { return pixels_; }
  // Row y (0 = top); no bounds check, callers iterate within Height().
  uint8_t* Row(int y) { return pixels_ + static_cast<size_t>(y) * stride_; }
  const uint8_t* Row(int y) const { return pixels_ + static_cast<size_t>(y) * stride_; }

  const BitmapInfoHeader& Header() const { return info_.header; }
  const RgbQuad* Colors() const { return info_.colors; }
  const BitmapInfo& Info() const { return info_; }

 private:
  struct AlignedFree {
    void operator()(uint8_t* p) const;
  };

  BitmapInfo info_{};
  std::unique_ptr<uint8_t, AlignedFree> storage_;
  size_t capacity_ = 0;
  uint8_t* pixels_ = nullptr;
  int32_t width_ = 0;
  int32_t height_ = 0;
  uint32_t stride_ = 0;
  uint16_t bitCount_ = 0;
};

}  // namespace vexcam
