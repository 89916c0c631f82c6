#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <atomic>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/control_model.h"
#include "app/qt_wait.h"

namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest()
      : window_(controls_, empty_rows_,
                WindowActions{[this] { ++matches_; }, [this] { ++collects_; },
                              [this] { ++exports_; }}) {}

  template <typename Widget>
  Widget* find(const char* name) {
    auto* widget = window_.findChild<Widget*>(QString::fromUtf8(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QPushButton* button(const char* name) { return find<QPushButton>(name); }
  QTableView* content_list() { return find<QTableView>("章节内容列表框"); }

  void add_chapters(const std::vector<std::string>& texts) {
    for (const std::string& text : texts) {
      int row = controls_.row_count(ListView::kContentList);
      controls_.insert_row(ListView::kContentList, row, std::to_string(row + 1));
      controls_.set_row_text(ListView::kContentList, row, text);
    }
    window_.sync_from_model();
  }

  // The one message box open now, answered with OK; its title and text.
  std::pair<QString, QString> answer_message_box() {
    QMessageBox* box = nullptr;
    EXPECT_TRUE(wait_until([&] {
      window_.sync_from_model();
      auto boxes = window_.findChildren<QMessageBox*>();
      box = boxes.size() == 1 && boxes[0]->isVisible() ? boxes[0] : nullptr;
      return box != nullptr;
    }));
    if (box == nullptr) return {};
    std::pair<QString, QString> shown{box->windowTitle(), box->text()};
    box->button(QMessageBox::Ok)->click();
    QApplication::processEvents();
    return shown;
  }

  ControlModel controls_;
  std::vector<int> empty_rows_;
  int matches_ = 0;
  int collects_ = 0;
  int exports_ = 0;
  MainWindow window_;
};

TEST_F(MainWindowTest, ControlsHaveTheirNamesPlacesAndTexts) {
  struct Expected {
    const char* name;
    const char* parent;
    QRect geometry;
    const char* text;
  };
  const Expected controls[] = {
      {"分组框1", "窗口", {8, 0, 600, 384}, "章节匹配"},
      {"标签1", "分组框1", {8, 16, 56, 24}, "目录地址："},
      {"目录地址",
       "分组框1",
       {64, 16, 400, 24},
       "https://book.mozhou.example/info/1012919215#Catalog"},
      {"匹配按钮", "分组框1", {472, 16, 120, 40}, "匹配"},
      {"标签2", "分组框1", {8, 48, 96, 24}, "正则表达式匹配：\r\n"},
      {"正则表达式匹配章节",
       "分组框1",
       {104, 48, 360, 24},
       "<a href=\"//read.mozhou.example/chapter/(.*?)//"},
      {"匹配数量输出", "分组框1", {472, 56, 120, 24}, ""},
      {"匹配列表框", "分组框1", {8, 80, 584, 296}, nullptr},
      {"分组框2", "窗口", {616, 0, 600, 384}, "采集区"},
      {"标签3", "分组框2", {8, 16, 104, 24}, "正则过滤章节地址：\r\n"},
      {"过滤章节表达式",
       "分组框2",
       {112, 16, 312, 24},
       "read.mozhou.example/chapter/[0-9a-zA-Z_-]+/[0-9a-zA-Z_-]+"},
      {"采集按钮", "分组框2", {432, 16, 72, 40}, "采集"},
      {"输出TXT按钮", "分组框2", {512, 16, 80, 40}, "输出TXT"},
      {"标签4", "分组框2", {8, 40, 48, 16}, "线程数："},
      {"线程数组合框", "分组框2", {56, 40, 80, 20}, nullptr},
      {"采集进度条", "分组框2", {144, 40, 280, 20}, nullptr},
      {"章节内容列表框", "分组框2", {8, 64, 584, 312}, nullptr},
  };
  for (const Expected& c : controls) {
    QWidget* widget = find<QWidget>(c.name);
    if (widget == nullptr) continue;
    EXPECT_EQ(widget->parentWidget()->objectName(), QString::fromUtf8(c.parent)) << c.name;
    EXPECT_EQ(widget->geometry(), c.geometry) << c.name;
    if (c.text == nullptr) continue;
    QString text;
    if (auto* group = qobject_cast<QGroupBox*>(widget)) text = group->title();
    if (auto* label = qobject_cast<QLabel*>(widget)) text = label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) text = edit->text();
    if (auto* push = qobject_cast<QPushButton*>(widget)) text = push->text();
    EXPECT_EQ(text, QString::fromUtf8(c.text)) << c.name;
  }
}

TEST_F(MainWindowTest, StartsWithTheCaptionThreadCountAndOnlyMatchEnabled) {
  EXPECT_EQ(window_.windowTitle(), QStringLiteral("墨舟中文网小说采集器V1.0") + QString(16, u' '));
  QComboBox* counts = find<QComboBox>("线程数组合框");
  ASSERT_NE(counts, nullptr);
  EXPECT_FALSE(counts->isEditable());
  QStringList items;
  for (int i = 0; i < counts->count(); ++i) items << counts->itemText(i);
  EXPECT_EQ(items.join(u','), QStringLiteral("100,200,300,400,500,600,700,800,900,1000"));
  EXPECT_EQ(counts->currentText(), QStringLiteral("500"));
  EXPECT_EQ(controls_.thread_count_text(), "500");

  EXPECT_TRUE(button("匹配按钮")->isEnabled());
  EXPECT_FALSE(button("采集按钮")->isEnabled());
  EXPECT_FALSE(button("输出TXT按钮")->isEnabled());
}

TEST_F(MainWindowTest, ListViewsHaveTheirColumnsAndOnlyTheChapterListHasCheckBoxes) {
  controls_.insert_row(ListView::kMatchList, 0, "1");
  add_chapters({"text\r\n"});
  struct Expected {
    const char* name;
    const char* header1;
    bool checkable;
  };
  for (Expected e : {Expected{"匹配列表框", "匹配的章节地址", false},
                     Expected{"章节内容列表框", "章节内容", true}}) {
    QTableView* view = find<QTableView>(e.name);
    QAbstractItemModel* model = view->model();
    EXPECT_EQ(model->columnCount(), 2) << e.name;
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("序号")) << e.name;
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), QString::fromUtf8(e.header1));
    EXPECT_EQ(view->columnWidth(0), 50) << e.name;
    EXPECT_EQ(view->columnWidth(1), 500) << e.name;
    EXPECT_EQ(view->selectionMode(), QAbstractItemView::SingleSelection) << e.name;
    EXPECT_EQ(view->selectionBehavior(), QAbstractItemView::SelectRows) << e.name;
    EXPECT_TRUE(view->showGrid()) << e.name;
    EXPECT_EQ(model->rowCount(), 1) << e.name;
    EXPECT_EQ(bool(model->flags(model->index(0, 0)) & Qt::ItemIsUserCheckable), e.checkable)
        << e.name;
    EXPECT_EQ(model->data(model->index(0, 0)).toString(), QStringLiteral("1")) << e.name;
  }
}

