// A re-entrant lock that spins a while before it blocks: the thread that holds
// it may enter it again, and each enter needs its leave. The spin count is
// kept and used as the number of attempts made before the caller sleeps.
//
// The threads library builds CriticalLock on it. Safe to use from any thread;
// leave() may only be called by the holder.
#ifndef NOVEL_PLATFORM_CRITICAL_SECTION_H_
#define NOVEL_PLATFORM_CRITICAL_SECTION_H_

#include <atomic>
#include <cstdint>
#include <mutex>

class CriticalSection {
 public:
  explicit CriticalSection(int32_t spin_count) : spin_count_(spin_count) {}
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void set_spin_count(int32_t spin_count) { spin_count_.store(spin_count); }
  int32_t spin_count() const { return spin_count_.load(); }

  void enter();
  void leave() { mutex_.unlock(); }
  // True when the lock was taken for the caller, who must then leave() it.
  bool try_enter() { return mutex_.try_lock(); }

 private:
  std::recursive_mutex mutex_;
  std::atomic<int32_t> spin_count_;
};

#endif  // NOVEL_PLATFORM_CRITICAL_SECTION_H_
