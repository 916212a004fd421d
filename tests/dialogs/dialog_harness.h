#pragma once
// Drives the dialogs from the test thread, which owns the QApplication: a
// timer acts on the open modal dialog, and whatever the steps leave open is
// cancelled, so a failed expectation never leaves a test hanging in exec().
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <string>

#include "dialogs/dialog_module.h"

namespace vexcam::test {

// The module as the library loads it, on the offscreen platform; the first
// call makes the module's QApplication on this thread.
inline const dialogs::DialogApi* DialogModule() {
  static const dialogs::DialogApi* api = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("VEXCAM_DIALOGS_MODULE", VEXCAM_DIALOGS_MODULE_PATH, 1);
    void* lib = dlopen(VEXCAM_DIALOGS_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr) return static_cast<const dialogs::DialogApi*>(nullptr);
    auto entry = reinterpret_cast<dialogs::GetDialogApiFn>(dlsym(lib, dialogs::kDialogEntry));
    const dialogs::DialogApi* a = entry != nullptr ? entry() : nullptr;
    if (a != nullptr && a->ready() == 0) return static_cast<const dialogs::DialogApi*>(nullptr);
    return a;
  }();
  return api;
}

inline void SetLanguage(const char* lang) {
  unsetenv("LC_ALL");
  unsetenv("LC_MESSAGES");
  setenv("LANG", lang, 1);
}

inline QDialog* OpenDialog() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* d = qobject_cast<QDialog*>(w); d != nullptr && d->isVisible()) return d;
  }
  return nullptr;
}

// Runs steps on the dialog once it is open, then cancels it if still open.
// Call right before the call that opens the dialog.
inline void WhenOpen(std::function<void(QDialog&)> steps) {
  QTimer::singleShot(0, [steps = std::move(steps)] {
    QDialog* d = OpenDialog();
    if (d == nullptr) {
      ADD_FAILURE() << "no dialog open";
      return;
    }
    steps(*d);
    if (d->isVisible()) d->reject();
  });
}

template <class T>
T* Find(QObject& root, const char* id) {
  T* w = root.findChild<T*>(QLatin1String(id));
  EXPECT_NE(w, nullptr) << id;
  return w;
}

// The page (tab) with that identifier, then the control inside it.
template <class T>
T* InPage(QObject& dialog, const char* page, const char* id) {
  QWidget* p = Find<QWidget>(dialog, page);
  return p != nullptr ? Find<T>(*p, id) : nullptr;
}

inline void Click(QObject& root, const char* id) {
  if (auto* b = Find<QAbstractButton>(root, id)) b->click();
}

inline void Type(QObject& root, const char* id, const QString& text) {
  if (auto* e = Find<QLineEdit>(root, id)) e->setText(text);
}

// Processes events until done() holds or timeoutMs passed.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > timeoutMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// Saves each tab of the dialog as VEXCAM_SCREENSHOT_DIR/<name>-<tab>.png.
inline void SaveTabs(QDialog& d, const std::string& name) {
  auto* tabs = d.findChild<QTabWidget*>();
  if (tabs == nullptr) return;
  for (int i = 0; i < tabs->count(); ++i) {
    tabs->setCurrentIndex(i);
    QApplication::processEvents();
    const std::string path = std::string(VEXCAM_SCREENSHOT_DIR) + "/" + name +
                             (tabs->count() > 1 ? "-" + std::to_string(i + 1) : "") + ".png";
    EXPECT_TRUE(d.grab().save(QString::fromStdString(path))) << path;
  }
  tabs->setCurrentIndex(0);
}

}  // namespace vexcam::test
