#pragma once
// Reads JPEG, PNG and TIFF files back with the libraries' own decoders. The
// suites that include this link libjpeg, libpng and libtiff.
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

namespace vexcam::test {

// A decoded file: rows top first, tightly packed, samples as stored (16-bit
// PNG samples most significant byte first, TIFF samples in host order).
// `kind` is the JPEG colour space, the PNG colour type or the TIFF photometric.
struct Decoded {
  bool ok = false;
  uint32_t width = 0, height = 0;
  int bitDepth = 0, channels = 0, kind = -1;
  bool progressive = false;
  uint16_t compression = 0, planar = 0;
  uint32_t strips = 0;
  std::vector<uint8_t> pixels;
  const uint8_t* Row(uint32_t y) const {
    return pixels.data() + size_t{y} * width * channels * (bitDepth / 8);
  }
};

namespace detail {
struct JpegError {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};
[[noreturn]] inline void JpegExit(j_common_ptr c) {
  std::longjmp(reinterpret_cast<JpegError*>(c->err)->jump, 1);
}
// Plain data between setjmp and longjmp: the pixels go to a fixed buffer.
inline bool DecodeJpegInto(FILE* f, Decoded* out, uint8_t* buffer, size_t bufferBytes) {
  jpeg_decompress_struct cinfo{};
  JpegError err{};
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = JpegExit;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, f);
  jpeg_read_header(&cinfo, TRUE);
  out->kind = cinfo.jpeg_color_space;
  out->progressive = cinfo.progressive_mode;
  jpeg_start_decompress(&cinfo);
  out->width = cinfo.output_width;
  out->height = cinfo.output_height;
  out->channels = cinfo.output_components;
  const size_t rowBytes = size_t{cinfo.output_width} * cinfo.output_components;
  if (rowBytes * cinfo.output_height > bufferBytes) longjmp(err.jump, 1);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = buffer + rowBytes * cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}
inline bool ReadPngInto(FILE* f, png_structp png, png_infop info) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, f);
  png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  return true;
}
}  // namespace detail

inline Decoded DecodeJpeg(const std::string& path) {
  Decoded out;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return out;
  std::vector<uint8_t> buffer(size_t{4} << 20);
  out.ok = detail::DecodeJpegInto(f, &out, buffer.data(), buffer.size());
  std::fclose(f);
  out.bitDepth = 8;
  if (out.ok)
    out.pixels.assign(buffer.begin(),
                      buffer.begin() + size_t{out.width} * out.height * out.channels);
  return out;
}

inline Decoded DecodePng(const std::string& path) {
  Decoded out;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return out;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  out.ok = detail::ReadPngInto(f, png, info);
  if (out.ok) {
    out.width = png_get_image_width(png, info);
    out.height = png_get_image_height(png, info);
    out.bitDepth = png_get_bit_depth(png, info);
    out.channels = png_get_channels(png, info);
    out.kind = png_get_color_type(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    png_bytepp rows = png_get_rows(png, info);
    for (uint32_t y = 0; y < out.height; ++y)
      out.pixels.insert(out.pixels.end(), rows[y], rows[y] + rowBytes);
  }
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(f);
  return out;
}

// The tags and strip 0 (the whole image of the files the SDK writes).
inline Decoded DecodeTiff(const std::string& path) {
  Decoded out;
  TIFFSetErrorHandler(nullptr);
  TIFFSetWarningHandler(nullptr);
  // "c": no strip chopping, so the strip count is the one in the file.
  TIFF* tiff = TIFFOpen(path.c_str(), "rc");
  if (tiff == nullptr) return out;
  uint16_t bits = 0, samples = 0, photometric = 0;
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &out.width);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &out.height);
  TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetField(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetField(tiff, TIFFTAG_COMPRESSION, &out.compression);
  TIFFGetField(tiff, TIFFTAG_PLANARCONFIG, &out.planar);
  out.bitDepth = bits;
  out.channels = samples;
  out.kind = photometric;
  out.strips = TIFFNumberOfStrips(tiff);
  out.pixels.assign(static_cast<size_t>(TIFFStripSize(tiff)), 0);
  out.ok =
      TIFFReadEncodedStrip(tiff, 0, out.pixels.data(), static_cast<tmsize_t>(out.pixels.size())) ==
      static_cast<tmsize_t>(out.pixels.size());
  TIFFClose(tiff);
  return out;
}

}  // namespace vexcam::test
