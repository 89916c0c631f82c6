#include "platform/html_renderer.h"

#include <gumbo.h>

#include "platform/html_renderer_arena.h"
#include "platform/html_renderer_scan.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// How an element takes part in the rendered text.
enum class Layout {
  kHidden,     // neither it nor its content is shown
  kInline,     // its content flows in the current line
  kBlock,      // on lines of its own
  kParagraph,  // on lines of its own, with an empty line before and after
  kPreformatted,
  kTableRow,   // followed by a line break unless it is the table's last row
  kTableCell,  // followed by a tab unless it is the row's last cell
  kLineBreak,
};

Layout layout_of_tag(GumboTag tag) {
  switch (tag) {
    case GUMBO_TAG_HEAD:
    case GUMBO_TAG_TITLE:
    case GUMBO_TAG_BASE:
    case GUMBO_TAG_LINK:
    case GUMBO_TAG_META:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_EMBED:
    case GUMBO_TAG_OBJECT:
    case GUMBO_TAG_PARAM:
    case GUMBO_TAG_VIDEO:
    case GUMBO_TAG_AUDIO:
    case GUMBO_TAG_SOURCE:
    case GUMBO_TAG_TRACK:
    case GUMBO_TAG_CANVAS:
    case GUMBO_TAG_AREA:
    case GUMBO_TAG_MATH:
    case GUMBO_TAG_SVG:
    case GUMBO_TAG_INPUT:
    case GUMBO_TAG_SELECT:
    case GUMBO_TAG_DATALIST:
    case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_KEYGEN:
    case GUMBO_TAG_APPLET:
    case GUMBO_TAG_BGSOUND:
    case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES:
    case GUMBO_TAG_RP:
      return Layout::kHidden;
    case GUMBO_TAG_HTML:
    case GUMBO_TAG_BODY:
    case GUMBO_TAG_ARTICLE:
    case GUMBO_TAG_SECTION:
    case GUMBO_TAG_NAV:
    case GUMBO_TAG_ASIDE:
    case GUMBO_TAG_H1:
    case GUMBO_TAG_H2:
    case GUMBO_TAG_H3:
    case GUMBO_TAG_H4:
    case GUMBO_TAG_H5:
    case GUMBO_TAG_H6:
    case GUMBO_TAG_HGROUP:
    case GUMBO_TAG_HEADER:
    case GUMBO_TAG_FOOTER:
    case GUMBO_TAG_ADDRESS:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_OL:
    case GUMBO_TAG_UL:
    case GUMBO_TAG_LI:
    case GUMBO_TAG_DL:
    case GUMBO_TAG_DT:
    case GUMBO_TAG_DD:
    case GUMBO_TAG_FIGURE:
    case GUMBO_TAG_FIGCAPTION:
    case GUMBO_TAG_MAIN:
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_TABLE:
    case GUMBO_TAG_CAPTION:
    case GUMBO_TAG_FORM:
    case GUMBO_TAG_FIELDSET:
    case GUMBO_TAG_LEGEND:
    case GUMBO_TAG_DETAILS:
    case GUMBO_TAG_SUMMARY:
    case GUMBO_TAG_MENU:
    case GUMBO_TAG_DIR:
    case GUMBO_TAG_FRAMESET:
    case GUMBO_TAG_FRAME:
    case GUMBO_TAG_CENTER:
    case GUMBO_TAG_OPTGROUP:
    case GUMBO_TAG_OPTION:
      return Layout::kBlock;
    case GUMBO_TAG_P:
      return Layout::kParagraph;
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_LISTING:
    case GUMBO_TAG_XMP:
    case GUMBO_TAG_PLAINTEXT:
      return Layout::kPreformatted;
    case GUMBO_TAG_TR:
      return Layout::kTableRow;
    case GUMBO_TAG_TD:
    case GUMBO_TAG_TH:
      return Layout::kTableCell;
    case GUMBO_TAG_BR:
      return Layout::kLineBreak;
    default:
      return Layout::kInline;
  }
}

bool is_element(const GumboNode* node) { return node->type == GUMBO_NODE_ELEMENT; }

// Whether an inline style attribute says display:none, spaces and case aside.
bool styled_invisible(const GumboElement& element) {
  const GumboAttribute* style = gumbo_get_attribute(&element.attributes, "style");
  if (style == nullptr) return false;
  std::string squeezed;
  for (const char* c = style->value; *c != '\0'; ++c) {
    if (*c == ' ' || *c == '\t' || *c == '\n' || *c == '\r' || *c == '\f') continue;
    squeezed.push_back(*c >= 'A' && *c <= 'Z' ? static_cast<char>(*c - 'A' + 'a') : *c);
  }
  return squeezed.find("display:none") != std::string::npos;
}

