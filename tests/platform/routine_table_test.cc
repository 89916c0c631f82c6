#include "platform/routine_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <thread>
#include <vector>

namespace {

int32_t doubled(intptr_t argument) { return static_cast<int32_t>(argument * 2); }
int32_t negated(intptr_t argument) { return static_cast<int32_t>(-argument); }
int32_t forty_two() { return 42; }

TEST(RoutineTable, SameRoutineKeepsOneHandleAndOthersGetTheirOwn) {
  const RoutineHandle first = routine_handle(doubled);
  EXPECT_GT(first, 0);
  EXPECT_EQ(routine_handle(doubled), first);
  const RoutineHandle other = routine_handle(negated);
  const RoutineHandle plain = routine_handle(forty_two);
  EXPECT_EQ(std::set<RoutineHandle>({first, other, plain}).size(), 3u);
  EXPECT_EQ(routine_handle(static_cast<Routine>(nullptr)), 0);
  EXPECT_EQ(routine_handle(static_cast<PlainRoutine>(nullptr)), 0);
}

TEST(RoutineTable, CallsTheRoutineBehindAHandle) {
  bool found = false;
  EXPECT_EQ(call_routine_handle(routine_handle(doubled), 21, &found), 42);
  EXPECT_TRUE(found);
  EXPECT_EQ(call_routine_handle(routine_handle(negated), 5), -5);
  // A routine without an argument ignores the one it is given.
  EXPECT_EQ(call_routine_handle(RoutineRef(forty_two).handle, 7), 42);
}

TEST(RoutineTable, UnknownHandlesCallNothing) {
  for (RoutineHandle handle : {0, -1, kRoutineTableSize, kRoutineTableSize + 1}) {
    bool found = true;
    EXPECT_EQ(call_routine_handle(handle, 1, &found), 0) << handle;
    EXPECT_FALSE(found) << handle;
  }
}

TEST(RoutineTable, RegisteringFromManyThreadsAgreesOnOneHandle) {
  std::vector<RoutineHandle> handles(8);
  std::vector<std::thread> threads;
  for (auto& handle : handles) {
    threads.emplace_back([&handle] {
      handle = routine_handle(negated);
      call_routine_handle(handle, 1);
    });
  }
  for (auto& thread : threads) thread.join();
  for (RoutineHandle handle : handles) EXPECT_EQ(handle, routine_handle(negated));
}

}  // namespace
