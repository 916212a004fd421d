#pragma once

#include <cstdint>
#include <memory>

#include "platform/critical_section.h"

namespace vexcam {

// A circular doubly linked list of records with a movable cursor. Record must
// have fields `handle` (uint32_t), `prev` and `next` (Record*), and be
// copyable. The cursor is null exactly when the ring is empty; a successful
// Find leaves the cursor on the match so repeated lookups cost one compare.
// Find and RemoveCurrent expect the caller to hold Lock().
template <class Record>
class CTRing {
 public:
  CTRing() = default;
  virtual ~CTRing() { Clear(); }
  CTRing(const CTRing&) = delete;
  CTRing& operator=(const CTRing&) = delete;

  // Inserts a copy of the record immediately before the cursor; the copy
  // becomes the cursor.
  virtual void Add(const Record& record) {
    CsLock lock(lock_);
    auto node = std::make_unique<Record>(record);
    Record* added = node.release();  // owned by the ring until RemoveCurrent
    if (!cursor_) {
      added->prev = added;
      added->next = added;
      count_ = 1;
    } else {
      added->next = cursor_;
      added->prev = cursor_->prev;
      cursor_->prev->next = added;
      cursor_->prev = added;
      ++count_;
    }
    cursor_ = added;
  }

  // Walks the ring from the cursor, moving it. On failure the cursor rests on
  // the record that was before the starting cursor.
  bool Find(uint32_t handle) {
    if (!cursor_) return false;
    const uint32_t stop = cursor_->prev->handle;
    if (cursor_->handle == handle) return true;
    for (;;) {
      if (cursor_->handle == stop) return false;
      cursor_ = cursor_->next;
      if (cursor_->handle == handle) return true;
    }
  }

  // Unlinks and frees the cursor record; the cursor moves to its next.
  int RemoveCurrent() {
    if (!cursor_) return 0;
    std::unique_ptr<Record> removed(cursor_);
    if (count_ == 1) {
      cursor_ = nullptr;
      count_ = 0;
    } else {
      removed->prev->next = removed->next;
      removed->next->prev = removed->prev;
      cursor_ = removed->next;
      --count_;
    }
    return 1;
  }

  int Remove(uint32_t handle) {
    CsLock lock(lock_);
    return Find(handle) ? RemoveCurrent() : 0;
  }

  void Clear() {
    CsLock lock(lock_);
    while (RemoveCurrent()) {}
  }

  uint32_t Count() {
    CsLock lock(lock_);
    return count_;
  }
  // Handle of the cursor record, 0 when empty (for tests of the walk).
  uint32_t CursorHandle() {
    CsLock lock(lock_);
    return cursor_ ? cursor_->handle : 0;
  }

 protected:
  CriticalSection& Lock() { return lock_; }
  Record* Cursor() const { return cursor_; }

 private:
  Record* cursor_ = nullptr;
  uint32_t count_ = 0;
  CriticalSection lock_;
};

}  // namespace vexcam
