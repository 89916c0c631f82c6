#include "demo_site/book_pages.h"

#include <array>
#include <charconv>

namespace {

// Chapter ids grow with the chapter number but are not consecutive, as on a
// real site; the low bits carry a seeded jitter so the path can be checked.
constexpr uint64_t kFirstChapterId = 52000000;
constexpr uint64_t kIdStride = 16;

uint64_t mix(uint64_t value) {
  value += 0x9e3779b97f4a7c15ULL;
  value = (value ^ (value >> 30)) * 0xbf58476d1ce4e5b9ULL;
  value = (value ^ (value >> 27)) * 0x94d049bb133111ebULL;
  return value ^ (value >> 31);
}

// A small seeded generator for the text of one chapter.
class Dice {
 public:
  explicit Dice(uint64_t seed) : state_(seed) {}
  uint64_t next() { return mix(state_++); }
  int below(int limit) { return static_cast<int>(next() % static_cast<uint64_t>(limit)); }
  template <typename T, size_t N>
  const T& pick(const std::array<T, N>& items) {
    return items[below(static_cast<int>(N))];
  }

 private:
  uint64_t state_;
};

constexpr std::array<std::string_view, 4> kTitles = {"雾港长歌", "青灯照夜行", "江南旧梦录",
                                                     "白鹭洲纪事"};
constexpr std::array<std::string_view, 12> kSubjects = {
    "林舟", "沈月", "老船夫",     "少年",     "她",   "他",
    "掌柜", "众人", "远处的钟声", "那只白鹭", "阿青", "守夜的老人"};
constexpr std::array<std::string_view, 16> kActions = {
    "站在船头",         "轻轻推开木窗",     "沿着石阶走下去", "望着雾里的灯火",
    "低声说了一句",     "把信折好收进怀里", "沉默了很久",     "忽然笑了起来",
    "从码头那边赶来",   "握紧了手中的桨",   "数着檐下的雨滴", "回头看了一眼",
    "在灯下翻开旧账本", "把茶碗推到一边",   "跟着人群往前走", "停在桥边等了片刻"};
constexpr std::array<std::string_view, 10> kEndings = {"。",
                                                       "，仿佛什么都没有发生过。",
                                                       "，雨声渐渐大了。",
                                                       "！",
                                                       "，心里却想着明天的事。",
                                                       "，远山一片青灰。",
                                                       "？",
                                                       "……",
                                                       "，河面上起了风。",
                                                       "，灯火一盏一盏亮了起来。"};
constexpr std::array<std::string_view, 6> kSpeech = {"“你来得正好。”",         "“再等一等吧。”",
                                                     "“这条路我走过许多次。”", "“船什么时候开？”",
                                                     "“明日一早就走。”",       "“不必多问。”"};
constexpr std::array<std::string_view, 10> kChapterNames = {
    "夜雨归舟", "旧港灯火", "桥边来客", "一封旧信", "雾起",
    "渡口",     "潮声",     "茶楼闲话", "远行",     "灯下"};

std::string chapter_id(uint64_t seed, int chapter) {
  const uint64_t jitter = mix(seed ^ static_cast<uint64_t>(chapter)) % kIdStride;
  return std::to_string(kFirstChapterId + static_cast<uint64_t>(chapter) * kIdStride + jitter);
}

// Styles and scripts that a real reading page carries; they make the page the
// size of the site's pages and must never show up in a chapter's text.
constexpr std::string_view kStyle =
    "body{margin:0;background:#f6f1e7;color:#262626;font:16px/1.8 sans-serif}"
    ".top-bar{height:36px;background:#2b2b2b;color:#ccc}.top-bar a{color:#ccc;margin:0 8px}"
    ".nav{background:#fff;border-bottom:1px solid #e6e6e6}.nav a{display:inline-block;"
    "padding:0 14px;line-height:44px}.reader{width:900px;margin:20px auto;background:#fbf7ee;"
    "padding:40px 60px;box-shadow:0 1px 4px rgba(0,0,0,.08)}.reader h1{font-size:24px;"
    "font-weight:400}.reader p{text-indent:2em;margin:.8em 0}.tools a{margin-right:18px}"
    ".chapter-nav{text-align:center;margin:30px 0}.chapter-nav a{display:inline-block;"
    "width:160px;border:1px solid #d9d2c3;margin:0 6px}.recommend li{display:inline-block;"
    "width:25%}.footer{color:#999;font-size:12px;text-align:center;padding:30px 0}";
constexpr std::string_view kHeadScript =
    "var g_data={pageId:'read',bookId:'1012919215',isVip:0,autoBuy:0,fontSize:16};"
    "(function(){var s=document.cookie.match(/rd_theme=([^;]+)/);if(s){document."
    "documentElement.className='theme-'+s[1];}})();";
constexpr std::string_view kTailScript =
    "window.addEventListener('load',function(){var h=document.querySelectorAll('.chapter-nav a');"
    "for(var i=0;i<h.length;i++){h[i].setAttribute('data-ready','1');}});";

void append_site_head(std::string& page, std::string_view title) {
  page += "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n<title>";
  page += title;
  page += "</title>\n<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">\n";
  page += "<meta name=\"keywords\" content=\"小说,在线阅读,免费小说,女生小说\">\n<style>";
  for (int copy = 0; copy < 6; ++copy) page += kStyle;  // themes repeat the rules
  page += "</style>\n<script>";
  page += kHeadScript;
  page += "</script>\n</head>\n";
}

Dice chapter_dice(uint64_t seed, int chapter) {
  return Dice(mix(seed * 1000003 + static_cast<uint64_t>(chapter)));
}

// A chapter's title: the first draw of its dice.
std::string title_draw(Dice& dice, int chapter) {
  return "第" + std::to_string(chapter) + "章 " + std::string(dice.pick(kChapterNames));
}

}  // namespace

