#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vexcam {

// Buffered sequential writer over a file descriptor, with checked writes.
// Small writes gather in the buffer; a write at least as large as the buffer
// goes straight to the file, so a frame costs one copy or one system call.
// After a failed write the sink refuses further writes until Truncate; it
// always knows how many bytes the file really holds (Committed).
class FileSink {
 public:
  static constexpr size_t kDefaultBufferBytes = size_t{1} << 20;

  FileSink() = default;
  ~FileSink();
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;

  // Opens path for writing: an existing file is truncated, otherwise one is
  // created. Closes a file still open (unchecked). bufferBytes 0 writes
  // through.
  bool Open(const char* path, size_t bufferBytes = kDefaultBufferBytes);
  bool IsOpen() const { return fd_ >= 0; }
  bool Failed() const { return failed_; }

  bool Write(const void* data, size_t size);
  bool Flush();
  // Overwrites bytes already in the file (after flushing the buffer); the
  // sequential position is unchanged.
  bool WriteAt(uint64_t offset, const void* data, size_t size);
  // Drops anything buffered, cuts the file to size, continues writing there
  // and clears the failure state.
  bool Truncate(uint64_t size);

  // Flushes and closes; false when any write or the close itself failed.
  bool Close();
  // Closes and removes what was written, when it is a regular file (a
  // device such as /dev/full is left alone).
  void Discard();
  // Close for a file that is all or nothing: on failure the partial file is
  // removed as by Discard.
  bool Commit();

  // Bytes written so far, buffered ones included.
  uint64_t Position() const { return committed_ + used_; }
  // Bytes the file holds.
  uint64_t Committed() const { return committed_; }

 private:
  bool WriteThrough(const void* data, size_t size);
  void CloseQuietly();

  int fd_ = -1;
  bool failed_ = false;
  bool regular_ = false;
  std::string path_;
  std::unique_ptr<uint8_t[]> buffer_;
  size_t capacity_ = 0;
  size_t used_ = 0;
  uint64_t committed_ = 0;
};

}  // namespace vexcam
