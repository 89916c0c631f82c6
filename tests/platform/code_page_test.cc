#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/code_page_test_pieces.h"

namespace {

std::string utf8_to_gbk_through_wide(const std::string& text) {
  return wide_to_multibyte(multibyte_to_wide(text, kCodePageUtf8), kCodePageGbk);
}

std::string gbk_to_utf8_through_wide(const std::string& text) {
  return wide_to_multibyte(multibyte_to_wide(text, kCodePageGbk), kCodePageUtf8);
}

TEST(CodePage, Utf8ToGbk) {
  struct Case {
    const char* name;
    std::string utf8, gbk;
  };
  const std::vector<Case> cases = {
      {"empty", "", ""},
      {"ascii", "<a href=\"x\">", "<a href=\"x\">"},
      {"two-byte characters", "\xE7\xAB\xA0\xE8\x8A\x82", "\xD5\xC2\xBD\xDA"},  // 章节
      {"full-width space", "\xE3\x80\x80", "\xA1\xA1"},
      {"no-break space becomes space",
       "a\xC2\xA0"
       "b",
       "a b"},
      {"outside GBK becomes ?",
       "a\xF0\x9F\x98\x80"
       "b",
       "a?b"},  // U+1F600
      {"euro is no single high byte", "\xE2\x82\xAC", "?"},
      {"stray continuation byte",
       "a\x80"
       "b",
       "a?b"},
      {"truncated sequence keeps what follows",
       "\xE7\xAB"
       "<p>",
       "?"
       "?<p>"},
      {"truncated sequence at the end", "ab\xE7\xAB", "ab??"},
      {"overlong encoding",
       "\xC0\xAF"
       "x",
       "??x"},
      {"encoded surrogate",
       "\xED\xA0\x80"
       "x",
       "???x"},
      {"zero byte ends the text", std::string("ab\0cd", 5), "ab"},
  };
  for (const auto& c : cases) EXPECT_EQ(utf8_to_gbk(c.utf8), c.gbk) << c.name;
}

// The direct conversion must answer what the way through UTF-16 answers, for
// any bytes: pages stitched from well-formed, malformed, truncated and
// unencodable pieces, cut at every length.
TEST(CodePage, Utf8ToGbkMatchesTheWayThroughUtf16) {
  uint32_t seed = 12345;
  for (int round = 0; round < 300; ++round) {
    const std::string page = stitched_text(awkward_utf8_pieces(), seed, 400);
    for (size_t cut : {page.size(), page.size() / 2, page.size() / 3 + 1}) {
      const std::string part = page.substr(0, cut);
      ASSERT_EQ(utf8_to_gbk(part), utf8_to_gbk_through_wide(part)) << "round " << round;
    }
  }
}

TEST(CodePage, GbkToUtf8GivesOneCharacterPerGbkCharacter) {
  struct Case {
    const char* name;
    std::string gbk, utf8;
  };
  const std::vector<Case> cases = {
      {"two-byte characters",
       "\xD5\xC2\xBD\xDA"
       "1",
       "\xE7\xAB\xA0\xE8\x8A\x82"
       "1"},
      {"trail byte in ASCII range", "\x81\x40", "\xE4\xB8\x82"},  // 丂
      {"lead with ASCII trail swallows it",
       "\x81\x0A"
       "x",
       "\xEF\xBF\xBD"
       "x"},
      {"lone 0x80 takes the next byte",
       "\x80"
       "ab",
       "\xEF\xBF\xBD"
       "b"},
      {"lone 0xFF takes the next byte",
       "\xFF"
       "ab",
       "\xEF\xBF\xBD"
       "b"},
      {"lead at the very end", "a\xD5", "a\xEF\xBF\xBD"},
      {"zero byte ends the text", std::string("a\0\xD5\xC2", 4), "a"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(gbk_to_utf8(c.gbk), c.utf8) << c.name;
    EXPECT_EQ(gbk_to_utf8_through_wide(c.gbk), c.utf8) << c.name;
  }
}

TEST(CodePage, WideTextIsZeroTerminatedUtf16) {
  EXPECT_EQ(multibyte_to_wide("A\xE7\xAB\xA0"), std::string("A\0\xE0\x7A\0\0", 6));
  // A lone surrogate cannot be written in either code page.
  const std::string lone_surrogate(
      "\x00\xD8"
      "A\0",
      4);
  EXPECT_EQ(wide_to_multibyte(lone_surrogate, kCodePageGbk), "?A");
  EXPECT_EQ(wide_to_multibyte(lone_surrogate, kCodePageUtf8),
            "\xEF\xBF\xBD"
            "A");
}

TEST(CodePage, LongRunsCrossChunksWhole) {
  std::string utf8, gbk;
  for (int k = 0; k < 1000; ++k) {
    utf8 += "\xE7\xAB\xA0\xF0\x9F\x98\x80";  // 章 and a character outside GBK
    gbk += "\xD5\xC2?";
  }
  EXPECT_TRUE(utf8_to_gbk(utf8) == gbk);
  const std::string long_gbk = std::string(3000, '\xD5') + "x";
  EXPECT_TRUE(utf8_to_gbk(gbk_to_utf8(long_gbk)) == long_gbk);
}

TEST(CodePage, PageFullOfUnencodableTextConvertsQuickly) {
  std::string utf8;
  for (int k = 0; k < 100000; ++k) utf8 += "\xF0\x9F\x98\x80";
  const auto started = std::chrono::steady_clock::now();
  const std::string gbk = utf8_to_gbk(utf8);
  const auto elapsed = std::chrono::steady_clock::now() - started;
  EXPECT_TRUE(gbk == std::string(100000, '?'));
  EXPECT_LT(elapsed, std::chrono::seconds(2));
}

}  // namespace
