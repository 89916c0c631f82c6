#include "platform/html_renderer_arena.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Pieces of every size, small and large, are aligned and never overlap:
// each is filled with its own byte and still holds it when all are out.
TEST(ParseArena, PiecesAreAlignedAndApart) {
  ParseArena arena;
  std::vector<std::pair<unsigned char*, size_t>> pieces;
  for (size_t size = 0; size <= 20000; size += size < 64 ? 1 : 997) {
    auto* piece = static_cast<unsigned char*>(arena.allocate(size));
    ASSERT_NE(piece, nullptr) << size;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(piece) % alignof(void*), 0u) << size;
    std::memset(piece, static_cast<int>(pieces.size() & 0xFF), size);
    pieces.emplace_back(piece, size);
  }
  for (size_t k = 0; k < pieces.size(); ++k) {
    const auto [piece, size] = pieces[k];
    for (size_t at = 0; at < size; ++at) {
      ASSERT_EQ(piece[at], static_cast<unsigned char>(k & 0xFF)) << "piece " << k;
    }
  }
  // Some go back before the arena does, the rest with it.
  for (size_t k = 0; k < pieces.size(); k += 2) arena.release(pieces[k].first);
  arena.release(nullptr);
}

TEST(ParseArena, ReleasedPiecesAreUsedAgain) {
  ParseArena arena;
  void* first = arena.allocate(100);
  arena.release(first);
  EXPECT_EQ(arena.allocate(120), first) << "same size class";
  void* large = arena.allocate(1 << 20);
  ASSERT_NE(large, nullptr);
  arena.release(large);
  EXPECT_NE(arena.allocate(1 << 20), nullptr);
}

}  // namespace
