// Cookie texts: "name=value" entries separated by ";", with or without
// spaces after the separators. A name is the text before an entry's first
// "=", its value the text after it (a value may hold "=" itself).
//
// Both page fetchers report the cookies a response sets (extract_set_cookies)
// and combine them with a cookie text the caller supplied: inet_fetch through
// merge_cookies, http_fetch through update_cookies. Pure functions on their
// arguments, safe from any thread.
#ifndef NOVEL_WEB_COOKIES_H_
#define NOVEL_WEB_COOKIES_H_

#include <string>
#include <string_view>

// The first name=value pair of every line holding "Set-Cookie" (exact case:
// the fetchers have already rewritten other letter cases), joined by "; ".
// A line with a ";" but no "Set-Cookie:" before it contributes an empty entry.
std::string extract_set_cookies(std::string_view header_text);

// The entries of both texts, a newer value replacing an earlier one of the
// same name, joined by "; " in the visiting order of a text-keyed HashTable.
// Entries without "=", with an empty name or value after trimming, or with a
// control byte (below 0x20, or 0x7F) are left out.
std::string merge_cookies(std::string_view earlier, std::string_view newer);

// Brings the cookie jar up to date with the newer cookies, rewriting both:
// spaces are removed from both texts; each newer entry updates the first jar
// entry of the same name (exact bytes) or is appended; the jar is rebuilt as
// "name=value;" entries, leaving out empty names, empty values, values
// "deleted" and entries holding a control byte. Returns a copy of the rewritten jar. An empty newer
// text only removes the spaces.
std::string update_cookies(std::string& jar, std::string& newer);

#endif  // NOVEL_WEB_COOKIES_H_