TEST_F(MainWindowTest, ClickHandlersDisableButtonsSoADoubleClickStartsOneWorker) {
  button("匹配按钮")->click();
  button("匹配按钮")->click();
  EXPECT_EQ(matches_, 1);
  for (const char* name : {"匹配按钮", "采集按钮", "输出TXT按钮"}) {
    EXPECT_FALSE(button(name)->isEnabled()) << name;
  }
  EXPECT_FALSE(controls_.button_enabled(Button::kMatch));

  // The worker gives the buttons back through the model.
  controls_.set_button_enabled(Button::kMatch, true);
  controls_.set_button_enabled(Button::kCollect, true);
  window_.sync_from_model();
  button("采集按钮")->click();
  button("采集按钮")->click();
  EXPECT_EQ(collects_, 1);
  EXPECT_FALSE(button("匹配按钮")->isEnabled());

  controls_.set_button_enabled(Button::kMatch, true);
  controls_.set_button_enabled(Button::kExport, true);
  window_.sync_from_model();
  button("输出TXT按钮")->click();
  button("输出TXT按钮")->click();
  EXPECT_EQ(exports_, 1);
  EXPECT_TRUE(button("匹配按钮")->isEnabled());
  EXPECT_FALSE(button("输出TXT按钮")->isEnabled());
}

