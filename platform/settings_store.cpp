#include "platform/settings_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <vector>

#include "identity/build_identity.h"
#include "platform/debug_log.h"
#include "platform/reg_file.h"

namespace vexcam::platform {

namespace {

// A settings file is a few kilobytes; anything this large is not one of ours.
constexpr off_t kMaxFileSize = 64 << 20;
// Renaming a corrupt file aside tries this many counter suffixes per second.
constexpr int kMaxCorruptSuffix = 1000;

bool SameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

bool ReadAll(int fd, std::string* out) {
  out->clear();
  char buffer[16384];
  while (true) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return true;
    if (out->size() + static_cast<size_t>(n) > static_cast<size_t>(kMaxFileSize)) return false;
    out->append(buffer, static_cast<size_t>(n));
  }
}

void SyncDirectoryOf(const std::string& file) {
  const std::string dir = std::filesystem::path(file).parent_path().string();
  const int fd = open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);  // best effort: the rename itself is already atomic
  close(fd);
}

}  // namespace

SettingsStore::Fd& SettingsStore::Fd::operator=(Fd&& other) noexcept {
  if (this != &other) {
    Reset();
    fd_ = other.Release();
  }
  return *this;
}

int SettingsStore::Fd::Release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

void SettingsStore::Fd::Reset() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

SettingsStore::SettingsStore() = default;

SettingsStore::SettingsStore(std::string file_path) : fixed_path_(std::move(file_path)) {}

SettingsStore::~SettingsStore() = default;

SettingsStore& SettingsStore::Default() {
  static SettingsStore store;
  return store;
}

std::string SettingsStore::DefaultFilePath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && config[0] == '/') return std::string(config) + build::SettingsRelativePath();
  std::string home;
  const char* env_home = std::getenv("HOME");
  if (env_home && env_home[0] == '/') {
    home = env_home;
  } else {
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && found->pw_dir[0] == '/') {
      home = found->pw_dir;
    }
  }
  if (home.empty()) return std::string();
  return home + "/.config" + build::SettingsRelativePath();
}

std::string SettingsStore::ResolveFilePath() const {
  return fixed_path_.empty() ? DefaultFilePath() : fixed_path_;
}

bool SettingsStore::SnapshotCurrent(const std::string& file) const {
  if (!snapshot_.loaded || snapshot_.path != file) return false;
  struct stat now {};
  if (stat(file.c_str(), &now) != 0) {
    return snapshot_.state == FileState::kMissing && errno == ENOENT;
  }
  if (snapshot_.state == FileState::kMissing) return false;
  const struct stat& then = snapshot_.identity;
  return then.st_dev == now.st_dev && then.st_ino == now.st_ino && then.st_size == now.st_size &&
         SameTime(then.st_mtim, now.st_mtim) && SameTime(then.st_ctim, now.st_ctim);
}

LSTATUS SettingsStore::Refresh(const std::string& file) {
  if (SnapshotCurrent(file)) return ERROR_SUCCESS;
  snapshot_ = Snapshot{};
  Snapshot next;
  next.path = file;
  next.loaded = true;
  const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno != ENOENT) {
      VEXCAM_DEBUG(kDebugSettings, "cannot open %s: %s", file.c_str(), std::strerror(errno));
      return ERROR_CANTREAD;
    }
    VEXCAM_DEBUG(kDebugSettings, "no settings file at %s yet", file.c_str());
    next.state = FileState::kMissing;
    snapshot_ = std::move(next);
    return ERROR_SUCCESS;
  }
  next.fd = Fd(fd);
  std::string bytes;
  if (fstat(fd, &next.identity) != 0 || !S_ISREG(next.identity.st_mode) ||
      next.identity.st_size > kMaxFileSize || !ReadAll(fd, &bytes)) {
    VEXCAM_DEBUG(kDebugSettings,
                 "cannot read %s (not a regular file, above the size limit, or a read error)",
                 file.c_str());
    return ERROR_CANTREAD;
  }
  if (RegFile::Parse(bytes, &next.tree)) {
    next.state = FileState::kParsed;
    VEXCAM_DEBUG(kDebugSettings, "loaded %s (%zu bytes)", file.c_str(), bytes.size());
  } else {
    next.state = FileState::kCorrupt;
    VEXCAM_DEBUG(kDebugSettings, "%s does not parse: read as empty, moved aside at the next save",
                 file.c_str());
    next.tree = RegTree();
  }
  snapshot_ = std::move(next);
  return ERROR_SUCCESS;
}

LSTATUS SettingsStore::MoveCorruptFileAside(const std::string& file) {
  const std::string base =
      file + ".corrupt-" + std::to_string(static_cast<long long>(time(nullptr)));
  std::string target = base;
  struct stat existing {};
  for (int n = 1; lstat(target.c_str(), &existing) == 0; ++n) {
    if (n > kMaxCorruptSuffix) return ERROR_REGISTRY_CORRUPT;
    target = base + "-" + std::to_string(n);
  }
  if (rename(file.c_str(), target.c_str()) != 0) return ERROR_REGISTRY_CORRUPT;
  VEXCAM_DEBUG(kDebugSettings, "corrupt settings file moved aside to %s", target.c_str());
  snapshot_ = Snapshot{};
  snapshot_.loaded = true;
  snapshot_.path = file;
  snapshot_.state = FileState::kMissing;
  return ERROR_SUCCESS;
}

