// RegexObject: the program's pattern matcher over GBK text.
//
// Catalogue matching runs the user's chapter-link pattern over a catalogue
// page, the collection driver runs the filter pattern over the matched links,
// and strip_blank_lines removes blank lines with it. Each run (execute) keeps
// its matches and its subject, which the reads and replace then work on.
//
// Matching works on characters, not bytes: pattern and subject go to the
// engine as UTF-8 and match texts come back as GBK, so "." never splits a
// two-byte character and an ignored letter case never folds a trail byte.
// Pattern syntax is script style: "." is any character but a line feed,
// \s \d \w are ASCII classes, \uXXXX names a character. A search that runs
// into the engine's backtracking bound ends with the matches found so far.
//
// An object belongs to one thread at a time. Copies are independent.
#ifndef NOVEL_TEXT_REGEX_OBJECT_H_
#define NOVEL_TEXT_REGEX_OBJECT_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/regex_engine.h"

class RegexObject {
 public:
  // Runs `pattern` over `subject`, dropping the previous run. IgnoreCase is
  // !case_sensitive; with `multiline` ^ and $ work at every line feed; with
  // `global` every match is found, else only the first. With `quote_escape`
  // each "#引号" in the pattern stands for a double quote. False, with no
  // matches, when the pattern is not valid.
  bool execute(std::string_view pattern, std::string_view subject, bool case_sensitive = false,
               bool multiline = true, bool global = true, bool quote_escape = false);

  // The pattern of the last execute, after the quote escape; empty before any.
  std::string get_pattern() const;

  // The subject of the last execute with each of its matches replaced by
  // `replacement`, in which $1..$99, $&, $`, $' and $$ stand for a group, the
  // match, the text before and after it, and a dollar sign. Empty before any
  // execute, the subject unchanged when the pattern was not valid.
  std::string replace(std::string_view replacement) const;

  int64_t match_count() const { return static_cast<int64_t>(matches.size()); }

  // The text of match `index` (from 1); empty when there is no such match.
  // When `position` is given it receives the match's byte offset (from 0) in
  // the subject, or -1 when there is no such match.
  std::string match_text(int64_t index, int64_t* position = nullptr) const;

  // The text of group `group_index` (from 1) of match `match_index` (from 1);
  // empty when either is missing or the group took no part in the match, and
  // then `position` receives -1.
  std::string submatch_text(int64_t match_index, int64_t group_index,
                            int64_t* position = nullptr) const;

  // Groups of the first match; 0 when there is no match.
  int64_t submatch_count() const;

 private:
  std::string text_of(const RegexSpan& span, int64_t* position) const;
  int64_t gbk_offset(size_t utf8_offset) const;

  std::shared_ptr<const RegexEngine> regexp;
  std::vector<RegexMatch> matches;
  std::string subject;  // the last subject in UTF-8, the form the engine searched
  std::string pattern_text;
  size_t subject_size = 0;  // bytes of the last subject as given
  // Where gbk_offset stopped walking, so that rising offsets cost one walk.
  mutable size_t walked_utf8 = 0;
  mutable size_t walked_gbk = 0;
};

#endif  // NOVEL_TEXT_REGEX_OBJECT_H_
