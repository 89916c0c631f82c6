#include "web/http_fetch.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/curl_transfer.h"
#include "web/wire_servers.h"

namespace {

using Clock = std::chrono::steady_clock;

class HttpFetch : public ::testing::Test {
 protected:
  void SetUp() override { init_network(); }
};

RawServer page_server(const std::string& body) {
  return RawServer([body](const std::string&) { return http_reply("200 OK", "", body); });
}

std::string default_line(std::string_view name, std::string_view value) {
  return std::string(name) + ": " + std::string(value);
}

TEST_F(HttpFetch, SendsCookieFirstThenHeadersInTheOrderSet) {
  struct Case {
    const char* name;
    std::string cookies;
    std::string headers;
    std::vector<std::string> lines;  // after Host
  };
  const std::string agent = default_line("User-Agent", DEFAULT_AGENT);
  const std::string language = "Accept-Language: zh-cn";
  const std::string type = "Content-Type: application/x-www-form-urlencoded";
  RawServer server = page_server("x");
  const std::string url = server.url("/c/1.html#top");
  const std::string referer = "Referer: " + url;
  const std::vector<Case> cases = {
      {"defaults", "", "", {"Accept: */*", referer, language, agent, type}},
      {"cookie first, value after the first colon",
       "a=1",
       "Accept: text/html\r\nX-A: b: c",
       {"Cookie: a=1", "Accept: text/html", "X-A: b: c", referer, language, agent, type}},
      {"own agent",
       "",
       "User-Agent: Bot/1",
       {"User-Agent: Bot/1", "Accept: */*", referer, language, type}},
      {"one line without CR LF, spaces trimmed",
       "",
       "X-B:   v  ",
       {"X-B: v", "Accept: */*", referer, language, agent, type}},
      {"line without colon dropped",
       "",
       "junk\r\nX-C: 1",
       {"X-C: 1", "Accept: */*", referer, language, agent, type}},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    std::string cookies = cases[i].cookies;
    EXPECT_EQ(http_fetch(url, {.cookies = &cookies, .headers = cases[i].headers}), "x");
    ASSERT_EQ(server.requests().size(), i + 1);
    std::string request = server.requests()[i];
    EXPECT_EQ(request_line(request), "GET /c/1.html HTTP/1.1") << cases[i].name;
    std::vector<std::string> lines = request_header_lines(request);
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines[0].starts_with("Host: ")) << cases[i].name;
    lines.erase(lines.begin());
    EXPECT_EQ(lines, cases[i].lines) << cases[i].name;
  }
}

TEST_F(HttpFetch, ReportsAndUpdatesCookies) {
  struct Case {
    const char* name;
    std::string set_cookie_lines;
    std::string jar;
    std::string expected_jar;
    std::string expected_response_cookies;
  };
  const std::vector<Case> cases = {
      {"lower-case set-cookie", "set-cookie: sid=9; path=/\r\n", "", "sid=9;", "sid=9"},
      {"update and append", "Set-Cookie: b=3\r\nSET-COOKIE: c = 4\r\n", "a=1; b=2", "a=1;b=3;c=4;",
       "b=3;c=4"},
      {"deleted leaves the jar", "Set-Cookie: b=deleted; expires=Thu, 01 Jan 1970\r\n", "a=1;b=2;",
       "a=1;", "b=deleted"},
      {"no cookie", "", "a=1", "a=1", ""},
  };
  for (const Case& c : cases) {
    RawServer server(
        [&](const std::string&) { return http_reply("200 OK", c.set_cookie_lines, "x"); });
    std::string jar = c.jar;
    std::string response_cookies, response_headers;
    int status = 0;
    EXPECT_EQ(http_fetch(server.url("/"), {.cookies = &jar,
                                           .response_cookies = &response_cookies,
                                           .response_headers = &response_headers,
                                           .status = &status}),
              "x");
    EXPECT_EQ(status, 200) << c.name;
    EXPECT_EQ(jar, c.expected_jar) << c.name;
    EXPECT_EQ(response_cookies, c.expected_response_cookies) << c.name;
    EXPECT_EQ(response_headers.find("et-cookie"), std::string::npos) << c.name;
    EXPECT_FALSE(response_headers.starts_with("HTTP/")) << c.name;
  }
  RawServer lower([](const std::string&) {
    return http_reply("200 OK", "set-cookie: sid=9; path=/\r\n", "x");
  });
  std::string response_headers;
  http_fetch(lower.url("/"), {.response_headers = &response_headers});
  EXPECT_NE(response_headers.find("Set-Cookie: sid=9; path=/\r\n"), std::string::npos);
}

