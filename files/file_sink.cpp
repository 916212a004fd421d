#include "files/file_sink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <new>

namespace vexcam {

FileSink::~FileSink() { CloseQuietly(); }

bool FileSink::Open(const char* path, size_t bufferBytes) {
  CloseQuietly();
  failed_ = false;
  used_ = 0;
  committed_ = 0;
  if (path == nullptr || path[0] == '\0') return false;
  if (bufferBytes != capacity_) {
    buffer_.reset();
    capacity_ = 0;
    if (bufferBytes > 0) {
      buffer_.reset(new (std::nothrow) uint8_t[bufferBytes]);
      if (!buffer_) return false;
      capacity_ = bufferBytes;
    }
  }
  try {
    path_ = path;
  } catch (...) {
    return false;
  }
  int fd;
  do {
    fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  struct stat st {};
  regular_ = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  fd_ = fd;
  return true;
}

bool FileSink::WriteThrough(const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd_, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      failed_ = true;
      return false;
    }
    if (n == 0) {
      failed_ = true;
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
    committed_ += static_cast<uint64_t>(n);
  }
  return true;
}

bool FileSink::Write(const void* data, size_t size) {
  if (fd_ < 0 || failed_) return false;
  if (size == 0) return true;
  if (size <= capacity_ - used_) {
    std::memcpy(buffer_.get() + used_, data, size);
    used_ += size;
    return true;
  }
  if (!Flush()) return false;
  if (size >= capacity_) return WriteThrough(data, size);
  std::memcpy(buffer_.get(), data, size);
  used_ = size;
  return true;
}

bool FileSink::Flush() {
  if (fd_ < 0 || failed_) return false;
  if (used_ == 0) return true;
  const size_t n = used_;
  used_ = 0;
  return WriteThrough(buffer_.get(), n);
}

bool FileSink::WriteAt(uint64_t offset, const void* data, size_t size) {
  if (!Flush()) return false;
  const auto* p = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = ::pwrite(fd_, p, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      failed_ = true;
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
    offset += static_cast<uint64_t>(n);
  }
  return true;
}

bool FileSink::Truncate(uint64_t size) {
  if (fd_ < 0) return false;
  used_ = 0;
  if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) return false;
  if (::lseek(fd_, static_cast<off_t>(size), SEEK_SET) < 0) return false;
  committed_ = size;
  failed_ = false;
  return true;
}

bool FileSink::Close() {
  if (fd_ < 0) return false;
  const bool flushed = Flush();
  const bool ok = !failed_ && flushed;
  // close() may report a deferred write error (network file systems).
  const bool closed = ::close(fd_) == 0;
  fd_ = -1;
  return ok && closed;
}

bool FileSink::Commit() {
  if (fd_ < 0) return false;
  if (Close()) return true;
  if (regular_) ::unlink(path_.c_str());
  return false;
}

void FileSink::Discard() {
  if (fd_ < 0) return;
  CloseQuietly();
  if (regular_) ::unlink(path_.c_str());
}

void FileSink::CloseQuietly() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  used_ = 0;
}

}  // namespace vexcam
