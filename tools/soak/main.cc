// novel-soak: many collections in a row in one process, watching for what a
// collection leaves behind. It serves a book with faulty chapters on
// 127.0.0.1, collects it N times headless and N times through the window
// (offscreen), and after each collection records the process's threads, open
// descriptors, resident memory and heap in use.
//
// The baseline is the state after the first collection of each front end, not
// the state before it: the first run leaves things that belong to the life of
// the process and do not grow again (the allocator's per-thread arenas and
// caches, libcurl's and iconv's loaded state, Qt's fonts and offscreen
// platform, the window and its Program, the sanitizer's quarantine). What a
// leak leaves grows with every further run, so the last collection is held to
// within the tolerance of the first.
//
// Exit status: 0 when every collection had the first one's outcome (the same
// lost chapters, which must be those the site's fault plan loses, and the same
// exported bytes) and every figure stayed within the tolerance; 1 otherwise;
// 2 on a usage error or when the book could not be served.
#include <getopt.h>
#include <unistd.h>

#include <QApplication>
#include <QThreadPool>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "demo_site/demo_site.h"
#include "demo_site/http_server.h"
#include "platform/curl_transfer.h"
#include "platform/process_memory.h"
#include "soak/process_figures.h"
#include "soak/soak_collections.h"
#include "soak/soak_report.h"

namespace {

constexpr const char* kUsage =
    "usage: novel-soak [options]\n"
    "  -n, --collections N    collections per front end (default 20)\n"
    "  -c, --chapters N       chapters of the served book (default 2000)\n"
    "  -f, --fail-fraction F  fraction of faulty chapters, 0..1 (default 0.1)\n"
    "  -t, --threads N        the pool's thread count, one the window offers (default 500)\n"
    "  -l, --latency-ms N     delay before every answer (default 5)\n"
    "      --stall            include the fault mode that stalls past the client's time-out\n"
    "      --front F          headless, window or both (default both)\n"
    "      --tolerance P      allowed change of a figure, in percent (default 5)\n"
    "  -h, --help             this text\n";

struct SoakOptions {
  int collections = 20;
  int chapters = 2000;
  double fail_fraction = 0.1;
  int threads = 500;
  int latency_ms = 5;
  bool stall = false;
  bool headless = true;
  bool window = true;
  double tolerance_percent = 5;
};

bool parse_int(const char* text, long low, long high, int* value) {
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || parsed < low || parsed > high) return false;
  *value = static_cast<int>(parsed);
  return true;
}

bool parse_fraction(const char* text, double high, double* value) {
  char* end = nullptr;
  *value = std::strtod(text, &end);
  return end != text && *end == '\0' && *value >= 0 && *value <= high;
}

