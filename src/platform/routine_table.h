// The process-wide routine table: turns a routine's address into a 32-bit
// handle and back. Thread argument packs, job packets and the timer carry a
// routine as a 32-bit value, which cannot hold a 64-bit address.
//
// A routine takes either nothing or one pointer-sized argument (a job id, or
// a pointer to a thread's argument bytes) and answers a 32-bit result. Handles
// are positive and stable: the same routine always gets the same handle, and
// entries are never removed. Safe to use from any thread; looking a handle up
// takes no lock.
#ifndef NOVEL_PLATFORM_ROUTINE_TABLE_H_
#define NOVEL_PLATFORM_ROUTINE_TABLE_H_

#include <cstdint>

using Routine = int32_t (*)(intptr_t argument);
using PlainRoutine = int32_t (*)();
using RoutineHandle = int32_t;

// The routine's handle, registering it on first use; 0 for null, and 0 when
// the table is full (kRoutineTableSize distinct routines).
RoutineHandle routine_handle(Routine routine);
RoutineHandle routine_handle(PlainRoutine routine);

inline constexpr int32_t kRoutineTableSize = 4096;

// A routine as the launcher, the thread pool and the timer accept it: either
// kind of routine, turned into its handle on the way in.
struct RoutineRef {
  RoutineRef(Routine routine) : handle(routine_handle(routine)) {}
  RoutineRef(PlainRoutine routine) : handle(routine_handle(routine)) {}
  RoutineHandle handle;
};

// Calls the routine behind `handle` with `argument`; a routine that takes no
// argument is called without it. `found`, when given, tells whether the
// handle named a routine; an unknown handle answers 0 without a call.
int32_t call_routine_handle(RoutineHandle handle, intptr_t argument, bool* found = nullptr);

#endif  // NOVEL_PLATFORM_ROUTINE_TABLE_H_
