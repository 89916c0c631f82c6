#include "platform/regex_engine.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <chrono>

#include "platform/code_page.h"

namespace {

// Bounds on one search call. The match limit stops exponential backtracking
// such as (a+)+$ after a few milliseconds, far beyond what a pattern over a
// catalogue page needs; depth and heap bound the interpreter's memory.
constexpr uint32_t kMatchLimit = 2'000'000;
constexpr uint32_t kDepthLimit = 200'000;
constexpr uint32_t kHeapLimitKib = 64 * 1024;
// PCRE2 applies the match limit at each start position anew, so a pattern
// that nearly matches everywhere can still cost seconds per kilobyte. A
// search therefore asks for matches starting within a window of this many
// bytes at a time and looks at its clock between windows: it gives up, like
// a limit, after a base time plus a time per MiB of subject, far beyond what
// any pattern needs that finds the links of a catalogue.
constexpr size_t kStartWindowBytes = 256;
constexpr auto kSearchTimeBase = std::chrono::seconds(2);
constexpr auto kSearchTimePerMib = std::chrono::seconds(1);
// The JIT's default 32 KiB stack fails on patterns such as (a|b)*c over a long
// subject; such a search falls back to the interpreter when even this fails.
constexpr size_t kJitStackStart = 32 * 1024;
constexpr size_t kJitStackMax = 4 * 1024 * 1024;

// The calling thread's match context and JIT stack, made on first use.
class SearchWorkspace {
 public:
  SearchWorkspace() {
    context_ = pcre2_match_context_create(nullptr);
    if (context_ == nullptr) return;
    pcre2_set_match_limit(context_, kMatchLimit);
    pcre2_set_depth_limit(context_, kDepthLimit);
    pcre2_set_heap_limit(context_, kHeapLimitKib);
    jit_stack_ = pcre2_jit_stack_create(kJitStackStart, kJitStackMax, nullptr);
    if (jit_stack_ != nullptr) pcre2_jit_stack_assign(context_, nullptr, jit_stack_);
  }
  ~SearchWorkspace() {
    pcre2_jit_stack_free(jit_stack_);
    pcre2_match_context_free(context_);
  }
  SearchWorkspace(const SearchWorkspace&) = delete;
  SearchWorkspace& operator=(const SearchWorkspace&) = delete;

  pcre2_match_context* context() const { return context_; }

 private:
  pcre2_match_context* context_ = nullptr;
  pcre2_jit_stack* jit_stack_ = nullptr;
};

pcre2_match_context* thread_match_context() {
  thread_local SearchWorkspace workspace;
  return workspace.context();
}

std::chrono::steady_clock::time_point search_deadline(size_t subject_size) {
  const auto mib = static_cast<int64_t>(subject_size >> 20);
  return std::chrono::steady_clock::now() + kSearchTimeBase + mib * kSearchTimePerMib;
}

// The first character boundary at or after `offset`: a window never starts
// inside a character.
size_t character_start(std::string_view subject, size_t offset) {
  while (offset < subject.size() && (static_cast<unsigned char>(subject[offset]) & 0xC0) == 0x80) {
    ++offset;
  }
  return offset;
}

void append_span(std::string& out, std::string_view subject, const RegexSpan& span) {
  if (span.matched) out.append(subject.substr(span.start, span.end - span.start));
}

void append_group(std::string& out, std::string_view subject, const RegexMatch& match, int group) {
  if (group >= 1 && static_cast<size_t>(group) <= match.groups.size()) {
    append_span(out, subject, match.groups[static_cast<size_t>(group) - 1]);
  }
}

}  // namespace

struct RegexEngine::Code {
  pcre2_code* code = nullptr;
  ~Code() { pcre2_code_free(code); }
};

RegexEngine::RegexEngine() = default;
RegexEngine::~RegexEngine() = default;

bool RegexEngine::compile(std::string_view pattern, bool ignore_case, bool multiline) {
  code_.reset();
  group_count_ = 0;
  pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
  if (context == nullptr) return false;
  pcre2_set_newline(context, PCRE2_NEWLINE_LF);
  uint32_t options = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_ALT_BSUX |
                     PCRE2_NEVER_BACKSLASH_C | PCRE2_USE_OFFSET_LIMIT;
  if (ignore_case) options |= PCRE2_CASELESS;
  options |= multiline ? PCRE2_MULTILINE : PCRE2_DOLLAR_ENDONLY;
  int error = 0;
  PCRE2_SIZE error_offset = 0;
  pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                   options, &error, &error_offset, context);
  pcre2_compile_context_free(context);
  if (code == nullptr) return false;

  auto compiled = std::make_unique<Code>();
  compiled->code = code;
  // Without the JIT (unsupported machine, no memory) pcre2_match interprets.
  pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
  uint32_t captures = 0;
  pcre2_pattern_info(code, PCRE2_INFO_CAPTURECOUNT, &captures);
  group_count_ = static_cast<int>(captures);
  code_ = std::move(compiled);
  return true;
}

