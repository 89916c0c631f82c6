#include "text/conversions.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/code_page.h"
#include "platform/html_renderer.h"
#include "text/text_ops.h"

namespace {

constexpr std::string_view kLineEnd = "\r\n";

constexpr uint32_t kReplacementCharacter = 0xFFFD;
constexpr uint32_t kSurrogatesBegin = 0xD800;
constexpr uint32_t kSurrogatesEnd = 0xE000;
constexpr size_t kBmpSize = 0x10000;
// Lead bytes 0x80..0xFF times every second byte.
constexpr size_t kGbkPairCount = 0x80 * 0x100;

// Every page passes through both conversions once or twice, and iconv costs
// some tens of instructions per character. These tables hold what the
// platform converters answer for each character, asked once for all of them,
// so a conversion is a lookup per character and gives the very same text.
struct GbkTables {
  // GBK of each BMP code point from 0x80 on: two bytes (lead in the high
  // byte), or below 0x100 the single byte ("?" or the space of U+00A0).
  std::vector<uint16_t> gbk_of;
  // Code point of each GBK pair, indexed by (lead - 0x80) * 0x100 + second
  // byte; U+FFFD where the pair is no character.
  std::vector<uint16_t> code_of;
};

// Writes the UTF-8 of BMP `code` at `put` and answers the end.
char* put_utf8(char* put, uint32_t code) {
  if (code < 0x80) {
    *put++ = static_cast<char>(code);
  } else if (code < 0x800) {
    *put++ = static_cast<char>(0xC0 | (code >> 6));
    *put++ = static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *put++ = static_cast<char>(0xE0 | (code >> 12));
    *put++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *put++ = static_cast<char>(0x80 | (code & 0x3F));
  }
  return put;
}

void append_utf8(std::string& out, uint32_t code) {
  char bytes[3];
  out.append(bytes, static_cast<size_t>(put_utf8(bytes, code) - bytes));
}

// Width of the well-formed UTF-8 character at `s` (no overlong forms, no
// surrogates, nothing past U+10FFFF) with its code point in `*code`, or 0.
inline size_t decode_utf8(const unsigned char* s, size_t left, uint32_t* code) {
  const unsigned char lead = s[0];
  // Three-byte characters (all of Chinese) take the short way.
  if ((lead & 0xF0) == 0xE0 && left >= 3 && (s[1] & 0xC0) == 0x80 && (s[2] & 0xC0) == 0x80) {
    const uint32_t value = (lead & 0x0Fu) << 12 | (s[1] & 0x3Fu) << 6 | (s[2] & 0x3Fu);
    if (value < 0x800 || (value >= kSurrogatesBegin && value < kSurrogatesEnd)) return 0;
    *code = value;
    return 3;
  }
  if (lead < 0xC2 || lead > 0xF4) return 0;
  const size_t width = utf8_char_width(lead);
  if (left < width) return 0;
  uint32_t value = lead & (0x7Fu >> width);
  for (size_t k = 1; k < width; ++k) {
    if ((s[k] & 0xC0) != 0x80) return 0;
    value = (value << 6) | (s[k] & 0x3Fu);
  }
  static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kSmallest[width] || value > 0x10FFFF ||
      (value >= kSurrogatesBegin && value < kSurrogatesEnd)) {
    return 0;
  }
  *code = value;
  return width;
}

