#include "text/regex_object.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// GBK texts used below.
const std::string kChapter = "\xD5\xC2";               // 章, lead D5 trail C2
const std::string kTrailA = "\xB0\x41";                // 癆: its trail byte is the letter A
const std::string kTrailBrace = "\x95\x7B";            // 晎: its trail byte is "{"
const std::string kQuoteEscape = "#\xD2\xFD\xBA\xC5";  // "#引号"

// Every match of `pattern` in `subject`, joined with "|".
std::string all_matches(RegexObject& regex) {
  std::string joined;
  for (int64_t i = 1; i <= regex.match_count(); ++i) {
    if (i > 1) joined += "|";
    joined += regex.match_text(i);
  }
  return joined;
}

TEST(RegexObject, MatchesCharactersNotBytes) {
  struct Case {
    const char* name;
    std::string pattern, subject, expected;
  };
  const std::vector<Case> cases = {
      {"ignored case never folds a trail byte", "a", kTrailA + "a", "a"},
      {"a trail byte is no pattern syntax", kTrailBrace + "+", kTrailBrace + kTrailBrace,
       kTrailBrace + kTrailBrace},
      {"dot takes a whole two-byte character", "^.", kChapter + "x", kChapter},
      {"class of two-byte characters", "[" + kChapter + "]+", "a" + kChapter + kChapter + "b",
       kChapter + kChapter},
      {"default chapter-link pattern", "<a href=\"//read.mozhou.example/chapter/(.*?)/",
       "<A HREF=\"//read.mozhou.example/chapter/1/2\">" + kChapter +
           "</a><a href=\"//read.mozhou.example/chapter/7/8\">",
       "<A HREF=\"//read.mozhou.example/chapter/1/|<a href=\"//read.mozhou.example/chapter/7/"},
  };
  for (const auto& c : cases) {
    RegexObject regex;
    EXPECT_TRUE(regex.execute(c.pattern, c.subject)) << c.name;
    EXPECT_EQ(all_matches(regex), c.expected) << c.name;
  }
}

TEST(RegexObject, Options) {
  RegexObject regex;
  regex.execute("^ab", "AB\nab");
  EXPECT_EQ(all_matches(regex), "AB|ab") << "defaults: ignore case, multiline, global";
  regex.execute("^ab", "AB\nab", /*case_sensitive=*/true);
  EXPECT_EQ(all_matches(regex), "ab");
  regex.execute("^ab", "AB\nab", false, /*multiline=*/false);
  EXPECT_EQ(all_matches(regex), "AB");
  regex.execute("b", "abab", false, true, /*global=*/false);
  EXPECT_EQ(all_matches(regex), "b");
}

TEST(RegexObject, QuoteEscape) {
  const std::string pattern = "href=" + kQuoteEscape + "(\\w+)";
  RegexObject regex;
  regex.execute(pattern, "href=\"x\"", false, true, true, /*quote_escape=*/true);
  EXPECT_EQ(regex.match_text(1), "href=\"x");
  EXPECT_EQ(regex.get_pattern(), "href=\"(\\w+)");
  regex.execute(pattern, "href=\"x\"");
  EXPECT_EQ(regex.match_count(), 0);
  EXPECT_EQ(regex.get_pattern(), pattern);
}

TEST(RegexObject, InvalidPatternGivesNoMatches) {
  RegexObject regex;
  ASSERT_TRUE(regex.execute("a", "a"));
  EXPECT_FALSE(regex.execute("(a", "a"));
  EXPECT_EQ(regex.match_count(), 0);
  EXPECT_EQ(regex.submatch_count(), 0);
  EXPECT_EQ(regex.match_text(1), "");
  EXPECT_EQ(regex.replace("x"), "a") << "nothing to replace";
}

TEST(RegexObject, BeforeAnyExecute) {
  RegexObject regex;
  EXPECT_EQ(regex.get_pattern(), "");
  EXPECT_EQ(regex.match_count(), 0);
  EXPECT_EQ(regex.replace("x"), "");
  int64_t position = 5;
  EXPECT_EQ(regex.match_text(1, &position), "");
  EXPECT_EQ(position, -1);
}

TEST(RegexObject, PositionsAreByteOffsetsOfTheGivenSubject) {
  // Character offsets and byte offsets part after the two-byte characters;
  // the second "ab" must not be placed at the first one.
  const std::string subject = kChapter + kChapter + kChapter + "ab ab" + kTrailA + "(c)";
  RegexObject regex;
  regex.execute("ab|\\((c)\\)", subject);
  ASSERT_EQ(regex.match_count(), 3);
  int64_t position = -2;
  EXPECT_EQ(regex.match_text(2, &position), "ab");
  EXPECT_EQ(position, 9);
  EXPECT_EQ(regex.match_text(1, &position), "ab");
  EXPECT_EQ(position, 6);
  EXPECT_EQ(regex.submatch_text(3, 1, &position), "c");
  EXPECT_EQ(position, 14);
  EXPECT_EQ(regex.submatch_text(1, 1, &position), "") << "group took no part";
  EXPECT_EQ(position, -1);
  EXPECT_EQ(regex.submatch_count(), 1);
}

TEST(RegexObject, ReplaceWorksOnTheLastRun) {
  RegexObject regex;
  regex.execute("(\\d+)" + kChapter, "1" + kChapter + " 22" + kChapter);
  EXPECT_EQ(regex.replace("<$1>"), "<1> <22>");
  regex.execute("x", "axb");
  EXPECT_EQ(regex.replace(kChapter), "a" + kChapter + "b");
}

TEST(RegexObject, SecondExecuteDropsTheFirst) {
  RegexObject regex;
  regex.execute("(a)(b)", "ab ab");
  regex.execute("c", "c");
  EXPECT_EQ(regex.match_count(), 1);
  EXPECT_EQ(regex.submatch_count(), 0);
  EXPECT_EQ(regex.match_text(2), "");
}

}  // namespace