// Set-Cookie lines in odd forms, and a header block far larger than a small
// fixed buffer, pass through the jar without breaking the next request: a
// cookie holding a control byte is left out, and the others are still sent.
TEST_F(HttpFetch, OddSetCookieFormsAndALargeHeaderBlock) {
  const std::string big_value(6000, 'v');
  std::string many_lines;
  for (int i = 0; i < 300; ++i) many_lines += "X-Filler-" + std::to_string(i) + ": 0123456789\r\n";
  RawServer server([&](const std::string& request) {
    if (request.starts_with("GET /second")) return http_reply("200 OK", "", "y");
    return http_reply("200 OK",
                      many_lines +
                          "Set-Cookie:\r\nSet-Cookie: ;\r\nSet-Cookie: =v; path=/\r\n"
                          "Set-Cookie: bare\r\nSet-Cookie: q=\"x;y\"; path=/\r\n"
                          "Set-Cookie: cr=1\rX-Injected: 1\r\n"
                          "Set-Cookie: big=" +
                          big_value + "\r\n",
                      "x");
  });
  std::string jar;
  std::string response_cookies, response_headers;
  EXPECT_EQ(http_fetch(server.url("/first"), {.cookies = &jar,
                                              .response_cookies = &response_cookies,
                                              .response_headers = &response_headers}),
            "x");
  EXPECT_NE(response_headers.find("X-Filler-299: 0123456789\r\n"), std::string::npos);
  EXPECT_NE(jar.find("big=" + big_value + ";"), std::string::npos) << jar.substr(0, 80);
  EXPECT_NE(jar.find("q=\"x;"), std::string::npos) << jar.substr(0, 80);
  EXPECT_EQ(http_fetch(server.url("/second"), {.cookies = &jar}), "y");
  const std::vector<std::string> requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  const std::string& second = requests[1];
  const size_t head_end = second.find("\r\n\r\n");
  ASSERT_NE(head_end, std::string::npos);
  for (size_t i = 0; i < head_end; ++i) {
    const char c = second[i];
    const bool line_break = c == '\r' && second[i + 1] == '\n';
    EXPECT_TRUE(line_break || (c != '\r' && c != '\n' && c != '\0') ||
                (i > 0 && second[i - 1] == '\r'))
        << "control byte at " << i;
  }
  EXPECT_EQ(second.find("\r\nX-Injected"), std::string::npos);
  EXPECT_NE(second.find("big=" + big_value), std::string::npos) << second.substr(0, 400);
}

TEST_F(HttpFetch, KeepsNoCookieFromOneCallToTheNext) {
  RawServer server([](const std::string& request) {
    if (request_line(request).starts_with("GET /set")) {
      return http_reply("200 OK", "Set-Cookie: s=1; Path=/\r\n", "set");
    }
    return http_reply("200 OK", "", "echo");
  });
  http_fetch(server.url("/set"));
  http_fetch(server.url("/echo"));
  ASSERT_EQ(server.requests().size(), 2u);
  EXPECT_EQ(server.requests()[1].find("s=1"), std::string::npos);
}

