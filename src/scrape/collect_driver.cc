#include "scrape/collect_driver.h"

#include "scrape/app_state.h"
#include "scrape/chapter_job.h"
#include "scrape/window_controls.h"
#include "scrape/workflow_buttons.h"
#include "text/regex_object.h"
#include "text/text_ops.h"
#include "threads/thread_pool.h"
#include "threads/timer_thread.h"
#include "web/inet_fetch.h"

std::string chapter_address(std::string_view catalogue_address, const std::string& match) {
  const std::string head = ascii_lower(first_bytes(match, 8));
  if (head.starts_with("http://") || head == "https://") return match;
  std::string scheme = "http://";
  split_url(catalogue_address, &scheme, nullptr, nullptr, nullptr);
  return scheme + match;
}

std::string chapter_job_argument(int32_t chapter) {
  const auto value = static_cast<uint32_t>(chapter);
  std::string bytes(4, '\0');
  for (size_t i = 0; i < 4; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xff);
  return bytes;
}

int32_t run_collect() {
  ScrapeContext& context = scrape_context();
  WindowControls& controls = *context.controls;
  AppState& state = *context.state;
  RegexObject addresses;

  set_workflow_buttons(controls, false);
  state.ChapterUrlList.clear();
  controls.clear_rows(ListView::kContentList);

  addresses.execute(controls.edit_text(EditBox::kFilterPattern), state.MatchedLinkText);
  const int64_t count = addresses.match_count();
  const std::string catalogue_address = controls.edit_text(EditBox::kCatalogueAddress);
  for (int64_t i = 1; i <= count; ++i) {
    state.ChapterUrlList.push_back(chapter_address(catalogue_address, addresses.match_text(i)));
  }
  if (state.ChapterUrlList.empty()) {
    set_workflow_buttons(controls, true);
    controls.collect_finished();
    return 0;
  }

  // The pool keeps exactly the chosen number of workers.
  const auto threads = static_cast<int32_t>(text_to_integer(controls.thread_count_text()));
  ThreadPool& pool = *context.CollectPool;
  pool.start(threads, threads);

  // The start is reported before the first job is queued: a job may end
  // while later rows are still going in, and its end must count.
  const auto total = static_cast<int32_t>(state.ChapterUrlList.size());
  controls.collect_started(total);
  // The row goes in before its job is queued, so a fast job always finds the
  // row it writes. Jobs are queued from this one thread into a fresh or reset
  // pool, so job j receives the id j, its chapter number.
  for (int32_t chapter = 1; chapter <= total; ++chapter) {
    controls.insert_row(ListView::kContentList, chapter - 1, number_to_text(chapter));
    pool.submit(run_chapter_job, chapter_job_argument(chapter));
  }
  context.CompletionTimer->start(kCompletionTickMs, check_collect_done);
  return 0;
}

int32_t check_collect_done() {
  ScrapeContext& context = scrape_context();
  // Pending counts queued jobs as well as running ones: a tick that falls
  // between two jobs must not end the collection and drop the queue.
  if (context.CollectPool->pending_count() != 0) return 0;

  // The timer stops first and the buttons come back last, so a Collect the
  // user starts at once finds the pool reset and can start the timer anew.
  context.CompletionTimer->stop();
  context.CollectPool->reset();
  set_workflow_buttons(*context.controls, true);
  context.controls->collect_finished();
  return 0;
}
