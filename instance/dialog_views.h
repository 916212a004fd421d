#pragma once
// The settings dialogs that are open on an instance, for the capture thread
// to tell them about values it measured. The lock is a leaf: held only while
// a view pointer is changed or a view is told, and telling never blocks (the
// dialog re-reads the settings on its own thread). Once a dialog has removed
// its view, the view is never called again.

#include <mutex>

#include "dialogs/dialog_module.h"

namespace vexcam {

class DialogViews {
 public:
  void SetAnalog(dialogs::IDialogView* view) {
    std::lock_guard<std::mutex> lock(mutex_);
    analog_ = view;
  }
  void SetImage(dialogs::IDialogView* view) {
    std::lock_guard<std::mutex> lock(mutex_);
    image_ = view;
  }
  // Auto iris changed the exposure or gain (analog), or white balance or gray
  // gains were measured (image).
  void Changed(bool analog, bool image) {
    if (!analog && !image) return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (analog && analog_ != nullptr) analog_->ValuesChanged();
    if (image && image_ != nullptr) image_->ValuesChanged();
  }

 private:
  std::mutex mutex_;
  dialogs::IDialogView* analog_ = nullptr;  // guarded by mutex_
  dialogs::IDialogView* image_ = nullptr;   // guarded by mutex_
};

}  // namespace vexcam
