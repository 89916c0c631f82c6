#include "text/text_ops.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr unsigned char kFullWidthSpaceByte = 0xA1;

unsigned char fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

// Whether `sought` stands at byte `at` of `text`, folding ASCII letters only.
// Two-byte characters compare exactly, so a trail byte never folds.
bool matches_ignoring_case(std::string_view text, size_t at, std::string_view sought) {
  size_t k = 0;
  while (k < sought.size()) {
    const unsigned char s = sought[k];
    const unsigned char t = text[at + k];
    if (s >= 0x80) {
      if (s != t) return false;
      if (k + 1 < sought.size() && sought[k + 1] != text[at + k + 1]) return false;
      k += 2;
    } else {
      if (fold(s) != fold(t)) return false;
      ++k;
    }
  }
  return true;
}

// Length of the space that starts at `at` (1 or 2), or 0 when none does.
size_t space_at(std::string_view text, size_t at) {
  if (text[at] == ' ') return 1;
  if (static_cast<unsigned char>(text[at]) == kFullWidthSpaceByte && at + 1 < text.size() &&
      static_cast<unsigned char>(text[at + 1]) == kFullWidthSpaceByte) {
    return 2;
  }
  return 0;
}

}  // namespace

std::string text_from_bytes(const char* data, size_t size) {
  if (data == nullptr) return {};
  const void* zero = std::memchr(data, 0, size);
  return std::string(data, zero ? static_cast<const char*>(zero) - data : size);
}

int64_t find_text(std::string_view text, std::string_view sought, int64_t start, bool ignore_case) {
  if (start < 1) start = 1;
  if (start > static_cast<int64_t>(text.size())) return -1;
  if (sought.empty()) return 1;

  size_t boundary = static_cast<size_t>(start - 1);  // always a character start
  if (!ignore_case) {
    // Let the library find candidates; accept one only on a character start.
    while (true) {
      const size_t candidate = text.find(sought, boundary);
      if (candidate == std::string_view::npos) return -1;
      while (boundary < candidate) boundary += char_width(text[boundary]);
      if (boundary == candidate) return static_cast<int64_t>(candidate) + 1;
    }
  }
  for (; boundary + sought.size() <= text.size(); boundary += char_width(text[boundary])) {
    if (matches_ignoring_case(text, boundary, sought)) return static_cast<int64_t>(boundary) + 1;
  }
  return -1;
}

std::string trim_spaces(std::string_view text) {
  size_t begin = 0;
  while (begin < text.size()) {
    const size_t width = space_at(text, begin);
    if (width == 0) break;
    begin += width;
  }
  // Walk forward so that a trail byte A1 is never mistaken for half a space.
  size_t end = begin;
  size_t at = begin;
  while (at < text.size()) {
    const size_t width = space_at(text, at);
    if (width == 0) {
      at += char_width(text[at]);
      end = std::min(at, text.size());
    } else {
      at += width;
    }
  }
  return std::string(text.substr(begin, end - begin));
}

std::string remove_all_spaces(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  size_t at = 0;
  while (at < text.size()) {
    const size_t width = space_at(text, at);
    if (width != 0) {
      at += width;
      continue;
    }
    const size_t char_end = std::min(text.size(), at + char_width(text[at]));
    result.append(text.substr(at, char_end - at));
    at = char_end;
  }
  return result;
}

std::vector<std::string> split_text(std::string_view text, std::string_view separator) {
  std::vector<std::string> pieces;
  if (text.empty()) return pieces;
  if (separator.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  int64_t from = 1;
  while (from <= static_cast<int64_t>(text.size())) {
    const int64_t found = find_text(text, separator, from);
    if (found < 0) {
      pieces.emplace_back(text.substr(from - 1));
      break;
    }
    pieces.emplace_back(text.substr(from - 1, found - from));
    from = found + static_cast<int64_t>(separator.size());
  }
  return pieces;
}

std::string replace_all(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string result;
  result.reserve(text.size());
  int64_t at = 1;
  while (true) {
    const int64_t found = find_text(text, from, at);
    if (found < 0) break;
    result.append(text.substr(at - 1, found - at));
    result.append(to);
    at = found + static_cast<int64_t>(from.size());
  }
  if (at - 1 < static_cast<int64_t>(text.size())) result.append(text.substr(at - 1));
  return result;
}

std::string ascii_lower(std::string_view text) {
  std::string result(text);
  for (size_t at = 0; at < result.size(); at += char_width(result[at])) {
    result[at] = static_cast<char>(fold(result[at]));
  }
  return result;
}

std::string first_bytes(std::string_view text, int64_t n) {
  if (n <= 0) return {};
  return std::string(text.substr(0, static_cast<size_t>(n)));
}

std::string last_bytes(std::string_view text, int64_t n) {
  if (n <= 0) return {};
  if (n >= static_cast<int64_t>(text.size())) return std::string(text);
  return std::string(text.substr(text.size() - static_cast<size_t>(n)));
}

std::string bytes_from(std::string_view text, int64_t position, int64_t n) {
  if (position < 1 || position > static_cast<int64_t>(text.size()) || n <= 0) return {};
  return std::string(text.substr(static_cast<size_t>(position - 1), static_cast<size_t>(n)));
}

std::string number_to_text(int64_t number) { return std::to_string(number); }

int64_t text_to_integer(std::string_view text) {
  size_t at = 0;
  bool negative = false;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  int64_t value = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    const int digit = text[at] - '0';
    if (negative) {
      if (value < (kMin + digit) / 10) return kMin;
      value = value * 10 - digit;
    } else {
      if (value > (kMax - digit) / 10) return kMax;
      value = value * 10 + digit;
    }
  }
  return value;
}
