#include "app/list_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/control_model.h"

namespace {

void fill_content_list(ControlModel& controls, const std::vector<std::string>& texts) {
  for (size_t i = 0; i < texts.size(); ++i) {
    controls.insert_row(ListView::kContentList, static_cast<int>(i), std::to_string(i + 1));
    controls.set_row_text(ListView::kContentList, static_cast<int>(i), texts[i]);
  }
}

std::vector<bool> ticks(ControlModel& controls) {
  std::vector<bool> result;
  for (int row = 0; row < controls.row_count(ListView::kContentList); ++row) {
    result.push_back(controls.row_checked(row));
  }
  return result;
}

TEST(ListCommands, SelectAllTicksEveryRowAndLeavesAnEmptyListAlone) {
  ControlModel empty;
  handle_select_all(empty);
  EXPECT_EQ(empty.row_count(ListView::kContentList), 0);

  ControlModel controls;
  fill_content_list(controls, {"a\r\n", "b\r\n", "c\r\n"});
  controls.set_row_checked(1, true);
  handle_select_all(controls);
  EXPECT_EQ(ticks(controls), (std::vector<bool>{true, true, true}));
}

TEST(ListCommands, InvertTwiceRestoresTheTicks) {
  ControlModel controls;
  fill_content_list(controls, {"a\r\n", "b\r\n", "c\r\n", "d\r\n"});
  controls.set_row_checked(0, true);
  controls.set_row_checked(2, true);
  handle_invert_checks(controls);
  EXPECT_EQ(ticks(controls), (std::vector<bool>{false, true, false, true}));
  handle_invert_checks(controls);
  EXPECT_EQ(ticks(controls), (std::vector<bool>{true, false, true, false}));
}

// A failed chapter job writes CR LF alone; it must count as empty just like a
// row no job has written yet, or 检查 reports success after failures.
TEST(ListCommands, FindEmptyCountsRowsHoldingOnlyLineBreaks) {
  ControlModel controls;
  fill_content_list(controls, {"第一章\r\n", "", "\r\n", "x", "\r\n\r\n", "\n", " \r\n"});
  std::vector<int> empty_rows = {99};
  find_empty_chapters(controls, empty_rows);
  EXPECT_EQ(empty_rows, (std::vector<int>{1, 2, 4, 5}));

  ControlModel none;
  find_empty_chapters(none, empty_rows);
  EXPECT_TRUE(empty_rows.empty());
}

}  // namespace
