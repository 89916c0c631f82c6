// Catalogue matching, the first step of every scrape: fetch the catalogue
// page named in 目录地址, take the book's title from it, list every match of
// the chapter pattern in 匹配列表框 and keep the matches joined in
// MatchedLinkText for the collection.
//
// run_match runs on a thread of its own, started by the window's 匹配 handler
// through launch_thread, and works on the installed ScrapeContext. It writes
// MatchedLinkText without a lock: Collect cannot start while it runs, because
// 采集按钮 stays disabled until it ends.
#ifndef NOVEL_SCRAPE_CATALOGUE_MATCH_H_
#define NOVEL_SCRAPE_CATALOGUE_MATCH_H_

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

// The pause before Match retry `attempt` (1, 2, ...) after an empty page:
// 0.5 s doubling up to 5 s, so a wrong address neither hammers a server nor
// hides the retries from the user.
std::chrono::milliseconds match_retry_pause(int attempt);

// The caption after a Match: the program's name, 16 spaces, ten hyphens and
// the book's title.
std::string match_caption(std::string_view title);

// Runs catalogue matching on the installed context. Answers 0.
int32_t run_match();

#endif  // NOVEL_SCRAPE_CATALOGUE_MATCH_H_
