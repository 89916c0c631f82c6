// A regular-expression engine over PCRE2, working on UTF-8 text.
//
// The stand-in must provide what RegexObject needs from a script-style
// regular-expression component: compile a pattern with case folding and
// multi-line anchors as options, find the first or every match with the
// spans of its groups, and replace matches with $-substitutions. The syntax
// and meaning follow script engines where PCRE2 differs: "." is any character
// but a line feed, ^ and $ work at line feeds in multi-line mode and only at
// the very end otherwise, \s \d \w are ASCII classes, \uXXXX names a
// character.
//
// Every search is bounded: a pathological pattern such as (a+)+$ gives up
// within milliseconds at one place, a whole search within 2 s plus 1 s per
// MiB of subject, and the search then ends with the matches found so far. Subjects may hold
// malformed UTF-8, which no match ever covers.
//
// A compiled engine is immutable; it may be shared between threads for
// searching. Each thread keeps its own search workspace.
#ifndef NOVEL_PLATFORM_REGEX_ENGINE_H_
#define NOVEL_PLATFORM_REGEX_ENGINE_H_

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Byte span [start, end) in the subject; `matched` is false for a group that
// took no part in the match.
struct RegexSpan {
  size_t start = 0;
  size_t end = 0;
  bool matched = false;
};

struct RegexMatch {
  RegexSpan whole;
  std::vector<RegexSpan> groups;  // groups[k] is group k + 1
};

class RegexEngine {
 public:
  RegexEngine();
  ~RegexEngine();
  RegexEngine(const RegexEngine&) = delete;
  RegexEngine& operator=(const RegexEngine&) = delete;

  // Compiles a UTF-8 pattern; false when it is not a valid pattern, after
  // which find() finds nothing.
  bool compile(std::string_view pattern, bool ignore_case, bool multiline);

  // The first match, or every match when `global`, in order. After an empty
  // match the search goes on one character later.
  std::vector<RegexMatch> find(std::string_view subject, bool global) const;

  // `subject` with each of `matches` (as find() gave them for it) replaced by
  // `replacement`, in which $1..$99, $&, $`, $' and $$ stand for a group, the
  // match, the text before it, the text after it and a dollar sign. Any other
  // dollar stays as it is; a group that took no part gives the empty text.
  std::string replace(std::string_view subject, const std::vector<RegexMatch>& matches,
                      std::string_view replacement) const;

  // Capturing groups in the compiled pattern; 0 before a successful compile.
  int group_count() const { return group_count_; }

 private:
  struct Code;
  std::unique_ptr<Code> code_;
  int group_count_ = 0;
};

#endif  // NOVEL_PLATFORM_REGEX_ENGINE_H_
