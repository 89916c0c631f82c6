#include "app/text_export.h"

#include <QString>

#include "app/gbk_qt.h"
#include "platform/program_files.h"

namespace {

// Room for ".txt" and the temporary suffix the write adds, within the common
// 255-byte limit of a file name.
constexpr qsizetype kMaxNameBytes = 200;

bool unsafe_in_name(QChar c) {
  return c == u'/' || c == u'\\' || c.category() == QChar::Other_Control ||
         c.category() == QChar::Other_Format;
}

}  // namespace

bool write_ticked_chapters(WindowControls& controls, const FilePartWriter& write) {
  int rows = controls.row_count(ListView::kContentList);
  for (int row = 0; row < rows; ++row) {
    if (!controls.row_checked(row)) continue;
    if (!write(controls.row_text(ListView::kContentList, row)) || !write("\r\n")) return false;
  }
  return true;
}

std::string safe_file_name(std::string_view book_title) {
  QString name = from_gbk(book_title).trimmed();
  if (name.isEmpty() && !book_title.empty()) name = QStringLiteral("_");
  for (QChar& c : name) {
    if (unsafe_in_name(c)) c = u'_';
  }
  // "." and ".." would name the directory itself or its parent.
  if (!name.isEmpty() && name.count(u'.') == name.size()) name.fill(u'_');
  // A name starting with "-" reads as an option to any command the user
  // later runs on the file (rm, cp, iconv...).
  if (name.startsWith(u'-')) name[0] = u'_';
  // Every character takes at least one byte, so this cut loses nothing the
  // byte limit would keep, and the loop below stays short.
  if (name.size() > kMaxNameBytes) {
    name.truncate(name.at(kMaxNameBytes - 1).isHighSurrogate() ? kMaxNameBytes - 1 : kMaxNameBytes);
  }
  QByteArray bytes = name.toUtf8();
  while (bytes.size() > kMaxNameBytes) {
    name.chop(name.size() >= 2 && name.at(name.size() - 1).isLowSurrogate() ? 2 : 1);
    bytes = name.toUtf8();
  }
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

ExportResult export_ticked_chapters(WindowControls& controls, std::string_view book_title,
                                    const std::string& directory) {
  ExportResult result;
  result.path = directory + "/" + safe_file_name(book_title) + ".txt";
  // Row by row into the file: a whole book of tens of thousands of chapters
  // never has to be one string in memory beside the list that holds it.
  result.written = write_file_in_parts(
      result.path,
      [&](const FilePartWriter& write) { return write_ticked_chapters(controls, write); },
      &result.reason);
  return result;
}

std::string export_message(const ExportResult& result) {
  QString path = QString::fromUtf8(result.path.data(), static_cast<qsizetype>(result.path.size()));
  if (result.written) return to_gbk(QStringLiteral("输出TXT完成！路径：") + path);
  QString reason =
      QString::fromUtf8(result.reason.data(), static_cast<qsizetype>(result.reason.size()));
  return to_gbk(QStringLiteral("输出TXT失败！路径：") + path + QStringLiteral("（") + reason +
                QStringLiteral("）"));
}
