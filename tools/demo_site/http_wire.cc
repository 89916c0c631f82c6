#include "demo_site/http_wire.h"

#include <charconv>

namespace {

bool equals_ignore_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) {
      return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

std::string_view reason_phrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 400:
      return "Bad Request";
    case 404:
      return "Not Found";
    case 431:
      return "Request Header Fields Too Large";
    case 500:
      return "Internal Server Error";
    case 501:
      return "Not Implemented";
    default:
      return "Unknown";
  }
}

}  // namespace

HeadStatus parse_request_head(std::string_view buffer, RequestHead* head) {
  const size_t end = buffer.find("\r\n\r\n");
  if (end == std::string_view::npos) {
    return buffer.size() > kMaxRequestHead ? HeadStatus::kTooLarge : HeadStatus::kIncomplete;
  }
  if (end + 4 > kMaxRequestHead) return HeadStatus::kTooLarge;
  *head = RequestHead();
  head->head_size = end + 4;

  std::string_view lines = buffer.substr(0, end + 2);
  const size_t line_end = lines.find("\r\n");
  const std::string_view request_line = lines.substr(0, line_end);
  lines.remove_prefix(line_end + 2);
  const size_t first_space = request_line.find(' ');
  const size_t second_space = request_line.find(' ', first_space + 1);
  if (first_space == std::string_view::npos || second_space == std::string_view::npos ||
      first_space == 0 || second_space == first_space + 1) {
    return HeadStatus::kBad;
  }
  head->request.method = request_line.substr(0, first_space);
  head->request.target = request_line.substr(first_space + 1, second_space - first_space - 1);
  const std::string_view version = request_line.substr(second_space + 1);
  if (version == "HTTP/1.0") {
    head->keep_alive = false;
  } else if (version != "HTTP/1.1") {
    return HeadStatus::kBad;
  }

  while (!lines.empty()) {
    const size_t next = lines.find("\r\n");
    const std::string_view line = lines.substr(0, next);
    lines.remove_prefix(next + 2);
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) return HeadStatus::kBad;
    const std::string_view name = line.substr(0, colon);
    const std::string_view value = trim(line.substr(colon + 1));
    if (equals_ignore_case(name, "Host")) {
      head->request.host = value;
    } else if (equals_ignore_case(name, "Connection")) {
      if (equals_ignore_case(value, "close")) head->keep_alive = false;
      if (equals_ignore_case(value, "keep-alive")) head->keep_alive = true;
    } else if (equals_ignore_case(name, "Content-Length")) {
      const auto [ptr, error] =
          std::from_chars(value.data(), value.data() + value.size(), head->body_size);
      if (error != std::errc() || ptr != value.data() + value.size()) return HeadStatus::kBad;
    } else if (equals_ignore_case(name, "Transfer-Encoding")) {
      return HeadStatus::kBad;  // request bodies are only ever sized by Content-Length here
    }
  }
  return HeadStatus::kComplete;
}

std::string format_reply(const ServedReply& reply, bool keep_alive, bool head_only) {
  std::string text;
  text.reserve(256 + (head_only ? 0 : reply.body.size()));
  text += "HTTP/1.1 " + std::to_string(reply.status) + " ";
  text += reason_phrase(reply.status);
  text += "\r\nServer: novel-demo-site\r\nContent-Type: " + reply.content_type;
  text += "\r\nContent-Length: " + std::to_string(reply.body.size() + reply.padding);
  text += keep_alive ? "\r\nConnection: keep-alive\r\n" : "\r\nConnection: close\r\n";
  for (const auto& [name, value] : reply.headers) text += name + ": " + value + "\r\n";
  text += "\r\n";
  if (!head_only) text += reply.body;
  return text;
}
