#include "platform/http_request.h"

#include <strings.h>

#include <algorithm>

#include "platform/curl_transfer.h"

namespace {

long to_limit(int64_t ms) { return ms > 0 ? static_cast<long>(ms) : 0; }

bool is_header_name(std::string_view name) {
  return !name.empty() && is_header_safe(name) &&
         name.find_first_of(": \t") == std::string_view::npos;
}

}  // namespace

std::unique_ptr<HttpRequest> HttpRequest::create() {
  if (!init_network()) return nullptr;
  return std::unique_ptr<HttpRequest>(new HttpRequest);
}

void HttpRequest::set_timeouts(int64_t resolve_ms, int64_t connect_ms, int64_t send_ms,
                               int64_t receive_ms) {
  resolve_ms_ = resolve_ms;
  connect_ms_ = connect_ms;
  send_ms_ = send_ms;
  receive_ms_ = receive_ms;
}

bool HttpRequest::set_proxy(int setting, std::string_view proxy) {
  if (setting != kProxySettingProxy || proxy.empty()) return false;
  proxy_ = proxy;
  return true;
}

void HttpRequest::set_proxy_credentials(std::string_view user, std::string_view password, int64_t) {
  proxy_user_ = user;
  proxy_password_ = password;
}

bool HttpRequest::open(std::string_view verb, std::string_view url, bool asynchronous) {
  request_headers_.clear();
  body_.clear();
  headers_.clear();
  status_ = 0;
  opened_ =
      !asynchronous && (verb == "GET" || verb == "POST" || verb == "HEAD") && is_web_address(url);
  verb_ = verb;
  url_ = url;
  return opened_;
}

bool HttpRequest::set_option(int index, int64_t value) {
  if (index == kOptionEnableRedirects) {
    follow_redirects_ = value != 0;
  } else if (index == kOptionSslErrorIgnoreFlags) {
    ignored_ssl_errors_ = value;
  } else {
    return false;
  }
  return true;
}

bool HttpRequest::set_request_header(std::string_view name, std::string_view value) {
  if (!is_header_name(name) || !is_header_safe(value)) return false;
  auto same_name = [&](const auto& header) {
    return header.first.size() == name.size() &&
           strncasecmp(header.first.data(), name.data(), name.size()) == 0;
  };
  auto found = std::find_if(request_headers_.begin(), request_headers_.end(), same_name);
  if (found != request_headers_.end()) {
    found->second = value;
  } else {
    request_headers_.emplace_back(name, value);
  }
  return true;
}

bool HttpRequest::send(std::string_view body) {
  body_.clear();
  headers_.clear();
  status_ = 0;
  if (!opened_) return false;
  TransferRequest request;
  request.verb = verb_;
  request.url = url_;
  for (const auto& [name, value] : request_headers_) {
    request.header_lines.push_back(name + ": " + value);
  }
  request.send_body = !body.empty();
  request.body = body;
  request.proxy = proxy_;
  request.proxy_user = proxy_user_;
  request.proxy_password = proxy_password_;
  request.connect_timeout_ms =
      connect_ms_ > 0 ? to_limit(connect_ms_ + std::max<int64_t>(resolve_ms_, 0)) : 0;
  request.send_timeout_ms = to_limit(send_ms_);
  request.receive_timeout_ms = to_limit(receive_ms_);
  request.verify_peer = (ignored_ssl_errors_ &
                         (kSslErrorUnknownCa | kSslErrorWrongUsage | kSslErrorDateInvalid)) == 0;
  request.verify_host = (ignored_ssl_errors_ & kSslErrorNameInvalid) == 0;
  request.follow_redirects = follow_redirects_;
  TransferResult result = run_transfer(request);
  if (!result.ok) return false;
  body_ = std::move(result.body);
  // The header lines without the status line.
  size_t first_line_end = result.raw_headers.find("\r\n");
  if (first_line_end != std::string::npos) headers_ = result.raw_headers.substr(first_line_end + 2);
  status_ = result.status;
  return true;
}
