#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/settings_key.h"
#include "settings_test_env.h"

namespace vexcam::platform {
namespace {

constexpr const char* kCameraKey = "Software\\Quorin\\VexCamZA013K9Sdk\\VexCamZA01_00";

class SettingsStoreTest : public test::SettingsFolder {
 protected:
  void SetUp() override {
    SettingsFolder::SetUp();
    ASSERT_TRUE(root.OpenCurrentUser(store));
  }
  SettingsStore store;
  SettingsKey root;
  std::vector<std::string> FolderEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(Folder())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

// Dword values through the file are the API settings suites' (a new instance
// reads what a released one saved); here binary data, types and name case.
TEST_F(SettingsStoreTest, BinaryValuesRoundTripAndNamesKeepTheirFirstCase) {
  {
    SettingsKey key, gain;
    ASSERT_TRUE(key.Create(root, "Software\\Quorin"));
    ASSERT_TRUE(gain.Create(root, "SOFTWARE\\quorin\\Gain"));
    EXPECT_EQ(gain.Path(), "Software\\Quorin\\Gain");
    const double exposure_ex = 12.5;
    EXPECT_TRUE(gain.SetBinary("ExposureEx", &exposure_ex, sizeof exposure_ex));
    EXPECT_TRUE(gain.SetDword("Global", 1));
    EXPECT_TRUE(gain.SetDword("GLOBAL", 2));
  }
  // The file's layout is RegFile's; binary data goes in byte for byte.
  const std::string text = ReadBytes(File());
  EXPECT_NE(text.find("\"ExposureEx\"=hex:00,00,00,00,00,00,29,40\n"), std::string::npos);
  EXPECT_NE(text.find("\"Global\"=dword:00000002"), std::string::npos) << text;
  EXPECT_EQ(text.find("GLOBAL"), std::string::npos);
  SettingsStore other;
  SettingsKey other_root, gain;
  ASSERT_TRUE(other_root.OpenCurrentUser(other));
  ASSERT_TRUE(gain.Open(other_root, "software\\QUORIN\\gain"));
  uint32_t global = 0;
  EXPECT_TRUE(gain.QueryDword("gLoBaL", &global));
  EXPECT_EQ(global, 2u);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(gain.QueryBinary("ExposureEx", &bytes));
  double exposure_ex = 0;
  ASSERT_EQ(bytes.size(), sizeof exposure_ex);
  std::memcpy(&exposure_ex, bytes.data(), sizeof exposure_ex);
  EXPECT_EQ(exposure_ex, 12.5);
  EXPECT_FALSE(gain.QueryBinary("Global", &bytes));  // wrong type
  EXPECT_FALSE(gain.QueryDword("ExposureEx", &global));
}

TEST_F(SettingsStoreTest, CreateMakesIntermediateKeysAndBadNamesFail) {
  SettingsKey key;
  bool created = false;
  ASSERT_TRUE(key.Create(root, "A\\B\\C", &created));
  EXPECT_TRUE(created);
  ASSERT_TRUE(key.Create(root, "A\\B\\C", &created));
  EXPECT_FALSE(created);
  EXPECT_TRUE(key.Open(root, "A"));
  EXPECT_TRUE(key.Open(key, "B"));  // parent and result may be the same object
  EXPECT_EQ(key.Path(), "A\\B");
  for (const char* bad : {"\\A", "A\\\\B", "A\\", "A\nB"}) {
    EXPECT_FALSE(key.Create(root, bad)) << bad;
  }
  EXPECT_FALSE(key.Create(SettingsKey(), "X"));
  // The size rules are seen through tests/platform_settings/registry_calls_test.cpp;
  // these refusals are the store's own.
  ASSERT_TRUE(key.Create(root, "K"));
  const uint8_t six[] = {1, 2, 3, 4, 5, 6};
  uint8_t buffer[8] = {};
  EXPECT_EQ(store.QueryValue(key.FilePath(), "K", "V", nullptr, buffer, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(key.SetValue("V", REG_BINARY, nullptr, 3));
  EXPECT_FALSE(key.SetValue("bad\nname", REG_BINARY, six, 1));
}

TEST_F(SettingsStoreTest, QueriesDoNotWriteButSeeOtherWriters) {
  SettingsStore writer;
  SettingsKey key, writer_root, writer_key;
  ASSERT_TRUE(key.Create(root, "K"));
  ASSERT_TRUE(key.SetDword("V", 1));
  struct stat before {
  }, after{};
  ASSERT_EQ(stat(File().c_str(), &before), 0);
  uint32_t value = 0;
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(key.QueryDword("V", &value));
  EXPECT_TRUE(key.Create(root, "K"));  // already there: no rewrite either
  EXPECT_TRUE(key.SetDword("V", 1));   // same value
  ASSERT_EQ(stat(File().c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);
  EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);

  ASSERT_TRUE(writer_root.OpenCurrentUser(writer));
  ASSERT_TRUE(writer_key.Open(writer_root, "k"));
  ASSERT_TRUE(writer_key.SetDword("V", 2));
  EXPECT_TRUE(key.QueryDword("V", &value));
  EXPECT_EQ(value, 2u);
}

TEST_F(SettingsStoreTest, CorruptFileIsKeptAsideAndTheStoreStartsEmpty) {
  const std::string garbage = "this is not a settings file\n";
  WriteBytes(File(), garbage);
  SettingsKey key;
  EXPECT_FALSE(key.Open(root, "Software"));
  EXPECT_EQ(ReadBytes(File()), garbage);  // reading leaves it alone

  ASSERT_TRUE(key.Create(root, "Software"));
  ASSERT_TRUE(key.SetDword("New", 3));
  // A second bad file within the same second gets a counter suffix.
  WriteBytes(File(), "REGEDIT4\n[HKCU\\A]\nbroken\n");
  ASSERT_TRUE(key.SetDword("Again", 4));

  std::vector<std::string> aside;
  for (const std::string& name : FolderEntries()) {
    if (name.find(".corrupt-") != std::string::npos) aside.push_back(name);
  }
  ASSERT_EQ(aside.size(), 2u);
  const std::string contents0 = ReadBytes(Folder() + "/" + aside[0]);
  const std::string contents1 = ReadBytes(Folder() + "/" + aside[1]);
  EXPECT_TRUE((contents0 == garbage) != (contents1 == garbage));
  uint32_t value = 0;
  EXPECT_FALSE(key.QueryDword("New", &value));  // lost with the second corrupt file
  EXPECT_TRUE(key.QueryDword("Again", &value));
  EXPECT_EQ(value, 4u);
}

TEST_F(SettingsStoreTest, UnusableFolderFailsCleanly) {
  WriteBytes(home_ + "/Quorin", "a file where the folder should be");
  SettingsKey key;
  EXPECT_FALSE(key.Create(root, "A"));
  EXPECT_FALSE(key.Open(root, "A"));
}

TEST_F(SettingsStoreTest, RootFollowsTheEnvironmentAtEachOpen) {
  SettingsKey key;
  ASSERT_TRUE(root.OpenCurrentUser());
  EXPECT_EQ(root.FilePath(), File());
  ASSERT_TRUE(key.Create(root, "A"));
  const std::string elsewhere = home_ + "/other";
  setenv("XDG_CONFIG_HOME", elsewhere.c_str(), 1);
  ASSERT_TRUE(root.OpenCurrentUser());
  EXPECT_EQ(root.FilePath(), elsewhere + "/Quorin/VexCamZA013K9Sdk.reg");
  EXPECT_FALSE(key.Open(root, "A"));
}

// Writers in several processes and threads each set their own values in one
// key, many times; every value must survive.
TEST_F(SettingsStoreTest, ConcurrentWritersLoseNothing) {
  constexpr int kWrites = 60;
  // Two child processes, then two threads of this one.
  const std::vector<std::string> prefixes = {"P0_", "P1_", "T0_", "T1_"};
  auto writer = [](SettingsStore& store, const std::string& prefix) {
    SettingsKey root, key;
    bool ok = root.OpenCurrentUser(store) && key.Create(root, kCameraKey);
    for (int i = 0; ok && i < kWrites; ++i) {
      ok = key.SetDword(prefix + std::to_string(i), static_cast<uint32_t>(i)) &&
           key.SetDword(prefix + "Last", static_cast<uint32_t>(i));
    }
    return ok;
  };
  std::vector<pid_t> children;
  for (int p = 0; p < 2; ++p) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      SettingsStore store;
      _exit(writer(store, prefixes[p]) ? 0 : 1);
    }
    children.push_back(pid);
  }
  std::vector<std::thread> threads;
  std::vector<int> results(2, 0);
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back(
        [&, t] { results[t] = writer(SettingsStore::Default(), prefixes[2 + t]); });
  }
  for (auto& thread : threads) thread.join();
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (int ok : results) EXPECT_TRUE(ok);

  SettingsStore fresh;
  SettingsKey key;
  ASSERT_TRUE(root.OpenCurrentUser(fresh));
  ASSERT_TRUE(key.Open(root, kCameraKey));
  for (const std::string& prefix : prefixes) {
    for (int i = 0; i < kWrites; ++i) {
      uint32_t value = 0;
      ASSERT_TRUE(key.QueryDword(prefix + std::to_string(i), &value)) << prefix << i;
      EXPECT_EQ(value, static_cast<uint32_t>(i));
    }
    uint32_t last = 0;
    EXPECT_TRUE(key.QueryDword(prefix + "Last", &last));
    EXPECT_EQ(last, static_cast<uint32_t>(kWrites - 1));
  }
  EXPECT_EQ(FolderEntries(),
            (std::vector<std::string>{"VexCamZA013K9Sdk.reg", "VexCamZA013K9Sdk.reg.lock"}));
}

}  // namespace
}  // namespace vexcam::platform
