// Times the chapter cleaning chain and the catalogue match on the demo site's
// generated pages, each beside a reference measured in the same run: parsing
// the page with gumbo alone (the floor of html_to_text), and std::regex on the
// same catalogue.
//
// Usage: text_bench [rounds] [--chapter-only]   (default 200 rounds)
// --chapter-only runs the whole chapter chain `rounds` times and nothing
// else, for a profiler (valgrind --tool=callgrind
// --toggle-collect='clean_chapter_page*').
#include <gumbo.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "demo_site/book_pages.h"
#include "scrape/chapter_job.h"
#include "text/conversions.h"
#include "text/markers.h"
#include "text/regex_object.h"

namespace {

constexpr int kCatalogueChapters = 5000;
constexpr const char* kChapterHost = "read.mozhou.example";
constexpr const char* kChapterLinkPattern = "<a href=\"//read.mozhou.example/chapter/(.*?)//";

constexpr size_t kChapterPageBytes = 40 * 1024;

// Milliseconds of `rounds` runs of `work`: the fastest run (the machine at
// rest) and the median (the machine as shared).
struct Timing {
  double best;
  double median;
};

Timing time_ms(int rounds, const std::function<void()>& work) {
  std::vector<double> times;
  for (int k = 0; k < rounds; ++k) {
    const auto started = std::chrono::steady_clock::now();
    work();
    times.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
            .count());
  }
  std::sort(times.begin(), times.end());
  return {times.front(), times[times.size() / 2]};
}

void print_timing(const char* label, Timing timing, const char* note = "") {
  std::printf("  %-44s best %7.3f ms  median %7.3f ms %s\n", label, timing.best, timing.median,
              note);
}

// A demo chapter page grown to about 40 KB with the paragraphs of the
// chapters after it, as a long chapter of the site looks.
std::string long_chapter_page(const GeneratedBook& book) {
  std::string page = book.chapter_page(1);
  const size_t content_end = page.find("</div>\n<div class=\"report\">");
  std::string extra;
  for (int chapter = 2; page.size() + extra.size() < kChapterPageBytes; ++chapter) {
    for (const std::string& paragraph : book.chapter_text(chapter).paragraphs) {
      extra += "<p>\u3000\u3000" + paragraph + "</p>\n";
      if (page.size() + extra.size() >= kChapterPageBytes) break;
    }
  }
  page.insert(content_end, extra);
  return page;
}

void bench_chapter(int rounds) {
  const GeneratedBook book(kCatalogueChapters, 7);
  const std::string page = long_chapter_page(book);
  size_t cleaned_size = 0;
  const Timing chain = time_ms(rounds, [&] { cleaned_size = clean_chapter_page(page).size(); });
  const Timing convert = time_ms(rounds, [&] { utf8_to_ansi(page); });
  const std::string ansi = utf8_to_ansi(page);
  const Timing render = time_ms(rounds, [&] {
    std::string text = ansi;
    html_to_text(text);
  });
  const Timing gumbo_only = time_ms(rounds, [&] {
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, page.data(), page.size());
    gumbo_destroy_output(&kGumboDefaultOptions, output);
  });
  std::printf("chapter page: %zu bytes of UTF-8, %zu bytes of text after cleaning\n", page.size(),
              cleaned_size);
  print_timing("whole cleaning chain per chapter", chain, "(goal < 1.5 ms)");
  std::printf("  chapters per second of the whole per-chapter pipeline on one core: %.0f (best), "
              "%.0f (median)\n",
              1000.0 / chain.best, 1000.0 / chain.median);
  print_timing("  utf8_to_ansi", convert);
  print_timing("  html_to_text", render);
  print_timing("reference: gumbo parse alone", gumbo_only);
}

void bench_catalogue(int rounds) {
  const GeneratedBook book(kCatalogueChapters, 7);
  const std::string page = utf8_to_ansi(book.catalogue_page(kChapterHost));

  int64_t count = 0;
  const Timing ours = time_ms(rounds, [&] {
    RegexObject regex;
    regex.execute(kChapterLinkPattern, page);
    count = regex.match_count();
    for (int64_t i = 1; i <= count; ++i) regex.match_text(i);
  });
  const Timing execute_only = time_ms(rounds, [&] {
    RegexObject regex;
    regex.execute(kChapterLinkPattern, page);
  });

  size_t std_count = 0;
  const std::regex reference(kChapterLinkPattern, std::regex::ECMAScript | std::regex::icase);
  const Timing standard = time_ms(std::max(3, rounds / 5), [&] {
    std_count = 0;
    for (auto it = std::sregex_iterator(page.begin(), page.end(), reference);
         it != std::sregex_iterator(); ++it) {
      it->str();
      ++std_count;
    }
  });
  std::printf("catalogue: %zu bytes, %d links, %lld matches (std::regex: %zu)\n", page.size(),
              kCatalogueChapters, static_cast<long long>(count), std_count);
  print_timing("execute + match_text of every match", ours, "(goal < 20 ms)");
  print_timing("  execute alone", execute_only);
  print_timing("reference: std::regex iterate + str()", standard);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  if (argc > 2 && std::string(argv[2]) == "--chapter-only") {
    const std::string page = long_chapter_page(GeneratedBook(kCatalogueChapters, 7));
    size_t total = 0;
    for (int k = 0; k < rounds; ++k) total += clean_chapter_page(page).size();
    std::printf("%d chapters, %zu bytes of text\n", rounds, total);
    return 0;
  }
  bench_chapter(rounds);
  bench_catalogue(std::max(5, rounds / 4));
  return 0;
}
