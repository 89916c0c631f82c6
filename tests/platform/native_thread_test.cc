#include "platform/native_thread.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <set>

namespace {

struct Probe {
  std::atomic<bool> ran{false};
  std::atomic<uint32_t> id{0};
  std::atomic<size_t> stack{0};
  std::atomic<int> cpus{0};
  std::atomic<bool> release{true};
};

int32_t probe(void* parameter) {
  auto* p = static_cast<Probe*>(parameter);
  p->id = current_thread_id();
  pthread_attr_t attributes;
  size_t stack = 0;
  if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
    pthread_attr_getstacksize(&attributes, &stack);
    pthread_attr_destroy(&attributes);
  }
  p->stack = stack;
  cpu_set_t set;
  if (pthread_getaffinity_np(pthread_self(), sizeof set, &set) == 0) p->cpus = CPU_COUNT(&set);
  while (!p->release) sched_yield();
  p->ran = true;
  return 17;
}

// Runs probe on a new thread and waits for it.
void run_probe(size_t stack_size, Probe& p) {
  ThreadHandle handle = nullptr;
  uint32_t id = 0;
  EXPECT_TRUE(create_native_thread(probe, &p, stack_size, false, &handle, &id));
  EXPECT_TRUE(wait_native_thread(handle, -1));
  close_native_thread(handle);
}

TEST(NativeThread, StackIsOneMebibyteByDefaultAndNeverBelowTheMinimum) {
  // The C library may hand out a cached stack somewhat larger than asked
  // for, so only the lower bound is exact; the default must stay well below
  // the library's own 8 MiB so that a thousand workers fit in memory.
  struct Case {
    size_t asked;
    size_t at_least;
    size_t below;
  };
  for (const Case& c : {Case{0, kDefaultStackSize, 4 * kDefaultStackSize},
                        Case{1, minimum_stack_size(), 4 * kDefaultStackSize},
                        Case{256 * 1024, 256 * 1024, 4 * kDefaultStackSize}}) {
    Probe p;
    run_probe(c.asked, p);
    EXPECT_GE(p.stack.load(), c.at_least) << c.asked;
    EXPECT_LT(p.stack.load(), c.below) << c.asked;
  }
}

TEST(NativeThread, SuspendedThreadWaitsForResumeAndReportsItsExitCode) {
  Probe p;
  ThreadHandle handle = nullptr;
  uint32_t id = 0;
  ASSERT_TRUE(create_native_thread(probe, &p, 0, true, &handle, &id));
  EXPECT_FALSE(wait_native_thread(handle, 50));
  EXPECT_FALSE(p.ran);
  int32_t code = 0;
  ASSERT_TRUE(native_thread_exit_code(handle, &code));
  EXPECT_EQ(code, kStillActive);
  pin_native_thread(handle, 0);  // applied when it starts
  resume_native_thread(handle);
  EXPECT_TRUE(wait_native_thread(handle, -1));
  EXPECT_TRUE(p.ran);
  EXPECT_EQ(p.cpus.load(), 1);
  ASSERT_TRUE(native_thread_exit_code(handle, &code));
  EXPECT_EQ(code, 17);
  EXPECT_EQ(p.id.load(), id);
  EXPECT_EQ(native_thread_id(handle), id);
  close_native_thread(handle);
}

TEST(NativeThread, IdsAreDistinctAndStable) {
  Probe a;
  Probe b;
  run_probe(0, a);
  run_probe(0, b);
  EXPECT_EQ(current_thread_id(), current_thread_id());
  EXPECT_EQ(std::set<uint32_t>({a.id.load(), b.id.load(), current_thread_id()}).size(), 3u);
}

TEST(NativeThread, ClosingTheHandleLeavesTheThreadRunning) {
  Probe p;
  p.release = false;
  ThreadHandle handle = nullptr;
  uint32_t id = 0;
  ASSERT_TRUE(create_native_thread(probe, &p, 0, false, &handle, &id));
  close_native_thread(handle);
  p.release = true;
  while (!p.ran) sched_yield();
}

TEST(NativeThread, NullHandleIsHarmless) {
  int32_t code = 0;
  EXPECT_FALSE(native_thread_exit_code(nullptr, &code));
  EXPECT_FALSE(wait_native_thread(nullptr, 0));
  resume_native_thread(nullptr);
  pin_native_thread(nullptr, 0);
  close_native_thread(nullptr);
  EXPECT_GE(processor_count(), 1);
}

}  // namespace
