#include "scrape/collect_driver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "scrape/catalogue_match.h"
#include "scrape/scrape_fixture.h"
#include "threads/thread_pool.h"
#include "threads/timer_thread.h"

namespace {

using Buttons = std::array<bool, 3>;  // 匹配, 采集, 输出TXT
constexpr std::chrono::seconds kCollectLimit{120};

class RunCollect : public ScrapeFixture {
 protected:
  void SetUp() override {
    ScrapeFixture::SetUp();
    context_.CollectPool = &pool_;
    context_.CompletionTimer = &timer_;
  }
  void TearDown() override {
    timer_.stop();
    pool_.reset();
    ScrapeFixture::TearDown();
  }

  // Every row in chapter order: its number, and its text as a clean page
  // gives it or CR LF alone for a chapter the site fails.
  void expect_rows_filled() {
    const std::vector<FakeWindowControls::Row> rows = controls_.rows(ListView::kContentList);
    ASSERT_EQ(rows.size(), static_cast<size_t>(book().chapter_count()));
    for (int chapter = 1; chapter <= book().chapter_count(); ++chapter) {
      const FakeWindowControls::Row& row = rows[chapter - 1];
      EXPECT_EQ(row.number, std::to_string(chapter));
      const bool faulty = site_->faults().fault_for(chapter) != ChapterFault::kNone;
      EXPECT_EQ(row.text, faulty ? "\r\n" : expected_chapter_row(book(), chapter)) << chapter;
    }
  }

  ThreadPool pool_;
  TimerThread timer_;
};

TEST_F(RunCollect, FillsEveryRowInOrderAndAgainOnASecondCollection) {
  serve(book_of(300, 8), 20);
  controls_.set_thread_count("100");
  run_match();

  run_collect();
  ASSERT_TRUE(controls_.wait_collect_finished(1, kCollectLimit));
  ASSERT_EQ(state_.ChapterUrlList.size(), 300u);
  for (int chapter = 1; chapter <= 300; ++chapter) {
    EXPECT_EQ(state_.ChapterUrlList[chapter - 1], "http://" + host_ + book().chapter_path(chapter));
  }
  expect_rows_filled();
  EXPECT_EQ(controls_.buttons(), (Buttons{true, true, true}));
  EXPECT_EQ(controls_.started_total(), 300);
  EXPECT_EQ(controls_.chapters_finished(), 300);
  EXPECT_EQ(controls_.empty_chapters(), 0);
  EXPECT_EQ(pool_.pending_count(), 0);

  // Started the moment the buttons come back: the timer and the pool of the
  // first collection must not swallow the second one.
  run_collect();
  ASSERT_TRUE(controls_.wait_collect_finished(2, kCollectLimit));
  expect_rows_filled();
  EXPECT_EQ(controls_.chapters_finished(), 600);
  EXPECT_EQ(site_->chapters_served(), 600);
}

// Jobs run while later rows are still going in; the start is reported before
// the first job is queued, so a progress count from it misses no chapter.
TEST_F(RunCollect, ReportsTheStartBeforeAnyChapterCanFinish) {
  serve(book_of(60, 4));
  controls_.set_thread_count("20");
  run_match();
  controls_.slow_row_inserts(std::chrono::milliseconds(5));
  run_collect();
  ASSERT_TRUE(controls_.wait_collect_finished(1, kCollectLimit));
  EXPECT_EQ(controls_.started_total(), 60);
  EXPECT_EQ(controls_.finished_since_start(), 60);
}

TEST_F(RunCollect, FailingChaptersLeaveCrLfAloneInTheirRows) {
  serve(book_of(200, 4, 0.1));
  controls_.set_thread_count("100");
  run_match();
  run_collect();
  ASSERT_TRUE(controls_.wait_collect_finished(1, kCollectLimit));
  expect_rows_filled();
  EXPECT_EQ(controls_.empty_chapters(), 20);
  EXPECT_EQ(controls_.buttons(), (Buttons{true, true, true}));
}

TEST(ChapterAddress, TakesTheCatalogueSchemeUnlessTheMatchHasOne) {
  struct Case {
    const char* catalogue;
    const char* match;
    const char* address;
  };
  const Case cases[] = {
      {"http://book.example/info/1", "read.example/chapter/a/b", "http://read.example/chapter/a/b"},
      {"HTTPS://book.example/info/1", "read.example/chapter/a/b",
       "https://read.example/chapter/a/b"},
      {"book.example/info/1", "read.example/chapter/a/b", "http://read.example/chapter/a/b"},
      {"", "read.example/chapter/a/b", "http://read.example/chapter/a/b"},
      {"http://book.example/", "https://read.example/c/1", "https://read.example/c/1"},
      {"https://book.example/", "HTTP://read.example/c/1", "HTTP://read.example/c/1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(chapter_address(c.catalogue, c.match), c.address) << c.catalogue << " " << c.match;
  }
}

TEST_F(RunCollect, NoChapterAddressGivesTheButtonsBackAtOnce) {
  state_.MatchedLinkText = "<a href=\"//elsewhere/chapter/1/2\" data-cid=\"//";
  controls_.set_edit(EditBox::kFilterPattern, "127.0.0.1:1/chapter/[0-9]+/[0-9]+");
  controls_.insert_row(ListView::kContentList, 0, "1");
  state_.ChapterUrlList = {"http://stale"};

  run_collect();

  EXPECT_TRUE(state_.ChapterUrlList.empty());
  EXPECT_TRUE(controls_.rows(ListView::kContentList).empty());
  EXPECT_EQ(controls_.buttons(), (Buttons{true, true, true}));
  EXPECT_EQ(controls_.collections_finished(), 1);
  EXPECT_EQ(pool_.thread_count(), 0);  // the pool was never started
}

// Paused workers finish their jobs and take no new one, so no job runs while
// most wait in the queue: exactly the moment a tick must not end the collection.
TEST_F(RunCollect, ATickWithJobsStillQueuedDoesNotEndTheCollection) {
  serve(book_of(60, 2), 100);
  controls_.set_thread_count("4");
  run_match();
  run_collect();
  pool_.pause();
  const auto limit = std::chrono::steady_clock::now() + kCollectLimit;
  while (pool_.busy_count() != 0 && std::chrono::steady_clock::now() < limit) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(pool_.busy_count(), 0);
  ASSERT_GT(pool_.pending_count(), 0);

  check_collect_done();

  EXPECT_EQ(controls_.buttons(), (Buttons{false, false, false}));
  EXPECT_EQ(controls_.collections_finished(), 0);
  pool_.resume();
  ASSERT_TRUE(controls_.wait_collect_finished(1, kCollectLimit));
  expect_rows_filled();
}

TEST(ChapterJobArgument, IsTheChapterAsFourLittleEndianBytes) {
  EXPECT_EQ(chapter_job_argument(1), std::string("\x01\x00\x00\x00", 4));
  EXPECT_EQ(chapter_job_argument(0x01020304), std::string("\x04\x03\x02\x01", 4));
}

}  // namespace
