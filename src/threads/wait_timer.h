// Timed waits for the threads library's polling loops: WaitTimer, a one-shot
// timer a loop can poll; pump_wait, a wait that keeps the calling thread's
// window responsive; and WaitPause, the pause a waiting loop makes, chosen by
// its `wait_mode` argument.
//
// Time amounts come with a unit: 0 milliseconds, 1 seconds, 2 minutes,
// 3 hours. A WaitTimer or WaitPause belongs to the thread that uses it; the
// functions act on the calling thread.
#ifndef NOVEL_THREADS_WAIT_TIMER_H_
#define NOVEL_THREADS_WAIT_TIMER_H_

#include <cstdint>
#include <memory>

class WaitableTimer;

class WaitTimer {
 public:
  WaitTimer();
  ~WaitTimer();
  WaitTimer(const WaitTimer&) = delete;
  WaitTimer& operator=(const WaitTimer&) = delete;

  // Replaces the current timer by a new one due `amount` units from now
  // (0 or less: due at once). A unit outside 0 to 3 counts as milliseconds.
  void start(int32_t amount, int32_t unit = 0);
  // Waits at most `timeout_ms` (0 polls) for the timer. True when it fired,
  // after which further waits answer false until the next start(); true at
  // once when there is no timer.
  bool wait(int32_t timeout_ms = 1);
  // Drops the current timer, if any.
  void close();

 private:
  std::unique_ptr<WaitableTimer> timer_;
};

// Waits `amount` units while running the calling thread's message pump
// between checks every millisecond. Here a unit outside 0 to 3 is itself the
// multiplier to milliseconds. An amount of 0 or less waits practically
// forever.
void pump_wait(int32_t amount, int32_t unit = 0);
// Dispatches everything queued for the calling thread's window, if it has one.
void pump_messages();

// The pause of a waiting loop: 1 sleeps, 2 pumps messages while it waits,
// anything else pumps only on a thread with a window (one that registered a
// message pump). Decided once, when the pause is made.
class WaitPause {
 public:
  explicit WaitPause(int32_t wait_mode);
  void operator()(int32_t milliseconds) const;
  bool pumps() const { return pumps_; }

 private:
  bool pumps_;
};

#endif  // NOVEL_THREADS_WAIT_TIMER_H_
