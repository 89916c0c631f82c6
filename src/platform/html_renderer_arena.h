// Memory for one gumbo parse. Gumbo asks for some thousands of small blocks
// per chapter page and gives most back at once when the tree goes; with
// hundreds of pool threads parsing side by side, each of those calls to
// malloc and free also meets the other threads in the allocator. A
// ParseArena hands out pieces of 64 KiB blocks instead, keeps the pieces
// given back on lists by size for the parse to use again, and lets every
// block go together when it goes, so the tree needs no walk to be freed.
// Blocks go to a small process-wide store of spares for the next parse.
//
// Used by the HTML renderer, one arena per parse on the parsing thread; an
// arena is not safe to share between threads (the store of spares is, under
// its own lock).
#ifndef NOVEL_PLATFORM_HTML_RENDERER_ARENA_H_
#define NOVEL_PLATFORM_HTML_RENDERER_ARENA_H_

#include <cstddef>
#include <vector>

class ParseArena {
 public:
  ParseArena() = default;
  ~ParseArena();
  ParseArena(const ParseArena&) = delete;
  ParseArena& operator=(const ParseArena&) = delete;

  // `size` bytes aligned for any pointer or integer; null when memory runs
  // out. Stays valid until released or until the arena goes.
  void* allocate(size_t size);
  // REQUIRES: `piece` is null or came from allocate() of this arena.
  void release(void* piece);

  // The allocator and deallocator that gumbo's options take, with the arena
  // as their user data.
  static void* allocate_for_gumbo(void* arena, size_t size);
  static void release_for_gumbo(void* arena, void* piece);

 private:
  static constexpr size_t kSizeClasses = 10;  // 16 bytes to 8 KiB

  char* carve(size_t bytes);

  std::vector<void*> blocks_;
  // Pieces too large for any size class, each from malloc; a released one
  // leaves a null behind.
  std::vector<void*> large_;
  void* free_lists_[kSizeClasses] = {};
  char* next_ = nullptr;
  char* end_ = nullptr;
};

#endif  // NOVEL_PLATFORM_HTML_RENDERER_ARENA_H_
