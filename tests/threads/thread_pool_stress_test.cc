#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "threads/pool_test_util.h"
#include "threads/thread_pool.h"

namespace {

// Under the race detector every synchronisation costs time in proportion to
// the thread count, so it runs a tenth of the jobs through the same 1000
// workers.
#if defined(__SANITIZE_THREAD__)
constexpr int kJobs = 20000;
#else
constexpr int kJobs = 200000;
#endif
constexpr int kSubmitters = 2;

std::unique_ptr<std::atomic<int>[]> runs_by_id;

int32_t count_run(intptr_t id) {
  if (id >= 1 && id <= kJobs) runs_by_id[id]++;
  return 0;
}

TEST(ThreadPoolStress, EveryJobFromTwoSubmittersRunsExactlyOnceWithADistinctId) {
  runs_by_id = std::make_unique<std::atomic<int>[]>(kJobs + 1);
  ThreadPool pool;
  ASSERT_TRUE(pool.start(1000, 1000));
  ASSERT_TRUE(eventually([&] { return pool.thread_count() == 1000; }, std::chrono::seconds(60)));

  std::vector<std::vector<int32_t>> ids(kSubmitters);
  std::vector<std::thread> submitters;
  for (auto& mine : ids) {
    submitters.emplace_back([&pool, &mine] {
      for (int i = 0; i < kJobs / kSubmitters; ++i) mine.push_back(pool.submit(count_run));
    });
  }
  for (auto& submitter : submitters) submitter.join();
  ASSERT_TRUE(pool.wait_idle(120000));

  std::vector<int> given(kJobs + 1, 0);
  for (const auto& mine : ids) {
    for (int32_t id : mine) {
      ASSERT_GE(id, 1);
      ASSERT_LE(id, kJobs);
      given[id]++;
    }
  }
  for (int id = 1; id <= kJobs; ++id) {
    ASSERT_EQ(given[id], 1) << "id " << id << " handed out";
    ASSERT_EQ(runs_by_id[id].load(), 1) << "job " << id << " ran";
  }
  EXPECT_EQ(pool.pending_count(), 0);
  EXPECT_EQ(pool.busy_count(), 0);
}

std::atomic<int> jobs_started{0};
std::atomic<int> jobs_finished{0};

int32_t short_job(intptr_t) {
  jobs_started++;
  std::this_thread::sleep_for(std::chrono::milliseconds(2));
  jobs_finished++;
  return 0;
}

TEST(ThreadPoolStress, ResetUnderLoadFinishesStartedJobsAndLeavesThePoolUsable) {
  ThreadPool pool;
  ASSERT_TRUE(pool.start(50, 50, 1000, 300));
  std::atomic<bool> stop{false};
  std::atomic<int> accepted{0};
  std::thread submitter([&] {
    while (!stop) {
      if (pool.submit(short_job, {}, 1) > 0) accepted++;
    }
  });
  ASSERT_TRUE(eventually([&] { return jobs_finished > 500; }));
  pool.reset();
  // Started jobs of the old run all finished; none of its queue survives.
  EXPECT_GT(accepted.load(), jobs_started.load());
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  stop = true;
  submitter.join();
  ASSERT_TRUE(pool.wait_idle(60000));
  EXPECT_EQ(jobs_started.load(), jobs_finished.load());
  EXPECT_EQ(pool.pending_count(), 0);
  EXPECT_EQ(pool.busy_count(), 0);

  const int before = jobs_finished;
  for (int i = 0; i < 100; ++i) ASSERT_GT(pool.submit(short_job), 0);
  ASSERT_TRUE(pool.wait_idle(60000));
  EXPECT_EQ(jobs_finished.load(), before + 100);
}

}  // namespace
