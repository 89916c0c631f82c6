#include "web/inet_fetch.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <strings.h>

#include <string>
#include <vector>

#include "platform/curl_transfer.h"
#include "platform/internet_session.h"
#include "web/wire_servers.h"

namespace {

class InetFetch : public ::testing::Test {
 protected:
  void SetUp() override {
    init_network();
    set_internet_ca_file("");
  }
  void TearDown() override { set_internet_ca_file(""); }
};

// Lines of the request that start with `name` (ASCII letter case ignored).
std::vector<std::string> lines_named(const std::string& request, const std::string& name) {
  std::vector<std::string> found;
  for (const std::string& line : request_header_lines(request)) {
    if (strncasecmp(line.c_str(), name.c_str(), name.size()) == 0) found.push_back(line);
  }
  return found;
}

RawServer page_server(const std::string& body) {
  return RawServer([body](const std::string&) { return http_reply("200 OK", "", body); });
}

TEST_F(InetFetch, SendsTheDefaultLinesInOrder) {
  RawServer server = page_server("page");
  std::string url = server.url("/info/1?x=1#Catalog");
  EXPECT_EQ(inet_fetch(url), "page");
  ASSERT_EQ(server.requests().size(), 1u);
  std::string request = server.requests()[0];
  EXPECT_EQ(request_line(request), "GET /info/1?x=1 HTTP/1.1");
  std::vector<std::string> expected = {
      "Host: 127.0.0.1:" + std::to_string(server.port()),
      std::string("User-Agent: ") + DEFAULT_AGENT,
      "Accept: */*",
      "Referer: " + url,
      "Accept-Language: zh-cn",
      "Content-Type: application/x-www-form-urlencoded",
  };
  EXPECT_EQ(request_header_lines(request), expected);
}

TEST_F(InetFetch, AgentComesFromAUserAgentLineInAnyCase) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"User-Agent: Bot/1", "User-Agent: Bot/1"},
      {"user-agent: Bot/2", "user-agent: Bot/2"},
      {"Accept: text/html\r\nUser-Agent: Bot/3", "User-Agent: Bot/3"},
  };
  // An empty agent is still a fetch.
  RawServer agentless = page_server("x");
  EXPECT_EQ(inet_fetch(agentless.url("/"), {.headers = "User-Agent:"}), "x");
  for (const auto& [headers, expected] : cases) {
    RawServer server = page_server("x");
    EXPECT_EQ(inet_fetch(server.url("/"), {.headers = headers}), "x") << headers;
    ASSERT_EQ(server.requests().size(), 1u) << headers;
    EXPECT_EQ(lines_named(server.requests()[0], "User-Agent:"), std::vector{expected}) << headers;
  }
}

TEST_F(InetFetch, SuppliedCookiesAreSentAndMergedWithTheResponses) {
  struct Case {
    std::string cookies;
    bool auto_merge;
    std::vector<std::string> sent;
    std::string response_cookies;
  };
  const std::vector<Case> cases = {
      {"a=1", true, {"Cookie: a=1"}, "a=9; b=2"},
      // The merge takes "Cookie: a" for a name of its own.
      {"Cookie: a=1", true, {"Cookie: a=1"}, "Cookie: a=1; a=9; b=2"},
      {"", true, {}, "a=9; b=2"},
      {"a=1", false, {"Cookie: a=1"}, "b=2; a=9"},
  };
  for (const Case& c : cases) {
    RawServer server([](const std::string&) {
      return http_reply("200 OK", "set-cookie: b=2; path=/\r\nSET-COOKIE: a=9\r\n", "x");
    });
    std::string response_cookies, response_headers;
    inet_fetch(server.url("/"), {.cookies = c.cookies,
                                 .response_cookies = &response_cookies,
                                 .response_headers = &response_headers,
                                 .auto_merge = c.auto_merge});
    ASSERT_EQ(server.requests().size(), 1u) << c.cookies;
    EXPECT_EQ(lines_named(server.requests()[0], "Cookie:"), c.sent) << c.cookies;
    EXPECT_EQ(response_cookies, c.response_cookies) << c.cookies;
    EXPECT_NE(response_headers.find("\r\nSet-Cookie: b=2; path=/\r\nSet-Cookie: a=9\r\n"),
              std::string::npos);
  }
}

