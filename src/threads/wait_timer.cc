#include "threads/wait_timer.h"

#include <chrono>
#include <cmath>
#include <thread>

#include "platform/message_pump.h"
#include "platform/waitable_timer.h"

namespace {

constexpr int32_t kUnitMultipliers[] = {1, 1000, 60000, 3600000};
// pump_wait's "no end": about ten thousand years, both amount and multiplier.
constexpr int32_t kEndlessAmount = 18000000;

// A relative due time in 100 ns units, computed in double precision as the
// timer expects it (negative means "from now").
int64_t relative_due_time(int32_t amount, double multiplier) {
  return static_cast<int64_t>(std::trunc(amount * multiplier * -10000.0));
}

}  // namespace

WaitTimer::WaitTimer() = default;

WaitTimer::~WaitTimer() { close(); }

void WaitTimer::start(int32_t amount, int32_t unit) {
  close();
  const double multiplier = unit >= 0 && unit <= 3 ? kUnitMultipliers[unit] : 1;
  timer_ = std::make_unique<WaitableTimer>();
  timer_->set(relative_due_time(amount, multiplier));
}

bool WaitTimer::wait(int32_t timeout_ms) { return timer_ == nullptr || timer_->wait(timeout_ms); }

void WaitTimer::close() { timer_.reset(); }

void pump_wait(int32_t amount, int32_t unit) {
  double multiplier = unit >= 0 && unit <= 3 ? kUnitMultipliers[unit] : unit;
  if (amount <= 0) {
    amount = kEndlessAmount;
    multiplier = kEndlessAmount;
  }
  WaitableTimer timer;
  timer.set(relative_due_time(amount, multiplier));
  while (!timer.wait(1)) pump_messages();
}

void pump_messages() { run_message_pump(); }

WaitPause::WaitPause(int32_t wait_mode)
    : pumps_(wait_mode == 2 || (wait_mode != 1 && has_message_pump())) {}

void WaitPause::operator()(int32_t milliseconds) const {
  if (pumps_ && milliseconds <= 0) {
    // pump_wait would take a length of 0 as "no end".
    pump_messages();
  } else if (pumps_) {
    pump_wait(milliseconds);
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
}
