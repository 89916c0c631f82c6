#include "threads/critical_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

TEST(CriticalLock, StartsWithSpinCount4000AndNegativeRestoresIt) {
  CriticalLock lock;
  EXPECT_EQ(lock.spin_count(), 4000);
  struct Case {
    int32_t given;
    int32_t kept;
  };
  for (const Case& c : {Case{0, 0}, Case{1, 1}, Case{250, 250}, Case{-1, 4000}, Case{-77, 4000}}) {
    lock.set_spin_count(c.given);
    EXPECT_EQ(lock.spin_count(), c.kept) << "given " << c.given;
  }
}

// Holds `lock` on another thread until told to leave.
class Holder {
 public:
  explicit Holder(CriticalLock& lock) {
    thread_ = std::thread([&lock, this] {
      lock.enter();
      holding_ = true;
      while (!release_) std::this_thread::yield();
      lock.leave();
    });
    while (!holding_) std::this_thread::yield();
  }
  ~Holder() { release(); }
  void release() {
    release_ = true;
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::atomic<bool> holding_{false};
  std::atomic<bool> release_{false};
  std::thread thread_;
};

// Whether another thread finds the lock free (it gives it back at once).
bool free_for_another_thread(CriticalLock& lock) {
  bool taken = false;
  std::thread([&] {
    taken = lock.try_enter();
    if (taken) lock.leave();
  }).join();
  return taken;
}

TEST(CriticalLock, TryEnterTakesAFreeLockForTheCaller) {
  CriticalLock lock;
  ASSERT_TRUE(lock.try_enter());
  // The caller holds it now: another thread cannot take it until it leaves.
  EXPECT_FALSE(free_for_another_thread(lock));
  lock.leave();
  EXPECT_TRUE(free_for_another_thread(lock));
}

TEST(CriticalLock, FailedTryEnterLeavesTheLockToItsHolder) {
  CriticalLock lock;
  Holder holder(lock);
  EXPECT_FALSE(lock.try_enter());
  EXPECT_FALSE(lock.try_enter());
  holder.release();  // the holder's single leave frees it: the failed tries left no trace
  ASSERT_TRUE(lock.try_enter());
  lock.leave();
}

TEST(CriticalLock, HolderMayEnterAgainAndNeedsEveryLeave) {
  CriticalLock lock;
  lock.enter();
  lock.enter();
  ASSERT_TRUE(lock.try_enter());
  for (int leaves_left = 3; leaves_left > 0; --leaves_left) {
    EXPECT_FALSE(free_for_another_thread(lock)) << leaves_left << " leaves outstanding";
    lock.leave();
  }
  EXPECT_TRUE(free_for_another_thread(lock));
}

TEST(CriticalLock, KeepsConcurrentUpdatesApart) {
  CriticalLock lock;
  lock.set_spin_count(0);  // exercise the blocking path as well as the spinning one
  int64_t total = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      if (t % 2 == 1) lock.set_spin_count(4000);
      for (int i = 0; i < 20000; ++i) {
        CriticalLockGuard guard(lock);
        ++total;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(total, 80000);
}

}  // namespace
