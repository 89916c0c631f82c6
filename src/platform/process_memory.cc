#include "platform/process_memory.h"

#include <malloc.h>

namespace {
constexpr int kLargeBlockBytes = 1 << 20;
}  // namespace

void return_large_blocks_to_system() {
  mallopt(M_MMAP_THRESHOLD, kLargeBlockBytes);
  mallopt(M_TRIM_THRESHOLD, kLargeBlockBytes);
}
