// The camera dialog: one tab "Stream Format" with the colour mode, a size
// preset and the wait time; clock and sub-sampling shown, fixed. OK and
// Apply write the settings store; the instance reloads after OK.
#include <QComboBox>
#include <QFormLayout>
#include <QTabWidget>
#include <QVBoxLayout>

#include <array>
#include <vector>

#include "dialogs/dialog_widgets.h"

namespace vexcam::dialogs {

namespace {

// The size presets the dialog offers; it never reads them from the store.
constexpr SizePreset kBuiltInPresets[] = {
    {640, 512, 640, 512, 0, 0, 10},
    {640, 512, 320, 240, 160, 136, 10},
    {640, 512, 160, 120, 240, 196, 10},
};

std::array<QString, 6> ColorModeNames() {
  return {Tr("Monochrome 8bit"), Tr("Monochrome %1bit *").arg(16),
          Tr("Color 24bit"),     Tr("Color 32bit"),
          Tr("Color 48bit *"),   Tr("Color 64bit *")};
}

class CameraDialog {
 public:
  explicit CameraDialog(ICameraDialogHost& host) : host_(host) { Build(); }

  int Exec(unsigned long parentXid) { return RunModal(dialog_, parentXid); }

 private:
  void Build() {
    dialog_.setObjectName(QStringLiteral("CameraDialog"));
    dialog_.setWindowTitle(Tr("Property"));
    auto* outer = new QVBoxLayout(&dialog_);
    auto* tabs = new QTabWidget(&dialog_);
    tabs->setObjectName(QStringLiteral("1001"));
    outer->addWidget(tabs);
    auto* page = new QWidget(tabs);
    page->setObjectName(QStringLiteral("106"));
    tabs->addTab(page, Tr("Stream Format"));

    auto* form = new QGridLayout(page);
    auto combo = [&](const char* id, const char* text, int row) {
      auto* c = new QComboBox(page);
      c->setObjectName(QLatin1String(id));
      auto* l = new QLabel(Tr(text), page);
      l->setBuddy(c);
      form->addWidget(l, row, 0);
      form->addWidget(c, row, 1, 1, 3);
      return c;
    };
    color_ = combo("1009", "Color / Compression(&C):", 0);
    size_ = combo("1010", "Size(&S):", 1);
    subSample_ = combo("1012", "Sub Sample(&B):", 2);
    const char* editIds[6] = {"1039", "1040", "1041", "1042", "1043", "1044"};
    const char* editLabels[6] = {"H Total",     "V Total", "H Effective",
                                 "V Effective", "H Start", "V Start"};
    for (int i = 0; i < 6; ++i) {
      edits_[i] = new QLineEdit(page);
      edits_[i]->setObjectName(QLatin1String(editIds[i]));
      edits_[i]->setFixedWidth(64);
      form->addWidget(new QLabel(Tr(editLabels[i]), page), 3 + i / 2, (i % 2) * 2);
      form->addWidget(edits_[i], 3 + i / 2, (i % 2) * 2 + 1);
    }
    wait_ = new QLineEdit(page);
    wait_->setObjectName(QStringLiteral("1045"));
    wait_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,10}")), wait_));
    auto* waitLabel = new QLabel(Tr("Wait Time(&T):"), page);
    waitLabel->setBuddy(wait_);
    form->addWidget(waitLabel, 6, 0);
    form->addWidget(wait_, 6, 1);
    clock_ = combo("1014", "Clock(&C):", 7);
    auto* note =
        new QLabel(Tr("* In the WORD forwarding mode, please set the clock to the half."), page);
    note->setWordWrap(true);
    form->addWidget(note, 8, 0, 1, 4);

    outer->addWidget(MakeButtons(&dialog_, Tr("Apply(&A)"), "1002", &apply_));
    QObject::connect(dialog_.findChild<QPushButton*>(QStringLiteral("1")), &QPushButton::clicked,
                     &dialog_, [this] {
                       Write();
                       dialog_.accept();
                     });
    QObject::connect(apply_, &QPushButton::clicked, &dialog_, [this] {
      Write();
      apply_->setEnabled(false);
    });

    Fill();

