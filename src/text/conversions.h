// Conversions that turn what a novel site sends into the program's GBK text.
//
// Every fetched page is converted once with utf8_to_ansi; each chapter then
// goes through html_to_text (as utf8_html_to_text, which gives the same text
// straight from the UTF-8 page), two marker cuts (text/markers.h) and
// strip_blank_lines. ansi_to_utf8 gives the engines that want Unicode (the
// regular-expression engine, the HTML renderer) their input. Both
// conversions answer from tables filled once, on first use, from the
// platform's converters (platform/code_page.h), and give the same text.
//
// All functions keep no state between calls and are safe to call from any
// thread.
#ifndef NOVEL_TEXT_CONVERSIONS_H_
#define NOVEL_TEXT_CONVERSIONS_H_

#include <string>
#include <string_view>

// GBK text of UTF-8 bytes, up to their first zero byte. Malformed sequences
// and characters that GBK cannot hold become "?" (a no-break space becomes a
// space); nothing is dropped and the text is never cut short.
std::string utf8_to_ansi(std::string_view text);

// UTF-8 of GBK text, up to its first zero byte. A byte sequence that is no GBK
// character becomes U+FFFD; each GBK character gives exactly one UTF-8 one.
std::string ansi_to_utf8(std::string_view text);

// The text a reader sees of the HTML page in `text`, lines ended by CR LF;
// `text` is replaced by the same result. A page larger than a few MiB gives
// the empty text.
std::string html_to_text(std::string& text);

// html_to_text of utf8_to_ansi(`page`), the same text, without the GBK page
// in between: the renderer reads UTF-8, so the page goes there directly,
// each character as it would come back from GBK.
std::string utf8_html_to_text(std::string_view page);

// Drops one leading and one trailing CR LF from `text` itself, then returns it
// with every line feed, white space and carriage return run ("\n\s*\r")
// removed: a run of blank or white-space-only lines between two lines shrinks
// to one CR LF. Line breaks other than CR LF are left alone.
std::string strip_blank_lines(std::string& text);

#endif  // NOVEL_TEXT_CONVERSIONS_H_
