#include "scrape/chapter_job.h"

#include "scrape/app_state.h"
#include "scrape/site_texts.h"
#include "scrape/window_controls.h"
#include "text/conversions.h"
#include "text/markers.h"
#include "text/text_ops.h"
#include "web/http_fetch.h"

std::string clean_chapter_page(std::string_view body) {
  std::string text = utf8_html_to_text(text_from_bytes(body));
  text = cut_between(text, site_text(SiteText::kHeaderFirstMarker),
                     site_text(SiteText::kHeaderSecondMarker));
  text = cut_between(text, site_text(SiteText::kFooterFirstMarker),
                     site_text(SiteText::kFooterSecondMarker));
  text = strip_blank_lines(text);
  text += "\r\n";
  return text;
}

int32_t run_chapter_job(intptr_t chapter) {
  ScrapeContext& context = scrape_context();
  const std::vector<std::string>& urls = context.state->ChapterUrlList;
  if (chapter < 1 || static_cast<size_t>(chapter) > urls.size()) return 0;
  const int row = static_cast<int>(chapter - 1);

  const std::string text = clean_chapter_page(http_fetch(urls[static_cast<size_t>(row)]));
  context.controls->set_row_text(ListView::kContentList, row, text);
  context.controls->chapter_finished(row, is_empty_chapter_text(text));
  return 0;
}
