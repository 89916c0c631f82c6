#include "threads/thread_pool.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "containers/hash_table.h"
#include "platform/completion_queue.h"
#include "platform/native_thread.h"
#include "threads/atomic_integer.h"
#include "threads/binding.h"
#include "threads/critical_lock.h"
#include "threads/thread_annotations.h"
#include "threads/thread_launcher.h"
#include "threads/wait_timer.h"

namespace {

constexpr int32_t kManagerPassMs = 500;
constexpr int32_t kPausedWorkerSleepMs = 500;
constexpr int32_t kSubmitRetryMs = 50;
constexpr int32_t kResetCheckMs = 200;
constexpr int32_t kIdleCheckMs = 100;
constexpr int32_t kTimedIdleCheckMs = 200;

void sleep_ms(int32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

struct WorkerRecord {
  ThreadHandle handle;
  uint32_t id;
};

// One run of the pool, from start or reset to the next reset: its queue and
// its count of running jobs. A worker keeps the run it was made for, so a
// worker that a reset stopped tracking only ever touches its old run.
struct Run {
  explicit Run(int32_t run_number) : number(run_number) {}
  const int32_t number;
  CompletionQueue port;
  AtomicInteger busy;
};

}  // namespace

class ThreadPool::Core : public std::enable_shared_from_this<Core> {
 public:
  using Method = void (Core::*)();
  // The thread bodies, by their place in the class order.
  static std::span<const Method> bindable_methods() {
    static constexpr std::array<Method, 2> methods = {&Core::manager_loop, &Core::worker_loop};
    return methods;
  }

  Core() = default;
  ~Core();

  void manager_loop();
  void worker_loop();
  bool is_running() const { return running.load() == 1; }
  // Starts the first run with the settings already stored.
  void start();
  int32_t submit_address(RoutineHandle routine, std::string_view argument, int32_t no_wait,
                         int32_t wait_ms, int32_t wait_mode);
  std::string job_argument(int32_t id);
  int32_t thread_count();
  int32_t busy_count();
  void pause();
  void resume();
  void reset(int32_t terminate, int32_t timeout_ms, int32_t wait_mode);
  bool wait_idle(int32_t timeout_ms, int32_t wait_mode);
  // Ends the pool for good: what destruction of the ThreadPool does.
  void shut_down();

  // Settings; read by the pool's threads without the lock.
  std::atomic<int32_t> queue_limit{0};
  std::atomic<int32_t> min_threads{0};
  std::atomic<int32_t> max_threads{0};
  std::atomic<int32_t> stack_size{0};
  std::atomic<int32_t> idle_timeout_ms{0};
  std::atomic<int32_t> com_init{0};
  // Written under the lock, read anywhere.
  std::atomic<int32_t> pending{0};

 private:
  // Whether `run` is the pool's current, running run.
  bool is_current(const Run& run) const {
    return running.load() == 1 && run_number.load() == run.number;
  }
  // Accepts a job when there is room: answers its id, or -1.
  int32_t try_accept(RoutineHandle routine, std::string_view argument) REQUIRES(lock);
  void run_job(Run& run, const CompletionPacket& packet) EXCLUDES(lock);
  // Forgets every worker; the threads leave on their own.
  void untrack_workers() REQUIRES(lock);
  void wait_for_manager(const WaitPause& pause);
  // Waits up to `milliseconds` for the last tracked worker to leave.
  void wait_workers_gone(int32_t milliseconds);
  // Clears `running` and wakes the manager from its pause between passes.
  void stop_running();
  // A new run with empty counters, queue and argument table, and its manager.
  void begin_run() REQUIRES(lock);

