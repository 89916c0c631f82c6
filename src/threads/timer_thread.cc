#include "threads/timer_thread.h"

#include <array>
#include <chrono>
#include <thread>
#include <utility>

#include "threads/thread_launcher.h"
#include "threads/wait_timer.h"

namespace {

constexpr int32_t kNoIntervalSleepMs = 10;
constexpr int32_t kStopCheckMs = 100;

}  // namespace

CriticalLock& timer_stop_lock() {
  static CriticalLock lock;
  return lock;
}

std::span<const TimerThread::Method> TimerThread::bindable_methods() {
  static constexpr std::array<Method, 1> methods = {&TimerThread::run};
  return methods;
}

TimerThread::~TimerThread() {
  destroying = true;
  stop();
  ThreadHandle last;
  {
    CriticalLockGuard guard(timer_stop_lock());
    last = std::exchange(thread, nullptr);
  }
  join_previous(last);
}

void TimerThread::run() {
  const uint32_t me = current_thread_id();
  WaitTimer timer;
  while (keeps_running(me)) {
    const int32_t period = interval_ms;
    if (period == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(kNoIntervalSleepMs));
      continue;
    }
    timer.start(period);
    while (keeps_running(me) && !timer.wait(kStopCheckMs)) {
    }
    timer.close();
    // A stop from another thread ends the wait early and still gets this
    // call; a superseded run or a timer being destroyed gets none.
    if (run_thread_id == me && !destroying && callback != 0) call_routine(callback);
  }
}

void TimerThread::join_previous(ThreadHandle previous) {
  if (previous == nullptr) return;
  if (native_thread_id(previous) != current_thread_id()) wait_native_thread(previous, -1);
  close_native_thread(previous);
}

bool TimerThread::start(int32_t interval, RoutineRef new_callback) {
  ThreadHandle previous;
  {
    CriticalLockGuard guard(timer_stop_lock());
    if (entry != nullptr) return false;
    previous = std::exchange(thread, nullptr);
  }
  // Waited for outside the lock: its callback may be calling stop().
  join_previous(previous);

  CriticalLockGuard guard(timer_stop_lock());
  if (entry != nullptr) return false;  // another start came first
  entry = bind_method(this, 1, 0);
  stop_requested = 0;
  set_interval(interval);
  set_callback(new_callback);
  // The thread is held until it knows it is the current run's thread.
  uint32_t id = 0;
  if (create_thread(entry, &thread, 0, /*start_suspended=*/1, &id)) {
    run_thread_id = id;
    resume_native_thread(thread);
  }
  return true;
}

void TimerThread::stop() {
  CriticalLockGuard guard(timer_stop_lock());
  if (entry == nullptr) return;
  stop_requested = 1;
  release_binding(entry);
  entry = nullptr;
}

void TimerThread::set_interval(int32_t milliseconds) {
  interval_ms = milliseconds < 0 ? 0 : milliseconds;
}

int32_t TimerThread::fire() {
  const RoutineHandle routine = callback;
  return routine == 0 ? 0 : call_routine(routine);
}

RoutineHandle TimerThread::set_callback(RoutineRef routine) {
  callback = routine.handle;
  return routine.handle;
}