TEST_F(MainWindowTest, EditsAndTheThreadChoiceReachTheModelAsGbk) {
  find<QLineEdit>("目录地址")->setText(QStringLiteral("http://127.0.0.1:1/info/墨"));
  find<QComboBox>("线程数组合框")->setCurrentIndex(9);
  EXPECT_EQ(controls_.edit_text(EditBox::kCatalogueAddress), "http://127.0.0.1:1/info/\xc4\xab");
  EXPECT_EQ(controls_.thread_count_text(), "1000");
}

TEST_F(MainWindowTest, MenuHasItsThreeCommandsAndTheyTickAndInvert) {
  QMenu* menu = find<QMenu>("菜单");
  ASSERT_NE(menu, nullptr);
  QStringList items;
  for (QAction* action : menu->actions()) items << action->text();
  EXPECT_EQ(items.join(u','), QStringLiteral("全选,反选,检查"));

  add_chapters({"a\r\n", "b\r\n", "c\r\n"});
  controls_.set_row_checked(1, true);
  window_.sync_from_model();
  find<QAction>("反选")->trigger();
  QAbstractItemModel* model = content_list()->model();
  auto ticked = [&](int row) {
    return model->data(model->index(row, 0), Qt::CheckStateRole).toInt() == Qt::Checked;
  };
  EXPECT_TRUE(ticked(0));
  EXPECT_FALSE(ticked(1));
  EXPECT_TRUE(ticked(2));
  find<QAction>("全选")->trigger();
  EXPECT_TRUE(ticked(0) && ticked(1) && ticked(2));
  EXPECT_TRUE(controls_.row_checked(1));

  // A tick the user sets in the view is what the export reads.
  model->setData(model->index(2, 0), Qt::Unchecked, Qt::CheckStateRole);
  EXPECT_FALSE(controls_.row_checked(2));
}

TEST_F(MainWindowTest, CheckReportsEmptyChaptersAndSelectsTheFirstAfterTheBoxCloses) {
  add_chapters({"a\r\n", "b\r\n", "", "c\r\n", "d\r\n", "\r\n"});
  find<QAction>("检查")->trigger();
  EXPECT_EQ(content_list()->selectionModel()->selectedRows().size(), 0);
  auto [title, text] = answer_message_box();
  EXPECT_EQ(title, QStringLiteral("找到空章节"));
  EXPECT_EQ(text, QStringLiteral("找到2个空章节！"));
  EXPECT_EQ(empty_rows_, (std::vector<int>{2, 5}));
  QModelIndexList selected = content_list()->selectionModel()->selectedRows();
  ASSERT_EQ(selected.size(), 1);
  EXPECT_EQ(selected[0].row(), 2);
}

TEST_F(MainWindowTest, CheckOnAFullListReportsZeroAndSelectsNothing) {
  add_chapters({"a\r\n"});
  find<QAction>("检查")->trigger();
  EXPECT_EQ(answer_message_box().second, QStringLiteral("找到0个空章节！"));
  EXPECT_EQ(content_list()->selectionModel()->selectedRows().size(), 0);
}

TEST_F(MainWindowTest, WorkerMessageBoxIsShownAndItsAnswerReleasesTheWorker) {
  auto worker = std::async(std::launch::async, [this] {
    controls_.show_message("\xcf\xb5\xcd\xb3\xcc\xe1\xca\xbe", "done");  // 系统提示 in GBK
  });
  auto [title, text] = answer_message_box();
  EXPECT_EQ(title, QStringLiteral("系统提示"));
  EXPECT_EQ(text, QStringLiteral("done"));
  EXPECT_EQ(worker.wait_for(std::chrono::seconds(10)), std::future_status::ready);
}

