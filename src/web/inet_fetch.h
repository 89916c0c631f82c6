// inet_fetch: one page through an Internet session (platform/
// internet_session.h), the catalogue matcher's fetcher; and split_url, which
// cuts an address into scheme, host, port and path for the connection.
//
// A plain fetch is inet_fetch(url): a GET with the default header lines and
// the default agent, connected directly, following redirects (also from http
// to https, never from https to http), verifying certificates, with the
// process-wide cookie store switched on. Optional arguments go in an
// InetFetchOptions, fields in the order of the routine's arguments:
//   inet_fetch(url, {.method = 1, .post_text = "a=1", .response_headers = &raw});
//
// The call runs on the calling thread and returns when the whole body has
// been read; calls on different threads are independent.
#ifndef NOVEL_WEB_INET_FETCH_H_
#define NOVEL_WEB_INET_FETCH_H_

#include <optional>
#include <string>
#include <string_view>

#include "web/request_text.h"

struct InetFetchOptions {
  int method = 0;  // 0 GET, 1 POST, 2 HEAD; any other number is 0
  std::string_view post_text = {};
  // Supplied (even empty): no cookie store for this request, a Cookie line
  // when not empty ("Cookie: ..." texts go in as they are), and a merge with
  // the response's cookies when auto_merge.
  std::optional<std::string_view> cookies = {};
  // The cookies the response sets (see web/cookies.h), merged after the
  // supplied ones when cookies and auto_merge.
  std::string* response_cookies = nullptr;
  // Header lines joined by CR LF; a User-Agent line (any letter case) also
  // names the agent. Completed as complete_header_text() does, without its
  // agent line.
  std::string_view headers = {};
  // The raw response headers, "Set-Cookie" in any letter case written so;
  // 5000 spaces when they need 5000 bytes or more.
  std::string* response_headers = nullptr;
  bool no_redirect = false;
  std::string_view post_bytes = {};  // a POST or HEAD body; post_text when empty
  std::string_view proxy = {};       // "host:port"; empty: direct
  bool auto_merge = true;
};

// The response body; empty when the body was empty or the fetch could not
// start (no session, no connection, no request, or an address holding
// control characters), in which case the outputs are not written. A body
// that breaks off early gives the bytes that arrived; one over the body cap
// gives nothing.
std::string inet_fetch(std::string_view url, const InetFetchOptions& options = {});

// Cuts an address into its scheme ("http://" or "https://", also for an
// address written without one), host, port text and path. Without a port the
// port text is "443" for https and "80" otherwise; without a path, "/"; a
// fragment is dropped, a query kept. False for an empty address, which
// writes nothing. Any result may be null.
bool split_url(std::string_view url, std::string* scheme, std::string* host, std::string* port,
               std::string* path);

#endif  // NOVEL_WEB_INET_FETCH_H_
