// An Internet session: the service the catalogue fetch (web/inet_fetch.h)
// talks to, shaped as open session -> connect to a host -> open a request ->
// send -> query the raw response headers -> read the body in chunks -> close
// (destroy the objects, request first).
//
// What it must provide:
//   - an agent text sent as User-Agent, unless the request's own header text
//     has a User-Agent line;
//   - a direct connection, or the given proxy; a proxy text "http=HOST:PORT"
//     serves plain-http requests only;
//   - the host, port, verb and path of each request, always fetched from the
//     network (nothing is cached), TLS with certificate verification for
//     kFlagSecure requests;
//   - redirects followed unless kFlagNoAutoRedirect; one from https to http
//     only with kFlagIgnoreRedirectToHttp and one from http to https only
//     with kFlagIgnoreRedirectToHttps; never to other schemes;
//   - a process-wide in-memory cookie store that requests use unless they
//     carry kFlagNoCookies;
//   - the header text sent unchanged, one header a CR LF separated line;
//   - the raw response headers as CR LF separated lines (status line first,
//     an empty line last), and the body in order, capped at kMaxBodyBytes.
// The whole exchange runs in send(); the reads are served from memory.
//
// Objects belong to the thread that made them; different threads may each
// run their own sessions at the same time.
#ifndef NOVEL_PLATFORM_INTERNET_SESSION_H_
#define NOVEL_PLATFORM_INTERNET_SESSION_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

enum class InternetAccess { kDirect = 1, kProxy = 3 };

// Request flags, combined with |.
constexpr uint32_t kFlagReload = 0x80000000;
constexpr uint32_t kFlagNeedFile = 0x00000010;
constexpr uint32_t kFlagNoCookies = 0x00080000;
constexpr uint32_t kFlagNoAutoRedirect = 0x00200000;
constexpr uint32_t kFlagSecure = 0x00800000;
constexpr uint32_t kFlagIgnoreRedirectToHttp = 0x00008000;
constexpr uint32_t kFlagIgnoreRedirectToHttps = 0x00004000;

// The authorities that secure requests trust: a PEM file, or the system's
// when empty (the default). The tests trust their own test authority.
void set_internet_ca_file(std::string path);

class InternetRequest {
 public:
  // Sends the request and receives the whole response. False when the
  // exchange failed; the reads then serve what arrived before the failure.
  bool send(std::string_view header_text, std::string_view body);
  // Writes the raw response headers and a zero byte into `buffer`. When they
  // do not fit in `*length` bytes, writes nothing, sets `*length` to the
  // size needed and returns false; also false when no response arrived.
  bool query_raw_headers(char* buffer, uint32_t* length) const;
  // Copies up to `size` body bytes into `buffer`; `*read` is 0 at the end.
  bool read(char* buffer, uint32_t size, uint32_t* read);

 private:
  friend class InternetConnection;
  InternetRequest() = default;

  std::string agent_;
  std::string proxy_;
  bool proxy_for_http_only_ = false;
  std::string url_;
  std::string verb_;
  uint32_t flags_ = 0;
  bool answered_ = false;
  std::string raw_headers_;
  std::string body_;
  size_t read_offset_ = 0;
};

class InternetConnection {
 public:
  // Null when the verb is not GET, POST or HEAD, the path does not start
  // with "/" or holds a space or control character, or the version is not
  // "HTTP/1.1".
  std::unique_ptr<InternetRequest> open_request(std::string_view verb, std::string_view path,
                                                std::string_view version, uint32_t flags) const;

 private:
  friend class InternetSession;
  InternetConnection() = default;

  std::string agent_;
  std::string proxy_;
  bool proxy_for_http_only_ = false;
  std::string host_;
  int port_ = 0;
};

class InternetSession {
 public:
  // Null when access is kProxy without a proxy. An agent holding a control
  // character is cut before it; an empty agent sends no User-Agent.
  static std::unique_ptr<InternetSession> open(std::string_view agent, InternetAccess access,
                                               std::string_view proxy);
  // Null for an empty host, a host with anything but letters, digits, '-',
  // '.', '_' or a bracketed IPv6 address, or a port outside 1..65535.
  std::unique_ptr<InternetConnection> connect(std::string_view host, int port) const;

 private:
  InternetSession() = default;

  std::string agent_;
  std::string proxy_;
  bool proxy_for_http_only_ = false;
};

#endif  // NOVEL_PLATFORM_INTERNET_SESSION_H_
