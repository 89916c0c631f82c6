// Helpers shared by the thread pool tests: a gate that jobs wait behind, and
// polling with a generous deadline (the test machines are shared and slow).
#ifndef NOVEL_TESTS_THREADS_POOL_TEST_UTIL_H_
#define NOVEL_TESTS_THREADS_POOL_TEST_UTIL_H_

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Jobs pass() only after open(); close() makes later ones wait again.
class Gate {
 public:
  void open() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      open_ = true;
    }
    changed_.notify_all();
  }
  void close() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = false;
  }
  void pass() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
};

// Polls `condition` every 10 ms for up to `limit`; answers its last value.
inline bool eventually(const std::function<bool()>& condition,
                       std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

#endif  // NOVEL_TESTS_THREADS_POOL_TEST_UTIL_H_
