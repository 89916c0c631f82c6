#include "text/markers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kQuoteEscape = "#\xD2\xFD\xBA\xC5";  // "#引号"

TEST(TextBetween, Cases) {
  struct Case {
    const char* name;
    std::string text, left, right;
    int64_t start;
    bool ignore_case;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"title", "x<title>Book</title>y", "<title>", "</title>", 1, false, "Book"},
      {"empty title", "x<title></title>y", "<title>", "</title>", 1, false, ""},
      {"no right marker", "x<title>Book", "<title>", "</title>", 1, false, ""},
      {"no left marker", "Book</title>", "<title>", "</title>", 1, false, ""},
      {"right marker only after left", "</title><title>T</title>", "<title>", "</title>", 1, false,
       "T"},
      {"quote escape", "a=\"v\" b", "a=" + kQuoteEscape, kQuoteEscape, 1, false, "v"},
      {"case kept by default", "<TITLE>T</TITLE>", "<title>", "</title>", 1, false, ""},
      {"ignore case", "<TITLE>T</TITLE>", "<title>", "</title>", 1, true, "T"},
      {"start position", "[a][b]", "[", "]", 2, false, "b"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(text_between(c.text, c.left, c.right, c.start, c.ignore_case), c.expected) << c.name;
  }
}

TEST(CutBetween, Cases) {
  struct Case {
    const char* name;
    std::string text, first, second, expected;
  };
  const std::vector<Case> cases = {
      {"span removed with markers", "X<a>Y</a>Z", "<a>", "</a>", "XZ"},
      {"first marker in other case", "X<DIV>Y</div>Z", "<div>", "</DIV>", "XZ"},
      {"first missing gives empty", "XYZ", "<a>", "</a>", ""},
      {"second missing keeps text", "X<a>YZ", "<a>", "</a>", "X<a>YZ"},
      {"second searched from first's start", "X<ab>Y", "<ab>", "<a", "Xb>Y"},
      {"span at both ends", "<a>Y</a>", "<a>", "</a>", ""},
      {"empty second cuts first alone", "X<a>Y", "<a>", "", "XY"},
      {"empty second never repeats text", std::string("\x80\xff\xff\xd5\xbc", 5), "\xbc", "",
       std::string("\x80\xff\xff\xd5", 4)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(cut_between(c.text, c.first, c.second), c.expected) << c.name;
  }
}

}  // namespace
