#include "web/cookies.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "containers/hash_table.h"
#include "text/markers.h"
#include "text/text_ops.h"

namespace {

constexpr std::string_view kSetCookie = "Set-Cookie:";

// Removes every "Set-Cookie:" (ASCII letter case ignored).
std::string remove_set_cookie_markers(std::string_view line) {
  std::string result;
  int64_t from = 1;
  for (int64_t at; (at = find_text(line, kSetCookie, from, true)) > 0;) {
    result.append(line.substr(from - 1, at - from));
    from = at + static_cast<int64_t>(kSetCookie.size());
  }
  if (from - 1 < static_cast<int64_t>(line.size())) result.append(line.substr(from - 1));
  return result;
}

// A request header line cannot carry a control byte, and the request object
// refuses a Cookie line holding one, which would lose every other cookie with
// it; such an entry is left out instead.
bool has_control_byte(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
  });
}

// Drops the last `n` bytes (all of them when there are fewer).
void drop_last(std::string& text, size_t n) { text.resize(text.size() > n ? text.size() - n : 0); }

struct CookieEntry {
  std::string name;
  std::string value;
};

// Entries of a cookie text with its spaces already removed.
std::vector<CookieEntry> split_entries(std::string_view text) {
  std::vector<CookieEntry> entries;
  for (const std::string& piece : split_text(text, ";")) {
    size_t equals = piece.find('=');
    if (equals == std::string::npos) {
      entries.push_back({trim_spaces(piece), ""});
    } else {
      entries.push_back({trim_spaces(piece.substr(0, equals)), piece.substr(equals + 1)});
    }
  }
  return entries;
}

}  // namespace

std::string extract_set_cookies(std::string_view header_text) {
  std::string cookies;
  for (const std::string& line : split_text(header_text, "\r\n")) {
    if (find_text(line, "Set-Cookie") < 0) continue;
    std::string entry = find_text(line, ";") < 0 ? remove_set_cookie_markers(line)
                                                 : text_between(line, kSetCookie, ";");
    cookies.append(trim_spaces(entry)).append("; ");
  }
  drop_last(cookies, 2);
  return cookies;
}

std::string merge_cookies(std::string_view earlier, std::string_view newer) {
  HashTable table;
  table.create(kHashText, kHashText);
  for (std::string_view text : {earlier, newer}) {
    for (const std::string& piece : split_text(text, ";")) {
      size_t equals = piece.find('=');
      if (equals == std::string::npos) continue;
      std::string name = trim_spaces(piece.substr(0, equals));
      std::string value = trim_spaces(piece.substr(equals + 1));
      if (name.empty() || value.empty()) continue;
      if (has_control_byte(name) || has_control_byte(value)) continue;
      table.set(name, value);
    }
  }
  std::vector<HashItem> names;
  table.keys(names);
  std::string merged;
  for (const HashItem& name : names) {
    HashItem value = table.get(name);
    if (!value.text().empty())
      merged.append(name.text()).append("=").append(value.text()).append("; ");
  }
  drop_last(merged, 2);
  return merged;
}

std::string update_cookies(std::string& jar, std::string& newer) {
  jar = remove_all_spaces(jar);
  newer = remove_all_spaces(newer);
  if (newer.empty()) return jar;

  std::vector<CookieEntry> entries = split_entries(jar);
  for (CookieEntry& update : split_entries(newer)) {
    auto same_name = [&](const CookieEntry& entry) { return entry.name == update.name; };
    auto found = std::find_if(entries.begin(), entries.end(), same_name);
    if (found != entries.end()) {
      found->value = std::move(update.value);
    } else {
      entries.push_back(std::move(update));
    }
  }
  std::string rebuilt;
  for (const CookieEntry& entry : entries) {
    if (entry.name.empty() || entry.value.empty() || entry.value == "deleted") continue;
    if (has_control_byte(entry.name) || has_control_byte(entry.value)) continue;
    rebuilt.append(entry.name).append("=").append(entry.value).append(";");
  }
  jar = rebuilt;
  return rebuilt;
}
