#include "platform/heap_block.h"

#include <cstdlib>
#include <cstring>

namespace {

// The size is kept in a header in front of the block; 16 bytes keep the
// caller's bytes aligned for any fundamental type.
constexpr std::size_t kHeaderSize = 16;
constexpr int kAllocationAttempts = 50;

char* header_of(const void* block) {
  return static_cast<char*>(const_cast<void*>(block)) - kHeaderSize;
}

}  // namespace

void* heap_block_alloc(int64_t size) {
  if (size < 0) return nullptr;
  for (int attempt = 0; attempt < kAllocationAttempts; ++attempt) {
    void* raw = std::calloc(1, kHeaderSize + static_cast<std::size_t>(size));
    if (raw == nullptr) continue;
    std::memcpy(raw, &size, sizeof size);
    return static_cast<char*>(raw) + kHeaderSize;
  }
  return nullptr;
}

bool heap_block_free(void* block) {
  if (block == nullptr) return false;
  std::free(header_of(block));
  return true;
}

int64_t heap_block_size(const void* block) {
  if (block == nullptr) return -1;
  int64_t size;
  std::memcpy(&size, header_of(block), sizeof size);
  return size;
}
