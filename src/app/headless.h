// The collector without a window: given a catalogue address on the command
// line, it runs Match, Collect, ticks every chapter and exports, with the same
// routines and the same control model the window uses. Progress goes to
// stderr (a bar that rewrites one line on a terminal, plain lines otherwise),
// the written file's path is the last line on stdout.
//
// Used by main on its thread; not for concurrent use.
#ifndef NOVEL_APP_HEADLESS_H_
#define NOVEL_APP_HEADLESS_H_

#include <QString>
#include <QStringList>
#include <cstdio>
#include <string>

class Program;

// The process's exit status; every exit of the collector takes one of these.
enum class ExitStatus {
  kAllChapters = 0,    // the file was written and every chapter arrived
  kFailure = 1,        // a usage error, or the file could not be written
  kNoChapters = 2,     // the catalogue gave no page or no chapter
  kEmptyChapters = 3,  // the file was written, some chapters came back empty
};

struct HeadlessOptions {
  std::string address;  // GBK, like every text the routines read
  int threads = 500;
  std::string match_pattern;     // GBK; the window's default when not given
  std::string filter_pattern;    // GBK; the window's default when not given
  std::string output_directory;  // empty: the program's directory
  std::string ca_file;           // PEM authorities for the catalogue; empty: the system's
  bool quiet = false;
};

enum class CommandLine {
  kOpenWindow,  // no argument at all
  kRunHeadless,
  kShowHelp,  // `message` holds the help text
  kBadUsage,  // `message` says what is wrong
};

// Reads the arguments (the program name first). Options: -t/--threads N,
// -m/--match-pattern, -f/--filter-pattern, -o/--output-dir, --ca-file,
// -q/--quiet, -h/--help, and one catalogue address.
CommandLine parse_command_line(const QStringList& arguments, HeadlessOptions* options,
                               QString* message);

// Runs one whole scrape on `program`, whose controls must not be shown in a
// window. A match is given up after 5 empty pages.
ExitStatus run_headless(const HeadlessOptions& options, Program& program, FILE* out, FILE* err);

#endif  // NOVEL_APP_HEADLESS_H_
