#include "files/png_writer.h"

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <new>

#include <png.h>

#include "files/file_pixel_ops.h"
#include "files/stdio_file.h"
#include "imaging/depth_convert.h"

namespace vexcam {

namespace {

// libpng calls this for fatal errors; it must not return. Jumping to the
// write's setjmp skips libpng's own handler, which would print the message.
[[noreturn]] void PngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

void PngWarning(png_structp, png_const_charp) {}

struct PngJob {
  FILE* out;
  png_bytepp rows;
  uint32_t width;
  uint32_t height;
  int bitDepth;
  int colorType;
};

// Holds only plain C state: PngError longjmps into this frame, so nothing
// here may need a destructor.
int CompressImage(const PngJob& job) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
  if (png == nullptr) return 0;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return 0;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return 0;
  }
  png_init_io(png, job.out);
  png_set_IHDR(png, info, job.width, job.height, job.bitDepth, job.colorType, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  // Memory holds B, G, R and little-endian samples; PNG wants R, G, B and
  // the most significant byte first.
  if (job.colorType != PNG_COLOR_TYPE_GRAY) png_set_bgr(png);
  if (job.bitDepth == 16) png_set_swap(png);
  png_write_image(png, job.rows);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return 1;
}

// Conversion into a copy, or null when the image is written as it is.
RegionOp CopyOpFor(int bitCount, int sourceBits) {
  switch (bitCount) {
    case 16:
      return sourceBits == 10 ? Convert16Times64 : sourceBits == 12 ? Convert16Times16 : nullptr;
    case 32:
      return Convert32AlphaInvert;  // the unused fourth byte (0) becomes alpha 255
    case 48:
      return sourceBits == 10 ? Convert48Times64 : sourceBits == 12 ? Convert48Times16 : nullptr;
    case 64:
      return sourceBits == 10   ? Convert64Times64
             : sourceBits == 12 ? Convert64Times16
                                : Convert64Opaque;
    default:
      return nullptr;
  }
}

}  // namespace

int WritePngFile(const char* path, const DibImage& image, int sourceBits) {
  if (path == nullptr || image.IsEmpty()) return 0;
  int colorType;
  switch (image.BitCount()) {
    case 8:
    case 16:
      colorType = PNG_COLOR_TYPE_GRAY;
      break;
    case 24:
    case 48:
      colorType = PNG_COLOR_TYPE_RGB;
      break;
    case 32:
    case 64:
      colorType = PNG_COLOR_TYPE_RGB_ALPHA;
      break;
    default:
      return 0;
  }
  const int bitDepth =
      image.BitCount() == 8 || image.BitCount() == 24 || image.BitCount() == 32 ? 8 : 16;

  const DibImage* source = &image;
  DibImage copy;
  if (const RegionOp op = CopyOpFor(image.BitCount(), sourceBits)) {
    if (!copy.Create(image.Width(), image.Height(), image.BitCount())) return 0;
    if (!ApplyRegionOp(copy, op, image, nullptr, 0, 0, nullptr, nullptr)) return 0;
    source = &copy;
  }
  const size_t height = static_cast<size_t>(image.Height());
  std::unique_ptr<png_bytep[]> rows(new (std::nothrow) png_bytep[height]);
  if (!rows) return 0;
  // libpng takes non-const rows but does not write through them.
  auto* base = const_cast<uint8_t*>(source->Pixels());
  for (size_t y = 0; y < height; ++y) rows[y] = base + y * source->Stride();

  StdioFile file;
  if (!file.Open(path)) return 0;
  const PngJob job{
      file.Get(), rows.get(), static_cast<uint32_t>(image.Width()), static_cast<uint32_t>(height),
      bitDepth,   colorType};
  if (!CompressImage(job)) {
    file.Discard();
    return 0;
  }
  return file.Commit() ? 1 : 0;
}

}  // namespace vexcam
