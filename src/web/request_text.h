// Pieces of a request and its response that both page fetchers build the
// same way: the verb for a method number, the default header lines added to
// a caller's header text, and the rewrite of "Set-Cookie" in any letter case.
// A header text is "Name: value" lines joined by CR LF, with no CR LF after
// the last. Pure functions, safe from any thread.
#ifndef NOVEL_WEB_REQUEST_TEXT_H_
#define NOVEL_WEB_REQUEST_TEXT_H_

#include <string>
#include <string_view>

// The default agent of both fetchers.
inline constexpr char DEFAULT_AGENT[] = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

// 0 "GET", 1 "POST", 2 "HEAD"; any other number is 0.
int normalise_method(int method);
const char* method_verb(int method);

// The caller's header text completed with the lines it lacks (each looked
// for in exact case anywhere in the text), in this order: "Accept: */*"
// (the whole text when `headers` is empty), "Referer: " + url,
// "Accept-Language: zh-cn", "User-Agent: " DEFAULT_AGENT when `with_agent`,
// and "Content-Type: application/x-www-form-urlencoded".
std::string complete_header_text(std::string_view headers, std::string_view url, bool with_agent);

// Every "Set-Cookie", in any mix of ASCII letter case, written "Set-Cookie".
std::string normalise_set_cookie(std::string_view header_text);

#endif  // NOVEL_WEB_REQUEST_TEXT_H_
