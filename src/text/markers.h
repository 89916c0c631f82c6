// Marker cuts on the system's GBK text: picking out what lies between two
// markers (a page's title, a header's value, a cookie's value) and cutting a
// marked span out of a chapter page. Pure functions, safe from any thread.
#ifndef NOVEL_TEXT_MARKERS_H_
#define NOVEL_TEXT_MARKERS_H_

#include <cstdint>
#include <string>
#include <string_view>

// What lies between the end of `left` and the first `right` after it, or the
// empty text when either marker is missing. In both markers "#引号" stands for
// a double quote. The search starts at `start_position` (below 1: the start).
std::string text_between(std::string_view text, std::string_view left, std::string_view right,
                         int64_t start_position = 1, bool ignore_case = false);

// The text without the span from the first `first` (ASCII case ignored)
// through the first `second` found from there; both markers go with the span.
// A missing `first` gives the empty text. A missing `second` leaves the text
// unchanged, so that a page laid out differently loses nothing.
std::string cut_between(std::string_view text, std::string_view first, std::string_view second);

#endif  // NOVEL_TEXT_MARKERS_H_
