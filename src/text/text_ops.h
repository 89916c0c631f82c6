// The system's text operations.
//
// Inside the program every text is a code-page-936 (GBK) byte string held in a
// std::string: lengths and positions count bytes, positions count from 1, and
// -1 means "not found". A byte of 0x80 or above starts a two-byte character;
// searches step over both bytes at once, so a match only ever begins at the
// start of a character. When case is ignored only ASCII letters fold.
//
// All functions are pure and safe to call from any thread.
#ifndef NOVEL_TEXT_TEXT_OPS_H_
#define NOVEL_TEXT_TEXT_OPS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Takes bytes as text up to their first zero byte.
std::string text_from_bytes(const char* data, size_t size);
inline std::string text_from_bytes(std::string_view bytes) {
  return text_from_bytes(bytes.data(), bytes.size());
}

// Byte length of the character that starts with `lead` (1 or 2).
inline size_t char_width(unsigned char lead) { return lead >= 0x80 ? 2 : 1; }

// 1-based position of `sought` in `text` at or after `start` (values below 1
// mean 1), or -1. An empty `sought` gives 1 when the searched part is not
// empty and -1 otherwise.
int64_t find_text(std::string_view text, std::string_view sought, int64_t start = 1,
                  bool ignore_case = false);

// Removes leading and trailing spaces: ASCII space and the full-width space
// A1 A1. Tabs, CR and LF stay.
std::string trim_spaces(std::string_view text);
// Removes every ASCII and full-width space anywhere in the text.
std::string remove_all_spaces(std::string_view text);

// Pieces between separators: adjacent separators give an empty piece, a
// trailing separator gives no empty last piece, an empty text gives no piece
// and an empty separator gives the whole text as one piece.
std::vector<std::string> split_text(std::string_view text, std::string_view separator);

// Replaces every occurrence of `from` (exact case), scanning from the start.
std::string replace_all(std::string_view text, std::string_view from, std::string_view to);

// Lower-cases A to Z only; two-byte characters are left alone.
std::string ascii_lower(std::string_view text);

// Byte cuts. Each gives the empty text for n <= 0 and stops at the end of the text.
std::string first_bytes(std::string_view text, int64_t n);
std::string last_bytes(std::string_view text, int64_t n);
// Empty too when `position` lies outside 1..length.
std::string bytes_from(std::string_view text, int64_t position, int64_t n);

std::string number_to_text(int64_t number);
// The leading decimal number (an optional sign, then digits); 0 when the text
// does not start with one. Saturates at the limits of int64_t.
int64_t text_to_integer(std::string_view text);

#endif  // NOVEL_TEXT_TEXT_OPS_H_
