#include "demo_site/http_wire.h"

#include <gtest/gtest.h>

namespace {

struct HeadCase {
  const char* name;
  std::string bytes;
  HeadStatus status;
  bool keep_alive;
};

TEST(ParseRequestHead, ReadsTheHeadOrSaysWhyNot) {
  const std::vector<HeadCase> cases = {
      {"keep-alive by default", "GET /a HTTP/1.1\r\nHost: h:1\r\n\r\n", HeadStatus::kComplete,
       true},
      {"asked to close", "GET /a HTTP/1.1\r\nconnection: Close\r\n\r\n", HeadStatus::kComplete,
       false},
      {"old version closes", "GET /a HTTP/1.0\r\n\r\n", HeadStatus::kComplete, false},
      {"old version kept alive", "GET /a HTTP/1.0\r\nConnection: keep-alive\r\n\r\n",
       HeadStatus::kComplete, true},
      {"not finished", "GET /a HTTP/1.1\r\nHost: h", HeadStatus::kIncomplete, true},
      {"no target", "GET  HTTP/1.1\r\n\r\n", HeadStatus::kBad, true},
      {"unknown version", "GET /a HTTP/2\r\n\r\n", HeadStatus::kBad, true},
      {"header without colon", "GET /a HTTP/1.1\r\nbroken\r\n\r\n", HeadStatus::kBad, true},
      {"chunked body", "POST /a HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", HeadStatus::kBad,
       true},
      {"bad length", "POST /a HTTP/1.1\r\nContent-Length: 1x\r\n\r\n", HeadStatus::kBad, true},
      {"endless head", "GET /a HTTP/1.1\r\nX: " + std::string(kMaxRequestHead, 'x'),
       HeadStatus::kTooLarge, true},
  };
  for (const HeadCase& c : cases) {
    RequestHead head;
    const HeadStatus status = parse_request_head(c.bytes, &head);
    EXPECT_EQ(status, c.status) << c.name;
    if (status == HeadStatus::kComplete) {
      EXPECT_EQ(head.keep_alive, c.keep_alive) << c.name;
    }
  }
}

TEST(ParseRequestHead, SeparatesPipelinedRequests) {
  const std::string bytes =
      "POST /form?x=1 HTTP/1.1\r\nHost:  127.0.0.1:80 \r\nContent-Length: 3\r\n\r\nabcGET /b "
      "HTTP/1.1\r\n\r\n";
  RequestHead head;
  ASSERT_EQ(parse_request_head(bytes, &head), HeadStatus::kComplete);
  EXPECT_EQ(head.request.method, "POST");
  EXPECT_EQ(head.request.target, "/form?x=1");
  EXPECT_EQ(head.request.host, "127.0.0.1:80");
  EXPECT_EQ(head.body_size, 3u);
  EXPECT_EQ(bytes.substr(head.head_size + head.body_size, 6), "GET /b");
}

TEST(FormatReply, CountsTheBodyAndOmitsItForHead) {
  ServedReply reply;
  reply.body = "墨舟";
  reply.headers.push_back({"Retry-After", "2"});
  const std::string full = format_reply(reply, true, false);
  EXPECT_TRUE(full.starts_with("HTTP/1.1 200 OK\r\n"));
  EXPECT_NE(full.find("Content-Length: 6\r\n"), std::string::npos);
  EXPECT_NE(full.find("Connection: keep-alive\r\n"), std::string::npos);
  EXPECT_NE(full.find("Retry-After: 2\r\n"), std::string::npos);
  EXPECT_TRUE(full.ends_with("\r\n\r\n墨舟"));
  const std::string head_only = format_reply(reply, false, true);
  EXPECT_NE(head_only.find("Content-Length: 6\r\n"), std::string::npos);
  EXPECT_NE(head_only.find("Connection: close\r\n"), std::string::npos);
  EXPECT_TRUE(head_only.ends_with("\r\n\r\n"));
}

}  // namespace
