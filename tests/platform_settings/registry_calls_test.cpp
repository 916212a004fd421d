#include <gtest/gtest.h>

#include "platform/registry_calls.h"
#include "settings_test_env.h"

namespace vexcam::platform {
namespace {

// The calls as the instance makes them, and the file they leave, are covered
// by tests/api_settings; here the codes of everything else.
class RegistryCallsTest : public test::SettingsFolder {};

TEST_F(RegistryCallsTest, FailuresReportRegistryCodes) {
  HKEY key = reinterpret_cast<HKEY>(1);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Missing", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "A", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, nullptr, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "A\\\\B", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_INVALID_PARAMETER);

  uint32_t disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "A", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  HKEY again = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "a", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &again,
                            &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  EXPECT_EQ(RegCloseKey(again), ERROR_SUCCESS);

  // The size rules: a short buffer gets the size needed and nothing copied.
  const uint8_t data[6] = {1, 2, 3, 4, 5, 6};
  ASSERT_EQ(RegSetValueExA(key, "Bin", 0, REG_BINARY, data, sizeof data), ERROR_SUCCESS);
  uint8_t buffer[6] = {};
  uint32_t type = 0, size = 2;
  EXPECT_EQ(RegQueryValueExA(key, "Bin", nullptr, &type, buffer, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_EQ(buffer[0], 0);
  size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "Bin", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(RegQueryValueExA(key, "Bin", nullptr, nullptr, buffer, nullptr),
            ERROR_INVALID_PARAMETER);
  uint32_t reserved = 0;
  EXPECT_EQ(RegQueryValueExA(key, "Bin", &reserved, nullptr, nullptr, &size),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegQueryValueExA(key, "Nope", nullptr, &type, buffer, &size), ERROR_FILE_NOT_FOUND);

  // A handle opened for reading neither writes values nor creates subkeys.
  HKEY reader = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "A", 0, KEY_READ, &reader), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(reader, "Bin", 0, REG_BINARY, data, 1), ERROR_ACCESS_DENIED);
  HKEY sub = nullptr;
  EXPECT_EQ(RegCreateKeyExA(reader, "Sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
            ERROR_ACCESS_DENIED);
  // "" opens the same key again.
  ASSERT_EQ(RegOpenKeyExA(reader, "", 0, KEY_READ, &sub), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExA(sub, "Bin", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(sub), ERROR_SUCCESS);

  // Closed and made-up handles are recognised, never dereferenced.
  EXPECT_EQ(RegCloseKey(reader), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(reader), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegQueryValueExA(reader, "Bin", nullptr, nullptr, nullptr, &size),
            ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegSetValueExA(reinterpret_cast<HKEY>(0x1234), "X", 0, REG_BINARY, data, 1),
            ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

}  // namespace
}  // namespace vexcam::platform
