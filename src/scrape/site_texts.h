// The fixed texts the scrape routines write into the window or look for in the
// site's pages, as GBK (code page 936) text, the form every text takes inside
// the program. The source holds them as UTF-8; all are converted together on
// first use. Safe from any thread.
#ifndef NOVEL_SCRAPE_SITE_TEXTS_H_
#define NOVEL_SCRAPE_SITE_TEXTS_H_

#include <string>

enum class SiteText {
  kCaptionPrefix,       // the program's name and version, the caption's start
  kMatchCountPrefix,    // "已匹配", before the number of matched links
  kMatchCountSuffix,    // "章！"
  kRetryPrefix,         // "正在重试第", before the number of a Match retry
  kRetrySuffix,         // "次…"
  kHeaderFirstMarker,   // the span of site text above a chapter: 墨舟女生网
  kHeaderSecondMarker,  // through 可以在个人中心书架里查看
  kFooterFirstMarker,   // the span below it: 举报
  kFooterSecondMarker,  // through 指南
};

const std::string& site_text(SiteText which);

#endif  // NOVEL_SCRAPE_SITE_TEXTS_H_
