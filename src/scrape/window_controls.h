// The control access through which the scrape routines (Match, Collect, the
// chapter jobs, the completion check) and the export read and write the main
// window: edit boxes, the thread-count choice, the count label, the caption,
// the three buttons and the two list views. The Qt window implements it, and
// so do the headless mode and the tests, so one set of routines drives all
// three.
//
// Thread safety: every method may be called from any thread at any time, and
// its effect is complete when it returns: a row text set on one thread is
// what row_text() returns on any other thread afterwards. No method ever waits
// for the GUI thread, so a worker can never block on a window that is itself
// waiting for workers. Texts cross the interface as GBK (code page 936) bytes.
#ifndef NOVEL_SCRAPE_WINDOW_CONTROLS_H_
#define NOVEL_SCRAPE_WINDOW_CONTROLS_H_

#include <string>
#include <string_view>

// The three single-line edit boxes.
enum class EditBox {
  kCatalogueAddress,  // 目录地址
  kMatchPattern,      // 正则表达式匹配章节
  kFilterPattern,     // 过滤章节表达式
};

// The three push buttons, the only controls whose enabled state changes.
enum class Button {
  kMatch,    // 匹配按钮
  kCollect,  // 采集按钮
  kExport,   // 输出TXT按钮
};

// The two report-style list views. Each has two columns: column 0 holds the
// row's 1-based number, column 1 the content. Rows count from 0.
enum class ListView {
  kMatchList,    // 匹配列表框: one row per matched link
  kContentList,  // 章节内容列表框: one row per chapter, with a check box
};

// A chapter text that holds nothing but line breaks: the chapter's text did
// not arrive. A failed job writes CR LF alone; an unwritten row is empty.
inline bool is_empty_chapter_text(std::string_view text) {
  return text.find_first_not_of("\r\n") == std::string_view::npos;
}

class WindowControls {
 public:
  virtual ~WindowControls() = default;

  virtual std::string edit_text(EditBox box) = 0;
  // The text of the selected item of 线程数组合框 ("100" ... "1000").
  virtual std::string thread_count_text() = 0;
  // Sets 匹配数量输出, the one label whose text changes.
  virtual void set_count_label(const std::string& text) = 0;
  virtual void set_caption(const std::string& text) = 0;
  virtual void set_button_enabled(Button button, bool enabled) = 0;

  virtual void clear_rows(ListView list) = 0;
  // Inserts a row at `row` whose column 0 reads `number_text` and whose
  // column 1 is empty. REQUIRES: 0 <= row <= row_count(list).
  virtual void insert_row(ListView list, int row, const std::string& number_text) = 0;
  // Column 1 of `row`. Out-of-range rows are ignored (set) or read as empty.
  virtual void set_row_text(ListView list, int row, const std::string& text) = 0;
  virtual std::string row_text(ListView list, int row) = 0;
  // Selects `row` alone and gives it the focus; the list is not scrolled.
  virtual void select_row(ListView list, int row) = 0;
  virtual int row_count(ListView list) = 0;

  // The check box in front of a row of 章节内容列表框; out of range reads false.
  virtual bool row_checked(int row) = 0;
  virtual void set_row_checked(int row, bool checked) = 0;

  // Progress hooks for the progress bar and the headless mode's report. They
  // change no control the routines read.
  //
  // Called by run_match after `attempt` fetches (1, 2, ...) gave an empty
  // page, before it pauses and tries again. Answering false gives the match
  // up: run_match then enables 匹配按钮 alone and calls match_finished(false).
  virtual bool retry_match(int attempt) = 0;
  // Called last by run_match; `page_arrived` is false only when it gave up.
  virtual void match_finished(bool page_arrived) = 0;
  // Called by run_collect before the first of `total` rows is inserted and
  // its job queued, so no chapter can end before it; with no chapter address
  // it calls collect_finished() alone.
  virtual void collect_started(int total) = 0;
  // Called by the chapter job right after it has written its row. `empty` is
  // is_empty_chapter_text() of what it wrote.
  virtual void chapter_finished(int row, bool empty) = 0;
  // Called last by the collection's end (check_collect_done, after the pool's
  // reset and the buttons are enabled) or by run_collect when it found no
  // chapter address.
  virtual void collect_finished() = 0;
};

#endif  // NOVEL_SCRAPE_WINDOW_CONTROLS_H_
