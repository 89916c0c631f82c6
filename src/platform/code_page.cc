#include "platform/code_page.h"

#include <errno.h>
#include <iconv.h>

#include <cstdint>
#include <cstring>

namespace {

// iconv gets at most this many bytes at once. After an error glibc converts
// its whole pending input again, so small pieces keep a page full of
// unconvertible characters from costing quadratic time.
constexpr size_t kChunk = 256;

constexpr uint16_t kReplacementCharacter = 0xFFFD;
constexpr uint16_t kNoBreakSpace = 0x00A0;
// iconv writes the euro sign as the single byte 0x80, which the program would
// take for the lead of a two-byte character.
constexpr uint16_t kEuroSign = 0x20AC;
constexpr std::string_view kUtf8Replacement = "\xEF\xBF\xBD";

enum Charset { kUtf8 = 0, kGbk = 1, kUtf16 = 2, kCharsetCount = 3 };

const char* charset_name(Charset charset) {
  switch (charset) {
    case kUtf8:
      return "UTF-8";
    case kGbk:
      return "GBK";
    default:
      return "UTF-16LE";
  }
}

// The calling thread's iconv descriptors, opened on first use and closed when
// the thread ends.
class Converters {
 public:
  Converters() {
    for (auto& row : descriptors_) {
      for (auto& cd : row) cd = kClosed;
    }
  }
  ~Converters() {
    for (auto& row : descriptors_) {
      for (auto& cd : row) {
        if (cd != kClosed) iconv_close(cd);
      }
    }
  }
  Converters(const Converters&) = delete;
  Converters& operator=(const Converters&) = delete;

  // kClosed when iconv lacks the pair; every character then counts as an error.
  iconv_t get(Charset from, Charset to) {
    iconv_t& cd = descriptors_[from][to];
    if (cd == kClosed) cd = iconv_open(charset_name(to), charset_name(from));
    return cd;
  }

  static inline const iconv_t kClosed = reinterpret_cast<iconv_t>(-1);

 private:
  iconv_t descriptors_[kCharsetCount][kCharsetCount];
};

iconv_t converter(Charset from, Charset to) {
  thread_local Converters converters;
  return converters.get(from, to);
}

void append_unit(std::string& out, uint16_t unit) {
  out.push_back(static_cast<char>(unit & 0xFF));
  out.push_back(static_cast<char>(unit >> 8));
}

uint16_t unit_at(std::string_view wide, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(wide[at]) |
                               (static_cast<unsigned char>(wide[at + 1]) << 8));
}

