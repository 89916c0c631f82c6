#include "app/list_commands.h"

void handle_select_all(WindowControls& controls) {
  int rows = controls.row_count(ListView::kContentList);
  for (int row = 0; row < rows; ++row) controls.set_row_checked(row, true);
}

void handle_invert_checks(WindowControls& controls) {
  int rows = controls.row_count(ListView::kContentList);
  for (int row = 0; row < rows; ++row) {
    controls.set_row_checked(row, !controls.row_checked(row));
  }
}

void find_empty_chapters(WindowControls& controls, std::vector<int>& empty_rows) {
  empty_rows.clear();
  int rows = controls.row_count(ListView::kContentList);
  for (int row = 0; row < rows; ++row) {
    if (is_empty_chapter_text(controls.row_text(ListView::kContentList, row))) {
      empty_rows.push_back(row);
    }
  }
}
