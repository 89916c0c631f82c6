// Program: start-up and exit of the collector. It creates the control model,
// AppState and the collection's pool and timer, installs them as the context
// the scrape routines work on, starts the three buttons' routines on threads
// of their own, and at exit stops everything in an order in which no thread
// can touch what has been released.
//
// Exactly one Program exists at a time; the window and the headless mode each
// make one on the main thread and keep it until they end. launch() and the
// accessors are safe from any thread; shut_down() belongs to the main thread.
#ifndef NOVEL_APP_PROGRAM_H_
#define NOVEL_APP_PROGRAM_H_

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/control_model.h"
#include "app/main_window.h"
#include "platform/native_thread.h"
#include "platform/routine_table.h"
#include "scrape/app_state.h"
#include "threads/thread_pool.h"
#include "threads/timer_thread.h"

class Program {
 public:
  // The export writes into `export_directory`.
  explicit Program(std::string export_directory);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  ControlModel& controls() { return controls_; }
  AppState& state() { return state_; }
  const std::string& export_directory() const { return export_directory_; }

  // Starts `routine` on a thread of its own through the launcher; shut_down()
  // waits for it. False when the thread could not be created.
  bool launch(RoutineRef routine);
  // The window's buttons start run_match, run_collect and run_export.
  WindowActions window_actions();

  // Closes the controls (no routine waits on the window any more), waits for
  // the launched routines, stops the completion timer and lets the running
  // chapter jobs finish while the queued ones are dropped. Later calls do
  // nothing.
  void shut_down();

 private:
  void join_launched();

  const std::string export_directory_;
  // Declared first, released last: every thread writes through it.
  ControlModel controls_;
  AppState state_;
  ThreadPool CollectPool;
  // Held apart so that shut_down() can destroy it, which waits for its thread.
  std::unique_ptr<TimerThread> CompletionTimer;
  ScrapeContext context_;

  std::mutex launched_lock_;
  std::vector<ThreadHandle> launched_;  // guarded by launched_lock_
  bool shut_down_ = false;
};

// The routine behind 输出TXT按钮, on the running Program: writes the ticked
// chapters, enables 输出TXT按钮 again and reports the path in a message box,
// returning once the box is closed. Answers 0.
int32_t run_export();

#endif  // NOVEL_APP_PROGRAM_H_
