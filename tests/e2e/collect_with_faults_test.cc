// The headless collector against a demo site whose chapters fail in every way
// the site knows: it must end, say exactly which chapters came back empty,
// and export every other chapter as a run without faults exports it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "demo_site/demo_site.h"
#include "demo_site/http_server.h"

namespace {

// Under the sanitizers every request costs several times as much, so the book
// is smaller there; it still holds every fault mode (checked below).
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kChapters = 1000;
#else
constexpr int kChapters = 5000;
#endif

struct Collection {
  int exit_status = -1;
  std::string log;  // what the collector wrote to stderr
  std::string export_bytes;
};

// Serves `site` and collects it with the headless collector into a fresh directory.
Collection collect(const SiteOptions& site_options, const std::string& directory) {
  const DemoSite site(site_options);
  ServerOptions server_options;
  server_options.loop_count = 2;
  HttpServer server(server_options, site.handler());
  std::string error;
  EXPECT_TRUE(server.start(&error)) << error;
  const std::string host = "127.0.0.1:" + std::to_string(server.port());
  std::filesystem::remove_all(directory);
  std::filesystem::create_directories(directory);
  const std::string log_path = directory + "/log";
  const std::string command =
      std::string(NOVEL_COLLECTOR) + " -q -t 300 -o '" + directory + "' -m '<a href=\"//" + host +
      "/chapter/(.*?)//' -f '" + host + "/chapter/[0-9a-zA-Z_-]+/[0-9a-zA-Z_-]+' '" +
      catalogue_address(server.port()) + "' >/dev/null 2>'" + log_path + "'";
  Collection run;
  const int status = std::system(command.c_str());
  run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream log(log_path);
  run.log.assign(std::istreambuf_iterator<char>(log), {});
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    if (entry.path().extension() != ".txt") continue;
    std::ifstream file(entry.path(), std::ios::binary);
    run.export_bytes.assign(std::istreambuf_iterator<char>(file), {});
  }
  return run;
}

// The pieces of an export: chapter texts end in CR LF and are one empty line apart.
std::vector<std::string> chapters_of(const std::string& export_bytes) {
  std::vector<std::string> chapters;
  size_t from = 0;
  for (size_t at; (at = export_bytes.find("\r\n\r\n", from)) != std::string::npos; from = at + 4) {
    chapters.push_back(export_bytes.substr(from, at + 2 - from));
  }
  return chapters;
}

TEST(CollectWithFaults, ListsExactlyTheLostChaptersAndExportsTheRestUnchanged) {
  const std::string base = ::testing::TempDir() + "novel-e2e-" + std::to_string(getpid());
  SiteOptions site;
  site.chapter_count = kChapters;
  site.seed = 11;
  const Collection clean = collect(site, base + "/clean");
  ASSERT_EQ(clean.exit_status, 0) << clean.log;
  const std::vector<std::string> clean_chapters = chapters_of(clean.export_bytes);
  ASSERT_EQ(clean_chapters.size(), static_cast<size_t>(kChapters));

  site.failure_fraction = 0.1;
  site.failure_modes = all_faults();
  const DemoSite plan(site);
  for (const ChapterFault mode : all_faults()) {
    bool planned = false;
    for (const int chapter : plan.faults().faulty_chapters()) {
      planned = planned || plan.faults().fault_for(chapter) == mode;
    }
    EXPECT_TRUE(planned) << "fault mode " << static_cast<int>(mode) << " is never tried";
  }
  const std::vector<int> lost = plan.faults().lost_chapters();
  const Collection faulty = collect(site, base + "/faulty");
  EXPECT_EQ(faulty.exit_status, 3) << faulty.log;

  std::string listed = std::to_string(lost.size()) + " of " + std::to_string(kChapters) +
                       " chapters came back empty:";
  for (const int chapter : lost) listed += " " + std::to_string(chapter);
  EXPECT_NE(faulty.log.find(listed + "\n"), std::string::npos) << faulty.log.substr(0, 300);

  // What follows the last chapter's separator (the export's closing bytes).
  size_t chapter_bytes = 0;
  for (const std::string& chapter : clean_chapters) chapter_bytes += chapter.size() + 2;
  const std::string closing = clean.export_bytes.substr(chapter_bytes);
  std::string expected;
  size_t next_lost = 0;
  for (int chapter = 1; chapter <= kChapters; ++chapter) {
    if (next_lost < lost.size() && lost[next_lost] == chapter) {
      ++next_lost;
      expected += "\r\n\r\n";  // an empty row: a blank line, then the separator
    } else {
      expected += clean_chapters[static_cast<size_t>(chapter - 1)] + "\r\n";
    }
  }
  expected += closing;
  size_t differs = 0;
  while (differs < expected.size() && differs < faulty.export_bytes.size() &&
         expected[differs] == faulty.export_bytes[differs]) {
    ++differs;
  }
  EXPECT_TRUE(faulty.export_bytes == expected)
      << faulty.export_bytes.size() << " bytes, expected " << expected.size()
      << "; first difference at byte " << differs << ": "
      << faulty.export_bytes.substr(differs > 200 ? differs - 200 : 0, 400) << "\n---\n"
      << expected.substr(differs > 200 ? differs - 200 : 0, 400);
  std::filesystem::remove_all(base);
}

}  // namespace
