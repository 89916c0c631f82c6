#include "scrape/site_texts.h"

#include <array>

#include "text/conversions.h"

namespace {

// In the order of SiteText.
constexpr std::array<const char*, 9> kUtf8Texts = {
    "墨舟中文网小说采集器V1.0", "已匹配", "章！", "正在重试第", "次…", "墨舟女生网",
    "可以在个人中心书架里查看", "举报",   "指南",
};

}  // namespace

const std::string& site_text(SiteText which) {
  static const std::array<std::string, kUtf8Texts.size()> texts = [] {
    std::array<std::string, kUtf8Texts.size()> converted;
    for (size_t i = 0; i < kUtf8Texts.size(); ++i) converted[i] = utf8_to_ansi(kUtf8Texts[i]);
    return converted;
  }();
  return texts[static_cast<size_t>(which)];
}