Layout layout_of(const GumboNode* node) {
  if (node->type == GUMBO_NODE_TEMPLATE) return Layout::kHidden;
  const GumboElement& element = node->v.element;
  if (element.tag_namespace != GUMBO_NAMESPACE_HTML) return Layout::kHidden;
  if (gumbo_get_attribute(&element.attributes, "hidden") != nullptr || styled_invisible(element)) {
    return Layout::kHidden;
  }
  return layout_of_tag(element.tag);
}

bool has_tag(const GumboNode* node, std::initializer_list<GumboTag> tags) {
  return is_element(node) && std::find(tags.begin(), tags.end(), node->v.element.tag) != tags.end();
}

// The last child of `node` with one of `tags`, or null.
const GumboNode* last_child_with(const GumboNode* node, std::initializer_list<GumboTag> tags) {
  const GumboVector& children = node->v.element.children;
  for (size_t k = children.length; k > 0; --k) {
    const auto* child = static_cast<const GumboNode*>(children.data[k - 1]);
    if (has_tag(child, tags)) return child;
  }
  return nullptr;
}

// The table's last row, in its own children or in its row groups, or null.
const GumboNode* last_row_of(const GumboNode* table) {
  const GumboNode* last = nullptr;
  const GumboVector& children = table->v.element.children;
  for (size_t k = 0; k < children.length; ++k) {
    const auto* child = static_cast<const GumboNode*>(children.data[k]);
    if (has_tag(child, {GUMBO_TAG_TR})) {
      last = child;
    } else if (has_tag(child, {GUMBO_TAG_TBODY, GUMBO_TAG_THEAD, GUMBO_TAG_TFOOT})) {
      if (const GumboNode* row = last_child_with(child, {GUMBO_TAG_TR})) last = row;
    }
  }
  return last;
}

// Bounds on what gumbo is handed. Its tree builder walks the stack of open
// elements for scope checks at most tags, so its time grows with the number of
// tags times the depth: 10000 nested levels take 0.3 s, 100000 half a minute,
// and 500000 stray end tags under 3000 open ones 20 s. Real pages nest a few
// dozen levels and cost a few million steps at most.
constexpr size_t kMaxNestingDepth = 3000;
constexpr size_t kMaxScopeSteps = 30'000'000;

bool is_ascii_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Elements that a start tag of their own kind closes, so a run of them does
// not nest (and outside their own containers they are ignored).
bool closes_own_kind(GumboTag tag) {
  switch (tag) {
    case GUMBO_TAG_P:
    case GUMBO_TAG_LI:
    case GUMBO_TAG_DT:
    case GUMBO_TAG_DD:
    case GUMBO_TAG_OPTION:
    case GUMBO_TAG_TR:
    case GUMBO_TAG_TD:
    case GUMBO_TAG_TH:
    case GUMBO_TAG_TBODY:
    case GUMBO_TAG_THEAD:
    case GUMBO_TAG_TFOOT:
    case GUMBO_TAG_CAPTION:
    case GUMBO_TAG_COLGROUP:
      return true;
    default:
      return false;
  }
}

bool is_void(GumboTag tag) {
  switch (tag) {
    case GUMBO_TAG_AREA:
    case GUMBO_TAG_BASE:
    case GUMBO_TAG_BASEFONT:
    case GUMBO_TAG_BGSOUND:
    case GUMBO_TAG_BR:
    case GUMBO_TAG_COL:
    case GUMBO_TAG_EMBED:
    case GUMBO_TAG_FRAME:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_IMAGE:
    case GUMBO_TAG_IMG:
    case GUMBO_TAG_INPUT:
    case GUMBO_TAG_KEYGEN:
    case GUMBO_TAG_LINK:
    case GUMBO_TAG_META:
    case GUMBO_TAG_PARAM:
    case GUMBO_TAG_SOURCE:
    case GUMBO_TAG_TRACK:
    case GUMBO_TAG_WBR:
      return true;
    default:
      return false;
  }
}

// Elements whose content the tokenizer reads as text up to their end tag
// (outside SVG and MathML).
bool holds_raw_text(GumboTag tag) {
  switch (tag) {
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_XMP:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES:
    case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_TITLE:
      return true;
    default:
      return false;
  }
}

// Whether an end tag may close an open element beneath this one: the tree
// builder lets it pass phrasing and unknown elements only.
bool end_tag_passes(GumboTag tag) {
  return tag == GUMBO_TAG_UNKNOWN || (layout_of_tag(tag) == Layout::kInline &&
                                      tag != GUMBO_TAG_BUTTON && tag != GUMBO_TAG_MARQUEE);
}

