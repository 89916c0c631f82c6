// AppState, the program-wide state that the window's handlers, the scrape
// routines and the export share, and ScrapeContext, the one place where those
// routines find it together with the window's controls and the collection's
// pool and timer. The routines take no arguments (they are started through the
// thread launcher, the pool and the timer with at most a job number), so start-up
// installs one ScrapeContext before the window opens, and a test installs its
// own before it starts a routine.
//
// Thread safety: BookTitle has a lock of its own, because an export may read
// it while a new Match replaces it. The other members have none: the enabled
// states of the three buttons separate their writers (MatchedLinkText is
// written only while Match runs, ChapterUrlList only while Collect runs and
// read by jobs only during a collection, EmptyChapterIndexes only on the GUI
// thread).
#ifndef NOVEL_SCRAPE_APP_STATE_H_
#define NOVEL_SCRAPE_APP_STATE_H_

#include <atomic>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class ThreadPool;
class TimerThread;
class WindowControls;

// A text that one thread may replace while others read it: readers always get
// a whole copy, either the old text or the new one.
class LockedText {
 public:
  std::string get() const {
    std::lock_guard<std::mutex> guard(lock_);
    return text_;
  }
  void set(std::string text) {
    std::lock_guard<std::mutex> guard(lock_);
    text_ = std::move(text);
  }

 private:
  mutable std::mutex lock_;
  std::string text_;  // guarded by lock_
};

// Texts are GBK bytes. The arrays count from 0 here: element j of the
// numbering the routines use (chapter j, from 1) is at index j - 1, which is
// also the row that shows it.
struct AppState {
  // 0-based row numbers of the rows 检查 found empty, ascending.
  std::vector<int> EmptyChapterIndexes;
  // The catalogue page's title: the export's file name without ".txt".
  LockedText BookTitle;
  // One address per chapter, from a match of the filter pattern (see
  // chapter_address).
  std::vector<std::string> ChapterUrlList;
  // Every match of the chapter pattern, joined without separator.
  std::string MatchedLinkText;
};

// What the scrape routines reach. Start-up owns every object; the pool is
// constructed and not started, the timer constructed and not running. The
// launcher's affinity_lock and the timer's timer_stop_lock are not here: only
// the threads library uses them.
struct ScrapeContext {
  AppState* state = nullptr;
  WindowControls* controls = nullptr;
  ThreadPool* CollectPool = nullptr;
  TimerThread* CompletionTimer = nullptr;
};

// Read through scrape_context(); written only by install_scrape_context().
inline std::atomic<ScrapeContext*> installed_scrape_context{nullptr};

// REQUIRES: no scrape routine runs while the context is replaced; the
// installed context outlives every routine, job and timer tick that uses it.
inline void install_scrape_context(ScrapeContext* context) {
  installed_scrape_context.store(context, std::memory_order_release);
}

// REQUIRES: a context is installed.
inline ScrapeContext& scrape_context() {
  return *installed_scrape_context.load(std::memory_order_acquire);
}

#endif  // NOVEL_SCRAPE_APP_STATE_H_
