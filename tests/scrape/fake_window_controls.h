// A WindowControls for the scrape tests: plain fields behind one mutex, the
// progress hooks counted, and a wait for the end of a collection.
#ifndef NOVEL_TESTS_SCRAPE_FAKE_WINDOW_CONTROLS_H_
#define NOVEL_TESTS_SCRAPE_FAKE_WINDOW_CONTROLS_H_

#include <array>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "scrape/window_controls.h"

class FakeWindowControls : public WindowControls {
 public:
  struct Row {
    std::string number;
    std::string text;
    bool checked = false;
  };

  std::string edit_text(EditBox box) override {
    std::lock_guard<std::mutex> guard(lock_);
    return edits_[box];
  }
  std::string thread_count_text() override {
    std::lock_guard<std::mutex> guard(lock_);
    return thread_count_;
  }
  void set_count_label(const std::string& text) override {
    std::lock_guard<std::mutex> guard(lock_);
    count_label_ = text;
    count_labels_.push_back(text);
  }
  void set_caption(const std::string& text) override {
    std::lock_guard<std::mutex> guard(lock_);
    caption_ = text;
  }
  void set_button_enabled(Button button, bool enabled) override {
    std::lock_guard<std::mutex> guard(lock_);
    buttons_[static_cast<size_t>(button)] = enabled;
    if (on_button_) on_button_(button, enabled);
  }
  void clear_rows(ListView list) override {
    std::lock_guard<std::mutex> guard(lock_);
    rows_[list].clear();
  }
  void insert_row(ListView list, int row, const std::string& number_text) override {
    if (insert_delay_.count() > 0) std::this_thread::sleep_for(insert_delay_);
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<Row>& rows = rows_[list];
    if (row < 0 || static_cast<size_t>(row) > rows.size()) return;
    rows.insert(rows.begin() + row, Row{number_text, "", false});
  }
  void set_row_text(ListView list, int row, const std::string& text) override {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<Row>& rows = rows_[list];
    if (row >= 0 && static_cast<size_t>(row) < rows.size()) rows[row].text = text;
  }
  std::string row_text(ListView list, int row) override {
    std::lock_guard<std::mutex> guard(lock_);
    const std::vector<Row>& rows = rows_[list];
    return row >= 0 && static_cast<size_t>(row) < rows.size() ? rows[row].text : std::string();
  }
  void select_row(ListView, int) override {}
  int row_count(ListView list) override {
    std::lock_guard<std::mutex> guard(lock_);
    return static_cast<int>(rows_[list].size());
  }
  bool row_checked(int row) override {
    std::lock_guard<std::mutex> guard(lock_);
    const std::vector<Row>& rows = rows_[ListView::kContentList];
    return row >= 0 && static_cast<size_t>(row) < rows.size() && rows[row].checked;
  }
  void set_row_checked(int row, bool checked) override {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<Row>& rows = rows_[ListView::kContentList];
    if (row >= 0 && static_cast<size_t>(row) < rows.size()) rows[row].checked = checked;
  }

  bool retry_match(int attempt) override {
    std::function<bool(int)> decide;
    {
      std::lock_guard<std::mutex> guard(lock_);
      retries_ = attempt;
      decide = on_retry_;
    }
    return decide ? decide(attempt) : false;
  }
  void match_finished(bool page_arrived) override {
    std::lock_guard<std::mutex> guard(lock_);
    match_results_.push_back(page_arrived);
  }
  void collect_started(int total) override {
    std::lock_guard<std::mutex> guard(lock_);
    started_total_ = total;
    finished_since_start_ = 0;
  }
  void chapter_finished(int, bool empty) override {
    std::lock_guard<std::mutex> guard(lock_);
    ++chapters_finished_;
    ++finished_since_start_;
    empty_chapters_ += empty;
  }
  void collect_finished() override {
    std::lock_guard<std::mutex> guard(lock_);
    ++collections_finished_;
    finished_.notify_all();
  }

  // Test side.
  void set_edit(EditBox box, std::string text) {
    std::lock_guard<std::mutex> guard(lock_);
    edits_[box] = std::move(text);
  }
  void set_thread_count(std::string text) {
    std::lock_guard<std::mutex> guard(lock_);
    thread_count_ = std::move(text);
  }
  // Runs on the retrying thread; answering false gives the Match up.
  void on_retry(std::function<bool(int)> decide) {
    std::lock_guard<std::mutex> guard(lock_);
    on_retry_ = std::move(decide);
  }
  // Runs under the fake's lock on every button change.
  void on_button(std::function<void(Button, bool)> observe) {
    std::lock_guard<std::mutex> guard(lock_);
    on_button_ = std::move(observe);
  }
  bool wait_collect_finished(int count, std::chrono::seconds limit) {
    std::unique_lock<std::mutex> guard(lock_);
    return finished_.wait_for(guard, limit, [&] { return collections_finished_ >= count; });
  }
  std::array<bool, 3> buttons() {
    std::lock_guard<std::mutex> guard(lock_);
    return buttons_;
  }
  std::vector<Row> rows(ListView list) {
    std::lock_guard<std::mutex> guard(lock_);
    return rows_[list];
  }
  std::string count_label() {
    std::lock_guard<std::mutex> guard(lock_);
    return count_label_;
  }
  std::vector<std::string> count_labels() {
    std::lock_guard<std::mutex> guard(lock_);
    return count_labels_;
  }
  std::string caption() {
    std::lock_guard<std::mutex> guard(lock_);
    return caption_;
  }
  std::vector<bool> match_results() {
    std::lock_guard<std::mutex> guard(lock_);
    return match_results_;
  }
  int retries() {
    std::lock_guard<std::mutex> guard(lock_);
    return retries_;
  }
  int started_total() {
    std::lock_guard<std::mutex> guard(lock_);
    return started_total_;
  }
  int chapters_finished() {
    std::lock_guard<std::mutex> guard(lock_);
    return chapters_finished_;
  }
  // Chapters reported since the last collect_started, as a progress bar
  // that starts counting there sees them.
  int finished_since_start() {
    std::lock_guard<std::mutex> guard(lock_);
    return finished_since_start_;
  }
  // Each row insertion first waits this long, as a busy window may.
  void slow_row_inserts(std::chrono::milliseconds delay) { insert_delay_ = delay; }
  int empty_chapters() {
    std::lock_guard<std::mutex> guard(lock_);
    return empty_chapters_;
  }
  int collections_finished() {
    std::lock_guard<std::mutex> guard(lock_);
    return collections_finished_;
  }

 private:
  std::mutex lock_;
  std::condition_variable finished_;
  std::map<EditBox, std::string> edits_;
  std::string thread_count_ = "500";
  std::string count_label_;
  std::vector<std::string> count_labels_;
  std::string caption_;
  std::array<bool, 3> buttons_ = {true, false, false};
  std::map<ListView, std::vector<Row>> rows_;
  std::function<bool(int)> on_retry_;
  std::function<void(Button, bool)> on_button_;
  std::vector<bool> match_results_;
  int retries_ = 0;
  int started_total_ = -1;
  int chapters_finished_ = 0;
  int finished_since_start_ = 0;
  std::chrono::milliseconds insert_delay_{0};
  int empty_chapters_ = 0;
  int collections_finished_ = 0;
};

#endif  // NOVEL_TESTS_SCRAPE_FAKE_WINDOW_CONTROLS_H_
