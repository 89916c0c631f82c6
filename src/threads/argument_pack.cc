#include "threads/argument_pack.h"

#include <utility>

#include "containers/byte_buffer.h"

namespace {

// The 32-bit little-endian integer at `offset`. REQUIRES: offset + 4 <= size.
int32_t read_int32(std::string_view bytes, int64_t offset) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) {
    value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
  }
  return static_cast<int32_t>(value);
}

}  // namespace

std::string int32_bytes(int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((bits >> (8 * i)) & 0xff);
  return bytes;
}

int32_t int32_from_bytes(std::string_view bytes) {
  return bytes.size() == 4 ? read_int32(bytes, 0) : 0;
}

std::string pack_arguments(const std::vector<std::string>& elements) {
  ByteBuffer header;
  ByteBuffer data;
  int64_t expected = 4;
  header.assign(int32_bytes(static_cast<int32_t>(elements.size())));
  for (const std::string& element : elements) {
    header.append(int32_bytes(static_cast<int32_t>(element.size())));
    data.append(element);
    expected += 4 + static_cast<int64_t>(element.size());
  }
  header.append(data.get_bytes());
  // A buffer that could not grow drops what it could not take; half a pack
  // must not pass for a whole one.
  if (header.size() != expected) return std::string();
  return header.get_bytes();
}

bool unpack_arguments(std::string_view pack, std::vector<std::string>& elements) {
  elements.clear();
  // Sizes and positions are 64-bit so that a count near 2^31 cannot wrap.
  const auto size = static_cast<int64_t>(pack.size());
  if (size < 4) return false;
  const int64_t count = read_int32(pack, 0);
  if (count <= 0) return false;
  const int64_t header_size = 4 * (count + 1);
  if (header_size > size) return false;
  const int64_t data_size = size - header_size;

  std::vector<std::string> unpacked;
  unpacked.reserve(static_cast<size_t>(count));
  int64_t position = 0;
  for (int64_t i = 1; i <= count; ++i) {
    const int64_t length = read_int32(pack, 4 * i);
    if (length < 0 || position + length > data_size) return false;
    unpacked.emplace_back(
        pack.substr(static_cast<size_t>(header_size + position), static_cast<size_t>(length)));
    position += length;
  }
  if (position != data_size) return false;
  elements = std::move(unpacked);
  return true;
}
