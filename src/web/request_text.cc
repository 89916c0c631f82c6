#include "web/request_text.h"

#include "text/text_ops.h"

int normalise_method(int method) { return method >= 0 && method <= 2 ? method : 0; }

const char* method_verb(int method) {
  static constexpr const char* kVerbs[] = {"GET", "POST", "HEAD"};
  return kVerbs[normalise_method(method)];
}

std::string complete_header_text(std::string_view headers, std::string_view url, bool with_agent) {
  std::string text(headers);
  auto lacks = [&](std::string_view name) { return find_text(text, name) < 0; };
  if (text.empty()) {
    text = "Accept: */*";
  } else if (lacks("Accept:")) {
    text += "\r\nAccept: */*";
  }
  if (lacks("Referer:")) text.append("\r\nReferer: ").append(url);
  if (lacks("Accept-Language:")) text += "\r\nAccept-Language: zh-cn";
  if (with_agent && lacks("User-Agent:")) text.append("\r\nUser-Agent: ").append(DEFAULT_AGENT);
  if (lacks("Content-Type:")) text += "\r\nContent-Type: application/x-www-form-urlencoded";
  return text;
}

std::string normalise_set_cookie(std::string_view header_text) {
  constexpr std::string_view kName = "Set-Cookie";
  std::string result(header_text);
  for (int64_t at = 1; (at = find_text(result, kName, at, true)) > 0;) {
    result.replace(at - 1, kName.size(), kName);
    at += static_cast<int64_t>(kName.size());
  }
  return result;
}
