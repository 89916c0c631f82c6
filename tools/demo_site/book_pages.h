// The book that the demo novel site serves, generated from a seed.
//
// Everything is UTF-8, as the site sends it. The catalogue lists every
// chapter as a link whose protocol-relative address is repeated in a second
// attribute, so a lazy pattern running from `href="//host/chapter/` to the
// next "//" ends inside the link. A chapter page wraps the chapter's title and
// paragraphs in site text: a header line holding "墨舟女生网", a line ending in
// "可以在个人中心书架里查看" before the chapter, and after it a line holding
// "举报", more site text and a closing line holding "指南". The chapter's own
// text never contains any of these markers.
//
// The server, the tests and the benchmarks share this generator so that they
// agree on what a collection must produce. Pages are built on demand; a
// GeneratedBook is immutable after construction and safe from any thread.
#ifndef NOVEL_DEMO_SITE_BOOK_PAGES_H_
#define NOVEL_DEMO_SITE_BOOK_PAGES_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The book number of the catalogue address /info/1012919215.
inline constexpr std::string_view kDemoBookId = "1012919215";
inline constexpr std::string_view kCataloguePath = "/info/1012919215";

// A chapter's own text: what a cleaned chapter page must still hold.
struct ChapterText {
  std::string title;                    // "第N章 ..."
  std::vector<std::string> paragraphs;  // without indentation
};

class GeneratedBook {
 public:
  // REQUIRES: chapter_count >= 0.
  GeneratedBook(int chapter_count, uint64_t seed);

  const std::string& title() const { return title_; }
  int chapter_count() const { return chapter_count_; }

  // "/chapter/1012919215/<id>" for chapters 1..chapter_count.
  std::string chapter_path(int chapter) const;
  // The chapter a path names, or 0 when it names none of this book's.
  int chapter_from_path(std::string_view path) const;

  // The catalogue page; `host` ("127.0.0.1:8080") goes into every link.
  std::string catalogue_page(std::string_view host) const;
  // REQUIRES: 1 <= chapter <= chapter_count.
  ChapterText chapter_text(int chapter) const;
  // chapter_text(chapter).title, without writing the text.
  std::string chapter_title(int chapter) const;
  std::string chapter_page(int chapter) const;

 private:
  int chapter_count_;
  uint64_t seed_;
  std::string title_;
};

#endif  // NOVEL_DEMO_SITE_BOOK_PAGES_H_
