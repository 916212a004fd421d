#pragma once
// Pieces shared by the dialogs: the slider row (trackbar, edit and up-down
// control on one setting), the container buttons, and the text lookup.

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QString>
#include <QToolButton>
#include <QWidget>

#include <functional>

#include "dialogs/dialog_module.h"

namespace vexcam::dialogs {

// Every text of the dialogs lives in one translation context.
inline QString Tr(const char* text) { return QCoreApplication::translate("VexCamDialogs", text); }

// Carries the capture thread's notice to the dialog's thread: a queued
// Refresh, dropped when the context object is gone by then.
template <class Dialog>
class RefreshView final : public IDialogView {
 public:
  RefreshView(QObject* context, Dialog* dialog) : context_(context), dialog_(dialog) {}
  void ValuesChanged() override {
    QMetaObject::invokeMethod(
        context_, [dialog = dialog_] { dialog->Refresh(); }, Qt::QueuedConnection);
  }

 private:
  QObject* context_;
  Dialog* dialog_;
};

// An up-down control: two arrow buttons that step the number of its edit.
class UpDown : public QWidget {
 public:
  explicit UpDown(QWidget* parent);
  QToolButton* up;
  QToolButton* down;
};

// A trackbar, an edit and an up-down control bound to the edit, sharing one
// range; objectNames are the controls' identifiers. The row reports changes
// the user makes (trackbar moved, edit changed once the page is live) through
// onChange; values it is given to show are not reported.
class SliderRow {
 public:
  SliderRow(QGridLayout* grid, int row, const QString& label, const char* trackId,
            const char* editId, const char* upDownId);

  // Range, tick frequency, value and enable state of all three.
  void Setup(int minimum, int maximum, int tick, int value, bool enabled);
  void Show(int value);
  // The edit's number within the range; false when it holds no number.
  bool Read(int* value) const;
  void SetVisible(bool visible);
  int Minimum() const { return minimum_; }
  int Maximum() const { return maximum_; }

  QLabel* label;
  QSlider* slider;
  QLineEdit* edit;
  UpDown* upDown;
  std::function<void(int)> onChange;
  bool live = false;

 private:
  void EditChanged();
  void Step(int delta);
  int minimum_ = 0;
  int maximum_ = 0;
};

// OK (1) and Cancel (2) with Qt's own texts, and a third button.
QDialogButtonBox* MakeButtons(QDialog* dialog, const QString& thirdText, const char* thirdId,
                              QPushButton** third);

// Blocks the widget's signals for the scope.
class Quiet {
 public:
  explicit Quiet(QObject* o) : o_(o), was_(o->blockSignals(true)) {}
  ~Quiet() { o_->blockSignals(was_); }
  Quiet(const Quiet&) = delete;
  Quiet& operator=(const Quiet&) = delete;

 private:
  QObject* o_;
  bool was_;
};

// The dialogs, run modally; each returns kClosedOk or kClosedCancel.
int ExecCameraDialog(ICameraDialogHost& host, unsigned long parentXid);
int ExecAnalogDialog(IAnalogDialogHost& host, unsigned long parentXid);
int ExecImageDialog(IImageDialogHost& host, unsigned long parentXid);
// Runs the dialog modally, transient for the X11 window when there is one.
int RunModal(QDialog& dialog, unsigned long parentXid);

// The modal run of a dialog that watches its host's values while open: the
// saved values go back when the dialog does not close with OK.
template <class Host, class Values>
int RunWatched(Host& host, IDialogView* view, QDialog& dialog, const Values& saved,
               unsigned long parentXid) {
  host.Watch(view);
  const int result = RunModal(dialog, parentXid);
  host.Watch(nullptr);
  if (result != kClosedOk) host.Restore(saved);
  return result;
}

}  // namespace vexcam::dialogs