TEST_F(HttpFetch, RedirectsFollowedExceptHttpsToHttpAndWithNoRedirect) {
  TlsServer secure;
  RawServer plain([&](const std::string& request) {
    std::string line = request_line(request);
    if (line.starts_with("GET /moved"))
      return http_reply("302 Found", "Location: /there\r\n", "moved");
    if (line.starts_with("GET /up")) {
      return http_reply("302 Found", "Location: " + secure.url("/up") + "\r\n", "moved");
    }
    if (line.starts_with("GET /ftp")) {
      return http_reply("302 Found", "Location: ftp://127.0.0.1/x\r\n", "moved");
    }
    if (line.starts_with("GET /loop"))
      return http_reply("302 Found", "Location: /loop\r\n", "again");
    return http_reply("200 OK", "", "arrived");
  });
  TlsServer down(plain.url("/down"));
  struct Case {
    std::string url;
    bool no_redirect;
    std::string body;
    int status;
  };
  const std::vector<Case> cases = {
      {plain.url("/moved"), false, "arrived", 200},
      {plain.url("/moved"), true, "moved", 302},
      // Certificate errors are ignored: the test authority is not trusted here.
      {plain.url("/up"), false, "secure /up", 200},
      {plain.url("/ftp"), false, "moved", 302},
      {plain.url("/loop"), false, "", 0},
      {down.url("/redirect"), false, "", 302},
  };
  for (const Case& c : cases) {
    int status = -1;
    EXPECT_EQ(http_fetch(c.url, {.status = &status, .no_redirect = c.no_redirect}), c.body)
        << c.url;
    EXPECT_EQ(status, c.status) << c.url;
  }
  for (const std::string& request : plain.requests()) {
    EXPECT_FALSE(request_line(request).starts_with("GET /down")) << "followed https to http";
  }
}

TEST_F(HttpFetch, IgnoresCertificateErrors) {
  TlsServer secure;
  int status = 0;
  EXPECT_EQ(http_fetch(secure.url("/p"), {.status = &status}), "secure /p");
  EXPECT_EQ(status, 200);
}

TEST_F(HttpFetch, ReceiveTimeOutBoundsTheWaitForDataNotTheTransfer) {
  RawServer stalls([](const std::string&) {
    return RawReply{{{"", 8000}, {"HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nx", 0}}};
  });
  Clock::time_point start = Clock::now();
  int status = -1;
  EXPECT_EQ(http_fetch(stalls.url("/"), {.status = &status, .timeout = 1}), "");
  EXPECT_EQ(status, 0);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(6000));

  // Eight pieces 250 ms apart: 2.25 s in all, but never 1 s without data.
  RawReply trickle;
  trickle.pieces.push_back({"HTTP/1.1 200 OK\r\nContent-Length: 8\r\n\r\n", 250});
  for (int i = 0; i < 8; ++i) trickle.pieces.push_back({std::to_string(i), 250});
  RawServer slow([&](const std::string&) { return trickle; });
  EXPECT_EQ(http_fetch(slow.url("/"), {.timeout = 1}), "01234567");
}

TEST_F(HttpFetch, TimeOutMinusOneKeepsTheRequestObjectsOwn) {
  RawServer stalls([](const std::string&) {
    return RawReply{{{"", 8000}, {"HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nx", 0}}};
  });
  std::unique_ptr<HttpRequest> request = HttpRequest::create();
  request->set_timeouts(500, 500, 500, 500);
  Clock::time_point start = Clock::now();
  EXPECT_EQ(http_fetch(stalls.url("/"), {.timeout = -1, .request_object = request.get()}), "");
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(6000));
}