TEST_F(InetFetch, CookieStoreKeepsCookiesUnlessCookiesAreSupplied) {
  RawServer server([](const std::string& request) {
    if (request_line(request).starts_with("GET /store/set")) {
      return http_reply("200 OK", "Set-Cookie: kept=1; Path=/store\r\n", "set");
    }
    if (request_line(request).starts_with("GET /other/set")) {
      return http_reply("200 OK", "Set-Cookie: never=1; Path=/other\r\n", "set");
    }
    return http_reply("200 OK", "", "echo");
  });
  inet_fetch(server.url("/store/set"));
  inet_fetch(server.url("/store/echo"));
  inet_fetch(server.url("/store/echo"), {.cookies = ""});
  inet_fetch(server.url("/other/set"), {.cookies = ""});
  inet_fetch(server.url("/other/echo"));
  std::vector<std::string> requests = server.requests();
  ASSERT_EQ(requests.size(), 5u);
  EXPECT_EQ(lines_named(requests[1], "Cookie:"), std::vector<std::string>{"Cookie: kept=1"});
  EXPECT_TRUE(lines_named(requests[2], "Cookie:").empty());
  EXPECT_TRUE(lines_named(requests[4], "Cookie:").empty());
}

TEST_F(InetFetch, RawHeadersOf5000BytesOrMoreGiveSpacesButTheBodyArrives) {
  // The buffer needs room for the zero byte after the head.
  for (size_t head_size : {4999u, 5000u, 9000u}) {
    std::string fixed =
        "HTTP/1.1 200 OK\r\nX-Pad: \r\nSet-Cookie: s=1\r\nContent-Length: 4\r\n"
        "Connection: close\r\n\r\n";
    std::string pad(head_size - fixed.size(), 'p');
    RawServer server([pad](const std::string&) {
      return http_reply("200 OK", "X-Pad: " + pad + "\r\nSet-Cookie: s=1\r\n", "body");
    });
    std::string response_headers, response_cookies;
    EXPECT_EQ(inet_fetch(server.url("/"), {.cookies = "",
                                           .response_cookies = &response_cookies,
                                           .response_headers = &response_headers,
                                           .auto_merge = false}),
              "body");
    if (head_size < 5000) {
      EXPECT_EQ(response_headers.size(), head_size);
      EXPECT_EQ(response_cookies, "s=1");
    } else {
      EXPECT_EQ(response_headers, std::string(5000, ' ')) << head_size;
      EXPECT_EQ(response_cookies, "") << head_size;
    }
  }
}

TEST_F(InetFetch, BodiesComeWholeAndInOrder) {
  std::string big;
  for (int i = 0; i < 20000; ++i) big += std::to_string(i) + ",";
  for (const std::string& body : {big, std::string("\0\x01\xff", 3), std::string()}) {
    RawServer server = page_server(body);
    EXPECT_EQ(inet_fetch(server.url("/")), body);
  }
}

TEST_F(InetFetch, FollowsRedirectsUnlessTold) {
  RawServer server([](const std::string& request) {
    std::string line = request_line(request);
    if (line.starts_with("GET /moved"))
      return http_reply("302 Found", "Location: /there\r\n", "moved");
    if (line.starts_with("GET /to-file")) {
      return http_reply("302 Found", "Location: file:///etc/passwd\r\n", "moved");
    }
    if (line.starts_with("GET /loop"))
      return http_reply("302 Found", "Location: /loop\r\n", "again");
    return http_reply("200 OK", "", "arrived");
  });
  EXPECT_EQ(inet_fetch(server.url("/moved")), "arrived");
  std::string headers;
  EXPECT_EQ(inet_fetch(server.url("/moved"), {.response_headers = &headers, .no_redirect = true}),
            "moved");
  EXPECT_TRUE(headers.starts_with("HTTP/1.1 302 Found\r\n")) << headers;
  EXPECT_EQ(inet_fetch(server.url("/to-file")), "moved");
  EXPECT_EQ(inet_fetch(server.url("/loop")), "");
}

TEST_F(InetFetch, FollowsARedirectFromHttpToHttps) {
  TlsServer secure;
  RawServer plain([&](const std::string&) {
    return http_reply("301 Moved Permanently", "Location: " + secure.url("/book") + "\r\n", "");
  });
  set_internet_ca_file(test_data_path("ca.pem"));
  EXPECT_EQ(inet_fetch(plain.url("/book")), "secure /book");
}

TEST_F(InetFetch, DoesNotFollowARedirectFromHttpsToHttp) {
  RawServer plain = page_server("plain");
  TlsServer secure(plain.url("/down"));
  set_internet_ca_file(test_data_path("ca.pem"));
  std::string headers;
  inet_fetch(secure.url("/redirect"), {.response_headers = &headers});
  EXPECT_TRUE(headers.starts_with("HTTP/1.1 302")) << headers;
  EXPECT_TRUE(plain.requests().empty());
}

