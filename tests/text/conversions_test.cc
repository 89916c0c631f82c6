#include "text/conversions.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/code_page_test_pieces.h"
#include "text/regex_object.h"

namespace {

TEST(Utf8ToAnsi, Cases) {
  struct Case {
    const char* name;
    std::string utf8, gbk;
  };
  const std::vector<Case> cases = {
      {"chapter characters", "\xE7\xAB\xA0\xE8\x8A\x82", "\xD5\xC2\xBD\xDA"},
      {"empty", "", ""},
      {"no-break space", "\xC2\xA0\xC2\xA0x", "  x"},
      {"outside GBK", "\xF0\x9F\x98\x80", "?"},
      {"malformed in the middle keeps the rest",
       "a\xFF"
       "b\xE7\xAB\xA0",
       "a?b\xD5\xC2"},
      {"zero byte ends the text", std::string("a\0b", 3), "a"},
  };
  for (const auto& c : cases) EXPECT_EQ(utf8_to_ansi(c.utf8), c.gbk) << c.name;
}

// The conversions answer from tables; the platform converters are the
// reference. Every character on its own, then mixed runs of well-formed,
// malformed, truncated and unencodable pieces cut at odd lengths.
std::string utf8_of(uint32_t code) {
  std::string out;
  if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
  }
  out += static_cast<char>(0x80 | (code & 0x3F));
  return out;
}

// A stitched text, cut short by up to two bytes to end inside a piece.
std::string mixed_pieces(const std::vector<std::string>& pieces, uint32_t& seed) {
  const std::string text = stitched_text(pieces, seed, 600);
  return text.substr(0, text.size() - seed % 3);
}

TEST(Utf8ToAnsi, AgreesWithThePlatformConverter) {
  for (uint32_t code = 0x80; code < 0x10000; ++code) {
    const std::string one = utf8_of(code);
    ASSERT_EQ(utf8_to_ansi(one), utf8_to_gbk(one)) << "U+" << std::hex << code;
  }
  for (uint32_t code : {0x10000u, 0x20000u, 0x2A6D6u, 0x1F600u, 0x10FFFFu}) {
    EXPECT_EQ(utf8_to_ansi(utf8_of(code)), utf8_to_gbk(utf8_of(code))) << std::hex << code;
  }
  uint32_t seed = 2024;
  for (int round = 0; round < 300; ++round) {
    const std::string text = mixed_pieces(awkward_utf8_pieces(), seed);
    ASSERT_EQ(utf8_to_ansi(text), utf8_to_gbk(text)) << "round " << round;
  }
}

TEST(AnsiToUtf8, AgreesWithThePlatformConverter) {
  for (int lead = 0x80; lead <= 0xFF; ++lead) {
    for (int second = 1; second <= 0xFF; ++second) {
      const std::string pair = {static_cast<char>(lead), static_cast<char>(second), 'x'};
      ASSERT_EQ(ansi_to_utf8(pair), gbk_to_utf8(pair)) << std::hex << lead << " " << second;
    }
  }
  const std::vector<std::string> pieces = {
      "a",    "\r\n", "\xD5\xC2", "\xA1\xA1", "\x81\x40",        "\x81",
      "\x80", "\xFF", "\xA2\xE3", "\xFE\xFE", "0123456789abcdef"};
  uint32_t seed = 7;
  for (int round = 0; round < 300; ++round) {
    const std::string text = mixed_pieces(pieces, seed);
    ASSERT_EQ(ansi_to_utf8(text), gbk_to_utf8(text)) << "round " << round;
  }
}

TEST(StripBlankLines, Cases) {
  struct Case {
    const char* name;
    std::string text, cleaned, shortened;
  };
  const std::vector<Case> cases = {
      {"blank lines between two lines", "\r\nOne\r\n\r\nTwo\r\n", "One\r\nTwo", "One\r\n\r\nTwo"},
      {"only one leading CR LF goes", "\r\n\r\nOne", "\r\nOne", "\r\nOne"},
      {"single CR LF", "\r\n", "", ""},
      {"white-space lines", "a\r\n\r\n \t\r\n\xA1\xA1\r\nb", "a\r\n\xA1\xA1\r\nb",
       "a\r\n\r\n \t\r\n\xA1\xA1\r\nb"},
      {"bare line feeds stay", "a\n\nb", "a\n\nb", "a\n\nb"},
      {"two-byte text kept", "\xD5\xC2\r\n\r\n\xBD\xDA", "\xD5\xC2\r\n\xBD\xDA",
       "\xD5\xC2\r\n\r\n\xBD\xDA"},
  };
  for (const auto& c : cases) {
    std::string text = c.text;
    EXPECT_EQ(strip_blank_lines(text), c.cleaned) << c.name;
    EXPECT_EQ(text, c.shortened) << c.name;
  }
}

