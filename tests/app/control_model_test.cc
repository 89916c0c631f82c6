#include "app/control_model.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace {

using std::chrono::milliseconds;

TEST(ControlModel, StartsWithTheWindowDefaults) {
  ControlModel controls;
  EXPECT_EQ(controls.edit_text(EditBox::kCatalogueAddress),
            "https://book.mozhou.example/info/1012919215#Catalog");
  EXPECT_EQ(controls.edit_text(EditBox::kMatchPattern),
            "<a href=\"//read.mozhou.example/chapter/(.*?)//");
  EXPECT_EQ(controls.edit_text(EditBox::kFilterPattern),
            "read.mozhou.example/chapter/[0-9a-zA-Z_-]+/[0-9a-zA-Z_-]+");
  EXPECT_EQ(controls.thread_count_text(), "500");
  EXPECT_TRUE(controls.button_enabled(Button::kMatch));
  EXPECT_FALSE(controls.button_enabled(Button::kCollect));
  EXPECT_FALSE(controls.button_enabled(Button::kExport));
}

TEST(ControlModel, RowsKeepTheirNumbersTextsAndTicksAndIgnoreRowsOutOfRange) {
  ControlModel controls;
  controls.insert_row(ListView::kContentList, 0, "1");
  controls.insert_row(ListView::kContentList, 1, "3");
  controls.insert_row(ListView::kContentList, 1, "2");
  controls.set_row_text(ListView::kContentList, 2, "third\r\n");
  controls.set_row_text(ListView::kContentList, 3, "nowhere");
  controls.set_row_text(ListView::kContentList, -1, "nowhere");
  controls.set_row_checked(0, true);
  controls.set_row_checked(7, true);
  EXPECT_EQ(controls.row_count(ListView::kContentList), 3);
  EXPECT_EQ(controls.row_count(ListView::kMatchList), 0);
  EXPECT_EQ(controls.row_text(ListView::kContentList, 2), "third\r\n");
  EXPECT_EQ(controls.row_text(ListView::kContentList, 3), "");
  EXPECT_TRUE(controls.row_checked(0));
  EXPECT_FALSE(controls.row_checked(7));

  ControlChanges changes = controls.take_changes();
  const ListUpdate& list = changes.lists[static_cast<int>(ListView::kContentList)];
  EXPECT_TRUE(list.rebuilt);
  EXPECT_EQ(list.row_count, 3);
  EXPECT_EQ(controls.display_row(ListView::kContentList, 1, 100).number, "2");
  EXPECT_EQ(controls.display_row(ListView::kContentList, 2, 100).number, "3");
  EXPECT_TRUE(controls.display_row(ListView::kContentList, 0, 100).checked);
  EXPECT_EQ(controls.display_row(ListView::kContentList, 3, 100).number, "");

  controls.clear_rows(ListView::kContentList);
  EXPECT_EQ(controls.row_count(ListView::kContentList), 0);
  EXPECT_FALSE(controls.row_checked(0));
}

TEST(ControlModel, ChangesComeOnceInBatchesAndShownTextIsCutOnACharacterBoundary) {
  ControlModel controls;
  for (int row = 0; row < 5; ++row) {
    controls.insert_row(ListView::kContentList, row, std::to_string(row + 1));
  }
  controls.take_changes();

  // "a" then three double-byte characters: a cut at 4 bytes would split one.
  controls.set_row_text(ListView::kContentList, 3, "a\xc4\xab\xd6\xdb\xd6\xd0");
  controls.set_row_text(ListView::kContentList, 1, "x");
  controls.set_row_text(ListView::kContentList, 3, "a\xc4\xab\xd6\xdb\xd6\xd0");
  controls.set_caption("title");
  ControlChanges changes = controls.take_changes();
  const ListUpdate& list = changes.lists[static_cast<int>(ListView::kContentList)];
  EXPECT_FALSE(list.rebuilt);
  EXPECT_EQ(list.rows, (std::vector<int>{1, 3}));
  EXPECT_EQ(controls.display_row(ListView::kContentList, 3, 4).text, "a\xc4\xab\xd6\xdb");
  EXPECT_EQ(changes.caption, "title");

  ControlChanges nothing = controls.take_changes();
  EXPECT_TRUE(nothing.lists[1].rows.empty());
  EXPECT_FALSE(nothing.caption);
  EXPECT_FALSE(nothing.buttons);

  // A row written before an insert shifted it is still reported when written
  // again after the window has taken the new rows.
  controls.set_row_text(ListView::kContentList, 2, "before");
  controls.insert_row(ListView::kContentList, 0, "0");
  EXPECT_TRUE(controls.take_changes().lists[1].rebuilt);
  controls.set_row_text(ListView::kContentList, 3, "after");
  EXPECT_EQ(controls.take_changes().lists[1].rows, (std::vector<int>{3}));
}

