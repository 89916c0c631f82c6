// Renders an HTML page to the text a reader sees in a browser, over gumbo.
//
// The stand-in must provide what reading the inner text of a page's body gives
// in a browser, for the markup novel pages use: block elements (div, p, h1-h6,
// li, tr, section, ...) on lines of their own, paragraphs set apart by an
// empty line, <br> as a line break, white space collapsed as in normal flow
// while <pre> keeps its own, character references decoded, table cells
// separated by tabs, and nothing shown of head, title, script, style,
// template, noscript, form fields, embedded objects, elements carrying the
// hidden attribute or an inline display:none. Lines are joined with CR LF.
//
// Pages are untrusted: anything over kMaxHtmlBytes, or nesting elements some
// thousands deep (which would take the parser seconds to minutes), renders as
// the empty text, and no page can exhaust the stack or memory. Used by
// html_to_text and utf8_html_to_text. Safe to call from any thread.
#ifndef NOVEL_PLATFORM_HTML_RENDERER_H_
#define NOVEL_PLATFORM_HTML_RENDERER_H_

#include <cstddef>
#include <string>
#include <string_view>

// Far above any chapter page; larger input is refused.
constexpr size_t kMaxHtmlBytes = 4 * 1024 * 1024;

// The visible text of UTF-8 `html`, in UTF-8.
std::string render_html_text(std::string_view html);

#endif  // NOVEL_PLATFORM_HTML_RENDERER_H_
