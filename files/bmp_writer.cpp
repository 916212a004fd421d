#include "files/bmp_writer.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "files/file_sink.h"

namespace vexcam {

static_assert(std::endian::native == std::endian::little, "BMP headers are written from memory");

namespace {

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kTableBytes = 256 * sizeof(RgbQuad);

void Put32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

}  // namespace

int WriteBmpFile(const char* path, const DibImage& image) {
  if (path == nullptr || image.IsEmpty() || !DibImage::IsValidBitCount(image.BitCount())) return 0;
  const bool hasTable = image.BitCount() <= 8;
  const uint32_t dataOffset =
      kFileHeaderBytes + sizeof(BitmapInfoHeader) + (hasTable ? kTableBytes : 0);
  const uint64_t fileSize = uint64_t{dataOffset} + image.SizeBytes();
  if (fileSize > UINT32_MAX) return 0;  // the size field has 32 bits

  uint8_t fileHeader[kFileHeaderBytes] = {'B', 'M'};
  Put32(fileHeader + 2, static_cast<uint32_t>(fileSize));
  Put32(fileHeader + 10, dataOffset);

  FileSink sink;
  if (!sink.Open(path)) return 0;
  bool ok = sink.Write(fileHeader, sizeof fileHeader) &&
            sink.Write(&image.Header(), sizeof(BitmapInfoHeader));
  if (ok && hasTable) ok = sink.Write(image.Colors(), kTableBytes);
  // Memory holds the top row first; the file wants the bottom row first.
  for (int y = image.Height() - 1; ok && y >= 0; --y) ok = sink.Write(image.Row(y), image.Stride());
  if (!ok) {
    sink.Discard();
    return 0;
  }
  return sink.Commit() ? 1 : 0;
}

}  // namespace vexcam
