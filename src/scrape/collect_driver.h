// The collection driver: turns the links of the last Match into chapter
// addresses, lists one row per chapter in 章节内容列表框, feeds one chapter job
// per address to CollectPool and, through CompletionTimer, ends the
// collection once the pool has no job left.
//
// run_collect runs on a thread of its own, started by the window's 采集
// handler; check_collect_done runs on CompletionTimer's thread. Both work on
// the installed ScrapeContext. ChapterUrlList is filled completely before the
// first job is queued and not changed until the collection has ended, so the
// jobs read it without a lock.
#ifndef NOVEL_SCRAPE_COLLECT_DRIVER_H_
#define NOVEL_SCRAPE_COLLECT_DRIVER_H_

#include <cstdint>
#include <string>
#include <string_view>

// How often CompletionTimer asks whether the collection has ended.
inline constexpr int32_t kCompletionTickMs = 1000;

// The address of one chapter from a match of the filter pattern. A match
// that carries its own "http://" or "https://" (any case) is the address
// as it stands. Otherwise the match is a link without scheme, such as the
// "//host/chapter/..." links of a catalogue, and it takes the scheme of the
// catalogue's own address, as a browser resolves it: chapters of a book read
// over https are not asked for in clear text, nor redirected one by one.
std::string chapter_address(std::string_view catalogue_address, const std::string& match);

// The 4 bytes of `chapter` as a little-endian 32-bit integer: the argument
// each chapter job is queued with.
std::string chapter_job_argument(int32_t chapter);

// Starts a collection on the installed context. Answers 0.
int32_t run_collect();

// CompletionTimer's callback: once no job is queued or running it stops the
// timer, resets the pool, gives the three buttons back and reports the end.
// A tick that finds jobs still waiting changes nothing. Answers 0.
int32_t check_collect_done();

#endif  // NOVEL_SCRAPE_COLLECT_DRIVER_H_
