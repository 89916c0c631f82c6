#include "app/text_export.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QString>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/control_model.h"
#include "app/gbk_qt.h"

namespace {

namespace fs = std::filesystem;

std::string gbk(const char* utf8) { return to_gbk(QString::fromUtf8(utf8)); }

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class TextExport : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = fs::temp_directory_path() /
                 ("app-export-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(directory_);
    fs::create_directories(directory_);
  }
  void TearDown() override { fs::remove_all(directory_); }

  void add_chapter(const std::string& text, bool ticked) {
    int row = controls_.row_count(ListView::kContentList);
    controls_.insert_row(ListView::kContentList, row, std::to_string(row + 1));
    controls_.set_row_text(ListView::kContentList, row, text);
    controls_.set_row_checked(row, ticked);
  }

  ControlModel controls_;
  fs::path directory_;
};

TEST_F(TextExport, WritesTheTickedRowsInOrderAsGbkWithCrLf) {
  add_chapter(gbk("第一章\r\n正文一\r\n"), true);
  add_chapter(gbk("第二章\r\n正文二\r\n"), false);
  add_chapter(gbk("第三章\r\n正文三\r\n"), true);
  add_chapter("\r\n", true);  // a chapter whose text did not arrive

  ExportResult result = export_ticked_chapters(controls_, gbk("墨舟测试书"), directory_.string());
  ASSERT_TRUE(result.written) << result.reason;
  EXPECT_EQ(result.path, (directory_ / "墨舟测试书.txt").string());
  EXPECT_EQ(export_message(result), gbk("输出TXT完成！路径：") + gbk(result.path.c_str()));
  EXPECT_EQ(read_file(result.path),
            gbk("第一章\r\n正文一\r\n\r\n第三章\r\n正文三\r\n\r\n") + "\r\n\r\n");
}

TEST_F(TextExport, ReplacesAnEarlierFileAndWritesEmptyWhenNothingIsTicked) {
  add_chapter("one\r\n", true);
  ASSERT_TRUE(export_ticked_chapters(controls_, "book", directory_.string()).written);
  controls_.set_row_checked(0, false);
  ExportResult result = export_ticked_chapters(controls_, "book", directory_.string());
  ASSERT_TRUE(result.written);
  EXPECT_EQ(read_file(result.path), "");
  EXPECT_EQ(std::distance(fs::directory_iterator(directory_), fs::directory_iterator()), 1);
}

TEST_F(TextExport, ReportsAWriteThatFailed) {
  add_chapter("one\r\n", true);
  std::string missing = (directory_ / "no such directory").string();
  ExportResult result = export_ticked_chapters(controls_, "book", missing);
  EXPECT_FALSE(result.written);
  EXPECT_EQ(result.path, missing + "/book.txt");
  EXPECT_NE(result.reason, "");
  std::string message = export_message(result);
  EXPECT_EQ(message.rfind(gbk("输出TXT失败！路径：") + missing + "/book.txt", 0), 0u) << message;
}

TEST(SafeFileName, KeepsTheFileInsideItsDirectory) {
  struct Case {
    const char* name;
    std::string title;
    std::string expected;
  };
  const Case cases[] = {
      {"empty title stays empty", "", ""},
      {"plain", "Book", "Book"},
      {"chinese title becomes utf-8", gbk("墨舟传"), "墨舟传"},
      {"separators", "a/b\\c", "a_b_c"},
      {"parent steps", "../../etc/passwd", ".._.._etc_passwd"},
      {"dots alone", "..", "__"},
      {"white space at the ends", " \r\n Book \t", "Book"},
      {"control bytes inside",
       "a\x01"
       "b\x7f"
       "c",
       "a_b_c"},
      {"only white space", "\r\n", "_"},
      {"nul inside", std::string("a\0b", 3), "a_b"},
      {"nul alone", std::string(1, '\0'), "_"},
      {"leading dash reads as an option", "-rf book", "_rf book"},
      {"leading dashes after white space", " --help", "_-help"},
      {"dash inside stays", "a-b", "a-b"},
      {"slash first", "/etc/passwd", "_etc_passwd"},
      {"backslash parent steps", "..\\..\\x", ".._.._x"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(safe_file_name(c.title), c.expected) << c.name;
  }
}

// Whatever the title, the export is one file directly inside the directory
// it was given, and nothing is written anywhere else.
TEST_F(TextExport, HostileTitlesWriteOnlyInsideTheDirectory) {
  add_chapter("one\r\n", true);
  const fs::path inner = directory_ / "out";
  fs::create_directories(inner);
  const std::string titles[] = {
      "../escaped",
      "..",
      "/tmp/abs",
      std::string("a\0/../b", 7),
      "-n",
      "\x1b[2J\a\b",
      std::string(300, 'x') + "/..",
      gbk("墨/舟\\..") + std::string(300, '\x01'),
  };
  for (const std::string& title : titles) {
    ExportResult result = export_ticked_chapters(controls_, title, inner.string());
    ASSERT_TRUE(result.written) << result.reason;
    const fs::path path(result.path);
    EXPECT_EQ(path.parent_path(), inner) << result.path;
    EXPECT_EQ(read_file(path), "one\r\n\r\n") << result.path;
    fs::remove(path);
  }
  // Only "out" itself is left: nothing escaped beside it or above it.
  EXPECT_EQ(std::distance(fs::recursive_directory_iterator(directory_),
                          fs::recursive_directory_iterator()),
            1);
}

TEST(SafeFileName, CutsLongTitlesOnACharacterBoundary) {
  std::string title;
  for (int i = 0; i < 5000; ++i) title += gbk("墨");
  std::string name = safe_file_name(title);
  EXPECT_LE(name.size(), 200u);
  EXPECT_GE(name.size(), 190u);
  EXPECT_EQ(name.size() % 3, 0u);  // whole three-byte UTF-8 characters
}

}  // namespace
