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

// A handle resolved to an open key. `holder` keeps a table entry alive for
// the call; `key` points at `root` or into the entry.
struct ResolvedKey {
  SettingsKey root;
  std::shared_ptr<OpenHandle> holder;
  const SettingsKey* key = nullptr;
};

// Resolves a handle to an open key that grants `required` (none when 0); the
// root is opened afresh so that the settings file follows the environment at
// the time of the call.
LSTATUS Resolve(HKEY handle, REGSAM required, ResolvedKey* out) {
  REGSAM access = 0;
  if (handle == HKEY_CURRENT_USER) {
    if (!out->root.OpenCurrentUser()) return ERROR_CANTOPEN;
    out->key = &out->root;
    access = KEY_ALL_ACCESS;
  } else {
    out->holder = Handles().Find(handle);
    if (!out->holder) return ERROR_INVALID_HANDLE;
    out->key = &out->holder->key;
    access = out->holder->access;
  }
  if (required != 0 && !(access & required)) return ERROR_ACCESS_DENIED;
  return ERROR_SUCCESS;
}

}  // namespace

LSTATUS RegOpenKeyExA(HKEY key, const char* sub_key, uint32_t /*options*/, REGSAM sam_desired,
                      PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  ResolvedKey parent;
  LSTATUS status = Resolve(key, 0, &parent);
  if (status != ERROR_SUCCESS) return status;
  SettingsKey opened;
  if (!opened.Open(*parent.key, sub_key ? sub_key : "", &status)) return status;
  *result = Handles().Add(std::move(opened), sam_desired);
  return ERROR_SUCCESS;
}

LSTATUS RegCreateKeyExA(HKEY key, const char* sub_key, uint32_t reserved, const char* /*key_class*/,
                        uint32_t /*options*/, REGSAM sam_desired,
                        const void* /*security_attributes*/, PHKEY result, uint32_t* disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  if (!sub_key || reserved != 0) return ERROR_INVALID_PARAMETER;
  ResolvedKey parent;
  LSTATUS status = Resolve(key, sub_key[0] != '\0' ? KEY_CREATE_SUB_KEY : 0, &parent);
  if (status != ERROR_SUCCESS) return status;
  bool created = false;
  SettingsKey opened;
  if (!opened.Create(*parent.key, sub_key, &created, &status)) return status;
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  *result = Handles().Add(std::move(opened), sam_desired);
  return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExA(HKEY key, const char* value_name, uint32_t* reserved, uint32_t* type,
                         uint8_t* data, uint32_t* data_size) {
  if (reserved || (data && !data_size)) return ERROR_INVALID_PARAMETER;
  ResolvedKey target;
  const LSTATUS status = Resolve(key, KEY_QUERY_VALUE, &target);
  if (status != ERROR_SUCCESS) return status;
  return target.key->Store()->QueryValue(target.key->FilePath(), target.key->Path(),
                                         value_name ? value_name : "", type, data, data_size);
}

LSTATUS RegSetValueExA(HKEY key, const char* value_name, uint32_t reserved, uint32_t type,
                       const uint8_t* data, uint32_t data_size) {
  if (reserved != 0) return ERROR_INVALID_PARAMETER;
  ResolvedKey target;
  const LSTATUS status = Resolve(key, KEY_SET_VALUE, &target);
  if (status != ERROR_SUCCESS) return status;
  return target.key->Store()->SetValue(target.key->FilePath(), target.key->Path(),
                                       value_name ? value_name : "", type, data, data_size);
}

LSTATUS RegCloseKey(HKEY key) {
  if (key == HKEY_CURRENT_USER) return ERROR_SUCCESS;
  return Handles().Remove(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

}  // namespace vexcam::platform
