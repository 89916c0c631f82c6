#include "demo_site/book_pages.h"

#include <gtest/gtest.h>

#include <regex>

#include "demo_site/fault_plan.h"

namespace {

// The window's default patterns with the chapter host swapped for the demo's address.
constexpr char kHost[] = "127.0.0.1:8080";
const std::regex kMatchPattern(R"(<a href="//127.0.0.1:8080/chapter/(.*?)//)", std::regex::icase);
const std::regex kFilterPattern(R"(127.0.0.1:8080/chapter/[0-9a-zA-Z_-]+/[0-9a-zA-Z_-]+)",
                                std::regex::icase);

std::vector<std::string> all_matches(const std::string& subject, const std::regex& pattern) {
  std::vector<std::string> found;
  for (auto it = std::sregex_iterator(subject.begin(), subject.end(), pattern);
       it != std::sregex_iterator(); ++it) {
    found.push_back(it->str());
  }
  return found;
}

TEST(GeneratedBook, DefaultPatternsFindEveryChapterInOrder) {
  const GeneratedBook book(120, 7);
  const std::string page = book.catalogue_page(kHost);
  EXPECT_NE(page.find("<title>" + book.title() + "</title>"), std::string::npos);

  const std::vector<std::string> links = all_matches(page, kMatchPattern);
  ASSERT_EQ(links.size(), 120u);
  std::string joined;
  for (const std::string& link : links) {
    EXPECT_TRUE(link.ends_with("data-cid=\"//")) << link;  // the lazy match ends inside the link
    joined += link;
  }
  const std::vector<std::string> addresses = all_matches(joined, kFilterPattern);
  ASSERT_EQ(addresses.size(), 120u);
  for (int chapter = 1; chapter <= 120; ++chapter) {
    EXPECT_EQ(addresses[chapter - 1], std::string(kHost) + book.chapter_path(chapter));
    // The catalogue names each chapter as its page does.
    EXPECT_NE(page.find(">" + book.chapter_text(chapter).title + "</a>"), std::string::npos);
  }
}

TEST(GeneratedBook, PathsNameTheirChapterAndNothingElse) {
  const GeneratedBook book(50, 3);
  for (int chapter = 1; chapter <= 50; ++chapter) {
    EXPECT_EQ(book.chapter_from_path(book.chapter_path(chapter)), chapter);
  }
  const GeneratedBook longer(51, 3);
  const std::string beyond = longer.chapter_path(51);
  for (const std::string& path :
       {beyond, std::string("/chapter/1012919215/"), std::string("/chapter/1012919215/12x"),
        std::string("/info/1"), book.chapter_path(1) + "0", std::string("/chapter/99/52000016")}) {
    EXPECT_EQ(book.chapter_from_path(path), 0) << path;
  }
}

TEST(GeneratedBook, ChapterPageWrapsTheTextInSiteMarkers) {
  const GeneratedBook book(300, 11);
  for (int chapter = 1; chapter <= 300; ++chapter) {
    const ChapterText text = book.chapter_text(chapter);
    for (const std::string& paragraph : text.paragraphs) {
      for (const char* marker : {"墨舟女生网", "可以在个人中心书架里查看", "举报", "指南"}) {
        ASSERT_EQ(paragraph.find(marker), std::string::npos) << chapter << ": " << marker;
      }
    }
  }
  for (const int chapter : {1, 150, 300}) {
    const std::string page = book.chapter_page(chapter);
    const ChapterText text = book.chapter_text(chapter);
    EXPECT_GE(page.size(), 25u * 1024) << chapter;
    EXPECT_LE(page.size(), 40u * 1024) << chapter;
    size_t at = page.find("<body>");
    for (const std::string& piece :
         {std::string("墨舟女生网"), std::string("可以在个人中心书架里查看"), text.title,
          text.paragraphs.front(), text.paragraphs.back(), std::string("举报"),
          std::string("指南")}) {
      const size_t next = page.find(piece, at);
      ASSERT_NE(next, std::string::npos) << chapter << ": " << piece;
      at = next + piece.size();
    }
  }
}

TEST(FaultPlan, PicksExactlyTheFractionReproducibly) {
  const std::vector<ChapterFault> both = {ChapterFault::kServerError,
                                          ChapterFault::kConnectionReset};
  const FaultPlan plan(300, 0.1, 5, both);
  const std::vector<int> faulty = plan.faulty_chapters();
  EXPECT_EQ(faulty.size(), 30u);
  EXPECT_EQ(FaultPlan(300, 0.1, 5, both).faulty_chapters(), faulty);
  EXPECT_NE(FaultPlan(300, 0.1, 6, both).faulty_chapters(), faulty);
  int resets = 0;
  for (const int chapter : faulty) {
    resets += plan.fault_for(chapter) == ChapterFault::kConnectionReset;
  }
  EXPECT_GT(resets, 0);
  EXPECT_LT(resets, 30);

  EXPECT_TRUE(FaultPlan(300, 0, 5, both).faulty_chapters().empty());
  EXPECT_EQ(FaultPlan(300, 1, 5, both).faulty_chapters().size(), 300u);
  EXPECT_EQ(FaultPlan(300, 0.1, 5, {}).fault_for(faulty.front()), ChapterFault::kServerError);
  EXPECT_EQ(plan.fault_for(0), ChapterFault::kNone);
  EXPECT_EQ(plan.fault_for(301), ChapterFault::kNone);
}

}  // namespace
