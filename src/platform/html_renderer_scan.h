// Quick scans of a raw page ahead of its parse, for the HTML renderer (which
// uses them to bound what gumbo is handed and to hand it less): how the
// tokenizer finds the end of a tag, of a comment and of raw text.
//
// Stateless; safe to call from any thread.
#ifndef NOVEL_PLATFORM_HTML_RENDERER_SCAN_H_
#define NOVEL_PLATFORM_HTML_RENDERER_SCAN_H_

#include <cstddef>
#include <string>
#include <string_view>

// White space between words and inside tags.
inline bool is_collapsible_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// What ends a tag's name: white space, '/' or '>'.
inline bool is_tag_name_end(char c) { return is_collapsible_space(c) || c == '/' || c == '>'; }

inline char lower_ascii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// End of the run of bytes from `at` that are no collapsible space, eight at
// a time while no byte below 0x21 is near.
size_t word_end(std::string_view text, size_t at);

// Position of lower-case `sought` in `html` at or after `from`, ASCII case
// ignored, or npos. REQUIRES: `sought` starts with '<'.
size_t find_ignoring_case(std::string_view html, std::string_view sought, size_t from);

// Position just past the '>' that ends the tag whose name ends at `at`; a
// quoted attribute value may hold '>'. The end of `html` when none does.
size_t skip_tag(std::string_view html, size_t at);

// Where the comment that opens at `at` ends: past "-->" or "--!>", or npos.
size_t comment_end(std::string_view html, size_t at);

// The page without the text inside the style and script elements of its head:
// text nobody sees, which would cost the parser some tenth of its time on a
// typical chapter page, one character at a time. The parse of what is left
// gives the same tree, save those hidden texts. Only the head that opens the
// page is looked at, where such elements always hold raw text, and only as
// far as its markup is plain (a script holding "<!--" ends the look).
// False, with `out` left alone, when there is nothing to drop.
bool drop_head_raw_text(std::string_view html, std::string& out);

#endif  // NOVEL_PLATFORM_HTML_RENDERER_SCAN_H_
