#include "files/image_writer.h"

#include "files/bmp_writer.h"
#include "files/jpeg_writer.h"
#include "files/png_writer.h"
#include "files/raw_writer.h"
#include "files/tiff_writer.h"

namespace vexcam {

int SaveImageFile(const char* path, const DibImage& image, int format, int sourceBits) {
  if (path == nullptr || path[0] == '\0' || image.IsEmpty()) return 0;
  if (sourceBits != 10 && sourceBits != 12 && sourceBits != 16) return 0;
  switch (format) {
    case kImageFileBmp:
      return WriteBmpFile(path, image);
    case kImageFileRaw:
      return WriteRawFile(path, image);
    case kImageFileJpeg100:
      return WriteJpegFile(path, image, 100, sourceBits);
    case kImageFileJpeg70:
      return WriteJpegFile(path, image, 70, sourceBits);
    case kImageFileJpeg20:
      return WriteJpegFile(path, image, 20, sourceBits);
    case kImageFilePng:
      return WritePngFile(path, image, sourceBits);
    case kImageFileTiff:
      return WriteTiffFile(path, image, sourceBits);
    default:
      return 0;
  }
}

}  // namespace vexcam
