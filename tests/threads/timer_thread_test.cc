#include "threads/timer_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "threads/pool_test_util.h"

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// What the callbacks of one test see and do; each test installs a fresh one.
struct TickLog {
  TimerThread* timer = nullptr;
  std::mutex mutex;
  std::vector<Clock::time_point> starts;  // guarded by mutex
  std::atomic<int> calls{0};
  std::atomic<int> inside{0};
  std::atomic<int> most_inside{0};
  std::atomic<uint32_t> thread_id{0};
  std::atomic<int> sleep_ms{0};
  std::atomic<bool> stop_inside{false};
  Gate gate;
  std::atomic<bool> gated{false};
};
TickLog* ticks = nullptr;

int32_t tick() {
  const int now_inside = ++ticks->inside;
  if (now_inside > ticks->most_inside) ticks->most_inside = now_inside;
  {
    std::lock_guard<std::mutex> lock(ticks->mutex);
    ticks->starts.push_back(Clock::now());
  }
  ticks->thread_id = current_thread_id();
  if (ticks->gated) ticks->gate.pass();
  std::this_thread::sleep_for(milliseconds(ticks->sleep_ms));
  if (ticks->stop_inside) ticks->timer->stop();
  ticks->inside--;
  return ++ticks->calls;
}

class TimerThreadTest : public ::testing::Test {
 protected:
  TimerThreadTest() {
    log_ = std::make_unique<TickLog>();
    ticks = log_.get();
    ticks->timer = &timer_;
  }
  ~TimerThreadTest() override { log_->gate.open(); }

  std::vector<Clock::time_point> starts() {
    std::lock_guard<std::mutex> lock(ticks->mutex);
    return ticks->starts;
  }

  std::unique_ptr<TickLog> log_;  // outlives the timer, whose thread may still call
  TimerThread timer_;
};

TEST_F(TimerThreadTest, FirstCallComesOneIntervalAfterStartAndEachAfterThePreviousReturned) {
  ticks->sleep_ms = 60;
  const auto started = Clock::now();
  ASSERT_TRUE(timer_.start(100, tick));
  ASSERT_TRUE(eventually([&] { return ticks->calls >= 4; }));
  timer_.stop();
  const auto at = starts();
  EXPECT_GE(at[0] - started, milliseconds(100));
  EXPECT_LT(at[0] - started, milliseconds(2000));
  for (size_t i = 1; i < at.size(); ++i) {
    EXPECT_GE(at[i] - at[i - 1], milliseconds(160)) << i;  // 100 ms after a 60 ms call
  }
  EXPECT_NE(ticks->thread_id.load(), current_thread_id());
}

TEST_F(TimerThreadTest, SecondStartIsRefusedAndKeepsTheFirstSettings) {
  ASSERT_TRUE(timer_.start(5000, tick));
  EXPECT_FALSE(timer_.start(20, tick));
  EXPECT_EQ(timer_.interval(), 5000);
  std::this_thread::sleep_for(milliseconds(200));
  EXPECT_EQ(ticks->calls.load(), 0);
}

TEST_F(TimerThreadTest, NegativeIntervalMakesNoCallsUntilAnIntervalIsSet) {
  ASSERT_TRUE(timer_.start(-5, tick));
  EXPECT_EQ(timer_.interval(), 0);
  std::this_thread::sleep_for(milliseconds(200));
  EXPECT_EQ(ticks->calls.load(), 0);
  timer_.set_interval(30);
  EXPECT_TRUE(eventually([&] { return ticks->calls >= 2; }));
}

TEST_F(TimerThreadTest, StopFromTheCallbackEndsTheThreadAndALaterStartWorks) {
  ticks->stop_inside = true;
  ASSERT_TRUE(timer_.start(20, tick));
  ASSERT_TRUE(eventually([&] { return ticks->calls == 1; }));
  std::this_thread::sleep_for(milliseconds(200));
  EXPECT_EQ(ticks->calls.load(), 1);

  ticks->stop_inside = false;
  ASSERT_TRUE(timer_.start(20, tick));
  EXPECT_TRUE(eventually([&] { return ticks->calls >= 3; }));
}

TEST_F(TimerThreadTest, StopNeverWaitsAndOnAnIdleTimerDoesNothing) {
  timer_.stop();
  ticks->gated = true;
  ASSERT_TRUE(timer_.start(10, tick));
  ASSERT_TRUE(eventually([&] { return ticks->inside == 1; }));
  const auto before = Clock::now();
  timer_.stop();  // the callback is still blocked
  EXPECT_LT(Clock::now() - before, milliseconds(1000));
  ticks->gate.open();
  std::this_thread::sleep_for(milliseconds(200));
  EXPECT_EQ(ticks->calls.load(), 1);  // it saw the stop when the callback returned
}

TEST_F(TimerThreadTest, StopFromAnotherThreadWhileWaitingGivesOneMoreCall) {
  ASSERT_TRUE(timer_.start(10000, tick));
  std::this_thread::sleep_for(milliseconds(50));
  timer_.stop();
  EXPECT_TRUE(eventually([&] { return ticks->calls == 1; }, milliseconds(3000)));
  std::this_thread::sleep_for(milliseconds(200));
  EXPECT_EQ(ticks->calls.load(), 1);
}

TEST_F(TimerThreadTest, StartAfterAnUnseenStopWaitsForTheOldThread) {
  ticks->gated = true;
  ASSERT_TRUE(timer_.start(10, tick));
  ASSERT_TRUE(eventually([&] { return ticks->inside == 1; }));
  timer_.stop();
  std::atomic<bool> restarted{false};
  std::thread starter([&] { restarted = timer_.start(10, tick); });
  std::this_thread::sleep_for(milliseconds(100));
  EXPECT_FALSE(restarted);  // the old callback still runs
  ticks->gate.open();
  starter.join();
  EXPECT_TRUE(restarted);
  ASSERT_TRUE(eventually([&] { return ticks->calls >= 5; }));
  timer_.stop();
  EXPECT_EQ(ticks->most_inside.load(), 1);  // never two loops at once
}

TEST_F(TimerThreadTest, FireCallsAtOnceOnTheCallersThread) {
  EXPECT_EQ(timer_.fire(), 0);  // no callback
  EXPECT_EQ(timer_.set_callback(tick), routine_handle(tick));
  EXPECT_EQ(timer_.fire(), 1);
  EXPECT_EQ(ticks->thread_id.load(), current_thread_id());
  ASSERT_TRUE(timer_.start(10000, tick));
  EXPECT_EQ(timer_.fire(), 2);
}

TEST(TimerThreadLifetime, DestructionMakesNoFurtherCallAndWaitsForTheThread) {
  TickLog log;
  ticks = &log;
  {
    TimerThread timer;
    log.timer = &timer;
    ASSERT_TRUE(timer.start(10000, tick));
    std::this_thread::sleep_for(milliseconds(50));
  }
  std::this_thread::sleep_for(milliseconds(200));
  EXPECT_EQ(log.calls.load(), 0);
}

}  // namespace
