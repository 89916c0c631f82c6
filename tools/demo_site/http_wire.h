// Reading a request head and writing a reply head, for the demo server.
// Pure functions over bytes; safe from any thread.
#ifndef NOVEL_DEMO_SITE_HTTP_WIRE_H_
#define NOVEL_DEMO_SITE_HTTP_WIRE_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "demo_site/http_server.h"

// A request head larger than this is refused.
inline constexpr size_t kMaxRequestHead = 16 * 1024;

enum class HeadStatus { kIncomplete, kComplete, kBad, kTooLarge };

struct RequestHead {
  ServedRequest request;
  size_t head_size = 0;  // bytes up to and including the blank line
  size_t body_size = 0;  // Content-Length, skipped by the server
  bool keep_alive = true;
};

// Parses the request at the start of `buffer`.
HeadStatus parse_request_head(std::string_view buffer, RequestHead* head);

// Status line, headers and (unless `head_only`) the body of `reply`; the
// reply's padding is counted in Content-Length but left to the caller to send.
std::string format_reply(const ServedReply& reply, bool keep_alive, bool head_only);

#endif  // NOVEL_DEMO_SITE_HTTP_WIRE_H_
