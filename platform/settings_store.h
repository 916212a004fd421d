#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/reg_tree.h"
#include "platform/reg_types.h"

namespace vexcam::platform {

// The persistent settings of the library: one registry-export text file that
// several processes and threads share. Reads go through an in-memory copy of
// the file that is reloaded when the file on disk is replaced. Every change
// takes an advisory lock on "<file>.lock", re-reads the file, applies itself to
// what is on disk and replaces the file atomically (temporary file, fsync,
// rename), so concurrent writers keep each other's values. A file that cannot
// be parsed is renamed to "<file>.corrupt-<unix time>" before the first change
// and the store starts empty; reads see an empty store meanwhile.
//
// Operations return registry status codes (ERROR_SUCCESS == 0) so that the
// registry call layer can pass them on; SettingsKey wraps them as bools.
class SettingsStore {
 public:
  // A store at the default location, looked up again at every ResolveFilePath().
  SettingsStore();
  // A store at a fixed file.
  explicit SettingsStore(std::string file_path);
  ~SettingsStore();
  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;

  // The store behind HKEY_CURRENT_USER for the whole process.
  static SettingsStore& Default();

  // $XDG_CONFIG_HOME/Quorin/VexCam<model>3K9Sdk.reg (VexCamZA013K9Sdk.reg in
  // the ZA01 build), or $HOME/.config/... when XDG_CONFIG_HOME is unset or
  // relative; empty when no home folder is known.
  static std::string DefaultFilePath();

  // The file a newly opened root key works on.
  std::string ResolveFilePath() const;

  // Key paths are relative to HKEY_CURRENT_USER, "" being the root; `canonical`
  // receives the stored spelling of the key's path.
  LSTATUS OpenKey(const std::string& file, std::string_view path, std::string* canonical);
  LSTATUS CreateKey(const std::string& file, std::string_view path, std::string* canonical,
                    bool* created);
  // Registry query rules: `size` is the buffer size in and the value size out;
  // null `data` asks for the size only; a short buffer gives ERROR_MORE_DATA
  // with the needed size. `type` may be null.
  LSTATUS QueryValue(const std::string& file, std::string_view key_path, std::string_view name,
                     uint32_t* type, uint8_t* data, uint32_t* size);
  // Sets a value of key `key_path`; the key is created again if it was removed
  // from the file meanwhile, so that the value is not lost.
  LSTATUS SetValue(const std::string& file, std::string_view key_path, std::string_view name,
                   uint32_t type, const uint8_t* data, uint32_t size);

 private:
  class Fd {
   public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { Reset(); }
    Fd(Fd&& other) noexcept : fd_(other.Release()) {}
    Fd& operator=(Fd&& other) noexcept;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return fd_; }
    int Release();
    void Reset();

   private:
    int fd_ = -1;
  };

  enum class FileState { kMissing, kParsed, kCorrupt };

  // What the store last read. The open descriptor pins the file's inode, so an
  // unchanged inode number at the path means the very same file.
  struct Snapshot {
    bool loaded = false;
    std::string path;
    FileState state = FileState::kMissing;
    Fd fd;
    struct stat identity {};
    RegTree tree;
  };

  bool SnapshotCurrent(const std::string& file) const;
  LSTATUS Refresh(const std::string& file);
  LSTATUS MoveCorruptFileAside(const std::string& file);
  bool WriteFile(const std::string& file, const std::string& text, Fd* written,
                 struct stat* identity);
  // Runs `change` on the file's current contents under the file lock and
  // writes the result when `change` reports a modification.
  template <typename Change>
  LSTATUS Modify(const std::string& file, Change&& change);

  const std::string fixed_path_;
  std::mutex mutex_;
  Snapshot snapshot_;  // guarded by mutex_
};

}  // namespace vexcam::platform
