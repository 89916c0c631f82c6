#include "app/gbk_qt.h"

#include <QStringDecoder>
#include <QStringEncoder>

QString from_gbk(std::string_view text) {
  QStringDecoder decoder("GBK");
  return decoder.decode(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
}

std::string to_gbk(const QString& text) {
  QStringEncoder encoder("GBK", QStringConverter::Flag::Default);
  QByteArray bytes = encoder.encode(text);
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

QString display_line(std::string_view text, int max_chars) {
  // Walk whole GBK characters (a lead byte of 0x81 or above takes the next
  // byte with it) so the cut never splits one.
  size_t end = 0;
  for (int chars = 0; end < text.size() && chars < max_chars; ++chars) {
    end += (static_cast<unsigned char>(text[end]) >= 0x81 && end + 1 < text.size()) ? 2 : 1;
  }
  QString line = from_gbk(text.substr(0, end));
  for (QChar& c : line) {
    if (c == u'\r' || c == u'\n' || c == u'\t') c = u' ';
  }
  return line;
}
