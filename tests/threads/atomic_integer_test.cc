#include "threads/atomic_integer.h"

#include <gtest/gtest.h>

#include <climits>
#include <thread>
#include <vector>

namespace {

TEST(AtomicInteger, EachOperationAnswersWhatItsContractSays) {
  AtomicInteger value;
  EXPECT_EQ(value.get(), 0);
  EXPECT_EQ(value.increment(), 1);
  EXPECT_EQ(value.add(5), 1);
  EXPECT_EQ(value.get(), 6);
  EXPECT_EQ(value.compare_exchange(6, 9), 6);  // comparand first, then the new value
  EXPECT_EQ(value.get(), 9);
  EXPECT_EQ(value.compare_exchange(6, 1), 9);  // no match: unchanged
  EXPECT_EQ(value.get(), 9);
  EXPECT_EQ(value.set(0), 9);
  EXPECT_EQ(value.get(), 0);
  EXPECT_EQ(value.decrement(), -1);
}

TEST(AtomicInteger, WrapsAtTheEndsOfTheRange) {
  AtomicInteger value;
  value.set(INT_MAX);
  EXPECT_EQ(value.increment(), INT_MIN);
  EXPECT_EQ(value.decrement(), INT_MAX);
}

TEST(AtomicInteger, RacingUpdatesAreNotLost) {
  AtomicInteger value;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 50000; ++i) {
        value.increment();
        value.add(3);
        value.decrement();
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(value.get(), 4 * 50000 * 3);
}

}  // namespace
