// The module's entry point and its Qt runtime: the QApplication (made on
// first use when the process has none, kept for the life of the process), the
// thread check, the translations, the transient parent, and the shared
// widgets.
#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QThread>
#include <QTranslator>
#include <QVBoxLayout>
#include <QWindow>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "dialogs/dialog_widgets.h"

namespace vexcam::dialogs {

// QApplication aborts the process when it finds no display: look first.
bool DisplayReachable();

namespace {

std::mutex g_startMutex;
bool g_ownApplication = false;  // guarded by g_startMutex; set once

// The process's QApplication on the calling thread, made when there is none.
// False when widgets cannot be shown from this thread.
bool EnsureApplication() {
  std::lock_guard<std::mutex> lock(g_startMutex);
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) {
    if (!DisplayReachable()) return false;
    // QApplication keeps references to argc and argv for its whole life.
    static int argc = 1;
    static char name[] = "vexcam";
    static char* argv[] = {name, nullptr};
    // The library prints nothing: Qt's warnings (platform plugin notes and
    // the like) are dropped in an application of our own.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    // Its constructor sets the C locale from the environment; the host
    // program's locale is put back.
    const std::string locale = std::setlocale(LC_ALL, nullptr);
    // Never deleted: Qt cannot be shut down and started again in a process,
    // and the module is never unloaded.
    app = new QApplication(argc, argv);
    std::setlocale(LC_ALL, locale.c_str());
    QGuiApplication::setQuitOnLastWindowClosed(false);
    g_ownApplication = true;
  }
  if (qobject_cast<QApplication*>(app) == nullptr) return false;  // a core or GUI-only application
  // Widgets live on the thread of the application object.
  return QThread::currentThread() == app->thread();
}

bool WantsJapanese() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(name);
    if (v == nullptr || *v == '\0') continue;
    return std::strncmp(v, "ja", 2) == 0 &&
           (v[2] == '\0' || v[2] == '_' || v[2] == '.' || v[2] == '@');
  }
  return false;
}

// Our Japanese texts and Qt's own (button texts) while the system language
// is Japanese; looked at before every dialog. Qt's translation is installed
// only into an application this module made: a Qt application has its own.
void UpdateTranslations() {
  static QTranslator* ours = nullptr;
  static QTranslator* qtbase = nullptr;
  static bool installed = false;
  const bool japanese = WantsJapanese();
  if (japanese == installed) return;
  if (ours == nullptr) {
    // Kept for the process's life like the application they are installed in.
    ours = new QTranslator(QCoreApplication::instance());
    (void)ours->load(QStringLiteral(":/vexcam/i18n/vexcam_dialogs_ja.qm"));
    qtbase = new QTranslator(QCoreApplication::instance());
    (void)qtbase->load(QStringLiteral("qtbase_ja"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath));
  }
  if (japanese) {
    QCoreApplication::installTranslator(ours);
    if (g_ownApplication) QCoreApplication::installTranslator(qtbase);
  } else {
    QCoreApplication::removeTranslator(ours);
    QCoreApplication::removeTranslator(qtbase);
  }
  installed = japanese;
}

int Ready() { return EnsureApplication() ? 1 : 0; }

template <class Host>
int Run(int (*exec)(Host&, unsigned long), Host* host, unsigned long parentXid) {
  if (host == nullptr || !EnsureApplication()) return kUnavailable;
  UpdateTranslations();
  return exec(*host, parentXid);
}

int RunCamera(ICameraDialogHost* host, unsigned long parentXid) {
  return Run(ExecCameraDialog, host, parentXid);
}
int RunAnalog(IAnalogDialogHost* host, unsigned long parentXid) {
  return Run(ExecAnalogDialog, host, parentXid);
}
int RunImage(IImageDialogHost* host, unsigned long parentXid) {
  return Run(ExecImageDialog, host, parentXid);
}

const DialogApi kApi = {kDialogAbi, Ready, RunCamera, RunAnalog, RunImage};

}  // namespace

int RunModal(QDialog& dialog, unsigned long parentXid) {
  std::unique_ptr<QWindow> parent;
  // Foreign windows exist only on X11 itself.
  if (parentXid != 0 && QGuiApplication::platformName() == QLatin1String("xcb")) {
    dialog.winId();
    parent.reset(QWindow::fromWinId(static_cast<WId>(parentXid)));
    if (parent && dialog.windowHandle() != nullptr)
      dialog.windowHandle()->setTransientParent(parent.get());
  }
  dialog.setWindowModality(Qt::ApplicationModal);
  const int result = dialog.exec() == QDialog::Accepted ? kClosedOk : kClosedCancel;
  if (parent && dialog.windowHandle() != nullptr)
    dialog.windowHandle()->setTransientParent(nullptr);
  return result;
}

