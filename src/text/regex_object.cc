#include "text/regex_object.h"

#include <algorithm>

#include "platform/code_page.h"
#include "text/conversions.h"
#include "text/text_ops.h"

namespace {

// "#引号" in GBK.
constexpr std::string_view kQuoteEscape = "#\xD2\xFD\xBA\xC5";

}  // namespace

bool RegexObject::execute(std::string_view pattern, std::string_view subject_in,
                          bool case_sensitive, bool multiline, bool global, bool quote_escape) {
  regexp.reset();
  matches.clear();
  walked_utf8 = 0;
  walked_gbk = 0;
  pattern_text = text_from_bytes(pattern);
  if (quote_escape) pattern_text = replace_all(pattern_text, kQuoteEscape, "\"");
  subject_size = subject_in.substr(0, subject_in.find('\0')).size();
  subject = ansi_to_utf8(subject_in);

  auto engine = std::make_shared<RegexEngine>();
  const bool compiled = engine->compile(ansi_to_utf8(pattern_text), !case_sensitive, multiline);
  regexp = std::move(engine);
  if (!compiled) return false;
  matches = regexp->find(subject, global);
  return true;
}

std::string RegexObject::get_pattern() const { return regexp ? pattern_text : std::string(); }

std::string RegexObject::replace(std::string_view replacement) const {
  if (!regexp) return {};
  return utf8_to_ansi(
      regexp->replace(subject, matches, ansi_to_utf8(text_from_bytes(replacement))));
}

std::string RegexObject::match_text(int64_t index, int64_t* position) const {
  if (index < 1 || index > match_count()) {
    if (position != nullptr) *position = -1;
    return {};
  }
  return text_of(matches[static_cast<size_t>(index - 1)].whole, position);
}

std::string RegexObject::submatch_text(int64_t match_index, int64_t group_index,
                                       int64_t* position) const {
  if (match_index >= 1 && match_index <= match_count()) {
    const RegexMatch& match = matches[static_cast<size_t>(match_index - 1)];
    if (group_index >= 1 && group_index <= static_cast<int64_t>(match.groups.size())) {
      const RegexSpan& group = match.groups[static_cast<size_t>(group_index - 1)];
      if (group.matched) return text_of(group, position);
    }
  }
  if (position != nullptr) *position = -1;
  return {};
}

int64_t RegexObject::submatch_count() const {
  return matches.empty() ? 0 : static_cast<int64_t>(matches.front().groups.size());
}

std::string RegexObject::text_of(const RegexSpan& span, int64_t* position) const {
  if (position != nullptr) *position = gbk_offset(span.start);
  return utf8_to_ansi(std::string_view(subject).substr(span.start, span.end - span.start));
}

// Each GBK character of the subject became exactly one UTF-8 character, an
// ASCII one for an ASCII byte and another for a two-byte character, so
// walking the engine's text gives byte offsets in the subject as given,
// however many two-byte characters come first. Only a lead byte at the very
// end stands alone; the clamp keeps that offset inside the subject.
int64_t RegexObject::gbk_offset(size_t utf8_offset) const {
  if (utf8_offset < walked_utf8) {
    walked_utf8 = 0;
    walked_gbk = 0;
  }
  while (walked_utf8 < utf8_offset && walked_utf8 < subject.size()) {
    const unsigned char lead = static_cast<unsigned char>(subject[walked_utf8]);
    walked_utf8 += utf8_char_width(lead);
    walked_gbk += lead < 0x80 ? 1 : 2;
  }
  return static_cast<int64_t>(std::min(walked_gbk, subject_size));
}
