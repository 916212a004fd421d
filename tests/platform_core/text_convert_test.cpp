#include <gtest/gtest.h>

#include <locale.h>
#include <clocale>
#include <cwchar>
#include <string>

#include "platform/text_convert.h"

namespace vexcam {
namespace {

// Gives the test thread its own locale for the scope.
class ThreadLocale {
 public:
  explicit ThreadLocale(const char* name) : locale_(newlocale(LC_ALL_MASK, name, nullptr)) {
    if (locale_ != nullptr) previous_ = uselocale(locale_);
  }
  ~ThreadLocale() {
    if (locale_ == nullptr) return;
    uselocale(previous_);
    freelocale(locale_);
  }
  bool ok() const { return locale_ != nullptr; }

 private:
  locale_t locale_;
  locale_t previous_ = nullptr;
};

constexpr CodePage kThread = CodePage::kThreadAcp;
const char kUtf8[] =
    "Gr\xC3\xBC\xC3\x9F"
    "e \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80";
const wchar_t kWide[] = L"Gr\u00FC\u00DFe \u65E5\u672C \U0001F600";

TEST(TextConvert, Utf8RoundTripOfNonAsciiTextWithSizeQueries) {
  ThreadLocale utf8("C.UTF-8");
  ASSERT_TRUE(utf8.ok());
  const int wideNeeded = MultiByteToWide(kThread, kUtf8, -1, nullptr, 0);
  ASSERT_EQ(wideNeeded, static_cast<int>(std::wcslen(kWide)) + 1);
  wchar_t wide[64];
  ASSERT_EQ(MultiByteToWide(kThread, kUtf8, -1, wide, 64), wideNeeded);
  EXPECT_EQ(std::wstring(wide), kWide);

  const int bytesNeeded = WideToMultiByte(kThread, wide, -1, nullptr, 0);
  ASSERT_EQ(bytesNeeded, static_cast<int>(sizeof(kUtf8)));
  char bytes[64];
  ASSERT_EQ(WideToMultiByte(kThread, wide, -1, bytes, 64), bytesNeeded);
  EXPECT_STREQ(bytes, kUtf8);
}

TEST(TextConvert, AcpFollowsTheGlobalLocaleThreadAcpTheThreadLocale) {
  ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
  ThreadLocale c("C");  // glibc's C locale is ASCII only
  ASSERT_TRUE(c.ok());
  wchar_t wide[64];
  EXPECT_GT(MultiByteToWide(CodePage::kAcp, kUtf8, -1, wide, 64), 0);
  EXPECT_EQ(MultiByteToWide(kThread, kUtf8, -1, wide, 64), 0);
  // A character outside the encoding fails without a replacement character.
  char bytes[16] = "unchanged";
  EXPECT_EQ(WideToMultiByte(kThread, L"caf\u00E9", -1, bytes, 16), 0);
  EXPECT_STREQ(bytes, "unchanged");
  EXPECT_EQ(WideToMultiByte(kThread, L"cafe", -1, bytes, 16), 5);
  EXPECT_STREQ(bytes, "cafe");
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(MultiByteToWide(CodePage::kAcp, kUtf8, -1, wide, 64), 0);
}

TEST(TextConvert, InvalidInputOrShortDestinationFailsAndLeavesDestinationAlone) {
  ThreadLocale utf8("C.UTF-8");
  ASSERT_TRUE(utf8.ok());
  for (const char* bad :
       {"ab\xC3\x28", "ab\xE6\x97", "\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80"}) {
    wchar_t wide[8] = {L'x'};
    EXPECT_EQ(MultiByteToWide(kThread, bad, -1, wide, 8), 0) << bad;
    EXPECT_EQ(MultiByteToWide(kThread, bad, -1, nullptr, 0), 0) << bad;
    EXPECT_EQ(wide[0], L'x');
  }
  wchar_t cut[2];
  EXPECT_EQ(MultiByteToWide(kThread, "\xC3\xBC", 1, cut, 2), 0) << "length ends mid-character";
  char bytes[16];
  for (wchar_t bad : {static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0x110000)}) {
    const wchar_t text[] = {L'a', bad, 0};
    EXPECT_EQ(WideToMultiByte(kThread, text, -1, bytes, 16), 0);
  }
  EXPECT_EQ(MultiByteToWide(kThread, nullptr, -1, cut, 2), 0);
  EXPECT_EQ(MultiByteToWide(kThread, "a", 0, cut, 2), 0);
  EXPECT_EQ(MultiByteToWide(kThread, "a", -2, cut, 2), 0);
  EXPECT_EQ(WideToMultiByte(kThread, L"a", -1, bytes, -4), 0);
  // The destination size is exact; an explicit length keeps an embedded NUL.
  char hashes[8] = "#######";
  EXPECT_EQ(WideToMultiByte(kThread, L"\u00FC\u00FC", -1, hashes, 4), 0);
  EXPECT_STREQ(hashes, "#######");
  EXPECT_EQ(WideToMultiByte(kThread, L"\u00FC\u00FC", -1, hashes, 5), 5);

  wchar_t wide[4] = {L'#', L'#', L'#', L'#'};
  EXPECT_EQ(MultiByteToWide(kThread, "a\0\xC3\xBC!", 5, wide, 3), 0);
  EXPECT_EQ(wide[0], L'#');
  ASSERT_EQ(MultiByteToWide(kThread, "a\0\xC3\xBC!", 5, wide, 4), 4);
  EXPECT_EQ(std::wstring(wide, 4), std::wstring(L"a\0\u00FC!", 4));
}

}  // namespace
}  // namespace vexcam
