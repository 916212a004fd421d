#pragma once

#include <mutex>

namespace vexcam {

// A re-entrant lock: the owning thread may lock it again and must unlock it
// as many times. Satisfies Lockable (lock/unlock/try_lock), so std::lock_guard
// and std::unique_lock work with it as well as CsLock.
class CriticalSection {
 public:
  CriticalSection() = default;
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void Lock() { mutex_.lock(); }
  void Unlock() { mutex_.unlock(); }
  bool TryLock() { return mutex_.try_lock(); }

  void lock() { Lock(); }
  void unlock() { Unlock(); }
  bool try_lock() { return TryLock(); }

 private:
  std::recursive_mutex mutex_;
};

// Holds a CriticalSection for the lifetime of the guard.
class CsLock {
 public:
  explicit CsLock(CriticalSection& cs) : cs_(cs) { cs_.Lock(); }
  ~CsLock() { cs_.Unlock(); }
  CsLock(const CsLock&) = delete;
  CsLock& operator=(const CsLock&) = delete;

 private:
  CriticalSection& cs_;
};

}  // namespace vexcam