    QObject::connect(size_, &QComboBox::currentIndexChanged, &dialog_, [this](int index) {
      if (index >= 0 && index < static_cast<int>(presets_.size())) ShowPreset(index);
    });
    for (QComboBox* c : {color_, size_, subSample_, clock_}) {
      QObject::connect(c, &QComboBox::currentIndexChanged, &dialog_,
                       [this] { apply_->setEnabled(true); });
    }
    for (QLineEdit* e : edits_) {
      QObject::connect(e, &QLineEdit::textChanged, &dialog_, [this] { apply_->setEnabled(true); });
    }
    QObject::connect(wait_, &QLineEdit::textChanged, &dialog_,
                     [this] { apply_->setEnabled(true); });
  }

  void Fill() {
    const CameraCaps caps = host_.Caps();
    // No presets when the camera key cannot be read.
    if (host_.ReadCameraKey(&values_))
      presets_.assign(std::begin(kBuiltInPresets), std::end(kBuiltInPresets));

    const std::array<QString, 6> names = ColorModeNames();
    auto add = [&](int mode) { color_->addItem(names[mode], mode); };
    if (caps.has8Bit) add(0);
    if (caps.has16Bit) add(1);
    if (caps.hasColor) {
      for (int mode = 2; mode < 6; ++mode) add(mode);
    } else if (caps.has16Bit) {
      values_.color = 1;
    } else if (caps.has8Bit) {
      values_.color = 0;
    }
    const int colorIndex = color_->findData(values_.color);
    color_->setCurrentIndex(colorIndex >= 0 ? colorIndex : 0);

    for (const SizePreset& p : presets_)
      size_->addItem(QStringLiteral("%1 x %2").arg(p.width).arg(p.height));
    size_->setCurrentIndex(values_.size >= 0 && values_.size < size_->count() ? values_.size : -1);
    if (size_->currentIndex() >= 0) ShowPreset(size_->currentIndex());
    wait_->setText(QString::number(static_cast<uint32_t>(values_.waitTime)));

    subSample_->addItem(QStringLiteral("1/1"), 0);
    clock_->addItem(Tr("Nomal(24MHz)"));
    clock_->addItem(Tr("Half(12MHz)"));
    clock_->addItem(Tr("High(%1MHz)").arg(9));
    clock_->setCurrentIndex(2);

    for (QLineEdit* e : edits_) e->setEnabled(false);
    subSample_->setEnabled(false);
    clock_->setEnabled(false);
    apply_->setEnabled(false);
    if (!caps.canChangeWidth && !caps.canChangeHeight) size_->setEnabled(false);
  }

  void ShowPreset(int index) {
    const SizePreset& p = presets_[static_cast<size_t>(index)];
    const int32_t fields[6] = {p.totalWidth, p.totalHeight, p.width, p.height, p.x, p.y};
    for (int i = 0; i < 6; ++i) {
      Quiet q(edits_[i]);
      edits_[i]->setText(QString::number(fields[i]));
    }
  }

  // Reads the controls into the values and the selected preset, then writes
  // the settings store.
  void Write() {
    values_.color = color_->currentIndex() >= 0 ? color_->currentData().toInt() : 0;
    if (size_->currentIndex() >= 0) values_.size = size_->currentIndex();
    values_.subSample = subSample_->currentData().toInt();
    values_.clock = clock_->currentIndex();
    values_.waitTime = static_cast<int32_t>(wait_->text().toUInt());
    const int index = size_->currentIndex();
    if (index >= 0 && index < static_cast<int>(presets_.size())) {
      SizePreset& p = presets_[static_cast<size_t>(index)];
      int32_t* fields[6] = {&p.totalWidth, &p.totalHeight, &p.width, &p.height, &p.x, &p.y};
      for (int i = 0; i < 6; ++i) {
        bool ok = false;
        const int v = edits_[i]->text().toInt(&ok);
        if (ok) *fields[i] = v;
      }
      Quiet q(size_);
      size_->setItemText(index, QStringLiteral("%1 x %2").arg(p.width).arg(p.height));
    }
    host_.SaveCameraSettings(presets_.data(), static_cast<int>(presets_.size()), values_);
  }

  ICameraDialogHost& host_;
  QDialog dialog_;
  QComboBox* color_ = nullptr;
  QComboBox* size_ = nullptr;
  QComboBox* subSample_ = nullptr;
  QComboBox* clock_ = nullptr;
  QLineEdit* edits_[6] = {};
  QLineEdit* wait_ = nullptr;
  QPushButton* apply_ = nullptr;
  CameraKey values_;
  std::vector<SizePreset> presets_;
};

}  // namespace

int ExecCameraDialog(ICameraDialogHost& host, unsigned long parentXid) {
  CameraDialog dialog(host);
  return dialog.Exec(parentXid);
}

}  // namespace vexcam::dialogs
