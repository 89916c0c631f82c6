// ByteBuffer: a growable block of bytes.
//
// The thread launcher builds each argument pack with two of them. The block
// grows geometrically: when n more bytes do not fit, it becomes
// (capacity + n) x (1 + growth) bytes, the size arithmetic done in double
// precision and truncated toward zero. Every byte the block gains is zeroed.
// Methods clamp offsets and positions rather than fail (see each one).
// Offsets count from 0; byte_at() takes and find() returns positions that
// count from 1. Bytes go in as std::string_view and come out as new
// std::string values owned by the caller.
//
// A failed reallocation (100 attempts) leaves the buffer as it was: the
// append or insert then adds nothing, and assign changes nothing.
//
// Files are read and written with plain POSIX calls and the name used as the
// path's bytes. Linux has no share-deny modes: while a file is loaded others
// may still write it (the buffer reads at most the length the file had when
// opened, less when it shrinks meanwhile), and while one is saved others may
// read or write it.
//
// API, in the order of the class: set_growth, assign, append, insert, remove,
// byte_at, get_bytes, size, clear, load_file, save_file, find, split; and the
// observer block_size.
//
// Thread safety: none of its own; a buffer belongs to one thread.
#ifndef NOVEL_CONTAINERS_BYTE_BUFFER_H_
#define NOVEL_CONTAINERS_BYTE_BUFFER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class ByteBuffer {
 public:
  static constexpr int32_t kInitialBlockSize = 10240;
  static constexpr double kDefaultGrowth = 0.3;
  static constexpr double kMaxGrowth = 10;
  static constexpr int64_t kDefaultChunk = 10485760;

  // An empty buffer with a 10240-byte block and the default growth.
  ByteBuffer();
  ~ByteBuffer();
  ByteBuffer(const ByteBuffer&) = delete;
  ByteBuffer& operator=(const ByteBuffer&) = delete;

  // Takes `fraction` when it lies from 0 to 10 inclusive, else 0.3.
  void set_growth(double fraction = kDefaultGrowth);
  // Replaces the content with `bytes` in a block of n + n x growth bytes, so
  // the block may shrink.
  void assign(std::string_view bytes);
  // Both return the new size.
  int32_t append(std::string_view bytes);
  // An offset below 1 inserts at the start, one past the end appends.
  int32_t insert(int64_t offset, std::string_view bytes);
  // Removes `count` bytes at `offset` (a negative offset counts as 0; a
  // negative count removes nothing) and shrinks the block to the content. A
  // range running past the end cuts the buffer at the offset; a cut at 0
  // clears it. An offset at or past the end changes nothing.
  void remove(int64_t offset, int64_t count);
  // The byte at 1-based `position`, or 0 outside 1..size().
  uint8_t byte_at(int64_t position) const;
  // `count` bytes from `offset`; everything from the offset when count <= 0
  // or the range runs past the end; empty when the offset is at or past the
  // end. A negative offset counts as 0.
  std::string get_bytes(int64_t offset = 0, int64_t count = 0) const;
  int32_t size() const { return length; }
  // Empties the buffer and gives it a 10240-byte block again.
  void clear();
  // Replaces the content with the file's, read in chunks (a chunk of 1 or
  // less means 10485760 bytes). False when the file cannot be opened or read
  // or its content does not fit the buffer.
  bool load_file(const std::string& name, int64_t chunk = 0);
  // Writes the content to the file, created or emptied first, in chunks.
  // False when the file cannot be opened or a write fails.
  bool save_file(const std::string& name, int64_t chunk = 0) const;
  // 1-based position of the first occurrence of `pattern` at or after
  // `offset` (negative counts as 0), or -1 for no occurrence, an empty
  // pattern or an offset past the end.
  int64_t find(std::string_view pattern, int64_t offset = 0) const;
  // Replaces `pieces` with the bytes between occurrences of `delimiter`,
  // including the empty pieces before a leading, after a trailing and
  // between adjacent delimiters. No pieces when the delimiter is empty or
  // absent.
  void split(std::string_view delimiter, std::vector<std::string>& pieces) const;

  // Size of the block, at least size().
  int32_t block_size() const { return capacity; }

 private:
  // Resizes the block to `new_size` bytes, zeroing the bytes it gains;
  // false, keeping the old block, when that fails.
  bool resize_block(int64_t new_size);
  // Applies the growth rule so that `n` more bytes fit.
  bool make_room(size_t n);

  char* data = nullptr;
  int32_t capacity = 0;
  int32_t length = 0;
  double growth = kDefaultGrowth;
};

#endif  // NOVEL_CONTAINERS_BYTE_BUFFER_H_
