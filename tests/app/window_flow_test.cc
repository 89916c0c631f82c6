// The real window driven through Match, Collect and Export against the demo
// site, as a user would, and closed in the middle of a collection.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <memory>
#include <string>

#include "app/gbk_qt.h"
#include "app/main_window.h"
#include "app/program.h"
#include "app/qt_wait.h"
#include "app/served_book.h"

namespace {

class WindowFlow : public ::testing::Test {
 protected:
  void open(const SiteOptions& site, const ServerOptions& server = {}) {
    book_ = std::make_unique<ServedBook>(site, server);
    program_ = std::make_unique<Program>(book_->directory());
    window_ = std::make_unique<MainWindow>(
        program_->controls(), program_->state().EmptyChapterIndexes, program_->window_actions());
    window_->show();
    type("目录地址", book_->catalogue());
    type("正则表达式匹配章节", book_->match_pattern());
    type("过滤章节表达式", book_->filter_pattern());
  }
  void TearDown() override {
    window_.reset();
    if (program_) program_->shut_down();
    program_.reset();
    book_.reset();
  }

  void type(const char* edit, const std::string& text) {
    window_->findChild<QLineEdit*>(QString::fromUtf8(edit))->setText(QString::fromStdString(text));
  }
  QPushButton* button(const char* name) {
    return window_->findChild<QPushButton*>(QString::fromUtf8(name));
  }
  // Enabled states of 匹配按钮, 采集按钮, 输出TXT按钮 as "ttf".
  std::string button_states() {
    std::string states;
    for (const char* name : {"匹配按钮", "采集按钮", "输出TXT按钮"}) {
      states += button(name)->isEnabled() ? 't' : 'f';
    }
    return states;
  }
  bool wait_for_states(const std::string& states) {
    return wait_until([&] { return button_states() == states; });
  }
  QMessageBox* open_message_box() {
    QMessageBox* box = nullptr;
    wait_until([&] {
      for (QMessageBox* candidate : window_->findChildren<QMessageBox*>()) {
        if (candidate->isVisible()) box = candidate;
      }
      return box != nullptr;
    });
    return box;
  }
  std::string exported_text_of_rows(std::initializer_list<int> rows) {
    std::string text;
    for (int row : rows)
      text += program_->controls().row_text(ListView::kContentList, row) + "\r\n";
    return text;
  }

  std::unique_ptr<ServedBook> book_;
  std::unique_ptr<Program> program_;
  std::unique_ptr<MainWindow> window_;
};

TEST_F(WindowFlow, MatchCollectAndExportAgainstTheDemoSite) {
  SiteOptions site;
  site.chapter_count = 40;
  open(site);
  EXPECT_EQ(button_states(), "tff");

  button("匹配按钮")->click();
  EXPECT_EQ(button_states(), "fff");
  ASSERT_TRUE(wait_for_states("ttf"));
  const QString title = QString::fromStdString(book_->site().book().title());
  EXPECT_EQ(window_->windowTitle(), QStringLiteral("墨舟中文网小说采集器V1.0") + QString(16, u' ') +
                                        QStringLiteral("----------") + title);
  EXPECT_EQ(window_->findChild<QLabel*>(QStringLiteral("匹配数量输出"))->text(),
            QStringLiteral("已匹配40章！"));

  button("采集按钮")->click();
  EXPECT_EQ(button_states(), "fff");
  ASSERT_TRUE(wait_for_states("ttt"));
  QProgressBar* progress = window_->findChild<QProgressBar*>(QStringLiteral("采集进度条"));
  EXPECT_EQ(progress->value(), 40);
  EXPECT_EQ(progress->maximum(), 40);

  // Rows 0 and 2 ticked: their texts, each followed by CR LF, and nothing else.
  window_->findChild<QAction*>(QStringLiteral("全选"))->trigger();
  window_->findChild<QAction*>(QStringLiteral("反选"))->trigger();
  program_->controls().set_row_checked(0, true);
  program_->controls().set_row_checked(2, true);
  button("输出TXT按钮")->click();
  EXPECT_FALSE(button("输出TXT按钮")->isEnabled());
  QMessageBox* box = open_message_box();
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(button("输出TXT按钮")->isEnabled());  // given back before the report
  const std::string path = book_->directory() + "/" + book_->site().book().title() + ".txt";
  EXPECT_EQ(box->windowTitle(), QStringLiteral("系统提示"));
  EXPECT_EQ(box->text(), QStringLiteral("输出TXT完成！路径：") + QString::fromStdString(path));
  box->button(QMessageBox::Ok)->click();

  std::string bytes = read_whole_file(path);
  EXPECT_EQ(bytes, exported_text_of_rows({0, 2}));
  std::string first_title =
      to_gbk(QString::fromStdString(book_->site().book().chapter_text(1).title));
  EXPECT_EQ(bytes.find(first_title), 0u);
  std::string third_title =
      to_gbk(QString::fromStdString(book_->site().book().chapter_text(3).title));
  EXPECT_NE(bytes.find("\r\n\r\n" + third_title), std::string::npos);
  EXPECT_EQ(bytes.find(to_gbk(QString::fromStdString(book_->site().book().chapter_text(2).title))),
            std::string::npos);
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n') {
      ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << "bare LF at " << i;
    }
  }
}

TEST_F(WindowFlow, ClosingTheWindowDuringACollectionEndsCleanly) {
  SiteOptions site;
  site.chapter_count = 600;
  ServerOptions server;
  server.latency_ms = 200;
  open(site, server);
  window_->findChild<QComboBox*>(QStringLiteral("线程数组合框"))->setCurrentIndex(0);  // 100
  button("匹配按钮")->click();
  ASSERT_TRUE(wait_for_states("ttf"));
  button("采集按钮")->click();
  ASSERT_TRUE(wait_until([&] { return program_->controls().progress().finished > 0; }));

  window_->close();
  QElapsedTimer clock;
  clock.start();
  program_->shut_down();
  EXPECT_LT(program_->controls().progress().finished, 600);  // it really was cut short
  EXPECT_LT(clock.elapsed(), 30000);
  window_.reset();
  program_.reset();
}

}  // namespace
