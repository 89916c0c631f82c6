// Thread creation over POSIX threads, with the handle, id, suspension,
// exit-code and processor-pinning services the launcher, the thread pool and
// the timer thread build on.
//
// A ThreadHandle names one created thread until close_native_thread(); the
// thread itself runs on whether or not its handle is open, and nothing waits
// for it unless asked to (the thread is detached). Thread ids are small
// positive numbers, unique for the life of the process; any thread, also one
// this module did not create, gets one on its first current_thread_id().
//
// Safe to use from any thread; one handle may be used by several threads
// until it is closed.
#ifndef NOVEL_PLATFORM_NATIVE_THREAD_H_
#define NOVEL_PLATFORM_NATIVE_THREAD_H_

#include <cstddef>
#include <cstdint>

// A thread's start routine: one pointer-sized parameter, a 32-bit exit code.
using ThreadStart = int32_t (*)(void* parameter);
struct NativeThread;
using ThreadHandle = NativeThread*;

// The exit code a thread reports while it still runs.
inline constexpr int32_t kStillActive = 259;
// The stack a thread gets when none is asked for: 1 MiB of address space.
inline constexpr size_t kDefaultStackSize = size_t{1} << 20;

// Starts start(parameter) on a new thread with a stack of `stack_size` bytes
// (0: kDefaultStackSize; never less than the system's minimum). A suspended
// thread waits for resume_native_thread() before it calls `start`. On success
// *handle (to be closed by the caller) and *id are set.
bool create_native_thread(ThreadStart start, void* parameter, size_t stack_size, bool suspended,
                          ThreadHandle* handle, uint32_t* id);
// Lets a thread created suspended run; does nothing for a running one.
void resume_native_thread(ThreadHandle thread);
// Waits up to `timeout_ms` (negative: no limit) for the thread to end; true
// when it has ended.
bool wait_native_thread(ThreadHandle thread, int64_t timeout_ms);
// The thread's exit code, or kStillActive while it runs. False for null.
bool native_thread_exit_code(ThreadHandle thread, int32_t* code);
uint32_t native_thread_id(ThreadHandle thread);
// Releases the handle; the thread is not affected.
void close_native_thread(ThreadHandle thread);
// Restricts the thread to processor `cpu` (from 0). Ignored for a thread that
// has ended; a suspended thread is pinned before it starts.
void pin_native_thread(ThreadHandle thread, int cpu);

uint32_t current_thread_id();
// Processors the system has online, at least 1.
int processor_count();
// The least stack a thread can be given.
size_t minimum_stack_size();

#endif  // NOVEL_PLATFORM_NATIVE_THREAD_H_