std::vector<RegexMatch> RegexEngine::find(std::string_view subject, bool global) const {
  std::vector<RegexMatch> matches;
  pcre2_match_context* context = thread_match_context();
  if (!code_ || context == nullptr) return matches;
  pcre2_match_data* data = pcre2_match_data_create_from_pattern(code_->code, nullptr);
  if (data == nullptr) return matches;

  const auto* bytes = reinterpret_cast<PCRE2_SPTR>(subject.data());
  const auto deadline = search_deadline(subject.size());
  size_t offset = 0;
  uint32_t options = 0;  // PCRE2_NOTEMPTY_ATSTART | PCRE2_ANCHORED after an empty match
  while (offset <= subject.size()) {
    if (std::chrono::steady_clock::now() > deadline) break;
    const size_t window_end = offset + kStartWindowBytes;
    pcre2_set_offset_limit(context, window_end);
    int rc = pcre2_match(code_->code, bytes, subject.size(), offset, options, data, context);
    if (rc == PCRE2_ERROR_JIT_STACKLIMIT) {
      rc = pcre2_match(code_->code, bytes, subject.size(), offset, options | PCRE2_NO_JIT, data,
                       context);
    }
    if (rc == PCRE2_ERROR_NOMATCH && options != 0) {
      // No non-empty match where the empty one was: move one character on.
      offset += offset < subject.size()
                    ? utf8_char_width(static_cast<unsigned char>(subject[offset]))
                    : 1;
      options = 0;
      continue;
    }
    if (rc == PCRE2_ERROR_NOMATCH && window_end < subject.size()) {
      offset = character_start(subject, window_end + 1);
      continue;
    }
    if (rc < 0) break;  // no further match, or a limit was hit

    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data);
    if (ovector[0] > ovector[1]) break;  // \K in a lookaround; nothing sane to report
    RegexMatch match;
    match.whole = {ovector[0], ovector[1], true};
    match.groups.resize(static_cast<size_t>(group_count_));
    const int sets = rc == 0 ? static_cast<int>(pcre2_get_ovector_count(data)) : rc;
    for (int k = 1; k < sets && k <= group_count_; ++k) {
      if (ovector[2 * k] != PCRE2_UNSET)
        match.groups[k - 1] = {ovector[2 * k], ovector[2 * k + 1], true};
    }
    matches.push_back(std::move(match));
    if (!global) break;
    offset = ovector[1];
    options = ovector[0] == ovector[1] ? PCRE2_NOTEMPTY_ATSTART | PCRE2_ANCHORED : 0;
  }
  pcre2_match_data_free(data);
  return matches;
}

std::string RegexEngine::replace(std::string_view subject, const std::vector<RegexMatch>& matches,
                                 std::string_view replacement) const {
  std::string out;
  out.reserve(subject.size());
  size_t copied = 0;
  for (const RegexMatch& match : matches) {
    out.append(subject.substr(copied, match.whole.start - copied));
    for (size_t at = 0; at < replacement.size(); ++at) {
      const char c = replacement[at];
      const char next = at + 1 < replacement.size() ? replacement[at + 1] : '\0';
      if (c != '$' || next == '\0') {
        out.push_back(c);
      } else if (next == '$') {
        out.push_back('$');
        ++at;
      } else if (next == '&') {
        append_span(out, subject, match.whole);
        ++at;
      } else if (next == '`') {
        out.append(subject.substr(0, match.whole.start));
        ++at;
      } else if (next == '\'') {
        out.append(subject.substr(match.whole.end));
        ++at;
      } else if (next >= '0' && next <= '9') {
        // Two digits when they name a group, else one digit when it does.
        const char after = at + 2 < replacement.size() ? replacement[at + 2] : '\0';
        const int one = next - '0';
        const int two = (after >= '0' && after <= '9') ? one * 10 + (after - '0') : 0;
        if (two >= 1 && two <= group_count_) {
          append_group(out, subject, match, two);
          at += 2;
        } else if (one >= 1 && one <= group_count_) {
          append_group(out, subject, match, one);
          ++at;
        } else {
          out.push_back(c);
        }
      } else {
        out.push_back(c);
      }
    }
    copied = match.whole.end;
  }
  out.append(subject.substr(copied));
  return out;
}
