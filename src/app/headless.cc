#include "app/headless.h"

#include <unistd.h>
#include <QCommandLineParser>

#include <chrono>
#include <vector>

#include "app/gbk_qt.h"
#include "app/list_commands.h"
#include "app/program.h"
#include "app/text_export.h"
#include "app/window_defaults.h"
#include "platform/internet_session.h"
#include "scrape/catalogue_match.h"
#include "scrape/collect_driver.h"

namespace {

constexpr int kMatchAttempts = 5;
constexpr int kMaxThreads = 1000;
constexpr std::chrono::milliseconds kProgressInterval{200};
constexpr std::chrono::seconds kPlainProgressInterval{2};

std::string utf8_of(const QString& text) { return text.toUtf8().toStdString(); }

// Chapter progress on stderr: one bar rewritten in place on a terminal, a
// plain line now and then otherwise, nothing when quiet.
class ProgressPrinter {
 public:
  ProgressPrinter(FILE* err, bool quiet) : err_(err), quiet_(quiet), tty_(isatty(fileno(err))) {}

  void show(const CollectProgress& progress) {
    if (quiet_) return;
    auto now = std::chrono::steady_clock::now();
    if (!tty_ && now - last_line_ < kPlainProgressInterval) return;
    last_line_ = now;
    if (tty_) {
      constexpr int kWidth = 40;
      int filled = progress.total > 0 ? progress.finished * kWidth / progress.total : 0;
      std::fprintf(err_, "\r[%s%s] %d/%d chapters, %d empty", std::string(filled, '#').c_str(),
                   std::string(kWidth - filled, '.').c_str(), progress.finished, progress.total,
                   progress.empty);
    } else {
      std::fprintf(err_, "collected %d/%d chapters, %d empty\n", progress.finished, progress.total,
                   progress.empty);
    }
    std::fflush(err_);
  }

  void finish(const CollectProgress& progress) {
    if (quiet_) return;
    last_line_ = {};
    show(progress);
    if (tty_) std::fputc('\n', err_);
  }

 private:
  FILE* err_;
  const bool quiet_;
  const bool tty_;
  std::chrono::steady_clock::time_point last_line_{};
};

}  // namespace

CommandLine parse_command_line(const QStringList& arguments, HeadlessOptions* options,
                               QString* message) {
  if (arguments.size() <= 1) return CommandLine::kOpenWindow;
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Collects every chapter of one book into a GBK TXT file. Without arguments "
                     "it opens the window; with a catalogue address it runs without one."));
  parser.addPositionalArgument(QStringLiteral("address"),
                               QStringLiteral("The address of the book's catalogue page."));
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Show this help."));
  const QCommandLineOption threads({QStringLiteral("t"), QStringLiteral("threads")},
                                   QStringLiteral("Chapters fetched at once, 1 to 1000."),
                                   QStringLiteral("N"), QStringLiteral("500"));
  const QCommandLineOption match({QStringLiteral("m"), QStringLiteral("match-pattern")},
                                 QStringLiteral("Pattern of the chapter links."),
                                 QStringLiteral("PATTERN"),
                                 QString::fromUtf8(kDefaultMatchPattern));
  const QCommandLineOption filter({QStringLiteral("f"), QStringLiteral("filter-pattern")},
                                  QStringLiteral("Pattern of a chapter address within a link."),
                                  QStringLiteral("PATTERN"),
                                  QString::fromUtf8(kDefaultFilterPattern));
  const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output-dir")},
                                  QStringLiteral("Directory of the TXT file (default: the "
                                                 "program's directory)."),
                                  QStringLiteral("DIR"));
  const QCommandLineOption ca_file(
      QStringLiteral("ca-file"),
      QStringLiteral("Check the catalogue's certificate against the authorities in FILE "
                     "(PEM) instead of the system's, for a site with a certificate of its own."),
      QStringLiteral("FILE"));
  const QCommandLineOption quiet({QStringLiteral("q"), QStringLiteral("quiet")},
                                 QStringLiteral("Print no progress."));
  parser.addOptions({help, threads, match, filter, output, ca_file, quiet});

  if (!parser.parse(arguments)) {
    *message = parser.errorText();
    return CommandLine::kBadUsage;
  }
  if (parser.isSet(help)) {
    *message = parser.helpText();
    return CommandLine::kShowHelp;
  }
  const QStringList positional = parser.positionalArguments();
  if (positional.size() != 1) {
    *message = positional.isEmpty() ? QStringLiteral("A catalogue address is needed.")
                                    : QStringLiteral("Only one catalogue address is allowed.");
    return CommandLine::kBadUsage;
  }
  bool number = false;
  int count = parser.value(threads).toInt(&number);
  if (!number || count < 1 || count > kMaxThreads) {
    *message = QStringLiteral("--threads takes a number from 1 to 1000.");
    return CommandLine::kBadUsage;
  }
  options->address = to_gbk(positional[0]);
  options->threads = count;
  options->match_pattern = to_gbk(parser.value(match));
  options->filter_pattern = to_gbk(parser.value(filter));
  options->output_directory = utf8_of(parser.value(output));
  options->ca_file = utf8_of(parser.value(ca_file));
  options->quiet = parser.isSet(quiet);
  return CommandLine::kRunHeadless;
}

ExitStatus run_headless(const HeadlessOptions& options, Program& program, FILE* out, FILE* err) {
  ControlModel& controls = program.controls();
  controls.set_edit_text(EditBox::kCatalogueAddress, options.address);
  controls.set_edit_text(EditBox::kMatchPattern, options.match_pattern);
  controls.set_edit_text(EditBox::kFilterPattern, options.filter_pattern);
  controls.set_thread_count_text(std::to_string(options.threads));
  controls.set_match_attempt_limit(kMatchAttempts);
  set_internet_ca_file(options.ca_file);

  run_match();
  if (controls.match_result() != true) {
    std::fprintf(err, "no catalogue page after %d attempts\n", kMatchAttempts);
    return ExitStatus::kNoChapters;
  }

  int collections = controls.collections_finished();
  run_collect();
  ProgressPrinter printer(err, options.quiet);
  while (!controls.wait_collections_finished(collections, kProgressInterval) &&
         !controls.closed()) {
    printer.show(controls.progress());
  }
  int chapters = controls.row_count(ListView::kContentList);
  if (chapters == 0) {
    std::fprintf(err, "the catalogue lists no chapter\n");
    return ExitStatus::kNoChapters;
  }
  printer.finish(controls.progress());

  handle_select_all(controls);
  ExportResult result =
      export_ticked_chapters(controls, program.state().BookTitle.get(), program.export_directory());
  if (!result.written) {
    std::fprintf(err, "could not write %s: %s\n", result.path.c_str(), result.reason.c_str());
    return ExitStatus::kFailure;
  }
  std::vector<int> empty_rows;
  find_empty_chapters(controls, empty_rows);
  if (!empty_rows.empty()) {
    std::fprintf(err, "%zu of %d chapters came back empty:", empty_rows.size(), chapters);
    for (int row : empty_rows) std::fprintf(err, " %d", row + 1);
    std::fputc('\n', err);
  }
  std::fprintf(out, "%s\n", result.path.c_str());
  std::fflush(out);
  return empty_rows.empty() ? ExitStatus::kAllChapters : ExitStatus::kEmptyChapters;
}
