#include "platform/html_renderer_arena.h"

#include <cstdint>
#include <cstdlib>
#include <mutex>

namespace {

constexpr size_t kBlockBytes = 64 * 1024;
constexpr size_t kSmallestClassBytes = 16;
constexpr uint32_t kLarge = UINT32_MAX;

// Stands before every piece: its size class, or kLarge with its place in
// the list of large pieces. Its size keeps the pieces 8-byte aligned, which
// is all gumbo's structures need.
struct Header {
  uint32_t size_class;
  uint32_t large_index;
};
static_assert(sizeof(Header) == 8);

Header* header_of(void* piece) { return static_cast<Header*>(piece) - 1; }

// Blocks that finished parses left for the next ones. Handing every block
// back to malloc would let it return the top of the heap to the system after
// each page and fault the same pages in again for the next: a third of the
// parse's time went to the kernel that way. Capped so that a burst of
// parses on many threads does not pin its peak for good.
class SpareBlocks {
 public:
  void* take() {
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (count_ > 0) return blocks_[--count_];
    }
    return std::malloc(kBlockBytes);
  }
  void give(void* block) {
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (count_ < kKept) {
        blocks_[count_++] = block;
        return;
      }
    }
    std::free(block);
  }

 private:
  static constexpr size_t kKept = 64;  // 4 MiB

  std::mutex lock_;
  void* blocks_[kKept];  // GUARDED_BY(lock_), the first count_ of them
  size_t count_ = 0;     // GUARDED_BY(lock_)
};

SpareBlocks& spare_blocks() {
  static SpareBlocks* const spares = new SpareBlocks;  // outlives every thread
  return *spares;
}

}  // namespace

ParseArena::~ParseArena() {
  for (void* block : blocks_) spare_blocks().give(block);
  for (void* piece : large_) std::free(piece);
}

char* ParseArena::carve(size_t bytes) {
  if (static_cast<size_t>(end_ - next_) < bytes) {
    void* block = spare_blocks().take();
    if (block == nullptr) return nullptr;
    blocks_.push_back(block);
    next_ = static_cast<char*>(block);
    end_ = next_ + kBlockBytes;
  }
  char* carved = next_;
  next_ += bytes;
  return carved;
}

void* ParseArena::allocate(size_t size) {
  const size_t needed = size + sizeof(Header);
  uint32_t size_class = 0;
  size_t class_bytes = kSmallestClassBytes;
  while (class_bytes < needed && size_class < kSizeClasses) {
    class_bytes *= 2;
    ++size_class;
  }
  if (size_class == kSizeClasses) {
    if (size > SIZE_MAX - sizeof(Header)) return nullptr;
    auto* header = static_cast<Header*>(std::malloc(needed));
    if (header == nullptr) return nullptr;
    *header = {kLarge, static_cast<uint32_t>(large_.size())};
    large_.push_back(header);
    return header + 1;
  }
  if (void* reused = free_lists_[size_class]) {
    free_lists_[size_class] = *static_cast<void**>(reused);
    return reused;
  }
  auto* header = reinterpret_cast<Header*>(carve(class_bytes));
  if (header == nullptr) return nullptr;
  *header = {size_class, 0};
  return header + 1;
}

void ParseArena::release(void* piece) {
  if (piece == nullptr) return;
  Header* header = header_of(piece);
  if (header->size_class == kLarge) {
    large_[header->large_index] = nullptr;
    std::free(header);
    return;
  }
  *static_cast<void**>(piece) = free_lists_[header->size_class];
  free_lists_[header->size_class] = piece;
}

void* ParseArena::allocate_for_gumbo(void* arena, size_t size) {
  return static_cast<ParseArena*>(arena)->allocate(size);
}

void ParseArena::release_for_gumbo(void* arena, void* piece) {
  static_cast<ParseArena*>(arena)->release(piece);
}