GeneratedBook::GeneratedBook(int chapter_count, uint64_t seed)
    : chapter_count_(chapter_count < 0 ? 0 : chapter_count),
      seed_(seed),
      title_(kTitles[mix(seed) % kTitles.size()]) {}

std::string GeneratedBook::chapter_path(int chapter) const {
  std::string path = "/chapter/";
  path += kDemoBookId;
  path += '/';
  path += chapter_id(seed_, chapter);
  return path;
}

int GeneratedBook::chapter_from_path(std::string_view path) const {
  const std::string prefix = "/chapter/" + std::string(kDemoBookId) + "/";
  if (!path.starts_with(prefix)) return 0;
  const std::string_view digits = path.substr(prefix.size());
  uint64_t id = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), id);
  if (error != std::errc() || end != digits.data() + digits.size() || id < kFirstChapterId) {
    return 0;
  }
  const uint64_t chapter = (id - kFirstChapterId) / kIdStride;
  if (chapter < 1 || chapter > static_cast<uint64_t>(chapter_count_)) return 0;
  const int number = static_cast<int>(chapter);
  return chapter_id(seed_, number) == digits ? number : 0;
}

std::string GeneratedBook::catalogue_page(std::string_view host) const {
  std::string page;
  page.reserve(2048 + static_cast<size_t>(chapter_count_) * 240);
  append_site_head(page, title_);
  page +=
      "<body>\n<div class=\"top-bar\"><a href=\"/\">墨舟女生网</a><a href=\"/login\">登录</a>"
      "<a href=\"/register\">注册</a></div>\n";
  page += "<div class=\"book-info\"><h1>" + title_ +
          "</h1><p class=\"author\">作者：雨巷</p>"
          "<p class=\"intro\">一座雾中的港口，一段被潮水带走的旧事。</p></div>\n";
  page += "<div class=\"catalog\" id=\"Catalog\">\n<h3>正文卷 共" + std::to_string(chapter_count_) +
          "章</h3>\n<ul class=\"cf\">\n";
  for (int chapter = 1; chapter <= chapter_count_; ++chapter) {
    const std::string address = "//" + std::string(host) + chapter_path(chapter);
    page += "<li data-rid=\"" + std::to_string(chapter) + "\"><a href=\"" + address +
            "\" target=\"_blank\" data-eid=\"qd_G" + std::to_string(chapter) + "\" data-cid=\"" +
            address + "\" title=\"首发时间：2026-03-01 12:00:00\">" + chapter_title(chapter) +
            "</a></li>\n";
  }
  page +=
      "</ul>\n</div>\n<div class=\"footer\">Copyright 2026 All Rights Reserved</div>\n"
      "</body>\n</html>\n";
  return page;
}

