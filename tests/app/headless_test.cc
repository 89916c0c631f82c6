#include "app/headless.h"

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/gbk_qt.h"
#include "app/list_commands.h"
#include "app/program.h"
#include "app/served_book.h"
#include "demo_site/tls_context.h"

namespace {

// A FILE the run writes to and the test reads back.
class Capture {
 public:
  Capture() : file_(std::tmpfile()) {}
  ~Capture() { std::fclose(file_); }
  FILE* file() { return file_; }
  std::string text() {
    std::fflush(file_);
    std::rewind(file_);
    std::string text;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file_)) > 0;) text.append(buffer, n);
    return text;
  }

 private:
  FILE* file_;
};

HeadlessOptions options_for(const ServedBook& book, int threads) {
  HeadlessOptions options;
  options.address = book.catalogue();
  options.threads = threads;
  options.match_pattern = book.match_pattern();
  options.filter_pattern = book.filter_pattern();
  options.quiet = true;
  return options;
}

std::string utf8_of_gbk(const std::string& text) { return from_gbk(text).toUtf8().toStdString(); }

TEST(Headless, CollectsAWholeBookInOrderCleanedOfSiteText) {
  SiteOptions site;
  site.chapter_count = 300;
  ServedBook book(site);
  Program program(book.directory());
  Capture out, err;
  ExitStatus status = run_headless(options_for(book, 100), program, out.file(), err.file());
  ASSERT_EQ(status, ExitStatus::kAllChapters) << err.text();

  std::string path = book.directory() + "/" + book.site().book().title() + ".txt";
  std::string printed = out.text();
  EXPECT_EQ(printed, path + "\n");
  std::string bytes = read_whole_file(path);
  ASSERT_FALSE(bytes.empty());
  EXPECT_EQ(bytes.substr(bytes.size() - 4), "\r\n\r\n");
  std::string text = utf8_of_gbk(bytes);
  size_t at = 0;
  for (int chapter = 1; chapter <= 300; ++chapter) {
    ChapterText expected = book.site().book().chapter_text(chapter);
    size_t title = text.find(expected.title, at);
    ASSERT_NE(title, std::string::npos) << "chapter " << chapter << " missing or out of order";
    for (const std::string& paragraph : {expected.paragraphs.front(), expected.paragraphs.back()}) {
      EXPECT_NE(text.find(paragraph, title), std::string::npos) << "chapter " << chapter;
    }
    at = title + expected.title.size();
  }
  for (const char* site_text : {"墨舟女生网", "可以在个人中心书架里查看", "举报", "指南"}) {
    EXPECT_EQ(text.find(site_text), std::string::npos) << site_text;
  }
}

TEST(Headless, FailingChaptersGiveStatusThreeAndAreListedAndFoundByCheck) {
  SiteOptions site;
  site.chapter_count = 80;
  site.failure_fraction = 0.1;
  site.failure_modes = {ChapterFault::kServerError, ChapterFault::kConnectionReset};
  ServedBook book(site);
  std::vector<int> failing = book.site().faults().faulty_chapters();
  ASSERT_EQ(failing.size(), 8u);

  Program program(book.directory());
  Capture out, err;
  ExitStatus status = run_headless(options_for(book, 50), program, out.file(), err.file());
  EXPECT_EQ(status, ExitStatus::kEmptyChapters);
  std::string listed = "8 of 80 chapters came back empty:";
  for (int chapter : failing) listed += " " + std::to_string(chapter);
  EXPECT_EQ(err.text(), listed + "\n");
  EXPECT_NE(out.text().find(".txt\n"), std::string::npos);

  std::vector<int> empty_rows;
  find_empty_chapters(program.controls(), empty_rows);
  ASSERT_EQ(empty_rows.size(), failing.size());
  for (size_t i = 0; i < failing.size(); ++i) EXPECT_EQ(empty_rows[i], failing[i] - 1);
}

TEST(Headless, ACatalogueWithoutChaptersGivesStatusTwo) {
  SiteOptions site;
  site.chapter_count = 5;
  ServedBook book(site);
  Program program(book.directory());
  HeadlessOptions options = options_for(book, 10);
  options.match_pattern = "no such link";
  Capture out, err;
  EXPECT_EQ(run_headless(options, program, out.file(), err.file()), ExitStatus::kNoChapters);
  EXPECT_EQ(out.text(), "");
}

// Nothing answers: the match gives up after five empty pages instead of
// retrying for ever.
TEST(Headless, ACatalogueThatNeverArrivesGivesStatusTwo) {
  SiteOptions site;
  site.chapter_count = 5;
  ServedBook book(site);
  HeadlessOptions options = options_for(book, 10);
  // Port 1 is never served here; the book's own port, once stopped, may be
  // taken by another test's server.
  options.address = "http://127.0.0.1:1/info/1012919215";
  Program program(book.directory());
  Capture out, err;
  EXPECT_EQ(run_headless(options, program, out.file(), err.file()), ExitStatus::kNoChapters);
  EXPECT_EQ(err.text(), "no catalogue page after 5 attempts\n");
}

