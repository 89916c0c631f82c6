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

// The numbers of `rows` joined with commas.
std::string numbers_of(const std::vector<DisplayRow>& rows) {
  std::string numbers;
  for (const DisplayRow& row : rows) numbers += (numbers.empty() ? "" : ",") + row.number;
  return numbers;
}

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
  EXPECT_FALSE(list.rebuilt);  // the window had no row yet
  EXPECT_EQ(list.first_new, 0);
  EXPECT_EQ(numbers_of(list.new_rows), "1,2,3");
  EXPECT_TRUE(list.new_rows[0].checked);
  EXPECT_EQ(list.new_rows[2].text, "third\r\n");

  controls.clear_rows(ListView::kContentList);
  EXPECT_EQ(controls.row_count(ListView::kContentList), 0);
  EXPECT_FALSE(controls.row_checked(0));
  EXPECT_TRUE(controls.take_changes().lists[1].rebuilt);
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
  ControlChanges changes = controls.take_changes(kRowsPerBatch, 4);
  const ListUpdate& list = changes.lists[static_cast<int>(ListView::kContentList)];
  EXPECT_FALSE(list.rebuilt);
  EXPECT_TRUE(list.new_rows.empty());
  ASSERT_EQ(list.changed.size(), 2u);
  EXPECT_EQ(list.changed[0].first, 1);
  EXPECT_EQ(list.changed[0].second.text, "x");
  EXPECT_EQ(list.changed[1].first, 3);
  EXPECT_EQ(list.changed[1].second.text, "a\xc4\xab\xd6\xdb");
  EXPECT_EQ(changes.caption, "title");

  ControlChanges nothing = controls.take_changes();
  EXPECT_TRUE(nothing.lists[1].changed.empty());
  EXPECT_FALSE(nothing.lists[1].more);
  EXPECT_FALSE(nothing.caption);
  EXPECT_FALSE(nothing.buttons);

  // A row written before an insert shifted it is still reported when written
  // again after the window has taken the list anew.
  controls.set_row_text(ListView::kContentList, 2, "before");
  controls.insert_row(ListView::kContentList, 0, "0");
  ListUpdate again = controls.take_changes().lists[1];
  EXPECT_TRUE(again.rebuilt);
  EXPECT_EQ(numbers_of(again.new_rows), "0,1,2,3,4,5");
  controls.set_row_text(ListView::kContentList, 3, "after");
  ListUpdate after = controls.take_changes().lists[1];
  ASSERT_EQ(after.changed.size(), 1u);
  EXPECT_EQ(after.changed[0].first, 3);
}

// Match and Collect append thousands of rows while the window shows them: an
// append is no rebuild, a batch hands over at most its share of rows, and a
// selection waits until its list has been taken whole.
TEST(ControlModel, AppendedRowsComeInBoundedBatchesWithoutARebuild) {
  ControlModel controls;
  controls.insert_row(ListView::kMatchList, 0, "1");
  controls.take_changes();
  for (int row = 1; row < 6; ++row) {
    controls.insert_row(ListView::kMatchList, row, std::to_string(row + 1));
  }
  controls.set_row_text(ListView::kMatchList, 0, "first");
  controls.set_row_text(ListView::kMatchList, 4, "fifth");
  controls.select_row(ListView::kMatchList, 5);

  struct Batch {
    int changed;
    int first_new;
    std::string numbers;
    bool more;
  };
  const Batch batches[] = {{1, 1, "2", true}, {0, 2, "3,4", true}, {0, 4, "5,6", false}};
  for (const Batch& expected : batches) {
    ControlChanges changes = controls.take_changes(2);
    const ListUpdate& list = changes.lists[0];
    SCOPED_TRACE(expected.numbers);
    EXPECT_FALSE(list.rebuilt);
    EXPECT_EQ(static_cast<int>(list.changed.size()), expected.changed);
    EXPECT_EQ(list.first_new, expected.first_new);
    EXPECT_EQ(numbers_of(list.new_rows), expected.numbers);
    EXPECT_EQ(list.more, expected.more);
    EXPECT_EQ(changes.selection.has_value(), !expected.more);
    // Index 4 was written before the window had it: it comes whole, as new.
    if (expected.first_new == 4) {
      EXPECT_EQ(list.new_rows[0].text, "fifth");
    }
  }
  controls.set_row_text(ListView::kMatchList, 5, "sixth");
  EXPECT_EQ(controls.take_changes().lists[0].changed.size(), 1u);
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
  std::vector<std::string> shown;
  std::atomic<bool> done{false};
  std::thread display([&] {
    while (true) {
      bool last = done.load();
      ListUpdate update = controls.take_changes(500, 64).lists[1];
      if (update.rebuilt) shown.clear();
      for (const auto& [row, display_row] : update.changed) shown.at(row) = display_row.text;
      for (const DisplayRow& row : update.new_rows) shown.push_back(row.text);
      if (last && !update.more) break;
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
  ASSERT_EQ(shown.size(), static_cast<size_t>(kRows));
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
