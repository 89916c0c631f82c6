// An HTTP request object: what the chapter fetch (web/http_fetch.h) drives,
// shaped as set time-outs -> set proxy and its credentials -> open (verb,
// address) -> write options -> set request headers -> send -> read the body,
// the response headers and the status. An object may run many exchanges one
// after another: open() starts each; time-outs, proxy and options stay.
//
// What it must provide:
//   - the four time-outs in milliseconds: resolving and connecting share one
//     limit (their sum), sending and receiving each bound a wait for the next
//     bytes to move, never the whole transfer; 0 or less means no limit;
//   - the named proxy with its user and password (the credentials flag has no
//     meaning here); no proxy, and no proxy environment variable, otherwise;
//   - redirects followed unless kOptionEnableRedirects was written 0, never
//     from https to http and never to a scheme other than http and https;
//   - certificate errors ignored as kOptionSslErrorIgnoreFlags asks (verified
//     by default);
//   - the request headers in the order they were set, nothing cached, no
//     cookie kept from one exchange to the next;
//   - the body bytes (at most kMaxBodyBytes), the response header lines
//     (without the status line) each ended by CR LF, and the numeric status.
// A failed exchange leaves an empty body, empty headers and status 0.
//
// An object is used by one thread at a time. The exchange runs on the thread
// that calls send(), over that thread's reusable connection handle.
#ifndef NOVEL_PLATFORM_HTTP_REQUEST_H_
#define NOVEL_PLATFORM_HTTP_REQUEST_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

constexpr int kProxySettingProxy = 2;
constexpr int kOptionSslErrorIgnoreFlags = 4;
constexpr int kOptionEnableRedirects = 6;
// Certificate errors to ignore, combined with |.
constexpr int64_t kSslErrorUnknownCa = 0x0100;
constexpr int64_t kSslErrorWrongUsage = 0x0200;
constexpr int64_t kSslErrorNameInvalid = 0x1000;
constexpr int64_t kSslErrorDateInvalid = 0x2000;
constexpr int64_t kSslErrorIgnoreAll = 0x3300;

class HttpRequest {
 public:
  // Null when the network library cannot be initialised.
  static std::unique_ptr<HttpRequest> create();

  void set_timeouts(int64_t resolve_ms, int64_t connect_ms, int64_t send_ms, int64_t receive_ms);
  // False for a setting other than kProxySettingProxy or an empty proxy.
  bool set_proxy(int setting, std::string_view proxy);
  void set_proxy_credentials(std::string_view user, std::string_view password, int64_t flag);
  // Starts a new exchange, dropping the previous one's headers and response.
  // False, and send() fails, when `asynchronous` is true, the verb is not
  // GET, POST or HEAD, or the address is not an http or https address
  // without spaces or control characters.
  bool open(std::string_view verb, std::string_view url, bool asynchronous);
  // False for an unknown option index.
  bool set_option(int index, int64_t value);
  // Adds a header, or replaces the value of one set before under the same
  // name (letter case ignored) in its place. False, setting nothing, for an
  // empty name, a name with a colon, space or control character, or a value
  // with a control character.
  bool set_request_header(std::string_view name, std::string_view value);
  // Runs the exchange. False when it failed or open() did not succeed.
  bool send(std::string_view body);

  const std::string& response_body() const { return body_; }
  const std::string& all_response_headers() const { return headers_; }
  int status() const { return status_; }

 private:
  HttpRequest() = default;

  // The platform object's defaults.
  int64_t resolve_ms_ = 0;
  int64_t connect_ms_ = 60000;
  int64_t send_ms_ = 30000;
  int64_t receive_ms_ = 30000;
  std::string proxy_;
  std::string proxy_user_;
  std::string proxy_password_;
  bool follow_redirects_ = true;
  int64_t ignored_ssl_errors_ = 0;

  bool opened_ = false;
  std::string verb_;
  std::string url_;
  std::vector<std::pair<std::string, std::string>> request_headers_;

  std::string body_;
  std::string headers_;
  int status_ = 0;
};

#endif  // NOVEL_PLATFORM_HTTP_REQUEST_H_