  CriticalLock lock;
  HashTable job_arguments GUARDED_BY(lock);
  int32_t job_counter GUARDED_BY(lock) = 0;
  std::shared_ptr<Run> run GUARDED_BY(lock);
  std::vector<WorkerRecord> workers GUARDED_BY(lock);
  // The size of `workers`, written under the lock, read anywhere.
  std::atomic<int32_t> worker_count{0};
  // Plain flags: written by the caller's thread, polled by the pool's.
  std::atomic<int32_t> paused{0};
  std::atomic<int32_t> running{0};
  std::atomic<int32_t> run_number{0};
  // The manager pauses on this between passes, so that a stop need not wait
  // out the pause.
  std::mutex manager_wake_mutex;
  std::condition_variable manager_wake;
  // The last worker to leave signals this, so that a reset waiting for the
  // workers learns at once that they are gone instead of at its next check.
  // Taken after `lock` when both are held.
  std::mutex workers_gone_mutex;
  std::condition_variable workers_gone;
  // Touched only by the thread that starts, resets or destroys the pool.
  bool started = false;
  Binding* manager_entry = nullptr;
  Binding* worker_entry = nullptr;
  ThreadHandle manager_thread = nullptr;
};

ThreadPool::Core::~Core() {
  release_binding(manager_entry);
  release_binding(worker_entry);
}

void ThreadPool::Core::start() {
  manager_entry = bind_method(shared_from_this(), 1, 0);
  worker_entry = bind_method(shared_from_this(), 2, 0);
  started = true;
  CriticalLockGuard guard(lock);
  begin_run();
}

void ThreadPool::Core::begin_run() {
  job_counter = 0;
  pending = 0;
  job_arguments.close();
  job_arguments.create(kHashInteger, kHashBytes);
  run = std::make_shared<Run>(run_number.load() + 1);
  run_number = run->number;
  running = 1;
  // Without a manager (no thread could be made) the pool runs no job; it
  // still accepts them, as a later reset may bring a manager.
  create_thread(manager_entry, &manager_thread);
}

void ThreadPool::Core::manager_loop() {
  while (running.load() == 1) {
    while (paused.load() == 0 && running.load() != 0) {
      // One worker per hold of the lock: making hundreds of threads takes a
      // while, and submits, finishing jobs and a reset must not wait for all
      // of them. The new worker looks for its record under the lock, so the
      // record goes in before the lock is let go.
      CriticalLockGuard guard(lock);
      const auto count = static_cast<int64_t>(workers.size());
      const bool needed = (count < max_threads && pending > run->busy.get()) || count < min_threads;
      if (!needed) break;
      WorkerRecord record{nullptr, 0};
      // A creation that fails is tried again at the next pass, not at once.
      if (!create_thread(worker_entry, &record.handle, stack_size, 0, &record.id)) break;
      workers.push_back(record);
      worker_count = static_cast<int32_t>(workers.size());
    }
    std::unique_lock<std::mutex> wait_lock(manager_wake_mutex);
    manager_wake.wait_for(wait_lock, std::chrono::milliseconds(kManagerPassMs),
                          [this] { return running.load() != 1; });
  }
}

void ThreadPool::Core::stop_running() {
  running = 0;
  // Taking the mutex orders the store before a manager's next look at it.
  { std::lock_guard<std::mutex> wait_lock(manager_wake_mutex); }
  manager_wake.notify_all();
}

void ThreadPool::Core::worker_loop() {
  const uint32_t me = current_thread_id();
  std::shared_ptr<Run> mine;
  {
    CriticalLockGuard guard(lock);
    // A worker forgotten before it got going has nothing to do.
    bool tracked = false;
    for (const WorkerRecord& record : workers) tracked = tracked || record.id == me;
    if (!tracked) return;
    mine = run;
  }
  while (is_current(*mine)) {
    if (paused.load() == 1) {
      sleep_ms(kPausedWorkerSleepMs);
      continue;
    }
    // One blocking take for the whole idle time-out: an idle worker wakes
    // about once per time-out, and a busy one asks for its next job at once.
    CompletionPacket packet;
    if (mine->port.take(idle_timeout_ms, &packet)) {
      if (packet.routine > 0) run_job(*mine, packet);
      continue;
    }
    // The idle time ran out, or the queue was closed because the run ended.
    // Idle workers time out together; at the minimum they need not queue up
    // on the lock only to learn that they stay.
    if (worker_count.load() <= min_threads) continue;
    CriticalLockGuard guard(lock);
    if (static_cast<int64_t>(workers.size()) > min_threads) break;
  }
  CriticalLockGuard guard(lock);
  for (auto it = workers.begin(); it != workers.end(); ++it) {
    if (it->id == me) {
      close_native_thread(it->handle);
      workers.erase(it);
      worker_count = static_cast<int32_t>(workers.size());
      break;
    }
  }
  if (workers.empty()) {
    // Taking the mutex orders the count's store before a waiting reset's
    // next look at it.
    { std::lock_guard<std::mutex> wait_lock(workers_gone_mutex); }
    workers_gone.notify_all();
  }
}

void ThreadPool::Core::run_job(Run& job_run, const CompletionPacket& packet) {
  job_run.busy.increment();
  const bool with_com = com_init.load() != 0;
  if (with_com) initialise_com(false);
  call_routine(packet.routine, packet.id);
  if (with_com) release_com();
  job_run.busy.decrement();
  CriticalLockGuard guard(lock);
  // After a reset the counters and the table belong to the new run.
  if (run.get() != &job_run) return;
  pending = pending - 1;
  job_arguments.remove(packet.id);
}

int32_t ThreadPool::Core::try_accept(RoutineHandle routine, std::string_view argument) {
  if (int64_t{pending} >= int64_t{queue_limit} + max_threads) return -1;
  const int32_t id = ++job_counter;
  if (!argument.empty()) job_arguments.set(id, argument);
  pending = pending + 1;
  run->port.post({routine, id});
  return id;
}

int32_t ThreadPool::Core::submit_address(RoutineHandle routine, std::string_view argument,
                                         int32_t no_wait, int32_t wait_ms, int32_t wait_mode) {
  if (running.load() == 0) return 0;
  // A job without a routine could never finish and would stay pending.
  if (routine <= 0) return -1;
  {
    CriticalLockGuard guard(lock);
    const int32_t id = try_accept(routine, argument);
    if (id > 0) return id;
  }
  if (no_wait != 0) return -1;
  const WaitPause pause(wait_mode);
  WaitTimer deadline;
  if (wait_ms != 0) deadline.start(wait_ms);
  while (running.load() == 1) {
    {
      CriticalLockGuard guard(lock);
      const int32_t id = try_accept(routine, argument);
      if (id > 0) return id;
    }
    if (wait_ms != 0 && deadline.wait()) return -1;
    pause(kSubmitRetryMs);
  }
  return -1;
}

std::string ThreadPool::Core::job_argument(int32_t id) {
  CriticalLockGuard guard(lock);
  return job_arguments.get(id).bytes();
}

int32_t ThreadPool::Core::thread_count() {
  CriticalLockGuard guard(lock);
  return static_cast<int32_t>(workers.size());
}

int32_t ThreadPool::Core::busy_count() {
  CriticalLockGuard guard(lock);
  return run == nullptr ? 0 : run->busy.get();
}

void ThreadPool::Core::pause() {
  CriticalLockGuard guard(lock);
  paused = 1;
}

void ThreadPool::Core::resume() {
  CriticalLockGuard guard(lock);
  paused = 0;
}

void ThreadPool::Core::untrack_workers() {
  for (const WorkerRecord& record : workers) close_native_thread(record.handle);
  workers.clear();
  worker_count = 0;
}

void ThreadPool::Core::wait_for_manager(const WaitPause& pause) {
  if (manager_thread == nullptr) return;
  if (pause.pumps()) {
    while (!wait_native_thread(manager_thread, 2)) pump_messages();
  } else {
    wait_native_thread(manager_thread, -1);
  }
  close_native_thread(manager_thread);
  manager_thread = nullptr;
}

void ThreadPool::Core::wait_workers_gone(int32_t milliseconds) {
  std::unique_lock<std::mutex> wait_lock(workers_gone_mutex);
  workers_gone.wait_for(wait_lock, std::chrono::milliseconds(milliseconds),
                        [this] { return worker_count.load() == 0; });
}

void ThreadPool::Core::reset(int32_t terminate, int32_t timeout_ms, int32_t wait_mode) {
  // A pool that never started has nothing to stop, and bringing it "back"
  // up would leave it running without a manager and refusing start().
  if (!started) return;
  stop_running();
  resume();
  {
    // Packets without a job wake idle workers, so that they see the stop now
    // rather than at the end of their idle wait.
    CriticalLockGuard guard(lock);
    for (size_t i = 0; i < workers.size(); ++i) run->port.post({0, 0});
  }
  const WaitPause pause(wait_mode);
  wait_for_manager(pause);
  if (terminate == 0) {
    WaitTimer deadline;
    if (timeout_ms > 0) deadline.start(timeout_ms);
    while (thread_count() > 0) {
      if (timeout_ms > 0 && deadline.wait(1)) break;
      // A message-pumping wait keeps its pause, pumping as it goes; a plain
      // wait is woken by the last worker to leave.
      if (pause.pumps()) {
        pause(kResetCheckMs);
      } else {
        wait_workers_gone(kResetCheckMs);
      }
    }
  }
  CriticalLockGuard guard(lock);
  run->port.close();  // drops every job not yet taken
  untrack_workers();
  begin_run();
}

bool ThreadPool::Core::wait_idle(int32_t timeout_ms, int32_t wait_mode) {
  const WaitPause pause(wait_mode);
  if (timeout_ms < 1) {
    while (pending != 0) pause(kIdleCheckMs);
    return true;
  }
  WaitTimer deadline;
  deadline.start(timeout_ms);
  while (true) {
    if (deadline.wait(0)) return false;
    if (pending == 0) return true;
    pause(kTimedIdleCheckMs);
  }
}

void ThreadPool::Core::shut_down() {
  stop_running();
  {
    CriticalLockGuard guard(lock);
    if (run != nullptr) run->port.close();
  }
  wait_for_manager(WaitPause(1));
  CriticalLockGuard guard(lock);
  untrack_workers();
  job_arguments.close();
}

ThreadPool::ThreadPool() : core_(std::make_shared<Core>()) {}

ThreadPool::~ThreadPool() { core_->shut_down(); }

bool ThreadPool::start(int32_t min_threads, int32_t max_threads, int32_t queue_limit,
                       int32_t idle_timeout_ms, int32_t stack_size, int32_t com_init) {
  if (core_->is_running()) return false;
  set_min_threads(min_threads);
  set_max_threads(max_threads);
  set_queue_limit(queue_limit);
  set_idle_timeout(idle_timeout_ms);
  set_stack_size(stack_size);
  set_com_init(com_init);
  core_->start();
  return true;
}

int32_t ThreadPool::submit(RoutineRef routine, std::string_view argument, int32_t no_wait,
                           int32_t wait_ms, int32_t wait_mode) {
  return core_->submit_address(routine.handle, argument, no_wait, wait_ms, wait_mode);
}

int32_t ThreadPool::submit_address(RoutineHandle routine, std::string_view argument,
                                   int32_t no_wait, int32_t wait_ms, int32_t wait_mode) {
  return core_->submit_address(routine, argument, no_wait, wait_ms, wait_mode);
}

std::string ThreadPool::job_argument(int32_t id) { return core_->job_argument(id); }

void ThreadPool::set_idle_timeout(int32_t milliseconds) {
  core_->idle_timeout_ms =
      milliseconds <= 0 ? kDefaultIdleTimeoutMs : std::max(milliseconds, kShortestIdleTimeoutMs);
}

void ThreadPool::set_com_init(int32_t flag) { core_->com_init = flag; }
void ThreadPool::set_stack_size(int32_t bytes) { core_->stack_size = bytes; }
void ThreadPool::set_min_threads(int32_t count) {
  core_->min_threads = count > 0 ? count : kDefaultMinThreads;
}
void ThreadPool::set_max_threads(int32_t count) {
  core_->max_threads = count > 0 ? count : kDefaultMaxThreads;
}
void ThreadPool::set_queue_limit(int32_t count) {
  core_->queue_limit = count > 0 ? count : kDefaultQueueLimit;
}

int32_t ThreadPool::thread_count() { return core_->thread_count(); }
int32_t ThreadPool::pending_count() const { return core_->pending; }
int32_t ThreadPool::queued_count() const { return core_->pending - core_->busy_count(); }
int32_t ThreadPool::busy_count() const { return core_->busy_count(); }

void ThreadPool::pause(bool /*suspend*/) { core_->pause(); }
void ThreadPool::resume() { core_->resume(); }

void ThreadPool::reset(int32_t terminate, int32_t timeout_ms, int32_t wait_mode) {
  core_->reset(terminate, timeout_ms, wait_mode);
}

bool ThreadPool::wait_idle(int32_t timeout_ms, int32_t wait_mode) {
  return core_->wait_idle(timeout_ms, wait_mode);
}

int32_t ThreadPool::min_threads() const { return core_->min_threads; }
int32_t ThreadPool::max_threads() const { return core_->max_threads; }
int32_t ThreadPool::queue_limit() const { return core_->queue_limit; }
int32_t ThreadPool::idle_timeout() const { return core_->idle_timeout_ms; }
int32_t ThreadPool::stack_size() const { return core_->stack_size; }
int32_t ThreadPool::com_init() const { return core_->com_init; }