// Asks the platform converters about every character at once: each input
// character gives exactly one output character, so the answers are read off
// in step. GBK encodes exactly the characters its pairs decode to, so only
// those (and the no-break space, which becomes a space) are asked the way
// back; asking all of the BMP would mean tens of thousands of slow failures.
GbkTables build_tables() {
  GbkTables tables;
  std::string all_pairs;
  for (size_t pair = 0; pair < kGbkPairCount; ++pair) {
    if ((pair & 0xFF) == 0) continue;  // a zero byte would end the text
    all_pairs.push_back(static_cast<char>(0x80 + (pair >> 8)));
    all_pairs.push_back(static_cast<char>(pair & 0xFF));
  }
  const std::string utf8 = gbk_to_utf8(all_pairs);
  const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
  tables.code_of.assign(kGbkPairCount, kReplacementCharacter);
  std::vector<uint32_t> encodable = {0xA0};
  size_t at = 0;
  for (size_t pair = 0; pair < kGbkPairCount && at < utf8.size(); ++pair) {
    if ((pair & 0xFF) == 0) continue;
    uint32_t code = bytes[at];
    size_t width = 1;
    if (code >= 0x80) width = decode_utf8(bytes + at, utf8.size() - at, &code);
    if (width == 0 || code >= kBmpSize) {
      code = kReplacementCharacter;
      width = utf8_char_width(bytes[at]);
    }
    tables.code_of[pair] = static_cast<uint16_t>(code);
    if (code >= 0x80 && code != kReplacementCharacter) encodable.push_back(code);
    at += width;
  }

  std::string asked;
  for (const uint32_t code : encodable) append_utf8(asked, code);
  const std::string gbk = utf8_to_gbk(asked);
  tables.gbk_of.assign(kBmpSize, '?');
  at = 0;
  for (size_t k = 0; k < encodable.size() && at < gbk.size(); ++k) {
    const unsigned char first = static_cast<unsigned char>(gbk[at]);
    if (first < 0x80 || at + 1 == gbk.size()) {
      tables.gbk_of[encodable[k]] = first;
      at += 1;
    } else {
      tables.gbk_of[encodable[k]] =
          static_cast<uint16_t>(first << 8 | static_cast<unsigned char>(gbk[at + 1]));
      at += 2;
    }
  }
  return tables;
}

const GbkTables& gbk_tables() {
  static const GbkTables tables = build_tables();
  return tables;
}

// Length of the run of ASCII bytes at the start of `s`, eight at a time where
// it can.
size_t ascii_run(const unsigned char* s, size_t left) {
  size_t run = 0;
  for (uint64_t word; run + 8 <= left; run += 8) {
    std::memcpy(&word, s + run, 8);
    if ((word & 0x8080808080808080ull) != 0) break;
  }
  while (run < left && s[run] < 0x80) ++run;
  return run;
}

// Converts `text` up to its first zero byte into at most `capacity_of(its
// size)` bytes: runs of ASCII are copied, and each other character goes to
// `convert(s, left, put)`, which writes its result at `put`, moves `put` on
// and answers how many bytes of `s` it took.
template <typename Convert>
std::string convert_characters(std::string_view text, size_t (*capacity_of)(size_t),
                               Convert convert) {
  text = text.substr(0, text.find('\0'));
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  const size_t size = text.size();
  std::string out(capacity_of(size), '\0');
  char* put = out.data();
  size_t at = 0;
  while (at < size) {
    if (in[at] < 0x80) {
      const size_t run = ascii_run(in + at, size - at);
      std::memcpy(put, in + at, run);
      put += run;
      at += run;
      continue;
    }
    at += convert(in + at, size - at, put);
  }
  out.resize(static_cast<size_t>(put - out.data()));
  return out;
}

// No character grows on its way to GBK or from GBK to GBK.
size_t same_size(size_t size) { return size; }

// Two bytes of GBK give at most three of UTF-8; a lone lead at the end
// gives three too.
size_t utf8_of_gbk_size(size_t size) { return size + size / 2 + 2; }

// Writes a GbkTables::gbk_of entry at `put`: one byte or two.
char* put_gbk(char* put, uint16_t gbk) {
  if (gbk >= 0x100) *put++ = static_cast<char>(gbk >> 8);
  *put++ = static_cast<char>(gbk & 0xFF);
  return put;
}

// The GBK of the UTF-8 character at `s` as a gbk_of entry, with its width
// in `*width`: a malformed byte is one "?", and so is a character beyond
// the BMP, of which GBK has none.
uint16_t gbk_of_utf8(const GbkTables& tables, const unsigned char* s, size_t left, size_t* width) {
  uint32_t code = 0;
  const size_t decoded = decode_utf8(s, left, &code);
  *width = decoded == 0 ? 1 : decoded;
  return decoded == 0 || code >= kBmpSize ? '?' : tables.gbk_of[code];
}

