#include "platform/native_thread.h"

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <memory>
#include <mutex>

// The state a thread shares with the holders of its handle. The thread keeps
// one reference and each open handle one; the last to let go frees it.
struct NativeThread {
  ThreadStart start = nullptr;
  void* parameter = nullptr;
  uint32_t id = 0;
  std::atomic<int> references{2};

  std::mutex mutex;
  std::condition_variable changed;
  pthread_t pthread{};
  bool suspended = false;            // guarded by mutex
  bool finished = false;             // guarded by mutex
  int pinned_cpu = -1;               // guarded by mutex; applied when the thread starts
  int32_t exit_code = kStillActive;  // guarded by mutex
};

namespace {

std::atomic<uint32_t> last_thread_id{0};
thread_local uint32_t this_thread_id = 0;

void release(NativeThread* thread) {
  if (thread->references.fetch_sub(1, std::memory_order_acq_rel) == 1) delete thread;
}

void pin(pthread_t pthread, int cpu) {
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(cpu, &set);
  pthread_setaffinity_np(pthread, sizeof set, &set);
}

void* thread_main(void* raw) {
  auto* thread = static_cast<NativeThread*>(raw);
  this_thread_id = thread->id;
  {
    std::unique_lock<std::mutex> lock(thread->mutex);
    thread->changed.wait(lock, [thread] { return !thread->suspended; });
    if (thread->pinned_cpu >= 0) pin(pthread_self(), thread->pinned_cpu);
  }
  const int32_t code = thread->start(thread->parameter);
  {
    std::lock_guard<std::mutex> lock(thread->mutex);
    thread->exit_code = code;
    thread->finished = true;
  }
  thread->changed.notify_all();
  release(thread);
  return nullptr;
}

}  // namespace

bool create_native_thread(ThreadStart start, void* parameter, size_t stack_size, bool suspended,
                          ThreadHandle* handle, uint32_t* id) {
  auto thread = std::make_unique<NativeThread>();
  thread->start = start;
  thread->parameter = parameter;
  thread->id = last_thread_id.fetch_add(1) + 1;
  thread->suspended = suspended;

  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return false;
  const size_t size =
      std::max(stack_size == 0 ? kDefaultStackSize : stack_size, minimum_stack_size());
  bool created = pthread_attr_setstacksize(&attributes, size) == 0 &&
                 pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED) == 0;
  if (created) {
    // The new thread may run and end at once; it must find pthread set, so
    // the mutex is held across creation.
    std::lock_guard<std::mutex> lock(thread->mutex);
    created = pthread_create(&thread->pthread, &attributes, thread_main, thread.get()) == 0;
  }
  pthread_attr_destroy(&attributes);
  if (!created) return false;
  *id = thread->id;
  *handle = thread.release();
  return true;
}

void resume_native_thread(ThreadHandle thread) {
  if (thread == nullptr) return;
  {
    std::lock_guard<std::mutex> lock(thread->mutex);
    thread->suspended = false;
  }
  thread->changed.notify_all();
}

bool wait_native_thread(ThreadHandle thread, int64_t timeout_ms) {
  if (thread == nullptr) return false;
  std::unique_lock<std::mutex> lock(thread->mutex);
  const auto finished = [thread] { return thread->finished; };
  if (timeout_ms < 0) {
    thread->changed.wait(lock, finished);
    return true;
  }
  return thread->changed.wait_for(lock, std::chrono::milliseconds(timeout_ms), finished);
}

bool native_thread_exit_code(ThreadHandle thread, int32_t* code) {
  if (thread == nullptr) return false;
  std::lock_guard<std::mutex> lock(thread->mutex);
  *code = thread->exit_code;
  return true;
}

uint32_t native_thread_id(ThreadHandle thread) { return thread == nullptr ? 0 : thread->id; }

void close_native_thread(ThreadHandle thread) {
  if (thread != nullptr) release(thread);
}

void pin_native_thread(ThreadHandle thread, int cpu) {
  if (thread == nullptr || cpu < 0 || cpu >= CPU_SETSIZE) return;
  std::lock_guard<std::mutex> lock(thread->mutex);
  if (thread->suspended) {
    thread->pinned_cpu = cpu;
  } else if (!thread->finished) {
    // Until it marks itself finished the thread has not returned, so its
    // pthread_t still names it.
    pin(thread->pthread, cpu);
  }
}

uint32_t current_thread_id() {
  if (this_thread_id == 0) this_thread_id = last_thread_id.fetch_add(1) + 1;
  return this_thread_id;
}

int processor_count() {
  const long count = sysconf(_SC_NPROCESSORS_ONLN);
  return count < 1 ? 1 : static_cast<int>(std::min<long>(count, INT_MAX));
}

size_t minimum_stack_size() {
  const long minimum = sysconf(_SC_THREAD_STACK_MIN);
  return minimum > 0 ? static_cast<size_t>(minimum) : size_t{16384};
}
