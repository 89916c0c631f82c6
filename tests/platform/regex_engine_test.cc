#include "platform/regex_engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

// The whole matches of `pattern` in `subject`, joined with "|".
std::string matches_of(const std::string& pattern, const std::string& subject,
                       bool ignore_case = true, bool multiline = true, bool global = true) {
  RegexEngine engine;
  if (!engine.compile(pattern, ignore_case, multiline)) return "<invalid>";
  std::string joined;
  const std::vector<RegexMatch> found = engine.find(subject, global);
  for (size_t k = 0; k < found.size(); ++k) {
    if (k > 0) joined += "|";
    joined += subject.substr(found[k].whole.start, found[k].whole.end - found[k].whole.start);
  }
  return joined;
}

TEST(RegexEngine, ScriptStyleSemantics) {
  struct Case {
    const char* name;
    std::string pattern, subject;
    bool ignore_case, multiline, global;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"dot matches CR but not LF", "a.", "a\rb a\nc", true, true, true, "a\r"},
      {"dot takes a whole character", "^.$", "\xE7\xAB\xA0", true, true, true, "\xE7\xAB\xA0"},
      {"ignore case folds letters", "ab", "AB aB", true, true, true, "AB|aB"},
      {"exact case when asked", "ab", "AB ab", false, true, true, "ab"},
      {"multiline anchors at line feeds", "^\\w+$", "one\ntwo", true, true, true, "one|two"},
      {"dollar only at the very end otherwise", "x$", "x\n", true, false, true, ""},
      {"first match only without global", "\\d", "1 2 3", true, true, false, "1"},
      {"\\s is ASCII only", "\\s", "\xC2\xA0 ", true, true, true, " "},
      {"\\d is ASCII only", "\\d+",
       "\xEF\xBC\x91"
       "7",
       true, true, true, "7"},
      {"\\u escape", "\\u7AE0", "\xE7\xAB\xA0", true, true, true, "\xE7\xAB\xA0"},
      {"class with trailing hyphen", "[0-9a-zA-Z_-]+", "ab-9_/x", true, true, true, "ab-9_|x"},
      {"lazy star", "<(.*?)>", "<a><b>", true, true, true, "<a>|<b>"},
      {"empty matches step one character", "x*",
       "\xE7\xAB\xA0"
       "x",
       true, true, true, "|x|"},
      {"blank lines pattern", "\\n\\s*\\r", "a\r\n\r\n \t\r\nb", true, true, true, "\n\r\n \t\r"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(matches_of(c.pattern, c.subject, c.ignore_case, c.multiline, c.global), c.expected)
        << c.name;
  }
}

TEST(RegexEngine, InvalidPatternFindsNothing) {
  for (const std::string pattern : {"(", "a{2,1}", "[z-a]", "\\C", "(?<=a+)b"}) {
    RegexEngine engine;
    EXPECT_FALSE(engine.compile(pattern, true, true)) << pattern;
    EXPECT_TRUE(engine.find("abc", true).empty()) << pattern;
    EXPECT_EQ(engine.group_count(), 0) << pattern;
  }
}

TEST(RegexEngine, GroupsAndUnsetGroups) {
  RegexEngine engine;
  ASSERT_TRUE(engine.compile("(a)|(b)", true, true));
  EXPECT_EQ(engine.group_count(), 2);
  const std::vector<RegexMatch> found = engine.find("xb", true);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_FALSE(found[0].groups[0].matched);
  EXPECT_TRUE(found[0].groups[1].matched);
  EXPECT_EQ(found[0].groups[1].start, 1u);
}

TEST(RegexEngine, ReplaceSubstitutions) {
  struct Case {
    const char* name;
    std::string pattern, subject, replacement, expected;
  };
  const std::vector<Case> cases = {
      {"every match", "o", "foo", "0", "f00"},
      {"groups", "(\\w)(\\d)", "a1 b2", "$2$1", "1a 2b"},
      {"whole match and dollar", "\\d", "a1", "[$&$$]", "a[1$]"},
      {"before and after", "b", "abc", "<$`|$'>", "a<a|c>c"},
      {"unknown group stays literal", "(a)", "a", "$2$0$", "$2$0$"},
      {"two digits only when such a group exists", "(a)", "a", "$10", "a0"},
      {"unset group is empty", "(x)?a", "a", "[$1]", "[]"},
      {"empty pattern matches between characters", "", "ab", "-", "-a-b-"},
  };
  for (const auto& c : cases) {
    RegexEngine engine;
    ASSERT_TRUE(engine.compile(c.pattern, true, true)) << c.name;
    EXPECT_EQ(engine.replace(c.subject, engine.find(c.subject, true), c.replacement), c.expected)
        << c.name;
  }
}

TEST(RegexEngine, CatastrophicPatternGivesUpQuickly) {
  RegexEngine engine;
  ASSERT_TRUE(engine.compile("(a+)+$", true, true));
  const std::string subject = "aa\n" + std::string(40, 'a') + "!\naaa";
  const auto started = std::chrono::steady_clock::now();
  const std::vector<RegexMatch> found = engine.find(subject, true);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
  // The scan ends where the limit struck, keeping the match found before.
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].whole.end, 2u);
}

// The match limit holds at each start position; a pattern that nearly matches
// at every one of them is held by the whole search's time bound instead.
TEST(RegexEngine, SearchNearlyMatchingEverywhereEndsWithWhatItFound) {
  RegexEngine engine;
  ASSERT_TRUE(engine.compile("<b>|(\\d+)*\\d{25}", true, true));
  std::string subject = "a<b>";
  while (subject.size() < 256 * 1024) subject += "123456789012345678 ";
  const auto started = std::chrono::steady_clock::now();
  const std::vector<RegexMatch> found = engine.find(subject, true);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));
  ASSERT_GE(found.size(), 1u);
  EXPECT_EQ(found[0].whole.start, 1u);
  EXPECT_EQ(found[0].whole.end, 4u);
}

TEST(RegexEngine, DeepBacktrackingOnLongSubjectStillMatches) {
  RegexEngine engine;
  ASSERT_TRUE(engine.compile("(a|b)*c", true, true));
  std::string subject;
  for (int k = 0; k < 50000; ++k) subject += "ab";
  subject += "c";
  const std::vector<RegexMatch> found = engine.find(subject, true);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].whole.end - found[0].whole.start, subject.size());
}

TEST(RegexEngine, MalformedSubjectIsNeverMatchedInto) {
  EXPECT_EQ(matches_of(".+",
                       "ab\xFF"
                       "cd"),
            "ab|cd");
}

}  // namespace
