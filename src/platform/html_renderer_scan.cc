#include "platform/html_renderer_scan.h"

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace {

// Where the end tag "</`name`" that closes raw text begins at or after
// `from`, or npos: the name must be followed by white space, '/' or '>'.
size_t raw_text_end(std::string_view html, std::string_view name, size_t from) {
  const std::string sought = "</" + std::string(name);
  for (size_t at = find_ignoring_case(html, sought, from); at != std::string_view::npos;
       at = find_ignoring_case(html, sought, at + 1)) {
    const size_t after = at + sought.size();
    if (after < html.size() && is_tag_name_end(html[after])) return at;
  }
  return std::string_view::npos;
}

// Elements that may stand in the head as the page opens, other than the
// raw-text ones: none of them changes how the following markup is read.
bool is_plain_head_element(std::string_view name) {
  return name == "html" || name == "head" || name == "meta" || name == "link" || name == "base";
}

}  // namespace

size_t word_end(std::string_view text, size_t at) {
  // A word has a byte below 0x21 exactly when this is not zero (bytes of
  // 0x80 and above never set it).
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  for (uint64_t word; at + 8 <= text.size(); at += 8) {
    std::memcpy(&word, text.data() + at, 8);
    if (((word - kOnes * 0x21) & ~word & kOnes * 0x80) != 0) break;
  }
  while (at < text.size() && !is_collapsible_space(text[at])) ++at;
  return at;
}

size_t find_ignoring_case(std::string_view html, std::string_view sought, size_t from) {
  for (size_t at = html.find('<', from); at != std::string_view::npos;
       at = html.find('<', at + 1)) {
    if (html.size() - at < sought.size()) break;
    size_t k = 0;
    while (k < sought.size() && lower_ascii(html[at + k]) == sought[k]) ++k;
    if (k == sought.size()) return at;
  }
  return std::string_view::npos;
}

size_t skip_tag(std::string_view html, size_t at) {
  char quote = '\0';
  bool after_equals = false;
  for (; at < html.size(); ++at) {
    const char c = html[at];
    if (quote != '\0') {
      if (c == quote) quote = '\0';
      continue;
    }
    if (c == '>') return at + 1;
    if (after_equals && (c == '"' || c == '\'')) quote = c;
    if (c == '=') {
      after_equals = true;
    } else if (!is_collapsible_space(c)) {
      after_equals = false;
    }
  }
  return html.size();
}

size_t comment_end(std::string_view html, size_t at) {
  for (size_t dashes = html.find("--", at + 2); dashes != std::string_view::npos;
       dashes = html.find("--", dashes + 1)) {
    if (html.compare(dashes + 2, 1, ">") == 0) return dashes + 3;
    if (html.compare(dashes + 2, 2, "!>") == 0) return dashes + 4;
  }
  return std::string_view::npos;
}

bool drop_head_raw_text(std::string_view html, std::string& out) {
  std::vector<std::pair<size_t, size_t>> dropped;  // [begin, end) of each text
  size_t at = 0;
  while (true) {
    while (at < html.size() && is_collapsible_space(html[at])) ++at;
    if (at >= html.size() || html[at] != '<') break;
    if (html.compare(at, 4, "<!--") == 0) {
      at = comment_end(html, at);
      if (at == std::string_view::npos) break;
      continue;
    }
    const bool end_tag = html.compare(at, 2, "</") == 0;
    size_t name_end = at + (end_tag ? 2 : 1);
    std::string name;
    if (!end_tag && name_end < html.size() && html[name_end] == '!') {
      ++name_end;  // <!DOCTYPE ...>, which ends at its first '>'
      name = "!";
    }
    for (; name_end < html.size() && !is_tag_name_end(html[name_end]); ++name_end) {
      name.push_back(lower_ascii(html[name_end]));
    }
    if (name == "!doctype") {
      const size_t close = html.find('>', name_end);
      if (close == std::string_view::npos) break;
      at = close + 1;
      continue;
    }
    const size_t tag_end = skip_tag(html, name_end);
    if (tag_end == html.size()) break;
    if (end_tag) {
      if (name != "head") break;
      at = tag_end;
      continue;
    }
    if (name == "style" || name == "script" || name == "title") {
      const size_t close = raw_text_end(html, name, tag_end);
      if (close == std::string_view::npos) break;
      if (name == "script" &&
          html.substr(tag_end, close - tag_end).find("<!--") != std::string_view::npos) {
        break;  // the script may run past this end tag
      }
      if (name != "title" && close > tag_end) dropped.emplace_back(tag_end, close);
      at = skip_tag(html, close + 2 + name.size());
      continue;
    }
    if (!is_plain_head_element(name)) break;
    at = tag_end;
  }
  if (dropped.empty()) return false;
  out.clear();
  out.reserve(html.size());
  size_t kept = 0;
  for (const auto& [begin, end] : dropped) {
    out.append(html, kept, begin - kept);
    kept = end;
  }
  out.append(html, kept);
  return true;
}