// 0 to go on, otherwise the exit status.
int parse_options(int argc, char** argv, SoakOptions* options) {
  const option long_options[] = {
      {"collections", required_argument, nullptr, 'n'},
      {"chapters", required_argument, nullptr, 'c'},
      {"fail-fraction", required_argument, nullptr, 'f'},
      {"threads", required_argument, nullptr, 't'},
      {"latency-ms", required_argument, nullptr, 'l'},
      {"stall", no_argument, nullptr, 'S'},
      {"front", required_argument, nullptr, 'F'},
      {"tolerance", required_argument, nullptr, 'T'},
      {"help", no_argument, nullptr, 'h'},
      {nullptr, 0, nullptr, 0},
  };
  for (int option;
       (option = getopt_long(argc, argv, "n:c:f:t:l:h", long_options, nullptr)) != -1;) {
    bool ok = true;
    switch (option) {
      case 'n':
        ok = parse_int(optarg, 1, 100000, &options->collections);
        break;
      case 'c':
        ok = parse_int(optarg, 1, 1000000, &options->chapters);
        break;
      case 'f':
        ok = parse_fraction(optarg, 1, &options->fail_fraction);
        break;
      case 't':
        ok = parse_int(optarg, 1, 1000, &options->threads);
        break;
      case 'l':
        ok = parse_int(optarg, 0, 60000, &options->latency_ms);
        break;
      case 'S':
        options->stall = true;
        break;
      case 'F': {
        const std::string front = optarg;
        ok = front == "both" || front == "headless" || front == "window";
        options->headless = front != "window";
        options->window = front != "headless";
        break;
      }
      case 'T':
        ok = parse_fraction(optarg, 1000, &options->tolerance_percent);
        break;
      case 'h':
        std::fputs(kUsage, stdout);
        return -1;
      default:
        ok = false;
    }
    if (!ok) {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  if (optind != argc) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  return 0;
}

std::vector<ChapterFault> fault_modes(bool stall) {
  std::vector<ChapterFault> modes;
  for (ChapterFault fault : all_faults()) {
    if (fault != ChapterFault::kStall || stall) modes.push_back(fault);
  }
  return modes;
}

// The chapters only one of two ascending lists holds, the first few named:
// "+12 +40 -7" means 12 and 40 were lost only in `lost`, 7 only in `reference`.
std::string chapter_difference(const std::vector<int>& lost, const std::vector<int>& reference) {
  constexpr int kNamed = 12;
  std::vector<int> extra, missing;
  std::set_difference(lost.begin(), lost.end(), reference.begin(), reference.end(),
                      std::back_inserter(extra));
  std::set_difference(reference.begin(), reference.end(), lost.begin(), lost.end(),
                      std::back_inserter(missing));
  std::string text = std::to_string(extra.size()) + " more, " + std::to_string(missing.size()) +
                     " fewer than the first:";
  int named = 0;
  for (const auto& [sign, chapters] : {std::pair("+", &extra), std::pair("-", &missing)}) {
    for (int chapter : *chapters) {
      if (named++ == kNamed) return text + " ...";
      text += std::string(" ") + sign + std::to_string(chapter);
    }
  }
  return text;
}

// Compares one collection's outcome with the first one's; "same" when alike.
std::string compare_outcome(const CollectionOutcome& outcome, const CollectionOutcome& first) {
  if (!outcome.ended) return "FAILED: " + outcome.problem;
  if (!outcome.problem.empty()) return "DIFFERS: " + outcome.problem;
  if (outcome.lost_chapters != first.lost_chapters) {
    return "DIFFERS: lost " + chapter_difference(outcome.lost_chapters, first.lost_chapters);
  }
  if (outcome.exported != first.exported) {
    return "DIFFERS: exported " + std::to_string(outcome.exported.size()) + " bytes, first " +
           std::to_string(first.exported.size());
  }
  return "same";
}

class Soak {
 public:
  Soak(int collections, std::vector<int> planned_losses)
      : collections_(collections), planned_(std::move(planned_losses)) {}

  // Runs the collections of one front end, `pump` keeping its thread's events
  // flowing while the figures settle; false when an outcome differed.
  template <typename Collect, typename Pump>
  bool run(const std::string& front, Collect collect, Pump pump) {
    bool alike = true;
    for (int run = 1; run <= collections_; ++run) {
      SoakRow row;
      row.front = front;
      row.run = run;
      const bool ended = judge(collect, &row);
      // Sampled once this run's outcome is gone, so that the heap holds only
      // the first collection's export, kept for comparison, every time.
      row.figures = settled_process_figures(pump);
      alike = alike && (row.outcome == "first" || row.outcome == "same");
      print_table_row(stdout, row);
      if (run == 1) first_ = row.figures;
      last_ = row.figures;
      // A collection that did not end leaves the process in no state to measure.
      if (!ended) {
        stopped_ = true;
        return false;
      }
    }
    return alike;
  }

  // True once a collection did not end; later ones are not worth running.
  bool stopped() const { return stopped_; }
  const ProcessFigures& first() const { return first_; }
  const ProcessFigures& last() const { return last_; }

 private:
  // Times `collect`, fills the row's outcome and lost count and keeps the
  // first outcome as the reference; true when the collection ended.
  template <typename Collect>
  bool judge(Collect collect, SoakRow* row) {
    const auto start = std::chrono::steady_clock::now();
    CollectionOutcome outcome = collect();
    row->seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    row->lost = outcome.lost_chapters.size();
    if (reference_ != nullptr) {
      row->outcome = compare_outcome(outcome, *reference_);
      return outcome.ended;
    }
    row->outcome = compare_outcome(outcome, outcome);
    if (row->outcome == "same") {
      row->outcome = outcome.lost_chapters == planned_
                         ? "first"
                         : "DIFFERS: not the chapters the fault plan loses";
    }
    reference_ = std::make_unique<CollectionOutcome>(std::move(outcome));
    return reference_->ended;
  }

  const int collections_;
  const std::vector<int> planned_;
  std::unique_ptr<CollectionOutcome> reference_;  // the first collection's, of either front end
  ProcessFigures first_;
  ProcessFigures last_;
  bool stopped_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  SoakOptions options;
  if (const int status = parse_options(argc, argv, &options); status != 0) {
    return status < 0 ? 0 : status;
  }
  // As the collector itself does, before any thread starts.
  return_large_blocks_to_system();
  init_network();
  raise_open_file_limit();
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int qt_argc = 1;
  QApplication application(qt_argc, argv);
  // Qt's shared pool threads (the window uses a couple) leave after 30 s
  // idle, so whether they were counted would depend on how long a collection
  // took; kept for the whole run, they count the same after every one.
  QThreadPool::globalInstance()->setExpiryTimeout(-1);

  SiteOptions site_options;
  site_options.chapter_count = options.chapters;
  site_options.seed = 7;
  site_options.failure_fraction = options.fail_fraction;
  site_options.failure_modes = fault_modes(options.stall);
  const DemoSite site(site_options);
  ServerOptions server_options;
  server_options.latency_ms = options.latency_ms;
  server_options.loop_count = 2;
  HttpServer server(server_options, site.handler());
  std::string error;
  if (!server.start(&error)) {
    std::fprintf(stderr, "novel-soak: cannot serve the book: %s\n", error.c_str());
    return 2;
  }
  const std::filesystem::path directory =
      std::filesystem::temp_directory_path() / ("novel-soak-" + std::to_string(getpid()));
  std::filesystem::create_directories(directory);
  FILE* sink = std::fopen("/dev/null", "w");
  if (sink == nullptr) return 2;

  const std::string host = "127.0.0.1:" + std::to_string(server.port());
  SoakBook book;
  book.catalogue = catalogue_address(server.port());
  book.match_pattern = "<a href=\"//" + host + "/chapter/(.*?)//";
  book.filter_pattern = host + "/chapter/[0-9a-zA-Z_-]+/[0-9a-zA-Z_-]+";
  book.directory = directory.string();
  book.threads = options.threads;

  std::printf(
      "novel-soak: %d collections per front end, %d chapters, %zu faulty (%zu lost), "
      "%d threads, %d ms latency; heap measured by %s\n",
      options.collections, options.chapters, site.faults().faulty_chapters().size(),
      site.faults().lost_chapters().size(), options.threads, options.latency_ms,
      heap_measure_name().c_str());
  print_table_head(stdout);

  Soak soak(options.collections, site.faults().lost_chapters());
  bool passed = true;
  struct FrontFigures {
    std::string front;
    ProcessFigures first, last;
  };
  std::vector<FrontFigures> fronts;
  if (options.headless) {
    passed = soak.run(
                 "headless", [&] { return collect_headless(book, sink); }, [] {}) &&
             passed;
    fronts.push_back({"headless", soak.first(), soak.last()});
  }
  if (!soak.stopped() && options.window) {
    auto window = std::make_unique<WindowCollector>(book);
    passed = soak.run(
                 "window", [&] { return window->collect(); }, pump_gui_events) &&
             passed;
    fronts.push_back({"window", soak.first(), soak.last()});
    window.reset();
  }
  for (const FrontFigures& front : fronts) {
    passed =
        print_verdict(stdout, front.front, front.first, front.last, options.tolerance_percent) &&
        passed;
  }
  server.stop();
  std::fclose(sink);
  std::filesystem::remove_all(directory);
  std::printf("novel-soak: %s\n", passed ? "passed" : "FAILED");
  return passed ? 0 : 1;
}
