#include "platform/heap_block.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(HeapBlock, KeepsTheExactRequestedSizeAndIsZeroFilled) {
  for (int64_t size : {0, 1, 7, 24, 4097}) {
    auto* block = static_cast<unsigned char*>(heap_block_alloc(size));
    ASSERT_NE(block, nullptr) << size;
    EXPECT_EQ(heap_block_size(block), size);
    for (int64_t i = 0; i < size; ++i) ASSERT_EQ(block[i], 0) << size << " at " << i;
    EXPECT_TRUE(heap_block_free(block));
  }
}

TEST(HeapBlock, NullAndNegative) {
  EXPECT_EQ(heap_block_alloc(-1), nullptr);
  EXPECT_FALSE(heap_block_free(nullptr));
  EXPECT_LT(heap_block_size(nullptr), 0);
}

}  // namespace
