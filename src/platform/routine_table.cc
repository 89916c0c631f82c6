#include "platform/routine_table.h"

#include <array>
#include <atomic>
#include <mutex>

namespace {

// One registered routine; exactly one of the two pointers is set. An entry is
// written once, before the count that makes it visible is raised.
struct Entry {
  Routine with_argument = nullptr;
  PlainRoutine without_argument = nullptr;
};

struct Table {
  std::mutex registering;
  std::array<Entry, kRoutineTableSize> entries;
  std::atomic<int32_t> count{0};
};

Table& table() {
  static Table instance;
  return instance;
}

RoutineHandle register_entry(const Entry& wanted) {
  Table& t = table();
  std::lock_guard<std::mutex> guard(t.registering);
  const int32_t count = t.count.load(std::memory_order_relaxed);
  for (int32_t i = 0; i < count; ++i) {
    const Entry& entry = t.entries[i];
    if (entry.with_argument == wanted.with_argument &&
        entry.without_argument == wanted.without_argument) {
      return i + 1;
    }
  }
  if (count == kRoutineTableSize) return 0;
  t.entries[count] = wanted;
  t.count.store(count + 1, std::memory_order_release);
  return count + 1;
}

}  // namespace

RoutineHandle routine_handle(Routine routine) {
  return routine == nullptr ? 0 : register_entry(Entry{routine, nullptr});
}

RoutineHandle routine_handle(PlainRoutine routine) {
  return routine == nullptr ? 0 : register_entry(Entry{nullptr, routine});
}

int32_t call_routine_handle(RoutineHandle handle, intptr_t argument, bool* found) {
  Table& t = table();
  const bool known = handle >= 1 && handle <= t.count.load(std::memory_order_acquire);
  if (found != nullptr) *found = known;
  if (!known) return 0;
  const Entry& entry = t.entries[handle - 1];
  return entry.with_argument != nullptr ? entry.with_argument(argument) : entry.without_argument();
}
