#include "scrape/catalogue_match.h"

#include <algorithm>
#include <thread>

#include "scrape/app_state.h"
#include "scrape/site_texts.h"
#include "scrape/window_controls.h"
#include "scrape/workflow_buttons.h"
#include "text/conversions.h"
#include "text/markers.h"
#include "text/regex_object.h"
#include "text/text_ops.h"
#include "web/inet_fetch.h"

namespace {

constexpr std::chrono::milliseconds kFirstRetryPause{500};
constexpr std::chrono::milliseconds kLongestRetryPause{5000};

// The catalogue as GBK text; empty when nothing usable arrived.
std::string fetch_catalogue(WindowControls& controls) {
  const std::string address = controls.edit_text(EditBox::kCatalogueAddress);
  return utf8_to_ansi(text_from_bytes(inet_fetch(address, {.method = 0})));
}

}  // namespace

std::chrono::milliseconds match_retry_pause(int attempt) {
  std::chrono::milliseconds pause = kFirstRetryPause;
  for (int step = 1; step < attempt && pause < kLongestRetryPause; ++step) pause *= 2;
  return std::min(pause, kLongestRetryPause);
}

std::string match_caption(std::string_view title) {
  return site_text(SiteText::kCaptionPrefix) + std::string(16, ' ') + std::string(10, '-') +
         std::string(title);
}

int32_t run_match() {
  ScrapeContext& context = scrape_context();
  WindowControls& controls = *context.controls;
  AppState& state = *context.state;
  RegexObject links;

  set_workflow_buttons(controls, false);
  state.MatchedLinkText.clear();
  controls.clear_rows(ListView::kMatchList);

  // The address is read again before every attempt, so the user can correct
  // it while the retries go on.
  std::string page = fetch_catalogue(controls);
  for (int attempt = 1; page.empty(); ++attempt) {
    if (!controls.retry_match(attempt)) {
      controls.set_button_enabled(Button::kMatch, true);
      controls.match_finished(false);
      return 0;
    }
    controls.set_count_label(site_text(SiteText::kRetryPrefix) + number_to_text(attempt) +
                             site_text(SiteText::kRetrySuffix));
    std::this_thread::sleep_for(match_retry_pause(attempt));
    page = fetch_catalogue(controls);
  }

  std::string title = text_between(page, "<title>", "</title>");
  controls.set_caption(match_caption(title));
  state.BookTitle.set(std::move(title));

  links.execute(controls.edit_text(EditBox::kMatchPattern), page);
  const int64_t count = links.match_count();
  controls.set_count_label(site_text(SiteText::kMatchCountPrefix) + number_to_text(count) +
                           site_text(SiteText::kMatchCountSuffix));
  for (int64_t i = 1; i <= count; ++i) {
    const int row = static_cast<int>(i - 1);
    const std::string link = links.match_text(i);
    controls.insert_row(ListView::kMatchList, row, number_to_text(i));
    controls.set_row_text(ListView::kMatchList, row, link);
    state.MatchedLinkText += link;
  }

  controls.set_button_enabled(Button::kMatch, true);
  controls.set_button_enabled(Button::kCollect, true);
  controls.match_finished(true);
  return 0;
}
