// novel-collector: with no argument it opens the window; with a catalogue
// address it collects the book without one (see headless.h).
#include <QApplication>
#include <QStringList>
#include <cstdio>

#include "app/headless.h"
#include "app/main_window.h"
#include "app/program.h"
#include "platform/curl_transfer.h"
#include "platform/message_pump.h"
#include "platform/process_memory.h"
#include "platform/program_files.h"

namespace {

int run_window(int argc, char** argv) {
  QApplication application(argc, argv);
  Program program(program_directory());
  // Timed waits on this thread keep the window's events flowing.
  register_message_pump([] { QCoreApplication::processEvents(); });
  int status = 0;
  {
    MainWindow window(program.controls(), program.state().EmptyChapterIndexes,
                      program.window_actions());
    window.show();
    status = QApplication::exec();
  }
  register_message_pump({});
  program.shut_down();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  // All before any thread starts: libcurl's global set-up is not thread-safe,
  // a thousand connections need more than the usual open-file limit, and the
  // heap's rules must not change under running threads.
  return_large_blocks_to_system();
  init_network();
  raise_open_file_limit();

  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  HeadlessOptions options;
  QString message;
  switch (parse_command_line(arguments, &options, &message)) {
    case CommandLine::kOpenWindow:
      return run_window(argc, argv);
    case CommandLine::kShowHelp:
      std::fputs(message.toLocal8Bit().constData(), stdout);
      return static_cast<int>(ExitStatus::kAllChapters);
    case CommandLine::kBadUsage:
      std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
      return static_cast<int>(ExitStatus::kFailure);
    case CommandLine::kRunHeadless:
      break;
  }
  Program program(options.output_directory.empty() ? program_directory()
                                                   : options.output_directory);
  return static_cast<int>(run_headless(options, program, stdout, stderr));
}
