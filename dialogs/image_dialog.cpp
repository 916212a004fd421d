// The image dialog: the tab "Image Filter" and, in the monochrome colour
// modes, the tab "Gray Filter". The controls write the instance's image
// settings directly, so a running preview shows each change; Cancel puts
// back the values of the opening. White-balance and gray-gain measurements
// on the capture thread refresh the sliders.
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMetaObject>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <memory>
#include <vector>

#include "dialogs/dialog_widgets.h"

namespace vexcam::dialogs {

namespace {

struct ImageRowSpec {
  const char* label;
  const char *track, *edit, *upDown;
  int minimum, maximum, tick;
  ImageItem item;
};

const ImageRowSpec kImageRows[9] = {
    {"&Brightness", "2001", "2002", "2004", -255, 255, 64, ImageItem::kBrightness},
    {"&Contrast", "2011", "2012", "2014", -127, 127, 32, ImageItem::kContrast},
    {"&Hue", "2021", "2022", "2024", -360, 360, 90, ImageItem::kHue},
    {"&Saturation", "2031", "2032", "2034", -255, 255, 64, ImageItem::kSaturation},
    {"Shar&pness", "2041", "2042", "2044", 0, 30, 4, ImageItem::kSharpness},
    {"&R Gain", "2051", "2052", "2054", 0, 400, 32, ImageItem::kGainRed},
    {"&G Gain", "2061", "2062", "2063", 0, 400, 32, ImageItem::kGainGreen},
    {"&B Gain", "2071", "2072", "2073", 0, 400, 32, ImageItem::kGainBlue},
    {"&Gamma", "2081", "2082", "2084", 0, 200, 32, ImageItem::kGamma},
};
// Rows of the image page that monochrome modes leave enabled.
constexpr bool kMonoEnabled[9] = {true, true, false, false, true, false, false, false, true};

const ImageRowSpec kGrayRows[8] = {
    {"Red", "2100", "2101", "2102", 0, 400, 32, ImageItem::kGrayGainRed},
    {"Green1", "2103", "2104", "2105", 0, 400, 32, ImageItem::kGrayGainGreen1},
    {"Green2", "2106", "2107", "2108", 0, 400, 32, ImageItem::kGrayGainGreen2},
    {"Blue", "2109", "2110", "2111", 0, 400, 32, ImageItem::kGrayGainBlue},
    {"Red", "2112", "2113", "2114", -255, 255, 32, ImageItem::kGrayOffsetRed},
    {"Green1", "2115", "2116", "2117", -255, 255, 32, ImageItem::kGrayOffsetGreen1},
    {"Green2", "2118", "2119", "2120", -255, 255, 32, ImageItem::kGrayOffsetGreen2},
    {"Blue", "2121", "2122", "2123", -255, 255, 32, ImageItem::kGrayOffsetBlue},
};

int32_t* ImageField(ImageValues& v, int row) {
  int32_t* fields[9] = {&v.brightness, &v.contrast,  &v.hue,      &v.saturation, &v.sharpness,
                        &v.gainRed,    &v.gainGreen, &v.gainBlue, &v.gamma};
  return fields[row];
}
int32_t* GrayField(ImageValues& v, int row) {
  return row < 4 ? &v.grayGain[row] : &v.grayOffset[row - 4];
}

class ImageDialog;

using ImageView = RefreshView<ImageDialog>;

// One page's "Bayer Mode" radio buttons 1030 .. 1033.
struct BayerButtons {
  QButtonGroup* group = nullptr;
  QGroupBox* box = nullptr;
};

class ImageDialog {
 public:
  explicit ImageDialog(IImageDialogHost& host) : host_(host), view_(&dialog_, this) { Build(); }
  ~ImageDialog() { host_.Watch(nullptr); }

  int Exec(unsigned long parentXid) {
    return RunWatched(host_, &view_, dialog_, saved_, parentXid);
  }

  // On the dialog's thread: measured values arrived.
  void Refresh() {
    ImageValues v;
    host_.Read(&v);
    ShowValues(v);
  }

 private:
  void Build() {
    host_.Read(&saved_);
    mono_ = saved_.colorMode == 0 || saved_.colorMode == 1;
    dialog_.setObjectName(QStringLiteral("ImageDialog"));
    dialog_.setWindowTitle(Tr("Property"));
    auto* outer = new QVBoxLayout(&dialog_);
    tabs_ = new QTabWidget(&dialog_);
    outer->addWidget(tabs_);
    BuildImagePage();
    if (mono_) BuildGrayPage();
    QPushButton* defaults = nullptr;
    outer->addWidget(MakeButtons(&dialog_, Tr("Default(&D)"), "3", &defaults));
    QObject::connect(dialog_.findChild<QPushButton*>(QStringLiteral("1")), &QPushButton::clicked,
                     &dialog_, [this] {
                       ReadBack();
                       dialog_.accept();
                     });
    QObject::connect(defaults, &QPushButton::clicked, &dialog_, [this] { Defaults(); });
    ShowValues(saved_);
    for (auto& row : rows_) row->live = true;
    for (auto& row : grayRows_) row->live = true;
  }

