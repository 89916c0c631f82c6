// Shared by the code-page tests and the text conversion tests: UTF-8 pieces
// that are well-formed, malformed, truncated or have no GBK, and texts
// stitched from such pieces at random (the same ones for the same seed).
#ifndef NOVEL_TESTS_PLATFORM_CODE_PAGE_TEST_PIECES_H_
#define NOVEL_TESTS_PLATFORM_CODE_PAGE_TEST_PIECES_H_

#include <cstdint>
#include <string>
#include <vector>

inline const std::vector<std::string>& awkward_utf8_pieces() {
  static const std::vector<std::string> pieces = {"a",
                                                  "<p>\r\n",
                                                  "\xE7\xAB\xA0",
                                                  "\xE3\x80\x80",
                                                  "\xC2\xA0",
                                                  "\xE2\x82\xAC",
                                                  "\xF0\x9F\x98\x80",
                                                  "\x80",
                                                  "\xBF",
                                                  "\xE7\xAB",
                                                  "\xC0\xAF",
                                                  "\xED\xA0\x80",
                                                  "\xF4\x90\x80\x80",
                                                  "\xF8\x88\x80\x80\x80",
                                                  "\xFE",
                                                  "\xEF\xBF\xBF",
                                                  "\xC2",
                                                  "\xE2\x82",
                                                  "\xC3\xA9",
                                                  "\xEF\xBF\xBD",
                                                  "0123456789abcdef"};
  return pieces;
}

// Up to `most` pieces, moving `seed` on.
inline std::string stitched_text(const std::vector<std::string>& pieces, uint32_t& seed, int most) {
  const auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 16;
  };
  const int count = 1 + static_cast<int>(next() % static_cast<uint32_t>(most));
  std::string text;
  for (int k = 0; k < count; ++k) text += pieces[next() % pieces.size()];
  return text;
}

#endif  // NOVEL_TESTS_PLATFORM_CODE_PAGE_TEST_PIECES_H_