bool is_foreign_root(GumboTag tag) { return tag == GUMBO_TAG_SVG || tag == GUMBO_TAG_MATH; }

struct OpenElement {
  std::string name;
  GumboTag tag;
};

// Whether parsing `html` could nest elements deeper than kMaxNestingDepth or
// walk the open elements more than kMaxScopeSteps times. A quick tokenizer
// follows the tree builder's main rules and errs towards more.
bool too_costly_to_parse(std::string_view html) {
  std::vector<OpenElement> open;
  size_t foreign = 0;  // open svg and math elements, where no text is raw
  size_t scope_steps = 0;
  size_t at = 0;
  while ((at = html.find('<', at)) != std::string_view::npos) {
    const size_t next = at + 1;
    if (next >= html.size()) break;
    if (html.compare(next, 3, "!--") == 0) {
      at = comment_end(html, at);
      if (at == std::string_view::npos) break;
      continue;
    }
    const bool end_tag = html[next] == '/';
    const size_t name_start = end_tag ? next + 1 : next;
    if (name_start >= html.size() || !is_ascii_letter(html[name_start])) {
      at = (html[next] == '!' || html[next] == '?' || end_tag) ? skip_tag(html, next) : next;
      continue;
    }
    size_t name_end = name_start;
    std::string name;
    for (; name_end < html.size() && !is_tag_name_end(html[name_end]); ++name_end) {
      name.push_back(lower_ascii(html[name_end]));
    }
    at = skip_tag(html, name_end);
    scope_steps += open.size();
    if (scope_steps > kMaxScopeSteps) return true;
    if (end_tag) {
      for (size_t k = open.size(); k > 0; --k) {
        if (open[k - 1].name == name) {
          for (size_t popped = k - 1; popped < open.size(); ++popped) {
            if (is_foreign_root(open[popped].tag)) --foreign;
          }
          open.resize(k - 1);
          break;
        }
        if (!end_tag_passes(open[k - 1].tag)) break;
      }
      continue;
    }
    const GumboTag tag = gumbo_tag_enum(name.c_str());
    if (tag == GUMBO_TAG_PLAINTEXT) break;  // the rest is text
    if (foreign == 0 && holds_raw_text(tag)) {
      at = find_ignoring_case(html, "</" + name, at);
      if (at == std::string_view::npos) break;
      continue;
    }
    if (is_void(tag) || closes_own_kind(tag)) continue;
    if (is_foreign_root(tag)) ++foreign;
    open.push_back({std::move(name), tag});
    if (open.size() > kMaxNestingDepth) return true;
  }
  return false;
}

// Collects the rendered text. Line breaks that blocks ask for are held back
// until more text follows, so none appear at the start or the end, and the
// breaks asked for between two texts merge into the largest request.
class TextSink {
 public:
  void require_breaks(int count) {
    pending_breaks_ = std::max(pending_breaks_, count);
    start_line();
  }
  // A literal piece such as the line feed of <br> or the tab after a cell.
  void put_separator(char c) {
    flush_breaks();
    text_.push_back(c);
    start_line();
  }
  // Text in normal flow: runs of white space become one space, and none
  // stays at the start or end of a line.
  void put_flowing(std::string_view text) {
    size_t at = 0;
    while (at < text.size()) {
      if (is_collapsible_space(text[at])) {
        if (!line_start_) pending_space_ = true;
        ++at;
        continue;
      }
      const size_t end = word_end(text, at);
      flush_breaks();
      if (pending_space_) text_.push_back(' ');
      text_.append(text, at, end - at);
      pending_space_ = false;
      line_start_ = false;
      at = end;
    }
  }
  // Preformatted text, kept as it is apart from CR LF and CR becoming LF.
  void put_preformatted(std::string_view text) {
    if (text.empty()) return;
    flush_breaks();
    if (pending_space_) text_.push_back(' ');
    for (size_t at = 0; at < text.size(); ++at) {
      if (text[at] == '\r') {
        text_.push_back('\n');
        if (at + 1 < text.size() && text[at + 1] == '\n') ++at;
      } else {
        text_.push_back(text[at]);
      }
    }
    pending_space_ = false;
    line_start_ = text_.back() == '\n';
  }
  // Drops white space waiting at the end of a line or cell.
  void start_line() {
    pending_space_ = false;
    line_start_ = true;
  }
  // The text with each line feed written as CR LF.
  std::string finish() const {
    const auto line_feeds = static_cast<size_t>(std::count(text_.begin(), text_.end(), '\n'));
    std::string out(text_.size() + line_feeds, '\0');
    char* put = out.data();
    size_t at = 0;
    for (size_t feed = text_.find('\n'); feed != std::string::npos;
         at = feed + 1, feed = text_.find('\n', at)) {
      put = std::copy(text_.data() + at, text_.data() + feed, put);
      *put++ = '\r';
      *put++ = '\n';
    }
    std::copy(text_.data() + at, text_.data() + text_.size(), put);
    return out;
  }

