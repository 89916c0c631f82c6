#include "threads/thread_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "platform/com_apartment.h"
#include "platform/message_pump.h"
#include "threads/pool_test_util.h"

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// What the jobs of one test see and do; each test installs a fresh one.
struct JobWorld {
  ThreadPool* pool = nullptr;
  Gate gate;
  std::atomic<int> started{0};
  std::atomic<int> finished{0};
  std::atomic<int> last_id{0};
  std::atomic<int> com_depth{-1};
  std::string argument_seen;  // written by the one job that reads it
};
JobWorld* world = nullptr;

int32_t gated_job(intptr_t id) {
  world->started++;
  world->last_id = static_cast<int>(id);
  world->gate.pass();
  world->finished++;
  return 0;
}

int32_t quick_job(intptr_t id) {
  world->last_id = static_cast<int>(id);
  world->com_depth = com_apartment_depth();
  world->finished++;
  return 0;
}

int32_t argument_job(intptr_t id) {
  world->argument_seen = world->pool->job_argument(static_cast<int32_t>(id));
  world->finished++;
  return 0;
}

class ThreadPoolTest : public ::testing::Test {
 protected:
  ThreadPoolTest() {
    world_ = std::make_unique<JobWorld>();
    world = world_.get();
    world->pool = &pool_;
  }
  ~ThreadPoolTest() override {
    world_->gate.open();
    pool_.wait_idle(10000);
  }

  // Declared before the pool: jobs still running while the pool goes away
  // may touch it.
  std::unique_ptr<JobWorld> world_;
  ThreadPool pool_;
};

TEST_F(ThreadPoolTest, StartWithoutArgumentsUsesTheDefaultsAndOnlyOnce) {
  EXPECT_EQ(pool_.submit(quick_job), 0);  // not started yet
  ASSERT_TRUE(pool_.start());
  EXPECT_EQ(pool_.min_threads(), 5);
  EXPECT_EQ(pool_.max_threads(), 10);
  EXPECT_EQ(pool_.queue_limit(), 1000000);
  EXPECT_EQ(pool_.idle_timeout(), 1000);
  EXPECT_EQ(pool_.stack_size(), 0);
  EXPECT_EQ(pool_.com_init(), 1);
  EXPECT_FALSE(pool_.start(1, 2, 3, 4000, 65536, 0));
  EXPECT_EQ(pool_.min_threads(), 5);
  EXPECT_EQ(pool_.idle_timeout(), 1000);
  EXPECT_EQ(pool_.com_init(), 1);
}

TEST_F(ThreadPoolTest, SettersReplaceOutOfRangeValuesByDefaultsAndFloors) {
  struct Case {
    int32_t given;
    int32_t idle;
    int32_t count_default;  // what the count setters keep, default 5/10/1000000 for <= 0
  };
  for (const Case& c : {Case{0, 1000, 0}, Case{-4, 1000, 0}, Case{1, 300, 1}, Case{299, 300, 299},
                        Case{300, 300, 300}, Case{5000, 5000, 5000}}) {
    pool_.set_idle_timeout(c.given);
    EXPECT_EQ(pool_.idle_timeout(), c.idle) << c.given;
    pool_.set_min_threads(c.given);
    pool_.set_max_threads(c.given);
    pool_.set_queue_limit(c.given);
    EXPECT_EQ(pool_.min_threads(), c.count_default > 0 ? c.count_default : 5) << c.given;
    EXPECT_EQ(pool_.max_threads(), c.count_default > 0 ? c.count_default : 10) << c.given;
    EXPECT_EQ(pool_.queue_limit(), c.count_default > 0 ? c.count_default : 1000000) << c.given;
  }
  pool_.set_com_init();
  EXPECT_EQ(pool_.com_init(), 1);
  pool_.set_com_init(0);
  EXPECT_EQ(pool_.com_init(), 0);
  pool_.set_stack_size(-5);
  EXPECT_EQ(pool_.stack_size(), -5);
}