bool SettingsStore::WriteFile(const std::string& file, const std::string& text, Fd* written,
                              struct stat* identity) {
  std::string name = file + ".tmp-XXXXXX";
  Fd fd(mkostemp(name.data(), O_CLOEXEC));
  if (fd.Get() < 0) return false;
  if (!WriteAll(fd.Get(), text) || fsync(fd.Get()) != 0 ||
      rename(name.c_str(), file.c_str()) != 0) {
    unlink(name.c_str());
    return false;
  }
  SyncDirectoryOf(file);
  // Without the identity of the new file the next read simply reloads it.
  if (fstat(fd.Get(), identity) == 0) *written = std::move(fd);
  return true;
}

template <typename Change>
LSTATUS SettingsStore::Modify(const std::string& file, Change&& change) {
  if (file.empty()) return ERROR_CANTWRITE;
  std::lock_guard<std::mutex> guard(mutex_);
  std::error_code error;
  const std::filesystem::path dir = std::filesystem::path(file).parent_path();
  if (!dir.empty()) std::filesystem::create_directories(dir, error);
  if (error) return ERROR_CANTWRITE;

  // Separate lock file: the settings file itself is replaced by every write.
  const std::string lock_name = file + ".lock";
  Fd lock(open(lock_name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (lock.Get() < 0) return ERROR_CANTWRITE;
  while (flock(lock.Get(), LOCK_EX) != 0) {
    if (errno != EINTR) return ERROR_CANTWRITE;
  }

  LSTATUS status = Refresh(file);
  if (status != ERROR_SUCCESS) return status;
  if (snapshot_.state == FileState::kCorrupt) {
    status = MoveCorruptFileAside(file);
    if (status != ERROR_SUCCESS) return status;
  }
  RegTree next = snapshot_.tree;
  bool changed = false;
  status = change(next, &changed);
  if (status != ERROR_SUCCESS || !changed) return status;

  Fd written;
  struct stat identity {};
  if (!WriteFile(file, RegFile::Format(next), &written, &identity)) {
    VEXCAM_DEBUG(kDebugSettings, "cannot write %s: %s", file.c_str(), std::strerror(errno));
    return ERROR_CANTWRITE;
  }
  VEXCAM_DEBUG(kDebugSettings, "saved %s", file.c_str());
  if (written.Get() < 0) {
    snapshot_ = Snapshot{};
    return ERROR_SUCCESS;
  }
  snapshot_.state = FileState::kParsed;
  snapshot_.fd = std::move(written);
  snapshot_.identity = identity;
  snapshot_.tree = std::move(next);
  return ERROR_SUCCESS;
}  // the file lock is released here, before the mutex

LSTATUS SettingsStore::OpenKey(const std::string& file, std::string_view path,
                               std::string* canonical) {
  if (!path.empty() && !RegTree::IsValidPath(path)) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> guard(mutex_);
  const LSTATUS status = Refresh(file);
  if (status != ERROR_SUCCESS) return status;
  const RegTree::Key* key = snapshot_.tree.Find(path);
  if (!key) return ERROR_FILE_NOT_FOUND;
  if (canonical) *canonical = key->path;
  return ERROR_SUCCESS;
}

LSTATUS SettingsStore::CreateKey(const std::string& file, std::string_view path,
                                 std::string* canonical, bool* created) {
  if (!path.empty() && !RegTree::IsValidPath(path)) return ERROR_INVALID_PARAMETER;
  return Modify(file, [&](RegTree& tree, bool* changed) {
    bool is_new = false;
    const RegTree::Key& key = tree.Create(path, &is_new);
    *changed = is_new;
    if (canonical) *canonical = key.path;
    if (created) *created = is_new;
    return ERROR_SUCCESS;
  });
}

LSTATUS SettingsStore::QueryValue(const std::string& file, std::string_view key_path,
                                  std::string_view name, uint32_t* type, uint8_t* data,
                                  uint32_t* size) {
  if (data && !size) return ERROR_INVALID_PARAMETER;
  if (!key_path.empty() && !RegTree::IsValidPath(key_path)) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> guard(mutex_);
  const LSTATUS status = Refresh(file);
  if (status != ERROR_SUCCESS) return status;
  const RegTree::Key* key = snapshot_.tree.Find(key_path);
  if (!key) return ERROR_FILE_NOT_FOUND;
  const RegTree::Value* value = RegTree::FindValue(*key, name);
  if (!value) return ERROR_FILE_NOT_FOUND;
  if (type) *type = value->type;
  const auto needed = static_cast<uint32_t>(value->data.size());
  if (data) {
    if (*size < needed) {
      *size = needed;
      return ERROR_MORE_DATA;
    }
    if (needed) std::memcpy(data, value->data.data(), needed);
  }
  if (size) *size = needed;
  return ERROR_SUCCESS;
}

LSTATUS SettingsStore::SetValue(const std::string& file, std::string_view key_path,
                                std::string_view name, uint32_t type, const uint8_t* data,
                                uint32_t size) {
  if ((!data && size) || size > kMaxValueSize || !RegTree::IsValidValueName(name)) {
    return ERROR_INVALID_PARAMETER;
  }
  if (!key_path.empty() && !RegTree::IsValidPath(key_path)) return ERROR_INVALID_PARAMETER;
  return Modify(file, [&](RegTree& tree, bool* changed) {
    bool key_created = false;
    RegTree::Key& key = tree.Create(key_path, &key_created);
    *changed = RegTree::SetValue(key, name, type, data, size) || key_created;
    return ERROR_SUCCESS;
  });
}

}  // namespace vexcam::platform
