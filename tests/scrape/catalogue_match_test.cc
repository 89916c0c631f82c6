#include "scrape/catalogue_match.h"

#include <gtest/gtest.h>

#include <time.h>

#include <chrono>

#include "scrape/scrape_fixture.h"

namespace {

using Buttons = std::array<bool, 3>;  // 匹配, 采集, 输出TXT
using RunMatch = ScrapeFixture;

TEST_F(RunMatch, FindsTheTitleAndEveryLinkAndForgetsTheLastMatch) {
  serve(book_of(120, 5));
  state_.MatchedLinkText = "stale";
  controls_.insert_row(ListView::kMatchList, 0, "1");
  controls_.set_button_enabled(Button::kExport, true);

  run_match();

  const std::string title = gbk(book().title());
  EXPECT_EQ(state_.BookTitle.get(), title);
  EXPECT_EQ(controls_.caption(),
            gbk("墨舟中文网小说采集器V1.0") + std::string(16, ' ') + "----------" + title);
  EXPECT_EQ(controls_.count_label(), gbk("已匹配120章！"));
  const std::vector<FakeWindowControls::Row> rows = controls_.rows(ListView::kMatchList);
  ASSERT_EQ(rows.size(), 120u);
  std::string joined;
  for (int chapter = 1; chapter <= 120; ++chapter) {
    const FakeWindowControls::Row& row = rows[chapter - 1];
    EXPECT_EQ(row.number, std::to_string(chapter));
    EXPECT_TRUE(row.text.starts_with("<a href=\"//" + host_ + book().chapter_path(chapter) + "\""))
        << row.text;
    EXPECT_TRUE(row.text.ends_with("data-cid=\"//")) << row.text;
    joined += row.text;
  }
  EXPECT_EQ(state_.MatchedLinkText, joined);
  EXPECT_EQ(controls_.buttons(), (Buttons{true, true, false}));
  EXPECT_EQ(controls_.match_results(), std::vector<bool>{true});
}

// A catalogue of 200000 links (about 48 MB) goes through the whole match
// path: every link becomes a row, in order, within generous time.

TEST_F(RunMatch, ListsEveryLinkOfAHugeCatalogue) {
  constexpr int kChapters = 200000;
  serve(book_of(kChapters, 8));
  const auto started = std::chrono::steady_clock::now();
  run_match();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(120));
  EXPECT_EQ(controls_.count_label(), gbk("已匹配" + std::to_string(kChapters) + "章！"));
  const std::vector<FakeWindowControls::Row> rows = controls_.rows(ListView::kMatchList);
  ASSERT_EQ(rows.size(), static_cast<size_t>(kChapters));
  for (const int chapter : {1, kChapters / 2, kChapters}) {
    const FakeWindowControls::Row& row = rows[chapter - 1];
    EXPECT_EQ(row.number, std::to_string(chapter));
    EXPECT_TRUE(row.text.starts_with("<a href=\"//" + host_ + book().chapter_path(chapter) + "\""))
        << row.text;
  }
  EXPECT_EQ(controls_.buttons(), (Buttons{true, true, false}));
}

// The processor time the calling thread has used, where run_match runs its
// search: on a shared machine the wall clock says little about the work done,
// and the site builds the page on a thread of its own.
std::chrono::nanoseconds thread_cpu_time() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

