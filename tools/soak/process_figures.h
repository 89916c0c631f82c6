// What a long run watches in its own process: live threads, open file
// descriptors, resident memory and heap in use, read from /proc/self and
// from the allocator. novel-soak samples them after every collection to see
// whether anything is left behind that grows with the number of runs.
//
// Every function reads the calling process only; safe from any thread.
#ifndef NOVEL_SOAK_PROCESS_FIGURES_H_
#define NOVEL_SOAK_PROCESS_FIGURES_H_

#include <cstdint>
#include <functional>
#include <string>

struct ProcessFigures {
  int64_t threads = 0;          // entries of /proc/self/task
  int64_t open_files = 0;       // entries of /proc/self/fd
  int64_t resident_bytes = 0;   // resident pages of /proc/self/statm, after a trim
  int64_t untrimmed_bytes = 0;  // the same before the allocator gave its free pages back
  int64_t heap_bytes = 0;       // bytes handed out by malloc and not yet freed
};

// The allocator keeps freed pages for reuse, and how many depends on the
// order in which hundreds of workers happened to free their pages, not on how
// many collections ran; so the resident figure is read after handing the free
// pages back, and the figure before that is kept for the report only.
ProcessFigures sample_process_figures();

// Samples until the thread and descriptor counts have held still for half a
// second (threads of a finished collection take a moment to leave), or at
// most `limit_ms`; `pump` runs between samples so that a GUI thread keeps
// handling its events meanwhile.
ProcessFigures settled_process_figures(const std::function<void()>& pump, int limit_ms = 15000);

// The name of a figure by its place in ProcessFigures (0 to 3), and its value.
constexpr int kFigureCount = 4;
const char* figure_name(int figure);
int64_t figure_value(const ProcessFigures& figures, int figure);

// Whether a figure is held to the tolerance in this build. Under
// AddressSanitizer resident memory is mostly the sanitizer's own (shadow
// bytes, per-thread caches of the workers, stacks of ended threads kept for
// reports) and moves by tens of MiB from run to run on its own; heap in use
// then comes from the sanitizer's allocator and is exact, so it carries the
// memory check there.
bool figure_checked(int figure);

// How the heap is measured in this build, for the report.
std::string heap_measure_name();

#endif  // NOVEL_SOAK_PROCESS_FIGURES_H_
