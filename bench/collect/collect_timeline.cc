// collect_timeline: where the time of one whole collection goes. Runs Match
// and Collect against a catalogue address (the demo site, started by
// bench/collect/run or by hand) through a window stand-in that records when
// each chapter ends, samples the pool's worker count, and prints a timeline:
// catalogue, time until the workers are up, quarter points of the chapters,
// last chapter, the end the completion check reports, CPU. Beside it, as the
// reference, the same addresses fetched by the same number of plain threads
// with http_fetch alone (no pool, no cleaning, no window).
//   collect_timeline ADDRESS [THREADS]
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/curl_transfer.h"
#include "scrape/app_state.h"
#include "scrape/catalogue_match.h"
#include "scrape/collect_driver.h"
#include "scrape/window_controls.h"
#include "text/conversions.h"
#include "threads/thread_pool.h"
#include "threads/timer_thread.h"
#include "web/http_fetch.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start, Clock::time_point now = Clock::now()) {
  return std::chrono::duration<double>(now - start).count();
}

double cpu_seconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Keeps rows as the window would and stamps each finished chapter.
class TimedControls : public WindowControls {
 public:
  explicit TimedControls(std::string threads) : threads_(std::move(threads)) {}

  std::string edit_text(EditBox box) override {
    std::lock_guard<std::mutex> guard(lock_);
    return edits_[static_cast<size_t>(box)];
  }
  std::string thread_count_text() override { return threads_; }
  void set_count_label(const std::string&) override {}
  void set_caption(const std::string&) override {}
  void set_button_enabled(Button, bool) override {}
  void clear_rows(ListView list) override {
    std::lock_guard<std::mutex> guard(lock_);
    rows_[static_cast<size_t>(list)].clear();
  }
  void insert_row(ListView list, int row, const std::string&) override {
    std::lock_guard<std::mutex> guard(lock_);
    auto& rows = rows_[static_cast<size_t>(list)];
    if (row >= 0 && static_cast<size_t>(row) <= rows.size()) rows.insert(rows.begin() + row, "");
  }
  void set_row_text(ListView list, int row, const std::string& text) override {
    std::lock_guard<std::mutex> guard(lock_);
    auto& rows = rows_[static_cast<size_t>(list)];
    if (row >= 0 && static_cast<size_t>(row) < rows.size()) rows[static_cast<size_t>(row)] = text;
  }
  std::string row_text(ListView list, int row) override {
    std::lock_guard<std::mutex> guard(lock_);
    const auto& rows = rows_[static_cast<size_t>(list)];
    return row >= 0 && static_cast<size_t>(row) < rows.size() ? rows[static_cast<size_t>(row)]
                                                              : std::string();
  }
  void select_row(ListView, int) override {}
  int row_count(ListView list) override {
    std::lock_guard<std::mutex> guard(lock_);
    return static_cast<int>(rows_[static_cast<size_t>(list)].size());
  }
  bool row_checked(int) override { return true; }
  void set_row_checked(int, bool) override {}
  bool retry_match(int attempt) override { return attempt < 5; }
  void match_finished(bool) override {}
  void collect_started(int) override {}
  void chapter_finished(int, bool empty) override {
    const Clock::time_point now = Clock::now();
    std::lock_guard<std::mutex> guard(lock_);
    finish_times_.push_back(now);
    empty_ += empty;
  }
  void collect_finished() override {
    std::lock_guard<std::mutex> guard(lock_);
    finished_at_ = Clock::now();
    done_ = true;
    done_signal_.notify_all();
  }

  void set_edit(EditBox box, std::string text) {
    std::lock_guard<std::mutex> guard(lock_);
    edits_[static_cast<size_t>(box)] = std::move(text);
  }
  Clock::time_point wait_done() {
    std::unique_lock<std::mutex> guard(lock_);
    done_signal_.wait(guard, [this] { return done_; });
    return finished_at_;
  }
  std::vector<Clock::time_point> finish_times() {
    std::lock_guard<std::mutex> guard(lock_);
    return finish_times_;
  }
  int empty() {
    std::lock_guard<std::mutex> guard(lock_);
    return empty_;
  }

