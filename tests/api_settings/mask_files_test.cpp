// Mask files and reference updates.
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "settings_fixture.h"

namespace settings_test {
namespace {

constexpr size_t kFileBytes = 1966120;
constexpr size_t kDark8 = 40, kWhite8 = 327720, kDark16 = 655400, kWhite16 = 1310760;

bool AllBytes(const std::vector<uint8_t>& f, size_t from, size_t to, uint8_t value) {
  return std::all_of(f.begin() + static_cast<long>(from), f.begin() + static_cast<long>(to),
                     [value](uint8_t b) { return b == value; });
}

// The initial references (black and white of both depths), the white 16-bit
// one replaced when asked.
void ExpectInitialReferences(const std::vector<uint8_t>& f, bool white16Replaced = false) {
  ASSERT_EQ(f.size(), kFileBytes);
  EXPECT_TRUE(AllBytes(f, kDark8, kWhite8, 0));
  EXPECT_TRUE(AllBytes(f, kWhite8, kDark16, 255));
  EXPECT_TRUE(AllBytes(f, kDark16, kWhite16, 0));
  EXPECT_EQ(AllBytes(f, kWhite16, kFileBytes, 0xFF), !white16Replaced);
}

void PutU32(std::vector<uint8_t>& f, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) f[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

class MaskFileTest : public SettingsTest {
 protected:
  // The current references, as a saved mask file.
  std::vector<uint8_t> Saved() {
    const std::string path = Path("current.msk");
    EXPECT_EQ(VexCam_SaveMaskFile(h_, path.c_str()), 1);
    return ReadFile(path);
  }
  // A valid mask file whose references all differ from the initial ones.
  std::vector<uint8_t> Distinctive() {
    std::vector<uint8_t> f = Saved();
    for (size_t i = kDark8; i < kFileBytes; ++i) f[i] = static_cast<uint8_t>(i * 7 + 3);
    return f;
  }
};

using vexcam::test::U32;

TEST_F(MaskFileTest, SaveAfterInitialisationWritesInitialReferences) {
  ASSERT_NE(Start(), 0u);
  const std::vector<uint8_t> f = Saved();
  ExpectInitialReferences(f);
  EXPECT_EQ(std::memcmp(f.data(), "QUORIN MASK1000\0", 16), 0);
  EXPECT_EQ(U32(f, 16), 640u);
  EXPECT_EQ(U32(f, 20), 512u);
  EXPECT_EQ(U32(f, 24), 0x50000u);
  EXPECT_EQ(U32(f, 28), 0x50000u);
  EXPECT_EQ(U32(f, 32), 0xA0000u);
  EXPECT_EQ(U32(f, 36), 0xA0000u);
  EXPECT_TRUE(Codes().empty());
}

// A good file loads (bytes after the last block ignored); bad ones change nothing.
TEST_F(MaskFileTest, BadFilesAreRefusedWith14AndChangeNothing) {
  ASSERT_NE(Start(), 0u);
  const std::string path = Path("in.msk");
  const std::vector<uint8_t> pattern = Distinctive();
  std::vector<uint8_t> longer = pattern;
  longer.resize(kFileBytes + 10, 0xAB);
  WriteFile(path, longer);
  ASSERT_EQ(VexCam_LoadMaskFile(h_, path.c_str()), 1);

  std::vector<std::pair<const char*, std::vector<uint8_t>>> bad;
  std::vector<uint8_t> f(kFileBytes, 0x11);
  std::memcpy(f.data(), pattern.data(), 40);
  bad.push_back({"width 320", f});
  PutU32(bad.back().second, 16, 320);
  bad.push_back({"block size", f});
  PutU32(bad.back().second, 32, 0x50000);
  bad.push_back({"magic", f});
  bad.back().second[3] = 'X';
  bad.push_back({"magic without terminator", f});
  bad.back().second[15] = 'Z';
  // Correct header, data cut short after 1000 bytes, or inside the last block.
  bad.push_back({"truncated 1000", std::vector<uint8_t>(f.begin(), f.begin() + 40 + 1000)});
  bad.push_back({"truncated last block", std::vector<uint8_t>(f.begin(), f.end() - 1)});
  bad.push_back({"header only", std::vector<uint8_t>(f.begin(), f.begin() + 40)});
  bad.push_back({"short header", std::vector<uint8_t>(f.begin(), f.begin() + 39)});
  bad.push_back({"empty", {}});
  for (const auto& [what, bytes] : bad) {
    WriteFile(path, bytes);
    SCOPED_TRACE(what);
    EXPECT_REFUSED(VexCam_LoadMaskFile(h_, path.c_str()), 14);
  }
  for (const std::string& name : {Path("missing.msk"), vexcam::test::ConfigHome(), std::string()}) {
    SCOPED_TRACE(name);
    EXPECT_REFUSED(VexCam_LoadMaskFile(h_, name.c_str()), 14);
  }
  EXPECT_TRUE(Saved() == pattern);
}

TEST_F(MaskFileTest, SaveFailuresRecord14AndLeaveNoPartialFile) {
  ASSERT_NE(Start(), 0u);
  EXPECT_REFUSED(VexCam_SaveMaskFile(h_, Path("no/such/dir.msk").c_str()), 14);
  EXPECT_REFUSED(VexCam_SaveMaskFile(h_, ""), 14);
  struct stat st {};
  if (stat("/dev/full", &st) == 0) {
    // Every write fails there; the device itself must survive.
    EXPECT_REFUSED(VexCam_SaveMaskFile(h_, "/dev/full"), 14);
    EXPECT_EQ(stat("/dev/full", &st), 0);
  }
}

TEST_F(MaskFileTest, WideNamesAndMissingArguments) {
  ASSERT_NE(Start(), 0u);
  const std::string path = Path("wide.msk");
  const std::wstring wide(path.begin(), path.end());
  ASSERT_EQ(VexCam_SaveMaskFileW(h_, wide.c_str()), 1);
  EXPECT_EQ(ReadFile(path).size(), kFileBytes);
  EXPECT_EQ(VexCam_LoadMaskFileW(h_, wide.c_str()), 1);
  EXPECT_TRUE(Codes().empty());

  // (Names too long to convert are SaveImage.RefusalsAndWriterFailures'.)
  const wchar_t unpaired[] = {L'm', static_cast<wchar_t>(0xDC00), 0};
  EXPECT_REFUSED(VexCam_SaveMaskFileW(h_, unpaired), 12);
  EXPECT_REFUSED(VexCam_LoadMaskFileW(h_, unpaired), 12);
  EXPECT_REFUSED(VexCam_SaveMaskFile(h_, nullptr), 9);
  EXPECT_REFUSED(VexCam_LoadMaskFile(h_, nullptr), 9);
  EXPECT_REFUSED(VexCam_SaveMaskFileW(h_, nullptr), 9);
  EXPECT_REFUSED(VexCam_LoadMaskFileW(h_, nullptr), 9);
}

using MaskUpdateTest = MaskFileTest;

// An unknown selector fails only on a full frame; before any frame nothing
// is copied and nothing fails.
TEST_F(MaskUpdateTest, WithoutAFrameOrWithABadSelectorNothingIsCopied) {
  ASSERT_NE(Start(), 0u);
  const std::vector<uint8_t> before = Saved();
  for (int which : {0, 1, 2, -1}) EXPECT_EQ(VexCam_UpdateMaskData(h_, which), 1) << which;
  // Capture mode sizes the images, but they hold no frame yet.
  ASSERT_EQ(VexCam_SetColorMode(h_, 8), 1);
  ASSERT_EQ(VexCam_Capture(h_), 1);
  for (int which : {0, 2}) EXPECT_EQ(VexCam_UpdateMaskData(h_, which), 1) << which;
  EXPECT_TRUE(Codes().empty());
  EXPECT_TRUE(Saved() == before);
  std::vector<BYTE> frame(640 * 512);
  ASSERT_EQ(VexCam_SnapShot(h_, frame.data(), static_cast<int>(frame.size()), 1), 1);
  for (int which : {2, -1}) EXPECT_REFUSED(VexCam_UpdateMaskData(h_, which), 12);
  EXPECT_TRUE(Saved() == before);
}

TEST_F(MaskUpdateTest, FullFrameReplacesTheReferenceOfItsDepth) {
  ASSERT_NE(Start(), 0u);
  ASSERT_EQ(VexCam_SetColorMode(h_, 48), 1);
  std::vector<BYTE> frame(640 * 512 * 6);
  ASSERT_EQ(VexCam_SnapShot(h_, frame.data(), static_cast<int>(frame.size()), 1), 1)
      << Codes().size();
  EXPECT_EQ(VexCam_UpdateMaskData(h_, 1), 1);
  ExpectInitialReferences(Saved(), true);
  EXPECT_TRUE(Codes().empty());
}

TEST_F(MaskUpdateTest, FrameOfASmallerWindowIsNotCopied) {
  WriteReg({{"Size_00", Preset(320, 240, 160, 136)}});
  ASSERT_NE(Start(), 0u);
  ASSERT_EQ(VexCam_SetColorMode(h_, 8), 1);
  ASSERT_EQ(VexCam_SetCaptureWindow(h_, 320, 240), 1);
  std::vector<BYTE> frame(640 * 512);
  ASSERT_EQ(VexCam_SnapShot(h_, frame.data(), static_cast<int>(frame.size()), 1), 1) << Codes()[0];
  ASSERT_EQ(VexCam_Width(h_), 320);
  const std::vector<uint8_t> before = Saved();
  EXPECT_EQ(VexCam_UpdateMaskData(h_, 0), 1);
  EXPECT_EQ(VexCam_UpdateMaskData(h_, 7), 1) << "another frame size never fails";
  EXPECT_TRUE(Saved() == before);
  EXPECT_TRUE(Codes().empty());
}

TEST_F(MaskUpdateTest, ReferencesAndListChangeWhilePreviewFiltersFrames) {
  ASSERT_NE(Start(), 0u);
  const std::string mask = Path("live.msk");
  const std::string list = Path("live.cfg");
  WriteFile(mask, Distinctive());
  WriteFile(list, {10, 0, 0, 0, 20, 0, 0, 0, 30, 0, 0, 0, 40, 0, 0, 0});
  ASSERT_EQ(VexCam_SetPreviewWindow(h_, nullptr, 0, 0, 0, 0), 1);
  ASSERT_EQ(VexCam_SetMaskFilter(h_, 1), 1);
  ASSERT_EQ(VexCam_SetDotFilter(h_, 1), 1);
  ASSERT_EQ(VexCam_SetConfigFilter(h_, 1), 1);
  ASSERT_EQ(VexCam_Preview(h_), 1) << Codes()[0];
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(VexCam_LoadMaskFile(h_, mask.c_str()), 1);
    EXPECT_EQ(VexCam_UpdateMaskData(h_, i & 1), 1);
    EXPECT_EQ(VexCam_LoadConfigFileA(h_, list.c_str()), 1);
  }
  EXPECT_EQ(VexCam_StopPreview(h_), 1);
  EXPECT_TRUE(Codes().empty());
}

}  // namespace
}  // namespace settings_test