// The blank-line scan must remove exactly what the pattern "\n\s*\r" matches
// through the regular-expression object, and turn what is no GBK character
// into "?" as the way through it does.
TEST(StripBlankLines, RemovesWhatThePatternMatches) {
  const std::vector<std::string> pieces = {"\r\n",     "\n",   "\r",   " ",        "\t",
                                           "\v",       "\f",   "a",    "\xD5\xC2", "\xA1\xA1",
                                           "\x81\x0A", "\x80", "\xFF", "\xD5"};
  uint32_t seed = 99;
  for (int round = 0; round < 2000; ++round) {
    std::string text = mixed_pieces(pieces, seed).substr(0, 1 + round % 60);
    std::string reference_text = text;
    if (reference_text.starts_with("\r\n")) reference_text.erase(0, 2);
    if (reference_text.ends_with("\r\n")) reference_text.erase(reference_text.size() - 2);
    RegexObject pattern;
    pattern.execute("\\n\\s*\\r", reference_text);
    ASSERT_EQ(strip_blank_lines(text), pattern.replace("")) << "round " << round;
  }
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Each html_cases/NAME.html (UTF-8) renders to html_cases/NAME.txt: the text
// a browser shows, written with LF line ends and one final LF that is not
// part of the text.
TEST(HtmlToText, RendersLikeABrowser) {
  int cases = 0;
  for (const auto& entry : std::filesystem::directory_iterator(NOVEL_HTML_CASES_DIR)) {
    if (entry.path().extension() != ".html") continue;
    ++cases;
    std::filesystem::path expected_path = entry.path();
    expected_path.replace_extension(".txt");
    std::string expected = read_file(expected_path);
    if (!expected.empty() && expected.back() == '\n') expected.pop_back();
    std::string expected_crlf;
    for (const char c : expected) {
      if (c == '\n') expected_crlf += '\r';
      expected_crlf += c;
    }
    std::string page = utf8_to_ansi(read_file(entry.path()));
    const std::string text = html_to_text(page);
    EXPECT_EQ(text, utf8_to_ansi(expected_crlf)) << entry.path().filename();
    EXPECT_EQ(page, text) << "the caller's text is replaced";
    EXPECT_EQ(utf8_html_to_text(read_file(entry.path())), text) << entry.path().filename();
  }
  EXPECT_GT(cases, 0);
}

// The UTF-8 page must render as its GBK text does, whatever it holds that
// GBK lacks or that is no UTF-8 at all.
TEST(HtmlToText, Utf8PageGivesTheTextOfItsGbkPage) {
  const std::vector<std::string> pieces = {"<p>",
                                           "</p>",
                                           "<br>",
                                           "\xE7\xAB\xA0",
                                           "\xC2\xA0",
                                           "&nbsp;",
                                           "\xE2\x82\xAC",
                                           "\xF0\x9F\x98\x80",
                                           "\xFF",
                                           "\xE7\xAB",
                                           " ",
                                           "<pre> a\r\n",
                                           "</pre>",
                                           "<td>",
                                           "\xE3\x80\x80",
                                           std::string("\0", 1)};
  uint32_t seed = 5;
  for (int round = 0; round < 300; ++round) {
    const std::string page = mixed_pieces(pieces, seed);
    std::string gbk_page = utf8_to_ansi(page);
    ASSERT_EQ(utf8_html_to_text(page), html_to_text(gbk_page)) << "round " << round;
  }
}

std::string repeated(const std::string& piece, int times) {
  std::string text;
  for (int k = 0; k < times; ++k) text += piece;
  return text;
}

// The style and script text of the head is dropped before the parse; the
// body must come out as a full parse gives it.
TEST(HtmlToText, HeadTextDroppedUnseen) {
  struct Case {
    const char* name;
    std::string page, text;
  };
  const std::vector<Case> cases = {
      {"plain head",
       "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>t</title>"
       "<style>p{}</style><script>var a = '<p>';</script></head><body>shown",
       "shown"},
      {"end tag in other case", "<head><style>a</STYLE></head><body>shown<style>b</style>c",
       "shownc"},
      {"script that runs past its first end tag",
       "<head><script><!--<script></script>hidden</script></head><body>shown", "shown"},
      {"end tag without a delimiter is text", "<head><style>a</stylex>b</style>shown", "shown"},
      {"style in svg is markup", "<svg><style><p>shown</style>", "shown"},
      {"quoted > in a head tag", "<meta content=\"a>b\"><style>x</style>shown", "shown"},
  };
  for (const auto& c : cases) {
    std::string page = c.page;
    EXPECT_EQ(html_to_text(page), c.text) << c.name;
  }
}

TEST(HtmlToText, HostilePagesEndQuickly) {
  struct Case {
    const char* name;
    std::string page, text;
  };
  const std::string lines = repeated("a\r\n", 3999) + "a";
  const std::vector<Case> cases = {
      {"nesting within reach", repeated("<div>", 2500) + "x", "x"},
      {"nesting beyond reach", repeated("<div>", 100000) + "x", ""},
      {"unclosed formatting tags", repeated("<b><i>", 20000) + "y", ""},
      {"closed blocks do not add up", repeated("<div><span>a</span></div>", 4000), lines},
      {"siblings that close each other", "<ul>" + repeated("<li>a", 4000), lines},
      {"an end tag does not close past a block", repeated("<span><div>", 4000) + "z", ""},
      {"stray end tags under many open elements",
       repeated("<span>", 2900) + repeated("</x>", 500000) + "z", ""},
      {"a row of many cells", "<table><tr>" + repeated("<td>a", 50000) + "</table>",
       repeated("a\t", 49999) + "a"},
      {"tags inside a script are text", "<script>" + repeated("<div>", 5000) + "</SCRIPT>x", "x"},
      {"over the size cap", std::string(5 * 1024 * 1024, 'a'), ""},
  };
  for (const auto& c : cases) {
    std::string page = c.page;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(html_to_text(page) == c.text) << c.name;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3)) << c.name;
  }
}

}  // namespace