// The code point of the GBK character at `s`: a lead byte takes the byte
// after it, whatever that is; one at the very end stands for no character.
uint32_t code_of_gbk(const GbkTables& tables, const unsigned char* s, size_t left) {
  return left > 1 ? tables.code_of[(s[0] - 0x80u) << 8 | s[1]] : kReplacementCharacter;
}

// What `gbk` becomes on its way to UTF-8 and back, in one pass: a byte
// sequence that is no GBK character turns into "?" as it would there.
std::string round_trip_gbk(std::string_view gbk) {
  const GbkTables& tables = gbk_tables();
  return convert_characters(gbk, same_size,
                            [&tables](const unsigned char* s, size_t left, char*& put) -> size_t {
                              put = put_gbk(put, tables.gbk_of[code_of_gbk(tables, s, left)]);
                              return 2;
                            });
}

// ansi_to_utf8(utf8_to_ansi(`text`)) in one pass; each character keeps its
// width or shrinks to one byte.
std::string round_trip_utf8(std::string_view text) {
  const GbkTables& tables = gbk_tables();
  return convert_characters(text, same_size,
                            [&tables](const unsigned char* s, size_t left, char*& put) {
                              size_t width = 0;
                              const uint16_t gbk = gbk_of_utf8(tables, s, left, &width);
                              if (gbk < 0x100) {
                                *put++ = static_cast<char>(gbk);
                              } else {
                                put = put_utf8(put, tables.code_of[gbk - 0x8000u]);
                              }
                              return width;
                            });
}

// White space as the regular-expression engine's \s knows it outside
// Unicode mode.
bool is_pattern_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// `text` without the matches of "\n\s*\r", found left to right as a regular
// expression finds them: a line feed, then the white space after it up to
// the last carriage return in it. No GBK second byte is white space, so a
// byte scan sees what a scan by characters would.
std::string without_blank_line_runs(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t copied = 0;
  size_t at = text.find('\n');
  while (at != std::string_view::npos) {
    size_t end = at + 1;
    size_t last_return = std::string_view::npos;
    for (; end < text.size() && is_pattern_space(text[end]); ++end) {
      if (text[end] == '\r') last_return = end;
    }
    if (last_return == std::string_view::npos) {
      // Every line feed in this run fails the same way.
      at = text.find('\n', end);
      continue;
    }
    out.append(text, copied, at - copied);
    copied = last_return + 1;
    at = text.find('\n', copied);
  }
  out.append(text, copied);
  return out;
}

}  // namespace

std::string utf8_to_ansi(std::string_view text) {
  const GbkTables& tables = gbk_tables();
  return convert_characters(text, same_size,
                            [&tables](const unsigned char* s, size_t left, char*& put) {
                              size_t width = 0;
                              put = put_gbk(put, gbk_of_utf8(tables, s, left, &width));
                              return width;
                            });
}

std::string ansi_to_utf8(std::string_view text) {
  const GbkTables& tables = gbk_tables();
  return convert_characters(text, utf8_of_gbk_size,
                            [&tables](const unsigned char* s, size_t left, char*& put) -> size_t {
                              put = put_utf8(put, code_of_gbk(tables, s, left));
                              return 2;
                            });
}

std::string html_to_text(std::string& text) {
  text = utf8_to_ansi(render_html_text(ansi_to_utf8(text)));
  return text;
}

std::string utf8_html_to_text(std::string_view page) {
  return utf8_to_ansi(render_html_text(round_trip_utf8(page)));
}

std::string strip_blank_lines(std::string& text) {
  text = text_from_bytes(text);
  if (text.starts_with(kLineEnd)) text.erase(0, kLineEnd.size());
  if (text.ends_with(kLineEnd)) text.erase(text.size() - kLineEnd.size());
  return without_blank_line_runs(round_trip_gbk(text));
}
