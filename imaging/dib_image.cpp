#include "imaging/dib_image.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

namespace vexcam {

namespace {
constexpr size_t kPixelAlignment = 64;
}

void DibImage::AlignedFree::operator()(uint8_t* p) const { std::free(p); }

DibImage::DibImage() = default;
DibImage::~DibImage() = default;

DibImage::DibImage(DibImage&& other) noexcept { *this = std::move(other); }

DibImage& DibImage::operator=(DibImage&& other) noexcept {
  if (this != &other) {
    info_ = other.info_;
    storage_ = std::move(other.storage_);
    capacity_ = other.capacity_;
    pixels_ = other.pixels_;
    width_ = other.width_;
    height_ = other.height_;
    stride_ = other.stride_;
    bitCount_ = other.bitCount_;
    other.storage_.reset();
    other.Release();
  }
  return *this;
}

bool DibImage::IsValidBitCount(int bitCount) {
  switch (bitCount) {
    case 8:
    case 16:
    case 24:
    case 32:
    case 48:
    case 64:
      return true;
    default:
      return false;
  }
}

uint32_t DibImage::StrideFor(int width, int bitCount) {
  if (width <= 0 || bitCount <= 0) return 0;
  const uint64_t bytes =
      (static_cast<uint64_t>(bitCount / 8) * static_cast<uint64_t>(width) + 3) & ~uint64_t{3};
  if (bytes > std::numeric_limits<uint32_t>::max()) return 0;
  return static_cast<uint32_t>(bytes);
}

bool DibImage::Create(int width, int height, int bitCount) {
  const uint32_t stride = StrideFor(width, bitCount);
  if (height <= 0 || !IsValidBitCount(bitCount) || stride == 0) {
    Release();
    return false;
  }
  const uint64_t bytes64 = static_cast<uint64_t>(stride) * static_cast<uint64_t>(height);
  if (bytes64 > std::numeric_limits<size_t>::max() / 2) {
    Release();
    return false;
  }
  const size_t bytes = static_cast<size_t>(bytes64);
  if (bytes > capacity_) {
    Release();
    const size_t rounded = (bytes + kPixelAlignment - 1) / kPixelAlignment * kPixelAlignment;
    auto* p = static_cast<uint8_t*>(std::aligned_alloc(kPixelAlignment, rounded));
    if (!p) return false;
    storage_.reset(p);
    capacity_ = rounded;
  }
  pixels_ = storage_.get();
  std::memset(pixels_, 0, bytes);
  width_ = width;
  height_ = height;
  stride_ = stride;
  bitCount_ = static_cast<uint16_t>(bitCount);

  info_ = BitmapInfo{};
  info_.header.size = 40;
  info_.header.width = width;
  info_.header.height = height;
  info_.header.planes = 1;
  info_.header.bitCount = static_cast<uint16_t>(bitCount);
  if (bitCount == 8) {
    for (int i = 0; i < 256; ++i) {
      const auto v = static_cast<uint8_t>(i);
      info_.colors[i] = RgbQuad{v, v, v, 0};
    }
  }
  return true;
}

void DibImage::Release() {
  storage_.reset();
  capacity_ = 0;
  pixels_ = nullptr;
  width_ = 0;
  height_ = 0;
  stride_ = 0;
  bitCount_ = 0;
  info_ = BitmapInfo{};
  info_.header.size = 40;
}

bool DibImage::CloneFrom(const DibImage& src) {
  if (&src == this) {
    if (IsEmpty()) return false;
    std::memset(pixels_, 0, SizeBytes());
    return true;
  }
  if (src.IsEmpty()) {
    Release();
    return false;
  }
  return Create(src.width_, src.height_, src.bitCount_);
}

bool DibImage::CopyFrom(const DibImage& src) {
  if (&src == this) return !IsEmpty();
  if (src.IsEmpty()) {
    Release();
    return false;
  }
  if (width_ != src.width_ || height_ != src.height_ || bitCount_ != src.bitCount_) {
    if (!Create(src.width_, src.height_, src.bitCount_)) return false;
  }
  std::memcpy(pixels_, src.pixels_, src.SizeBytes());
  return true;
}

}  // namespace vexcam