 private:
  const std::string threads_;
  std::mutex lock_;
  std::condition_variable done_signal_;
  std::string edits_[3];
  std::vector<std::string> rows_[2];
  std::vector<Clock::time_point> finish_times_;
  Clock::time_point finished_at_;
  int empty_ = 0;
  bool done_ = false;
};

// The fetch-only reference: `threads` plain threads share the address list.
double plain_fetch_seconds(const std::vector<std::string>& urls, int threads) {
  std::atomic<size_t> next{0};
  const Clock::time_point start = Clock::now();
  std::vector<std::thread> fetchers;
  for (int i = 0; i < threads; ++i) {
    fetchers.emplace_back([&] {
      for (size_t k = next++; k < urls.size(); k = next++) http_fetch(urls[k]);
    });
  }
  for (std::thread& fetcher : fetchers) fetcher.join();
  return seconds_since(start);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: collect_timeline ADDRESS [THREADS]\n");
    return 2;
  }
  init_network();
  raise_open_file_limit();
  const std::string address = argv[1];
  const std::string threads = argc > 2 ? argv[2] : "500";
  const std::string host = address.substr(7, address.find('/', 7) - 7);

  AppState state;
  TimedControls controls(threads);
  ThreadPool pool;
  TimerThread timer;
  ScrapeContext context{&state, &controls, &pool, &timer};
  install_scrape_context(&context);
  controls.set_edit(EditBox::kCatalogueAddress, utf8_to_ansi(address));
  controls.set_edit(EditBox::kMatchPattern, "<a href=\"//" + host + "/chapter/(.*?)//");
  controls.set_edit(EditBox::kFilterPattern, host + "/chapter/[0-9a-zA-Z_-]+/[0-9a-zA-Z_-]+");

  const double cpu_start = cpu_seconds();
  const Clock::time_point start = Clock::now();
  run_match();
  const double match_end = seconds_since(start);

  std::atomic<bool> sampling{true};
  std::vector<std::pair<double, int>> worker_counts;
  std::thread sampler([&] {
    int last = -1;
    while (sampling.load()) {
      const int count = pool.thread_count();
      if (count != last) worker_counts.emplace_back(seconds_since(start), count);
      last = count;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  const Clock::time_point collect_start = Clock::now();
  run_collect();
  const double queued = seconds_since(start);
  const Clock::time_point done = controls.wait_done();
  sampling = false;
  sampler.join();
  const double cpu = cpu_seconds() - cpu_start;

  std::vector<Clock::time_point> times = controls.finish_times();
  std::sort(times.begin(), times.end());
  const size_t total = times.size();
  std::printf("chapters %zu (%d empty), %s threads\n", total, controls.empty(), threads.c_str());
  std::printf("  %7.3f s  catalogue matched\n", match_end);
  std::printf("  %7.3f s  rows inserted and jobs queued\n", queued);
  int peak_workers = 0;
  for (const auto& [at, count] : worker_counts) {
    if (count > peak_workers) {
      peak_workers = count;
      if (count == 1 || count % 100 == 0 || count >= std::stoi(threads)) {
        std::printf("  %7.3f s  %d workers\n", at, count);
      }
    }
  }
  for (int quarter = 1; quarter <= 4 && total > 0; ++quarter) {
    const size_t index = std::min(total - 1, total * static_cast<size_t>(quarter) / 4);
    std::printf("  %7.3f s  %d%% of the chapters finished\n", seconds_since(start, times[index]),
                quarter * 25);
  }
  std::printf("  %7.3f s  collection reported finished (collect: %.3f s)\n",
              seconds_since(start, done), seconds_since(collect_start, done));
  std::printf("  CPU %.2f s (%.2f ms per chapter), peak workers %d\n", cpu,
              total > 0 ? cpu * 1000 / static_cast<double>(total) : 0.0, peak_workers);

  const std::vector<std::string> urls = state.ChapterUrlList;
  install_scrape_context(nullptr);
  const double cpu_before_plain = cpu_seconds();
  const double plain = plain_fetch_seconds(urls, std::stoi(threads));
  std::printf("reference, %s plain threads fetching the same addresses: %.3f s, CPU %.2f s\n",
              threads.c_str(), plain, cpu_seconds() - cpu_before_plain);
  return 0;
}
