// The dialog module on its own, with stand-in hosts: what each dialog shows
// for what a camera offers, and what it asks the host to do.
#include <cmath>
#include <utility>
#include <vector>

#include "tests/dialogs/dialog_harness.h"

namespace vexcam::test {
namespace {

using dialogs::AnalogItem;
using dialogs::ImageItem;

class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    api_ = DialogModule();
    ASSERT_NE(api_, nullptr) << "the dialog module cannot be loaded or has no display";
    SetLanguage("C");
  }
  const dialogs::DialogApi* api_ = nullptr;
};

struct FakeCamera final : dialogs::ICameraDialogHost {
  dialogs::CameraCaps caps;
  dialogs::CameraKey stored;
  std::vector<std::vector<dialogs::SizePreset>> savedPresets;
  std::vector<dialogs::CameraKey> saved;
  dialogs::CameraCaps Caps() override { return caps; }
  bool ReadCameraKey(dialogs::CameraKey* v) override {
    *v = stored;
    return true;
  }
  void SaveCameraSettings(const dialogs::SizePreset* p, int n,
                          const dialogs::CameraKey& v) override {
    savedPresets.emplace_back(p, p + n);
    saved.push_back(v);
  }
};

TEST_F(ModuleTest, MonochromeCameraListsItsTwoModesAndShowsStoredColourAsSixteenBit) {
  FakeCamera host;
  host.caps = {true, true, false, true, true};
  host.stored = {1, 2, 0, 25, 0};
  WhenOpen([](QDialog& d) {
    auto* color = Find<QComboBox>(d, "1009");
    ASSERT_NE(color, nullptr);
    ASSERT_EQ(color->count(), 2);
    EXPECT_EQ(color->itemText(0), "Monochrome 8bit");
    EXPECT_EQ(color->currentText(), "Monochrome 16bit *");
    EXPECT_EQ(Find<QComboBox>(d, "1010")->currentText(), "320 x 240");
    EXPECT_EQ(Find<QLineEdit>(d, "1043")->text(), "160");
    EXPECT_FALSE(Find<QLineEdit>(d, "1043")->isEnabled());
    EXPECT_EQ(Find<QComboBox>(d, "1014")->currentText(), "High(9MHz)");
    EXPECT_FALSE(Find<QComboBox>(d, "1014")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>(d, "1002")->isEnabled());
    Find<QComboBox>(d, "1010")->setCurrentIndex(2);
    EXPECT_EQ(Find<QLineEdit>(d, "1041")->text(), "160");
    EXPECT_TRUE(Find<QPushButton>(d, "1002")->isEnabled());
    Click(d, "1");
  });
  EXPECT_EQ(api_->runCamera(&host, 0), dialogs::kClosedOk);
  ASSERT_EQ(host.saved.size(), 1u);
  EXPECT_EQ(host.saved[0].color, 1);
  EXPECT_EQ(host.saved[0].size, 2);
  EXPECT_EQ(host.saved[0].waitTime, 25);
  EXPECT_EQ(host.saved[0].clock, 2);
}

TEST_F(ModuleTest, CameraWithoutAWindowKeepsTheSizeListDisabled) {
  FakeCamera host;
  host.caps = {true, true, true, false, false};
  WhenOpen([](QDialog& d) {
    EXPECT_FALSE(Find<QComboBox>(d, "1010")->isEnabled());
    EXPECT_EQ(Find<QComboBox>(d, "1009")->count(), 6);
  });
  EXPECT_EQ(api_->runCamera(&host, 0), dialogs::kClosedCancel);
  EXPECT_TRUE(host.saved.empty());
}

struct FakeAnalog final : dialogs::IAnalogDialogHost {
  dialogs::AnalogValues values;
  dialogs::AnalogCamera camera;
  std::vector<std::pair<AnalogItem, int32_t>> sets;
  std::vector<double> exposureEx;
  int restored = 0;
  void Read(dialogs::AnalogValues* v, dialogs::AnalogCamera* c) override {
    *v = values;
    if (c != nullptr) *c = camera;
  }
  void Set(AnalogItem item, int32_t v) override { sets.emplace_back(item, v); }
  int32_t SetExposureTime(int32_t t) override { return values.exposureTime = t; }
  int32_t SetExposureTimeEx(double s) override {
    exposureEx.push_back(s);
    return static_cast<int32_t>(s * 10000);
  }
  void Commit(const dialogs::AnalogValues& v) override { values = v; }
  void Restore(const dialogs::AnalogValues&) override { ++restored; }
  void Watch(dialogs::IDialogView*) override {}
};

FakeAnalog ExtendedExposureCamera() {
  FakeAnalog host;
  host.camera.globalGain = {0, 255, 32};
  host.camera.colorGain = {0, 63, 16};
  host.camera.exposureTime = {1, 10000, 100};
  host.camera.exposureExSupported = true;
  host.camera.exposureExMin = 0.00001;
  host.camera.exposureExMax = 10.0;
  host.camera.exposureEx = 0.5;
  host.values.globalGain = 40;
  host.values.autoIris = 1;
  return host;
}

