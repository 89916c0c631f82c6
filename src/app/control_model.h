// ControlModel holds everything the main window's controls show or the user
// typed: the edit boxes, the thread-count choice, the caption, the count
// label, the three buttons' states and the rows of both list views. The scrape
// routines, the chapter jobs, the export and the list commands read and write
// it through WindowControls; the window only displays it, taking the changes
// in bounded batches on its own thread (take_changes, which hands over the
// shown start of every new or changed row), and writes back what the user
// types or ticks. The headless mode uses the same model without a window.
//
// Thread safety: every method is safe from any thread. Locks are held only to
// copy a few values; no method waits for the GUI thread except show_message,
// which a GUI thread itself never calls, and close() releases that wait.
// take_changes never waits for a lock either: a writer that holds one may
// have been preempted, so the GUI thread leaves that part for its next batch.
#ifndef NOVEL_APP_CONTROL_MODEL_H_
#define NOVEL_APP_CONTROL_MODEL_H_

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "scrape/window_controls.h"

// Chapters finished out of the total in the running or last collection.
struct CollectProgress {
  int total = 0;
  int finished = 0;
  int empty = 0;
  bool running = false;
};

// One row as the window shows it; `text` is only the start of column 1.
struct DisplayRow {
  std::string number;
  std::string text;
  bool checked = false;
};

// What a list view must show anew. When `rebuilt` is true, rows were deleted
// or inserted before rows the window has: it drops every row first. `changed`
// are rows the window has whose text or tick changed, ascending; `new_rows`
// are appended at index `first_new`. `more` says the batch was cut or the list
// was busy and the rest comes with a later batch.
struct ListUpdate {
  bool rebuilt = false;
  std::vector<std::pair<int, DisplayRow>> changed;
  int first_new = 0;
  std::vector<DisplayRow> new_rows;
  bool more = false;
};

// A message box a worker waits on; the window answers it by `id`.
struct MessageRequest {
  uint64_t id = 0;
  std::string title;
  std::string text;
};

struct ControlChanges {
  std::optional<std::string> caption;
  std::optional<std::string> count_label;
  std::optional<std::array<bool, 3>> buttons;  // indexed by Button
  std::array<ListUpdate, 2> lists;             // indexed by ListView
  struct Selection {
    ListView list;
    int row;
  };
  std::optional<Selection> selection;
  std::optional<CollectProgress> progress;
  std::vector<MessageRequest> messages;
};

// How much one batch hands over: the rows of a list, new and changed together,
// and the bytes of a row's text (a cell shows one line; a chapter is far
// longer than the column is wide).
inline constexpr size_t kRowsPerBatch = 2000;
inline constexpr size_t kShownTextBytes = 320;

class ControlModel : public WindowControls {
 public:
  ControlModel();
  ControlModel(const ControlModel&) = delete;
  ControlModel& operator=(const ControlModel&) = delete;

  // WindowControls.
  std::string edit_text(EditBox box) override;
  std::string thread_count_text() override;
  void set_count_label(const std::string& text) override;
  void set_caption(const std::string& text) override;
  void set_button_enabled(Button button, bool enabled) override;
  void clear_rows(ListView list) override;
  void insert_row(ListView list, int row, const std::string& number_text) override;
  void set_row_text(ListView list, int row, const std::string& text) override;
  std::string row_text(ListView list, int row) override;
  void select_row(ListView list, int row) override;
  int row_count(ListView list) override;
  bool row_checked(int row) override;
  void set_row_checked(int row, bool checked) override;
  bool retry_match(int attempt) override;
  void match_finished(bool page_arrived) override;
  void collect_started(int total) override;
  void chapter_finished(int row, bool empty) override;
  void collect_finished() override;

  // What the user typed or chose; the window calls these on every edit.
  void set_edit_text(EditBox box, const std::string& text);
  void set_thread_count_text(const std::string& text);

  std::string caption();
  std::string count_label();
  bool button_enabled(Button button);
  // The row of the last select_row on `list`, or -1 (also after clear_rows).
  int selected_row(ListView list);
  CollectProgress progress();

  // Gives a match up after `attempts` empty pages; 0 (the default) retries
  // until close().
  void set_match_attempt_limit(int attempts);
  // The last match_finished() answer; nullopt before the first.
  std::optional<bool> match_result();
  // Collections finished so far, and a wait for that count to pass `seen`.
  // True when it did; false on time-out or after close().
  int collections_finished();
  bool wait_collections_finished(int seen, std::chrono::milliseconds timeout);

  // Shows a message box owned by the window and returns once the user closed
  // it, or at once after close(). REQUIRES: not called on the GUI thread.
  void show_message(const std::string& title, const std::string& text);
  void answer_message(uint64_t id);

  // What changed since the last call, at most `max_rows` rows of each list,
  // each text cut to about `text_bytes` bytes (never inside a double-byte
  // character). A part whose lock a writer holds stays for the next call; a
  // selection comes once its list has been taken whole. REQUIRES: one taker
  // (the window), which keeps every row it was given.
  ControlChanges take_changes(size_t max_rows = kRowsPerBatch, size_t text_bytes = kShownTextBytes);

  // The window is gone: waits end, matches are given up, nothing blocks again.
  void close();
  bool closed();

 private:
  struct Row {
    std::string number;
    std::string text;
    bool checked = false;
    bool dirty = false;
  };
  struct List {
    std::mutex lock;
    std::vector<Row> rows;        // guarded by lock
    std::vector<int> dirty_rows;  // guarded by lock; rows below `shown` only
    int shown = 0;                // guarded by lock; rows the window has taken
    bool rebuilt = false;         // guarded by lock
    int selected = -1;            // guarded by lock
  };

  List& list_of(ListView list) { return lists_[static_cast<int>(list)]; }
  void mark_dirty(List& list, int row);  // REQUIRES: list.lock held
  static ListUpdate take_list_changes(List& list, size_t max_rows, size_t text_bytes);

  std::array<List, 2> lists_;

  std::mutex lock_;
  std::condition_variable changed_;
  std::array<std::string, 3> edits_;                 // guarded by lock_
  std::string thread_count_;                         // guarded by lock_
  std::string caption_;                              // guarded by lock_
  std::string count_label_;                          // guarded by lock_
  std::array<bool, 3> buttons_{};                    // guarded by lock_
  CollectProgress progress_;                         // guarded by lock_
  int match_attempt_limit_ = 0;                      // guarded by lock_
  std::optional<bool> match_result_;                 // guarded by lock_
  int collections_finished_ = 0;                     // guarded by lock_
  bool closed_ = false;                              // guarded by lock_
  uint64_t next_message_id_ = 1;                     // guarded by lock_
  std::vector<MessageRequest> new_messages_;         // guarded by lock_
  std::vector<uint64_t> open_messages_;              // guarded by lock_
  std::optional<ControlChanges::Selection> select_;  // guarded by lock_
  bool caption_changed_ = false;                     // guarded by lock_
  bool label_changed_ = false;                       // guarded by lock_
  bool buttons_changed_ = true;                      // guarded by lock_
  bool progress_changed_ = false;                    // guarded by lock_
};

#endif  // NOVEL_APP_CONTROL_MODEL_H_
