#include "soak/soak_collections.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "app/gbk_qt.h"
#include "app/headless.h"
#include "app/list_commands.h"
#include "app/main_window.h"
#include "app/program.h"
#include "platform/message_pump.h"

namespace {

constexpr int kMatchTimeoutMs = 120 * 1000;
constexpr int kCollectTimeoutMs = 30 * 60 * 1000;
constexpr int kMessageTimeoutMs = 120 * 1000;

// Reads the one .txt file the export left in `directory` and removes it, so
// that the next collection starts from an empty directory.
bool take_export(const std::string& directory, std::string* bytes, std::string* problem) {
  std::error_code error;
  std::vector<std::filesystem::path> files;
  for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end;
       it.increment(error)) {
    if (it->path().extension() == ".txt") files.push_back(it->path());
  }
  if (files.size() != 1) {
    *problem = "expected one exported file, found " + std::to_string(files.size());
    for (const auto& file : files) std::filesystem::remove(file, error);
    return false;
  }
  std::ifstream in(files.front(), std::ios::binary);
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  in.close();
  std::filesystem::remove(files.front(), error);
  return true;
}

std::vector<int> lost_chapters_of(ControlModel& controls) {
  std::vector<int> rows;
  find_empty_chapters(controls, rows);
  for (int& row : rows) ++row;  // row j-1 holds chapter j
  return rows;
}

template <typename Predicate>
bool pump_until(Predicate done, int timeout_ms) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeout_ms) return false;
    pump_gui_events();
    QThread::msleep(2);
  }
  return true;
}

}  // namespace

void pump_gui_events() {
  QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

CollectionOutcome collect_headless(const SoakBook& book, FILE* sink) {
  CollectionOutcome outcome;
  HeadlessOptions options;
  options.address = book.catalogue;
  options.threads = book.threads;
  options.match_pattern = book.match_pattern;
  options.filter_pattern = book.filter_pattern;
  options.output_directory = book.directory;
  options.quiet = true;
  ExitStatus status;
  {
    Program program(book.directory);
    status = run_headless(options, program, sink, sink);
    outcome.lost_chapters = lost_chapters_of(program.controls());
  }
  if (status != ExitStatus::kAllChapters && status != ExitStatus::kEmptyChapters) {
    outcome.problem = "headless run ended with status " + std::to_string(static_cast<int>(status));
    return outcome;
  }
  if ((status == ExitStatus::kEmptyChapters) == outcome.lost_chapters.empty()) {
    outcome.problem = "exit status " + std::to_string(static_cast<int>(status)) +
                      " does not match the empty rows";
  }
  outcome.ended = take_export(book.directory, &outcome.exported, &outcome.problem);
  return outcome;
}

WindowCollector::WindowCollector(const SoakBook& book)
    : book_(book), program_(std::make_unique<Program>(book.directory)) {
  // Timed waits on this thread keep the window's events flowing, as in the
  // collector's own window mode.
  register_message_pump([] { QCoreApplication::processEvents(); });
  window_ = std::make_unique<MainWindow>(
      program_->controls(), program_->state().EmptyChapterIndexes, program_->window_actions());
  window_->show();
  const std::pair<const char*, const std::string*> edits[] = {
      {"目录地址", &book_.catalogue},
      {"正则表达式匹配章节", &book_.match_pattern},
      {"过滤章节表达式", &book_.filter_pattern},
  };
  for (const auto& [name, text] : edits) {
    auto* edit = window_->findChild<QLineEdit*>(QString::fromUtf8(name));
    if (edit == nullptr) {
      setup_problem_ = std::string("no edit box ") + name;
      return;
    }
    edit->setText(QString::fromStdString(*text));
  }
  auto* threads = window_->findChild<QComboBox*>(QStringLiteral("线程数组合框"));
  const int index = threads ? threads->findText(QString::number(book_.threads)) : -1;
  if (index < 0) {
    setup_problem_ = "the window offers no thread count " + std::to_string(book_.threads);
    return;
  }
  threads->setCurrentIndex(index);
  pump_gui_events();
}

WindowCollector::~WindowCollector() {
  window_.reset();
  register_message_pump({});
  program_->shut_down();
  program_.reset();
  pump_gui_events();
}

std::string WindowCollector::button_states() {
  std::string states;
  for (const char* name : {"匹配按钮", "采集按钮", "输出TXT按钮"}) {
    auto* button = window_->findChild<QPushButton*>(QString::fromUtf8(name));
    states += button != nullptr && button->isEnabled() ? 't' : 'f';
  }
  return states;
}

bool WindowCollector::click_and_wait(const char* button, const char* states, int timeout_ms) {
  auto* push = window_->findChild<QPushButton*>(QString::fromUtf8(button));
  if (push == nullptr) return false;
  push->click();
  return pump_until([&] { return button_states() == states; }, timeout_ms);
}

// Waits for the export's message box, closes it with OK and waits until it
// has gone, as a user would before the next Match.
bool WindowCollector::answer_export_message() {
  QMessageBox* box = nullptr;
  const bool shown = pump_until(
      [&] {
        for (QMessageBox* candidate : window_->findChildren<QMessageBox*>()) {
          if (candidate->isVisible()) box = candidate;
        }
        return box != nullptr;
      },
      kMessageTimeoutMs);
  if (!shown) return false;
  box->button(QMessageBox::Ok)->click();
  return pump_until([&] { return window_->findChildren<QMessageBox*>().isEmpty(); },
                    kMessageTimeoutMs);
}

CollectionOutcome WindowCollector::collect() {
  CollectionOutcome outcome;
  if (!setup_problem_.empty()) {
    outcome.problem = setup_problem_;
    return outcome;
  }
  if (!click_and_wait("匹配按钮", "ttf", kMatchTimeoutMs)) {
    outcome.problem = "Match did not give the buttons back (" + button_states() + ")";
    return outcome;
  }
  if (!click_and_wait("采集按钮", "ttt", kCollectTimeoutMs)) {
    outcome.problem = "Collect did not give the buttons back (" + button_states() + ")";
    return outcome;
  }
  auto* select_all = window_->findChild<QAction*>(QStringLiteral("全选"));
  if (select_all == nullptr) {
    outcome.problem = "no 全选 action";
    return outcome;
  }
  select_all->trigger();
  auto* export_button = window_->findChild<QPushButton*>(QStringLiteral("输出TXT按钮"));
  if (export_button == nullptr) {
    outcome.problem = "no 输出TXT按钮";
    return outcome;
  }
  export_button->click();
  if (!answer_export_message()) {
    outcome.problem = "the export's message box did not come and go";
    return outcome;
  }
  outcome.lost_chapters = lost_chapters_of(program_->controls());
  outcome.ended = take_export(book_.directory, &outcome.exported, &outcome.problem);
  return outcome;
}
