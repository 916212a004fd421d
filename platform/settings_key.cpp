#include "platform/settings_key.h"

#include <utility>

namespace vexcam::platform {

SettingsKey::SettingsKey(SettingsKey&& other) noexcept
    : store_(std::exchange(other.store_, nullptr)),
      file_(std::move(other.file_)),
      path_(std::move(other.path_)) {}

SettingsKey& SettingsKey::operator=(SettingsKey&& other) noexcept {
  if (this != &other) {
    store_ = std::exchange(other.store_, nullptr);
    file_ = std::move(other.file_);
    path_ = std::move(other.path_);
  }
  return *this;
}

bool SettingsKey::OpenCurrentUser(SettingsStore& store) {
  Close();
  std::string file = store.ResolveFilePath();
  if (file.empty()) return false;
  store_ = &store;
  file_ = std::move(file);
  return true;
}

bool SettingsKey::Open(const SettingsKey& parent, std::string_view subkey_path,
                       LSTATUS* status_out) {
  return OpenBelow(parent, subkey_path, false, nullptr, status_out);
}

bool SettingsKey::Create(const SettingsKey& parent, std::string_view subkey_path, bool* created,
                         LSTATUS* status_out) {
  if (created) *created = false;
  return OpenBelow(parent, subkey_path, true, created, status_out);
}

bool SettingsKey::OpenBelow(const SettingsKey& parent, std::string_view subkey_path, bool create,
                            bool* created, LSTATUS* status_out) {
  if (status_out) *status_out = ERROR_INVALID_HANDLE;
  if (!parent.IsOpen()) {
    Close();
    return false;
  }
  // `parent` may be this key: take what is needed before changing anything.
  SettingsStore* store = parent.store_;
  std::string file = parent.file_;
  std::string path;
  const std::string joined = RegTree::Join(parent.path_, subkey_path);
  const LSTATUS status =
      create ? store->CreateKey(file, joined, &path, created) : store->OpenKey(file, joined, &path);
  if (status_out) *status_out = status;
  Close();
  if (status != ERROR_SUCCESS) return false;
  store_ = store;
  file_ = std::move(file);
  path_ = std::move(path);
  return true;
}

void SettingsKey::Close() {
  store_ = nullptr;
  file_.clear();
  path_.clear();
}

bool SettingsKey::QueryValue(std::string_view name, uint32_t* type, uint8_t* data,
                             uint32_t* size) const {
  return store_ && store_->QueryValue(file_, path_, name, type, data, size) == ERROR_SUCCESS;
}

bool SettingsKey::SetValue(std::string_view name, uint32_t type, const uint8_t* data,
                           uint32_t size) {
  return store_ && store_->SetValue(file_, path_, name, type, data, size) == ERROR_SUCCESS;
}

bool SettingsKey::QueryDword(std::string_view name, uint32_t* value) const {
  uint8_t bytes[4] = {};
  uint32_t type = 0;
  uint32_t size = sizeof bytes;
  if (!value || !QueryValue(name, &type, bytes, &size) || type != REG_DWORD || size != 4) {
    return false;
  }
  *value = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
  return true;
}

bool SettingsKey::SetDword(std::string_view name, uint32_t value) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  return SetValue(name, REG_DWORD, bytes, sizeof bytes);
}

bool SettingsKey::QueryBinary(std::string_view name, std::vector<uint8_t>* data) const {
  if (!data) return false;
  // The value may change between the size query and the read; retry then.
  for (int attempt = 0; attempt < 4; ++attempt) {
    uint32_t type = 0;
    uint32_t size = 0;
    if (!QueryValue(name, &type, nullptr, &size) || type != REG_BINARY) return false;
    std::vector<uint8_t> buffer(size);
    if (QueryValue(name, &type, buffer.data(), &size)) {
      if (type != REG_BINARY) return false;
      buffer.resize(size);
      *data = std::move(buffer);
      return true;
    }
    if (size <= buffer.size()) return false;  // failed for another reason than size
  }
  return false;
}

bool SettingsKey::SetBinary(std::string_view name, const void* data, size_t size) {
  if (size > kMaxValueSize) return false;
  return SetValue(name, REG_BINARY, static_cast<const uint8_t*>(data), static_cast<uint32_t>(size));
}

}  // namespace vexcam::platform