TEST_F(ThreadPoolTest, JobGetsItsIdArgumentAndSetUpAndTheArgumentGoesAfterward) {
  ASSERT_TRUE(pool_.start(1, 1, 0, 300));
  const std::string bytes("\x04\x00\x00\x00", 4);
  const int32_t id = pool_.submit(argument_job, bytes);
  EXPECT_EQ(id, 1);
  ASSERT_TRUE(pool_.wait_idle(10000));
  EXPECT_EQ(world->argument_seen, bytes);
  EXPECT_EQ(pool_.job_argument(id), "");
  EXPECT_EQ(pool_.job_argument(99), "");

  EXPECT_EQ(pool_.submit(quick_job), 2);
  ASSERT_TRUE(pool_.wait_idle(10000));
  EXPECT_EQ(world->last_id.load(), 2);
  EXPECT_EQ(world->com_depth.load(), 1);
}

TEST_F(ThreadPoolTest, JobsRunWithoutSetUpWhenComInitIsZero) {
  ASSERT_TRUE(pool_.start(1, 1, 0, 300, 0, 0));
  pool_.submit(quick_job);
  ASSERT_TRUE(pool_.wait_idle(10000));
  EXPECT_EQ(world->com_depth.load(), 0);
}

TEST_F(ThreadPoolTest, NullRoutineIsRefused) {
  ASSERT_TRUE(pool_.start(1, 1, 0, 300));
  EXPECT_EQ(pool_.submit(static_cast<Routine>(nullptr)), -1);
  EXPECT_EQ(pool_.submit_address(0), -1);
  EXPECT_EQ(pool_.pending_count(), 0);
  EXPECT_EQ(pool_.submit(quick_job), 1);  // a refusal takes no id
}

TEST_F(ThreadPoolTest, CountsTellQueuedFromRunningJobs) {
  ASSERT_TRUE(pool_.start(1, 1, 0, 300));
  for (int32_t expected_id = 1; expected_id <= 3; ++expected_id) {
    EXPECT_EQ(pool_.submit(gated_job), expected_id);
  }
  ASSERT_TRUE(eventually([&] { return world->started == 1; }));
  EXPECT_EQ(pool_.pending_count(), 3);
  EXPECT_EQ(pool_.busy_count(), 1);
  EXPECT_EQ(pool_.queued_count(), 2);
  world->gate.open();
  ASSERT_TRUE(pool_.wait_idle(10000));
  EXPECT_EQ(pool_.busy_count(), 0);
  EXPECT_EQ(world->finished.load(), 3);
}

TEST_F(ThreadPoolTest, FullQueueRefusesOrWaitsForRoom) {
  ASSERT_TRUE(pool_.start(1, 1, 1, 300));  // room for queue_limit 1 + max_threads 1
  EXPECT_EQ(pool_.submit(gated_job), 1);
  EXPECT_EQ(pool_.submit(gated_job), 2);
  EXPECT_EQ(pool_.submit(gated_job, {}, /*no_wait=*/1), -1);
  const auto before = Clock::now();
  EXPECT_EQ(pool_.submit(gated_job, {}, 0, /*wait_ms=*/150), -1);
  EXPECT_GE(Clock::now() - before, milliseconds(150));

  std::atomic<int32_t> waited_id{0};
  std::thread waiter([&] { waited_id = pool_.submit(gated_job); });  // waits without limit
  std::this_thread::sleep_for(milliseconds(100));
  EXPECT_EQ(waited_id.load(), 0);
  world->gate.open();
  waiter.join();
  EXPECT_EQ(waited_id.load(), 3);
  EXPECT_TRUE(pool_.wait_idle(10000));
}

TEST_F(ThreadPoolTest, FixedSizePoolMakesExactlyThatManyWorkers) {
  ASSERT_TRUE(pool_.start(3, 3, 0, 300));
  ASSERT_TRUE(eventually([&] { return pool_.thread_count() == 3; }));
  for (int i = 0; i < 12; ++i) pool_.submit(gated_job);
  ASSERT_TRUE(eventually([&] { return world->started == 3; }));
  std::this_thread::sleep_for(milliseconds(600));  // more than a manager pass
  EXPECT_EQ(pool_.thread_count(), 3);
  EXPECT_EQ(world->started.load(), 3);
  world->gate.open();
  EXPECT_TRUE(pool_.wait_idle(10000));
}

