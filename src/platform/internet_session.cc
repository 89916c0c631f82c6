#include "platform/internet_session.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/curl_transfer.h"

namespace {

// A minute to connect, and a minute of silence at most while the exchange runs.
constexpr long kConnectTimeoutMs = 60000;
constexpr long kIdleTimeoutMs = 60000;

std::mutex ca_file_lock;
std::string ca_file;  // guarded by ca_file_lock

std::string current_ca_file() {
  std::lock_guard<std::mutex> guard(ca_file_lock);
  return ca_file;
}

bool is_host_name(std::string_view host) {
  if (host.empty()) return false;
  if (host.front() == '[') {
    return host.size() > 2 && host.back() == ']' &&
           std::all_of(host.begin() + 1, host.end() - 1, [](char c) {
             return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
           });
  }
  return std::all_of(host.begin(), host.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
  });
}

// The header text as lines; CR LF separates them and empty lines are dropped.
std::vector<std::string> header_lines(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    size_t end = text.find("\r\n");
    std::string_view line = text.substr(0, end);
    if (!line.empty()) lines.emplace_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 2);
  }
  return lines;
}

}  // namespace

void set_internet_ca_file(std::string path) {
  std::lock_guard<std::mutex> guard(ca_file_lock);
  ca_file = std::move(path);
}

std::unique_ptr<InternetSession> InternetSession::open(std::string_view agent,
                                                       InternetAccess access,
                                                       std::string_view proxy) {
  init_network();
  size_t cut = 0;
  while (cut < agent.size() && is_header_safe(agent.substr(cut, 1))) ++cut;
  agent = agent.substr(0, cut);
  if (access == InternetAccess::kProxy && proxy.empty()) return nullptr;
  std::unique_ptr<InternetSession> session(new InternetSession);
  session->agent_ = agent;
  if (access == InternetAccess::kProxy) {
    session->proxy_for_http_only_ = proxy.starts_with("http=");
    session->proxy_ = proxy.substr(session->proxy_for_http_only_ ? 5 : 0);
  }
  return session;
}

std::unique_ptr<InternetConnection> InternetSession::connect(std::string_view host,
                                                             int port) const {
  if (!is_host_name(host) || port < 1 || port > 65535) return nullptr;
  std::unique_ptr<InternetConnection> connection(new InternetConnection);
  connection->agent_ = agent_;
  connection->proxy_ = proxy_;
  connection->proxy_for_http_only_ = proxy_for_http_only_;
  connection->host_ = host;
  connection->port_ = port;
  return connection;
}

std::unique_ptr<InternetRequest> InternetConnection::open_request(std::string_view verb,
                                                                  std::string_view path,
                                                                  std::string_view version,
                                                                  uint32_t flags) const {
  if (verb != "GET" && verb != "POST" && verb != "HEAD") return nullptr;
  if (version != "HTTP/1.1" || !path.starts_with("/")) return nullptr;
  std::string url = (flags & kFlagSecure) ? "https://" : "http://";
  url.append(host_).append(":").append(std::to_string(port_)).append(path);
  if (!is_web_address(url)) return nullptr;
  std::unique_ptr<InternetRequest> request(new InternetRequest);
  request->agent_ = agent_;
  request->proxy_ = proxy_;
  request->proxy_for_http_only_ = proxy_for_http_only_;
  request->url_ = std::move(url);
  request->verb_ = verb;
  request->flags_ = flags;
  return request;
}

bool InternetRequest::send(std::string_view header_text, std::string_view body) {
  TransferRequest request;
  request.verb = verb_;
  request.url = url_;
  request.header_lines = header_lines(header_text);
  request.agent = agent_;
  request.send_body = !body.empty();
  request.body = body;
  request.proxy = proxy_;
  request.proxy_for_http_only = proxy_for_http_only_;
  request.connect_timeout_ms = kConnectTimeoutMs;
  request.send_timeout_ms = kIdleTimeoutMs;
  request.receive_timeout_ms = kIdleTimeoutMs;
  request.ca_file = current_ca_file();
  request.follow_redirects = (flags_ & kFlagNoAutoRedirect) == 0;
  request.allow_http_to_https = (flags_ & kFlagIgnoreRedirectToHttps) != 0;
  request.allow_https_to_http = (flags_ & kFlagIgnoreRedirectToHttp) != 0;
  request.use_cookie_store = (flags_ & kFlagNoCookies) == 0;
  request.keep_partial_body = true;
  TransferResult result = run_transfer(request);
  answered_ = result.ok;
  raw_headers_ = std::move(result.raw_headers);
  body_ = std::move(result.body);
  read_offset_ = 0;
  return result.ok;
}

bool InternetRequest::query_raw_headers(char* buffer, uint32_t* length) const {
  if (raw_headers_.empty()) return false;
  if (raw_headers_.size() + 1 > *length) {
    *length = static_cast<uint32_t>(raw_headers_.size() + 1);
    return false;
  }
  std::memcpy(buffer, raw_headers_.data(), raw_headers_.size());
  buffer[raw_headers_.size()] = '\0';
  *length = static_cast<uint32_t>(raw_headers_.size());
  return true;
}

bool InternetRequest::read(char* buffer, uint32_t size, uint32_t* read) {
  size_t count = std::min<size_t>(size, body_.size() - read_offset_);
  std::memcpy(buffer, body_.data() + read_offset_, count);
  read_offset_ += count;
  *read = static_cast<uint32_t>(count);
  return answered_ || count > 0;
}