// Patterns whose backtracking grows exponentially with the text they try,
// over a catalogue of about 1 MB: Match still ends soon, lists what the
// pattern found before the search gave up, and gives the buttons back.
TEST_F(RunMatch, PathologicalPatternEndsWithWhatItFound) {
  constexpr int kChapters = 4400;
  serve(book_of(kChapters, 8));
  ASSERT_GE(book().catalogue_page(host_).size(), 1'000'000u);
  const std::string pathological[] = {
      "(a+)+$",
      "(.*)*x",
      "((\\w|/|\\.|:)+)+\"z",
      "(\\d+)*\\d{20}",
      "<a href=\"(([^\"]*)*)*\"",  // matches every link, with nested loops inside
  };
  for (const std::string& pattern : pathological) {
    controls_.set_edit(EditBox::kMatchPattern, pattern);
    const auto started = std::chrono::steady_clock::now();
    const std::chrono::nanoseconds cpu_before = thread_cpu_time();
    run_match();
    EXPECT_LT(thread_cpu_time() - cpu_before, std::chrono::seconds(10)) << pattern;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(300)) << pattern;
    const std::vector<FakeWindowControls::Row> rows = controls_.rows(ListView::kMatchList);
    EXPECT_EQ(controls_.count_label(), gbk("已匹配" + std::to_string(rows.size()) + "章！"))
        << pattern;
    std::string joined;
    for (const FakeWindowControls::Row& row : rows) joined += row.text;
    EXPECT_EQ(state_.MatchedLinkText, joined) << pattern;
    EXPECT_EQ(controls_.buttons(), (Buttons{true, true, false})) << pattern;
    EXPECT_EQ(controls_.match_results().back(), true) << pattern;
  }
  // The last pattern finds every link and the catalogue's other anchors.
  EXPECT_GE(controls_.rows(ListView::kMatchList).size(), static_cast<size_t>(kChapters));
}

TEST_F(RunMatch, PatternWithoutMatchListsNothing) {
  serve(book_of(10));
  controls_.set_edit(EditBox::kMatchPattern, "<a href=\"//elsewhere/");
  run_match();
  EXPECT_EQ(controls_.count_label(), gbk("已匹配0章！"));
  EXPECT_TRUE(controls_.rows(ListView::kMatchList).empty());
  EXPECT_TRUE(state_.MatchedLinkText.empty());
  EXPECT_EQ(controls_.buttons(), (Buttons{true, true, false}));
}

TEST_F(RunMatch, RetriesAfterAPauseWithTheCorrectedAddress) {
  serve(book_of(5));
  const std::string right_address = controls_.edit_text(EditBox::kCatalogueAddress);
  controls_.set_edit(EditBox::kCatalogueAddress, "http://127.0.0.1:1/info/1012919215");
  Buttons during_retry{true, true, true};
  controls_.on_retry([&](int) {
    during_retry = controls_.buttons();
    controls_.set_edit(EditBox::kCatalogueAddress, right_address);
    return true;
  });

  const auto started = std::chrono::steady_clock::now();
  run_match();

  EXPECT_GE(std::chrono::steady_clock::now() - started, match_retry_pause(1));
  EXPECT_EQ(controls_.retries(), 1);
  EXPECT_EQ(during_retry, (Buttons{false, false, false}));
  EXPECT_EQ(controls_.count_labels(),
            (std::vector<std::string>{gbk("正在重试第1次…"), gbk("已匹配5章！")}));
  EXPECT_EQ(controls_.rows(ListView::kMatchList).size(), 5u);
  EXPECT_EQ(controls_.match_results(), std::vector<bool>{true});
}

TEST_F(RunMatch, GivingUpReturnsOnlyTheMatchButton) {
  controls_.set_edit(EditBox::kCatalogueAddress, "http://127.0.0.1:1/info/1012919215");
  controls_.on_retry([](int attempt) { return attempt < 3; });
  run_match();
  EXPECT_EQ(controls_.retries(), 3);
  EXPECT_EQ(controls_.buttons(), (Buttons{true, false, false}));
  EXPECT_EQ(controls_.match_results(), std::vector<bool>{false});
}

TEST(MatchRetryPause, GrowsFromHalfASecondToFiveSeconds) {
  const std::vector<std::pair<int, int>> cases = {{1, 500},  {2, 1000}, {3, 2000},
                                                  {4, 4000}, {5, 5000}, {100, 5000}};
  for (const auto& [attempt, milliseconds] : cases) {
    EXPECT_EQ(match_retry_pause(attempt).count(), milliseconds) << attempt;
  }
}

}  // namespace
