#include "app/control_model.h"

#include <algorithm>
#include <utility>

#include "app/window_defaults.h"

namespace {

int index_of(EditBox box) { return static_cast<int>(box); }
int index_of(Button button) { return static_cast<int>(button); }

// The first bytes of `text`, at most about `limit`, ending on a character
// boundary of GBK (a lead byte of 0x81 or above carries the next byte).
std::string gbk_prefix(const std::string& text, size_t limit) {
  if (text.size() <= limit) return text;
  size_t end = 0;
  while (end < limit) {
    end += static_cast<unsigned char>(text[end]) >= 0x81 ? 2 : 1;
  }
  return text.substr(0, std::min(end, text.size()));
}

}  // namespace

ControlModel::ControlModel() {
  edits_[index_of(EditBox::kCatalogueAddress)] = kDefaultCatalogueAddress;
  edits_[index_of(EditBox::kMatchPattern)] = kDefaultMatchPattern;
  edits_[index_of(EditBox::kFilterPattern)] = kDefaultFilterPattern;
  thread_count_ = kThreadCounts[kDefaultThreadCountIndex];
  buttons_[index_of(Button::kMatch)] = true;
}

std::string ControlModel::edit_text(EditBox box) {
  std::lock_guard<std::mutex> guard(lock_);
  return edits_[index_of(box)];
}

std::string ControlModel::thread_count_text() {
  std::lock_guard<std::mutex> guard(lock_);
  return thread_count_;
}

void ControlModel::set_count_label(const std::string& text) {
  std::lock_guard<std::mutex> guard(lock_);
  count_label_ = text;
  label_changed_ = true;
}

void ControlModel::set_caption(const std::string& text) {
  std::lock_guard<std::mutex> guard(lock_);
  caption_ = text;
  caption_changed_ = true;
}

void ControlModel::set_button_enabled(Button button, bool enabled) {
  std::lock_guard<std::mutex> guard(lock_);
  buttons_[index_of(button)] = enabled;
  buttons_changed_ = true;
}

void ControlModel::clear_rows(ListView list_view) {
  List& list = list_of(list_view);
  std::vector<Row> old_rows;
  {
    std::lock_guard<std::mutex> guard(list.lock);
    old_rows.swap(list.rows);
    list.dirty_rows.clear();
    list.shown = 0;
    list.rebuilt = true;
    list.selected = -1;
  }
  // The old texts (megabytes after a big collection) are freed outside the lock.
}

void ControlModel::insert_row(ListView list_view, int row, const std::string& number_text) {
  List& list = list_of(list_view);
  std::lock_guard<std::mutex> guard(list.lock);
  int at = std::clamp(row, 0, static_cast<int>(list.rows.size()));
  if (at < list.shown) {
    // Rows the window has move down: it takes the whole list again. Rows
    // appended past what it has (Match and Collect only append) need no
    // more than the next batch.
    for (int dirty : list.dirty_rows) list.rows[dirty].dirty = false;
    list.dirty_rows.clear();
    list.shown = 0;
    list.rebuilt = true;
  }
  list.rows.insert(list.rows.begin() + at, Row{number_text, std::string(), false, false});
}

void ControlModel::set_row_text(ListView list_view, int row, const std::string& text) {
  List& list = list_of(list_view);
  std::string copy = text;
  std::lock_guard<std::mutex> guard(list.lock);
  if (row < 0 || row >= static_cast<int>(list.rows.size())) return;
  list.rows[row].text.swap(copy);
  mark_dirty(list, row);
}

std::string ControlModel::row_text(ListView list_view, int row) {
  List& list = list_of(list_view);
  std::lock_guard<std::mutex> guard(list.lock);
  if (row < 0 || row >= static_cast<int>(list.rows.size())) return std::string();
  return list.rows[row].text;
}

void ControlModel::select_row(ListView list_view, int row) {
  List& list = list_of(list_view);
  {
    std::lock_guard<std::mutex> guard(list.lock);
    if (row < 0 || row >= static_cast<int>(list.rows.size())) return;
    list.selected = row;
  }
  std::lock_guard<std::mutex> guard(lock_);
  select_ = ControlChanges::Selection{list_view, row};
}

int ControlModel::row_count(ListView list_view) {
  List& list = list_of(list_view);
  std::lock_guard<std::mutex> guard(list.lock);
  return static_cast<int>(list.rows.size());
}

bool ControlModel::row_checked(int row) {
  List& list = list_of(ListView::kContentList);
  std::lock_guard<std::mutex> guard(list.lock);
  if (row < 0 || row >= static_cast<int>(list.rows.size())) return false;
  return list.rows[row].checked;
}

void ControlModel::set_row_checked(int row, bool checked) {
  List& list = list_of(ListView::kContentList);
  std::lock_guard<std::mutex> guard(list.lock);
  if (row < 0 || row >= static_cast<int>(list.rows.size())) return;
  if (list.rows[row].checked == checked) return;
  list.rows[row].checked = checked;
  mark_dirty(list, row);
}

bool ControlModel::retry_match(int attempt) {
  std::lock_guard<std::mutex> guard(lock_);
  if (closed_) return false;
  return match_attempt_limit_ == 0 || attempt < match_attempt_limit_;
}

void ControlModel::match_finished(bool page_arrived) {
  std::lock_guard<std::mutex> guard(lock_);
  match_result_ = page_arrived;
}

void ControlModel::collect_started(int total) {
  std::lock_guard<std::mutex> guard(lock_);
  progress_ = CollectProgress{total, 0, 0, true};
  progress_changed_ = true;
}

