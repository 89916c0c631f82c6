#include "web/inet_fetch.h"

#include <limits>
#include <memory>

#include "platform/curl_transfer.h"
#include "platform/internet_session.h"
#include "text/markers.h"
#include "text/text_ops.h"
#include "web/cookies.h"

namespace {

constexpr uint32_t kRawHeaderBufferSize = 5000;
constexpr uint32_t kReadChunkSize = 1024;

std::string agent_of(std::string_view headers) {
  if (find_text(headers, "User-Agent:", 1, true) < 0) return DEFAULT_AGENT;
  std::string agent =
      trim_spaces(text_between(std::string(headers) + "\r\n", "User-Agent:", "\r\n"));
  if (!agent.empty()) return agent;
  // A user-agent line in other letter case: the text after the first colon.
  return trim_spaces(headers.substr(headers.find(':') + 1));
}

int port_number(std::string_view text) {
  int64_t port = text_to_integer(text);
  return port < 0 || port > std::numeric_limits<int>::max() ? 0 : static_cast<int>(port);
}

}  // namespace

bool split_url(std::string_view url, std::string* scheme, std::string* host, std::string* port,
               std::string* path) {
  if (url.empty()) return false;
  std::string head = ascii_lower(first_bytes(url, 8));
  bool secure = head == "https://";
  int64_t host_start = secure ? 9 : (first_bytes(head, 7) == "http://" ? 8 : 1);
  int64_t slash = find_text(url, "/", host_start);
  int64_t colon = find_text(url, ":", host_start);
  bool has_port = colon > 0 && (slash < 0 || colon < slash);
  int64_t host_end = has_port ? colon : (slash > 0 ? slash : static_cast<int64_t>(url.size()) + 1);

  if (scheme != nullptr) *scheme = secure ? "https://" : "http://";
  if (host != nullptr) *host = bytes_from(url, host_start, host_end - host_start);
  if (port != nullptr) {
    if (has_port) {
      int64_t port_end = slash > 0 ? slash : static_cast<int64_t>(url.size()) + 1;
      *port = bytes_from(url, colon + 1, port_end - colon - 1);
    } else {
      *port = secure ? "443" : "80";
    }
  }
  if (path != nullptr) {
    if (slash < 0) {
      *path = "/";
    } else {
      std::string rest = bytes_from(url, slash, static_cast<int64_t>(url.size()) - slash + 1);
      int64_t fragment = find_text(rest, "#");
      *path = fragment > 0 ? first_bytes(rest, fragment - 1) : rest;
    }
  }
  return true;
}

std::string inet_fetch(std::string_view url, const InetFetchOptions& options) {
  // The address also travels in the Referer line: control characters in it
  // could add header lines of their own.
  if (!is_header_safe(url)) return "";
  const char* verb = method_verb(options.method);
  bool secure = ascii_lower(first_bytes(url, 8)) == "https://";
  std::string agent = agent_of(options.headers);

  std::unique_ptr<InternetSession> session;
  if (options.proxy.empty()) {
    session = InternetSession::open(agent, InternetAccess::kDirect, "");
  } else if (secure) {
    session = InternetSession::open(agent, InternetAccess::kProxy, options.proxy);
  } else {
    session =
        InternetSession::open(agent, InternetAccess::kProxy, "http=" + std::string(options.proxy));
  }
  if (!session) return "";

  std::string host, port, path;
  split_url(url, nullptr, &host, &port, &path);
  std::unique_ptr<InternetConnection> connection = session->connect(host, port_number(port));
  if (!connection) return "";

  uint32_t flags = kFlagReload | kFlagNeedFile;
  if (options.cookies) flags |= kFlagNoCookies;
  if (options.no_redirect) flags |= kFlagNoAutoRedirect;
  flags |= secure ? kFlagSecure : kFlagIgnoreRedirectToHttps;
  std::unique_ptr<InternetRequest> request =
      connection->open_request(verb, path, "HTTP/1.1", flags);
  if (!request) return "";

  std::string header_text = complete_header_text(options.headers, url, false);
  if (options.cookies && !options.cookies->empty()) {
    header_text += find_text(*options.cookies, "Cookie:") > 0 ? "\r\n" : "\r\nCookie: ";
    header_text += *options.cookies;
  }
  if (options.method == 1 || options.method == 2) {
    request->send(header_text, options.post_bytes.empty() ? options.post_text : options.post_bytes);
  } else {
    request->send(header_text, "");
  }

  std::string buffer(kRawHeaderBufferSize, ' ');
  uint32_t length = kRawHeaderBufferSize;
  request->query_raw_headers(buffer.data(), &length);
  std::string response_headers = normalise_set_cookie(text_from_bytes(buffer));

  std::string body;
  char chunk[kReadChunkSize];
  for (uint32_t read = 0; request->read(chunk, kReadChunkSize, &read) && read > 0;) {
    body.append(chunk, read);
  }
  request.reset();
  connection.reset();
  session.reset();

  std::string response_cookies = extract_set_cookies(response_headers);
  if (options.auto_merge && options.cookies) {
    response_cookies = merge_cookies(*options.cookies, response_cookies);
  }
  if (options.response_headers != nullptr) *options.response_headers = std::move(response_headers);
  if (options.response_cookies != nullptr) *options.response_cookies = std::move(response_cookies);
  return body;
}
