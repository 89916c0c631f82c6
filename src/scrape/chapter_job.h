// The work of one chapter during a collection: fetch the chapter page, turn
// it into the chapter's plain text and write it into the chapter's row of
// 章节内容列表框.
//
// CollectPool runs run_chapter_job on its worker threads, many at once. A job
// only reads ChapterUrlList, which nobody changes while a collection runs,
// and writes only its own row, so jobs share no lock.
#ifndef NOVEL_SCRAPE_CHAPTER_JOB_H_
#define NOVEL_SCRAPE_CHAPTER_JOB_H_

#include <cstdint>
#include <string>
#include <string_view>

// The chapter text of a chapter page's body bytes (UTF-8 HTML): rendered to
// text, the site's header span and footer span cut away, blank lines
// squeezed, and CR LF appended. A body that yields nothing gives CR LF alone.
std::string clean_chapter_page(std::string_view body);

// Fetches element `chapter` (from 1) of ChapterUrlList and writes its cleaned
// text into row chapter-1, then reports the row through chapter_finished().
// A number outside the list is ignored. Answers 0.
int32_t run_chapter_job(intptr_t chapter);

#endif  // NOVEL_SCRAPE_CHAPTER_JOB_H_
