#include "text/text_ops.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Two-byte GBK characters used below. 章 is D5 C2; 0x81 0x41 is a character
// whose trail byte looks like the letter 'A'.
const std::string kZhang = "\xD5\xC2";
const std::string kTrailA = "\x81\x41";
const std::string kFullSpace = "\xA1\xA1";

struct FindCase {
  const char* name;
  std::string text;
  std::string sought;
  int64_t start;
  bool ignore_case;
  int64_t expected;
};

TEST(FindText, Cases) {
  const std::vector<FindCase> cases = {
      {"plain", "hello world", "world", 1, false, 7},
      {"from start position", "abcabc", "abc", 2, false, 4},
      {"start below one means beginning", "abc", "a", -5, false, 1},
      {"start past end", "abc", "a", 4, false, -1},
      {"not found", "abc", "d", 1, false, -1},
      {"case differs", "ABC", "b", 1, false, -1},
      {"ignore case", "ABC", "b", 1, true, 2},
      {"ignore case mixed", "<TITLE>x", "<title>", 1, true, 1},
      {"empty sought in text", "abc", "", 1, false, 1},
      {"empty sought at end", "abc", "", 4, false, -1},
      {"empty sought in empty text", "", "", 1, false, -1},
      {"two-byte character", "a" + kZhang + "b", kZhang + "b", 1, false, 2},
      // 0x41 ('A') is the trail byte of the character: never a match start.
      {"trail byte is not a start", kTrailA + "A", "A", 1, false, 3},
      {"trail byte is not folded", kTrailA + "a", "A", 1, true, 3},
      {"trail byte does not fold inside sought", "\x81\x61", kTrailA, 1, true, -1},
      {"match spanning characters", "x" + kZhang + kZhang, "\xC2\xD5", 1, false, -1},
      {"sought longer than text", "ab", "abc", 1, true, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(find_text(c.text, c.sought, c.start, c.ignore_case), c.expected) << c.name;
  }
}

TEST(TextFromBytes, StopsAtFirstZeroByte) {
  EXPECT_EQ(text_from_bytes(std::string_view("ab\0cd", 5)), "ab");
  EXPECT_EQ(text_from_bytes(std::string_view("abc")), "abc");
  EXPECT_EQ(text_from_bytes(nullptr, 3), "");
}

TEST(TrimSpaces, RemovesAsciiAndFullWidthSpacesOnly) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"  a b  ", "a b"},
      {kFullSpace + " a" + kFullSpace, "a"},
      {"\ta\r\n", "\ta\r\n"},
      {"   ", ""},
      {"", ""},
      // A1 as the trail byte of a character ending the text is not a space.
      {"a\xB0\xA1", "a\xB0\xA1"},
      {"\xB0\xA1\xA1\xA1", "\xB0\xA1"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(trim_spaces(in), out) << in;
}

TEST(RemoveAllSpaces, RemovesEverywhere) {
  EXPECT_EQ(remove_all_spaces(" a b" + kFullSpace + "c\t "), "abc\t");
  EXPECT_EQ(remove_all_spaces("\xB0\xA1\xA1\xA1x"), "\xB0\xA1x");
}

TEST(SplitText, PieceRules) {
  using Pieces = std::vector<std::string>;
  EXPECT_EQ(split_text("a,b,c", ","), (Pieces{"a", "b", "c"}));
  EXPECT_EQ(split_text("a,,b", ","), (Pieces{"a", "", "b"}));
  EXPECT_EQ(split_text("a,b,", ","), (Pieces{"a", "b"}));
  EXPECT_EQ(split_text(",a", ","), (Pieces{"", "a"}));
  EXPECT_EQ(split_text("", ","), Pieces{});
  EXPECT_EQ(split_text("a,b", ""), (Pieces{"a,b"}));
  EXPECT_EQ(split_text("a\r\nb\r\n", "\r\n"), (Pieces{"a", "b"}));
}

TEST(ReplaceAll, EveryOccurrenceExactCase) {
  EXPECT_EQ(replace_all("a#b#c", "#", "--"), "a--b--c");
  EXPECT_EQ(replace_all("aaa", "aa", "b"), "ba");
  EXPECT_EQ(replace_all("Abc abc", "abc", "x"), "Abc x");
  EXPECT_EQ(replace_all("abc", "", "x"), "abc");
  EXPECT_EQ(replace_all(kTrailA + "A", "A", "b"), kTrailA + "b");
}

TEST(AsciiLower, LeavesTwoByteCharactersAlone) {
  EXPECT_EQ(ascii_lower("AbC" + kTrailA + "Z"), "abc" + kTrailA + "z");
}

TEST(ByteCuts, Bounds) {
  EXPECT_EQ(first_bytes("abcdef", 2), "ab");
  EXPECT_EQ(first_bytes("abc", 0), "");
  EXPECT_EQ(first_bytes("abc", -1), "");
  EXPECT_EQ(first_bytes("abc", 10), "abc");
  EXPECT_EQ(last_bytes("abcdef", 2), "ef");
  EXPECT_EQ(last_bytes("abc", 0), "");
  EXPECT_EQ(last_bytes("abc", 10), "abc");
  EXPECT_EQ(bytes_from("abcdef", 2, 3), "bcd");
  EXPECT_EQ(bytes_from("abcdef", 5, 10), "ef");
  EXPECT_EQ(bytes_from("abc", 0, 1), "");
  EXPECT_EQ(bytes_from("abc", 4, 1), "");
  EXPECT_EQ(bytes_from("abc", 1, 0), "");
}

TEST(Numbers, TextAndBack) {
  EXPECT_EQ(number_to_text(0), "0");
  EXPECT_EQ(number_to_text(-42), "-42");
  EXPECT_EQ(text_to_integer("123abc"), 123);
  EXPECT_EQ(text_to_integer("-7"), -7);
  EXPECT_EQ(text_to_integer("abc"), 0);
  EXPECT_EQ(text_to_integer(""), 0);
  EXPECT_EQ(text_to_integer(" 5"), 0);
  EXPECT_EQ(text_to_integer("99999999999999999999"), INT64_MAX);
  EXPECT_EQ(text_to_integer("-99999999999999999999"), INT64_MIN);
}

}  // namespace
