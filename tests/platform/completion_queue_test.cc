#include "platform/completion_queue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

TEST(CompletionQueue, PacketsComeOutInPostingOrderWithTheirFields) {
  CompletionQueue queue;
  for (int32_t id = 1; id <= 3; ++id) ASSERT_TRUE(queue.post({id * 10, id}));
  EXPECT_EQ(queue.size(), 3u);
  for (int32_t id = 1; id <= 3; ++id) {
    CompletionPacket packet;
    ASSERT_TRUE(queue.take(0, &packet));
    EXPECT_EQ(packet.routine, id * 10);
    EXPECT_EQ(packet.id, id);
  }
}

TEST(CompletionQueue, TakeTimesOutOnAnEmptyQueue) {
  CompletionQueue queue;
  CompletionPacket packet;
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(queue.take(30, &packet));
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(30));
}

TEST(CompletionQueue, WaitingTakerGetsALaterPost) {
  CompletionQueue queue;
  CompletionPacket packet;
  std::thread poster([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    queue.post({5, 9});
  });
  EXPECT_TRUE(queue.take(10000, &packet));
  poster.join();
  EXPECT_EQ(packet.id, 9);
}

TEST(CompletionQueue, CloseDropsPacketsWakesTakersAndRefusesPosts) {
  CompletionQueue queue;
  std::vector<std::thread> takers;
  std::vector<int> took(3, -1);
  for (int i = 0; i < 3; ++i) {
    takers.emplace_back([&, i] {
      CompletionPacket packet;
      took[i] = queue.take(60000, &packet) ? 1 : 0;
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  queue.close();
  for (auto& taker : takers) taker.join();  // would hang for a minute if not woken
  for (int result : took) EXPECT_EQ(result, 0);

  CompletionQueue full;
  full.post({1, 1});
  full.close();
  EXPECT_EQ(full.size(), 0u);
  EXPECT_FALSE(full.post({1, 2}));
  CompletionPacket packet;
  EXPECT_FALSE(full.take(0, &packet));
}

}  // namespace
