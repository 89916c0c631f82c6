// The texts the main window starts with: the catalogue address and the two
// patterns, the thread counts offered and the caption. The headless mode takes
// its defaults from here too, so both front ends start alike. Constants only.
#ifndef NOVEL_APP_WINDOW_DEFAULTS_H_
#define NOVEL_APP_WINDOW_DEFAULTS_H_

#include <array>

inline constexpr char kDefaultCatalogueAddress[] =
    "https://book.mozhou.example/info/1012919215#Catalog";
inline constexpr char kDefaultMatchPattern[] = "<a href=\"//read.mozhou.example/chapter/(.*?)//";
inline constexpr char kDefaultFilterPattern[] =
    "read.mozhou.example/chapter/[0-9a-zA-Z_-]+/[0-9a-zA-Z_-]+";

inline constexpr std::array<const char*, 10> kThreadCounts = {"100", "200", "300", "400", "500",
                                                              "600", "700", "800", "900", "1000"};
inline constexpr int kDefaultThreadCountIndex = 4;  // "500"

// UTF-8; the caption is the name followed by 16 spaces.
inline constexpr char kWindowCaption[] = "墨舟中文网小说采集器V1.0                ";

#endif  // NOVEL_APP_WINDOW_DEFAULTS_H_