// Many writers and one reader taking batches, as 1000 chapter jobs and the
// window do: every write arrives.
TEST(ControlModel, ConcurrentRowWritesAllReachTheDisplay) {
  ControlModel controls;
  constexpr int kRows = 4000;
  for (int row = 0; row < kRows; ++row) {
    controls.insert_row(ListView::kContentList, row, std::to_string(row + 1));
  }
  controls.collect_started(kRows);
  std::vector<std::string> shown(kRows);
  std::atomic<bool> done{false};
  std::thread display([&] {
    while (true) {
      bool last = done.load();
      ListUpdate update = controls.take_changes().lists[1];
      std::vector<int> rows = update.rows;
      if (update.rebuilt) {
        rows.clear();
        for (int row = 0; row < update.row_count; ++row) rows.push_back(row);
      }
      for (int row : rows) shown[row] = controls.display_row(ListView::kContentList, row, 64).text;
      if (last) break;
      std::this_thread::sleep_for(milliseconds(5));
    }
  });
  std::vector<std::thread> writers;
  for (int w = 0; w < 16; ++w) {
    writers.emplace_back([&, w] {
      for (int row = w; row < kRows; row += 16) {
        std::string text = "chapter " + std::to_string(row) + "\r\n";
        controls.set_row_text(ListView::kContentList, row, text);
        controls.chapter_finished(row, false);
      }
    });
  }
  for (std::thread& writer : writers) writer.join();
  done = true;
  display.join();
  for (int row = 0; row < kRows; ++row) {
    ASSERT_EQ(shown[row], "chapter " + std::to_string(row) + "\r\n") << "row " << row;
  }
  CollectProgress progress = controls.progress();
  EXPECT_EQ(progress.total, kRows);
  EXPECT_EQ(progress.finished, kRows);
  EXPECT_EQ(progress.empty, 0);
}

TEST(ControlModel, ShowMessageWaitsForTheAnswerAndCloseReleasesIt) {
  ControlModel controls;
  auto answered = std::async(std::launch::async, [&] { controls.show_message("t", "text"); });
  std::vector<MessageRequest> requests;
  while (requests.empty()) {
    requests = controls.take_changes().messages;
    std::this_thread::sleep_for(milliseconds(1));
  }
  EXPECT_EQ(requests[0].title, "t");
  EXPECT_EQ(answered.wait_for(milliseconds(50)), std::future_status::timeout);
  controls.answer_message(requests[0].id);
  EXPECT_EQ(answered.wait_for(std::chrono::seconds(10)), std::future_status::ready);

  auto released = std::async(std::launch::async, [&] { controls.show_message("t", "again"); });
  controls.close();
  EXPECT_EQ(released.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  controls.show_message("t", "after close");  // returns at once
}

TEST(ControlModel, MatchRetriesStopAtTheLimitOrWhenClosed) {
  ControlModel controls;
  EXPECT_TRUE(controls.retry_match(1000));
  controls.set_match_attempt_limit(5);
  EXPECT_TRUE(controls.retry_match(4));
  EXPECT_FALSE(controls.retry_match(5));
  controls.set_match_attempt_limit(0);
  controls.close();
  EXPECT_FALSE(controls.retry_match(1));
}

TEST(ControlModel, WaitForACollectionEndsWhenItFinishesOrTheModelCloses) {
  ControlModel controls;
  int seen = controls.collections_finished();
  EXPECT_FALSE(controls.wait_collections_finished(seen, milliseconds(10)));
  std::thread finisher([&] { controls.collect_finished(); });
  EXPECT_TRUE(controls.wait_collections_finished(seen, std::chrono::seconds(10)));
  finisher.join();

  std::thread closer([&] { controls.close(); });
  EXPECT_FALSE(controls.wait_collections_finished(seen + 1, std::chrono::seconds(10)));
  closer.join();
}

}  // namespace
