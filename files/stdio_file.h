#pragma once

#include <cstdio>

namespace vexcam {

// A "wb" stream for the libraries that write through stdio (libjpeg, libpng),
// with a checked close and removal of a partial file.
class StdioFile {
 public:
  StdioFile() = default;
  ~StdioFile();
  StdioFile(const StdioFile&) = delete;
  StdioFile& operator=(const StdioFile&) = delete;

  bool Open(const char* path);
  FILE* Get() const { return file_; }
  // Flushes and closes. When a write, the flush or the close failed the
  // partial file is removed and the result is false.
  bool Commit();
  // Closes and removes the file when this stream created or truncated a
  // regular file.
  void Discard();

 private:
  FILE* file_ = nullptr;
  bool regular_ = false;
  const char* path_ = nullptr;  // borrowed from the caller for the save's duration
};

}  // namespace vexcam
