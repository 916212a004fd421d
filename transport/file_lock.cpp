#include "transport/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace vexcam {

CFileLock::CFileLock(const std::string& path) {
  // A handful of retries covers a lock file being replaced concurrently.
  for (int attempt = 0; attempt < 100; ++attempt) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return;
    int rc;
    do {
      rc = flock(fd, LOCK_EX);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
      close(fd);
      return;
    }
    struct stat held {};
    struct stat named {};
    if (fstat(fd, &held) == 0 && stat(path.c_str(), &named) == 0 && held.st_ino == named.st_ino &&
        held.st_dev == named.st_dev) {
      fd_ = fd;
      return;
    }
    close(fd);  // the file we locked was unlinked meanwhile
  }
}

CFileLock::~CFileLock() {
  if (fd_ >= 0) close(fd_);  // closing releases the lock
}

}  // namespace vexcam
