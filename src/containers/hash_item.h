// Keys and values of a HashTable, and the hash function it files them by.
//
// A table declares one type for its keys and one for its values: integer
// (kHashInteger, 3), text (kHashText, 10) or bytes (kHashBytes, 11). Callers
// hand keys and values in as a HashView, which holds either an integer or a
// byte string without owning it; the table reads a view by its own declared
// type:
//   - integer: the view's integer; a byte-string view reads as 0;
//   - text: the bytes up to the first zero byte; an integer view reads as "";
//   - bytes: all the bytes, zeros included; an integer view reads as "".
// Texts are the system's code-page-936 byte strings, so "Name" and "name" are
// two different text keys. What the table hands out (get, keys, values) is a
// HashItem, an owned copy that carries the type code it was read by.
//
// Plain values; safe to use from any thread.
#ifndef NOVEL_CONTAINERS_HASH_ITEM_H_
#define NOVEL_CONTAINERS_HASH_ITEM_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

constexpr int32_t kHashInteger = 3;
constexpr int32_t kHashText = 10;
constexpr int32_t kHashBytes = 11;

class HashItem;

// A key or value passed to the table: an integer or a byte string. The bytes
// must outlive the call they are passed to. Two words, so that it travels in
// registers: lookups pass one per call.
class HashView {
 public:
  HashView() = default;
  HashView(int32_t integer) : value_(integer) {}
  HashView(std::string_view bytes)
      : data_(bytes.data() ? bytes.data() : ""), value_(static_cast<int64_t>(bytes.size())) {}
  HashView(const std::string& bytes) : HashView(std::string_view(bytes)) {}
  HashView(const char* text) : HashView(std::string_view(text)) {}
  HashView(const HashItem& item);

  bool is_integer() const { return data_ == nullptr; }
  // 0 for a byte string.
  int32_t integer() const { return is_integer() ? static_cast<int32_t>(value_) : 0; }
  // Empty for an integer.
  std::string_view bytes() const {
    return is_integer() ? std::string_view() : std::string_view(data_, static_cast<size_t>(value_));
  }

 private:
  const char* data_ = nullptr;  // null for an integer
  int64_t value_ = 0;           // the integer, or the byte count
};

// An owned key or value handed out by the table, typed by the table's
// declared type. The default item has type 0 and the integer 0: what a table
// operation gives when the object has no table.
class HashItem {
 public:
  HashItem() = default;
  HashItem(int32_t type, int32_t integer) : type_(type), integer_(integer) {}
  HashItem(int32_t type, int32_t integer, std::string bytes)
      : type_(type), integer_(integer), bytes_(std::move(bytes)) {}

  int32_t type() const { return type_; }
  int32_t integer() const { return integer_; }
  // The text of a text item or the bytes of a bytes item; empty otherwise.
  const std::string& text() const { return bytes_; }
  const std::string& bytes() const { return bytes_; }

  bool operator==(const HashItem&) const = default;

 private:
  int32_t type_ = 0;
  int32_t integer_ = 0;
  std::string bytes_;
};

inline HashView::HashView(const HashItem& item)
    : HashView(item.type() == kHashText || item.type() == kHashBytes
                   ? HashView(std::string_view(item.bytes()))
                   : HashView(item.integer())) {}

// h := h * 31 + byte over the bytes from the last to the first, wrapping in
// 32 bits: the sum of byte[i] * 31^i. "ab" hashes to 3135, "" to 0.
uint32_t table_hash(std::string_view bytes);

#endif  // NOVEL_CONTAINERS_HASH_ITEM_H_
