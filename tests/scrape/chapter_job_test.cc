#include "scrape/chapter_job.h"

#include <gtest/gtest.h>

#include "scrape/scrape_fixture.h"

namespace {

struct PageCase {
  const char* name;
  std::string body;   // UTF-8
  std::string clean;  // UTF-8
};

TEST(CleanChapterPage, KeepsOnlyTheChapterBetweenTheSiteSpans) {
  const std::string page =
      "<html><head><title>t_墨舟女生网</title><script>var a;</script></head><body>"
      "<div>墨舟女生网 <a>首页</a></div><div>加入书架后可以在个人中心书架里查看</div>"
      "<h1>第1章 雾</h1><p>　　甲乙</p><p></p><p>　　丙丁</p><div><a>举报</a>有误</div>"
      "<div>上一章 下一章</div><div>阅读指南</div></body></html>";
  const std::vector<PageCase> cases = {
      {"whole page", page, "第1章 雾\r\n　　甲乙\r\n　　丙丁\r\n\r\n"},
      {"text before the header stays", "<p>前言</p>" + page.substr(page.find("<div>")),
       "前言\r\n第1章 雾\r\n　　甲乙\r\n　　丙丁\r\n\r\n"},
      {"no header marker", "<p>正文</p><div>举报</div><div>指南</div>", "\r\n"},
      {"header but no report marker",
       "<div>墨舟女生网</div><div>可以在个人中心书架里查看</div><p>正文</p>", "\r\n"},
      {"empty body", "", "\r\n"},
      {"text after a zero byte is not read", std::string("<p>甲</p>") + '\0' + page, "\r\n"},
  };
  for (const PageCase& c : cases) {
    EXPECT_EQ(clean_chapter_page(c.body), gbk(c.clean)) << c.name;
  }
}

TEST(CleanChapterPage, DemoChapterGivesItsTitleAndParagraphs) {
  const GeneratedBook book(40, 3);
  for (const int chapter : {1, 17, 40}) {
    EXPECT_EQ(clean_chapter_page(book.chapter_page(chapter)), expected_chapter_row(book, chapter))
        << chapter;
  }
}

using RunChapterJob = ScrapeFixture;

TEST_F(RunChapterJob, WritesTheChaptersRowAndCrLfAloneWhenTheFetchFails) {
  serve(book_of(3));
  state_.ChapterUrlList = {"http://" + host_ + book().chapter_path(2),
                           "http://" + host_ + "/chapter/1012919215/1",
                           "http://127.0.0.1:1" + book().chapter_path(3)};
  for (int row = 0; row < 3; ++row) controls_.insert_row(ListView::kContentList, row, "x");

  for (const intptr_t chapter : {0, 1, 2, 3, 4}) run_chapter_job(chapter);

  const std::vector<FakeWindowControls::Row> rows = controls_.rows(ListView::kContentList);
  EXPECT_EQ(rows[0].text, expected_chapter_row(book(), 2));
  EXPECT_EQ(rows[1].text, "\r\n");  // a 404 page has no chapter markers
  EXPECT_EQ(rows[2].text, "\r\n");  // nothing listens on port 1
  EXPECT_EQ(controls_.chapters_finished(), 3);
  EXPECT_EQ(controls_.empty_chapters(), 2);
}

}  // namespace