TEST_F(ThreadPoolTest, GrowsToTheMaximumUnderLoadThenIdleWorkersLeaveDownToTheMinimum) {
  ASSERT_TRUE(pool_.start(2, 4, 0, 300));
  for (int i = 0; i < 10; ++i) pool_.submit(gated_job);
  int most = 0;
  ASSERT_TRUE(eventually([&] {
    most = std::max(most, pool_.thread_count());
    return pool_.thread_count() == 4;
  }));
  ASSERT_TRUE(eventually([&] { return world->started == 4; }));
  world->gate.open();
  ASSERT_TRUE(pool_.wait_idle(10000));
  // Several may leave at once; the manager then makes up the minimum again.
  ASSERT_TRUE(eventually([&] {
    most = std::max(most, pool_.thread_count());
    return pool_.thread_count() == 2;
  }));
  std::this_thread::sleep_for(milliseconds(700));
  EXPECT_EQ(pool_.thread_count(), 2);
  EXPECT_EQ(most, 4);
}

TEST_F(ThreadPoolTest, PausedWorkersStartNoNewJobUntilResumed) {
  ASSERT_TRUE(pool_.start(2, 2, 0, 300));
  ASSERT_TRUE(eventually([&] { return pool_.thread_count() == 2; }));
  pool_.pause(true);
  // Every worker finishes its current idle wait (at most 300 ms) and then
  // sees the pause.
  std::this_thread::sleep_for(milliseconds(700));
  pool_.submit(quick_job);
  std::this_thread::sleep_for(milliseconds(300));
  EXPECT_EQ(world->finished.load(), 0);
  EXPECT_EQ(pool_.pending_count(), 1);
  pool_.resume();
  EXPECT_TRUE(pool_.wait_idle(10000));
  EXPECT_EQ(world->finished.load(), 1);
}

TEST_F(ThreadPoolTest, WaitIdleTimesOutWhileAJobRuns) {
  ASSERT_TRUE(pool_.start(1, 1, 0, 300));
  pool_.submit(gated_job);
  const auto before = Clock::now();
  EXPECT_FALSE(pool_.wait_idle(300));
  const auto waited = Clock::now() - before;
  EXPECT_GE(waited, milliseconds(300));
  EXPECT_LT(waited, milliseconds(3000));
  world->gate.open();
  EXPECT_TRUE(pool_.wait_idle(0));
  EXPECT_EQ(pool_.pending_count(), 0);
}

TEST_F(ThreadPoolTest, ResetFinishesStartedJobsDropsQueuedOnesAndRestartsIds) {
  ASSERT_TRUE(pool_.start(1, 1, 0, 300));
  for (int i = 0; i < 3; ++i) pool_.submit(gated_job);
  ASSERT_TRUE(eventually([&] { return world->started == 1; }));
  std::thread opener([&] {
    std::this_thread::sleep_for(milliseconds(200));
    world->gate.open();
  });
  pool_.reset();
  opener.join();
  EXPECT_EQ(world->finished.load(), 1);  // the started job ended before reset returned
  EXPECT_EQ(pool_.pending_count(), 0);
  EXPECT_EQ(pool_.busy_count(), 0);
  EXPECT_FALSE(pool_.start(4, 4));  // still running, settings kept
  EXPECT_EQ(pool_.min_threads(), 1);

  EXPECT_EQ(pool_.submit(quick_job), 1);
  ASSERT_TRUE(pool_.wait_idle(10000));
  EXPECT_EQ(world->last_id.load(), 1);
  EXPECT_EQ(world->started.load(), 1);  // the two queued jobs never ran
  EXPECT_TRUE(eventually([&] { return pool_.thread_count() == 1; }));
}

