// The analog dialog: one tab "Analog Gain". Every change goes to the camera
// at once through the host; Cancel puts back the values of the opening.
// Auto iris running on the capture thread refreshes the gain or exposure.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMetaObject>
#include <QPointer>
#include <QTabWidget>
#include <QVBoxLayout>

#include <cmath>
#include <memory>
#include <vector>

#include "dialogs/dialog_widgets.h"

namespace vexcam::dialogs {

namespace {

// Units of the extended exposure time: text and factor from seconds.
struct ExposureUnit {
  const char* text;
  double factor;
};
const ExposureUnit kUnits[4] = {{"ns", 1e9}, {"\xCE\xBCs", 1e6}, {"ms", 1e3}, {"sec", 1.0}};

int UnitOf(double seconds) {
  if (seconds > 1.0) return 3;
  if (seconds >= 0.001) return 2;
  if (seconds >= 0.000001) return 1;
  return 0;
}

QString UnitText(int unit) { return QString::fromUtf8(kUnits[unit].text); }

// Integer part of a value in a unit; products such as 1e-5 * 1e6 land a hair
// below the whole number they stand for.
long long Whole(double v) {
  return static_cast<long long>(std::trunc(v + 1e-9 * std::fmax(1.0, std::fabs(v))));
}

QString NumberText(double v) {
  const double fraction = v - std::trunc(v);
  if (fraction >= 0.001) return QString::asprintf("%.3f", v);
  if (fraction >= 0.000001) return QString::asprintf("%.6f", v);
  return QString::number(Whole(v));
}

class AnalogDialog;

using AnalogView = RefreshView<AnalogDialog>;

class AnalogDialog {
 public:
  explicit AnalogDialog(IAnalogDialogHost& host) : host_(host), view_(&dialog_, this) { Build(); }
  ~AnalogDialog() { host_.Watch(nullptr); }

  int Exec(unsigned long parentXid) {
    return RunWatched(host_, &view_, dialog_, saved_, parentXid);
  }

  // On the dialog's thread: the settings auto iris changed.
  void Refresh() {
    AnalogValues v;
    host_.Read(&v, nullptr);
    values_.globalGain = v.globalGain;
    values_.exposureTime = v.exposureTime;
    values_.exposureTimeEx = v.exposureTimeEx;
    rows_[0]->Show(v.globalGain);
    rows_[5]->Show(v.exposureTime);
    ShowMilliseconds();
  }

 private:
  // The extended exposure: number, unit and range.
  QHBoxLayout* BuildExposureEx(QWidget* page) {
    auto* exRow = new QHBoxLayout;
    exLabel_ = new QLabel(Tr("ExposureEx"), page);
    exLabel_->setObjectName(QStringLiteral("2134"));
    exEdit_ = new QLineEdit(page);
    exEdit_->setObjectName(QStringLiteral("2131"));
    exEdit_->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]*\\.?[0-9]*")), exEdit_));
    exUnit_ = new QComboBox(page);
    exUnit_->setObjectName(QStringLiteral("2132"));
    exRange_ = new QLabel(Tr("range"), page);
    exRange_->setObjectName(QStringLiteral("2133"));
    exRow->addWidget(exLabel_);
    exRow->addWidget(exEdit_);
    exRow->addWidget(exUnit_);
    exRow->addWidget(exRange_, 1);
    return exRow;
  }

  // Auto iris and the mirror boxes.
  QHBoxLayout* BuildChecks(QWidget* page) {
    auto* checks = new QHBoxLayout;
    auto* iris = new QGroupBox(Tr("Auto Iris"), page);
    auto* irisLayout = new QHBoxLayout(iris);
    irisGain_ = new QCheckBox(Tr("Gain"), iris);
    irisGain_->setObjectName(QStringLiteral("1036"));
    irisExposure_ = new QCheckBox(Tr("Exposure"), iris);
    irisExposure_->setObjectName(QStringLiteral("1037"));
    irisLayout->addWidget(irisGain_);
    irisLayout->addWidget(irisExposure_);
    checks->addWidget(iris);
    mirrorV_ = new QCheckBox(Tr("Mirror V"), page);
    mirrorV_->setObjectName(QStringLiteral("1028"));
    mirrorH_ = new QCheckBox(Tr("Mirror H"), page);
    mirrorH_->setObjectName(QStringLiteral("1029"));
    checks->addWidget(mirrorV_);
    checks->addWidget(mirrorH_);
    return checks;
  }

