#include "text/conversions.h"

#include "platform/code_page.h"
#include "platform/html_renderer.h"
#include "text/regex_object.h"
#include "text/text_ops.h"

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kBlankLinesPattern = "\\n\\s*\\r";

}  // namespace

std::string utf8_to_ansi(std::string_view text) { return utf8_to_gbk(text); }

std::string ansi_to_utf8(std::string_view text) { return gbk_to_utf8(text); }

std::string html_to_text(std::string& text) {
  text = utf8_to_ansi(render_html_text(ansi_to_utf8(text)));
  return text;
}

std::string strip_blank_lines(std::string& text) {
  text = text_from_bytes(text);
  if (text.starts_with(kLineEnd)) text.erase(0, kLineEnd.size());
  if (text.ends_with(kLineEnd)) text.erase(text.size() - kLineEnd.size());
  RegexObject blank_lines;
  blank_lines.execute(kBlankLinesPattern, text);
  return blank_lines.replace("");
}
