#include "threads/thread_launcher.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>

#include <array>
#include <atomic>
#include <cstring>
#include <string>

#include "platform/com_apartment.h"
#include "platform/heap_block.h"
#include "threads/argument_pack.h"

namespace {

TEST(StackReservation, RoundsRequestsByTheReservationRule) {
  struct Case {
    int32_t requested;
    int32_t size;
    uint32_t flags;
  };
  for (const Case& c :
       {Case{0, 0, 0}, Case{-5, 0, 0}, Case{1, 8192, kStackSizeIsReservation},
        Case{8192, 8192, kStackSizeIsReservation}, Case{8193, 8192, kStackSizeIsReservation},
        Case{10000, 8192, kStackSizeIsReservation}, Case{12288, 12288, kStackSizeIsReservation},
        Case{12289, 12288, kStackSizeIsReservation}}) {
    const StackReservation r = stack_reservation(c.requested);
    EXPECT_EQ(r.size, c.size) << c.requested;
    EXPECT_EQ(r.flags, c.flags) << c.requested;
  }
}

// What a launched routine saw; one launch at a time.
struct Seen {
  std::atomic<bool> ran{false};
  std::atomic<bool> got_null{false};
  std::string bytes;
  std::atomic<int> com_depth{-1};
  std::atomic<int> cpus{0};
};
Seen seen;

int32_t record(intptr_t argument) {
  seen.got_null = argument == 0;
  if (argument != 0) seen.bytes.assign(reinterpret_cast<const char*>(argument), 5);
  seen.com_depth = com_apartment_depth();
  cpu_set_t set;
  if (pthread_getaffinity_np(pthread_self(), sizeof set, &set) == 0) seen.cpus = CPU_COUNT(&set);
  seen.ran = true;
  return 33;
}

// Launches `record` keeping the handle, waits for it and answers its exit code.
int32_t launch_and_wait(std::string_view argument, int32_t com_init = 1,
                        int32_t start_suspended = 0, int32_t spread_cpus = 0) {
  seen.ran = false;
  seen.bytes.clear();
  ThreadHandle handle = nullptr;
  uint32_t id = 0;
  EXPECT_TRUE(
      launch_thread(record, argument, &handle, com_init, 0, start_suspended, &id, spread_cpus));
  EXPECT_GT(id, 0u);
  EXPECT_TRUE(wait_native_thread(handle, 10000));
  int32_t code = 0;
  native_thread_exit_code(handle, &code);
  close_native_thread(handle);
  return code;
}

TEST(LaunchThread, EmptyArgumentArrivesAsNullAndBytesAsAPrivateCopy) {
  EXPECT_EQ(launch_and_wait(""), 33);
  EXPECT_TRUE(seen.got_null);

  std::string argument = "hello";
  EXPECT_EQ(launch_and_wait(argument), 33);
  EXPECT_FALSE(seen.got_null);
  EXPECT_EQ(seen.bytes, "hello");
}

TEST(LaunchThread, ComSetUpFollowsComInitAndIsBalanced) {
  struct Case {
    int32_t com_init;
    int depth;
  };
  for (const Case& c : {Case{1, 1}, Case{0, 0}, Case{7, 1}}) {
    launch_and_wait("", c.com_init);
    EXPECT_EQ(seen.com_depth.load(), c.depth) << c.com_init;
  }
}

TEST(LaunchThread, OnlyOneMeansSuspendedOrPinned) {
  launch_and_wait("", 1, /*start_suspended=*/2, /*spread_cpus=*/2);
  EXPECT_TRUE(seen.ran);  // not left suspended
  EXPECT_EQ(seen.cpus.load(), processor_count());

  launch_and_wait("", 1, 0, /*spread_cpus=*/1);
  EXPECT_EQ(seen.cpus.load(), 1);

  seen.ran = false;
  ThreadHandle handle = nullptr;
  ASSERT_TRUE(launch_thread(record, "", &handle, 1, 0, /*start_suspended=*/1));
  EXPECT_FALSE(wait_native_thread(handle, 50));
  EXPECT_FALSE(seen.ran);
  resume_native_thread(handle);
  EXPECT_TRUE(wait_native_thread(handle, 10000));
  EXPECT_TRUE(seen.ran);
  close_native_thread(handle);
}

TEST(LaunchThread, WithoutHandleTheThreadStillRuns) {
  seen.ran = false;
  ASSERT_TRUE(launch_thread(record));
  for (int i = 0; i < 10000 && !seen.ran; ++i) sched_yield();
  while (!seen.ran) sched_yield();
}

// Hands thread_entry a block holding `pack`, as the launcher would.
int32_t enter_with(const std::string& pack) {
  void* block = heap_block_alloc(static_cast<int64_t>(pack.size()));
  if (!pack.empty()) std::memcpy(block, pack.data(), pack.size());
  return thread_entry(block);
}

TEST(ThreadEntry, RunsNothingForABlockThatIsNotALaunchPack) {
  const std::string routine = int32_bytes(routine_handle(record));
  const std::string com = int32_bytes(0);
  struct Case {
    const char* name;
    std::string pack;
  };
  const Case cases[] = {
      {"empty block", ""},
      {"not a pack", "garbage!"},
      {"two elements", pack_arguments({routine, ""})},
      {"four elements", pack_arguments({routine, "", com, ""})},
      {"short routine element", pack_arguments({"ab", "", com})},
      {"short com element", pack_arguments({routine, "", "x"})},
  };
  for (const Case& c : cases) {
    seen.ran = false;
    EXPECT_EQ(enter_with(c.pack), 0) << c.name;
    EXPECT_FALSE(seen.ran) << c.name;
  }
  EXPECT_EQ(thread_entry(nullptr), 0);
  EXPECT_EQ(enter_with(pack_arguments({routine, "12345", com})), 33);
  EXPECT_EQ(seen.bytes, "12345");
}

TEST(CpuRoundRobin, FirstPinGoesToProcessorOneThenWrapsToZero) {
  CpuRoundRobin two;
  EXPECT_EQ(two.next(2), 1);
  EXPECT_EQ(two.next(2), 0);
  EXPECT_EQ(two.next(2), 1);
  CpuRoundRobin one;
  EXPECT_EQ(one.next(1), 0);
  EXPECT_EQ(one.next(1), 0);
  CpuRoundRobin four;
  for (int32_t expected : {1, 2, 3, 0, 1}) EXPECT_EQ(four.next(4), expected);
  EXPECT_EQ(four.next(8), 2);  // the count is learnt once
}

class Counter {
 public:
  using Method = void (Counter::*)();
  static std::span<const Method> bindable_methods() {
    static constexpr std::array<Method, 3> methods = {&Counter::bump, nullptr,
                                                      &Counter::bump_twice};
    return methods;
  }
  void bump() { ++count; }
  void bump_twice() { count += 2; }
  std::atomic<int> count{0};
};

TEST(BindMethod, RunsTheKthMethodOnANewThread) {
  Counter counter;
  Binding* binding = bind_method(&counter, 3, 0);
  ASSERT_NE(binding, nullptr);
  ThreadHandle handle = nullptr;
  ASSERT_TRUE(create_thread(binding, &handle, 0, /*start_suspended=*/1));
  release_binding(binding);  // the thread has its own copy
  resume_native_thread(handle);
  ASSERT_TRUE(wait_native_thread(handle, 10000));
  close_native_thread(handle);
  EXPECT_EQ(counter.count.load(), 2);
}

TEST(BindMethod, RefusesMissingMethodsAndBadArgumentCounts) {
  Counter counter;
  for (auto [k, n] : {std::pair{0, 0}, {2, 0}, {4, 0}, {1, -1}, {1, 129}}) {
    EXPECT_EQ(bind_method(&counter, k, n), nullptr) << k << "," << n;
  }
  Binding* edge = bind_method(&counter, 1, 128);
  EXPECT_NE(edge, nullptr);
  release_binding(edge);
  release_binding(nullptr);
  EXPECT_FALSE(create_thread(static_cast<const Binding*>(nullptr)));
}

TEST(BindMethod, SharedObjectGoneBeforeTheThreadStartsIsNotTouched) {
  auto counter = std::make_shared<Counter>();
  Binding* binding = bind_method(counter, 1, 0);
  ThreadHandle handle = nullptr;
  ASSERT_TRUE(create_thread(binding, &handle, 0, 1));
  release_binding(binding);
  counter.reset();
  resume_native_thread(handle);
  EXPECT_TRUE(wait_native_thread(handle, 10000));
  close_native_thread(handle);
}

}  // namespace
