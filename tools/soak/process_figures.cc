#include "soak/process_figures.h"

#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <thread>
#include <utility>

#if defined(__SANITIZE_ADDRESS__)
#define NOVEL_SOAK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NOVEL_SOAK_ASAN 1
#endif
#endif

#ifdef NOVEL_SOAK_ASAN
// From the sanitizer's allocator interface, whose header not every compiler ships.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
extern "C" void __sanitizer_purge_allocator();
#endif

namespace {

int64_t entries_of(const char* directory) {
  std::error_code error;
  int64_t count = 0;
  for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end;
       it.increment(error)) {
    ++count;
  }
  return count;
}

int64_t resident_bytes() {
  std::ifstream statm("/proc/self/statm");
  int64_t size_pages = 0;
  int64_t resident_pages = 0;
  statm >> size_pages >> resident_pages;
  return resident_pages * static_cast<int64_t>(sysconf(_SC_PAGESIZE));
}

void give_free_pages_back() {
#ifdef NOVEL_SOAK_ASAN
  __sanitizer_purge_allocator();
#else
  malloc_trim(0);
#endif
}

int64_t heap_bytes() {
#ifdef NOVEL_SOAK_ASAN
  // Under AddressSanitizer malloc is the sanitizer's own; glibc's arenas
  // would report next to nothing.
  return static_cast<int64_t>(__sanitizer_get_current_allocated_bytes());
#else
  // Small blocks in the arenas plus the large ones malloc maps on their own.
  const struct mallinfo2 info = mallinfo2();
  return static_cast<int64_t>(info.uordblks + info.hblkhd);
#endif
}

}  // namespace

ProcessFigures sample_process_figures() {
  ProcessFigures figures;
  figures.threads = entries_of("/proc/self/task");
  // Less the descriptor the directory listing itself holds open.
  figures.open_files = entries_of("/proc/self/fd") - 1;
  figures.untrimmed_bytes = resident_bytes();
  give_free_pages_back();
  figures.resident_bytes = resident_bytes();
  figures.heap_bytes = heap_bytes();
  return figures;
}

ProcessFigures settled_process_figures(const std::function<void()>& pump, int limit_ms) {
  using Clock = std::chrono::steady_clock;
  constexpr auto kStep = std::chrono::milliseconds(100);
  constexpr int kStillSamples = 5;
  const auto deadline = Clock::now() + std::chrono::milliseconds(limit_ms);
  auto counts = [] {
    return std::pair(entries_of("/proc/self/task"), entries_of("/proc/self/fd"));
  };
  auto last = counts();
  for (int still = 0; still < kStillSamples && Clock::now() < deadline;) {
    const auto next = Clock::now() + kStep;
    while (Clock::now() < next) {
      if (pump) pump();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const auto now = counts();
    still = now == last ? still + 1 : 0;
    last = now;
  }
  return sample_process_figures();
}

const char* figure_name(int figure) {
  static constexpr const char* kNames[kFigureCount] = {"threads", "open files", "resident",
                                                       "heap in use"};
  return figure >= 0 && figure < kFigureCount ? kNames[figure] : "";
}

int64_t figure_value(const ProcessFigures& figures, int figure) {
  switch (figure) {
    case 0:
      return figures.threads;
    case 1:
      return figures.open_files;
    case 2:
      return figures.resident_bytes;
    case 3:
      return figures.heap_bytes;
    default:
      return 0;
  }
}

bool figure_checked(int figure) {
#ifdef NOVEL_SOAK_ASAN
  return figure != 2;
#else
  return figure >= 0 && figure < kFigureCount;
#endif
}

std::string heap_measure_name() {
#ifdef NOVEL_SOAK_ASAN
  return "AddressSanitizer's allocated bytes";
#else
  return "mallinfo2 (uordblks + hblkhd)";
#endif
}
