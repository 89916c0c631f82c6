#include "threads/wait_timer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/message_pump.h"

namespace {

using Clock = std::chrono::steady_clock;

int64_t elapsed_ms(Clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
}

// Polls `timer` until it fires and answers how long that took.
int64_t ms_until_fired(WaitTimer& timer, Clock::time_point since) {
  while (!timer.wait(5)) {
  }
  return elapsed_ms(since);
}

TEST(WaitTimer, WithoutATimerWaitAnswersTrueAtOnce) {
  WaitTimer timer;
  EXPECT_TRUE(timer.wait(0));
  EXPECT_TRUE(timer.wait());
  timer.start(60, 1);
  timer.close();
  EXPECT_TRUE(timer.wait(0));
}

TEST(WaitTimer, DueTimeFollowsTheUnit) {
  struct Case {
    int32_t amount;
    int32_t unit;
    int64_t due_ms;
  };
  // A unit outside 0 to 3 counts as milliseconds.
  for (const Case& c : {Case{1, 1, 1000}, Case{5, 7, 5}, Case{120, 0, 120}, Case{80, -2, 80}}) {
    WaitTimer timer;
    const auto started = Clock::now();
    timer.start(c.amount, c.unit);
    const int64_t fired = ms_until_fired(timer, started);
    EXPECT_GE(fired, c.due_ms) << c.amount << " units of " << c.unit;
    EXPECT_LT(fired, c.due_ms + 1500) << c.amount << " units of " << c.unit;
  }
}

TEST(WaitTimer, ZeroOrNegativeAmountIsDueAtOnce) {
  for (int32_t amount : {0, -3}) {
    WaitTimer timer;
    timer.start(amount);
    EXPECT_TRUE(timer.wait(0)) << amount;
  }
}

TEST(WaitTimer, FiresOnceThenTimesOutUntilStartedAgain) {
  WaitTimer timer;
  timer.start(0);
  ASSERT_TRUE(timer.wait(0));
  EXPECT_FALSE(timer.wait(0));
  const auto started = Clock::now();
  EXPECT_FALSE(timer.wait(30));
  EXPECT_GE(elapsed_ms(started), 30);  // it waited the whole timeout
  timer.start(-1);
  EXPECT_TRUE(timer.wait(0));
}

TEST(WaitTimer, StartReplacesAPendingTimer) {
  WaitTimer timer;
  timer.start(1, 2);  // one minute
  EXPECT_FALSE(timer.wait(0));
  timer.start(0);
  EXPECT_TRUE(timer.wait(0));
}

TEST(PumpWait, LastsAmountTimesMultiplier) {
  const auto started = Clock::now();
  pump_wait(2, 9);  // an out-of-table unit is the multiplier itself: 18 ms
  const int64_t waited = elapsed_ms(started);
  EXPECT_GE(waited, 18);
  EXPECT_LT(waited, 1000);
}

TEST(PumpWait, DispatchesTheThreadsMessagesWhileItWaits) {
  int dispatched = 0;
  register_message_pump([&] { ++dispatched; });
  pump_wait(40);
  EXPECT_GT(dispatched, 0);
  const int after_wait = dispatched;
  pump_messages();
  EXPECT_EQ(dispatched, after_wait + 1);
  register_message_pump(nullptr);
  pump_messages();  // no pump any more: nothing runs
  EXPECT_EQ(dispatched, after_wait + 1);
}

TEST(PumpWait, AnotherThreadsPumpIsNotRun) {
  int dispatched = 0;
  register_message_pump([&] { ++dispatched; });
  std::thread([] { pump_wait(20); }).join();
  register_message_pump(nullptr);
  EXPECT_EQ(dispatched, 0);
}

TEST(WaitPause, ModeChoosesPumpingOnlyForWindowThreadsByDefault) {
  struct Case {
    int32_t wait_mode;
    bool window_thread;
    bool pumps;
  };
  for (const Case& c :
       {Case{1, true, false}, Case{1, false, false}, Case{2, false, true}, Case{2, true, true},
        Case{0, false, false}, Case{0, true, true}, Case{7, false, false}, Case{-1, true, true}}) {
    if (c.window_thread) register_message_pump([] {});
    EXPECT_EQ(WaitPause(c.wait_mode).pumps(), c.pumps)
        << "mode " << c.wait_mode << (c.window_thread ? " on" : " off") << " a window thread";
    register_message_pump(nullptr);
  }
}

TEST(WaitPause, PumpingPauseRunsThePumpAndEnds) {
  int dispatched = 0;
  register_message_pump([&] { ++dispatched; });
  const WaitPause pause(0);
  pause(20);
  pause(0);  // must not be taken as an endless wait
  register_message_pump(nullptr);
  EXPECT_GT(dispatched, 1);
}

}  // namespace
