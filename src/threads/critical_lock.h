// CriticalLock, the lock the thread pool, the launcher's processor
// assignment and the timer thread use, and CriticalLockGuard, which holds one
// for a scope.
//
// The lock is re-entrant: the holder may enter again, and each enter needs
// its leave. It spins up to its spin count (4000 when created) before it
// blocks. A lock whose state block could not be allocated is "null": every
// method then does nothing and try_enter answers false.
//
// Safe to use from any thread. Not copyable.
#ifndef NOVEL_THREADS_CRITICAL_LOCK_H_
#define NOVEL_THREADS_CRITICAL_LOCK_H_

#include <cstdint>

#include "threads/thread_annotations.h"

class CriticalSection;

class CAPABILITY("mutex") CriticalLock {
 public:
  static constexpr int32_t kDefaultSpinCount = 4000;

  CriticalLock();
  ~CriticalLock();
  CriticalLock(const CriticalLock&) = delete;
  CriticalLock& operator=(const CriticalLock&) = delete;

  // A negative `n` sets the default of 4000.
  void set_spin_count(int32_t n);
  void enter() ACQUIRE();
  void leave() RELEASE();
  // True when the lock was free and is now held by the caller, who must
  // leave() it. False when another thread holds it; the holder keeps it.
  bool try_enter() TRY_ACQUIRE(true);

  // The spin count in force; 0 for a null lock.
  int32_t spin_count() const;
  bool is_null() const { return section_ == nullptr; }

 private:
  CriticalSection* section_;
};

// Enters a lock on construction and leaves it on destruction.
class SCOPED_CAPABILITY CriticalLockGuard {
 public:
  explicit CriticalLockGuard(CriticalLock& lock) ACQUIRE(lock) : lock_(lock) { lock_.enter(); }
  ~CriticalLockGuard() RELEASE() { lock_.leave(); }
  CriticalLockGuard(const CriticalLockGuard&) = delete;
  CriticalLockGuard& operator=(const CriticalLockGuard&) = delete;

 private:
  CriticalLock& lock_;
};

#endif  // NOVEL_THREADS_CRITICAL_LOCK_H_