// ---- Shared widgets ----

UpDown::UpDown(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  up = new QToolButton(this);
  up->setArrowType(Qt::UpArrow);
  up->setObjectName(QStringLiteral("up"));
  down = new QToolButton(this);
  down->setArrowType(Qt::DownArrow);
  down->setObjectName(QStringLiteral("down"));
  for (QToolButton* b : {up, down}) {
    b->setFixedSize(16, 11);
    b->setAutoRepeat(true);
    layout->addWidget(b);
  }
}

SliderRow::SliderRow(QGridLayout* grid, int row, const QString& text, const char* trackId,
                     const char* editId, const char* upDownId) {
  QWidget* parent = grid->parentWidget();
  label = new QLabel(text, parent);
  slider = new QSlider(Qt::Horizontal, parent);
  slider->setObjectName(QLatin1String(trackId));
  slider->setTickPosition(QSlider::TicksBelow);
  slider->setMinimumWidth(180);
  edit = new QLineEdit(parent);
  edit->setObjectName(QLatin1String(editId));
  edit->setFixedWidth(56);
  edit->setMaxLength(7);
  edit->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]*")), edit));
  upDown = new UpDown(parent);
  upDown->setObjectName(QLatin1String(upDownId));
  label->setBuddy(slider);
  grid->addWidget(label, row, 0);
  grid->addWidget(slider, row, 1);
  grid->addWidget(edit, row, 2);
  grid->addWidget(upDown, row, 3);
  QObject::connect(slider, &QSlider::valueChanged, slider, [this](int v) {
    {
      Quiet q(edit);
      edit->setText(QString::number(v));
    }
    if (onChange) onChange(v);
  });
  QObject::connect(edit, &QLineEdit::textChanged, edit, [this] { EditChanged(); });
  QObject::connect(upDown->up, &QToolButton::clicked, edit, [this] { Step(1); });
  QObject::connect(upDown->down, &QToolButton::clicked, edit, [this] { Step(-1); });
}

void SliderRow::Setup(int minimum, int maximum, int tick, int value, bool enabled) {
  minimum_ = minimum;
  maximum_ = maximum < minimum ? minimum : maximum;
  {
    Quiet q(slider);
    slider->setRange(minimum_, maximum_);
    slider->setTickInterval(tick > 0 ? tick : 1);
    slider->setPageStep(tick > 0 ? tick : 1);
  }
  Show(value);
  for (QWidget* w :
       {static_cast<QWidget*>(slider), static_cast<QWidget*>(edit), static_cast<QWidget*>(upDown)})
    w->setEnabled(enabled);
}

void SliderRow::Show(int value) {
  Quiet qs(slider);
  Quiet qe(edit);
  slider->setValue(value);
  edit->setText(QString::number(value));
}

bool SliderRow::Read(int* value) const {
  bool ok = false;
  const long long v = edit->text().toLongLong(&ok);
  if (!ok) return false;
  *value = static_cast<int>(v < minimum_ ? minimum_ : v > maximum_ ? maximum_ : v);
  return true;
}

void SliderRow::SetVisible(bool visible) {
  for (QWidget* w : {static_cast<QWidget*>(label), static_cast<QWidget*>(slider),
                     static_cast<QWidget*>(edit), static_cast<QWidget*>(upDown)})
    w->setVisible(visible);
}

void SliderRow::EditChanged() {
  if (!live) return;
  int v = 0;
  if (!Read(&v)) return;
  // A number past the range is held at its end, as the trackbar is.
  if (QString::number(v) != edit->text()) {
    Quiet q(edit);
    edit->setText(QString::number(v));
  }
  {
    Quiet q(slider);
    slider->setValue(v);
  }
  if (onChange) onChange(v);
}

void SliderRow::Step(int delta) {
  int v = slider->value();
  if (!Read(&v)) v = slider->value();
  const int next = v + delta < minimum_ ? minimum_ : v + delta > maximum_ ? maximum_ : v + delta;
  edit->setText(QString::number(next));
  if (!live) Show(next);
}

QDialogButtonBox* MakeButtons(QDialog* dialog, const QString& thirdText, const char* thirdId,
                              QPushButton** third) {
  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
  box->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("1"));
  box->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("2"));
  *third = box->addButton(thirdText, QDialogButtonBox::ActionRole);
  (*third)->setObjectName(QLatin1String(thirdId));
  (*third)->setAutoDefault(false);
  QObject::connect(box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return box;
}

}  // namespace vexcam::dialogs

extern "C" __attribute__((visibility("default"))) const vexcam::dialogs::DialogApi*
VexDialogs_GetApi() {
  return &vexcam::dialogs::kApi;
}
