#include "app/program.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QString>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <utility>

#include "app/gbk_qt.h"
#include "app/text_export.h"
#include "scrape/catalogue_match.h"
#include "scrape/collect_driver.h"
#include "threads/thread_launcher.h"

namespace {

// The Program run_export works on; set while one exists.
std::atomic<Program*> running_program{nullptr};

// How far below the window the work its buttons start runs. A thread made by
// another inherits its priority, so the pool's manager and workers and the
// completion timer that a routine starts run lowered too: hundreds of busy
// chapter jobs then cannot keep the GUI thread from a processor for long,
// while the window, which wakes briefly every few milliseconds, costs them
// next to nothing.
constexpr int kBackgroundNiceSteps = 5;

void lower_this_thread_priority() {
  const auto me = static_cast<id_t>(gettid());
  errno = 0;
  const int nice = getpriority(PRIO_PROCESS, me);
  if (errno == 0) setpriority(PRIO_PROCESS, me, nice + kBackgroundNiceSteps);
}

int32_t run_match_in_background() {
  lower_this_thread_priority();
  return run_match();
}

int32_t run_collect_in_background() {
  lower_this_thread_priority();
  return run_collect();
}

int32_t run_export_in_background() {
  lower_this_thread_priority();
  return run_export();
}

}  // namespace

Program::Program(std::string export_directory)
    : export_directory_(std::move(export_directory)),
      CompletionTimer(std::make_unique<TimerThread>()) {
  context_.state = &state_;
  context_.controls = &controls_;
  context_.CollectPool = &CollectPool;
  context_.CompletionTimer = CompletionTimer.get();
  install_scrape_context(&context_);
  running_program.store(this, std::memory_order_release);
}

Program::~Program() {
  shut_down();
  running_program.store(nullptr, std::memory_order_release);
  install_scrape_context(nullptr);
  // Members go in reverse order: the timer and the pool (now idle) before the
  // state their jobs read, the controls last.
}

bool Program::launch(RoutineRef routine) {
  ThreadHandle handle = nullptr;
  if (!launch_thread(routine, {}, &handle)) return false;
  std::lock_guard<std::mutex> guard(launched_lock_);
  // Handles of routines that have ended are closed here, so the list stays
  // as short as the number of routines still running.
  std::erase_if(launched_, [](ThreadHandle thread) {
    if (!wait_native_thread(thread, 0)) return false;
    close_native_thread(thread);
    return true;
  });
  launched_.push_back(handle);
  return true;
}

WindowActions Program::window_actions() {
  // The click handler disabled the buttons; when no thread could be started,
  // nothing else would give them back.
  auto start = [this](RoutineRef routine, std::initializer_list<Button> give_back) {
    if (launch(routine)) return;
    for (Button button : give_back) controls_.set_button_enabled(button, true);
  };
  return WindowActions{[start] { start(run_match_in_background, {Button::kMatch}); },
                       [start] {
                         start(run_collect_in_background, {Button::kMatch, Button::kCollect});
                       },
                       [start] { start(run_export_in_background, {Button::kExport}); }};
}

void Program::join_launched() {
  std::vector<ThreadHandle> threads;
  {
    std::lock_guard<std::mutex> guard(launched_lock_);
    threads.swap(launched_);
  }
  for (ThreadHandle thread : threads) {
    wait_native_thread(thread, -1);
    close_native_thread(thread);
  }
}

void Program::shut_down() {
  if (shut_down_) return;
  shut_down_ = true;
  controls_.close();
  // A Match gives up at its next retry, an export's message box returns, and
  // a Collect finishes queuing its jobs.
  join_launched();
  // Destroying the timer waits for a completion tick that is running, so no
  // tick can reset the pool while it is being stopped below.
  CompletionTimer.reset();
  context_.CompletionTimer = nullptr;
  // With jobs pending, the running ones finish (their rows land in the
  // still-living controls) and the queued ones are dropped. Without, no job
  // can start any more and the pool's destruction has nothing to wait for.
  if (CollectPool.pending_count() != 0) CollectPool.reset();
}

int32_t run_export() {
  Program* program = running_program.load(std::memory_order_acquire);
  if (program == nullptr) return 0;
  ControlModel& controls = program->controls();
  ExportResult result = export_ticked_chapters(controls, program->state().BookTitle.get(),
                                               program->export_directory());
  controls.set_button_enabled(Button::kExport, true);
  controls.show_message(to_gbk(QStringLiteral("系统提示")), export_message(result));
  return 0;
}
