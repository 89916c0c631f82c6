// One HTTP(S) exchange over libcurl, with the rules both page-fetch stand-ins
// (internet_session.h, http_request.h) share:
//   - only http:// and https:// addresses, for the request and every redirect;
//     addresses with spaces or control characters are refused before any
//     connection is made, and so are header lines holding CR, LF or other
//     control characters (no header injection);
//   - redirects are followed here, hop by hop, so that each hop's scheme can
//     be checked; a redirect that is not allowed leaves its 3xx response as the
//     answer; more than kMaxRedirects hops fail the exchange;
//   - direct means direct: proxy environment variables are never read;
//   - time-outs: resolve + connect bound the connection, then the send and
//     receive time-outs bound each wait for the next bytes to move, not the
//     whole transfer;
//   - a body over kMaxBodyBytes stops the transfer and fails it.
//
// Handles. Each thread keeps one easy handle and reuses it for every exchange
// it runs without a cookie store, so that its connections stay open between
// requests (curl_easy_reset clears the options in between; curl's cookie
// engine is never switched on for that handle). All of them share one DNS
// cache and one TLS session cache, never connections. An exchange that uses
// the process-wide cookie store gets a new handle of its own, attached to a
// second share that also holds the cookies.
//
// init_network() must run once in main before any thread starts; the other
// calls are safe from any thread.
#ifndef NOVEL_PLATFORM_CURL_TRANSFER_H_
#define NOVEL_PLATFORM_CURL_TRANSFER_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Initialises libcurl for the process and ignores SIGPIPE (broken connections
// must fail a request, not end the program). Later calls only repeat whether
// libcurl could be initialised.
bool init_network();
// Raises the soft limit of open files to the hard limit, so that a thousand
// connections at once fit. False when the limit could not be read or set.
bool raise_open_file_limit();

constexpr size_t kMaxBodyBytes = size_t{64} << 20;
constexpr int kMaxRedirects = 10;

// True for an absolute http:// or https:// address (scheme in any letter case)
// with a host and no byte below 0x21 or equal to 0x7F.
bool is_web_address(std::string_view url);
// True when the text holds no byte below 0x20 (other than tab) nor 0x7F.
bool is_header_safe(std::string_view text);

struct TransferRequest {
  std::string verb = "GET";  // "GET", "POST" or "HEAD"
  std::string url;
  std::vector<std::string> header_lines;  // "Name: value", sent in this order
  std::string agent;                      // empty: no User-Agent unless a header line gives one
  bool send_body = false;                 // POST always sends one, maybe empty
  std::string body;
  std::string proxy;  // empty: direct
  bool proxy_for_http_only = false;
  std::string proxy_user;
  std::string proxy_password;
  long connect_timeout_ms = 60000;  // resolving and connecting; 0: no limit
  long send_timeout_ms = 30000;     // longest wait for the request to move on; 0: none
  long receive_timeout_ms = 30000;  // longest wait for the next response bytes; 0: none
  bool verify_peer = true;
  bool verify_host = true;
  std::string ca_file;  // empty: the system's authorities
  bool follow_redirects = true;
  bool allow_http_to_https = true;
  bool allow_https_to_http = false;
  bool use_cookie_store = false;   // the process-wide store: send and keep cookies
  bool keep_partial_body = false;  // on failure, keep the headers and body bytes that arrived
};

struct TransferResult {
  bool ok = false;
  int status = 0;
  // The final response's status line and header lines, each ended by CR LF,
  // then an empty line.
  std::string raw_headers;
  std::string body;
};

// Runs the exchange on the calling thread and returns when it has ended.
// On failure `ok` is false and the rest is empty, except what arrived when
// keep_partial_body asks for it (never once a size cap was passed).
TransferResult run_transfer(const TransferRequest& request);

#endif  // NOVEL_PLATFORM_CURL_TRANSFER_H_
