#include "containers/byte_buffer.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

constexpr int kResizeAttempts = 100;
constexpr int64_t kMaxBlockSize = std::numeric_limits<int32_t>::max();

// The block size for n bytes: n + n x growth truncated toward zero, capped at
// the largest block a 32-bit size can describe.
int64_t grown_size(double n, double growth) {
  const double size = n + n * growth;
  return size < kMaxBlockSize ? static_cast<int64_t>(size) : kMaxBlockSize;
}

}  // namespace

ByteBuffer::ByteBuffer() {
  resize_block(kInitialBlockSize);
  set_growth();
}

ByteBuffer::~ByteBuffer() { std::free(data); }

bool ByteBuffer::resize_block(int64_t new_size) {
  if (new_size < 0 || new_size > kMaxBlockSize) return false;
  // realloc() of 0 bytes may free the block, so an empty block keeps 1 byte.
  const size_t bytes = new_size > 0 ? static_cast<size_t>(new_size) : 1;
  for (int attempt = 0; attempt < kResizeAttempts; ++attempt) {
    if (void* block = std::realloc(data, bytes)) {
      data = static_cast<char*>(block);
      if (new_size > capacity) {
        std::memset(data + capacity, 0, static_cast<size_t>(new_size - capacity));
      }
      capacity = static_cast<int32_t>(new_size);
      return true;
    }
  }
  return false;
}

bool ByteBuffer::make_room(size_t n) {
  if (static_cast<size_t>(capacity - length) >= n) return true;
  const double needed = static_cast<double>(capacity) + static_cast<double>(n);
  if (needed > kMaxBlockSize) return false;
  return resize_block(grown_size(needed, growth));
}

void ByteBuffer::set_growth(double fraction) {
  growth = fraction >= 0 && fraction <= kMaxGrowth ? fraction : kDefaultGrowth;
}

void ByteBuffer::assign(std::string_view bytes) {
  if (bytes.size() > static_cast<size_t>(kMaxBlockSize) ||
      !resize_block(grown_size(static_cast<double>(bytes.size()), growth))) {
    return;
  }
  bytes.copy(data, bytes.size());
  length = static_cast<int32_t>(bytes.size());
}

int32_t ByteBuffer::append(std::string_view bytes) {
  if (bytes.empty() || !make_room(bytes.size())) return length;
  bytes.copy(data + length, bytes.size());
  length += static_cast<int32_t>(bytes.size());
  return length;
}

int32_t ByteBuffer::insert(int64_t offset, std::string_view bytes) {
  if (bytes.empty() || !make_room(bytes.size())) return length;
  const size_t at = offset < 1 ? 0 : static_cast<size_t>(offset < length ? offset : length);
  std::memmove(data + at + bytes.size(), data + at, static_cast<size_t>(length) - at);
  bytes.copy(data + at, bytes.size());
  length += static_cast<int32_t>(bytes.size());
  return length;
}

void ByteBuffer::remove(int64_t offset, int64_t count) {
  if (offset < 0) offset = 0;
  if (count < 0) return;
  if (offset + count <= length) {
    length -= static_cast<int32_t>(count);
    std::memmove(data + offset, data + offset + count, static_cast<size_t>(length - offset));
    resize_block(length);
  } else if (offset < length) {
    if (offset == 0) {
      clear();
    } else {
      length = static_cast<int32_t>(offset);
      resize_block(length);
    }
  }
}

uint8_t ByteBuffer::byte_at(int64_t position) const {
  return position >= 1 && position <= length ? static_cast<uint8_t>(data[position - 1]) : 0;
}

std::string ByteBuffer::get_bytes(int64_t offset, int64_t count) const {
  if (offset < 0) offset = 0;
  if (offset >= length) return std::string();
  if (count <= 0 || offset + count > length) count = length - offset;
  return std::string(data + offset, static_cast<size_t>(count));
}

void ByteBuffer::clear() {
  length = 0;
  resize_block(kInitialBlockSize);
}

int64_t ByteBuffer::find(std::string_view pattern, int64_t offset) const {
  if (offset < 0) offset = 0;
  if (pattern.empty() || offset > length) return -1;
  const char* const end = data + length;
  for (const char* from = data + offset; from < end;) {
    const auto* candidate =
        static_cast<const char*>(std::memchr(from, pattern[0], static_cast<size_t>(end - from)));
    if (candidate == nullptr || static_cast<size_t>(end - candidate) < pattern.size()) return -1;
    if (std::memcmp(candidate + 1, pattern.data() + 1, pattern.size() - 1) == 0) {
      return candidate - data + 1;
    }
    // The next candidate may begin inside this one ("aab" in "aaab").
    from = candidate + 1;
  }
  return -1;
}

void ByteBuffer::split(std::string_view delimiter, std::vector<std::string>& pieces) const {
  pieces.clear();
  if (delimiter.empty()) return;
  int64_t position = find(delimiter);
  if (position < 0) return;
  int64_t start = 0;
  for (; position > 0; position = find(delimiter, start)) {
    pieces.emplace_back(data + start, static_cast<size_t>(position - 1 - start));
    start = position - 1 + static_cast<int64_t>(delimiter.size());
  }
  pieces.emplace_back(data + start, static_cast<size_t>(length - start));
}
