#include "text/markers.h"

#include "text/text_ops.h"

namespace {

// "#引号" in GBK.
constexpr std::string_view kQuoteEscape = "#\xD2\xFD\xBA\xC5";

}  // namespace

std::string text_between(std::string_view text, std::string_view left, std::string_view right,
                         int64_t start_position, bool ignore_case) {
  const std::string left_marker = replace_all(left, kQuoteEscape, "\"");
  const std::string right_marker = replace_all(right, kQuoteEscape, "\"");
  int64_t content_start = find_text(text, left_marker, start_position, ignore_case);
  if (content_start != -1) content_start += static_cast<int64_t>(left_marker.size());
  const int64_t content_end =
      find_text(text, right_marker, content_start == -1 ? 1 : content_start, ignore_case);
  if (content_start == -1 || content_end == -1) return {};
  return bytes_from(text, content_start, content_end - content_start);
}

std::string cut_between(std::string_view text, std::string_view first, std::string_view second) {
  const int64_t span_start = find_text(text, first, 1, true);
  if (span_start == -1) return {};
  // An empty `second` counts as found right after `first`, so the span is
  // `first` alone (find_text would report the start of the whole text, and
  // the cut would then repeat the text).
  const int64_t second_at = second.empty() ? span_start + static_cast<int64_t>(first.size())
                                           : find_text(text, second, span_start, true);
  if (second_at == -1) return std::string(text);
  const int64_t length = static_cast<int64_t>(text.size());
  const int64_t span_end = second_at - 1 + static_cast<int64_t>(second.size());
  return first_bytes(text, span_start - 1) + last_bytes(text, length - span_end);
}
