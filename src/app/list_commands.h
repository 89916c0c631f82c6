// The chapter list commands of the popup menu on 章节内容列表框: tick every
// row, invert the ticks, find the rows whose chapter text never arrived. They
// work on the controls alone, so the window's menu and the headless mode share
// them. Run them on one thread at a time (the window's GUI thread); chapter
// jobs may write other rows meanwhile.
#ifndef NOVEL_APP_LIST_COMMANDS_H_
#define NOVEL_APP_LIST_COMMANDS_H_

#include <vector>

#include "scrape/window_controls.h"

void handle_select_all(WindowControls& controls);
void handle_invert_checks(WindowControls& controls);

// Empties `empty_rows` and refills it with the 0-based rows, ascending, whose
// column 1 holds no text other than line breaks: rows no job has written yet
// and rows whose chapter came back without text.
void find_empty_chapters(WindowControls& controls, std::vector<int>& empty_rows);

#endif  // NOVEL_APP_LIST_COMMANDS_H_