  // Peltier, short exposure and gain mode.
  QHBoxLayout* BuildExtras(QWidget* page) {
    auto* extras = new QHBoxLayout;
    peltier_ = new QCheckBox(Tr("Peltier"), page);
    peltier_->setObjectName(QStringLiteral("2124"));
    shortExposure_ = new QCheckBox(Tr("Short exposure mode"), page);
    shortExposure_->setObjectName(QStringLiteral("2125"));
    gainMode_ = new QComboBox(page);
    gainMode_->setObjectName(QStringLiteral("2126"));
    extras->addWidget(peltier_);
    extras->addWidget(shortExposure_);
    extras->addWidget(gainMode_);
    extras->addStretch(1);
    return extras;
  }

  void Build() {
    host_.Read(&saved_, &camera_);
    values_ = saved_;
    dialog_.setObjectName(QStringLiteral("AnalogDialog"));
    dialog_.setWindowTitle(Tr("Property"));
    auto* outer = new QVBoxLayout(&dialog_);
    auto* tabs = new QTabWidget(&dialog_);
    outer->addWidget(tabs);
    const bool page117 = camera_.blackLevelSupported || camera_.peltierSupported ||
                         camera_.autoCorrectionSupported || camera_.correctionModeSupported;
    auto* page = new QWidget(tabs);
    page->setObjectName(page117 ? QStringLiteral("117") : QStringLiteral("110"));
    tabs->addTab(page, Tr("Analog Gain"));
    auto* pageLayout = new QVBoxLayout(page);
    auto* grid = new QGridLayout;
    pageLayout->addLayout(grid);

    struct RowSpec {
      const char* label;
      const char *track, *upDown, *edit;
    };
    const RowSpec specs[7] = {
        {"&Global Gain", "1013", "1038", "1015"},   {"&Color Gain G1", "1018", "1039", "1019"},
        {"&Color Gain R", "1020", "1040", "1021"},  {"&Color Gain B", "1022", "1041", "1023"},
        {"&Color Gain G2", "1024", "1042", "1025"}, {"&Exposure", "1026", "1043", "1027"},
        {"&Black Level", "2128", "2130", "2129"},
    };
    for (int i = 0; i < 7; ++i) {
      rows_.push_back(std::make_unique<SliderRow>(grid, i, Tr(specs[i].label), specs[i].track,
                                                  specs[i].edit, specs[i].upDown));
    }
    rows_[5]->label->setObjectName(QStringLiteral("2135"));
    milliseconds_ = new QLabel(page);
    milliseconds_->setObjectName(QStringLiteral("1049"));
    grid->addWidget(milliseconds_, 5, 4);

    pageLayout->addLayout(BuildExposureEx(page));
    pageLayout->addLayout(BuildChecks(page));
    pageLayout->addLayout(BuildExtras(page));

    QPushButton* defaults = nullptr;
    outer->addWidget(MakeButtons(&dialog_, Tr("Default(&D)"), "3", &defaults));
    QObject::connect(dialog_.findChild<QPushButton*>(QStringLiteral("1")), &QPushButton::clicked,
                     &dialog_, [this] {
                       ReadBack();
                       dialog_.accept();
                     });
    QObject::connect(defaults, &QPushButton::clicked, &dialog_, [this] { Defaults(); });

    Open();
    Connect();
  }

