// Code-page conversion between multibyte text and UTF-16, over iconv.
//
// The stand-in must provide two total conversions: multibyte text (UTF-8 or
// GBK, code page 936) to zero-terminated UTF-16, and UTF-16 back to multibyte
// text. Neither ever rejects its input or stops early: a malformed sequence
// becomes U+FFFD, and a character the target cannot hold becomes "?" (U+00A0,
// the no-break space, becomes an ordinary space). Input ends at its first zero
// byte (multibyte) or zero code unit (UTF-16).
//
// GBK here means ASCII plus the two-byte GBK characters: no single byte of
// 0x80 or above is read or written as a character of its own, since the rest
// of the program takes every such byte as the lead of a two-byte character.
// Each character of a GBK text (one ASCII byte, or a lead byte and the byte
// after it) therefore becomes exactly one UTF-16 code unit.
//
// The two ways fetched pages take most often, UTF-8 to GBK and GBK to UTF-8,
// also have direct forms that give the same text without the UTF-16 between.
//
// Used by the text helpers (utf8_to_ansi, html_to_text) and RegexObject.
// Safe to call from any thread: each thread keeps its own converters.
#ifndef NOVEL_PLATFORM_CODE_PAGE_H_
#define NOVEL_PLATFORM_CODE_PAGE_H_

#include <cstddef>
#include <string>
#include <string_view>

constexpr int kCodePageGbk = 936;
constexpr int kCodePageUtf8 = 65001;

// Bytes of the UTF-8 character that starts with `lead`; 1 for a byte that
// starts none.
inline size_t utf8_char_width(unsigned char lead) {
  if (lead < 0xC0) return 1;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  return 4;
}

// UTF-16LE code units of `text`, followed by one zero code unit, as bytes.
// Any `code_page` other than kCodePageGbk is read as UTF-8.
std::string multibyte_to_wide(std::string_view text, int code_page = kCodePageUtf8);

// UTF-8 of GBK `text`, as multibyte_to_wide and then wide_to_multibyte would
// give it, without the UTF-16 text in between (which for a catalogue page is
// megabytes of memory to fault in).
std::string gbk_to_utf8(std::string_view text);

// GBK of UTF-8 `text`, as multibyte_to_wide and then wide_to_multibyte would
// give it (one "?" per malformed byte and per character GBK lacks), without
// the UTF-16 text in between.
std::string utf8_to_gbk(std::string_view text);

// The multibyte text of UTF-16LE `wide` (up to its first zero code unit or its
// end). Any `code_page` other than kCodePageUtf8 writes GBK.
std::string wide_to_multibyte(std::string_view wide, int code_page = kCodePageGbk);

#endif  // NOVEL_PLATFORM_CODE_PAGE_H_
