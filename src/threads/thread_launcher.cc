#include "threads/thread_launcher.h"

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/com_apartment.h"
#include "platform/heap_block.h"
#include "threads/argument_pack.h"

namespace {

constexpr int32_t kSmallestStack = 8192;
constexpr int32_t kStackGranularity = 4096;
constexpr int kLaunchElements = 3;

CpuRoundRobin& process_round_robin() {
  static CpuRoundRobin round_robin;
  return round_robin;
}

// Thread start routine for create_thread with a binding: runs and frees the
// thread's own copy of the bound body.
int32_t run_bound_body(void* parameter) {
  const std::unique_ptr<std::function<int32_t()>> body(
      static_cast<std::function<int32_t()>*>(parameter));
  return (*body)();
}

}  // namespace

StackReservation stack_reservation(int32_t requested) {
  if (requested < 1) return {0, 0};
  if (requested <= kSmallestStack) return {kSmallestStack, kStackSizeIsReservation};
  return {requested - requested % kStackGranularity, kStackSizeIsReservation};
}

bool create_thread(ThreadStart start, void* parameter, ThreadHandle* handle_out, int32_t stack_size,
                   int32_t start_suspended, uint32_t* thread_id_out, int32_t spread_cpus) {
  const StackReservation stack = stack_reservation(stack_size);
  ThreadHandle handle = nullptr;
  uint32_t id = 0;
  // A thread to be pinned starts held, so that it runs on its processor
  // from its first instruction.
  const bool pin = spread_cpus == 1;
  if (!create_native_thread(start, parameter, static_cast<size_t>(stack.size),
                            start_suspended == 1 || pin, &handle, &id)) {
    return false;
  }
  if (thread_id_out != nullptr) *thread_id_out = id;
  if (pin) {
    assign_next_cpu(handle);
    if (start_suspended != 1) resume_native_thread(handle);
  }
  if (handle_out != nullptr) {
    *handle_out = handle;
  } else {
    close_native_thread(handle);
  }
  return true;
}

bool create_thread(const Binding* binding, ThreadHandle* handle_out, int32_t stack_size,
                   int32_t start_suspended, uint32_t* thread_id_out, int32_t spread_cpus) {
  if (binding == nullptr) return false;
  auto body = std::make_unique<std::function<int32_t()>>(binding->body);
  if (!create_thread(run_bound_body, body.get(), handle_out, stack_size, start_suspended,
                     thread_id_out, spread_cpus)) {
    return false;
  }
  body.release();  // the new thread owns it now
  return true;
}

bool launch_thread(RoutineRef routine, std::string_view argument, ThreadHandle* handle_out,
                   int32_t com_init, int32_t stack_size, int32_t start_suspended,
                   uint32_t* thread_id_out, int32_t spread_cpus) {
  const std::string pack =
      pack_arguments({int32_bytes(routine.handle), std::string(argument), int32_bytes(com_init)});
  void* block = pack.empty() ? nullptr : heap_block_alloc(static_cast<int64_t>(pack.size()));
  if (block == nullptr) return false;
  std::memcpy(block, pack.data(), pack.size());
  if (!create_thread(thread_entry, block, handle_out, stack_size, start_suspended, thread_id_out,
                     spread_cpus)) {
    heap_block_free(block);
    return false;
  }
  return true;
}

int32_t thread_entry(void* block) {
  const int64_t size = heap_block_size(block);
  const std::string pack =
      size > 0 ? std::string(static_cast<const char*>(block), static_cast<size_t>(size))
               : std::string();
  heap_block_free(block);
  std::vector<std::string> elements;
  // The routine and the set-up choice must be whole 32-bit integers; a
  // shorter element would have to be read past its end.
  if (!unpack_arguments(pack, elements) || elements.size() != kLaunchElements ||
      elements[0].size() != 4 || elements[2].size() != 4) {
    return 0;
  }
  const bool with_com = int32_from_bytes(elements[2]) != 0;
  if (with_com) initialise_com(false);
  const std::string argument = std::move(elements[1]);
  const auto argument_pointer =
      argument.empty() ? intptr_t{0} : reinterpret_cast<intptr_t>(argument.data());
  const int32_t result = call_routine(int32_from_bytes(elements[0]), argument_pointer);
  if (with_com) release_com();
  return result;
}

int32_t call_routine(RoutineHandle routine, intptr_t argument) {
  return call_routine_handle(routine, argument);
}

void initialise_com(bool multithreaded) { open_com_apartment(multithreaded); }

void release_com() { close_com_apartment(); }

int32_t CpuRoundRobin::next(int32_t processors) {
  if (cpu_count_ == 0) cpu_count_ = processors < 1 ? 1 : processors;
  next_cpu_ += 1;
  if (next_cpu_ >= cpu_count_) next_cpu_ = 0;
  return next_cpu_;
}

CriticalLock& affinity_lock() {
  static CriticalLock lock;
  return lock;
}

void assign_next_cpu(ThreadHandle thread) {
  int32_t cpu;
  {
    CriticalLockGuard guard(affinity_lock());
    cpu = process_round_robin().next(processor_count());
  }
  pin_native_thread(thread, cpu);
}