TEST_F(MainWindowTest, ProgressBarShowsChaptersFinishedAndEmpty) {
  controls_.collect_started(4);
  controls_.chapter_finished(0, false);
  controls_.chapter_finished(1, true);
  window_.sync_from_model();
  QProgressBar* bar = find<QProgressBar>("采集进度条");
  EXPECT_EQ(bar->maximum(), 4);
  EXPECT_EQ(bar->value(), 2);
  EXPECT_TRUE(bar->text().contains(QStringLiteral("空 1"))) << bar->text().toStdString();
}

// A list longer than one batch goes in over several turns of the event loop,
// each bounded, and ends whole and in order.
TEST_F(MainWindowTest, ALongListFillsOverSeveralBoundedTurns) {
  const int rows = static_cast<int>(2 * kRowsPerBatch + 7);
  for (int row = 0; row < rows; ++row) {
    controls_.insert_row(ListView::kMatchList, row, std::to_string(row + 1));
    controls_.set_row_text(ListView::kMatchList, row, "link " + std::to_string(row + 1));
  }
  window_.sync_from_model();
  QAbstractItemModel* model = find<QTableView>("匹配列表框")->model();
  EXPECT_EQ(model->rowCount(), static_cast<int>(kRowsPerBatch));
  ASSERT_TRUE(wait_until([&] { return model->rowCount() == rows; }));
  for (int row : {0, static_cast<int>(kRowsPerBatch), rows - 1}) {
    EXPECT_EQ(model->data(model->index(row, 0)).toString(), QString::number(row + 1));
    EXPECT_EQ(model->data(model->index(row, 1)).toString(), QStringLiteral("link %1").arg(row + 1));
  }
}

// A thousand threads write rows while the event loop runs: a 10 ms probe
// timer keeps firing (the window's batches never hold the loop up for long),
// every row arrives, and closing the window releases a waiting worker.
TEST_F(MainWindowTest, StaysResponsiveWhileAThousandThreadsWriteRows) {
  constexpr int kRows = 3000;
  constexpr int kWriters = 1000;
  for (int row = 0; row < kRows; ++row) {
    controls_.insert_row(ListView::kContentList, row, std::to_string(row + 1));
  }
  // The first paint loads fonts; that one-time cost is not what is measured.
  window_.show();
  window_.sync_from_model();
  QApplication::processEvents();
  const std::string text = std::string(6000, 'x') + "\r\n";
  std::atomic<int> next_row{0};
  // Writers start from a thread of their own and pace their rows, so the
  // writing overlaps the event loop below instead of ending before it starts.
  std::thread spawner([&] {
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
      writers.emplace_back([&] {
        for (int row = next_row++; row < kRows; row = next_row++) {
          std::this_thread::sleep_for(std::chrono::milliseconds(2));
          controls_.set_row_text(ListView::kContentList, row, text);
          controls_.chapter_finished(row, false);
        }
      });
    }
    for (std::thread& writer : writers) writer.join();
  });

  QElapsedTimer clock;
  clock.start();
  qint64 last_tick = clock.elapsed();
  qint64 longest_gap = 0;
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    longest_gap = std::max(longest_gap, clock.elapsed() - last_tick);
    last_tick = clock.elapsed();
  });
  probe.start(10);
  EXPECT_TRUE(wait_until([&] {
    return content_list()->model()->data(content_list()->model()->index(kRows - 1, 1)).isValid() &&
           controls_.progress().finished == kRows &&
           content_list()
               ->model()
               ->data(content_list()->model()->index(kRows - 1, 1))
               .toString()
               .startsWith(u"xxx");
  }));
  probe.stop();
  spawner.join();
  // Generous, for a shared and loaded machine, where the probe alone misses
  // its turn by up to 150 ms; a loop that converted every row again on each
  // batch, or waited for a lock a preempted writer holds, stalls for seconds.
  RecordProperty("longest_event_loop_gap_ms", static_cast<int>(longest_gap));
  EXPECT_LT(longest_gap, 500);

  auto waiting = std::async(std::launch::async, [this] { controls_.show_message("t", "x"); });
  window_.close();
  EXPECT_EQ(waiting.wait_for(std::chrono::seconds(10)), std::future_status::ready);
}

}  // namespace
