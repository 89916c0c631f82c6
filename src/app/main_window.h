// MainWindow, the program's one window: the catalogue address, the two
// patterns, the three buttons, the thread-count choice, the two list views,
// the popup menu on the chapter list, a progress bar and the message boxes.
// Every control carries its design name as its Qt object name.
//
// The window owns no state the workers use: it shows a ControlModel, taking
// the model's changes in batches on a 50 ms timer, and writes back only what
// the user types, chooses or ticks. Its handlers start the routines through
// WindowActions and return at once.
//
// Thread safety: GUI thread only. Workers never reach the window; closing it
// closes the ControlModel, which releases anything a worker waits on.
#ifndef NOVEL_APP_MAIN_WINDOW_H_
#define NOVEL_APP_MAIN_WINDOW_H_

#include <QWidget>
#include <functional>
#include <vector>

#include "app/control_model.h"
#include "scrape/window_controls.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QTableView;
class QTimer;
class RowsTableModel;

// How the window's buttons start their work; each starts its routine on a
// thread of its own and returns at once.
struct WindowActions {
  std::function<void()> start_match;
  std::function<void()> start_collect;
  std::function<void()> start_export;
};

class MainWindow : public QWidget {
  Q_OBJECT

 public:
  // `empty_chapter_rows` is AppState::EmptyChapterIndexes, which only this
  // window's 检查 touches. Both references must outlive the window.
  MainWindow(ControlModel& controls, std::vector<int>& empty_chapter_rows, WindowActions actions,
             QWidget* parent = nullptr);
  ~MainWindow() override;

  // Runs once, after every control exists: the caption and "500".
  void handle_window_created();

  void handle_match_button();
  void handle_collect_button();
  void handle_export_button();
  void handle_content_list_right_click();
  void handle_select_all();
  void handle_invert_checks();
  void handle_find_empty();

  // Shows what changed in the model since the last call. The timer calls it;
  // tests may call it to see a change at once.
  void sync_from_model();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void build_controls();
  void disable_buttons(std::initializer_list<Button> buttons);
  void apply_buttons(const std::array<bool, 3>& enabled);
  void show_progress(const CollectProgress& progress);
  void show_worker_message(const MessageRequest& request);

  ControlModel& controls_;
  std::vector<int>& empty_chapter_rows_;
  WindowActions actions_;

  QLineEdit* catalogue_address_ = nullptr;
  QLineEdit* match_pattern_ = nullptr;
  QLineEdit* filter_pattern_ = nullptr;
  QPushButton* buttons_[3] = {};  // indexed by Button
  QLabel* count_label_ = nullptr;
  QComboBox* thread_count_ = nullptr;
  QTableView* views_[2] = {};  // indexed by ListView
  RowsTableModel* rows_[2] = {};
  QProgressBar* progress_ = nullptr;
  QMenu* menu_ = nullptr;
  QTimer* sync_timer_ = nullptr;
};

#endif  // NOVEL_APP_MAIN_WINDOW_H_
