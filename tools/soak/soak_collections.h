// One whole collection of a served book, run in this process the way each
// front end runs it: headless (run_headless on a fresh Program, as the
// collector's headless mode does once per process) or through the real
// MainWindow (Match, Collect, tick all, Export, answer the message box), the
// window and its Program kept from one collection to the next as a user's
// session keeps them. novel-soak runs these many times in a row.
//
// Main thread only; the window collector needs a QApplication.
#ifndef NOVEL_SOAK_SOAK_COLLECTIONS_H_
#define NOVEL_SOAK_SOAK_COLLECTIONS_H_

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class MainWindow;
class Program;

// What the user would type for the served book; every text is ASCII.
struct SoakBook {
  std::string catalogue;
  std::string match_pattern;
  std::string filter_pattern;
  std::string directory;  // where the export lands; emptied after each collection
  int threads = 500;
};

struct CollectionOutcome {
  bool ended = false;              // the collection ended and wrote its file
  std::string problem;             // why not, or what went wrong on the way
  std::vector<int> lost_chapters;  // chapter numbers whose rows stayed empty
  std::string exported;            // the file's bytes
};

// Runs the headless mode's routine; its progress and messages go to `sink`.
CollectionOutcome collect_headless(const SoakBook& book, FILE* sink);

class WindowCollector {
 public:
  // Opens the window offscreen with the book's address, patterns and thread
  // count typed in. REQUIRES: a QApplication exists.
  explicit WindowCollector(const SoakBook& book);
  ~WindowCollector();
  WindowCollector(const WindowCollector&) = delete;
  WindowCollector& operator=(const WindowCollector&) = delete;

  // Empty when the window could not be set up as asked.
  const std::string& setup_problem() const { return setup_problem_; }
  CollectionOutcome collect();

 private:
  bool click_and_wait(const char* button, const char* states, int timeout_ms);
  std::string button_states();
  bool answer_export_message();

  SoakBook book_;
  std::unique_ptr<Program> program_;
  std::unique_ptr<MainWindow> window_;
  std::string setup_problem_;
};

// Handles the GUI thread's pending events, deferred deletions included (the
// window's message boxes delete themselves on close), as the application's
// event loop would between two user actions.
void pump_gui_events();

#endif  // NOVEL_SOAK_SOAK_COLLECTIONS_H_