bool is_high_surrogate(uint16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low_surrogate(uint16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// End of the run of ASCII bytes that starts at `begin`, eight at a time
// where it can.
size_t ascii_run_end(std::string_view text, size_t begin) {
  size_t end = begin;
  for (uint64_t word; end + 8 <= text.size(); end += 8) {
    std::memcpy(&word, text.data() + end, 8);
    if ((word & 0x8080808080808080ull) != 0) break;
  }
  while (end < text.size() && static_cast<unsigned char>(text[end]) < 0x80) ++end;
  return end;
}

// End of the run of UTF-16LE code units 1..0x7F that starts at `begin`, four
// at a time where it can.
size_t wide_ascii_run_end(std::string_view wide, size_t begin) {
  size_t end = begin;
  for (uint64_t word; end + 8 <= wide.size(); end += 8) {
    std::memcpy(&word, wide.data() + end, 8);
    const bool high_bits = (word & 0xFF80FF80FF80FF80ull) != 0;
    const bool zero_unit = ((word - 0x0001000100010001ull) & ~word & 0x8000800080008000ull) != 0;
    if (high_bits || zero_unit) break;
  }
  while (end + 1 < wide.size() && wide[end + 1] == 0 &&
         static_cast<unsigned char>(wide[end]) - 1u < 0x7Fu) {
    end += 2;
  }
  return end;
}

// Converts `piece` with `cd`, appending to `out`. At each place iconv cannot
// convert, `on_error(rest, out)` appends a substitute and returns how many
// bytes of `rest` (never 0) to step over.
template <typename OnError>
void convert_piece(iconv_t cd, std::string_view piece, std::string& out, OnError on_error) {
  char buffer[kChunk * 4 + 16];
  char* in = const_cast<char*>(piece.data());
  size_t in_left = piece.size();
  while (in_left > 0) {
    char* put = buffer;
    size_t put_left = sizeof buffer;
    const size_t result = cd == Converters::kClosed ? static_cast<size_t>(-1)
                                                    : iconv(cd, &in, &in_left, &put, &put_left);
    out.append(buffer, static_cast<size_t>(put - buffer));
    if (result != static_cast<size_t>(-1)) break;
    if (cd != Converters::kClosed && errno == E2BIG) continue;
    size_t skip = on_error(std::string_view(in, in_left), out);
    if (skip > in_left) skip = in_left;
    in += skip;
    in_left -= skip;
    if (cd != Converters::kClosed) iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
}

// End of the run of GBK two-byte characters that starts at `begin`, at most
// kChunk bytes. Leads 0x80 and 0xFF start no GBK character; the run stops
// before them so that the caller replaces them itself.
size_t gbk_run_end(std::string_view text, size_t begin) {
  size_t end = begin;
  while (end < text.size() && end - begin < kChunk) {
    const unsigned char lead = static_cast<unsigned char>(text[end]);
    if (lead < 0x81 || lead == 0xFF) break;
    end = end + 2 < text.size() ? end + 2 : text.size();
  }
  return end;
}

// End of the run of non-ASCII UTF-8 bytes that starts at `begin`: about
// kChunk bytes, never ending inside a sequence.
size_t utf8_run_end(std::string_view text, size_t begin) {
  size_t end = begin;
  while (end < text.size() && static_cast<unsigned char>(text[end]) >= 0x80 &&
         end - begin < kChunk) {
    ++end;
  }
  for (int k = 0; k < 3 && end < text.size(); ++k) {
    if ((static_cast<unsigned char>(text[end]) & 0xC0) != 0x80) break;
    ++end;
  }
  return end;
}

// End of the run of UTF-16 code units that iconv should see, starting at
// `begin`: at most kChunk units, none of them ASCII, the no-break space or
// (for GBK) the euro sign, and no surrogate pair split.
size_t wide_run_end(std::string_view wide, size_t begin, bool to_gbk) {
  size_t end = begin;
  while (end + 1 < wide.size() && end - begin < kChunk * 2) {
    const uint16_t unit = unit_at(wide, end);
    if (unit < 0x80 || (to_gbk && (unit == kNoBreakSpace || unit == kEuroSign))) break;
    end += 2;
  }
  if (end > begin && end + 1 < wide.size() && is_high_surrogate(unit_at(wide, end - 2))) end += 2;
  return end;
}

// Width of the well-formed UTF-8 character that starts `rest`, read as
// iconv reads UTF-8 (no overlong forms, no surrogates, nothing past
// U+10FFFF); 0 when `rest` starts with no such character.
size_t utf8_sequence_width(std::string_view rest) {
  static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (rest.empty()) return 0;
  const unsigned char lead = static_cast<unsigned char>(rest[0]);
  if (lead < 0x80) return 1;
  if (lead < 0xC2 || lead > 0xF4) return 0;
  const size_t width = utf8_char_width(lead);
  if (rest.size() < width) return 0;
  uint32_t code = lead & (0x7Fu >> width);
  for (size_t k = 1; k < width; ++k) {
    const unsigned char next = static_cast<unsigned char>(rest[k]);
    if ((next & 0xC0) != 0x80) return 0;
    code = (code << 6) | (next & 0x3Fu);
  }
  if (code < kSmallest[width] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return width;
}

// What GBK text gets for the UTF-8 characters iconv must not see: the
// no-break space (iconv has no GBK for it) and the euro sign (iconv writes a
// lone 0x80). Answers the substitute and sets `*width`, or answers 0.
char gbk_substitute_at(std::string_view rest, size_t* width) {
  if (rest.starts_with("\xC2\xA0")) {
    *width = 2;
    return ' ';
  }
  if (rest.starts_with("\xE2\x82\xAC")) {
    *width = 3;
    return '?';
  }
  return 0;
}

// utf8_run_end for a GBK target: the run also stops before a no-break space
// or a euro sign.
size_t utf8_run_end_for_gbk(std::string_view text, size_t begin) {
  const size_t end = utf8_run_end(text, begin);
  size_t width = 0;
  for (size_t at = begin; at < end; ++at) {
    const unsigned char byte = static_cast<unsigned char>(text[at]);
    if ((byte == 0xC2 || byte == 0xE2) && gbk_substitute_at(text.substr(at), &width) != 0) {
      return at;
    }
  }
  return end;
}

// Converts multibyte `text` (GBK or UTF-8, up to its first zero byte) into
// `target`, appending to `out`: runs of ASCII through `put_ascii(run)`,
// everything else through iconv in pieces, with `put_replacement()` for each
// sequence that is no character.
template <typename PutAscii, typename PutReplacement>
void decode_multibyte(std::string_view text, bool from_gbk, Charset target, std::string& out,
                      PutAscii put_ascii, PutReplacement put_replacement) {
  const size_t zero = text.find('\0');
  if (zero != std::string_view::npos) text = text.substr(0, zero);
  const iconv_t cd = converter(from_gbk ? kGbk : kUtf8, target);
  const auto replace = [from_gbk, &put_replacement](std::string_view, std::string&) -> size_t {
    put_replacement();
    return from_gbk ? 2 : 1;
  };
  size_t at = 0;
  while (at < text.size()) {
    const size_t ascii_end = ascii_run_end(text, at);
    if (ascii_end > at) {
      put_ascii(text.substr(at, ascii_end - at));
      at = ascii_end;
      continue;
    }
    const size_t end = from_gbk ? gbk_run_end(text, at) : utf8_run_end(text, at);
    if (end == at) {  // a lone 0x80 or 0xFF lead in GBK
      put_replacement();
      at = at + 2 < text.size() ? at + 2 : text.size();
      continue;
    }
    convert_piece(cd, text.substr(at, end - at), out, replace);
    at = end;
  }
}

}  // namespace

std::string multibyte_to_wide(std::string_view text, int code_page) {
  std::string wide;
  wide.reserve(text.size() * 2 + 2);
  const auto widen_ascii = [&wide](std::string_view ascii) {
    const size_t old_size = wide.size();
    wide.resize(old_size + 2 * ascii.size());  // leaves every high byte zero
    char* put = wide.data() + old_size;
    for (const char c : ascii) {
      *put = c;
      put += 2;
    }
  };
  const auto replace = [&wide] { append_unit(wide, kReplacementCharacter); };
  decode_multibyte(text, code_page == kCodePageGbk, kUtf16, wide, widen_ascii, replace);
  append_unit(wide, 0);
  return wide;
}

std::string gbk_to_utf8(std::string_view text) {
  std::string utf8;
  utf8.reserve(text.size() + text.size() / 2);
  const auto copy_ascii = [&utf8](std::string_view ascii) { utf8.append(ascii); };
  const auto replace = [&utf8] { utf8.append(kUtf8Replacement); };
  decode_multibyte(text, true, kUtf8, utf8, copy_ascii, replace);
  return utf8;
}

std::string utf8_to_gbk(std::string_view text) {
  const size_t zero = text.find('\0');
  if (zero != std::string_view::npos) text = text.substr(0, zero);
  const iconv_t cd = converter(kUtf8, kGbk);
  // A malformed byte is one "?" (U+FFFD has no GBK), a whole character GBK
  // lacks is one "?" too.
  const auto substitute = [](std::string_view rest, std::string& out) -> size_t {
    out.push_back('?');
    const size_t width = utf8_sequence_width(rest);
    return width == 0 ? 1 : width;
  };
  std::string gbk;
  gbk.reserve(text.size());
  size_t at = 0;
  while (at < text.size()) {
    const size_t ascii_end = ascii_run_end(text, at);
    if (ascii_end > at) {
      gbk.append(text.substr(at, ascii_end - at));
      at = ascii_end;
      continue;
    }
    const size_t end = utf8_run_end_for_gbk(text, at);
    if (end == at) {
      size_t width = 1;
      gbk.push_back(gbk_substitute_at(text.substr(at), &width));
      at += width;
      continue;
    }
    convert_piece(cd, text.substr(at, end - at), gbk, substitute);
    at = end;
  }
  return gbk;
}

std::string wide_to_multibyte(std::string_view wide, int code_page) {
  const bool to_gbk = code_page != kCodePageUtf8;
  const iconv_t cd = converter(kUtf16, to_gbk ? kGbk : kUtf8);
  const auto substitute = [to_gbk](std::string_view rest, std::string& out) -> size_t {
    const uint16_t unit = rest.size() >= 2 ? unit_at(rest, 0) : kReplacementCharacter;
    const bool pair =
        is_high_surrogate(unit) && rest.size() >= 4 && is_low_surrogate(unit_at(rest, 2));
    const bool lone_surrogate = !pair && (is_high_surrogate(unit) || is_low_surrogate(unit));
    if (!to_gbk) {
      out += kUtf8Replacement;
    } else {
      out.push_back(unit == kNoBreakSpace && !lone_surrogate ? ' ' : '?');
    }
    return pair ? 4 : 2;
  };

  std::string text;
  text.reserve(wide.size());
  size_t at = 0;
  while (at + 1 < wide.size()) {
    const size_t ascii_end = wide_ascii_run_end(wide, at);
    if (ascii_end > at) {  // narrow a run of ASCII in bulk
      const size_t old_size = text.size();
      text.resize(old_size + (ascii_end - at) / 2);
      char* put = text.data() + old_size;
      for (size_t k = at; k < ascii_end; k += 2) *put++ = wide[k];
      at = ascii_end;
      continue;
    }
    const uint16_t unit = unit_at(wide, at);
    if (unit == 0) break;
    const size_t end = wide_run_end(wide, at, to_gbk);
    if (end == at) {  // no-break space or euro sign on the way to GBK
      substitute(wide.substr(at, 2), text);
      at += 2;
      continue;
    }
    convert_piece(cd, wide.substr(at, end - at), text, substitute);
    at = end;
  }
  return text;
}