// Threads share the DNS and TLS session caches, never their connections.
TEST_F(HttpFetch, ManyThreadsFetchAtOnce) {
  TlsServer secure;
  RawServer plain(
      [](const std::string& request) { return http_reply("200 OK", "", request_line(request)); });
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 12; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 6; ++i) {
        std::string path = "/" + std::to_string(t) + "/" + std::to_string(i);
        if (http_fetch(secure.url(path)) != "secure " + path) wrong.fetch_add(1);
        if (http_fetch(plain.url(path)) != "GET " + path + " HTTP/1.1") wrong.fetch_add(1);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST_F(HttpFetch, FailedExchangesGiveNothing) {
  RawServer reset([](const std::string&) {
    return RawReply{{{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n0123", 100}}, true};
  });
  RawServer short_body([](const std::string&) {
    return RawReply{{{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n0123456789", 0}}};
  });
  RawServer huge_length([](const std::string&) {
    return RawReply{{{"HTTP/1.1 200 OK\r\nContent-Length: 67108865\r\n\r\n0123", 0}}};
  });
  for (const RawServer* server : {&reset, &short_body, &huge_length}) {
    int status = -1;
    std::string headers = "untouched";
    EXPECT_EQ(http_fetch(server->url("/"), {.response_headers = &headers, .status = &status}), "");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(headers, "");
  }
}

TEST_F(HttpFetch, BodyOverTheCapGivesNothing) {
  // No length announced: the cap has to catch the bytes as they arrive.
  std::string head = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n";
  std::string chunk(size_t{1} << 20, 'a');
  RawReply over;
  over.pieces.push_back({head, 0});
  for (int i = 0; i < 64; ++i) over.pieces.push_back({chunk, 0});
  over.pieces.push_back({"b", 0});
  RawServer server([&](const std::string&) { return over; });
  EXPECT_EQ(http_fetch(server.url("/")), "");
}

TEST_F(HttpFetch, RefusesAddressesItMustNotFetch) {
  RawServer server = page_server("page");
  std::string base = "127.0.0.1:" + std::to_string(server.port());
  for (const std::string& address :
       {std::string("file:///etc/passwd"), "ftp://" + base + "/x",
        "http://" + base + "/a\r\nX-Injected: 1", "http://" + base + "/a b", std::string()}) {
    int status = -1;
    EXPECT_EQ(http_fetch(address, {.status = &status}), "") << address;
    EXPECT_EQ(status, 0) << address;
  }
  EXPECT_TRUE(server.requests().empty());
}

TEST_F(HttpFetch, MethodsAndBodies) {
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
      {0, "", "", "GET / HTTP/1.1", ""},
      {3, "", "", "GET / HTTP/1.1", ""},
  };
  for (const Case& c : cases) {
    RawServer server = page_server("ok");
    EXPECT_EQ(
        http_fetch(server.url("/"),
                   {.method = c.method, .post_text = c.post_text, .post_bytes = c.post_bytes}),
        "ok");
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(request_line(server.requests()[0]), c.request_line) << c.method;
    EXPECT_EQ(request_body(server.requests()[0]), c.sent_body) << c.method;
  }

  RawServer head_server([](const std::string&) {
    return RawReply{{{"HTTP/1.1 200 OK\r\nContent-Length: 4\r\nConnection: close\r\n\r\n", 0}}};
  });
  std::string headers;
  int status = 0;
  EXPECT_EQ(http_fetch(head_server.url("/"),
                       {.method = 2, .response_headers = &headers, .status = &status}),
            "");
  EXPECT_EQ(request_line(head_server.requests().at(0)), "HEAD / HTTP/1.1");
  EXPECT_EQ(status, 200);
  EXPECT_NE(headers.find("Content-Length: 4\r\n"), std::string::npos);
}

TEST_F(HttpFetch, ConnectsDirectlyUnlessGivenAProxy) {
  RawServer target = page_server("direct");
  RawServer proxy = page_server("via proxy");
  std::string proxy_address = "127.0.0.1:" + std::to_string(proxy.port());
  setenv("http_proxy", ("http://" + proxy_address).c_str(), 1);
  EXPECT_EQ(http_fetch(target.url("/x")), "direct");
  EXPECT_TRUE(proxy.requests().empty());
  unsetenv("http_proxy");

  EXPECT_EQ(http_fetch(target.url("/x"),
                       {.proxy = proxy_address, .proxy_user = "u", .proxy_password = "p"}),
            "via proxy");
  ASSERT_EQ(proxy.requests().size(), 1u);
  EXPECT_EQ(request_line(proxy.requests()[0]), "GET " + target.url("/x") + " HTTP/1.1");
  EXPECT_NE(proxy.requests()[0].find("Proxy-Authorization: Basic dTpw\r\n"), std::string::npos);
}

}  // namespace
