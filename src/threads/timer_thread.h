// TimerThread calls a routine again and again on a thread of its own, each
// call `interval` ms after the previous one returned, until it is stopped.
// The collection driver runs its completion check on one, once a second.
//
// stop() never waits: the thread sees the request at its next check (within
// 100 ms) or when the running callback returns; stopped from inside the
// callback, the thread ends right after it with no further call; stopped from
// another thread while it waits, it calls the callback once more. A start()
// after a stop waits until the previous thread has ended (unless it is made
// from that thread's own callback), so that two loops never run side by side.
// Destruction stops the timer without a further call and waits for its thread.
//
// Thread safety: every method may be called from any thread, the callback
// included. REQUIRES: the timer is not destroyed from its own callback.
#ifndef NOVEL_THREADS_TIMER_THREAD_H_
#define NOVEL_THREADS_TIMER_THREAD_H_

#include <atomic>
#include <cstdint>
#include <span>

#include "platform/native_thread.h"
#include "platform/routine_table.h"
#include "threads/binding.h"
#include "threads/critical_lock.h"

// Makes concurrent stops of every TimerThread take turns; created on first use.
CriticalLock& timer_stop_lock();

class TimerThread {
 public:
  using Method = void (TimerThread::*)();
  static std::span<const Method> bindable_methods();

  TimerThread() = default;
  ~TimerThread();
  TimerThread(const TimerThread&) = delete;
  TimerThread& operator=(const TimerThread&) = delete;

  // The body of the timer's thread.
  void run();
  // Starts calling `callback` every `interval` ms (a negative interval is
  // stored as 0, which makes no calls until set_interval). False, changing
  // nothing, while already started.
  bool start(int32_t interval, RoutineRef callback);
  void stop();
  void set_interval(int32_t milliseconds);
  // Calls the callback at once on the calling thread and answers its result;
  // 0 without a callback.
  int32_t fire();
  int32_t interval() const { return interval_ms.load(); }
  // Stores the routine and answers its handle.
  RoutineHandle set_callback(RoutineRef routine);

 private:
  // Whether the calling thread is the one the current run started and no
  // stop was asked for.
  bool keeps_running(uint32_t me) const {
    return stop_requested.load() == 0 && run_thread_id.load() == me;
  }
  // Waits for the thread of an earlier run to end, unless it is the caller.
  static void join_previous(ThreadHandle previous);

  std::atomic<int32_t> interval_ms{0};
  std::atomic<RoutineHandle> callback{0};
  std::atomic<int32_t> stop_requested{0};
  // Set once destruction begins: the thread then makes no further call.
  std::atomic<bool> destroying{false};
  // The thread of the current run; a thread whose run was superseded ends.
  std::atomic<uint32_t> run_thread_id{0};
  // Non-null exactly while started; guarded by timer_stop_lock().
  Binding* entry = nullptr;
  // The latest run's thread, kept so that a later start or destruction can
  // wait for it; guarded by timer_stop_lock().
  ThreadHandle thread = nullptr;
};

#endif  // NOVEL_THREADS_TIMER_THREAD_H_
