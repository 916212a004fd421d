#include "files/stdio_file.h"

#include <sys/stat.h>
#include <unistd.h>

namespace vexcam {

StdioFile::~StdioFile() {
  if (file_ != nullptr) std::fclose(file_);
}

bool StdioFile::Open(const char* path) {
  if (file_ != nullptr || path == nullptr || path[0] == '\0') return false;
  // "e": close on exec, so a child process never inherits the stream.
  file_ = std::fopen(path, "wbe");
  if (file_ == nullptr) return false;
  struct stat st {};
  regular_ = ::fstat(::fileno(file_), &st) == 0 && S_ISREG(st.st_mode);
  path_ = path;
  return true;
}

bool StdioFile::Commit() {
  if (file_ == nullptr) return false;
  bool ok = std::fflush(file_) == 0;
  ok = std::ferror(file_) == 0 && ok;
  ok = std::fclose(file_) == 0 && ok;
  file_ = nullptr;
  if (!ok && regular_) ::unlink(path_);
  return ok;
}

void StdioFile::Discard() {
  if (file_ == nullptr) return;
  std::fclose(file_);
  file_ = nullptr;
  if (regular_) ::unlink(path_);
}

}  // namespace vexcam