 private:
  void flush_breaks() {
    if (pending_breaks_ > 0 && !text_.empty())
      text_.append(static_cast<size_t>(pending_breaks_), '\n');
    pending_breaks_ = 0;
  }

  std::string text_;
  int pending_breaks_ = 0;
  bool pending_space_ = false;
  bool line_start_ = true;
};

struct Frame {
  const GumboNode* node;
  Layout layout;
  // For a table its last row, for a row its last cell: found once on entry,
  // so that tables of any size render in linear time.
  const GumboNode* last = nullptr;
  size_t next_child = 0;
};

// Renders an element's content with an explicit stack: pages may nest far
// deeper than the call stack allows.
class TreeWalk {
 public:
  std::string render(const GumboNode* root) {
    if (!enter(root)) return {};
    while (!stack_.empty()) {
      Frame& frame = stack_.back();
      const GumboVector& children = frame.node->v.element.children;
      if (frame.next_child == children.length) {
        leave();
        continue;
      }
      const auto* child = static_cast<const GumboNode*>(children.data[frame.next_child++]);
      switch (child->type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE:
        case GUMBO_NODE_CDATA:
          if (preformatted_depth_ > 0) {
            sink_.put_preformatted(child->v.text.text);
          } else {
            sink_.put_flowing(child->v.text.text);
          }
          break;
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE:
          enter(child);
          break;
        default:
          break;
      }
    }
    return sink_.finish();
  }

 private:
  // Pushes a shown element; false for a hidden one.
  bool enter(const GumboNode* node) {
    const Layout layout = layout_of(node);
    Frame frame{node, layout};
    switch (layout) {
      case Layout::kHidden:
        return false;
      case Layout::kBlock:
        sink_.require_breaks(1);
        if (node->v.element.tag == GUMBO_TAG_TABLE) frame.last = last_row_of(node);
        break;
      case Layout::kParagraph:
        sink_.require_breaks(2);
        break;
      case Layout::kPreformatted:
        sink_.require_breaks(1);
        ++preformatted_depth_;
        break;
      case Layout::kTableRow:
        frame.last = last_child_with(node, {GUMBO_TAG_TD, GUMBO_TAG_TH});
        break;
      case Layout::kTableCell:
        sink_.start_line();
        break;
      case Layout::kLineBreak:
        sink_.put_separator('\n');
        break;
      default:
        break;
    }
    stack_.push_back(frame);
    return true;
  }

  void leave() {
    const Frame frame = stack_.back();
    stack_.pop_back();
    switch (frame.layout) {
      case Layout::kBlock:
        sink_.require_breaks(1);
        break;
      case Layout::kParagraph:
        sink_.require_breaks(2);
        break;
      case Layout::kPreformatted:
        sink_.require_breaks(1);
        --preformatted_depth_;
        break;
      case Layout::kTableRow:
        if (!is_last(frame.node, 2)) sink_.put_separator('\n');
        break;
      case Layout::kTableCell:
        if (!is_last(frame.node, 1)) {
          sink_.put_separator('\t');
        } else {
          sink_.start_line();
        }
        break;
      default:
        break;
    }
  }

  // Whether `node` is the last of its kind that a frame at most `levels`
  // below the top recorded; a cell or row outside its usual parents is last.
  bool is_last(const GumboNode* node, size_t levels) const {
    for (size_t k = stack_.size(); k > 0 && levels > 0; --k, --levels) {
      if (stack_[k - 1].last != nullptr) return stack_[k - 1].last == node;
    }
    return true;
  }

  TextSink sink_;
  std::vector<Frame> stack_;
  int preformatted_depth_ = 0;
};

}  // namespace

std::string render_html_text(std::string_view html) {
  if (html.size() > kMaxHtmlBytes || too_costly_to_parse(html)) return {};
  std::string without_head_text;
  if (drop_head_raw_text(html, without_head_text)) html = without_head_text;
  ParseArena arena;
  GumboOptions options = kGumboDefaultOptions;
  options.allocator = &ParseArena::allocate_for_gumbo;
  options.deallocator = &ParseArena::release_for_gumbo;
  options.userdata = &arena;
  // Recording errors costs quadratic time on deeply nested unclosed tags.
  options.max_errors = 0;
  // The tree lives in the arena and goes with it, unwalked.
  const GumboOutput* output = gumbo_parse_with_options(&options, html.data(), html.size());
  if (output == nullptr || output->root == nullptr) return {};
  return TreeWalk().render(output->root);
}
