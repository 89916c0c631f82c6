#include "web/cookies.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ExtractCase {
  const char* name;
  std::string headers;
  std::string expected;
};

TEST(ExtractSetCookies, KeepsTheFirstPairOfEachLine) {
  const std::vector<ExtractCase> cases = {
      {"two lines", "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\n\r\n",
       "a=1; b=2"},
      {"no set-cookie line", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n", ""},
      {"empty text", "", ""},
      {"set-cookie2 gives an empty entry", "Set-Cookie2 x; y\r\nSet-Cookie: a=1", "; a=1"},
      {"spaces trimmed", "Set-Cookie:   sid=9  ; HttpOnly", "sid=9"},
      {"value with equals", "Set-Cookie: t=a=b; path=/", "t=a=b"},
      {"without semicolon every marker goes", "Set-Cookie: Set-Cookie:x=1", "x=1"},
      // Only the exact-case name marks a line; the fetchers rewrite the others first.
      {"other case not seen", "set-cookie: a=1", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(extract_set_cookies(c.headers), c.expected) << c.name;
  }
}

struct MergeCase {
  const char* name;
  std::string earlier;
  std::string newer;
  std::string expected;
};

TEST(MergeCookies, NewerValuesWinInTableOrder) {
  const std::vector<MergeCase> cases = {
      // With 11 buckets 'c', 'a' and 'b' land in buckets 0, 9 and 10.
      {"newer replaces, table order", "a=1; b=2", "b=3; c=4", "c=4; a=1; b=3"},
      {"piece without equals ignored", "", "x", ""},
      {"empty value ignored", "a= ", "", ""},
      {"empty name ignored", "=1;b=2", "", "b=2"},
      {"deleted kept", "sid=deleted", "", "sid=deleted"},
      {"spaces inside a value survive", "a= x y ", "", "a=x y"},
      {"both empty", "", "", ""},
      {"control bytes leave their entry out", "a=1\rX: 1; b\t=2; c=3\x7f; e=5", "d=4", "d=4; e=5"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(merge_cookies(c.earlier, c.newer), c.expected) << c.name;
  }
}

struct UpdateCase {
  const char* name;
  std::string jar;
  std::string newer;
  std::string expected_jar;
  std::string expected_newer;
};

TEST(UpdateCookies, RewritesJarAndNewerText) {
  const std::vector<UpdateCase> cases = {
      {"update and append", "a=1; b=2", "b=3; c=4", "a=1;b=3;c=4;", "b=3;c=4"},
      {"deleted leaves the jar", "a=1;b=2;", "b=deleted", "a=1;", "b=deleted"},
      {"empty newer only removes spaces", "a = 1; b=2", "", "a=1;b=2", ""},
      {"repeated newer name updates its first entry", "", "c=1;c=2", "c=2;", "c=1;c=2"},
      {"duplicate in jar: first updated, second kept", "a=1;a=2", "a=3", "a=3;a=2;", "a=3"},
      {"names compare by exact case", "A=1", "a=2", "A=1;a=2;", "a=2"},
      {"entry without value dropped", "a;b=", "c=1", "c=1;", "c=1"},
      {"control bytes leave their entry out", "a=1;b=2\rX:1", "c=3\n;d=\x01", "a=1;",
       "c=3\n;d=\x01"},
      {"full-width spaces removed",
       "a=\xA1\xA1"
       "1",
       "b=2", "a=1;b=2;", "b=2"},
  };
  for (const auto& c : cases) {
    std::string jar = c.jar;
    std::string newer = c.newer;
    std::string copy = update_cookies(jar, newer);
    EXPECT_EQ(jar, c.expected_jar) << c.name;
    EXPECT_EQ(newer, c.expected_newer) << c.name;
    EXPECT_EQ(copy, jar) << c.name;
  }
}

}  // namespace
