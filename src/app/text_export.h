// The TXT export: the ticked rows of 章节内容列表框, in row order, written as
// one GBK file named after the book. The window runs it on a thread of its own
// behind 输出TXT按钮 and reports the outcome in a message box; the headless mode
// runs it at the end of a collection. Safe from any thread.
#ifndef NOVEL_APP_TEXT_EXPORT_H_
#define NOVEL_APP_TEXT_EXPORT_H_

#include <string>
#include <string_view>

#include "platform/program_files.h"
#include "scrape/window_controls.h"

struct ExportResult {
  std::string path;  // the file, as the file system names it (UTF-8)
  bool written = false;
  std::string reason;  // why the write failed; empty when it succeeded
};

// Passes column 1 of every ticked row, in row order, each followed by CR LF,
// to `write`; stops and answers false as soon as `write` does. A chapter text
// already ends in CR LF, so chapters are one empty line apart.
bool write_ticked_chapters(WindowControls& controls, const FilePartWriter& write);

// The GBK book title as a UTF-8 file name without extension that stays inside
// its directory: the ends trimmed of white space, path separators and control
// characters (NUL among them) replaced by "_", a leading "-" too, so the name
// is never taken for a command option; long names cut to fit the file system
// on a character boundary. An empty title stays empty (the file is then
// ".txt"); any other title gives a non-empty name.
std::string safe_file_name(std::string_view book_title);

// Writes the ticked chapters (write_ticked_chapters) to
// `directory`/<safe title>.txt, replacing an existing file.
ExportResult export_ticked_chapters(WindowControls& controls, std::string_view book_title,
                                    const std::string& directory);

// The message box text that reports an export, as GBK: "输出TXT完成！路径："
// and the path, or "输出TXT失败！路径：", the path and the reason.
std::string export_message(const ExportResult& result);

#endif  // NOVEL_APP_TEXT_EXPORT_H_
