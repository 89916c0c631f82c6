// Shared set-up of the scrape tests: the demo site served in-process on
// 127.0.0.1, a FakeWindowControls with the window's default patterns aimed at
// it, and an AppState, all installed as the scrape context.
#ifndef NOVEL_TESTS_SCRAPE_SCRAPE_FIXTURE_H_
#define NOVEL_TESTS_SCRAPE_SCRAPE_FIXTURE_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "demo_site/demo_site.h"
#include "demo_site/http_server.h"
#include "scrape/app_state.h"
#include "scrape/fake_window_controls.h"
#include "text/conversions.h"

inline std::string gbk(std::string_view utf8) { return utf8_to_ansi(utf8); }

// The row a clean collection gives chapter `chapter` of `book`: its title and
// its indented paragraphs, one a line, and the job's closing CR LF.
inline std::string expected_chapter_row(const GeneratedBook& book, int chapter) {
  const ChapterText text = book.chapter_text(chapter);
  std::string row = text.title + "\r\n";
  for (const std::string& paragraph : text.paragraphs) row += "　　" + paragraph + "\r\n";
  return gbk(row + "\r\n");
}

class ScrapeFixture : public ::testing::Test {
 protected:
  // Serves a book and aims the controls at it; `latency_ms` delays each answer.
  void serve(const SiteOptions& site, int latency_ms = 0) {
    site_ = std::make_unique<DemoSite>(site);
    ServerOptions options;
    options.latency_ms = latency_ms;
    server_ = std::make_unique<HttpServer>(options, site_->handler());
    std::string error;
    ASSERT_TRUE(server_->start(&error)) << error;
    host_ = "127.0.0.1:" + std::to_string(server_->port());
    controls_.set_edit(EditBox::kCatalogueAddress, catalogue_address(server_->port()));
    controls_.set_edit(EditBox::kMatchPattern, "<a href=\"//" + host_ + "/chapter/(.*?)//");
    controls_.set_edit(EditBox::kFilterPattern, host_ + "/chapter/[0-9a-zA-Z_-]+/[0-9a-zA-Z_-]+");
  }

  void SetUp() override {
    context_.state = &state_;
    context_.controls = &controls_;
    install_scrape_context(&context_);
  }
  void TearDown() override { install_scrape_context(nullptr); }

  const GeneratedBook& book() const { return site_->book(); }

  static SiteOptions book_of(int chapters, uint64_t seed = 1, double failing = 0) {
    SiteOptions site;
    site.chapter_count = chapters;
    site.seed = seed;
    site.failure_fraction = failing;
    site.failure_modes = {ChapterFault::kServerError, ChapterFault::kConnectionReset};
    return site;
  }

  std::unique_ptr<DemoSite> site_;
  std::unique_ptr<HttpServer> server_;
  std::string host_;
  FakeWindowControls controls_;
  AppState state_;
  ScrapeContext context_;
};

#endif  // NOVEL_TESTS_SCRAPE_SCRAPE_FIXTURE_H_
