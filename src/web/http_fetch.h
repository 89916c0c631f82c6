// http_fetch: one page through an HTTP request object (platform/
// http_request.h), the chapter job's fetcher.
//
// A plain fetch is http_fetch(url): a GET with 15-second time-outs, the five
// default header lines (complete_header_text() with the agent), redirects
// followed except from https to http, certificate errors ignored, no cookie.
// Optional arguments go in an HttpFetchOptions, fields in the order of the
// routine's arguments:
//   http_fetch(url, {.cookies = &jar, .status = &status, .timeout = 5});
//
// Runs on the calling thread and returns when the exchange has ended. Many
// calls run at once on different threads; each reuses its thread's
// connections (see platform/curl_transfer.h), never another thread's.
#ifndef NOVEL_WEB_HTTP_FETCH_H_
#define NOVEL_WEB_HTTP_FETCH_H_

#include <string>
#include <string_view>

#include "platform/http_request.h"
#include "web/request_text.h"

struct HttpFetchOptions {
  int method = 0;  // 0 GET, 1 POST, 2 HEAD; any other number is 0
  std::string_view post_text = {};
  // In: the Cookie header (set before every other header) when not empty.
  // Out: brought up to date with the response's cookies by update_cookies().
  std::string* cookies = nullptr;
  // The cookies the response sets, without spaces.
  std::string* response_cookies = nullptr;
  // Header lines joined by CR LF, sent in order before the missing defaults.
  std::string_view headers = {};
  // The response header lines, "Set-Cookie" in any letter case written so.
  std::string* response_headers = nullptr;
  int* status = nullptr;
  bool no_redirect = false;
  std::string_view post_bytes = {};  // sent instead of post_text when not empty
  std::string_view proxy = {};
  // Seconds for each of the four time-outs; below 1 means 15; -1 leaves the
  // request object's own.
  int timeout = 0;
  std::string_view proxy_user = {};
  std::string_view proxy_password = {};
  int proxy_credentials_flag = 1;
  // A request object the caller keeps (its settings and options stay on it);
  // null: one is made for this call.
  HttpRequest* request_object = nullptr;
};

// The response body; empty when the exchange failed (also for a body over
// the cap) or no request object could be made, in which case neither the
// outputs nor `cookies` are written.
std::string http_fetch(std::string_view url, const HttpFetchOptions& options = {});

#endif  // NOVEL_WEB_HTTP_FETCH_H_
