#include "web/request_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "web/inet_fetch.h"

namespace {

TEST(MethodVerb, NumbersOutsideZeroToTwoMeanGet) {
  EXPECT_STREQ(method_verb(0), "GET");
  EXPECT_STREQ(method_verb(1), "POST");
  EXPECT_STREQ(method_verb(2), "HEAD");
  EXPECT_STREQ(method_verb(3), "GET");
  EXPECT_STREQ(method_verb(7), "GET");
  EXPECT_STREQ(method_verb(-1), "GET");
}

struct HeaderCase {
  const char* name;
  std::string headers;
  bool with_agent;
  std::string expected;
};

TEST(CompleteHeaderText, AppendsOnlyTheMissingDefaultsInOrder) {
  const std::string url = "http://h/p#x";
  const std::string referer = "\r\nReferer: " + url;
  const std::string language = "\r\nAccept-Language: zh-cn";
  const std::string agent = std::string("\r\nUser-Agent: ") + DEFAULT_AGENT;
  const std::string type = "\r\nContent-Type: application/x-www-form-urlencoded";
  const std::vector<HeaderCase> cases = {
      {"empty, no agent", "", false, "Accept: */*" + referer + language + type},
      {"empty, agent", "", true, "Accept: */*" + referer + language + agent + type},
      {"own accept kept", "Accept: text/html", false,
       "Accept: text/html" + referer + language + type},
      {"accept added after other lines", "X-A: b: c", true,
       "X-A: b: c\r\nAccept: */*" + referer + language + agent + type},
      {"own agent: no default agent", "User-Agent: Bot/1", true,
       "User-Agent: Bot/1\r\nAccept: */*" + referer + language + type},
      {"search is exact case", "referer: r", false,
       "referer: r\r\nAccept: */*" + referer + language + type},
      {"everything given", "Accept: a\r\nReferer: r\r\nAccept-Language: l\r\nContent-Type: t", true,
       "Accept: a\r\nReferer: r\r\nAccept-Language: l\r\nContent-Type: t" + agent},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(complete_header_text(c.headers, url, c.with_agent), c.expected) << c.name;
  }
}

TEST(NormaliseSetCookie, RewritesEveryLetterCase) {
  EXPECT_EQ(normalise_set_cookie("set-cookie: a=1\r\nSET-COOKIE: b=2\r\nX: set-Cookie"),
            "Set-Cookie: a=1\r\nSet-Cookie: b=2\r\nX: Set-Cookie");
  EXPECT_EQ(normalise_set_cookie("Content-Type: x"), "Content-Type: x");
}

struct SplitCase {
  std::string url;
  std::string scheme, host, port, path;
};

TEST(SplitUrl, Cases) {
  const std::vector<SplitCase> cases = {
      {"https://book.mozhou.example/info/1012919215#Catalog", "https://", "book.mozhou.example",
       "443", "/info/1012919215"},
      {"http://host:8080/a/b#x", "http://", "host", "8080", "/a/b"},
      {"HTTPS://Host/p?q=1", "https://", "Host", "443", "/p?q=1"},
      {"host:81", "http://", "host", "81", "/"},
      {"http://host/a:b", "http://", "host", "80", "/a:b"},
      {"http://host", "http://", "host", "80", "/"},
      {"Http://host:9", "http://", "host", "9", "/"},
      // Other schemes read as a host and an empty port: nothing can connect.
      {"file:///etc/passwd", "http://", "file", "", "///etc/passwd"},
      {"ftp://h/x", "http://", "ftp", "", "//h/x"},
  };
  for (const auto& c : cases) {
    std::string scheme, host, port, path;
    ASSERT_TRUE(split_url(c.url, &scheme, &host, &port, &path)) << c.url;
    EXPECT_EQ(scheme, c.scheme) << c.url;
    EXPECT_EQ(host, c.host) << c.url;
    EXPECT_EQ(port, c.port) << c.url;
    EXPECT_EQ(path, c.path) << c.url;
  }
}

TEST(SplitUrl, EmptyAddressWritesNothing) {
  std::string host = "kept";
  EXPECT_FALSE(split_url("", nullptr, &host, nullptr, nullptr));
  EXPECT_EQ(host, "kept");
}

}  // namespace
