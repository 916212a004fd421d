#include "platform/registry_calls.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/settings_key.h"

namespace vexcam::platform {

namespace {

struct OpenHandle {
  SettingsKey key;
  REGSAM access = 0;
};

// Open keys by handle value. Lookups hand out shared ownership so that a key
// closed by one thread stays valid for a call running on another.
class HandleTable {
 public:
  HKEY Add(SettingsKey key, REGSAM access) {
    auto entry = std::make_shared<OpenHandle>();
    entry->key = std::move(key);
    entry->access = access;
    std::lock_guard<std::mutex> guard(mutex_);
    next_ += kStep;
    const uintptr_t id = next_;
    entries_.emplace(id, std::move(entry));
    return reinterpret_cast<HKEY>(id);
  }

  std::shared_ptr<OpenHandle> Find(HKEY handle) {
    std::lock_guard<std::mutex> guard(mutex_);
    const auto it = entries_.find(reinterpret_cast<uintptr_t>(handle));
    return it == entries_.end() ? nullptr : it->second;
  }

  bool Remove(HKEY handle) {
    std::shared_ptr<OpenHandle> removed;  // released after the lock
    std::lock_guard<std::mutex> guard(mutex_);
    const auto it = entries_.find(reinterpret_cast<uintptr_t>(handle));
    if (it == entries_.end()) return false;
    removed = std::move(it->second);
    entries_.erase(it);
    return true;
  }

 private:
  // Ids grow by 16 from a small base; the root's address is never among them
  // because the root is checked before the table.
  static constexpr uintptr_t kStep = 16;
  std::mutex mutex_;
  uintptr_t next_ = 0x10000;
  std::unordered_map<uintptr_t, std::shared_ptr<OpenHandle>> entries_;
};

HandleTable& Handles() {
  static HandleTable table;
  return table;
}

// Resolves a handle to an open key; the root is opened afresh so that the
// settings file follows the environment at the time of the call.
LSTATUS Resolve(HKEY handle, SettingsKey* root, const SettingsKey** key, REGSAM* access,
                std::shared_ptr<OpenHandle>* holder) {
  if (handle == HKEY_CURRENT_USER) {
    if (!root->OpenCurrentUser()) return ERROR_CANTOPEN;
    *key = root;
    *access = KEY_ALL_ACCESS;
    return ERROR_SUCCESS;
  }
  *holder = Handles().Find(handle);
  if (!*holder) return ERROR_INVALID_HANDLE;
  *key = &(*holder)->key;
  *access = (*holder)->access;
  return ERROR_SUCCESS;
}

}  // namespace

LSTATUS RegOpenKeyExA(HKEY key, const char* sub_key, uint32_t /*options*/, REGSAM sam_desired,
                      PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  SettingsKey root;
  const SettingsKey* parent = nullptr;
  REGSAM parent_access = 0;
  std::shared_ptr<OpenHandle> holder;
  LSTATUS status = Resolve(key, &root, &parent, &parent_access, &holder);
  if (status != ERROR_SUCCESS) return status;
  SettingsKey opened;
  if (!opened.Open(*parent, sub_key ? sub_key : "", &status)) return status;
  *result = Handles().Add(std::move(opened), sam_desired);
  return ERROR_SUCCESS;
}

LSTATUS RegCreateKeyExA(HKEY key, const char* sub_key, uint32_t reserved,
                        const char* /*key_class*/, uint32_t /*options*/, REGSAM sam_desired,
                        const void* /*security_attributes*/, PHKEY result,
                        uint32_t* disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  if (!sub_key || reserved != 0) return ERROR_INVALID_PARAMETER;
  SettingsKey root;
  const SettingsKey* parent = nullptr;
  REGSAM parent_access = 0;
  std::shared_ptr<OpenHandle> holder;
  LSTATUS status = Resolve(key, &root, &parent, &parent_access, &holder);
  if (status != ERROR_SUCCESS) return status;
  if (sub_key[0] != '\0' && !(parent_access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
  bool created = false;
  SettingsKey opened;
  if (!opened.Create(*parent, sub_key, &created, &status)) return status;
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  *result = Handles().Add(std::move(opened), sam_desired);
  return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExA(HKEY key, const char* value_name, uint32_t* reserved, uint32_t* type,
                         uint8_t* data, uint32_t* data_size) {
  if (reserved || (data && !data_size)) return ERROR_INVALID_PARAMETER;
  SettingsKey root;
  const SettingsKey* target = nullptr;
  REGSAM access = 0;
  std::shared_ptr<OpenHandle> holder;
  const LSTATUS status = Resolve(key, &root, &target, &access, &holder);
  if (status != ERROR_SUCCESS) return status;
  if (!(access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  return target->Store()->QueryValue(target->FilePath(), target->Path(),
                                     value_name ? value_name : "", type, data, data_size);
}

LSTATUS RegSetValueExA(HKEY key, const char* value_name, uint32_t reserved, uint32_t type,
                       const uint8_t* data, uint32_t data_size) {
  if (reserved != 0) return ERROR_INVALID_PARAMETER;
  SettingsKey root;
  const SettingsKey* target = nullptr;
  REGSAM access = 0;
  std::shared_ptr<OpenHandle> holder;
  const LSTATUS status = Resolve(key, &root, &target, &access, &holder);
  if (status != ERROR_SUCCESS) return status;
  if (!(access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  return target->Store()->SetValue(target->FilePath(), target->Path(),
                                   value_name ? value_name : "", type, data, data_size);
}

LSTATUS RegCloseKey(HKEY key) {
  if (key == HKEY_CURRENT_USER) return ERROR_SUCCESS;
  return Handles().Remove(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

}  // namespace vexcam::platform