  BayerButtons MakeBayerButtons(QWidget* page) {
    BayerButtons b;
    b.box = new QGroupBox(Tr("Bayer Mode"), page);
    auto* layout = new QHBoxLayout(b.box);
    b.group = new QButtonGroup(b.box);
    for (int mode = 0; mode < 4; ++mode) {
      auto* r = new QRadioButton(QString::number(mode), b.box);
      r->setObjectName(QString::number(1030 + mode));
      b.group->addButton(r, mode);
      layout->addWidget(r);
    }
    QObject::connect(b.group, &QButtonGroup::idToggled, b.box, [this](int mode, bool on) {
      if (!on) return;
      host_.Set(ImageItem::kBayerMode, mode);
      ShowBayerMode(mode);
    });
    return b;
  }

  void BuildImagePage() {
    auto* page = new QWidget(tabs_);
    page->setObjectName(QStringLiteral("107"));
    tabs_->addTab(page, Tr("Image Filter"));
    auto* layout = new QVBoxLayout(page);
    auto* grid = new QGridLayout;
    layout->addLayout(grid);
    for (int i = 0; i < 9; ++i) {
      const ImageRowSpec& s = kImageRows[i];
      auto row = std::make_unique<SliderRow>(grid, i, Tr(s.label), s.track, s.edit, s.upDown);
      row->onChange = [this, item = s.item](int v) { host_.Set(item, v); };
      rows_.push_back(std::move(row));
    }
    auto* bottom = new QHBoxLayout;
    imageBayer_ = MakeBayerButtons(page);
    bottom->addWidget(imageBayer_.box);
    auto* wb = new QGroupBox(Tr("Auto white balance"), page);
    auto* wbLayout = new QHBoxLayout(wb);
    auto* once = new QPushButton(Tr("Once"), wb);
    once->setObjectName(QStringLiteral("2074"));
    once->setAutoDefault(false);
    wbAll_ = new QCheckBox(Tr("All frames"), wb);
    wbAll_->setObjectName(QStringLiteral("1035"));
    wbLayout->addWidget(once);
    wbLayout->addWidget(wbAll_);
    bottom->addWidget(wb);
    layout->addLayout(bottom);
    QObject::connect(once, &QPushButton::clicked, wb, [this] {
      host_.Set(ImageItem::kWhiteBalanceOnce, 1);
      Quiet q(wbAll_);
      wbAll_->setChecked(false);
    });
    QObject::connect(wbAll_, &QCheckBox::toggled, wb,
                     [this](bool on) { host_.Set(ImageItem::kWhiteBalanceAll, on ? 1 : 0); });
    for (int i = 0; i < 9; ++i)
      rows_[static_cast<size_t>(i)]->Setup(kImageRows[i].minimum, kImageRows[i].maximum,
                                           kImageRows[i].tick, 0, !mono_ || kMonoEnabled[i]);
    if (mono_) {
      imageBayer_.box->setEnabled(false);
      wb->setEnabled(false);
    }
  }

  void BuildGrayPage() {
    auto* page = new QWidget(tabs_);
    page->setObjectName(QStringLiteral("112"));
    tabs_->addTab(page, Tr("Gray Filter"));
    auto* layout = new QVBoxLayout(page);
    auto* sliders = new QHBoxLayout;
    layout->addLayout(sliders);
    for (int half = 0; half < 2; ++half) {
      auto* box = new QGroupBox(half == 0 ? Tr("Gain") : Tr("Offset"), page);
      auto* grid = new QGridLayout(box);
      sliders->addWidget(box);
      for (int i = 0; i < 4; ++i) {
        const ImageRowSpec& s = kGrayRows[half * 4 + i];
        auto row = std::make_unique<SliderRow>(grid, i, Tr(s.label), s.track, s.edit, s.upDown);
        row->slider->setMinimumWidth(120);
        row->onChange = [this, item = s.item](int v) { host_.Set(item, v); };
        row->Setup(s.minimum, s.maximum, s.tick, 0, true);
        grayRows_.push_back(std::move(row));
      }
    }
    auto* bottom = new QHBoxLayout;
    auto* filter = new QGroupBox(Tr("Filter mode"), page);
    auto* filterLayout = new QVBoxLayout(filter);
    grayMode_ = new QButtonGroup(filter);
    const char* modes[3] = {"Bayer", "Bayer convert", "Grayscale"};
    for (int m = 0; m < 3; ++m) {
      auto* r = new QRadioButton(Tr(modes[m]), filter);
      r->setObjectName(QString::number(1046 + m));
      grayMode_->addButton(r, m);
      filterLayout->addWidget(r);
    }
    QObject::connect(grayMode_, &QButtonGroup::idToggled, filter, [this](int mode, bool on) {
      if (on) host_.Set(ImageItem::kGrayMode, mode);
    });
    bottom->addWidget(filter);
    auto* gain = new QGroupBox(Tr("Auto Gain"), page);
    auto* gainLayout = new QHBoxLayout(gain);
    auto* once = new QPushButton(Tr("Once"), gain);
    once->setObjectName(QStringLiteral("2074"));
    once->setAutoDefault(false);
    grayAll_ = new QCheckBox(Tr("All frames"), gain);
    grayAll_->setObjectName(QStringLiteral("1035"));
    gainLayout->addWidget(once);
    gainLayout->addWidget(grayAll_);
    bottom->addWidget(gain);
    grayBayer_ = MakeBayerButtons(page);
    bottom->addWidget(grayBayer_.box);
    layout->addLayout(bottom);
    QObject::connect(once, &QPushButton::clicked, gain,
                     [this] { host_.Set(ImageItem::kGrayAutoRequest, 1); });
    QObject::connect(grayAll_, &QCheckBox::toggled, gain,
                     [this](bool on) { host_.Set(ImageItem::kGrayAutoRequest, on ? -1 : 0); });
  }

