#include "files/tiff_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>
#include <cerrno>
#include <cstdarg>
#include <memory>
#include <new>

#include "files/file_pixel_ops.h"
#include "imaging/depth_convert.h"

namespace vexcam {

namespace {

// Per-open handlers: libtiff's messages go nowhere, and the process-wide
// handlers other code may rely on stay untouched.
int TiffSilentHandler(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffOptions {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  TiffOptions() {
    if (options != nullptr) {
      TIFFOpenOptionsSetErrorHandlerExtR(options, TiffSilentHandler, nullptr);
      TIFFOpenOptionsSetWarningHandlerExtR(options, TiffSilentHandler, nullptr);
    }
  }
  ~TiffOptions() {
    if (options != nullptr) TIFFOpenOptionsFree(options);
  }
  TiffOptions(const TiffOptions&) = delete;
  TiffOptions& operator=(const TiffOptions&) = delete;
};

struct TiffClose {
  void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int Get() const { return fd_; }
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

struct TiffLayout {
  uint16_t bitsPerSample;
  uint16_t photometric;
  uint16_t samples;
};

bool LayoutFor(int bitCount, TiffLayout& layout) {
  switch (bitCount) {
    case 8:
      layout = {8, PHOTOMETRIC_MINISBLACK, 1};
      return true;
    case 16:
      layout = {16, PHOTOMETRIC_MINISBLACK, 1};
      return true;
    case 24:
      layout = {8, PHOTOMETRIC_RGB, 3};
      return true;
    case 32:
      layout = {8, PHOTOMETRIC_RGB, 4};
      return true;
    case 48:
      layout = {16, PHOTOMETRIC_RGB, 3};
      return true;
    case 64:
      layout = {16, PHOTOMETRIC_RGB, 4};
      return true;
    default:
      return false;
  }
}

// Conversion into the packed strip: R, G, B order and 16-bit scaling.
RegionOp StripOpFor(int bitCount, int sourceBits) {
  switch (bitCount) {
    case 16:
      return sourceBits == 10   ? Convert16Times64
             : sourceBits == 12 ? Convert16Times16
                                : CopyPixelRows;
    case 24:
    case 32:
      return SwapRedBlue8;
    case 48:
      return sourceBits == 10   ? Convert48RgbTimes64
             : sourceBits == 12 ? Convert48RgbTimes16
                                : Convert48Rgb;
    case 64:
      return sourceBits == 10   ? Convert64RgbTimes64
             : sourceBits == 12 ? Convert64RgbTimes16
                                : Convert64RgbOpaque;
    default:
      return CopyPixelRows;
  }
}

bool WriteStrip(TIFF* tiff, const DibImage& image, const TiffLayout& layout, uint8_t* strip,
                size_t stripBytes) {
  const auto width = static_cast<uint32_t>(image.Width());
  const auto height = static_cast<uint32_t>(image.Height());
  bool ok = TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width) &&
            TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height) &&
            TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, layout.bitsPerSample) &&
            TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, layout.samples) &&
            TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE) &&
            TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, layout.photometric) &&
            TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
            TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, height);
  if (ok && layout.samples == 4) {
    // The fourth sample carries no meaning; saying so keeps RGB readers happy.
    const uint16_t extra = EXTRASAMPLE_UNSPECIFIED;
    ok = TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &extra);
  }
  // The strip write returns the byte count, or -1 on failure.
  ok = ok && TIFFWriteEncodedStrip(tiff, 0, strip, static_cast<tmsize_t>(stripBytes)) ==
                 static_cast<tmsize_t>(stripBytes);
  // Writes the directory now, so its failure is seen here rather than lost in TIFFClose.
  return ok && TIFFFlush(tiff) == 1;
}

}  // namespace

int WriteTiffFile(const char* path, const DibImage& image, int sourceBits) {
  TiffLayout layout{};
  if (path == nullptr || image.IsEmpty() || !LayoutFor(image.BitCount(), layout)) return 0;

  // TIFF rows are not padded: pack them while converting.
  const uint32_t rowBytes =
      static_cast<uint32_t>(image.Width()) * static_cast<uint32_t>(image.BytesPerPixel());
  const size_t stripBytes = static_cast<size_t>(rowBytes) * static_cast<size_t>(image.Height());
  if (stripBytes > UINT32_MAX) return 0;  // beyond classic TIFF offsets
  std::unique_ptr<uint8_t[]> strip(new (std::nothrow) uint8_t[stripBytes]);
  if (!strip) return 0;
  const RegionRect whole{0, 0, image.Width(), image.Height()};
  const int bpp = image.BytesPerPixel();
  if (!StripOpFor(image.BitCount(), sourceBits)(strip.get(), image.Pixels(), whole, 0, 0, bpp, bpp,
                                                rowBytes, image.Stride(), nullptr, nullptr))
    return 0;

  TiffOptions options;
  if (options.options == nullptr) return 0;
  int rawFd;
  do {
    rawFd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  } while (rawFd < 0 && errno == EINTR);
  if (rawFd < 0) return 0;
  Fd fd(rawFd);
  struct stat st {};
  const bool regular = ::fstat(fd.Get(), &st) == 0 && S_ISREG(st.st_mode);

  // libtiff closes the descriptor it is given without reporting the result;
  // it gets a duplicate so that our own close can report a late write error.
  bool ok = false;
  const int tiffFd = ::fcntl(fd.Get(), F_DUPFD_CLOEXEC, 0);
  if (tiffFd >= 0) {
    std::unique_ptr<TIFF, TiffClose> tiff(TIFFFdOpenExt(tiffFd, path, "w", options.options));
    if (tiff) {
      ok = WriteStrip(tiff.get(), image, layout, strip.get(), stripBytes);
    } else {
      ::close(tiffFd);  // a failed open leaves the descriptor to us
    }
  }
  ok = fd.Close() && ok;
  if (!ok && regular) ::unlink(path);
  return ok ? 1 : 0;
}

}  // namespace vexcam
