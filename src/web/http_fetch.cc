#include "web/http_fetch.h"

#include <memory>
#include <utility>

#include "text/text_ops.h"
#include "web/cookies.h"

namespace {

constexpr int64_t kDefaultTimeoutMs = 15000;

// Sets one "Name: value" line; a line without a colon gives an empty name
// and value, which the object refuses.
void set_header_line(HttpRequest& request, std::string_view line) {
  size_t colon = line.find(':');
  if (colon == std::string_view::npos) {
    request.set_request_header("", "");
    return;
  }
  request.set_request_header(trim_spaces(line.substr(0, colon)),
                             trim_spaces(line.substr(colon + 1)));
}

}  // namespace

std::string http_fetch(std::string_view url, const HttpFetchOptions& options) {
  const char* verb = method_verb(options.method);
  std::unique_ptr<HttpRequest> own_request;
  HttpRequest* request = options.request_object;
  if (request == nullptr) {
    own_request = HttpRequest::create();
    if (!own_request) return "";
    request = own_request.get();
  }

  if (options.timeout != -1) {
    int64_t ms = options.timeout < 1 ? kDefaultTimeoutMs : int64_t{options.timeout} * 1000;
    request->set_timeouts(ms, ms, ms, ms);
  }
  if (!options.proxy.empty()) {
    request->set_proxy(kProxySettingProxy, options.proxy);
    if (!options.proxy_user.empty()) {
      request->set_proxy_credentials(options.proxy_user, options.proxy_password,
                                     options.proxy_credentials_flag);
    }
  }
  request->open(verb, url, false);
  if (options.no_redirect) request->set_option(kOptionEnableRedirects, 0);
  request->set_option(kOptionSslErrorIgnoreFlags, kSslErrorIgnoreAll);

  std::string header_text = complete_header_text(options.headers, url, true);
  std::string jar = options.cookies != nullptr ? *options.cookies : "";
  if (!jar.empty()) request->set_request_header("Cookie", jar);
  for (const std::string& line : split_text(header_text, "\r\n")) {
    if (!line.empty()) set_header_line(*request, line);
  }
  request->send(options.post_bytes.empty() ? options.post_text : options.post_bytes);

  std::string body = request->response_body();
  std::string response_headers = normalise_set_cookie(request->all_response_headers());
  std::string response_cookies = extract_set_cookies(response_headers);
  update_cookies(jar, response_cookies);

  if (options.cookies != nullptr) *options.cookies = std::move(jar);
  if (options.response_cookies != nullptr) *options.response_cookies = std::move(response_cookies);
  if (options.response_headers != nullptr) *options.response_headers = std::move(response_headers);
  if (options.status != nullptr) *options.status = request->status();
  return body;
}