  void ShowBayerMode(int mode) {
    for (BayerButtons* b : {&imageBayer_, &grayBayer_}) {
      if (b->group == nullptr) continue;
      Quiet q(b->group);
      if (QAbstractButton* r = b->group->button(mode)) r->setChecked(true);
    }
  }

  void ShowValues(ImageValues v) {
    for (int i = 0; i < 9; ++i) rows_[static_cast<size_t>(i)]->Show(*ImageField(v, i));
    for (size_t i = 0; i < grayRows_.size(); ++i)
      grayRows_[i]->Show(*GrayField(v, static_cast<int>(i)));
    ShowBayerMode(v.bayerMode);
    {
      Quiet q(wbAll_);
      wbAll_->setChecked(v.whiteBalance != 0 && v.whiteBalanceOnce1 == 0);
    }
    if (grayMode_ != nullptr) {
      Quiet q(grayMode_);
      if (QAbstractButton* r = grayMode_->button(v.grayMode)) r->setChecked(true);
      Quiet qa(grayAll_);
      grayAll_->setChecked(v.grayAutoRequest < 0);
    }
  }

  void Defaults() {
    const ImageItem zero[5] = {ImageItem::kBrightness, ImageItem::kContrast, ImageItem::kHue,
                               ImageItem::kSaturation, ImageItem::kSharpness};
    for (ImageItem item : zero) host_.Set(item, 0);
    for (ImageItem item :
         {ImageItem::kGainRed, ImageItem::kGainGreen, ImageItem::kGainBlue, ImageItem::kGamma})
      host_.Set(item, 100);
    host_.Set(ImageItem::kBayerMode, 0);
    if (mono_) {
      for (const ImageRowSpec& s : kGrayRows) host_.Set(s.item, 128);
    }
    Refresh();
  }

  // OK: every edit of both pages and the Bayer Mode buttons into the
  // settings (those of the page where they can be used).
  void ReadBack() {
    int v = 0;
    for (int i = 0; i < 9; ++i) {
      if (rows_[static_cast<size_t>(i)]->Read(&v)) host_.Set(kImageRows[i].item, v);
    }
    for (size_t i = 0; i < grayRows_.size(); ++i) {
      if (grayRows_[i]->Read(&v)) host_.Set(kGrayRows[i].item, v);
    }
    const BayerButtons& b = mono_ ? grayBayer_ : imageBayer_;
    if (b.group->checkedId() >= 0) host_.Set(ImageItem::kBayerMode, b.group->checkedId());
  }

  IImageDialogHost& host_;
  // Before the dialog: the rows' handlers must outlive its widgets.
  std::vector<std::unique_ptr<SliderRow>> rows_;
  std::vector<std::unique_ptr<SliderRow>> grayRows_;
  QDialog dialog_;
  ImageView view_;
  ImageValues saved_;
  bool mono_ = false;
  QTabWidget* tabs_ = nullptr;
  BayerButtons imageBayer_;
  BayerButtons grayBayer_;
  QCheckBox* wbAll_ = nullptr;
  QCheckBox* grayAll_ = nullptr;
  QButtonGroup* grayMode_ = nullptr;
};

}  // namespace

int ExecImageDialog(IImageDialogHost& host, unsigned long parentXid) {
  ImageDialog dialog(host);
  return dialog.Exec(parentXid);
}

}  // namespace vexcam::dialogs