// Over https the catalogue's certificate is checked against the given
// authority, and the chapters, linked without scheme, are asked for over
// https too: the demo server speaks nothing but TLS.
TEST(Headless, CollectsABookServedOverHttpsWithItsOwnAuthority) {
  SiteOptions site;
  site.chapter_count = 40;
  DemoSite demo(site);
  ServerOptions tls;
  tls.https = true;
  HttpServer server(tls, demo.handler());
  std::string error;
  ASSERT_TRUE(server.start(&error)) << error;
  ServedBook scratch(site);
  const std::string authority = scratch.directory() + "/authority.pem";
  std::ofstream(authority) << server.tls()->certificate_pem();

  const std::string host = "127.0.0.1:" + std::to_string(server.port());
  HeadlessOptions options;
  options.address = catalogue_address(server.port(), true);
  options.threads = 20;
  options.match_pattern = "<a href=\"//" + host + "/chapter/(.*?)//";
  options.filter_pattern = host + "/chapter/[0-9a-zA-Z_-]+/[0-9a-zA-Z_-]+";
  options.quiet = true;

  {
    Program untrusting(scratch.directory());
    Capture out, err;
    EXPECT_EQ(run_headless(options, untrusting, out.file(), err.file()), ExitStatus::kNoChapters);
  }
  options.ca_file = authority;
  Program program(scratch.directory());
  Capture out, err;
  EXPECT_EQ(run_headless(options, program, out.file(), err.file()), ExitStatus::kAllChapters)
      << err.text();
  EXPECT_EQ(demo.chapters_served(), 40);
  server.stop();
}

TEST(CommandLineParse, ReadsOptionsAndRejectsBadUsage) {
  struct Case {
    const char* name;
    QStringList arguments;
    CommandLine expected;
  };
  const Case cases[] = {
      {"no argument opens the window", {}, CommandLine::kOpenWindow},
      {"short help", {"-h"}, CommandLine::kShowHelp},
      {"long help", {"--help"}, CommandLine::kShowHelp},
      {"address alone", {"http://127.0.0.1:1/info/1"}, CommandLine::kRunHeadless},
      {"options without address", {"-q"}, CommandLine::kBadUsage},
      {"two addresses", {"http://a/", "http://b/"}, CommandLine::kBadUsage},
      {"unknown option", {"--fast", "http://a/"}, CommandLine::kBadUsage},
      {"threads not a number", {"-t", "many", "http://a/"}, CommandLine::kBadUsage},
      {"threads zero", {"-t", "0", "http://a/"}, CommandLine::kBadUsage},
      {"threads too many", {"--threads", "1001", "http://a/"}, CommandLine::kBadUsage},
      {"threads without value", {"http://a/", "-t"}, CommandLine::kBadUsage},
  };
  for (const Case& c : cases) {
    HeadlessOptions options;
    QString message;
    QStringList arguments = QStringList{"novel-collector"} + c.arguments;
    EXPECT_EQ(parse_command_line(arguments, &options, &message), c.expected) << c.name;
    if (c.expected == CommandLine::kBadUsage) {
      EXPECT_FALSE(message.isEmpty()) << c.name;
    }
  }
}

TEST(CommandLineParse, DefaultsAreTheWindowsAndOptionsReplaceThem) {
  HeadlessOptions options;
  QString message;
  ASSERT_EQ(
      parse_command_line({"novel-collector", "http://127.0.0.1:1/info/1"}, &options, &message),
      CommandLine::kRunHeadless);
  EXPECT_EQ(options.address, "http://127.0.0.1:1/info/1");
  EXPECT_EQ(options.threads, 500);
  EXPECT_EQ(options.match_pattern, "<a href=\"//read.mozhou.example/chapter/(.*?)//");
  EXPECT_EQ(options.filter_pattern, "read.mozhou.example/chapter/[0-9a-zA-Z_-]+/[0-9a-zA-Z_-]+");
  EXPECT_EQ(options.output_directory, "");
  EXPECT_EQ(options.ca_file, "");
  EXPECT_FALSE(options.quiet);

  ASSERT_EQ(parse_command_line(
                {"novel-collector", "-t", "100", "-m", "墨(.*)", "--filter-pattern", "x", "-o",
                 "/tmp/out", "--ca-file", "/tmp/ca.pem", "--quiet", "http://127.0.0.1:1/"},
                &options, &message),
            CommandLine::kRunHeadless);
  EXPECT_EQ(options.threads, 100);
  EXPECT_EQ(options.match_pattern, "\xc4\xab(.*)");
  EXPECT_EQ(options.filter_pattern, "x");
  EXPECT_EQ(options.output_directory, "/tmp/out");
  EXPECT_EQ(options.ca_file, "/tmp/ca.pem");
  EXPECT_TRUE(options.quiet);
}

}  // namespace
