// A one-shot, auto-resetting timer that one thread can arm and wait on.
//
// Once armed with a due time, wait() reports true the first time it sees the
// timer due and then resets it, so further waits time out until the next
// set(). A timer that was never set never fires. WaitTimer and pump_wait in
// the threads library build on it.
//
// Not thread-safe: a timer belongs to the thread that uses it.
#ifndef NOVEL_PLATFORM_WAITABLE_TIMER_H_
#define NOVEL_PLATFORM_WAITABLE_TIMER_H_

#include <chrono>
#include <cstdint>

class WaitableTimer {
 public:
  // A negative `due_time` is relative, in units of 100 ns; 0 or more means a
  // moment already past, so the timer is due at once.
  void set(int64_t due_time);
  // Waits at most `timeout_ms` (0 polls) for the timer to be due. True when
  // it was, and the timer is then disarmed.
  bool wait(int64_t timeout_ms);

 private:
  std::chrono::steady_clock::time_point due_;
  bool armed_ = false;
};

#endif  // NOVEL_PLATFORM_WAITABLE_TIMER_H_
