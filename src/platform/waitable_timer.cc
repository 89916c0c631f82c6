#include "platform/waitable_timer.h"

#include <algorithm>
#include <thread>

namespace {

// Due times beyond a century are treated as a century: the clock's
// nanosecond count could not hold them, and such a timer never fires in
// practice anyway.
constexpr int64_t kLongestDelay100ns = int64_t{100} * 365 * 24 * 3600 * 10'000'000;

}  // namespace

void WaitableTimer::set(int64_t due_time) {
  const int64_t delay = due_time >= 0 ? 0 : std::min(-due_time, kLongestDelay100ns);
  due_ = std::chrono::steady_clock::now() + std::chrono::nanoseconds(delay * 100);
  armed_ = true;
}

bool WaitableTimer::wait(int64_t timeout_ms) {
  const auto now = std::chrono::steady_clock::now();
  const auto timeout = std::chrono::milliseconds(std::max<int64_t>(timeout_ms, 0));
  if (!armed_) {
    std::this_thread::sleep_for(timeout);
    return false;
  }
  if (now < due_) {
    if (due_ - now > timeout) {
      std::this_thread::sleep_for(timeout);
      return false;
    }
    std::this_thread::sleep_until(due_);
  }
  armed_ = false;
  return true;
}
