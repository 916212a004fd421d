#include "files/raw_writer.h"

#include "files/file_sink.h"

namespace vexcam {

int WriteRawFile(const char* path, const DibImage& image) {
  if (path == nullptr || image.IsEmpty()) return 0;
  FileSink sink;
  // One write of the whole block: no buffer needed.
  if (!sink.Open(path, 0)) return 0;
  if (!sink.Write(image.Pixels(), image.SizeBytes())) {
    sink.Discard();
    return 0;
  }
  return sink.Commit() ? 1 : 0;
}

}  // namespace vexcam
