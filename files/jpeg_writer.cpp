#include "files/jpeg_writer.h"

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <new>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include "files/file_pixel_ops.h"
#include "files/stdio_file.h"
#include "imaging/depth_convert.h"

namespace vexcam {

namespace {

// libjpeg reports fatal errors through error_exit, which must not return.
// Ours jumps back to CompressImage; messages are dropped, never printed.
struct JpegErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

[[noreturn]] void JpegErrorExit(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->jump, 1);
}

void JpegSilentMessage(j_common_ptr) {}

// What CompressImage needs: plain data only.
struct JpegJob {
  FILE* out;
  const uint8_t* pixels;
  uint32_t stride;
  int width;
  int height;
  int srcBpp;
  int components;
  int quality;
  RegionOp rowOp;  // one source row into the scanline, B, G, R order for colour
  uint8_t* scanline;
};

// Holds only plain C state: error_exit longjmps into this frame, so nothing
// here may need a destructor.
int CompressImage(const JpegJob& job) {
  jpeg_compress_struct cinfo{};
  JpegErrorManager jerr{};
  cinfo.err = jpeg_std_error(&jerr.pub);
  jerr.pub.error_exit = JpegErrorExit;
  jerr.pub.output_message = JpegSilentMessage;
  if (setjmp(jerr.jump)) {
    jpeg_destroy_compress(&cinfo);
    return 0;
  }
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, job.out);
  cinfo.image_width = static_cast<JDIMENSION>(job.width);
  cinfo.image_height = static_cast<JDIMENSION>(job.height);
  cinfo.input_components = job.components;
  cinfo.in_color_space = job.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, job.quality, TRUE);
  jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  const uint32_t scanBytes =
      static_cast<uint32_t>(job.width) * static_cast<uint32_t>(job.components);
  JSAMPROW row = job.scanline;
  for (int y = 0; y < job.height; ++y) {
    const RegionRect rect{0, y, job.width, y + 1};
    job.rowOp(job.scanline, job.pixels, rect, 0, 0, job.components, job.srcBpp, scanBytes,
              job.stride, nullptr, nullptr);
    if (job.components == 3) SwapRedBlueRow24(job.scanline, job.width);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return 1;
}

RegionOp RowOpFor(int bitCount, int sourceBits) {
  switch (bitCount) {
    case 8:
      return CopyPixelRows;
    case 16:
      if (sourceBits == 10) return Convert16To8Shift2Flip;  // single rows: flipping changes nothing
      if (sourceBits == 12) return Convert16To8Shift4Flip;
      return Convert16To8High;
    case 24:
      return CopyPixelRows;
    case 32:
      return Convert32To24;
    case 48:
    case 64:
      return ConvertWideTo24High;
    default:
      return nullptr;
  }
}

}  // namespace

int WriteJpegFile(const char* path, const DibImage& image, int quality, int sourceBits) {
  if (path == nullptr || image.IsEmpty() || quality < 1 || quality > 100) return 0;
  const RegionOp rowOp = RowOpFor(image.BitCount(), sourceBits);
  if (rowOp == nullptr) return 0;
  const int components = image.BitCount() <= 16 ? 1 : 3;
  // JPEG dimensions are limited to 65500.
  if (image.Width() > JPEG_MAX_DIMENSION || image.Height() > JPEG_MAX_DIMENSION) return 0;
  std::unique_ptr<uint8_t[]> scanline(new (std::nothrow)
                                          uint8_t[static_cast<size_t>(image.Width()) * components]);
  if (!scanline) return 0;

  StdioFile file;
  if (!file.Open(path)) return 0;
  const JpegJob job{file.Get(),     image.Pixels(),        image.Stride(), image.Width(),
                    image.Height(), image.BytesPerPixel(), components,     quality,
                    rowOp,          scanline.get()};
  if (!CompressImage(job)) {
    file.Discard();
    return 0;
  }
  return file.Commit() ? 1 : 0;
}

}  // namespace vexcam
