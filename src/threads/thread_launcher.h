// The thread launcher: how the window starts background work
// (launch_thread), and the lower-level thread creation the pool and the timer
// share with it (create_thread, call_routine, the processor round robin).
//
// launch_thread packs the routine's handle, a private copy of the argument
// bytes and the set-up choice into an ArgumentPack inside a heap block; the
// new thread's thread_entry unpacks it, runs the routine and frees the block.
// Nothing the new thread receives is shared with the caller.
//
// Every function is safe to call from any thread; the round robin is guarded
// by affinity_lock().
#ifndef NOVEL_THREADS_THREAD_LAUNCHER_H_
#define NOVEL_THREADS_THREAD_LAUNCHER_H_

#include <cstdint>
#include <string_view>

#include "platform/native_thread.h"
#include "platform/routine_table.h"
#include "threads/binding.h"
#include "threads/critical_lock.h"
#include "threads/thread_annotations.h"

inline constexpr uint32_t kCreateSuspended = 0x4;
inline constexpr uint32_t kStackSizeIsReservation = 0x10000;

// The stack size a request of `requested` bytes turns into (0: the system's
// default, otherwise at least 8192 and a multiple of 4096) and the creation
// flags that go with it.
struct StackReservation {
  int32_t size;
  uint32_t flags;
};
StackReservation stack_reservation(int32_t requested);

// Runs `routine` on a new thread and answers whether the thread was created.
// The routine receives a pointer to a private copy of `argument`, valid
// while it runs, or 0 when `argument` is empty. `handle_out`, when given,
// receives the handle (the caller closes it with close_native_thread);
// otherwise it is closed at once. `com_init` other than 0 gives the thread a
// component-library set-up around the routine. Only the value 1 counts for
// `start_suspended` and `spread_cpus` (pin to the next processor in turn).
bool launch_thread(RoutineRef routine, std::string_view argument = {},
                   ThreadHandle* handle_out = nullptr, int32_t com_init = 1, int32_t stack_size = 0,
                   int32_t start_suspended = 0, uint32_t* thread_id_out = nullptr,
                   int32_t spread_cpus = 0);

// Starts start(parameter) on a new thread with the launcher's stack,
// suspension, handle and pinning rules.
bool create_thread(ThreadStart start, void* parameter, ThreadHandle* handle_out = nullptr,
                   int32_t stack_size = 0, int32_t start_suspended = 0,
                   uint32_t* thread_id_out = nullptr, int32_t spread_cpus = 0);
// As above, running the binding's method; fails for a null binding. The
// thread keeps its own copy of the binding.
bool create_thread(const Binding* binding, ThreadHandle* handle_out = nullptr,
                   int32_t stack_size = 0, int32_t start_suspended = 0,
                   uint32_t* thread_id_out = nullptr, int32_t spread_cpus = 0);

// The start routine of every launched thread: unpacks and frees `block` (a
// heap block holding an ArgumentPack), runs the routine and answers its
// result; 0 without a call for a block that does not hold the launcher's
// three elements.
int32_t thread_entry(void* block);

// Calls the routine behind `routine` with `argument` (0 when left out) and
// answers its result; 0 for an unknown handle.
int32_t call_routine(RoutineHandle routine, intptr_t argument = 0);

// Sets up the component library on the calling thread; each call needs a
// release_com() on the same thread.
void initialise_com(bool multithreaded);
void release_com();

// The launcher's processor round robin. The step comes before the use, so
// with several processors the first pin goes to processor 1 and processor 0
// comes after the last one.
class CpuRoundRobin {
 public:
  // The next processor out of `processors` (learnt on the first call).
  int32_t next(int32_t processors);

 private:
  int32_t cpu_count_ = 0;
  int32_t next_cpu_ = 0;
};

// Guards the process-wide round robin; created on first use.
CriticalLock& affinity_lock();
// Pins the thread to the next processor in turn.
void assign_next_cpu(ThreadHandle thread);

#endif  // NOVEL_THREADS_THREAD_LAUNCHER_H_
