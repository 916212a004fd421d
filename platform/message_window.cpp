#include "platform/message_window.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <new>
#include <utility>
#include <vector>

namespace vexcam {
namespace {

static_assert(sizeof(uintptr_t) == 8, "handle values assume 64-bit pointers");

// Handle values lie outside the canonical address range (bit 63 clear, bit 62
// set), so they can never equal a real pointer an application passes by
// mistake; the low 4 bits stay clear so they look aligned to debuggers.
constexpr uintptr_t kHandleBase = 0x5645580000000000ull;
std::atomic<uint64_t> g_next_id{1};

uintptr_t Key(HWND window) { return reinterpret_cast<uintptr_t>(window); }

// First-in first-out on a ring that only grows (by doubling), so a steady
// stream of frame messages allocates nothing.
class MessageRing {
 public:
  bool Empty() const { return count_ == 0; }
  size_t Size() const { return count_; }
  const VEXWIN_MSG& Front() const { return slots_[head_]; }
  void PopFront() {
    head_ = (head_ + 1) % slots_.size();
    --count_;
  }
  // May throw std::bad_alloc when the ring has to grow.
  void PushBack(const VEXWIN_MSG& m) {
    if (count_ == slots_.size()) {
      std::vector<VEXWIN_MSG> bigger(slots_.empty() ? 64 : 2 * slots_.size());
      for (size_t i = 0; i < count_; ++i) bigger[i] = slots_[(head_ + i) % slots_.size()];
      slots_.swap(bigger);
      head_ = 0;
    }
    slots_[(head_ + count_) % slots_.size()] = m;
    ++count_;
  }
  void Swap(MessageRing& other) {
    slots_.swap(other.slots_);
    std::swap(head_, other.head_);
    std::swap(count_, other.count_);
  }

 private:
  std::vector<VEXWIN_MSG> slots_;
  size_t head_ = 0;
  size_t count_ = 0;
};

}  // namespace

struct MessageWindowRegistry::Window {
  std::mutex mutex;
  std::condition_variable cv;
  MessageRing queue;       // guarded by mutex
  bool destroyed = false;  // guarded by mutex
};

MessageWindowRegistry& MessageWindowRegistry::Instance() {
  // A union member is not destroyed at exit: threads that outlive static
  // destruction can still post (and fail or succeed) safely.
  union Holder {
    MessageWindowRegistry registry;
    Holder() : registry() {}
    ~Holder() {}
  };
  static Holder holder;
  return holder.registry;
}

HWND MessageWindowRegistry::Create() {
  try {
    auto window = std::make_shared<Window>();
    const uintptr_t key = kHandleBase | (g_next_id.fetch_add(1) << 4);
    std::lock_guard<std::mutex> lock(mutex_);
    windows_.emplace(key, std::move(window));
    return reinterpret_cast<HWND>(key);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::shared_ptr<MessageWindowRegistry::Window> MessageWindowRegistry::Find(HWND window) const {
  if (window == nullptr) return nullptr;
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = windows_.find(Key(window));
  return it == windows_.end() ? nullptr : it->second;
}

bool MessageWindowRegistry::Destroy(HWND window) {
  std::shared_ptr<Window> state;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = windows_.find(Key(window));
    if (it == windows_.end()) return false;
    state = std::move(it->second);
    windows_.erase(it);
  }
  MessageRing discarded;
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    state->destroyed = true;
    discarded.Swap(state->queue);
  }
  state->cv.notify_all();
  return true;
}

bool MessageWindowRegistry::Post(HWND window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  std::shared_ptr<Window> state = Find(window);
  if (!state) return false;
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    if (state->destroyed || state->queue.Size() >= VEXWIN_QUEUE_LIMIT) return false;
    try {
      state->queue.PushBack(VEXWIN_MSG{window, message, wParam, lParam});
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  state->cv.notify_one();
  return true;
}

bool MessageWindowRegistry::Get(HWND window, VEXWIN_MSG* msg, uint32_t timeoutMs) {
  if (msg == nullptr) return false;
  std::shared_ptr<Window> state = Find(window);
  if (!state) return false;
  std::unique_lock<std::mutex> lock(state->mutex);
  auto ready = [&state] { return state->destroyed || !state->queue.Empty(); };
  if (timeoutMs == VEXWIN_INFINITE) {
    state->cv.wait(lock, ready);
  } else if (!state->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) {
    return false;
  }
  if (state->destroyed) return false;
  *msg = state->queue.Front();
  state->queue.PopFront();
  return true;
}

bool MessageWindowRegistry::Peek(HWND window, VEXWIN_MSG* msg, bool remove) {
  if (msg == nullptr) return false;
  std::shared_ptr<Window> state = Find(window);
  if (!state) return false;
  std::lock_guard<std::mutex> lock(state->mutex);
  if (state->destroyed || state->queue.Empty()) return false;
  *msg = state->queue.Front();
  if (remove) state->queue.PopFront();
  return true;
}

bool MessageWindowRegistry::Exists(HWND window) const { return Find(window) != nullptr; }

size_t MessageWindowRegistry::QueuedCount(HWND window) const {
  std::shared_ptr<Window> state = Find(window);
  if (!state) return 0;
  std::lock_guard<std::mutex> lock(state->mutex);
  return state->queue.Size();
}

bool PostWindowMessage(HWND window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return MessageWindowRegistry::Instance().Post(window, message, wParam, lParam);
}

bool IsMessageWindow(HWND window) { return MessageWindowRegistry::Instance().Exists(window); }

}  // namespace vexcam

using vexcam::MessageWindowRegistry;

extern "C" {

VEXCAM_API HWND VexWin_CreateMessageWindow(void) {
  return MessageWindowRegistry::Instance().Create();
}

VEXCAM_API BOOL VexWin_GetMessage(HWND window, VEXWIN_MSG* msg, DWORD timeoutMs) {
  return MessageWindowRegistry::Instance().Get(window, msg, timeoutMs) ? TRUE : FALSE;
}

VEXCAM_API BOOL VexWin_PeekMessage(HWND window, VEXWIN_MSG* msg, BOOL remove) {
  return MessageWindowRegistry::Instance().Peek(window, msg, remove != FALSE) ? TRUE : FALSE;
}

VEXCAM_API BOOL VexWin_PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return MessageWindowRegistry::Instance().Post(window, message, wParam, lParam) ? TRUE : FALSE;
}

VEXCAM_API BOOL VexWin_DestroyWindow(HWND window) {
  return MessageWindowRegistry::Instance().Destroy(window) ? TRUE : FALSE;
}

}  // extern "C"
