#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/registry_calls.h"
#include "settings_test_env.h"

namespace vexcam::platform {
namespace {

constexpr const char* kProductKey = "Software\\Quorin\\VexCamZA013K9Sdk";

class RegistryCallsTest : public test::SettingsFolder {};

TEST_F(RegistryCallsTest, CreateSetQueryAsTheInstanceDoes) {
  HKEY product = nullptr;
  uint32_t disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kProductKey, 0, "", REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &product, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  HKEY camera = nullptr;
  ASSERT_EQ(RegCreateKeyExA(product, "VexCamZA01_00", 0, "", REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &camera, &disposition),
            ERROR_SUCCESS);
  const uint32_t color = 2;
  EXPECT_EQ(
      RegSetValueExA(camera, "Color", 0, REG_DWORD, reinterpret_cast<const uint8_t*>(&color), 4),
      ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(camera), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(product), ERROR_SUCCESS);

  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kProductKey, 0, "", 0, KEY_ALL_ACCESS, nullptr,
                            &product, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  EXPECT_EQ(RegCloseKey(product), ERROR_SUCCESS);

  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "software\\quorin\\vexcamza013k9sdk\\VEXCAMZA01_00", 0,
                          KEY_READ, &camera),
            ERROR_SUCCESS);
  uint32_t type = 0, value = 0, size = sizeof value;
  EXPECT_EQ(
      RegQueryValueExA(camera, "color", nullptr, &type, reinterpret_cast<uint8_t*>(&value), &size),
      ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(value, 2u);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(RegCloseKey(camera), ERROR_SUCCESS);
  EXPECT_NE(ReadBytes(File()).find("\"Color\"=dword:00000002"), std::string::npos);
}

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

  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "A", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  const uint8_t data[6] = {1, 2, 3, 4, 5, 6};
  ASSERT_EQ(RegSetValueExA(key, "Bin", 0, REG_BINARY, data, sizeof data), ERROR_SUCCESS);
  uint8_t buffer[6] = {};
  uint32_t type = 0, size = 2;
  EXPECT_EQ(RegQueryValueExA(key, "Bin", nullptr, &type, buffer, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(type, REG_BINARY);
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

TEST_F(RegistryCallsTest, ReadsAnExportedUtf16File) {
  const std::u16string text =
      u"Windows Registry Editor Version 5.00\r\n\r\n"
      u"[HKEY_CURRENT_USER\\Software\\Quorin\\VexCamZA013K9Sdk\\VexCamZA01_00\\Filter]\r\n"
      u"\"Gamma\"=dword:00000078\r\n"
      u"\"Note\"=\"kept\"\r\n\r\n";
  WriteBytes(File(), test::Utf16Le(text));
  HKEY filter = nullptr;
  ASSERT_EQ(
      RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Quorin\\VexCamZA013K9Sdk\\VexCamZA01_00\\Filter",
                    0, KEY_ALL_ACCESS, &filter),
      ERROR_SUCCESS);
  uint32_t gamma = 0, size = 4;
  EXPECT_EQ(RegQueryValueExA(filter, "Gamma", nullptr, nullptr, reinterpret_cast<uint8_t*>(&gamma),
                             &size),
            ERROR_SUCCESS);
  EXPECT_EQ(gamma, 120u);
  // Writing converts the file to UTF-8 and keeps the string value.
  const uint32_t hue = 5;
  ASSERT_EQ(RegSetValueExA(filter, "Hue", 0, REG_DWORD, reinterpret_cast<const uint8_t*>(&hue), 4),
            ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(filter), ERROR_SUCCESS);
  const std::string after = ReadBytes(File());
  EXPECT_EQ(after.rfind("Windows Registry Editor Version 5.00\n", 0), 0u);
  EXPECT_NE(after.find("\"Note\"=\"kept\"\n"), std::string::npos) << after;
  EXPECT_NE(after.find("\"Hue\"=dword:00000005\n"), std::string::npos) << after;
}

}  // namespace
}  // namespace vexcam::platform
