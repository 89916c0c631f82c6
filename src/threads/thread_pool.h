// ThreadPool runs many short jobs on a set of worker threads that take their
// work from one queue. A manager thread keeps the number of workers between a
// minimum and a maximum (every 500 ms it adds workers while accepted jobs
// outnumber running ones, or while there are fewer than the minimum);
// workers idle longer than the idle time-out leave while there are more than
// the minimum. A job is a routine plus optional argument bytes; it receives
// its job id (1, 2, 3, ... from start or reset) and may fetch its bytes with
// job_argument(id).
//
// The collection driver starts the pool, submits one job per chapter, and
// from its timer resets the pool once busy_count() is 0.
//
// Threads cannot be stopped from outside safely, so "ending" a worker
// (reset with `terminate` or an expired `timeout_ms`, destruction) means the
// pool stops tracking it: the thread finishes what it is doing and then
// leaves at its next check without touching the pool's current run. Pausing
// is cooperative: a paused worker starts no new job, and a running job goes
// on.
//
// Thread safety: every method may be called from any thread, except that
// reset() must not be called from one of the pool's own jobs (it would wait
// for itself), and no two of start(), reset() and destruction may overlap.
#ifndef NOVEL_THREADS_THREAD_POOL_H_
#define NOVEL_THREADS_THREAD_POOL_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/routine_table.h"

class ThreadPool {
 public:
  static constexpr int32_t kDefaultMinThreads = 5;
  static constexpr int32_t kDefaultMaxThreads = 10;
  static constexpr int32_t kDefaultQueueLimit = 1000000;
  static constexpr int32_t kDefaultIdleTimeoutMs = 1000;
  static constexpr int32_t kShortestIdleTimeoutMs = 300;

  ThreadPool();
  // Stops the manager and stops tracking the workers; idle workers leave
  // within about the idle time-out, a running job finishes first.
  ~ThreadPool();
  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;

  // Starts the manager with the given settings (0 or less: each setter's
  // default; `com_init` 0 runs jobs without a component-library set-up).
  // False, changing nothing, when the pool is already running: the settings
  // of the first start stay for the life of the pool.
  bool start(int32_t min_threads = 0, int32_t max_threads = 0, int32_t queue_limit = 0,
             int32_t idle_timeout_ms = 0, int32_t stack_size = 0, int32_t com_init = 1);
  // Accepts a job and answers its id (1 or more); 0 when the pool is not
  // running; -1 when refused. There is room while fewer than queue_limit +
  // max_threads jobs are pending. Without room: with `no_wait` other than 0
  // the job is refused at once; otherwise the call retries every 50 ms until
  // there is room, until `wait_ms` (when not 0) has passed, or until the pool
  // stops. A null routine is refused.
  int32_t submit(RoutineRef routine, std::string_view argument = {}, int32_t no_wait = 0,
                 int32_t wait_ms = 0, int32_t wait_mode = 0);
  int32_t submit_address(RoutineHandle routine, std::string_view argument = {}, int32_t no_wait = 0,
                         int32_t wait_ms = 0, int32_t wait_mode = 0);
  // The bytes stored for a job from its acceptance until its routine has
  // returned; empty otherwise or when it was submitted without bytes.
  std::string job_argument(int32_t id);

  // 0 or less: 1000; 1 to 299: 300.
  void set_idle_timeout(int32_t milliseconds);
  void set_com_init(int32_t flag = 1);
  // Workers' stack reservation by the launcher's rule; 0: the default.
  void set_stack_size(int32_t bytes);
  // Each: 0 or less sets the default.
  void set_min_threads(int32_t count);
  void set_max_threads(int32_t count);
  void set_queue_limit(int32_t count);

  // Live workers.
  int32_t thread_count();
  // Jobs accepted and not yet finished, queued or running.
  int32_t pending_count() const;
  // Jobs accepted and not yet started.
  int32_t queued_count() const;
  // Jobs whose routine runs right now. May be 0 while jobs are pending (a
  // worker between two jobs, or before the first is taken).
  int32_t busy_count() const;

  // Workers start no new job until resume(); submit still accepts jobs. The
  // suspend flag asks for no more than that.
  void pause(bool suspend = false);
  void resume();
  // Stops the manager and the workers and brings the pool back up empty,
  // with its settings unchanged: queued jobs are dropped, job ids restart at
  // 1. Waits for each worker to finish its job, unless `terminate` is not 0
  // or `timeout_ms` (when above 0) runs out first. `wait_mode` as for
  // WaitPause. Does nothing on a pool that was never started.
  void reset(int32_t terminate = 0, int32_t timeout_ms = 0, int32_t wait_mode = 0);
  // Waits until no job is pending (checking every 100 ms), or answers false
  // once `timeout_ms` (when 1 or more) has passed (checking every 200 ms).
  bool wait_idle(int32_t timeout_ms = 0, int32_t wait_mode = 0);

  // The settings in force.
  int32_t min_threads() const;
  int32_t max_threads() const;
  int32_t queue_limit() const;
  int32_t idle_timeout() const;
  int32_t stack_size() const;
  int32_t com_init() const;

 private:
  class Core;
  // Shared with the pool's threads, so that a thread the pool no longer
  // tracks can finish without touching freed memory.
  std::shared_ptr<Core> core_;
};

#endif  // NOVEL_THREADS_THREAD_POOL_H_