  // Sets the page up from the settings and the camera.
  void Open() {
    const AnalogCamera& c = camera_;
    auto tick = [](const ValueRange& r) { return (r.maximum - r.minimum) / 8; };
    rows_[0]->Setup(c.globalGain.minimum, c.globalGain.maximum, tick(c.globalGain),
                    values_.globalGain, true);
    const int32_t colors[4] = {values_.colorGainGreen1, values_.colorGainRed, values_.colorGainBlue,
                               values_.colorGainGreen2};
    for (int i = 0; i < 4; ++i) {
      rows_[1 + i]->Setup(c.colorGain.minimum, c.colorGain.maximum, tick(c.colorGain), colors[i],
                          false);
    }
    rows_[5]->Setup(c.exposureTime.minimum, c.exposureTime.maximum, tick(c.exposureTime),
                    values_.exposureTime, true);
    {
      Quiet qv(mirrorV_);
      Quiet qh(mirrorH_);
      mirrorV_->setChecked(values_.mirrorV != 0);
      mirrorH_->setChecked(values_.mirrorH != 0);
    }

    if (c.exposureExSupported) {
      const int first = UnitOf(c.exposureExMin);
      const int last = UnitOf(c.exposureExMax);
      {
        Quiet q(exUnit_);
        exUnit_->clear();
        for (int u = first; u <= last; ++u) exUnit_->addItem(UnitText(u), u);
      }
      ShowExposureEx(c.exposureEx);
      exRange_->setText(QStringLiteral("range: %1%2 - %3%4")
                            .arg(Whole(c.exposureExMin * kUnits[first].factor))
                            .arg(UnitText(first))
                            .arg(Whole(c.exposureExMax * kUnits[last].factor))
                            .arg(UnitText(last)));
      rows_[5]->SetVisible(false);
      milliseconds_->setVisible(false);
    } else {
      for (QWidget* w : {static_cast<QWidget*>(exLabel_), static_cast<QWidget*>(exEdit_),
                         static_cast<QWidget*>(exUnit_), static_cast<QWidget*>(exRange_)})
        w->setVisible(false);
    }

    if (c.blackLevelSupported) {
      rows_[6]->Setup(c.blackLevel.minimum, c.blackLevel.maximum, tick(c.blackLevel),
                      values_.blackLevel, true);
    } else {
      rows_[6]->SetVisible(false);
    }
    peltier_->setVisible(c.peltierSupported);
    {
      Quiet q(peltier_);
      peltier_->setChecked(values_.peltier != 0);
    }
    shortExposure_->setVisible(c.autoCorrectionSupported);
    {
      Quiet q(shortExposure_);
      shortExposure_->setChecked(values_.shortExposure != 0);
    }
    {
      Quiet q(gainMode_);
      gainMode_->clear();
      if (c.correctionModeSupported && c.correctionMode != -1) {
        gainMode_->addItem(Tr("High Gain"));
        gainMode_->addItem(Tr("Low Gain"));
        gainMode_->setCurrentIndex(c.correctionMode);
      } else {
        gainMode_->setVisible(false);
      }
    }
    {
      Quiet qe(irisExposure_);
      Quiet qg(irisGain_);
      irisExposure_->setChecked(values_.autoIris == 1);
      irisGain_->setChecked(values_.autoIris == 2);
    }
    if (!c.exposureExSupported) ShowMilliseconds();
    rows_[0]->edit->setEnabled(false);
    for (auto& row : rows_) row->live = true;
  }

  void ShowMilliseconds() {
    milliseconds_->setText(QString::asprintf("=%.2fms", values_.exposureTime / 10.0));
  }

  // The value in its unit, the unit selected; no change is reported.
  void ShowExposureEx(double seconds) {
    const int unit = UnitOf(seconds);
    Quiet qe(exEdit_);
    Quiet qu(exUnit_);
    exEdit_->setText(NumberText(seconds * kUnits[unit].factor));
    const int index = exUnit_->findData(unit);
    if (index >= 0) exUnit_->setCurrentIndex(index);
  }

  void Connect() {
    const AnalogItem gains[5] = {AnalogItem::kGlobalGain, AnalogItem::kColorGainGreen1,
                                 AnalogItem::kColorGainRed, AnalogItem::kColorGainBlue,
                                 AnalogItem::kColorGainGreen2};
    int32_t* fields[5] = {&values_.globalGain, &values_.colorGainGreen1, &values_.colorGainRed,
                          &values_.colorGainBlue, &values_.colorGainGreen2};
    for (int i = 0; i < 5; ++i) {
      rows_[static_cast<size_t>(i)]->onChange = [this, item = gains[i], field = fields[i]](int v) {
        *field = v;
        host_.Set(item, v);
      };
    }
    rows_[5]->onChange = [this](int v) {
      values_.exposureTime = host_.SetExposureTime(v);
      ShowMilliseconds();
    };
    rows_[6]->onChange = [this](int v) {
      values_.blackLevel = v;
      host_.Set(AnalogItem::kBlackLevel, v);
    };
    QObject::connect(exEdit_, &QLineEdit::textChanged, &dialog_, [this] { ExposureExChanged(); });
    QObject::connect(exUnit_, &QComboBox::currentIndexChanged, &dialog_,
                     [this] { ExposureExChanged(); });
    QObject::connect(mirrorV_, &QCheckBox::toggled, &dialog_, [this](bool on) {
      values_.mirrorV = on ? 1 : 0;
      host_.Set(AnalogItem::kMirrorV, values_.mirrorV);
    });
    QObject::connect(mirrorH_, &QCheckBox::toggled, &dialog_, [this](bool on) {
      values_.mirrorH = on ? 1 : 0;
      host_.Set(AnalogItem::kMirrorH, values_.mirrorH);
    });
    // The two auto iris boxes exclude each other.
    QObject::connect(irisGain_, &QCheckBox::toggled, &dialog_, [this](bool on) {
      if (on) {
        Quiet q(irisExposure_);
        irisExposure_->setChecked(false);
      }
      AutoIrisChanged();
    });
    QObject::connect(irisExposure_, &QCheckBox::toggled, &dialog_, [this](bool on) {
      if (on) {
        Quiet q(irisGain_);
        irisGain_->setChecked(false);
      }
      AutoIrisChanged();
    });
    QObject::connect(peltier_, &QCheckBox::toggled, &dialog_, [this](bool on) {
      values_.peltier = on ? 1 : 0;
      host_.Set(AnalogItem::kPeltier, values_.peltier);
    });
    QObject::connect(shortExposure_, &QCheckBox::toggled, &dialog_, [this](bool on) {
      values_.shortExposure = on ? 1 : 0;
      host_.Set(AnalogItem::kShortExposure, values_.shortExposure);
    });
    QObject::connect(gainMode_, &QComboBox::currentIndexChanged, &dialog_, [this](int index) {
      if (index < 0) return;
      values_.gainMode = index;
      host_.Set(AnalogItem::kGainMode, index);
    });
  }

