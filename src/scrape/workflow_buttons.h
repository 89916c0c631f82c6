// The three buttons that start Match, Collect and Export. The scrape routines
// disable them while they work and give them back when they end, always in
// the order 匹配, 采集, 输出TXT. Safe from any thread, as WindowControls is.
#ifndef NOVEL_SCRAPE_WORKFLOW_BUTTONS_H_
#define NOVEL_SCRAPE_WORKFLOW_BUTTONS_H_

#include "scrape/window_controls.h"

inline void set_workflow_buttons(WindowControls& controls, bool enabled) {
  controls.set_button_enabled(Button::kMatch, enabled);
  controls.set_button_enabled(Button::kCollect, enabled);
  controls.set_button_enabled(Button::kExport, enabled);
}

#endif  // NOVEL_SCRAPE_WORKFLOW_BUTTONS_H_