TEST_F(ThreadPoolTest, ResetReturnsSoonAfterTheLastWorkerLeaves) {
  ASSERT_TRUE(pool_.start(2, 2, 0, 60000));
  constexpr int kRounds = 10;
  const auto before = Clock::now();
  for (int round = 1; round <= kRounds; ++round) {
    world->gate.close();
    pool_.submit(gated_job);
    ASSERT_TRUE(eventually([&] { return world->started == round; }));
    std::thread opener([&] {
      std::this_thread::sleep_for(milliseconds(20));
      world->gate.open();
    });
    pool_.reset(0, 0, /*wait_mode=*/1);
    opener.join();
    EXPECT_EQ(world->finished.load(), round);  // reset still waited for the job
  }
  // Checking for the workers only every 200 ms made each reset cost at
  // least that: ten of them took over two seconds.
  EXPECT_LT(Clock::now() - before, milliseconds(1500));
}

TEST_F(ThreadPoolTest, TerminatingResetLeavesTheOldJobOutOfTheNewRunsCounts) {
  ASSERT_TRUE(pool_.start(1, 2, 0, 300));
  pool_.submit(gated_job);
  ASSERT_TRUE(eventually([&] { return world->started == 1; }));
  pool_.reset(/*terminate=*/1);
  EXPECT_EQ(world->finished.load(), 0);  // reset did not wait for it
  EXPECT_EQ(pool_.submit(gated_job), 1);
  ASSERT_TRUE(eventually([&] { return world->started == 2; }));
  EXPECT_EQ(pool_.pending_count(), 1);
  EXPECT_EQ(pool_.busy_count(), 1);
  world->gate.open();
  ASSERT_TRUE(eventually([&] { return world->finished == 2; }));
  ASSERT_TRUE(pool_.wait_idle(10000));
  EXPECT_EQ(pool_.pending_count(), 0);
  EXPECT_EQ(pool_.busy_count(), 0);
}

TEST_F(ThreadPoolTest, ResetWithATimeoutStopsWaitingForALongJob) {
  ASSERT_TRUE(pool_.start(1, 1, 0, 300));
  pool_.submit(gated_job);
  ASSERT_TRUE(eventually([&] { return world->started == 1; }));
  pool_.reset(0, /*timeout_ms=*/100);
  EXPECT_EQ(world->finished.load(), 0);
  EXPECT_EQ(pool_.pending_count(), 0);
  EXPECT_EQ(pool_.submit(quick_job), 1);
  EXPECT_TRUE(pool_.wait_idle(10000));
  // The forgotten job still ends normally, and before this test's world goes.
  world->gate.open();
  EXPECT_TRUE(eventually([&] { return world->finished == 2; }));
}

TEST_F(ThreadPoolTest, ResetPumpsMessagesWhileItWaitsAndIgnoresANeverStartedPool) {
  pool_.reset();
  EXPECT_EQ(pool_.submit(quick_job), 0);  // still not running
  ASSERT_TRUE(pool_.start(1, 1, 0, 300));
  pool_.submit(gated_job);
  ASSERT_TRUE(eventually([&] { return world->started == 1; }));
  // Only a pumped message lets the job, and so the reset, finish.
  int pumped = 0;
  register_message_pump([&] {
    ++pumped;
    world->gate.open();
  });
  pool_.reset(0, 0, /*wait_mode=*/0);  // this thread has a pump: it pumps
  register_message_pump(nullptr);
  EXPECT_GT(pumped, 0);
  EXPECT_EQ(world->finished.load(), 1);
  EXPECT_EQ(pool_.submit(quick_job), 1);
  EXPECT_TRUE(pool_.wait_idle(10000));
}

TEST(ThreadPoolLifetime, PoolMayGoAwayWhileAJobStillRuns) {
  JobWorld local;
  world = &local;
  {
    ThreadPool pool;
    local.pool = &pool;
    ASSERT_TRUE(pool.start(1, 1, 0, 300));
    pool.submit(gated_job);
    ASSERT_TRUE(eventually([&] { return local.started == 1; }));
  }
  local.gate.open();  // the job ends after its pool is gone
  ASSERT_TRUE(eventually([&] { return local.finished == 1; }));
  // Give the worker time to pass its next check and end.
  std::this_thread::sleep_for(milliseconds(700));
}

}  // namespace
