#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/settings_store.h"

namespace vexcam::platform {

// An open key of a SettingsStore. A key refers to its path, not to data in
// memory, so it stays usable while other processes rewrite the file. Closing
// releases nothing outside the object; the destructor closes. The store must
// outlive its keys. Results: true on success.
class SettingsKey {
 public:
  SettingsKey() = default;
  SettingsKey(SettingsKey&& other) noexcept;
  SettingsKey& operator=(SettingsKey&& other) noexcept;
  SettingsKey(const SettingsKey&) = delete;
  SettingsKey& operator=(const SettingsKey&) = delete;
  ~SettingsKey() = default;

  // Opens the root (HKEY_CURRENT_USER) of `store`; the settings file is located now.
  bool OpenCurrentUser(SettingsStore& store = SettingsStore::Default());
  // Opens an existing key below `parent` ("A\\B"; "" opens `parent` again).
  // `status`, when given, receives the registry status of the attempt.
  bool Open(const SettingsKey& parent, std::string_view subkey_path, LSTATUS* status = nullptr);
  // Opens or creates a key below `parent`, with every missing key between;
  // `created` tells whether the key itself was new.
  bool Create(const SettingsKey& parent, std::string_view subkey_path, bool* created = nullptr,
              LSTATUS* status = nullptr);
  void Close();

  bool IsOpen() const { return store_ != nullptr; }
  // Path below HKEY_CURRENT_USER as stored ("" for the root).
  const std::string& Path() const { return path_; }
  const std::string& FilePath() const { return file_; }
  SettingsStore* Store() const { return store_; }

  // Registry query rules (see SettingsStore::QueryValue). A short buffer fails
  // with the needed size in `size`.
  bool QueryValue(std::string_view name, uint32_t* type, uint8_t* data, uint32_t* size) const;
  bool SetValue(std::string_view name, uint32_t type, const uint8_t* data, uint32_t size);

  // A REG_DWORD of 4 bytes; any other type or size fails.
  bool QueryDword(std::string_view name, uint32_t* value) const;
  bool SetDword(std::string_view name, uint32_t value);
  // A REG_BINARY of any size.
  bool QueryBinary(std::string_view name, std::vector<uint8_t>* data) const;
  bool SetBinary(std::string_view name, const void* data, size_t size);

 private:
  // Open, or Create when `create` is set: the key at `subkey_path` below
  // `parent` replaces what this key was.
  bool OpenBelow(const SettingsKey& parent, std::string_view subkey_path, bool create,
                 bool* created, LSTATUS* status_out);

  SettingsStore* store_ = nullptr;
  std::string file_;
  std::string path_;
};

}  // namespace vexcam::platform
