// The window's edge between the system's GBK (code page 936) text and Qt's
// strings: texts go to QString only to be shown and come back as GBK when the
// user has typed them. Used by the window, the export (file names) and the
// headless mode (messages for the terminal). Safe from any thread.
#ifndef NOVEL_APP_GBK_QT_H_
#define NOVEL_APP_GBK_QT_H_

#include <QString>
#include <string>
#include <string_view>

// Bytes that are not valid GBK become U+FFFD.
QString from_gbk(std::string_view text);
// Characters that GBK cannot hold become "?".
std::string to_gbk(const QString& text);

// At most `max_chars` characters of `text` on one line, for a list cell: CR,
// LF and tabs become spaces. Only the start of a long text is converted.
QString display_line(std::string_view text, int max_chars);

#endif  // NOVEL_APP_GBK_QT_H_