// The title is the first draw of the chapter's dice, so the catalogue can
// name a chapter without writing its text.
std::string GeneratedBook::chapter_title(int chapter) const {
  Dice dice = chapter_dice(seed_, chapter);
  return title_draw(dice, chapter);
}

ChapterText GeneratedBook::chapter_text(int chapter) const {
  Dice dice = chapter_dice(seed_, chapter);
  ChapterText text;
  text.title = title_draw(dice, chapter);
  const int paragraph_count = 46 + dice.below(20);
  for (int p = 0; p < paragraph_count; ++p) {
    std::string paragraph;
    const int sentences = 4 + dice.below(6);
    for (int s = 0; s < sentences; ++s) {
      if (dice.below(5) == 0) {
        paragraph += dice.pick(kSubjects);
        paragraph += "说：";
        paragraph += dice.pick(kSpeech);
      } else {
        paragraph += dice.pick(kSubjects);
        paragraph += dice.pick(kActions);
        paragraph += dice.pick(kEndings);
      }
    }
    text.paragraphs.push_back(std::move(paragraph));
  }
  return text;
}

std::string GeneratedBook::chapter_page(int chapter) const {
  const ChapterText text = chapter_text(chapter);
  std::string page;
  page.reserve(40 * 1024);
  append_site_head(page, text.title + "_" + title_ + "_墨舟女生网");
  page +=
      "<body>\n<div class=\"top-bar\">墨舟女生网 <a href=\"/\">首页</a><a href=\"/rank\">排行榜"
      "</a><a href=\"/all\">全部作品</a><a href=\"/finish\">完本</a><a href=\"/free\">免费"
      "</a><a href=\"/bookshelf\">我的书架</a></div>\n";
  page += "<div class=\"nav\"><a href=\"/info/" + std::string(kDemoBookId) + "\">" + title_ +
          "</a> &gt; <a href=\"/info/" + std::string(kDemoBookId) + "#Catalog\">目录</a></div>\n";
  page +=
      "<div class=\"tools\"><a href=\"#\">阅读设置</a><a href=\"#\">加入书架</a>"
      "<span>加入书架后，本书的更新可以在个人中心书架里查看</span></div>\n";
  page += "<div class=\"reader\">\n<h1>" + text.title + "</h1>\n<div class=\"content\">\n";
  for (const std::string& paragraph : text.paragraphs) {
    page += "<p>　　" + paragraph + "</p>\n";
  }
  page +=
      "</div>\n<div class=\"report\"><a href=\"/report\">举报</a>本章有错字、广告或内容缺失？"
      "欢迎反馈</div>\n";
  page += "<div class=\"chapter-nav\"><a href=\"" +
          (chapter > 1 ? chapter_path(chapter - 1) : std::string("#")) +
          "\">上一章</a><a href=\"/info/" + std::string(kDemoBookId) +
          "#Catalog\">目录</a><a href=\"" +
          (chapter < chapter_count_ ? chapter_path(chapter + 1) : std::string("#")) +
          "\">下一章</a></div>\n</div>\n";
  page += "<div class=\"recommend\"><h3>读过本书的人还在读</h3><ul>";
  for (int book = 0; book < 48; ++book) {
    const std::string id = std::to_string(1012900000 + book * 37);
    page += "<li><a href=\"/info/" + id + "\" data-bid=\"" + id + "\"><img src=\"/cover/" + id +
            ".jpg\" alt=\"\" width=\"72\" height=\"96\"><span>" +
            std::string(kTitles[static_cast<size_t>(book) % kTitles.size()]) + "</span></a></li>\n";
  }
  page +=
      "</ul></div>\n<div class=\"footer\">本站所有小说均由网友上传，如有侵权请联系删除。"
      "<br>帮助中心 | 新手阅读指南</div>\n<script>";
  page += kTailScript;
  page += "</script>\n</body>\n</html>\n";
  return page;
}