TEST_F(InetFetch, VerifiesCertificates) {
  TlsServer secure;
  EXPECT_EQ(inet_fetch(secure.url("/p")), "");
  set_internet_ca_file(test_data_path("ca.pem"));
  EXPECT_EQ(inet_fetch(secure.url("/p")), "secure /p");
}

TEST_F(InetFetch, RefusesAddressesItMustNotFetch) {
  RawServer server = page_server("page");
  std::string base = "127.0.0.1:" + std::to_string(server.port());
  const std::vector<std::string> addresses = {
      "",
      "file:///etc/passwd",
      "ftp://" + base + "/x",
      "gopher://" + base + "/x",
      "dict://" + base + "/d:word",
      "http://" + base + "/a\r\nX-Injected: 1",
      "http://" + base + "/a#\r\nX-Injected: 1",
      "http://" + base + "/a b",
      "http://" + base + "/a\tb",
  };
  for (const std::string& address : addresses) {
    std::string headers = "untouched";
    EXPECT_EQ(inet_fetch(address, {.response_headers = &headers}), "") << address;
    EXPECT_EQ(headers, "untouched") << address;
  }
  EXPECT_TRUE(server.requests().empty());
}

TEST_F(InetFetch, ABrokenConnectionGivesWhatArrived) {
  RawServer reset([](const std::string&) { return RawReply{{}, true}; });
  std::string headers;
  EXPECT_EQ(inet_fetch(reset.url("/"), {.response_headers = &headers}), "");
  EXPECT_EQ(headers, std::string(5000, ' '));

  RawServer short_body([](const std::string&) {
    return RawReply{{{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n0123456789", 0}}, false};
  });
  EXPECT_EQ(inet_fetch(short_body.url("/")), "0123456789");
}

TEST_F(InetFetch, MethodsAndBodies) {
  struct Case {
    int method;
    std::string post_text;
    std::string post_bytes;
    std::string request_line;
    std::string sent_body;
  };
  const std::vector<Case> cases = {
      {1, "x=1", "", "POST / HTTP/1.1", "x=1"},
      {1, "x=1", std::string("b\0y", 3), "POST / HTTP/1.1", std::string("b\0y", 3)},
      {1, "", "", "POST / HTTP/1.1", ""},
      {0, "x=1", "", "GET / HTTP/1.1", ""},
      {7, "", "", "GET / HTTP/1.1", ""},
      {-1, "", "", "GET / HTTP/1.1", ""},
  };
  for (const Case& c : cases) {
    RawServer server = page_server("ok");
    EXPECT_EQ(
        inet_fetch(server.url("/"),
                   {.method = c.method, .post_text = c.post_text, .post_bytes = c.post_bytes}),
        "ok");
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(request_line(server.requests()[0]), c.request_line) << c.method;
    EXPECT_EQ(request_body(server.requests()[0]), c.sent_body) << c.method;
  }
}

TEST_F(InetFetch, HeadGivesHeadersWithoutBody) {
  RawServer server([](const std::string&) {
    return RawReply{{{"HTTP/1.1 200 OK\r\nContent-Length: 4\r\nConnection: close\r\n\r\n", 0}}};
  });
  std::string headers;
  EXPECT_EQ(inet_fetch(server.url("/"), {.method = 2, .response_headers = &headers}), "");
  EXPECT_EQ(request_line(server.requests().at(0)), "HEAD / HTTP/1.1");
  EXPECT_NE(headers.find("Content-Length: 4\r\n"), std::string::npos);
}

TEST_F(InetFetch, ConnectsDirectlyUnlessGivenAProxy) {
  RawServer target = page_server("direct");
  RawServer proxy = page_server("via proxy");
  std::string proxy_address = "127.0.0.1:" + std::to_string(proxy.port());
  setenv("http_proxy", ("http://" + proxy_address).c_str(), 1);
  setenv("ALL_PROXY", ("http://" + proxy_address).c_str(), 1);
  EXPECT_EQ(inet_fetch(target.url("/x")), "direct");
  EXPECT_TRUE(proxy.requests().empty());
  unsetenv("http_proxy");
  unsetenv("ALL_PROXY");

  EXPECT_EQ(inet_fetch(target.url("/x"), {.proxy = proxy_address}), "via proxy");
  ASSERT_EQ(proxy.requests().size(), 1u);
  EXPECT_EQ(request_line(proxy.requests()[0]), "GET " + target.url("/x") + " HTTP/1.1");
}

}  // namespace
