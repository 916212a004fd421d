#pragma once

#include <cstdint>

#include "platform/reg_types.h"

// The five registry calls the instance's settings code is written against,
// working on the process's SettingsStore. Handles are made-up numbers, never
// dereferenced and never reused, so a closed or foreign handle fails with
// ERROR_INVALID_HANDLE instead of touching freed memory. Access rights are
// checked: queries need KEY_QUERY_VALUE, writes KEY_SET_VALUE, creating a
// subkey KEY_CREATE_SUB_KEY on the parent. Volatile keys, security attributes
// and classes are not supported and are ignored.
namespace vexcam::platform {

struct HKEY__ {
  int unused;
};
using HKEY = HKEY__*;
using PHKEY = HKEY*;

namespace detail {
inline HKEY__ current_user_root{};
}  // namespace detail

// The root of the settings; never needs closing (closing it is harmless).
inline constexpr HKEY HKEY_CURRENT_USER = &detail::current_user_root;

LSTATUS RegOpenKeyExA(HKEY key, const char* sub_key, uint32_t options, REGSAM sam_desired,
                      PHKEY result);
LSTATUS RegCreateKeyExA(HKEY key, const char* sub_key, uint32_t reserved, const char* key_class,
                        uint32_t options, REGSAM sam_desired, const void* security_attributes,
                        PHKEY result, uint32_t* disposition);
LSTATUS RegQueryValueExA(HKEY key, const char* value_name, uint32_t* reserved, uint32_t* type,
                         uint8_t* data, uint32_t* data_size);
LSTATUS RegSetValueExA(HKEY key, const char* value_name, uint32_t reserved, uint32_t type,
                       const uint8_t* data, uint32_t data_size);
LSTATUS RegCloseKey(HKEY key);

}  // namespace vexcam::platform
