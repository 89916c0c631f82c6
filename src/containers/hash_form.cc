// The "hash" byte form of a HashTable: save() writes it, load() reads it.
#include <cstring>
#include <limits>
#include <optional>

#include "containers/hash_table.h"

namespace {

constexpr char kMark[4] = {'h', 'a', 's', 'h'};
constexpr size_t kHeaderSize = 16;
constexpr size_t kFieldSize = 4;
constexpr size_t kPairSize = 2 * kFieldSize;

void put_int32(std::string& form, size_t at, int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  for (size_t i = 0; i < kFieldSize; ++i) form[at + i] = static_cast<char>(bits >> (8 * i));
}

void append_int32(std::string& form, int32_t value) {
  form.append(kFieldSize, '\0');
  put_int32(form, form.size() - kFieldSize, value);
}

int32_t get_int32(std::string_view form, size_t at) {
  uint32_t bits = 0;
  for (size_t i = 0; i < kFieldSize; ++i) {
    bits |= static_cast<uint32_t>(static_cast<unsigned char>(form[at + i])) << (8 * i);
  }
  return static_cast<int32_t>(bits);
}

// Writes the field at `field_at`: the integer, or the offset of the item
// appended to the data area.
void put_item(std::string& form, size_t field_at, int32_t type, HashView item) {
  if (type == kHashText || type == kHashBytes) {
    put_int32(form, field_at, static_cast<int32_t>(form.size()));
    if (type == kHashBytes) {
      append_int32(form, 1);
      append_int32(form, static_cast<int32_t>(item.bytes().size()));
    }
    form.append(item.bytes());
    if (type == kHashText) form.push_back('\0');
  } else {
    put_int32(form, field_at, item.integer());
  }
}

// The item a field names, or nothing when it would lie outside the form: a
// text must end with its zero byte inside the form, a bytes item must hold
// its header and all its bytes.
std::optional<HashView> read_item(std::string_view form, int32_t type, int32_t field) {
  if (type == kHashInteger) return HashView(field);
  if (field < 0 || static_cast<size_t>(field) >= form.size()) return std::nullopt;
  const std::string_view rest = form.substr(static_cast<size_t>(field));
  if (type == kHashText) {
    const size_t end = rest.find('\0');
    if (end == std::string_view::npos) return std::nullopt;
    return HashView(rest.substr(0, end));
  }
  if (rest.size() < kPairSize) return std::nullopt;
  const int32_t length = get_int32(rest, kFieldSize);
  if (length < 0 || static_cast<size_t>(length) > rest.size() - kPairSize) return std::nullopt;
  return HashView(rest.substr(kPairSize, static_cast<size_t>(length)));
}

bool storable_type(int32_t type) {
  return type == kHashInteger || type == kHashText || type == kHashBytes;
}

}  // namespace

std::string HashTable::save() const {
  if (record_ == nullptr) return std::string();
  std::string form(kMark, sizeof kMark);
  append_int32(form, key_type());
  append_int32(form, value_type());
  append_int32(form, count());
  form.append(kPairSize * static_cast<size_t>(count()), '\0');
  size_t field_at = kHeaderSize;
  for_each([&](HashView key, HashView value) {
    put_item(form, field_at, key_type(), key);
    put_item(form, field_at + kFieldSize, value_type(), value);
    field_at += kPairSize;
    return false;
  });
  return form;
}

bool HashTable::load(std::string_view form) {
  if (form.size() < kHeaderSize || std::memcmp(form.data(), kMark, sizeof kMark) != 0) {
    return false;
  }
  const int32_t loaded_key_type = get_int32(form, 4);
  const int32_t loaded_value_type = get_int32(form, 8);
  const int32_t n = get_int32(form, 12);
  if (!storable_type(loaded_key_type) || !storable_type(loaded_value_type) || n < 0 ||
      static_cast<size_t>(n) > (form.size() - kHeaderSize) / kPairSize ||
      n > std::numeric_limits<int32_t>::max() - kDefaultBucketCount) {
    return false;
  }
  HashTable loaded;
  if (!loaded.create(loaded_key_type, loaded_value_type, n + kDefaultBucketCount)) return false;
  for (size_t at = kHeaderSize; at < kHeaderSize + kPairSize * static_cast<size_t>(n);
       at += kPairSize) {
    const auto key = read_item(form, loaded_key_type, get_int32(form, at));
    const auto value = read_item(form, loaded_value_type, get_int32(form, at + kFieldSize));
    if (!key || !value) return false;
    loaded.set(*key, *value);
  }
  *this = std::move(loaded);
  return true;
}
