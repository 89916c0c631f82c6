// Zero-filled memory blocks that remember the exact size they were asked for.
//
// The thread launcher hands a thread its argument bytes in such a block and
// the thread reads back exactly heap_block_size() bytes, so the size must be
// the requested one, never what the allocator rounded it up to. Each lock's
// state also lives in one. Safe to use from any thread.
#ifndef NOVEL_PLATFORM_HEAP_BLOCK_H_
#define NOVEL_PLATFORM_HEAP_BLOCK_H_

#include <cstdint>

// A zero-filled block of `size` bytes (0 is allowed), or null when memory is
// exhausted after 50 attempts or `size` is negative.
void* heap_block_alloc(int64_t size);
// Releases a block from heap_block_alloc; false for null.
bool heap_block_free(void* block);
// The size the block was asked with; negative for null.
int64_t heap_block_size(const void* block);

#endif  // NOVEL_PLATFORM_HEAP_BLOCK_H_
