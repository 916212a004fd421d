#pragma once
// An exclusive inter-process lock on a lock file (flock), held for the
// object's lifetime. A lock file that was removed by its last user while we
// waited is detected (inode check) and the lock is taken again on the new file.

#include <string>

namespace vexcam {

class CFileLock {
 public:
  explicit CFileLock(const std::string& path);
  ~CFileLock();
  CFileLock(const CFileLock&) = delete;
  CFileLock& operator=(const CFileLock&) = delete;

  bool Locked() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace vexcam