TEST_F(ModuleTest, ExtendedExposureOffersTheUnitsOfItsRangeAndTakesNumbersInTheChosenUnit) {
  FakeAnalog host = ExtendedExposureCamera();
  WhenOpen([](QDialog& d) {
    auto* units = Find<QComboBox>(d, "2132");
    ASSERT_NE(units, nullptr);
    // The range label names the first and last unit, the current one the middle.
    ASSERT_EQ(units->count(), 3);
    EXPECT_EQ(Find<QLabel>(d, "2133")->text(), QString::fromUtf8("range: 10\xCE\xBCs - 10sec"));
    // 0.5 s is shown in milliseconds.
    EXPECT_EQ(units->currentText(), "ms");
    EXPECT_EQ(Find<QLineEdit>(d, "2131")->text(), "500");
    EXPECT_TRUE(Find<QSlider>(d, "1026")->isHidden());
    EXPECT_TRUE(Find<QLabel>(d, "1049")->isHidden());
    Type(d, "2131", "2.5");
  });
  api_->runAnalog(&host, 0);
  ASSERT_FALSE(host.exposureEx.empty());
  EXPECT_NEAR(host.exposureEx.back(), 0.0025, 1e-12);
  EXPECT_EQ(host.restored, 1);  // closed without OK
}

TEST_F(ModuleTest, AutoIrisBoxesExcludeEachOther) {
  FakeAnalog host = ExtendedExposureCamera();
  WhenOpen([&](QDialog& d) {
    auto* gain = Find<QCheckBox>(d, "1036");
    auto* exposure = Find<QCheckBox>(d, "1037");
    EXPECT_TRUE(exposure->isChecked());  // stored mode 1
    gain->click();
    EXPECT_TRUE(gain->isChecked());
    EXPECT_FALSE(exposure->isChecked());
    ASSERT_FALSE(host.sets.empty());
    EXPECT_EQ(host.sets.back(), std::make_pair(AnalogItem::kAutoIris, 2));
    gain->click();
    EXPECT_EQ(host.sets.back(), std::make_pair(AnalogItem::kAutoIris, 0));
    exposure->click();
    EXPECT_EQ(host.sets.back(), std::make_pair(AnalogItem::kAutoIris, 1));
    // Page 110 controls only: no black level, Peltier or gain mode here.
    EXPECT_TRUE(Find<QSlider>(d, "2128")->isHidden());
    EXPECT_TRUE(Find<QCheckBox>(d, "2124")->isHidden());
    EXPECT_TRUE(Find<QComboBox>(d, "2126")->isHidden());
    EXPECT_FALSE(Find<QLineEdit>(d, "1015")->isEnabled());
    EXPECT_FALSE(Find<QSlider>(d, "1018")->isEnabled());
    Click(d, "1");
  });
  EXPECT_EQ(api_->runAnalog(&host, 0), dialogs::kClosedOk);
  EXPECT_EQ(host.values.autoIris, 1);
  EXPECT_EQ(host.restored, 0);
}

struct FakeImage final : dialogs::IImageDialogHost {
  dialogs::ImageValues values;
  std::vector<std::pair<ImageItem, int32_t>> sets;
  void Read(dialogs::ImageValues* v) override { *v = values; }
  void Set(ImageItem item, int32_t v) override { sets.emplace_back(item, v); }
  void Restore(const dialogs::ImageValues&) override {}
  void Watch(dialogs::IDialogView*) override {}
  bool Has(ImageItem item, int32_t v) const {
    for (const auto& s : sets)
      if (s.first == item && s.second == v) return true;
    return false;
  }
};

TEST_F(ModuleTest, OnceMeasuresOneFrameAndAllFramesKeepsMeasuring) {
  FakeImage color;
  color.values.colorMode = 2;
  color.values.whiteBalance = 1;  // measuring on every frame
  WhenOpen([&](QDialog& d) {
    auto* all = InPage<QCheckBox>(d, "107", "1035");
    EXPECT_TRUE(all->isChecked());
    Click(*Find<QWidget>(d, "107"), "2074");
    EXPECT_TRUE(color.Has(ImageItem::kWhiteBalanceOnce, 1));
    EXPECT_FALSE(all->isChecked());
    all->click();
    EXPECT_EQ(color.sets.back(), std::make_pair(ImageItem::kWhiteBalanceAll, 1));
  });
  api_->runImage(&color, 0);

  FakeImage mono;
  mono.values.colorMode = 0;
  WhenOpen([&](QDialog& d) {
    EXPECT_FALSE(InPage<QSlider>(d, "107", "2021")->isEnabled());  // hue
    EXPECT_TRUE(InPage<QSlider>(d, "107", "2081")->isEnabled());   // gamma
    EXPECT_FALSE(InPage<QPushButton>(d, "107", "2074")->isEnabled());
    Click(*Find<QWidget>(d, "112"), "2074");
    EXPECT_EQ(mono.sets.back(), std::make_pair(ImageItem::kGrayAutoRequest, 1));
    auto* all = InPage<QCheckBox>(d, "112", "1035");
    all->click();
    EXPECT_EQ(mono.sets.back(), std::make_pair(ImageItem::kGrayAutoRequest, -1));
    all->click();
    EXPECT_EQ(mono.sets.back(), std::make_pair(ImageItem::kGrayAutoRequest, 0));
    // A number past a slider's range is held at its end.
    Type(*Find<QWidget>(d, "107"), "2082", "900");
    EXPECT_EQ(mono.sets.back(), std::make_pair(ImageItem::kGamma, 200));
    EXPECT_EQ(InPage<QSlider>(d, "107", "2081")->value(), 200);
  });
  api_->runImage(&mono, 0);
}

}  // namespace
}  // namespace vexcam::test
