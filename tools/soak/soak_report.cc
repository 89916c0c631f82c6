#include "soak/soak_report.h"

#include <cinttypes>
#include <cmath>
#include <cstdlib>

namespace {

constexpr double kMiB = 1024.0 * 1024.0;

// Counts print as they are, byte figures in MiB.
std::string shown(int figure, int64_t value) {
  char text[32];
  if (figure < 2) {
    std::snprintf(text, sizeof text, "%" PRId64, value);
  } else {
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(value) / kMiB);
  }
  return text;
}

}  // namespace

void print_table_head(FILE* out) {
  std::fprintf(out, "%-9s %4s %8s %8s %6s %12s %12s %12s %5s  %s\n", "front", "run", "seconds",
               "threads", "fds", "untrimmed", "resident", "heap", "lost", "outcome");
}

void print_table_row(FILE* out, const SoakRow& row) {
  std::fprintf(out, "%-9s %4d %8.1f %8" PRId64 " %6" PRId64 " %12s %12s %12s %5zu  %s\n",
               row.front.c_str(), row.run, row.seconds, row.figures.threads, row.figures.open_files,
               shown(2, row.figures.untrimmed_bytes).c_str(),
               shown(2, row.figures.resident_bytes).c_str(),
               shown(3, row.figures.heap_bytes).c_str(), row.lost, row.outcome.c_str());
  std::fflush(out);
}

bool print_verdict(FILE* out, const std::string& front, const ProcessFigures& first,
                   const ProcessFigures& last, double tolerance_percent) {
  bool within = true;
  for (int figure = 0; figure < kFigureCount; ++figure) {
    const int64_t before = figure_value(first, figure);
    const int64_t after = figure_value(last, figure);
    const double change =
        before == 0 ? (after == 0 ? 0.0 : INFINITY)
                    : 100.0 * static_cast<double>(after - before) / static_cast<double>(before);
    const bool checked = figure_checked(figure);
    const bool ok = std::fabs(change) <= tolerance_percent;
    within = within && (ok || !checked);
    std::fprintf(out, "%-9s %-12s first %12s  last %12s  change %+7.2f%%  %s\n", front.c_str(),
                 figure_name(figure), shown(figure, before).c_str(), shown(figure, after).c_str(),
                 change,
                 !checked ? "not checked in this build"
                 : ok     ? "ok"
                          : "OUT OF BOUNDS");
  }
  std::fflush(out);
  return within;
}
