#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "vexcam/VexCamWindow.h"

namespace vexcam {

// The message windows of the process. A window handle is a made-up number,
// never a pointer: it is only ever looked up in this registry, so any value an
// application passes (stale, random, a real pointer) is safe and simply
// unknown. Handle values are never reused during the life of the process, so
// a destroyed window stays dead. Each window has a FIFO queue bounded at
// VEXWIN_QUEUE_LIMIT messages; posting never blocks.
//
// Threads: every operation may be called from any thread. The registry lock
// guards only the handle map and is never held while waiting; each window has
// its own lock and condition variable, and a waiter holds a shared reference
// so that destroying the window under it is safe.
class MessageWindowRegistry {
 public:
  // The registry behind the VexWin_* functions. It is never destroyed, so
  // worker threads may still post while the process exits.
  static MessageWindowRegistry& Instance();

  MessageWindowRegistry() = default;
  MessageWindowRegistry(const MessageWindowRegistry&) = delete;
  MessageWindowRegistry& operator=(const MessageWindowRegistry&) = delete;

  // A new, empty window; null when memory runs out.
  HWND Create();
  // Removes the window, discards its queue and wakes its waiters with false.
  // False for an unknown or already destroyed window.
  bool Destroy(HWND window);
  // Appends a message. False for an unknown or destroyed window or a full queue.
  bool Post(HWND window, uint32_t message, uintptr_t wParam, intptr_t lParam);
  // Waits up to timeoutMs (VEXWIN_INFINITE: no limit) for the oldest message
  // and removes it into *msg. False on time-out, for a null msg, an unknown
  // window, or a window destroyed while waiting.
  bool Get(HWND window, VEXWIN_MSG* msg, uint32_t timeoutMs);
  // Copies the oldest message without waiting, removing it when remove is
  // true. False for an empty queue, a null msg or an unknown window.
  bool Peek(HWND window, VEXWIN_MSG* msg, bool remove);
  // True while the window exists.
  bool Exists(HWND window) const;
  // Number of queued messages; 0 for an unknown window.
  size_t QueuedCount(HWND window) const;

 private:
  struct Window;
  std::shared_ptr<Window> Find(HWND window) const;

  mutable std::mutex mutex_;
  std::unordered_map<uintptr_t, std::shared_ptr<Window>> windows_;  // guarded by mutex_
};

// Posts to a message window of the process registry: the library's own posts
// (error and frame notifications, device changes) go through here. Same
// result as VexWin_PostMessage.
bool PostWindowMessage(HWND window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// True while the window exists in the process registry.
bool IsMessageWindow(HWND window);

}  // namespace vexcam