  void AutoIrisChanged() {
    values_.autoIris = irisGain_->isChecked() ? 2 : irisExposure_->isChecked() ? 1 : 0;
    host_.Set(AnalogItem::kAutoIris, values_.autoIris);
  }

  void ExposureExChanged() {
    bool ok = false;
    const double number = exEdit_->text().toDouble(&ok);
    if (!ok || exUnit_->currentIndex() < 0) return;
    const double seconds = number / kUnits[exUnit_->currentData().toInt()].factor;
    values_.exposureTimeEx = seconds;
    values_.exposureTime = host_.SetExposureTimeEx(seconds);
    ShowMilliseconds();
  }

  void Defaults() {
    const AnalogCamera& c = camera_;
    host_.Set(AnalogItem::kGlobalGain, c.globalGain.defaultValue);
    for (AnalogItem item : {AnalogItem::kColorGainGreen1, AnalogItem::kColorGainRed,
                            AnalogItem::kColorGainBlue, AnalogItem::kColorGainGreen2})
      host_.Set(item, c.colorGain.defaultValue);
    if (c.exposureExSupported) {
      if (c.exposureExDefaultOk) host_.SetExposureTimeEx(c.exposureExDefault);
    } else {
      host_.SetExposureTime(c.exposureTime.defaultValue);
    }
    if (c.blackLevelSupported) host_.Set(AnalogItem::kBlackLevel, c.blackLevel.defaultValue);
    if (c.peltierSupported) host_.Set(AnalogItem::kPeltier, 1);
    if (c.autoCorrectionSupported) host_.Set(AnalogItem::kShortExposure, 0);
    if (c.correctionModeSupported) host_.Set(AnalogItem::kGainMode, 0);
    host_.Read(&values_, nullptr);
    if (c.correctionModeSupported) camera_.correctionMode = 0;
    if (c.exposureExSupported && c.exposureExDefaultOk) camera_.exposureEx = c.exposureExDefault;
    for (auto& row : rows_) row->live = false;
    Open();
  }

  // OK: the page's numbers into the settings.
  void ReadBack() {
    AnalogValues page;
    host_.Read(&page, nullptr);
    int v = 0;
    int32_t* fields[7] = {&page.globalGain,    &page.colorGainGreen1, &page.colorGainRed,
                          &page.colorGainBlue, &page.colorGainGreen2, &page.exposureTime,
                          &page.blackLevel};
    for (size_t i = 0; i < 7; ++i) {
      if (!rows_[i]->edit->isHidden() && rows_[i]->Read(&v)) *fields[i] = v;
    }
    page.mirrorV = mirrorV_->isChecked() ? 1 : 0;
    page.mirrorH = mirrorH_->isChecked() ? 1 : 0;
    page.autoIris = irisGain_->isChecked() ? 2 : irisExposure_->isChecked() ? 1 : 0;
    host_.Commit(page);
  }

  IAnalogDialogHost& host_;
  // Before the dialog: the rows' handlers must outlive its widgets.
  std::vector<std::unique_ptr<SliderRow>> rows_;
  QDialog dialog_;
  AnalogView view_;
  AnalogValues saved_;
  AnalogValues values_;
  AnalogCamera camera_;
  QLabel* milliseconds_ = nullptr;
  QLabel* exLabel_ = nullptr;
  QLineEdit* exEdit_ = nullptr;
  QComboBox* exUnit_ = nullptr;
  QLabel* exRange_ = nullptr;
  QCheckBox* irisGain_ = nullptr;
  QCheckBox* irisExposure_ = nullptr;
  QCheckBox* mirrorV_ = nullptr;
  QCheckBox* mirrorH_ = nullptr;
  QCheckBox* peltier_ = nullptr;
  QCheckBox* shortExposure_ = nullptr;
  QComboBox* gainMode_ = nullptr;
};

}  // namespace

int ExecAnalogDialog(IAnalogDialogHost& host, unsigned long parentXid) {
  AnalogDialog dialog(host);
  return dialog.Exec(parentXid);
}

}  // namespace vexcam::dialogs
