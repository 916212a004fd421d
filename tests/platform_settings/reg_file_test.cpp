#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/reg_file.h"
#include "platform/reg_types.h"
#include "settings_test_env.h"

namespace vexcam::platform {
namespace {

std::vector<uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

const RegTree::Value* ValueAt(const RegTree& tree, std::string_view key, std::string_view name) {
  const RegTree::Key* k = tree.Find(key);
  return k ? RegTree::FindValue(*k, name) : nullptr;
}

TEST(RegFile, FormatsRegistryExportText) {
  RegTree tree;
  RegTree::Key& key = tree.Create("Software\\Quorin");
  const uint8_t dword[] = {0x0a, 0, 0, 0};
  const uint8_t bin[] = {0x0a, 0xff};
  RegTree::SetValue(key, "Exposure", REG_DWORD, dword, 4);
  RegTree::SetValue(key, "Bin", REG_BINARY, bin, 2);
  RegTree::SetValue(key, "a\"b\\c", REG_SZ, reinterpret_cast<const uint8_t*>("x\\y"), 4);
  RegTree::SetValue(key, "", REG_DWORD, dword, 3);  // odd size: kept as hex(4)
  tree.Create("Software\\Quorin\\Empty");
  EXPECT_EQ(RegFile::Format(tree),
            "Windows Registry Editor Version 5.00\n\n"
            "[HKEY_CURRENT_USER\\Software]\n\n"
            "[HKEY_CURRENT_USER\\Software\\Quorin]\n"
            "\"Exposure\"=dword:0000000a\n"
            "\"Bin\"=hex:0a,ff\n"
            "\"a\\\"b\\\\c\"=\"x\\\\y\"\n"
            "@=hex(4):0a,00,00\n\n"
            "[HKEY_CURRENT_USER\\Software\\Quorin\\Empty]\n\n");
}

TEST(RegFile, LongValuesWrapAndEveryTypeRoundTrips) {
  std::mt19937 rng(7);
  std::vector<uint8_t> big(300);
  for (auto& b : big) b = static_cast<uint8_t>(rng());
  RegTree tree;
  RegTree::Key& key = tree.Create("K");
  RegTree::SetValue(key, "bin", REG_BINARY, big.data(), big.size());
  // A name longer than a line: the list starts on the next line.
  RegTree::SetValue(key, std::string(90, 'n'), REG_BINARY, big.data(), 30);
  RegTree::SetValue(key, "multi", REG_MULTI_SZ, big.data(), 41);
  RegTree::SetValue(key, "ctrl", REG_SZ, reinterpret_cast<const uint8_t*>("a\nb"), 4);
  RegTree::SetValue(key, "empty", REG_BINARY, nullptr, 0);
  RegTree::SetValue(key, "big type", 0x12345678, big.data(), 5);
  const std::string text = RegFile::Format(tree);

  std::istringstream lines(text);
  std::string line;
  int continued = 0;
  while (std::getline(lines, line)) {
    if (line.rfind("\"nnn", 0) == 0) continue;
    EXPECT_LE(line.size(), 80u) << line;
    continued += line.rfind("  ", 0) == 0;
  }
  EXPECT_GE(continued, 300 * 3 / 80);

  RegTree back;
  ASSERT_TRUE(RegFile::Parse(text, &back));
  ASSERT_NE(back.Find("k"), nullptr);
  ASSERT_EQ(back.Find("k")->values.size(), key.values.size());
  for (const RegTree::Value& v : key.values) {
    const RegTree::Value* got = ValueAt(back, "K", v.name);
    ASSERT_NE(got, nullptr) << v.name;
    EXPECT_EQ(got->type, v.type) << v.name;
    EXPECT_EQ(got->data, v.data) << v.name;
  }
}

TEST(RegFile, ReadsUtf16ExportWithForeignContent) {
  const std::u16string text =
      u"Windows Registry Editor Version 5.00\r\n\r\n"
      u"[HKEY_LOCAL_MACHINE\\Software\\Other]\r\n\"Skip\"=dword:00000001\r\n\r\n"
      u"; a comment\r\n"
      u"[HKEY_CURRENT_USER\\Software\\Quorin\\Cam]\r\n"
      u"@=\"default\"\r\n"
      u"\"Name\"=\"caf\u00e9 \\\"q\\\" C:\\\\dir\"\r\n"
      u"\"Path\"=hex(2):25,00,54,00,00,00\r\n"
      u"\"Long\"=hex:01,02,\\\r\n  03,04\r\n"
      u"\"Gone\"=-\r\n"
      u"\"Gain\"=DWORD:0000FFFF\r\n\r\n"
      u"[-HKEY_CURRENT_USER\\Software\\Deleted]\r\n\r\n"
      u"[HKEY_CLASSES_ROOT\\.x]\r\n@=\"y\"\r\n";
  RegTree tree;
  ASSERT_TRUE(RegFile::Parse(test::Utf16Le(text), &tree));
  EXPECT_EQ(tree.Find("Software\\Other"), nullptr);
  EXPECT_EQ(tree.Find("Software\\Deleted"), nullptr);
  ASSERT_NE(tree.Find("SOFTWARE\\QUORIN\\CAM"), nullptr);
  EXPECT_EQ(tree.Find("software\\quorin\\cam")->path, "Software\\Quorin\\Cam");
  EXPECT_EQ(ValueAt(tree, "Software\\Quorin\\Cam", "")->data,
            Bytes(std::string_view("default", 8)));
  EXPECT_EQ(ValueAt(tree, "Software\\Quorin\\Cam", "name")->data,
            Bytes(std::string_view("caf\xC3\xA9 \"q\" C:\\dir", 17)));
  EXPECT_EQ(ValueAt(tree, "Software\\Quorin\\Cam", "Path")->type, REG_EXPAND_SZ);
  EXPECT_EQ(ValueAt(tree, "Software\\Quorin\\Cam", "Long")->data,
            (std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(ValueAt(tree, "Software\\Quorin\\Cam", "Gone"), nullptr);
  EXPECT_EQ(ValueAt(tree, "Software\\Quorin\\Cam", "Gain")->data,
            (std::vector<uint8_t>{0xff, 0xff, 0, 0}));
}

TEST(RegFile, ReadsRegedit4AndUtf8WithMark) {
  RegTree old_tree;
  ASSERT_TRUE(RegFile::Parse("REGEDIT4\n\n[HKCU\\A]\n\"S\"=\"x\"\n\"D\"=dword:1\n", &old_tree));
  EXPECT_EQ(ValueAt(old_tree, "A", "D")->data, (std::vector<uint8_t>{1, 0, 0, 0}));
  RegTree bom_tree;
  ASSERT_TRUE(RegFile::Parse(
      "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\B]\r\n", &bom_tree));
  EXPECT_NE(bom_tree.Find("b"), nullptr);
}

TEST(RegFile, RejectsMalformedFiles) {
  const char* const bad[] = {
      "",
      "garbage\n",
      "Windows Registry Editor Version 4.00\n",
      "REGEDIT4\n\"V\"=dword:1\n",  // value before any section
      "REGEDIT4\n[HKCU\\A]\nnot a value\n",
      "REGEDIT4\n[HKCU\\A\n",
      "REGEDIT4\n[HKCU\\A\\\\B]\n",  // empty key name
      "REGEDIT4\n[HKCU\\A]\n\"V\"=dword:123456789\n",
      "REGEDIT4\n[HKCU\\A]\n\"V\"=hex:1,zz\n",
      "REGEDIT4\n[HKCU\\A]\n\"V\"=hex:100\n",
      "REGEDIT4\n[HKCU\\A]\n\"V\"=hex:01,,02\n",
      "REGEDIT4\n[HKCU\\A]\n\"V\"=hex:01,\\\n",  // continuation at end of file
      "REGEDIT4\n[HKCU\\A]\n\"V\"=\"open\n",
      "REGEDIT4\n[HKCU\\A]\n\"V\"=\"a\"b\n",
      "REGEDIT4\n[HKCU\\A]\n\"V\"dword:1\n",
      "REGEDIT4\n[HKCU\\A]\n\"V\"=qword:1\n",
      "REGEDIT4\n[HKCU\\A]\n\"V\"=hex(:00\n",
  };
  for (const char* text : bad) {
    RegTree tree;
    EXPECT_FALSE(RegFile::Parse(text, &tree)) << text;
  }
  RegTree tree;
  EXPECT_FALSE(RegFile::Parse(std::string("\xFF\xFEW\0x", 5), &tree));  // odd UTF-16 length
}

}  // namespace
}  // namespace vexcam::platform