void ControlModel::chapter_finished(int, bool empty) {
  std::lock_guard<std::mutex> guard(lock_);
  ++progress_.finished;
  if (empty) ++progress_.empty;
  progress_changed_ = true;
}

void ControlModel::collect_finished() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    progress_.running = false;
    progress_changed_ = true;
    ++collections_finished_;
  }
  changed_.notify_all();
}

void ControlModel::set_edit_text(EditBox box, const std::string& text) {
  std::lock_guard<std::mutex> guard(lock_);
  edits_[index_of(box)] = text;
}

void ControlModel::set_thread_count_text(const std::string& text) {
  std::lock_guard<std::mutex> guard(lock_);
  thread_count_ = text;
}

std::string ControlModel::caption() {
  std::lock_guard<std::mutex> guard(lock_);
  return caption_;
}

std::string ControlModel::count_label() {
  std::lock_guard<std::mutex> guard(lock_);
  return count_label_;
}

bool ControlModel::button_enabled(Button button) {
  std::lock_guard<std::mutex> guard(lock_);
  return buttons_[index_of(button)];
}

int ControlModel::selected_row(ListView list_view) {
  List& list = list_of(list_view);
  std::lock_guard<std::mutex> guard(list.lock);
  return list.selected;
}

CollectProgress ControlModel::progress() {
  std::lock_guard<std::mutex> guard(lock_);
  return progress_;
}

void ControlModel::set_match_attempt_limit(int attempts) {
  std::lock_guard<std::mutex> guard(lock_);
  match_attempt_limit_ = std::max(attempts, 0);
}

std::optional<bool> ControlModel::match_result() {
  std::lock_guard<std::mutex> guard(lock_);
  return match_result_;
}

int ControlModel::collections_finished() {
  std::lock_guard<std::mutex> guard(lock_);
  return collections_finished_;
}

bool ControlModel::wait_collections_finished(int seen, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> guard(lock_);
  changed_.wait_for(guard, timeout, [&] { return closed_ || collections_finished_ > seen; });
  return collections_finished_ > seen;
}

void ControlModel::show_message(const std::string& title, const std::string& text) {
  std::unique_lock<std::mutex> guard(lock_);
  if (closed_) return;
  uint64_t id = next_message_id_++;
  new_messages_.push_back(MessageRequest{id, title, text});
  open_messages_.push_back(id);
  changed_.wait(guard, [&] {
    return closed_ ||
           std::find(open_messages_.begin(), open_messages_.end(), id) == open_messages_.end();
  });
}

void ControlModel::answer_message(uint64_t id) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    std::erase(open_messages_, id);
  }
  changed_.notify_all();
}

void ControlModel::close() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    closed_ = true;
    open_messages_.clear();
    new_messages_.clear();
  }
  changed_.notify_all();
}

bool ControlModel::closed() {
  std::lock_guard<std::mutex> guard(lock_);
  return closed_;
}

void ControlModel::mark_dirty(List& list, int row) {
  // A row the window has not taken yet goes to it whole with its next batch.
  if (row >= list.shown || list.rows[row].dirty) return;
  list.rows[row].dirty = true;
  list.dirty_rows.push_back(row);
}

ListUpdate ControlModel::take_list_changes(List& list, size_t max_rows, size_t text_bytes) {
  ListUpdate update;
  std::unique_lock<std::mutex> guard(list.lock, std::try_to_lock);
  if (!guard.owns_lock()) {
    update.more = true;
    return update;
  }
  auto shown_row = [&](int row) {
    const Row& r = list.rows[static_cast<size_t>(row)];
    return DisplayRow{r.number, gbk_prefix(r.text, text_bytes), r.checked};
  };
  update.rebuilt = list.rebuilt;
  list.rebuilt = false;

  std::sort(list.dirty_rows.begin(), list.dirty_rows.end());
  const size_t changed = std::min(max_rows, list.dirty_rows.size());
  update.changed.reserve(changed);
  for (size_t i = 0; i < changed; ++i) {
    const int row = list.dirty_rows[i];
    list.rows[static_cast<size_t>(row)].dirty = false;
    update.changed.emplace_back(row, shown_row(row));
  }
  list.dirty_rows.erase(list.dirty_rows.begin(),
                        list.dirty_rows.begin() + static_cast<std::ptrdiff_t>(changed));

  const size_t appended =
      std::min(max_rows - changed, list.rows.size() - static_cast<size_t>(list.shown));
  update.first_new = list.shown;
  update.new_rows.reserve(appended);
  for (size_t i = 0; i < appended; ++i) update.new_rows.push_back(shown_row(list.shown++));
  update.more = !list.dirty_rows.empty() || static_cast<size_t>(list.shown) < list.rows.size();
  return update;
}

ControlChanges ControlModel::take_changes(size_t max_rows, size_t text_bytes) {
  ControlChanges changes;
  // Rows first: a selection taken below then always refers to rows the
  // window already has.
  for (int i = 0; i < 2; ++i) changes.lists[i] = take_list_changes(lists_[i], max_rows, text_bytes);
  std::unique_lock<std::mutex> guard(lock_, std::try_to_lock);
  if (!guard.owns_lock()) return changes;
  if (caption_changed_) changes.caption = caption_;
  if (label_changed_) changes.count_label = count_label_;
  if (buttons_changed_) changes.buttons = buttons_;
  if (progress_changed_) changes.progress = progress_;
  if (select_ && !changes.lists[static_cast<int>(select_->list)].more) {
    changes.selection = select_;
    select_.reset();
  }
  changes.messages.swap(new_messages_);
  caption_changed_ = label_changed_ = buttons_changed_ = progress_changed_ = false;
  return changes;
}
